// How fast the full-screen saver ends on a far mouse move while it is busy with a large system: `zelvor /s`
// on a 100,000-atom lattice in a private Xvfb; at several delays after its start (while the file loads, bonds
// are found, the surface is computed, the governor measures) the pointer jumps to the screen's far corner
// through XTest, and the time from that move (once the X server has it) to the process's end is taken. Prints
// every delay's figure and the worst next to the target.
// Exits 0 whatever the figures; non-zero only when nothing could be measured.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/generated_files.h"
#include "bench/whole_process.h"
#include "tests/saver/x_session.h"

namespace {

using namespace zelvor::bench;

constexpr int SCREEN_W = 1024, SCREEN_H = 768;
constexpr int LATTICE_X = 50, LATTICE_Y = 50, LATTICE_Z = 40;  // 100,000 atoms
constexpr double TARGET_MS = 100.0;
/// Longer than any end could take: a saver still running then has missed the move.
constexpr auto GIVE_UP = std::chrono::seconds(15);

/// The threads of a process, for what was running when the move came.
int ThreadCount(pid_t pid) {
    const std::string status = ReadAll("/proc/" + std::to_string(pid) + "/status");
    const std::size_t at = status.find("Threads:");
    return at == std::string::npos ? 0 : std::atoi(status.c_str() + at + 8);
}

void MovePointer(Display* display, int x, int y) {
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
    // Returns once the server has handled the move: the saver can see it from here on.
    XSync(display, False);
}

struct Result {
    double delay = 0.0;
    std::optional<double> milliseconds;
    std::string what;
};

Result MeasureOnce(double delay, Display* display, const std::string& program, const std::string& displayName,
                   const std::string& folder, const std::string& file, int run) {
    Result r;
    r.delay = delay;
    const std::string configHome = folder + "/run-" + std::to_string(run);
    MakePrivateFolder(configHome);
    if (!WriteSaverSettings(configHome, SaverSetup{file, false})) {
        r.what = "the settings store could not be written";
        return r;
    }
    const std::string stderrPath = configHome + "/stderr.txt";
    MovePointer(display, SCREEN_W / 2, SCREEN_H / 2);
    const auto started = Clock::now();
    MeasuredProcess saver(program, {"/s"}, SaverEnvironment(displayName, configHome), stderrPath);
    if (!saver.Started()) {
        r.what = "the saver could not be started";
        return r;
    }
    if (!StayAlive(saver, delay)) {
        r.what = "the saver ended (" + saver.EndText() + ") before the move: " + Tail(ReadAll(stderrPath), 5);
        return r;
    }
    const double cpuBefore = ProcessorSeconds(saver.Pid()).value_or(0.0);
    const int threads = ThreadCount(saver.Pid());
    MovePointer(display, SCREEN_W - 1, SCREEN_H - 1);
    const auto moved = Clock::now();
    std::optional<Clock::time_point> ended = saver.WaitForEnd(GIVE_UP);
    char text[200];
    if (!ended) {
        // The move was lost: a second one, back to the middle, tells how long the end takes once a move is seen.
        MovePointer(display, SCREEN_W / 2, SCREEN_H / 2);
        const auto movedAgain = Clock::now();
        ended = saver.WaitForEnd(GIVE_UP);
        std::snprintf(text, sizeof text, "the move was lost: no end within %lld s (%d threads then, %.1f processor s "
                      "used); a second move ",
                      static_cast<long long>(GIVE_UP.count()), threads, cpuBefore);
        r.what = text;
        if (ended)
            std::snprintf(text, sizeof text, "ended it %.1f ms later", 1000.0 * Seconds(*ended - movedAgain));
        else
            std::snprintf(text, sizeof text, "did not end it either");
        r.what += text;
        return r;
    }
    r.milliseconds = 1000.0 * Seconds(*ended - moved);
    std::snprintf(text, sizeof text, "move %.2f s after the start, %d threads then, %s", Seconds(moved - started),
                  threads, saver.EndText().c_str());
    r.what = text;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<double> delays = {0.3, 1.0, 2.0, 4.0};
    if (argc > 1) {
        delays.clear();
        for (int i = 1; i < argc; ++i) {
            char* end = nullptr;
            const double d = std::strtod(argv[i], &end);
            if (*end != '\0' || !(d >= 0.0) || d > 600.0) {
                std::fprintf(stderr, "usage: %s [DELAY_SECONDS...]\n", argv[0]);
                return 2;
            }
            delays.push_back(d);
        }
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string program = BesideThisProgram("zelvor");
    if (program.empty() || zelvor::test::FindProgram("Xvfb").empty()) {
        std::fprintf(stderr, "bench_exit_latency: cannot measure: zelvor beside it and Xvfb are needed\n");
        return 1;
    }
    TempFolder folder;
    if (folder.Path().empty()) return 1;
    const std::string file = folder.Path() + "/lattice-100000.xyz";
    if (!WriteLatticeXyz(file, LATTICE_X, LATTICE_Y, LATTICE_Z)) {
        std::fprintf(stderr, "bench_exit_latency: cannot write %s\n", file.c_str());
        return 1;
    }
    zelvor::test::XvfbServer xvfb(SCREEN_W, SCREEN_H);
    Display* display = xvfb.Running() ? XOpenDisplay(xvfb.Display().c_str()) : nullptr;
    if (display == nullptr) {
        std::fprintf(stderr, "bench_exit_latency: cannot measure: no private X server\n");
        return 1;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        std::fprintf(stderr, "bench_exit_latency: cannot measure: the X server has no XTest\n");
        XCloseDisplay(display);
        return 1;
    }

    std::printf("full-screen saver on %d atoms, %dx%d Xvfb: from a far mouse move to the process's end\n",
                LATTICE_X * LATTICE_Y * LATTICE_Z, SCREEN_W, SCREEN_H);
    std::optional<double> worst;
    bool missed = false;
    int run = 0;
    for (const double delay : delays) {
        const Result r = MeasureOnce(delay, display, program, xvfb.Display(), folder.Path(), file, run++);
        if (r.milliseconds) {
            std::printf("  move %.1f s after start: ended %.1f ms later (%s)\n", delay, *r.milliseconds,
                        r.what.c_str());
            worst = std::max(worst.value_or(0.0), *r.milliseconds);
        } else {
            std::printf("  move %.1f s after start: %s\n", delay, r.what.c_str());
            missed = true;
        }
    }
    XCloseDisplay(display);
    if (worst)
        std::printf("worst exit after a far move: %.1f ms (target <= %.0f ms)%s%s\n", *worst, TARGET_MS,
                    *worst <= TARGET_MS ? "" : ": above the target", missed ? "; some moves were not measured" : "");
    else
        std::printf("worst exit after a far move: not measured (target <= %.0f ms)\n", TARGET_MS);
    return worst ? 0 : 1;
}
