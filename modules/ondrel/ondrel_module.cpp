// The module's entry points: settings from the sheet, the calculation loop, the published data.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "modules/ondrel/lj_system.h"
#include "modules/ondrel/module_interface.h"
#include "modules/ondrel/stdin_commands.h"

namespace {

using namespace zelvor::ondrel;

constexpr int kMaxAtoms = 20000;
constexpr int kPublishEverySteps = 20;   // the program polls every half second; this is plenty and cheap
constexpr int kReportEverySteps = 1000;  // a progress line on standard output
constexpr int kStartInputWaitMs = 200;   // the program writes the input before it starts the thread

struct Callbacks {
    ShouldThreadStopFunc shouldThreadStop = nullptr;
    ModuleVariablesAreReadyFunc variablesReady = nullptr;
};

/// What the sheet set; read at each start. Atomic: the sheet may commit while a calculation runs.
struct SheetSettings {
    std::atomic<int> atomCount{500};
    std::atomic<double> density{0.8};
    std::atomic<double> temperature{1.0};
    std::atomic<double> timeStep{0.002};
    std::atomic<bool> thermostat{true};
    std::mutex titleLock;
    std::string title = "Argon";
};

/// The data whose addresses the program reads. Allocated at the first start and kept, at the same
/// addresses and with the same atom count, until the library is unloaded.
struct PublishedData {
    int atomCount = 0;
    std::vector<double> x, y, z;
    double cellA[3] = {}, cellB[3] = {}, cellC[3] = {};
    std::vector<char*> labels;
    char title[64] = "Argon";
    int indirectionLevel = 1;
    int spare = 0;
    int doublePrecision = 1;
};

char gArgon[] = "Ar";
Callbacks gCallbacks;
SheetSettings gSheet;
PublishedData gData;

/// The ranges the module list offers; standard input is held within them too (a density of 5 or a time step
/// of 1 would make the atoms fly apart at the first step).
LjSettings WithinLimits(LjSettings s) {
    s.atomCount = std::clamp(s.atomCount, 2, kMaxAtoms);
    s.density = std::clamp(s.density, 0.01, 1.2);
    s.temperature = std::clamp(s.temperature, 0.05, 5.0);
    s.timeStep = std::clamp(s.timeStep, 0.0005, 0.01);
    return s;
}

void Say(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);  // standard output is a pipe to the program's output panel
}

LjSettings SettingsForStart() {
    LjSettings s;
    s.atomCount = gSheet.atomCount.load();
    s.density = gSheet.density.load();
    s.temperature = gSheet.temperature.load();
    s.timeStep = gSheet.timeStep.load();
    s.thermostat = gSheet.thermostat.load();
    return s;
}

void Publish(const LjSystem& system) {
    if (gData.atomCount == 0) {
        const auto n = static_cast<std::size_t>(system.AtomCount());
        gData.x.assign(n, 0.0);
        gData.y.assign(n, 0.0);
        gData.z.assign(n, 0.0);
        gData.labels.assign(n, gArgon);
        gData.atomCount = system.AtomCount();
    }
    system.CopyPositionsInAngstrom(gData.x.data(), gData.y.data(), gData.z.data());
    const double edge = system.BoxLength() * kAngstromPerSigma;
    // Centred on the origin, as the program centres the frames of files: the box then spans the largest
    // coordinate either way, which is what the program sizes the drawn cell by.
    for (int i = 0; i < gData.atomCount; ++i) {
        gData.x[i] -= 0.5 * edge;
        gData.y[i] -= 0.5 * edge;
        gData.z[i] -= 0.5 * edge;
    }
    gData.cellA[0] = edge;
    gData.cellB[1] = edge;
    gData.cellC[2] = edge;
}

void ReportReady(bool& first) {
    if (gCallbacks.variablesReady)
        gCallbacks.variablesReady(&first);
    first = false;
}

void ReportEnergies(long step, const LjSystem& system) {
    const LjEnergies e = system.Energies();
    const double n = system.AtomCount();
    char line[160];
    std::snprintf(line, sizeof line, "step %ld  per atom: kinetic %.5f  potential %.5f  total %.5f  temperature %.4f",
                  step, e.kinetic / n, e.potential / n, e.Total() / n, system.Temperature());
    Say(line);
}

/// Settings lines from standard input; true when they said "exit".
bool ReadStartInput(LineReader& input, LjSettings& settings) {
    std::string line, note;
    while (input.Next(line, kStartInputWaitMs)) {
        const StartLine what = ApplyStartLine(line, settings, note);
        if (!note.empty())
            Say(note);
        if (what == StartLine::Run)
            return false;
        if (what == StartLine::Exit)
            return true;
    }
    return false;
}

