// Frames per processor-second of the full-screen saver against the peer, XScreenSaver's `molecule` hack, on the
// same file and the same 1024x768 private Xvfb, each program alone, one after the other. Frames are counted at
// the buffer swaps by the swap-counter shim (LD_PRELOAD), processor time is read from /proc/PID/stat; both
// over the same fixed window: for the saver after its governor's closing line (or a time-out), for the peer
// after a warm-up. On the large system the figure is atoms drawn per processor-second, the peer's atoms
// counted as it reads them (it takes only records whose serial number leaves "ATOM   " or "HETATM " intact,
// that is up to 9,999).
// Exits 0 whatever the figures; non-zero only when nothing at all could be measured.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/generated_files.h"
#include "bench/whole_process.h"
#include "tests/saver/x_session.h"

namespace {

using namespace zelvor::bench;

constexpr const char* PEER = "/usr/libexec/xscreensaver/molecule";
constexpr int SCREEN_W = 1024, SCREEN_H = 768;
constexpr double TARGET_RATIO = 5.0;
constexpr int LATTICE_X = 40, LATTICE_Y = 25, LATTICE_Z = 20;  // 20,000 atoms

struct Options {
    double governorTimeout = 60.0;  // seconds from the saver's start
    double settle = 2.0;            // seconds after the governor's line, for its final recompile
    double warmUp = 5.0;            // seconds of the peer before its window (reading, first frames)
    double window = 10.0;           // seconds measured
    std::string cases = "abc";
};

struct Case {
    char name;
    std::string title;
    std::string file;
    bool zelvorWithoutSurface = false;
    std::vector<std::string> peerArgs;
    bool perAtom = false;  // the figure is atoms drawn per processor-second
};

/// One program's measurement.
struct Figures {
    bool measured = false;
    std::string why;  // what went wrong, when not measured
    std::string note;
    std::uint64_t frames = 0;
    double processorSeconds = 0.0;
    double seconds = 0.0;
    long atoms = 0;
    long skippedAtoms = 0;  // the peer's own report of atom records it did not take
    double PerProcessorSecond(bool perAtom) const {
        return static_cast<double>(frames) * (perAtom ? static_cast<double>(atoms) : 1.0) / processorSeconds;
    }
};

/// Atom records of a PDB file: all of them (what the saver reads), and those the peer reads (records that
/// begin with "ATOM   " or "HETATM ": a five-digit serial number runs into the blank it looks for).
struct AtomRecords {
    long all = 0, peer = 0;
};

AtomRecords CountAtomRecords(const std::string& path) {
    std::ifstream in(path);
    AtomRecords n;
    for (std::string line; std::getline(in, line);) {
        const bool atom = line.rfind("ATOM  ", 0) == 0 || line.rfind("HETATM", 0) == 0;
        if (!atom) continue;
        ++n.all;
        if (line.rfind("ATOM   ", 0) == 0 || line.rfind("HETATM ", 0) == 0) ++n.peer;
    }
    return n;
}

/// Atom records the peer reports as not understood (with -verbose) on its standard error.
long SkippedAtomRecords(const std::string& stderrText) {
    long n = 0;
    for (const char* record : {"unrecognised line: ATOM", "unrecognised line: HETATM"})
        for (std::size_t at = stderrText.find(record); at != std::string::npos; at = stderrText.find(record, at + 1))
            ++n;
    return n;
}

/// The swap counter's file: zero to begin with, then whatever the shim in the measured program counts.
bool ResetCounter(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return false;
    const std::uint64_t zero = 0;
    const bool written = write(fd, &zero, sizeof zero) == static_cast<ssize_t>(sizeof zero);
    close(fd);
    return written;
}

std::optional<std::uint64_t> ReadCounter(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return std::nullopt;
    std::uint64_t count = 0;
    const bool read = pread(fd, &count, sizeof count, 0) == static_cast<ssize_t>(sizeof count);
    close(fd);
    return read ? std::optional<std::uint64_t>(count) : std::nullopt;
}

/// Whether the process has the shim mapped (a program that drops LD_PRELOAD would count nothing).
bool HasShim(pid_t pid, const std::string& shim) {
    return ReadAll("/proc/" + std::to_string(pid) + "/maps").find(shim) != std::string::npos;
}

Figures Failed(const std::string& why, const std::string& stderrText = {}) {
    Figures f;
    f.why = why;
    if (!stderrText.empty()) f.why += "; last lines of its standard error:\n" + Tail(stderrText, 8);
    return f;
}

/// Frames and processor seconds over the window, which starts now.
Figures MeasureWindow(MeasuredProcess& process, const std::string& counterPath, const std::string& shim,
                      const std::string& stderrPath, double window) {
    if (!HasShim(process.Pid(), shim)) return Failed("the swap counter is not loaded in the process");
    const auto start = Clock::now();
    const std::optional<std::uint64_t> framesBefore = ReadCounter(counterPath);
    const std::optional<double> before = ProcessorSeconds(process.Pid());
    const bool alive = StayAlive(process, window);
    const std::optional<std::uint64_t> framesAfter = alive ? ReadCounter(counterPath) : std::nullopt;
    const std::optional<double> after = alive ? ProcessorSeconds(process.Pid()) : std::nullopt;
    const double seconds = Seconds(Clock::now() - start);
    if (!alive) return Failed("it ended (" + process.EndText() + ") while it was measured", ReadAll(stderrPath));
    if (!framesBefore || !framesAfter || !before || !after) return Failed("its counters could not be read");
    Figures f;
    f.frames = *framesAfter - *framesBefore;
    f.processorSeconds = *after - *before;
    f.seconds = seconds;
    if (f.frames == 0) return Failed("no frame was swapped in the window", ReadAll(stderrPath));
    if (f.processorSeconds <= 0.0) return Failed("no processor time was used in the window");
    f.measured = true;
    return f;
}

Figures MeasureZelvor(const Case& c, const Options& options, const std::string& display, const std::string& folder,
                      const std::string& shim) {
    const std::string program = BesideThisProgram("zelvor");
    if (program.empty()) return Failed("the zelvor program is not beside this benchmark");
    const std::string configHome = folder + "/zelvor-" + c.name;
    const std::string counterPath = configHome + "/swaps";
    const std::string stderrPath = configHome + "/stderr.txt";
    MakePrivateFolder(configHome);
    if (!WriteSaverSettings(configHome, SaverSetup{c.file, c.zelvorWithoutSurface}))
        return Failed("its settings store could not be written");
    if (!ResetCounter(counterPath)) return Failed("the swap counter's file could not be made");
    auto env = SaverEnvironment(display, configHome);
    env["LD_PRELOAD"] = shim;
    env["ZELVOR_SWAP_COUNT_FILE"] = counterPath;
    const auto started = Clock::now();
    MeasuredProcess saver(program, {"/s"}, env, stderrPath);
    if (!saver.Started()) return Failed("it could not be started");

    std::string note;
    std::optional<std::string> governor;
    while (!(governor = GovernorEnd(ReadAll(stderrPath)))) {
        if (!saver.Running())
            return Failed("it ended (" + saver.EndText() + ") before its governor did", ReadAll(stderrPath));
        if (Seconds(Clock::now() - started) > options.governorTimeout) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    char text[256];
    if (governor)
        std::snprintf(text, sizeof text, "governor ended after %.1f s: %s", Seconds(Clock::now() - started),
                      governor->c_str());
    else
        std::snprintf(text, sizeof text, "governor still adjusting after %.0f s: measured anyway",
                      options.governorTimeout);
    note = text;
    if (!StayAlive(saver, options.settle))
        return Failed("it ended (" + saver.EndText() + ") after its governor", ReadAll(stderrPath));
    Figures f = MeasureWindow(saver, counterPath, shim, stderrPath, options.window);
    f.note = note;
    return f;
}

Figures MeasurePeer(const Case& c, const Options& options, const std::string& display, const std::string& folder,
                    const std::string& shim) {
    if (access(PEER, X_OK) != 0) return Failed(std::string(PEER) + " is not installed (Debian package xscreensaver-gl)");
    const std::string counterPath = folder + "/peer-" + c.name + ".swaps";
    const std::string stderrPath = folder + "/peer-" + c.name + ".stderr.txt";
    if (!ResetCounter(counterPath)) return Failed("the swap counter's file could not be made");
    // -verbose makes it name every record it skips while it reads (before the window): the atoms it draws.
    std::vector<std::string> args = {"-root", "-verbose", "-molecule", c.file};
    args.insert(args.end(), c.peerArgs.begin(), c.peerArgs.end());
    MeasuredProcess peer(PEER, args,
                         {{"DISPLAY", display}, {"LD_PRELOAD", shim}, {"ZELVOR_SWAP_COUNT_FILE", counterPath}},
                         stderrPath);
    if (!peer.Started()) return Failed("it could not be started");
    if (!StayAlive(peer, options.warmUp))
        return Failed("it ended (" + peer.EndText() + ") while warming up", ReadAll(stderrPath));
    Figures f = MeasureWindow(peer, counterPath, shim, stderrPath, options.window);
    f.skippedAtoms = SkippedAtomRecords(ReadAll(stderrPath));
    return f;
}

void PrintFigures(const char* who, const Figures& f, bool perAtom) {
    if (!f.measured) {
        std::printf("  %-7s could not be measured: %s\n", who, f.why.c_str());
        return;
    }
    std::printf("  %-7s %6llu frames in %.1f s, %.2f processor s (%.0f %% of one processor), %.1f frames/s;",
                who, static_cast<unsigned long long>(f.frames), f.seconds, f.processorSeconds,
                100.0 * f.processorSeconds / f.seconds, static_cast<double>(f.frames) / f.seconds);
    if (perAtom)
        std::printf(" %ld atoms drawn: %.0f atoms per processor-second\n", f.atoms, f.PerProcessorSecond(true));
    else
        std::printf(" %.1f frames per processor-second\n", f.PerProcessorSecond(false));
    if (!f.note.empty()) std::printf("          (%s)\n", f.note.c_str());
}

void RunCase(const Case& c, const Options& options, const std::string& display, const std::string& folder,
             const std::string& shim) {
    const AtomRecords atoms = CountAtomRecords(c.file);
    std::printf("case (%c) %s\n", c.name, c.title.c_str());
    Figures zelvor = MeasureZelvor(c, options, display, folder, shim);
    zelvor.atoms = atoms.all;
    PrintFigures("zelvor", zelvor, c.perAtom);
    Figures peer = MeasurePeer(c, options, display, folder, shim);
    // What it draws by its own report, checked against its reading rule applied to the file here.
    peer.atoms = atoms.all - peer.skippedAtoms;
    if (peer.measured && peer.atoms != atoms.peer) {
        char text[160];
        std::snprintf(text, sizeof text, "it reports %ld of %ld atom records read, its reading rule gives %ld",
                      peer.atoms, atoms.all, atoms.peer);
        peer.note = text;
    } else if (peer.measured && peer.atoms != atoms.all) {
        char text[160];
        std::snprintf(text, sizeof text, "it reads %ld of the file's %ld atoms: the rest have 5-digit serial numbers",
                      peer.atoms, atoms.all);
        peer.note = text;
    }
    PrintFigures("peer", peer, c.perAtom);
    const char* unit = c.perAtom ? "atoms" : "frames";
    if (zelvor.measured && peer.measured) {
        const double ratio = zelvor.PerProcessorSecond(c.perAtom) / peer.PerProcessorSecond(c.perAtom);
        std::printf("  ratio  %.2fx the peer's %s per processor-second (target >= %.0fx the peer)%s\n", ratio, unit,
                    TARGET_RATIO, ratio >= TARGET_RATIO ? "" : ": below the target");
    } else {
        std::printf("  ratio  not available (target >= %.0fx the peer's %s per processor-second)\n", TARGET_RATIO,
                    unit);
    }
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--cases" && i + 1 < argc) {
            options.cases = argv[++i];
            continue;
        }
        double* target = name == "--governor-timeout" ? &options.governorTimeout
                         : name == "--settle"          ? &options.settle
                         : name == "--warm-up"         ? &options.warmUp
                         : name == "--window"          ? &options.window
                                                       : nullptr;
        if (target == nullptr || !ReadSecondsArgument(argc, argv, i, *target)) return false;
    }
    return options.window > 0.0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--cases abc] [--governor-timeout S] [--settle S] [--warm-up S] [--window S]\n",
                     argv[0]);
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string shim = BesideThisProgram("libzelvor_swap_counter.so");
    if (shim.empty()) {
        std::fprintf(stderr, "bench_peer_frames: cannot measure: the swap counter is not beside this benchmark\n");
        return 1;
    }
    if (zelvor::test::FindProgram("Xvfb").empty()) {
        std::fprintf(stderr, "bench_peer_frames: cannot measure: Xvfb is not installed\n");
        return 1;
    }
    TempFolder folder;
    if (folder.Path().empty()) return 1;
    const std::string lattice = folder.Path() + "/lattice-20000.pdb";
    if (!WriteLatticePdb(lattice, LATTICE_X, LATTICE_Y, LATTICE_Z)) {
        std::fprintf(stderr, "bench_peer_frames: cannot write %s\n", lattice.c_str());
        return 1;
    }
    const std::string actin = std::string(ZELVOR_BENCH_DATA_DIR) + "/apbs-actin-prot3.pdb";
    const std::vector<Case> cases = {
        {'a', "apbs-actin-prot3.pdb, both programs' default settings", actin, false, {}, false},
        {'b', "apbs-actin-prot3.pdb, zelvor without the surface, the peer with --no-shells", actin, true,
         {"--no-shells"}, false},
        {'c', "a 20,000-atom lattice (PDB), both programs' default settings", lattice, false, {}, true},
    };
    zelvor::test::XvfbServer xvfb(SCREEN_W, SCREEN_H);
    if (!xvfb.Running()) {
        std::fprintf(stderr, "bench_peer_frames: cannot measure: Xvfb did not start\n");
        return 1;
    }
    std::printf("frames per processor-second against XScreenSaver's molecule, %dx%d Xvfb, %.0f s windows\n",
                SCREEN_W, SCREEN_H, options.window);
    for (const Case& c : cases)
        if (options.cases.find(c.name) != std::string::npos) RunCase(c, options, xvfb.Display(), folder.Path(), shim);
    return 0;
}
