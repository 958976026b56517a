#pragma once
/// Reports of the document that go to the user through the application's message stream.
#include <ostream>
#include <string>

#include "app/gui_stream.h"

namespace zelvor {

/// Writes text as one completed report (one message box) to the message stream.
inline void ReportToMessageStream(const std::string& text) { MessageStream() << text << std::endl; }

}  // namespace zelvor
