#include "saver/command_line.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace zelvor {

namespace {

/// Takes "NAME VALUE" or "NAME=VALUE" out of args; the last one counts, nothing when absent.
std::optional<std::string> TakeValueOption(std::vector<std::string>& args, const std::string& name) {
    std::optional<std::string> value;
    const std::string prefix = name + "=";
    for (auto a = args.begin(); a != args.end();) {
        if (*a == name && a + 1 != args.end()) {
            value = *(a + 1);
            a = args.erase(a, a + 2);
        } else if (a->rfind(prefix, 0) == 0) {
            value = a->substr(prefix.size());
            a = args.erase(a);
        } else {
            ++a;
        }
    }
    return value;
}

}  // namespace

NormalisedCommandLine NormaliseCommandLine(const std::vector<std::string>& args) {
    // The arguments are joined into a buffer of fixed capacity; whatever does not fit is dropped.
    std::string joined;
    joined.reserve(MAX_JOINED_COMMAND_LINE);
    for (const std::string& arg : args) {
        const std::size_t room = MAX_JOINED_COMMAND_LINE - joined.size();
        joined.append(arg, 0, std::min(room, arg.size()));
        if (joined.size() == MAX_JOINED_COMMAND_LINE) break;
    }

    std::string line;
    line.reserve(joined.size() + 1);
    for (char c : joined) {
        if (c == '-' || c == '/') continue;
        if (c == ':') c = ' ';
        line.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }

    NormalisedCommandLine result;
    if (line.empty()) return result;
    line.insert(1, 1, ' ');
    result.modeLetter = line.substr(0, 1);
    if (line.size() > 1) result.modeArgument = line.substr(line.find(' ') + 1);
    return result;
}

ScreenSaverMode RunModeForLetter(const std::string& modeLetter) {
    if (modeLetter.empty() || modeLetter == "c") return CONFIGURE_MODE;
    if (modeLetter == "p") return PREVIEW_MODE;
    return FULL_SCREEN_MODE;
}

std::uintptr_t ReadWindowHandle(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    unsigned base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    constexpr std::uintptr_t limit = std::numeric_limits<std::uintptr_t>::max();
    std::uintptr_t value = 0;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        unsigned digit;
        if (std::isdigit(c)) {
            digit = c - '0';
        } else if (base == 16 && std::isxdigit(c)) {
            digit = static_cast<unsigned>(std::tolower(c) - 'a' + 10);
        } else {
            break;
        }
        if (value > (limit - digit) / base) return 0;  // no window has an id that large
        value = value * base + digit;
    }
    return value;
}

XScreenSaverRequest ReadXScreenSaverConventions(const std::vector<std::string>& args,
                                                const char* environmentWindow) {
    XScreenSaverRequest request;
    bool root = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-window-id" || args[i] == "--window-id") {
            request.applies = true;
            request.embed = true;
            request.window = i + 1 < args.size() ? ReadWindowHandle(args[i + 1]) : 0;
            return request;
        }
        if (args[i] == "-root" || args[i] == "--root") root = true;
    }
    const bool fromEnvironment = environmentWindow != nullptr && *environmentWindow != '\0';
    if (root || (args.empty() && fromEnvironment)) {
        request.applies = true;
        request.embed = fromEnvironment;
        if (fromEnvironment) request.window = ReadWindowHandle(environmentWindow);
    }
    return request;
}

bool TakeFpsFlag(std::vector<std::string>& args) {
    const auto end = std::remove_if(args.begin(), args.end(),
                                    [](const std::string& a) { return a == "--fps" || a == "-fps"; });
    const bool found = end != args.end();
    args.erase(end, args.end());
    return found;
}

std::string TakeModulesArgument(std::vector<std::string>& args) {
    return TakeValueOption(args, "--modules").value_or("");
}

namespace {

const char* const USAGE =
    "usage: zelvor [MODE] [--fps] [--file PATH] [--load-time SECONDS] [--modules PATH]\n"
    "       zelvor --view FILE\n"
    "       zelvor --help | --version\n"
    "modes:\n"
    "  /c [WINDOW]       configure (the default); the sheet centred over WINDOW when given\n"
    "  /s, -root         full-screen screensaver; ends on the first input (exit code -42)\n"
    "  /p WINDOW         live preview inside the X11 window WINDOW (decimal or 0x hex)\n"
    "  -window-id WINDOW draw into WINDOW as the screensaver (also XSCREENSAVER_WINDOW)\n"
    "options:\n"
    "  --fps               show frames per second and the processor share\n"
    "  --file PATH         show this coordinate file, or the files of this folder, instead of the playlist\n"
    "  --load-time SECONDS show each file that long (this run only)\n"
    "  --modules PATH      read this calculation module list instead of the usual places\n"
    "  --view FILE         show one file in a window\n";

// Options of two dashes the program knows, with whether a value follows as the next argument.
constexpr std::pair<const char*, bool> KNOWN_OPTIONS[] = {
    {"--fps", false}, {"--help", false},    {"--version", false},  {"--view", true},
    {"--file", true}, {"--load-time", true}, {"--modules", true},
    // XScreenSaver's settings program starts its preview with "--window-id 0x..."; newer hacks say "--root".
    {"--root", false}, {"--window-id", true},
};

}  // namespace

std::string TakeFileArgument(std::vector<std::string>& args) { return TakeValueOption(args, "--file").value_or(""); }

int TakeLoadTimeArgument(std::vector<std::string>& args) {
    const std::optional<std::string> text = TakeValueOption(args, "--load-time");
    if (!text || text->empty() || text->size() > 9) return 0;
    int seconds = 0;
    for (const char c : *text) {
        if (c < '0' || c > '9') return 0;
        seconds = seconds * 10 + (c - '0');
    }
    return seconds;
}

std::optional<EarlyAnswer> AnswerBeforeStart(const std::vector<std::string>& args, const std::string& version) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help") return EarlyAnswer{0, USAGE, {}};
        if (a == "--version") return EarlyAnswer{0, "zelvor " + version + "\n", {}};
        if (a.rfind("--", 0) != 0) continue;
        bool known = false;
        for (const auto& [name, takesValue] : KNOWN_OPTIONS) {
            const std::string option = name;
            if (a == option) {
                known = true;
                if (takesValue) ++i;  // its value may look like an option
            } else if (takesValue && a.rfind(option + "=", 0) == 0) {
                known = true;
            }
        }
        if (!known) return EarlyAnswer{2, {}, "zelvor: unknown option '" + a + "'\n" + USAGE};
    }
    return std::nullopt;
}

std::string ReadViewFileArgument(const std::vector<std::string>& args) {
    if (args.size() == 2 && args[0] == "--view") return args[1];
    return {};
}

}  // namespace zelvor
