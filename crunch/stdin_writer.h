#pragma once
/// CStdinWriter: hands queued bytes to a module's standard-input pipe on a thread of its own, so that the caller
/// never waits for the module to read.
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace zelvor {

class CStdinWriter {
public:
    /// writeFd: the pipe's write end (not owned); it is switched to non-blocking. Without a wake-up descriptor
    /// or a valid writeFd the writer does not start and Queue refuses.
    explicit CStdinWriter(int writeFd);
    /// Ends and joins the thread; bytes still queued are dropped.
    ~CStdinWriter();
    CStdinWriter(const CStdinWriter&) = delete;
    CStdinWriter& operator=(const CStdinWriter&) = delete;

    bool Running() const { return thread_.joinable(); }
    /// Appends bytes behind everything queued before. False when the writer does not run.
    bool Queue(std::string bytes);
    /// Stops writing while drainPipe runs (it returns what it took out of the pipe), then drops the queue.
    /// Returns the pipe's bytes followed by the queued ones: everything the module had not read, in order.
    std::string Withdraw(const std::function<std::string()>& drainPipe);

private:
    void Run();
    void Wake();
    /// Writes as much of the queue as the pipe takes now. Called with mutex_ held.
    void WriteQueued();

    const int fd_;
    int wake_ = -1;
    std::mutex mutex_;
    std::deque<std::string> queue_;
    std::size_t frontOffset_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace zelvor
