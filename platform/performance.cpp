#include "platform/performance.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "platform/named_event.h"

namespace zelvor {

namespace {

constexpr int SUCCESS = 1;

// A failure code never equals SUCCESS (errno 1 is EPERM): the error number under a failure bit.
int FailureCode(int error) { return static_cast<int>(0x80070000u | (static_cast<unsigned>(error) & 0xffffu)); }

}  // namespace

int CPerformance::Initialise() {
    initialised_ = false;
    status_ = Sample(lastCpuTicks_, lastNanoseconds_);
    if (status_ != SUCCESS) {
        std::fprintf(stderr, "Error status= %x\n", static_cast<unsigned>(status_));
        return status_;
    }
    percent_ = 0.0;
    initialised_ = true;
    return SUCCESS;
}

double CPerformance::GetCPUPercent(const std::vector<WaitHandle>& waitHandles,
                                   const std::vector<NamedEvent*>& measuringEvents, const Sleep& sleep) {
    if (!initialised_) return -1.0;
    const Sleep pause = sleep ? sleep : [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    for (NamedEvent* event : measuringEvents)
        if (event) event->Set();
    // A display-list compile or a surface computation would count as the program's normal load.
    for (const WaitHandle& wait : waitHandles)
        if (wait) wait();
    pause(250);
    MeasurePerformance();
    pause(1000);
    MeasurePerformance();
    for (NamedEvent* event : measuringEvents)
        if (event) event->Reset();
    return LastPercent();
}

double CPerformance::LastPercent() const {
    std::lock_guard guard(percentLock_);
    return percent_;
}

double CPerformance::MeasurePerformance() {
    if (!initialised_) return -1.0;
    std::uint64_t cpuTicks = 0;
    std::uint64_t nanoseconds = 0;
    status_ = Sample(cpuTicks, nanoseconds);
    if (status_ != SUCCESS) return -1.0;
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    double percent = 0.0;
    if (nanoseconds > lastNanoseconds_ && ticksPerSecond > 0 && cpuTicks >= lastCpuTicks_) {
        const double cpuSeconds = static_cast<double>(cpuTicks - lastCpuTicks_) / static_cast<double>(ticksPerSecond);
        const double wallSeconds = static_cast<double>(nanoseconds - lastNanoseconds_) * 1e-9;
        percent = 100.0 * cpuSeconds / wallSeconds;
    }
    {
        std::lock_guard guard(percentLock_);
        percent_ = percent;
    }
    lastCpuTicks_ = cpuTicks;
    lastNanoseconds_ = nanoseconds;
    return percent;
}

int CPerformance::Sample(std::uint64_t& cpuTicks, std::uint64_t& nanoseconds) const {
    std::FILE* file = std::fopen("/proc/self/stat", "r");
    if (!file) return FailureCode(errno ? errno : EIO);
    char text[1024] = {};
    const std::size_t length = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    if (length == 0) return FailureCode(EIO);
    // The command name in field 2 may hold spaces and parentheses: the fields after it start behind the
    // last ')'. utime and stime are fields 14 and 15, i.e. the 12th and 13th after the state (field 3).
    const char* rest = std::strrchr(text, ')');
    if (!rest) return FailureCode(EPROTO);
    unsigned long long utime = 0;
    unsigned long long stime = 0;
    if (std::sscanf(rest + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
        return FailureCode(EPROTO);
    timespec now{};
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) return FailureCode(errno);
    cpuTicks = utime + stime;
    nanoseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000000000ull + static_cast<std::uint64_t>(now.tv_nsec);
    return SUCCESS;
}

}  // namespace zelvor
