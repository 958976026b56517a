// Processor share of the full-screen saver on 10,000 atoms once the tessellation governor has settled.
// A private Xvfb runs `zelvor /s` with a generated lattice as its only playlist file; after the governor's
// closing line on the saver's standard error, the saver's own processor time is measured against the
// monotonic clock (100 % = one processor fully busy, the scale the governor steers by).
// Prints the figure next to the limits and exits 0 whatever the figure; non-zero only when it cannot measure.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/app_profile.h"
#include "app/app_settings.h"
#include "render/view_settings.h"
#include "tests/saver/x_session.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int ATOMS_X = 25, ATOMS_Y = 20, ATOMS_Z = 20;  // 10,000 atoms
constexpr double LATTICE_SPACING = 1.4;                 // angstrom: nearest neighbours are bonded
/// The playlist must not move on to another file during the run.
constexpr int FILE_SHOW_SECONDS = 3600;
constexpr const char* GOVERNOR_ENDED = "Tessellation governor ended: ";

struct Options {
    double governorTimeout = 180.0;  // seconds from the saver's start
    double settle = 2.0;             // seconds after the governor's last change, for its final recompile
    double window = 10.0;            // seconds measured
    int screenWidth = 1280, screenHeight = 1024;
    bool withoutSurface = false;  // the stored animation becomes "Custom" with the surface off
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

/// A fresh folder under $TMPDIR (else /tmp), removed with everything in it at the end.
class TempFolder {
public:
    TempFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zelvor-bench-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

/// A simple cubic lattice of carbon with oxygen and hydrogen sprinkled in a fixed pattern, so the file is
/// the same on every run and every atom finds its neighbours as bond partners.
bool WriteLattice(const std::string& path) {
    std::ofstream out(path);
    out << ATOMS_X * ATOMS_Y * ATOMS_Z << "\nlattice of carbon, oxygen and hydrogen, 1.4 angstrom spacing\n";
    char line[96];
    int index = 0;
    for (int i = 0; i < ATOMS_X; ++i) {
        for (int j = 0; j < ATOMS_Y; ++j) {
            for (int k = 0; k < ATOMS_Z; ++k, ++index) {
                const char* element = index % 7 == 3 ? "O" : index % 3 == 1 ? "H" : "C";
                std::snprintf(line, sizeof line, "%s %.4f %.4f %.4f\n", element, i * LATTICE_SPACING,
                              j * LATTICE_SPACING, k * LATTICE_SPACING);
                out << line;
            }
        }
    }
    out.close();
    return static_cast<bool>(out);
}

/// The saver's settings in a settings store of its own: the one file, shown for an hour, default
/// governor limits, and no online update check that could disturb the measurement.
void WriteSettings(const std::string& configHome, const std::string& xyzPath, bool withoutSurface, int& minUsage,
                   int& maxUsage) {
    setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    zelvor::CAppProfile profile;
    profile.SetRegistryKey("Cobrant");
    profile.WriteProfileString("Config", "XYZ file0", xyzPath);
    profile.WriteProfileInt("Config", "Files to show", 1);
    profile.WriteProfileInt("Config", "Coordinate File Load Time", FILE_SHOW_SECONDS);
    zelvor::CAppSettings settings(true);
    settings.LoadSettings();
    settings.weeklyUpdateCheck = 0;
    minUsage = settings.minCPUUsage;
    maxUsage = settings.maxCPUUsage;
    if (withoutSurface) {
        // "Custom" keeps the stored values when the file arrives, so the surface stays off.
        zelvor::C3DViewSettings view;
        view.showSurface = 0;
        view.predefinedAnimation = 7;
    }
}  // the records save themselves as they go

/// The saver process: started with its standard error in a file, asked to end (then forced) at the end.
class Saver {
public:
    Saver(const std::string& program, const std::vector<std::string>& args,
          const std::map<std::string, std::string>& set, const std::string& stderrPath) {
        std::vector<std::string> argStrings{program};
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        std::vector<std::string> envStrings;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('='));
            if (set.count(name) == 0 && name != "XSCREENSAVER_WINDOW") envStrings.push_back(entry);
        }
        for (const auto& [name, value] : set) envStrings.push_back(name + "=" + value);
        std::vector<char*> argv, envp;
        for (std::string& s : argStrings) argv.push_back(s.data());
        for (std::string& s : envStrings) envp.push_back(s.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            // Ends with the benchmark, even when that is killed.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);
            const int err = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (err >= 0) dup2(err, 2);
            execve(program.c_str(), argv.data(), envp.data());
            _exit(127);
        }
    }
    ~Saver() { Stop(); }
    Saver(const Saver&) = delete;
    Saver& operator=(const Saver&) = delete;

