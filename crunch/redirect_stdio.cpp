#include "crunch/redirect_stdio.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <iostream>

#include "app/gui_stream.h"
#include "crunch/stdin_writer.h"
#include "platform/thread_registration.h"

namespace zelvor {
namespace {

constexpr std::size_t READ_CHUNK = 999;
constexpr std::size_t FILE_CHUNK = 1000;
constexpr char WAKE_LINE[] = "in CRedirectStdIO::~CRedirectStdIO()\n";

void Report(const char* text) { MessageStream() << text << std::endl; }

/// Moves a pipe end above the standard descriptors (close-on-exec), so that redirecting 0, 1 and 2 and closing
/// our ends later can never hit one of them, even when the process started with one of them closed.
int AboveStandardDescriptors(int fd) {
    if (fd > STDERR_FILENO) return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

/// Creates a pipe whose ends both lie above 2; false (nothing left open) when it cannot.
bool CreatePipe(int& readEnd, int& writeEnd, const char* creationFailure) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        Report(creationFailure);
        return false;
    }
    readEnd = AboveStandardDescriptors(ends[0]);
    writeEnd = AboveStandardDescriptors(ends[1]);
    if (readEnd >= 0 && writeEnd >= 0) return true;
    Report("DuplicateHandle failed");
    if (readEnd >= 0) close(readEnd);
    if (writeEnd >= 0) close(writeEnd);
    readEnd = writeEnd = -1;
    return false;
}

void CloseIfOpen(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

void WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

CRedirectStdIO::CRedirectStdIO() {
    CreatePipeHandles();
    readerWake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    writer_ = std::make_unique<CStdinWriter>(stdinWrite_);
}

CRedirectStdIO::~CRedirectStdIO() {
    WakeAndJoinReader();
    writer_.reset();

    // Leave the standard descriptors on /dev/null rather than on a pipe nobody reads (SIGPIPE) or closed (the next
    // file opened would receive the program's output).
    std::fflush(stdout);
    std::fflush(stderr);
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        if (stdinRedirected_) dup2(null, STDIN_FILENO);
        if (stdoutRedirected_) dup2(null, STDOUT_FILENO);
        if (stderrRedirected_) dup2(null, STDERR_FILENO);
        close(null);
    }
    CloseIfOpen(stdoutWrite_);
    CloseIfOpen(stdinRead_);
    CloseIfOpen(stdoutRead_);
    CloseIfOpen(stdinWrite_);
    CloseIfOpen(stdinPeek_);
    CloseIfOpen(readerWake_);
    CloseIfOpen(savedStdin_);
    CloseIfOpen(savedStdout_);
}

void CRedirectStdIO::CreatePipeHandles() {
    savedStdout_ = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    CreatePipe(stdoutRead_, stdoutWrite_, "Stdout pipe creation failed");
    savedStdin_ = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (CreatePipe(stdinRead_, stdinWrite_, "Stdin pipe creation failed")) {
        // Reopening the read end through /proc gives an open file description of its own, which can be
        // non-blocking without changing how the module's reads of fd 0 behave.
        const std::string path = "/proc/self/fd/" + std::to_string(stdinRead_);
        stdinPeek_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    RedirectHandles();
    std::ios::sync_with_stdio(true);
}

void CRedirectStdIO::RedirectHandles() {
    if (stdinRead_ >= 0) {
        if (dup2(stdinRead_, STDIN_FILENO) < 0) {
            Report("Redirecting Stdin failed");
        } else {
            stdinRedirected_ = true;
            std::clearerr(stdin);
            std::setvbuf(stdin, nullptr, _IONBF, 0);
        }
    }
    if (stdoutWrite_ < 0) return;
    // What was printed before belongs to the old destination.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    if (dup2(stdoutWrite_, STDOUT_FILENO) < 0) {
        Report("Redirecting STDOUT failed");
    } else {
        stdoutRedirected_ = true;
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    }
    if (dup2(stdoutWrite_, STDERR_FILENO) < 0) {
        Report("Redirecting STDERR failed");
    } else {
        stderrRedirected_ = true;
        std::setvbuf(stderr, nullptr, _IONBF, 0);
    }
}

void CRedirectStdIO::StartStdOutThrd(std::function<void(std::string_view)> sink) {
    std::lock_guard lock(readerStartMutex_);
    if (reader_.joinable() || stdoutRead_ < 0 || readerWake_ < 0) return;
    sink_ = std::move(sink);
    readerAlive_ = true;
    reader_ = std::thread([this] {
        RegisteredThread registered;
        ReadMyPipe();
    });
}

void CRedirectStdIO::ReadMyPipe() {
    // Below normal: draining output must not compete with the calculation or the drawing.
    const int self = static_cast<int>(gettid());
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, self);
    if (errno == 0) setpriority(PRIO_PROCESS, self, nice + 1);

