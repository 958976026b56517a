#pragma once
/// What the whole-process benchmarks share: a temporary folder, a measured child process, its processor
/// time, the saver's settings store and the governor's closing line.
#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zelvor::bench {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d);

/// A fresh folder under $TMPDIR (else /tmp), removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    /// Empty when no folder could be made.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

/// A measured program: started with this process's environment (less XSCREENSAVER_WINDOW) plus `set`, its
/// standard error in a file; asked to end (then forced) at destruction.
class MeasuredProcess {
public:
    MeasuredProcess(const std::string& program, const std::vector<std::string>& args,
                    const std::map<std::string, std::string>& set, const std::string& stderrPath);
    ~MeasuredProcess();
    MeasuredProcess(const MeasuredProcess&) = delete;
    MeasuredProcess& operator=(const MeasuredProcess&) = delete;

    pid_t Pid() const { return pid_; }
    bool Started() const { return pid_ > 0; }
    /// False once the process has ended (its wait status is kept).
    bool Running();
    /// Waits at most `timeout` for the end; returns when it ended (steady clock, read as soon as the kernel
    /// reports the end), or nothing while it still runs.
    std::optional<Clock::time_point> WaitForEnd(Clock::duration timeout);
    /// "exit status N", "signal NAME" or "still running".
    std::string EndText() const;
    /// The exit status once it exited normally.
    std::optional<int> ExitStatus() const;
    /// SIGTERM, a few seconds' grace, then SIGKILL.
    void Stop();

private:
    bool Reap(int options);

    pid_t pid_ = -1;
    int pidfd_ = -1;
    std::optional<int> status_;
};

/// Processor seconds (user + system, all threads) the process has used so far; nothing once it is gone.
std::optional<double> ProcessorSeconds(pid_t pid);

std::string ReadAll(const std::string& path);
/// The last `lines` lines of text.
std::string Tail(const std::string& text, int lines);

/// Reads the value of a seconds option (0 .. one day) from argv[i + 1] and moves i past it; false when there
/// is none or it is not such a number.
bool ReadSecondsArgument(int argc, char** argv, int& i, double& seconds);

/// Sleeps up to `seconds` while the process runs; false when it ended.
bool StayAlive(MeasuredProcess& process, double seconds);

/// The "Tessellation governor ended: " line's rest once that line is complete on the saver's standard error.
std::optional<std::string> GovernorEnd(const std::string& stderrText);

/// What the saver's settings store holds for a benchmark.
struct SaverSetup {
    std::string file;             ///< the playlist's only entry, shown for an hour
    bool withoutSurface = false;  ///< the stored animation becomes "Custom" with the surface off
};
/// Writes a settings store under configHome: one file, no online update check. Returns the governor's limits
/// in percent of one processor (min, max), or nothing when the store could not be written.
std::optional<std::pair<int, int>> WriteSaverSettings(const std::string& configHome, const SaverSetup& setup);

/// Makes path (and its parents) a folder only its owner may enter, as a runtime folder must be; false on failure.
bool MakePrivateFolder(const std::string& path);

/// The program beside this benchmark's executable (zelvor, the shim); empty when it is not there.
std::string BesideThisProgram(const std::string& name);

/// The environment that runs the saver alone on display: private settings, runtime folder and the xcb
/// platform.
std::map<std::string, std::string> SaverEnvironment(const std::string& display, const std::string& folder);

}  // namespace zelvor::bench