    pid_t Pid() const { return pid_; }
    bool Started() const { return pid_ > 0; }

    /// False once the process has ended (its wait status is kept).
    bool Running() {
        if (pid_ <= 0 || status_) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
        return !status_;
    }

    std::string EndText() const {
        if (!status_) return "still running";
        if (WIFEXITED(*status_)) return "exit status " + std::to_string(WEXITSTATUS(*status_));
        if (WIFSIGNALED(*status_)) return std::string("signal ") + strsignal(WTERMSIG(*status_));
        return "ended";
    }

    /// SIGTERM, a few seconds' grace, then SIGKILL.
    void Stop() {
        if (!Running()) return;
        kill(pid_, SIGTERM);
        const auto deadline = Clock::now() + std::chrono::seconds(3);
        while (Running() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!Running()) return;
        kill(pid_, SIGKILL);
        int status = 0;
        if (waitpid(pid_, &status, 0) == pid_) status_ = status;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

/// Processor seconds (user + system, all threads) used so far by the process; nothing once it is gone.
std::optional<double> ProcessorSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(in, text)) return std::nullopt;
    // The command name in parentheses may hold blanks: fields are counted after its closing parenthesis.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n == 14) utime = std::stoull(field);
        if (n == 15) stime = std::stoull(field);
    }
    if (!fields) return std::nullopt;
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

/// The governor's final state from its closing line, once that line is complete.
std::optional<std::string> GovernorEnd(const std::string& stderrText) {
    const std::size_t start = stderrText.find(GOVERNOR_ENDED);
    if (start == std::string::npos) return std::nullopt;
    const std::size_t from = start + std::strlen(GOVERNOR_ENDED);
    const std::size_t end = stderrText.find('\n', from);
    if (end == std::string::npos) return std::nullopt;
    return stderrText.substr(from, end - from);
}

/// The last lines of the saver's standard error, for the reason of a failed run.
std::string Tail(const std::string& text, int lines) {
    std::size_t pos = text.size();
    if (pos > 0 && text[pos - 1] == '\n') --pos;
    for (int n = 0; n < lines && pos != std::string::npos && pos > 0; ++n) pos = text.rfind('\n', pos - 1);
    return pos == std::string::npos ? text : text.substr(pos + 1);
}

int CannotMeasure(const std::string& why, const std::string& stderrText = {}) {
    std::fprintf(stderr, "bench_governor_share: cannot measure: %s\n", why.c_str());
    if (!stderrText.empty())
        std::fprintf(stderr, "last lines of the saver's standard error:\n%s\n", Tail(stderrText, 15).c_str());
    return 1;
}

