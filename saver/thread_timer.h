#pragma once
/// Repeating timers without a window, run by the main thread's event loop.
#include <functional>

namespace zelvor {

/// The timer service the playlist runs on: ids are chosen by the service and never 0.
class ThreadTimers {
public:
    using TimerId = unsigned;
    /// Called with the id of the timer that fired.
    using Procedure = std::function<void(TimerId id)>;

    virtual ~ThreadTimers() = default;
    /// Starts a timer that calls procedure every milliseconds; returns its id.
    virtual TimerId SetTimer(unsigned milliseconds, Procedure procedure) = 0;
    /// Stops a timer; safe from within its own procedure and for an id that is not running.
    virtual void KillTimer(TimerId id) = 0;
};

}  // namespace zelvor
