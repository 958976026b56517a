#pragma once
/// CFrameRateMeter: what --fps shows: the frames drawn per second and the program's processor share, worked
/// out once a second from the frames counted and the process's processor time.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zelvor {

/// One second's figures.
struct FrameRateReport {
    double framesPerSecond = 0.0;
    /// Processor time of the whole process against the time passed, in percent of one processor.
    double cpuPercent = 0.0;
    /// "fps 12.3 cpu 35%": the line written to standard error and shown in the picture's corner.
    std::string Line() const;
};

class CFrameRateMeter {
public:
    /// Seconds on a monotonic clock, and the process's processor time in seconds.
    using Seconds = std::function<double()>;

    /// Defaults: the monotonic clock and this process's processor-time clock.
    CFrameRateMeter(Seconds now = {}, Seconds cpuTime = {});

    /// One frame was drawn (at its buffer swap).
    void FrameDrawn() { ++frames_; }
    /// Once at least a second has passed since the last report (or the start): the figures of that span.
    std::optional<FrameRateReport> Poll();
    /// The last report's line; empty before the first.
    const std::string& LastLine() const { return lastLine_; }

private:
    Seconds now_;
    Seconds cpuTime_;
    double spanStart_ = 0.0;
    double cpuAtStart_ = 0.0;
    std::int64_t frames_ = 0;
    std::string lastLine_;
};

}  // namespace zelvor
