#pragma once
/// Ondrel's standard-input protocol: settings lines before the run, "exit" at any time.
#include <string>

#include "modules/ondrel/lj_system.h"

namespace zelvor::ondrel {

/// What one line read before the run asks for.
enum class StartLine { Continue, Run, Exit };

/// Applies one line read before the run: "atoms N", "density D", "temperature T", "timestep DT",
/// "thermostat on|off", "seed S" change the settings; "run" or an empty line starts; "exit" ends;
/// "#" starts a comment. Anything else is reported in note and skipped.
StartLine ApplyStartLine(const std::string& line, LjSettings& settings, std::string& note);

/// Reads lines from a file descriptor without ever blocking for long: the program keeps the pipe to a
/// module open, so an end of file may never come.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}

    /// Next complete line (without its end of line), waiting at most timeoutMs for more bytes; false when
    /// none arrived in time or the input ended (a last line without end of line is still returned).
    bool Next(std::string& line, int timeoutMs);
    bool Ended() const { return ended_; }

private:
    bool TakeLine(std::string& line);

    int fd_;
    bool ended_ = false;
    std::string pending_;
};

}  // namespace zelvor::ondrel
