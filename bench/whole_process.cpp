#include "bench/whole_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/app_profile.h"
#include "app/app_settings.h"
#include "render/view_settings.h"

extern char** environ;

namespace zelvor::bench {

namespace fs = std::filesystem;

namespace {
/// The playlist must not move on to another file during a run.
constexpr int FILE_SHOW_SECONDS = 3600;
constexpr const char* GOVERNOR_ENDED = "Tessellation governor ended: ";
}  // namespace

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

TempFolder::TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zelvor-bench-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
}

MeasuredProcess::MeasuredProcess(const std::string& program, const std::vector<std::string>& args,
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
    // A descriptor that becomes readable the moment the process ends: the end is seen without polling.
    if (pid_ > 0) pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
}

MeasuredProcess::~MeasuredProcess() {
    Stop();
    if (pidfd_ >= 0) close(pidfd_);
}

bool MeasuredProcess::Reap(int options) {
    int status = 0;
    if (waitpid(pid_, &status, options) != pid_) return false;
    status_ = status;
    return true;
}

bool MeasuredProcess::Running() {
    if (pid_ <= 0 || status_) return false;
    Reap(WNOHANG);
    return !status_;
}

std::optional<Clock::time_point> MeasuredProcess::WaitForEnd(Clock::duration timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Running()) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return std::nullopt;
        if (pidfd_ >= 0) {
            pollfd p{pidfd_, POLLIN, 0};
            const int ms = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
            if (poll(&p, 1, ms) > 0) {
                const auto ended = Clock::now();
                Reap(0);
                return ended;
            }
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    return Clock::now();
}

std::string MeasuredProcess::EndText() const {
    if (!status_) return "still running";
    if (WIFEXITED(*status_)) return "exit status " + std::to_string(WEXITSTATUS(*status_));
    if (WIFSIGNALED(*status_)) return std::string("signal ") + strsignal(WTERMSIG(*status_));
    return "ended";
}

std::optional<int> MeasuredProcess::ExitStatus() const {
    if (!status_ || !WIFEXITED(*status_)) return std::nullopt;
    return WEXITSTATUS(*status_);
}

void MeasuredProcess::Stop() {
    if (!Running()) return;
    kill(pid_, SIGTERM);
    if (WaitForEnd(std::chrono::seconds(3))) return;
    kill(pid_, SIGKILL);
    Reap(0);
}

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

std::string Tail(const std::string& text, int lines) {
    std::size_t pos = text.size();
    if (pos > 0 && text[pos - 1] == '\n') --pos;
    for (int n = 0; n < lines && pos != std::string::npos && pos > 0; ++n) pos = text.rfind('\n', pos - 1);
    return pos == std::string::npos ? text : text.substr(pos + 1);
}

bool StayAlive(MeasuredProcess& process, double seconds) {
    return !process.WaitForEnd(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
}

std::optional<std::string> GovernorEnd(const std::string& stderrText) {
    const std::size_t start = stderrText.find(GOVERNOR_ENDED);
    if (start == std::string::npos) return std::nullopt;
    const std::size_t from = start + std::strlen(GOVERNOR_ENDED);
    const std::size_t end = stderrText.find('\n', from);
    if (end == std::string::npos) return std::nullopt;
    return stderrText.substr(from, end - from);
}

namespace {

std::pair<int, int> WriteSettingsHere(const std::string& configHome, const SaverSetup& setup) {
    setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    zelvor::CAppProfile profile;
    profile.SetRegistryKey("Cobrant");
    profile.WriteProfileString("Config", "XYZ file0", setup.file);
    profile.WriteProfileInt("Config", "Files to show", 1);
    profile.WriteProfileInt("Config", "Coordinate File Load Time", FILE_SHOW_SECONDS);
    zelvor::CAppSettings settings(true);
    settings.LoadSettings();
    settings.weeklyUpdateCheck = 0;  // no online check may disturb a measurement
    if (setup.withoutSurface) {
        // "Custom" keeps the stored values when the file arrives, so the surface stays off.
        zelvor::C3DViewSettings view;
        view.showSurface = 0;
        view.predefinedAnimation = 7;
    }
    return {settings.minCPUUsage, settings.maxCPUUsage};
}  // the records save themselves as they go

}  // namespace

std::optional<std::pair<int, int>> WriteSaverSettings(const std::string& configHome, const SaverSetup& setup) {
    // The settings store keeps its folder and file contents for the whole process once used: each store is
    // written by a child process of its own, so that several stores can be written one after the other.
    int fds[2];
    if (pipe(fds) != 0) return std::nullopt;
    std::fflush(nullptr);  // the child's exit flushes its copies of the buffers
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const std::pair<int, int> limits = WriteSettingsHere(configHome, setup);
        const int values[2] = {limits.first, limits.second};
        const bool written = write(fds[1], values, sizeof values) == static_cast<ssize_t>(sizeof values);
        // exit, not _exit: the settings store writes its file as its objects go.
        std::exit(written ? 0 : 1);
    }
    close(fds[1]);
    int values[2] = {};
    const bool read = child > 0 && ::read(fds[0], values, sizeof values) == static_cast<ssize_t>(sizeof values);
    close(fds[0]);
    int status = 0;
    const bool exited = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
                        WEXITSTATUS(status) == 0;
    if (!read || !exited) return std::nullopt;
    return std::pair<int, int>{values[0], values[1]};
}

bool MakePrivateFolder(const std::string& path) {
    std::error_code error;
    fs::create_directories(path, error);
    if (!error) fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace, error);
    return !error;
}

std::string BesideThisProgram(const std::string& name) {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const std::string path = (self.parent_path() / name).string();
    return access(path.c_str(), R_OK) == 0 ? path : std::string();
}

std::map<std::string, std::string> SaverEnvironment(const std::string& display, const std::string& folder) {
    return {{"DISPLAY", display},
            {"QT_QPA_PLATFORM", "xcb"},
            {"XDG_CONFIG_HOME", folder},
            {"XDG_RUNTIME_DIR", folder}};
}

bool ReadSecondsArgument(int argc, char** argv, int& i, double& seconds) {
    if (i + 1 >= argc) return false;
    char* end = nullptr;
    seconds = std::strtod(argv[++i], &end);
    return *end == '\0' && seconds >= 0.0 && seconds <= 86400.0;
}

}  // namespace zelvor::bench
