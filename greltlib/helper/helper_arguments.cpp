#include "greltlib/helper/helper_arguments.h"

#include "greltlib/helper_protocol.h"

#include <charconv>
#include <cstring>

namespace zelvor::grelt {

namespace {

bool ParseThread(const std::string& text, pid_t& thread) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < 0 || value > 0x7fffffff) return false;
    thread = static_cast<pid_t>(value);
    return true;
}

}  // namespace

std::optional<HelperArguments> ParseHelperArguments(int argc, const char* const* argv, std::ostream& errors) {
    namespace p = protocol;
    HelperArguments result;
    struct Valued {
        const char* name;
        std::string* target;
        bool seen = false;
    };
    std::string thread;
    Valued valued[] = {{p::kLog, &result.logPath},          {p::kDump, &result.dumpPath},
                       {p::kProgram, &result.program},      {p::kRecipient, &result.recipientName},
                       {p::kAddress, &result.recipientAddress}, {p::kExecutable, &result.executablePath},
                       {p::kThread, &thread}};
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        if (std::strcmp(option, p::kNoReport) == 0) {
            result.noReport = true;
            continue;
        }
        if (std::strcmp(option, p::kDiagnostic) == 0) {
            result.diagnostic = true;
            continue;
        }
        if (std::strcmp(option, p::kTerminating) == 0) {
            result.terminating = true;
            continue;
        }
        const bool isTag = std::strcmp(option, p::kTag) == 0;
        Valued* match = nullptr;
        for (auto& entry : valued)
            if (std::strcmp(option, entry.name) == 0) match = &entry;
        if (!isTag && match == nullptr) {
            errors << "grelt-dialog: unknown option '" << option << "'\n";
            return std::nullopt;
        }
        if (i + 1 >= argc) {
            errors << "grelt-dialog: option '" << option << "' needs a value\n";
            return std::nullopt;
        }
        const char* value = argv[++i];
        if (isTag) {
            result.taggedModules.emplace_back(value);
        } else {
            *match->target = value;
            match->seen = true;
        }
    }
    for (const auto& entry : valued) {
        if (!entry.seen) {
            errors << "grelt-dialog: missing option '" << entry.name << "'\n";
            return std::nullopt;
        }
    }
    if (!ParseThread(thread, result.thread)) {
        errors << "grelt-dialog: '" << thread << "' is no thread id\n";
        return std::nullopt;
    }
    return result;
}

}  // namespace zelvor::grelt
