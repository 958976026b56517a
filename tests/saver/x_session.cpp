#include "x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace zelvor::test {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> BuildEnvironment(const std::map<std::string, std::string>& set,
                                          const std::vector<std::string>& unset) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool drop = set.count(name) > 0;
        for (const std::string& u : unset) drop = drop || u == name;
        if (!drop) env.push_back(entry);
    }
    for (const auto& [name, value] : set) env.push_back(name + "=" + value);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (std::string& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

}  // namespace

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

bool WaitForImpl(const void* context, bool (*condition)(const void*), int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (condition(context)) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

XvfbServer::XvfbServer(int width, int height) {
    const std::string xvfb = FindProgram("Xvfb");
    if (xvfb.empty()) return;
    int fds[2];
    if (pipe(fds) != 0) return;
    std::vector<std::string> args = {xvfb, "-displayfd", std::to_string(fds[1]), "-noreset", "-br", "-screen", "0",
                                     std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten",
                                     "tcp"};
    auto argv = Pointers(args);
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execv(xvfb.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        return;
    }
    // The server writes its display number once it accepts connections.
    std::string number;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char c;
        if (read(fds[0], &c, 1) != 1) break;
        if (c == '\n') {
            display_ = ":" + number;
            break;
        }
        number.push_back(c);
    }
    close(fds[0]);
}

XvfbServer::~XvfbServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& set, const std::vector<std::string>& unset,
                           const std::string& stderrPath) {
    std::vector<std::string> argStrings = {program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings = BuildEnvironment(set, unset);
    auto argv = Pointers(argStrings);
    auto envp = Pointers(envStrings);
    pid_ = fork();
    if (pid_ == 0) {
        if (!stderrPath.empty()) {
            const int err = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (err >= 0) dup2(err, 2);
        }
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
}

std::optional<int> ChildProcess::WaitForExit(int timeoutMs) {
    if (status_ || pid_ <= 0) return status_;
    int status = 0;
    if (WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeoutMs)) status_ = status;
    return status_;
}

ChildProcess::~ChildProcess() {
    if (pid_ <= 0 || status_) return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
}

bool RunToCompletion(const std::string& program, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& set, int timeoutMs) {
    ChildProcess child(program, args, set, {});
    const std::optional<int> status = child.WaitForExit(timeoutMs);
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

}  // namespace zelvor::test