    char buffer[READ_CHUNK + 1];
    while (!stopReader_ && SuckTextFromStdout(buffer)) {
    }
    if (stopReader_) {
        // Everything written before the stop, the wake-up line included, still reaches the sink.
        int left = 0;
        if (ioctl(stdoutRead_, FIONREAD, &left) == 0) {
            while (left > 0) {
                const ssize_t got = read(stdoutRead_, buffer, std::min<std::size_t>(left, READ_CHUNK));
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) break;
                if (sink_) sink_(std::string_view(buffer, static_cast<std::size_t>(got)));
                left -= static_cast<int>(got);
            }
        }
    }
    readerAlive_ = false;
}

bool CRedirectStdIO::SuckTextFromStdout(char* buffer) {
    reading_ = true;
    pollfd fds[2] = {{stdoutRead_, POLLIN, 0}, {readerWake_, POLLIN, 0}};
    const int ready = poll(fds, 2, -1);
    ssize_t got = 0;
    if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP)))
        got = read(stdoutRead_, buffer, READ_CHUNK);
    reading_ = false;
    if (ready < 0 || got < 0) return errno == EINTR;
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) && got == 0) return false;
    if (got > 0) {
        buffer[got] = '\0';
        if (sink_) sink_(std::string_view(buffer, static_cast<std::size_t>(got)));
    }
    return true;
}

void CRedirectStdIO::WakeAndJoinReader() {
    if (!reader_.joinable()) return;
    if (readerAlive_) WriteAll(stdoutWrite_, WAKE_LINE);
    stopReader_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = write(readerWake_, &one, sizeof one);
    reader_.join();
}

void CRedirectStdIO::SetCalculationRunning(std::function<bool()> running) {
    std::lock_guard lock(runningMutex_);
    calculationRunning_ = std::move(running);
}

bool CRedirectStdIO::FeedText2Stdin(const char* text, std::size_t length) {
    if (!readerAlive_ || stopReader_ || (text == nullptr && length > 0)) return false;
    std::function<bool()> running;
    {
        std::lock_guard lock(runningMutex_);
        running = calculationRunning_;
    }
    if (running && !running()) return false;
    return writer_->Queue(std::string(text ? text : "", length));
}

void CRedirectStdIO::FeedFile2Stdin(const std::string& path) {
    // Non-blocking, so that a FIFO given as input file cannot hold the caller in open or read.
    const int file = open(path.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (file < 0) {
        Report("no input file");
        return;
    }
    char chunk[FILE_CHUNK];
    for (;;) {
        const ssize_t got = read(file, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || !writer_->Queue(std::string(chunk, static_cast<std::size_t>(got)))) break;
    }
    close(file);
}

bool CRedirectStdIO::FlushPendingStdInput() {
    const auto drainPipe = [this] {
        std::string taken;
        char chunk[READ_CHUNK];
        if (stdinPeek_ >= 0) {
            for (;;) {
                const ssize_t got = read(stdinPeek_, chunk, sizeof chunk);
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) break;
                taken.append(chunk, static_cast<std::size_t>(got));
            }
        } else if (stdinRead_ >= 0) {
            // Without a non-blocking view only what is known to wait is read.
            int waiting = 0;
            while (ioctl(stdinRead_, FIONREAD, &waiting) == 0 && waiting > 0) {
                const ssize_t got = read(stdinRead_, chunk, std::min<std::size_t>(waiting, sizeof chunk));
                if (got <= 0) break;
                taken.append(chunk, static_cast<std::size_t>(got));
            }
        }
        return taken;
    };
    const std::string pending = writer_->Withdraw(drainPipe);
    if (pending.empty()) return false;
    // Shown as output only while the reader drains it; otherwise a large input could fill the output pipe and
    // stall this call.
    if (readerAlive_) WriteToStdout(pending);
    return true;
}

void CRedirectStdIO::WriteToStdout(std::string_view text) const {
    WriteAll(stdoutWrite_ >= 0 ? stdoutWrite_ : STDOUT_FILENO, text);
}

int CRedirectStdIO::StdinRead() const { return stdinRedirected_ ? STDIN_FILENO : stdinRead_; }

int CRedirectStdIO::StdoutWrite() const { return stdoutWrite_; }

bool CRedirectStdIO::IsReading() const { return reading_; }

}  // namespace zelvor
