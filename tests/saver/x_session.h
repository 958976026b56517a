#pragma once
// A private X server (Xvfb) and child processes for the end-to-end tests of the zelvor program.
#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zelvor::test {

/// The full path of a program found on PATH, empty when it is not installed.
std::string FindProgram(const std::string& name);

/// An Xvfb of its own on a display number it picked itself (-displayfd), ended with the object.
class XvfbServer {
public:
    XvfbServer(int width, int height);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    bool Running() const { return !display_.empty(); }
    /// ":N"
    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

/// A started program; killed and reaped at destruction if it is still running.
class ChildProcess {
public:
    /// Starts program with args; environment = this process's, minus the names in unset, plus set.
    /// Standard error goes to stderrPath (when not empty).
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& set, const std::vector<std::string>& unset,
                 const std::string& stderrPath = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    /// The wait status once it ended within timeoutMs, else nothing (still running).
    std::optional<int> WaitForExit(int timeoutMs);

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

/// Runs a program to its end (at most timeoutMs); true when it exited with status 0.
bool RunToCompletion(const std::string& program, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& set, int timeoutMs);

bool WaitForImpl(const void* context, bool (*condition)(const void*), int timeoutMs);
/// Polls condition every few milliseconds until it holds or timeoutMs passed; returns the last result.
template <class Condition>
bool WaitFor(Condition condition, int timeoutMs) {
    return WaitForImpl(&condition, [](const void* c) { return (*static_cast<const Condition*>(c))(); },
                       timeoutMs);
}

}  // namespace zelvor::test
