#include "crunch/stdin_writer.h"
#include "platform/thread_registration.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

namespace zelvor {

CStdinWriter::CStdinWriter(int writeFd) : fd_(writeFd) {
    if (fd_ < 0) return;
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) return;
    // A module that stops reading must not stall the writer: it waits in poll, where a wake-up can reach it.
    const int flags = fcntl(fd_, F_GETFL);
    if (flags >= 0) fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
    thread_ = std::thread([this] {
        RegisteredThread registered;
        Run();
    });
}

CStdinWriter::~CStdinWriter() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    Wake();
    if (thread_.joinable()) thread_.join();
    if (wake_ >= 0) close(wake_);
}

bool CStdinWriter::Queue(std::string bytes) {
    if (!Running()) return false;
    if (bytes.empty()) return true;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(bytes));
    }
    Wake();
    return true;
}

std::string CStdinWriter::Withdraw(const std::function<std::string()>& drainPipe) {
    std::lock_guard lock(mutex_);
    std::string pending = drainPipe();
    for (std::size_t i = 0; i < queue_.size(); ++i)
        pending.append(queue_[i], i == 0 ? frontOffset_ : 0);
    queue_.clear();
    frontOffset_ = 0;
    return pending;
}

void CStdinWriter::Wake() {
    if (wake_ < 0) return;
    const std::uint64_t one = 1;
    // The counter only saturates after 2^64 - 2 wake-ups; a failed write still leaves the writer woken.
    [[maybe_unused]] const ssize_t ignored = write(wake_, &one, sizeof one);
}

void CStdinWriter::Run() {
    // A module that closed its standard input must give this thread EPIPE, not end the process.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    for (;;) {
        bool havePending = false;
        {
            std::lock_guard lock(mutex_);
            if (stop_) return;
            havePending = !queue_.empty();
        }
        // Without pending bytes the pipe is left out: a closed read end would otherwise report POLLERR forever.
        pollfd fds[2] = {{wake_, POLLIN, 0}, {havePending ? fd_ : -1, POLLOUT, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t ignored = read(wake_, &count, sizeof count);
        }
        if (fds[1].revents & (POLLOUT | POLLERR | POLLHUP)) {
            std::lock_guard lock(mutex_);
            WriteQueued();
        }
    }
}

void CStdinWriter::WriteQueued() {
    while (!queue_.empty()) {
        const std::string& front = queue_.front();
        const ssize_t written = write(fd_, front.data() + frontOffset_, front.size() - frontOffset_);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) return;
            if (errno == EPIPE) {
                // Take the blocked SIGPIPE off this thread so that it does not stay pending.
                sigset_t pipeSignal;
                sigemptyset(&pipeSignal);
                sigaddset(&pipeSignal, SIGPIPE);
                const timespec now{0, 0};
                sigtimedwait(&pipeSignal, nullptr, &now);
            }
            // A failed write ends that piece of input; later pieces still get their chance.
            queue_.pop_front();
            frontOffset_ = 0;
            continue;
        }
        frontOffset_ += static_cast<std::size_t>(written);
        if (frontOffset_ == front.size()) {
            queue_.pop_front();
            frontOffset_ = 0;
        }
    }
}

}  // namespace zelvor
