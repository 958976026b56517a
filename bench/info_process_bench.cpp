// Whole-process load figures: `zelvor-tool info --no-bonds FILE` on the generated files, as a user runs it.
// Start-up, page faults, the frees and the exit all count; the in-process figures of bench_readers hide them.
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/generated_files.h"

namespace {

using namespace zelvor::bench;

std::string ToolPath() {
    std::array<char, 4096> buffer{};
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    std::string self(buffer.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
    return self.substr(0, self.find_last_of('/') + 1) + "zelvor-tool";
}

struct Run {
    double seconds = 0.0;
    long peakKilobytes = 0;
    int status = -1;
};

/// One run of the tool with its output discarded: wall time, peak resident memory and exit status.
Run RunTool(const std::string& tool, const std::string& file) {
    Run run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execl(tool.c_str(), tool.c_str(), "info", "--no-bonds", file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKilobytes = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

void Measure(const char* name, const char* file, void (*write)(const std::string&), double targetMBps) {
    const std::string path = TempPath(file);
    write(path);
    const std::string tool = ToolPath();
    const double megabytes = static_cast<double>(FileSize(path)) / 1e6;
    Run best;
    best.seconds = 1e30;
    for (int i = 0; i < 3; ++i) {
        const Run run = RunTool(tool, path);
        if (run.status != 0) std::fprintf(stderr, "%s exited with %d on %s\n", tool.c_str(), run.status, path.c_str());
        if (run.seconds < best.seconds) best = run;
    }
    const double rate = megabytes / best.seconds;
    const double rssRatio = best.peakKilobytes * 1024.0 / 1e6 / megabytes;
    std::printf("%-5s %6.1f MB: %7.1f MB/s (%.2f s), peak RSS %6.1f MB = %.2f x the file", name, megabytes, rate,
                best.seconds, best.peakKilobytes * 1024.0 / 1e6, rssRatio);
    if (targetMBps > 0)
        std::printf("   (targets >= %.0f MB/s, <= 2.00 x)%s", targetMBps,
                    rate >= targetMBps && rssRatio <= 2.0 ? "" : "   BELOW TARGET");
    std::printf("\n");
    std::remove(path.c_str());
}

}  // namespace

int main() {
    std::printf("zelvor-tool info --no-bonds, whole process, best of 3\n");
    Measure("XYZ", "traj.xyz", WriteXyz, 300);
    Measure("PDB", "models.pdb", WritePdb, 0);
    Measure("cube", "grid.cube", WriteCube, 0);
    return 0;
}
