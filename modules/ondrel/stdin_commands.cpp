#include "modules/ondrel/stdin_commands.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>

namespace zelvor::ondrel {

StartLine ApplyStartLine(const std::string& line, LjSettings& settings, std::string& note) {
    note.clear();
    std::istringstream words(line);
    std::string key;
    if (!(words >> key))
        return StartLine::Run;  // an empty line (or only blanks) ends the settings
    if (key[0] == '#')
        return StartLine::Continue;
    if (key == "run")
        return StartLine::Run;
    if (key == "exit")
        return StartLine::Exit;
    bool ok = false;
    if (key == "atoms") {
        int n = 0;
        ok = static_cast<bool>(words >> n) && n >= 2;
        if (ok) settings.atomCount = n;
    } else if (key == "density" || key == "temperature" || key == "timestep") {
        double v = 0;
        ok = static_cast<bool>(words >> v) && v > 0;
        if (ok) (key == "density" ? settings.density : key == "temperature" ? settings.temperature : settings.timeStep) = v;
    } else if (key == "thermostat") {
        std::string state;
        ok = static_cast<bool>(words >> state) && (state == "on" || state == "off");
        if (ok) settings.thermostat = state == "on";
    } else if (key == "seed") {
        unsigned s = 0;
        ok = static_cast<bool>(words >> s);
        if (ok) settings.seed = s;
    }
    if (!ok)
        note = "ondrel: skipped input line \"" + line + "\"";
    return StartLine::Continue;
}

bool LineReader::TakeLine(std::string& line) {
    const auto end = pending_.find('\n');
    if (end == std::string::npos)
        return false;
    line = pending_.substr(0, end);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    pending_.erase(0, end + 1);
    return true;
}

bool LineReader::Next(std::string& line, int timeoutMs) {
    for (;;) {
        if (TakeLine(line))
            return true;
        if (ended_) {
            if (pending_.empty())
                return false;
            line.swap(pending_);
            pending_.clear();
            return true;
        }
        pollfd p{fd_, POLLIN, 0};
        const int ready = poll(&p, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char buffer[512];
        const ssize_t got = read(fd_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            ended_ = true;  // end of input, or a descriptor that cannot be read
        else
            pending_.append(buffer, static_cast<std::size_t>(got));
    }
}

}  // namespace zelvor::ondrel