/// True when a line "exit" has arrived on standard input during the run.
bool ExitRequested(LineReader& input) {
    std::string line;
    while (!input.Ended() && input.Next(line, 0))
        if (line == "exit")
            return true;
    return false;
}

}  // namespace

extern "C" ONDREL_EXPORT void SetCallBackFuncAddresses(ShouldThreadStopFunc shouldThreadStop,
                                            ModuleVariablesAreReadyFunc variablesReady, GraphIsReadyFunc,
                                            GetRedirStdIOHandlesFunc, CrashHookFunc) {
    // Standard input and output are the process's own descriptors, which the program has redirected; the
    // program installs the crash handler on this thread itself at the first readiness report.
    gCallbacks = {shouldThreadStop, variablesReady};
}

extern "C" ONDREL_EXPORT void BeginCalculation() {
    LjSettings settings = SettingsForStart();
    {
        std::lock_guard lock(gSheet.titleLock);
        std::snprintf(gData.title, sizeof gData.title, "%s", gSheet.title.c_str());
    }
    LineReader input(STDIN_FILENO);
    const bool exitAtOnce = ReadStartInput(input, settings);
    settings = WithinLimits(settings);
    if (gData.atomCount != 0 && settings.atomCount != gData.atomCount) {
        Say("ondrel: the atom count stays " + std::to_string(gData.atomCount) + " until the module is reloaded");
        settings.atomCount = gData.atomCount;
    }
    LjSystem system(settings);
    Publish(system);
    bool first = true;
    ReportReady(first);  // also when told to exit, so that the program's start completes
    char header[200];
    std::snprintf(header, sizeof header,
                  "Ondrel: %d argon atoms, density %.4f, box %.3f sigma, T %.4f, time step %.5f, thermostat %s",
                  system.AtomCount(), settings.density, system.BoxLength(), settings.temperature,
                  settings.timeStep, settings.thermostat ? "on" : "off");
    Say(header);
    if (exitAtOnce || !gCallbacks.shouldThreadStop) {
        Say(exitAtOnce ? "Ondrel: exit before the run" : "Ondrel: no stop callback, not running");
        return;
    }
    ReportEnergies(0, system);
    long step = 0;
    while (!gCallbacks.shouldThreadStop()) {
        system.Step();
        ++step;
        if (step % kPublishEverySteps == 0) {
            Publish(system);
            ReportReady(first);
            if (ExitRequested(input))
                break;
        }
        if (step % kReportEverySteps == 0)
            ReportEnergies(step, system);
    }
    ReportEnergies(step, system);
    Say("Ondrel: ended after " + std::to_string(step) + " steps");
}

extern "C" ONDREL_EXPORT void GetAddressesOfCalculationData(int* atomCount, char*** labels, char** title, void** x,
                                                 void** y, void** z, void** cellA, void** cellB, void** cellC,
                                                 int* indirectionLevel, int* spare, int* doublePrecision) {
    if (atomCount) *atomCount = gData.atomCount;
    if (labels) *labels = gData.labels.data();
    if (title) *title = gData.title;
    if (x) *x = gData.x.data();
    if (y) *y = gData.y.data();
    if (z) *z = gData.z.data();
    if (cellA) *cellA = gData.cellA;
    if (cellB) *cellB = gData.cellB;
    if (cellC) *cellC = gData.cellC;
    if (indirectionLevel) *indirectionLevel = gData.indirectionLevel;
    if (spare) *spare = gData.spare;
    if (doublePrecision) *doublePrecision = gData.doublePrecision;
}

// The sheet commits 0 for an entry nobody made: 0 (or less) keeps the default.
extern "C" ONDREL_EXPORT void SetNumberOfAtoms(int count) { gSheet.atomCount = count > 0 ? count : 500; }
extern "C" ONDREL_EXPORT void SetDensity(double density) { gSheet.density = density > 0 ? density : 0.8; }
extern "C" ONDREL_EXPORT void SetTemperature(double t) { gSheet.temperature = t > 0 ? t : 1.0; }
extern "C" ONDREL_EXPORT void SetTimeStep(double dt) { gSheet.timeStep = dt > 0 ? dt : 0.002; }
// Choice 0 is "On", so a list nobody opened (committed as 0) keeps the thermostat.
extern "C" ONDREL_EXPORT void SetThermostat(int choice) { gSheet.thermostat = choice != 1; }
extern "C" ONDREL_EXPORT void SetTitle(const char* title) {
    std::lock_guard lock(gSheet.titleLock);
    gSheet.title = title && *title ? title : "Argon";
}
