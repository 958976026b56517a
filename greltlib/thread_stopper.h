#pragma once
/// Stops every other thread of the crashed process while the report and dump are written: each gets a
/// real-time signal whose handler saves its registers and waits on a futex until released. Raw system calls
/// and memory reserved at start-up only.
#include "greltlib/elf_notes.h"

#include <sys/types.h>

namespace zelvor::grelt {

class ThreadStopper {
public:
    /// How long the faulting thread waits for the others to answer.
    static constexpr int kAnswerTimeoutMs = 2000;

    ThreadStopper() = default;
    ~ThreadStopper();
    ThreadStopper(const ThreadStopper&) = delete;
    ThreadStopper& operator=(const ThreadStopper&) = delete;

    /// Reserves room for the threads and installs the stop signal's handler (call at start-up).
    bool Prepare(int stopSignal);
    /// Puts the stop signal's previous handler back.
    void Uninstall();

    /// Async-signal-safe. Stops every thread but the caller. The faulting thread's record goes first in
    /// Threads(), filled by the caller; the answering threads follow. Returns how many threads answered.
    int StopOthers(pid_t self);
    /// Async-signal-safe. Lets the stopped threads run on.
    void ReleaseOthers();

    /// The faulting thread's slot, then the stopped threads' (valid after StopOthers).
    CrashedThread* Threads() { return threads_; }
    int ThreadCount() const { return answered_ + 1; }
    /// Threads that were signalled but did not answer within the timeout (or could not be signalled).
    int SilentCount() const { return silentCount_; }
    pid_t Silent(int index) const { return silent_[index]; }

private:
    static void OnStopSignal(int, siginfo_t*, void* context);
    void Answer(const void* context);

    int stopSignal_ = 0;
    bool installed_ = false;
    struct sigaction previous_ {};
    void* arena_ = nullptr;
    std::size_t arenaSize_ = 0;
    int capacity_ = 0;
    CrashedThread* threads_ = nullptr;  // [0] is the faulting thread
    pid_t* signalled_ = nullptr;        // ids of the signalled threads, in signalling order
    pid_t* silent_ = nullptr;
    char* listing_ = nullptr;  // getdents64 buffer for /proc/self/task
    int signalledCount_ = 0;
    int answered_ = 0;
    int silentCount_ = 0;
};

}  // namespace zelvor::grelt
