#pragma once
/// The helper's command line (see greltlib/helper_protocol.h), parsed into one struct.
#include <optional>
#include <ostream>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zelvor::grelt {

struct HelperArguments {
    std::string logPath;
    std::string dumpPath;
    std::string program;
    std::string recipientName;
    std::string recipientAddress;
    std::string executablePath;
    pid_t thread = 0;
    bool noReport = false;
    bool diagnostic = false;
    bool terminating = false;
    std::vector<std::string> taggedModules;
};

/// Nothing when an option is unknown, lacks its value or a required one is missing; the reason goes to
/// errors.
std::optional<HelperArguments> ParseHelperArguments(int argc, const char* const* argv, std::ostream& errors);

}  // namespace zelvor::grelt
