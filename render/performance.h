#pragma once
/// CPerformance: how much processor time this process uses, measured from /proc/self/stat.
#include <cstdint>

namespace zelvor {

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
    /// The percentage of the last measurement.
    double LastPercent() const { return percent_; }
    /// Status of the last sample: 1 for success, else an error code.
    int LastStatus() const { return status_; }

private:
    /// Reads utime + stime (clock ticks) and the monotonic time (ns); returns 1 or an error code.
    int Sample(std::uint64_t& cpuTicks, std::uint64_t& nanoseconds) const;

    std::uint64_t lastCpuTicks_ = 0;
    std::uint64_t lastNanoseconds_ = 0;
    double percent_ = 0.0;
    int status_ = 0;
    bool initialised_ = false;
};

}  // namespace zelvor
