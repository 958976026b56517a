#include "saver/frame_rate_meter.h"

#include <time.h>

#include <cstdio>

namespace zelvor {

namespace {

double ClockSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

constexpr double REPORT_SECONDS = 1.0;

}  // namespace

std::string FrameRateReport::Line() const {
    char text[64];
    std::snprintf(text, sizeof text, "fps %.1f cpu %.0f%%", framesPerSecond, cpuPercent);
    return text;
}

CFrameRateMeter::CFrameRateMeter(Seconds now, Seconds cpuTime)
    : now_(now ? std::move(now) : Seconds([] { return ClockSeconds(CLOCK_MONOTONIC); })),
      cpuTime_(cpuTime ? std::move(cpuTime) : Seconds([] { return ClockSeconds(CLOCK_PROCESS_CPUTIME_ID); })) {
    spanStart_ = now_();
    cpuAtStart_ = cpuTime_();
}

std::optional<FrameRateReport> CFrameRateMeter::Poll() {
    const double now = now_();
    const double span = now - spanStart_;
    if (span < REPORT_SECONDS) return std::nullopt;
    const double cpu = cpuTime_();
    FrameRateReport report;
    report.framesPerSecond = static_cast<double>(frames_) / span;
    report.cpuPercent = (cpu - cpuAtStart_) / span * 100.0;
    spanStart_ = now;
    cpuAtStart_ = cpu;
    frames_ = 0;
    lastLine_ = report.Line();
    return report;
}

}  // namespace zelvor
