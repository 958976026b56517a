#pragma once
/// Events that threads of this process find by name, with manual or automatic reset.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace zelvor {

/// A signalled/non-signalled flag that threads wait on. A manual-reset event stays signalled until Reset and
/// releases every waiter; an automatic-reset event releases one waiter and drops back to non-signalled.
/// Named events live while any handle (shared_ptr) to them exists.
class NamedEvent {
public:
    enum class ResetMode { Manual, Automatic };

    /// Creates the event called name, or opens it when it already exists (then mode and initial state are
    /// those it was created with). An empty name gives an event nobody can open.
    static std::shared_ptr<NamedEvent> Create(const std::string& name, ResetMode mode, bool initiallySet);
    /// The existing event called name, or null.
    static std::shared_ptr<NamedEvent> Open(const std::string& name);

    NamedEvent(ResetMode mode, bool initiallySet) : mode_(mode), signalled_(initiallySet) {}
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    void Set();
    void Reset();
    /// Releases the threads waiting now (manual: all, automatic: one) and leaves the event non-signalled.
    void Pulse();
    /// Waits until signalled or the timeout passes; true when signalled. A zero timeout only tests.
    bool Wait(std::chrono::milliseconds timeout);
    /// Waits without time limit.
    void Wait();

    bool IsSet() const;
    /// Number of threads inside Wait (lets tests pulse a waiter without sleeping).
    int Waiters() const;

private:
    template <class Until>
    bool WaitWith(Until&& until);

    const ResetMode mode_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_;
    std::uint64_t pulses_ = 0;  // counts manual pulses, so waiters see one they slept through
    int waiters_ = 0;
};

}  // namespace zelvor
