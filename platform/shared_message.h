#pragma once
/// The application's shared message string: a worker fills it, then posts MSG_SHOW_MESSAGE.
#include <string>

namespace zelvor {

void SetSharedMessage(const std::string& text);
std::string GetSharedMessage();

/// Sets the shared message string and posts MSG_SHOW_MESSAGE to the main window.
void ShowSharedMessage(const std::string& text);

}  // namespace zelvor
