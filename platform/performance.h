#pragma once
/// CPerformance: how much processor time this process uses, measured from /proc/self/stat.
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace zelvor {

class NamedEvent;

/// Processor usage of the own process in percent of one processor: user plus system time from
/// /proc/self/stat against the monotonic clock.
class CPerformance {
public:
    /// Takes the first sample. Returns 1 on success, otherwise a failure code (0x8007xxxx with the errno).
    int Initialise();
    bool IsInitialised() const { return initialised_; }

    /// Takes a sample and returns the percentage since the previous one (0 when no time passed);
    /// -1.0 when not initialised or the sample could not be read.
    double MeasurePerformance();
    /// Blocks until the object it stands for is idle (no display-list compile, no surface computation).
    using WaitHandle = std::function<void()>;
    /// Sleeps the given number of milliseconds; may return early when the caller is being stopped.
    using Sleep = std::function<void(int milliseconds)>;

    /// The program's processor share over about a second, in percent; -1.0 when not initialised. Signals the
    /// measuring events (which keep new surface computations from starting), waits for every handle, measures
    /// after 250 ms and again after another 1000 ms, then resets the events. Without `sleep` it really sleeps.
    double GetCPUPercent(const std::vector<WaitHandle>& waitHandles, const std::vector<NamedEvent*>& measuringEvents,
                         const Sleep& sleep = {});
    /// The percentage of the last measurement.
    double LastPercent() const;
    /// Status of the last sample: 1 for success, else an error code.
    int LastStatus() const { return status_; }

private:
    /// Reads utime + stime (clock ticks) and the monotonic time (ns); returns 1 or an error code.
    int Sample(std::uint64_t& cpuTicks, std::uint64_t& nanoseconds) const;

    std::uint64_t lastCpuTicks_ = 0;
    std::uint64_t lastNanoseconds_ = 0;
    mutable std::mutex percentLock_;  ///< the governor thread measures while the view reads
    double percent_ = 0.0;  // guarded by percentLock_
    int status_ = 0;
    bool initialised_ = false;
};

}  // namespace zelvor
