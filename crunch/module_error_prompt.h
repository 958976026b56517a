#pragma once
/// ModuleErrorPrompt: how crunch/ asks the user about a fault inside a module call.
#include <functional>
#include <string>

namespace zelvor {

/// Asked when a call into a module faulted: true (Yes) lets the exception continue, false goes on.
using ModuleErrorPrompt = std::function<bool(const std::string& function, const std::string& library)>;

}  // namespace zelvor
