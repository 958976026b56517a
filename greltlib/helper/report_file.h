#pragma once
/// The report file on disk: the crashed process wrote its header, the helper adds to it and shows it.
#include <string>

namespace zelvor::grelt {

/// Appends text to the report; false when it is not a regular file that can be written.
bool AppendToReport(const std::string& logPath, const std::string& text);

/// The whole report, or empty when it cannot be read. Only a regular file is read (a FIFO or a device
/// named by mistake would block or never end), and at most a few MiB of it.
std::string ReadReport(const std::string& logPath);

}  // namespace zelvor::grelt