/// Sleeps up to seconds while the saver runs; false when it ended.
bool StayAlive(Saver& saver, double seconds) {
    const auto until =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < until) {
        if (!saver.Running()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return saver.Running();
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--without-surface") {
            options.withoutSurface = true;
            continue;
        }
        if (name == "--screen" && i + 1 < argc) {
            char rest = 0;
            if (std::sscanf(argv[++i], "%dx%d%c", &options.screenWidth, &options.screenHeight, &rest) != 2 ||
                options.screenWidth < 64 || options.screenHeight < 64 || options.screenWidth > 8192 ||
                options.screenHeight > 8192)
                return false;
            continue;
        }
        double* target = name == "--timeout" ? &options.governorTimeout
                         : name == "--settle" ? &options.settle
                         : name == "--window" ? &options.window
                                              : nullptr;
        if (target == nullptr || i + 1 >= argc) return false;
        char* end = nullptr;
        *target = std::strtod(argv[++i], &end);
        if (*end != '\0' || !(*target >= 0.0) || *target > 86400.0) return false;
    }
    return options.window > 0.0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--timeout SECONDS] [--settle SECONDS] [--window SECONDS] [--screen WxH] "
                     "[--without-surface]\n",
                     argv[0]);
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    const std::string program = (self.parent_path() / "zelvor").string();
    if (error || access(program.c_str(), X_OK) != 0)
        return CannotMeasure("the zelvor program is not beside this benchmark (" + program + ")");
    if (zelvor::test::FindProgram("Xvfb").empty()) return CannotMeasure("Xvfb is not installed");

    TempFolder folder;
    if (folder.Path().empty()) return CannotMeasure("no temporary folder could be created");
    const std::string xyzPath = folder.Path() + "/lattice-10000.xyz";
    const std::string stderrPath = folder.Path() + "/zelvor-stderr.txt";
    if (!WriteLattice(xyzPath)) return CannotMeasure("the coordinate file could not be written");
    int minUsage = 0, maxUsage = 0;
    WriteSettings(folder.Path(), xyzPath, options.withoutSurface, minUsage, maxUsage);

    zelvor::test::XvfbServer xvfb(options.screenWidth, options.screenHeight);
    if (!xvfb.Running()) return CannotMeasure("Xvfb did not start");

    std::printf("full-screen saver, %d atoms, %dx%d Xvfb, limits %d-%d %%%s\n", ATOMS_X * ATOMS_Y * ATOMS_Z,
                options.screenWidth, options.screenHeight, minUsage, maxUsage,
                options.withoutSurface ? ", surface off" : "");
    const auto started = Clock::now();
    Saver saver(program, {"/s"},
                {{"DISPLAY", xvfb.Display()},
                 {"QT_QPA_PLATFORM", "xcb"},
                 {"XDG_CONFIG_HOME", folder.Path()},
                 {"XDG_RUNTIME_DIR", folder.Path()}},
                stderrPath);
    if (!saver.Started()) return CannotMeasure("the saver could not be started");

    std::optional<std::string> finalState;
    while (!(finalState = GovernorEnd(ReadAll(stderrPath)))) {
        if (!saver.Running())
            return CannotMeasure("the saver ended (" + saver.EndText() + ") before the governor did",
                                 ReadAll(stderrPath));
        if (Seconds(Clock::now() - started) > options.governorTimeout) {
            char why[96];
            std::snprintf(why, sizeof why, "the governor did not end within %.0f s", options.governorTimeout);
            return CannotMeasure(why, ReadAll(stderrPath));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const double governorSeconds = Seconds(Clock::now() - started);
    const std::optional<double> usedWhileGoverning = ProcessorSeconds(saver.Pid());
    std::printf("governor ended after %.1f s (from the saver's start): %s\n", governorSeconds, finalState->c_str());
    if (usedWhileGoverning)
        std::printf("cpu share until then: %.1f %% on average (loading, bonding and governing)\n",
                    100.0 * *usedWhileGoverning / governorSeconds);

    if (!StayAlive(saver, options.settle))
        return CannotMeasure("the saver ended (" + saver.EndText() + ") after the governor", ReadAll(stderrPath));
    const auto windowStart = Clock::now();
    const std::optional<double> before = ProcessorSeconds(saver.Pid());
    const bool alive = StayAlive(saver, options.window);
    const std::optional<double> after = alive ? ProcessorSeconds(saver.Pid()) : std::nullopt;
    const double elapsed = Seconds(Clock::now() - windowStart);
    if (!alive || !before || !after)
        return CannotMeasure("the saver ended (" + saver.EndText() + ") while it was measured", ReadAll(stderrPath));
    saver.Stop();

    const double share = 100.0 * (*after - *before) / elapsed;
    std::printf("cpu share after governor: %.1f %% (limits %d-%d %%), measured over %.1f s%s\n", share, minUsage,
                maxUsage, elapsed, share >= minUsage && share <= maxUsage ? "" : " (outside the limits)");
    return 0;
}
