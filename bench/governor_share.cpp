// Processor share of the full-screen saver once the tessellation governor has settled, on a generated lattice of
// 10,000 atoms and on the 5877-atom protein apbs-actin-prot3.pdb (or on the file given with --file).
// A private Xvfb runs `zelvor /s` with the file as its only playlist entry; after the governor's
// closing line on the saver's standard error, the saver's own processor time is measured against the
// monotonic clock (100 % = one processor fully busy, the scale the governor steers by).
// Prints the figure next to the limits and exits 0 whatever the figure; non-zero only when it cannot measure.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "bench/generated_files.h"
#include "bench/whole_process.h"
#include "tests/saver/x_session.h"

namespace {

using namespace zelvor::bench;

constexpr int ATOMS_X = 25, ATOMS_Y = 20, ATOMS_Z = 20;  // 10,000 atoms

struct Options {
    double governorTimeout = 180.0;  // seconds from the saver's start
    double settle = 2.0;             // seconds after the governor's last change, for its final recompile
    double window = 10.0;            // seconds measured
    int screenWidth = 1280, screenHeight = 1024;
    bool withoutSurface = false;  // the stored animation becomes "Custom" with the surface off
    std::string file;             // empty: the lattice, then the protein
    bool showFps = false;         // the saver runs with --fps and its standard error is printed at the end
};

int CannotMeasure(const std::string& why, const std::string& stderrText = {}) {
    std::fprintf(stderr, "bench_governor_share: cannot measure: %s\n", why.c_str());
    if (!stderrText.empty())
        std::fprintf(stderr, "last lines of the saver's standard error:\n%s\n", Tail(stderrText, 15).c_str());
    return 1;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--without-surface") {
            options.withoutSurface = true;
            continue;
        }
        if (name == "--fps") {
            options.showFps = true;
            continue;
        }
        if (name == "--file" && i + 1 < argc) {
            options.file = argv[++i];
            continue;
        }
        if (name == "--screen" && i + 1 < argc) {
            char rest = 0;
            if (std::sscanf(argv[++i], "%dx%d%c", &options.screenWidth, &options.screenHeight, &rest) != 2 ||
                options.screenWidth < 64 || options.screenHeight < 64 || options.screenWidth > 8192 ||
                options.screenHeight > 8192)
                return false;
            continue;
        }
        double* target = name == "--timeout" ? &options.governorTimeout
                         : name == "--settle" ? &options.settle
                         : name == "--window" ? &options.window
                                              : nullptr;
        if (target == nullptr || !ReadSecondsArgument(argc, argv, i, *target)) return false;
    }
    return options.window > 0.0;
}

/// Runs the saver on `path` (described as `what`) and prints its share after the governor.
int MeasureFile(const Options& options, const std::string& program, const std::string& path, const std::string& what) {
    TempFolder folder;
    if (folder.Path().empty()) return CannotMeasure("no temporary folder could be created");
    const std::string stderrPath = folder.Path() + "/zelvor-stderr.txt";
    const auto limits = WriteSaverSettings(folder.Path(), SaverSetup{path, options.withoutSurface});
    if (!limits) return CannotMeasure("the settings store could not be written");
    const auto [minUsage, maxUsage] = *limits;

    zelvor::test::XvfbServer xvfb(options.screenWidth, options.screenHeight);
    if (!xvfb.Running()) return CannotMeasure("Xvfb did not start");

    std::printf("full-screen saver, %s, %dx%d Xvfb, limits %d-%d %%%s\n", what.c_str(), options.screenWidth, options.screenHeight, minUsage, maxUsage,
                options.withoutSurface ? ", surface off" : "");
    const auto started = Clock::now();
    MeasuredProcess saver(program, options.showFps ? std::vector<std::string>{"/s", "--fps"} : std::vector<std::string>{"/s"}, SaverEnvironment(xvfb.Display(), folder.Path()), stderrPath);
    if (!saver.Started()) return CannotMeasure("the saver could not be started");

    std::optional<std::string> finalState;
    while (!(finalState = GovernorEnd(ReadAll(stderrPath)))) {
        if (!saver.Running())
            return CannotMeasure("the saver ended (" + saver.EndText() + ") before the governor did",
                                 ReadAll(stderrPath));
        if (Seconds(Clock::now() - started) > options.governorTimeout) {
            char why[96];
            std::snprintf(why, sizeof why, "the governor did not end within %.0f s", options.governorTimeout);
            return CannotMeasure(why, ReadAll(stderrPath));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const double governorSeconds = Seconds(Clock::now() - started);
    const std::optional<double> usedWhileGoverning = ProcessorSeconds(saver.Pid());
    std::printf("governor ended after %.1f s (from the saver's start): %s\n", governorSeconds, finalState->c_str());
    if (usedWhileGoverning)
        std::printf("cpu share until then: %.1f %% on average (loading, bonding and governing)\n",
                    100.0 * *usedWhileGoverning / governorSeconds);

    if (!StayAlive(saver, options.settle))
        return CannotMeasure("the saver ended (" + saver.EndText() + ") after the governor", ReadAll(stderrPath));
    const auto windowStart = Clock::now();
    const std::optional<double> before = ProcessorSeconds(saver.Pid());
    const bool alive = StayAlive(saver, options.window);
    const std::optional<double> after = alive ? ProcessorSeconds(saver.Pid()) : std::nullopt;
    const double elapsed = Seconds(Clock::now() - windowStart);
    if (!alive || !before || !after)
        return CannotMeasure("the saver ended (" + saver.EndText() + ") while it was measured", ReadAll(stderrPath));
    saver.Stop();
    if (options.showFps) std::printf("the saver's standard error:\n%s\n", ReadAll(stderrPath).c_str());

    const double share = 100.0 * (*after - *before) / elapsed;
    std::printf("cpu share after governor: %.1f %% (target: within the limits %d-%d %%, governor ended within 60 s: "
                "%s), measured over %.1f s%s\n",
                share, minUsage, maxUsage, governorSeconds <= 60.0 ? "yes" : "no", elapsed,
                share >= minUsage && share <= maxUsage ? "" : " (outside the limits)");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--file PATH] [--fps] [--timeout SECONDS] [--settle SECONDS] [--window SECONDS] "
                     "[--screen WxH] [--without-surface]\n",
                     argv[0]);
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    const std::string program = BesideThisProgram("zelvor");
    if (program.empty()) return CannotMeasure("the zelvor program is not beside this benchmark");
    if (zelvor::test::FindProgram("Xvfb").empty()) return CannotMeasure("Xvfb is not installed");
    if (!options.file.empty()) return MeasureFile(options, program, options.file, options.file);

    TempFolder folder;
    if (folder.Path().empty()) return CannotMeasure("no temporary folder could be created");
    const std::string latticePath = folder.Path() + "/lattice-10000.xyz";
    if (!WriteLatticeXyz(latticePath, ATOMS_X, ATOMS_Y, ATOMS_Z))
        return CannotMeasure("the coordinate file could not be written");
    const int lattice = MeasureFile(options, program, latticePath, "lattice of 10,000 atoms");
    const int protein = MeasureFile(options, program, std::string(ZELVOR_BENCH_DATA_DIR) + "/apbs-actin-prot3.pdb",
                                    "apbs-actin-prot3.pdb (5877 atoms)");
    return lattice != 0 ? lattice : protein;
}
