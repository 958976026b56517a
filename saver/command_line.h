#pragma once
/// The screensaver's command line: the Windows-style switches (/s, /p <id>, /c[:<id>]) after
/// normalisation, and the XScreenSaver conventions (-root, -window-id <id>, XSCREENSAVER_WINDOW).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelvor {

/// The run modes, as GetRunMode returns them.
enum ScreenSaverMode : int { CONFIGURE_MODE = 1, PREVIEW_MODE = 2, FULL_SCREEN_MODE = 3 };

/// Capacity of the joined command line: a mode letter, separators and any window id fit many times over;
/// the rest of a longer line is cut off.
inline constexpr std::size_t MAX_JOINED_COMMAND_LINE = 256;

/// Mode letter and mode argument of a normalised command line.
struct NormalisedCommandLine {
    std::string modeLetter;    ///< first character, empty when there were no arguments
    std::string modeArgument;  ///< everything after the blank that follows the letter
};

/// Joins the arguments (at most MAX_JOINED_COMMAND_LINE characters), lower-cases them, drops every '-' and
/// '/', turns ':' into a blank and splits off the first character as the mode letter.
NormalisedCommandLine NormaliseCommandLine(const std::vector<std::string>& args);

/// The mode a letter selects: "" and "c" configure, "p" preview, anything else full screen.
ScreenSaverMode RunModeForLetter(const std::string& modeLetter);

/// A window id written in decimal or as 0x hex, leading blanks skipped, read up to the first character that
/// is not a digit; 0 when there is no number or it does not fit.
std::uintptr_t ReadWindowHandle(const std::string& text);

/// What the XScreenSaver conventions ask for, when they apply.
struct XScreenSaverRequest {
    bool applies = false;         ///< -root, -window-id or XSCREENSAVER_WINDOW selected full-screen mode
    bool embed = false;           ///< draw into a given window (then window 0 is not a usable window)
    std::uintptr_t window = 0;    ///< the window to draw into when embed is set
};

/// -window-id <id> draws into that window; -root, or no argument at all, draws into XSCREENSAVER_WINDOW when
/// it is set (environmentWindow, may be null) and full screen otherwise (-root only). All behave as the
/// full-screen saver.
XScreenSaverRequest ReadXScreenSaverConventions(const std::vector<std::string>& args,
                                                const char* environmentWindow);

/// Removes every "--fps" and "-fps" (the XScreenSaver convention: show frames/s and the processor share) from
/// args and says whether there was one; the remaining arguments choose the mode as if it had not been given.
bool TakeFpsFlag(std::vector<std::string>& args);

/// Takes "--modules PATH" (or "--modules=PATH") out of args: the module list to read instead of the usual
/// places. Empty when not given; the last one counts. It combines with every mode.
std::string TakeModulesArgument(std::vector<std::string>& args);

/// The file of "--view FILE": the program shows that file in a window (empty when not given).
std::string ReadViewFileArgument(const std::vector<std::string>& args);

/// Takes "--file PATH" (or "--file=PATH") out of args: a coordinate file, or a folder of them, to show instead
/// of the stored playlist for this run. Empty when not given; the last one counts.
std::string TakeFileArgument(std::vector<std::string>& args);

/// Takes "--load-time SECONDS" (or "--load-time=SECONDS") out of args: how long each file is shown, this run
/// only. 0 when not given or not a positive whole number.
int TakeLoadTimeArgument(std::vector<std::string>& args);

/// The answer to a command line that asks for information or is wrong, before any window or setting is
/// touched: "--help" (usage on standard output, 0), "--version" (0), or an unknown option starting with two
/// dashes (usage on standard error, 2). Nothing when the program should start.
struct EarlyAnswer {
    int exitCode = 0;
    std::string standardOutput;
    std::string standardError;
};
std::optional<EarlyAnswer> AnswerBeforeStart(const std::vector<std::string>& args, const std::string& version);

}  // namespace zelvor
