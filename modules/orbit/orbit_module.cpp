// Orbit: the smallest useful calculation module, an example to start a module of one's own from.
// A few atoms circle the origin; one setting (their speed) comes from the settings sheet. It shows every
// export the program needs and the order in which the program calls them:
//   SetSpeed (from the settings sheet, before each start), SetCallBackFuncAddresses, BeginCalculation on the
//   calculation thread, and GetAddressesOfCalculationData once the module has said that its data are ready.
// Only C types cross the boundary, so a module can be written in any language that exports C functions.
#include <atomic>
#include <cmath>
#include <unistd.h>

#define ORBIT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The program's callbacks (their C signatures).
using ShouldThreadStopFn = bool (*)();                // blocks while paused; true: return from BeginCalculation
using ModuleVariablesAreReadyFn = void (*)(bool*);    // *first = true once the published data can be read
using GraphIsReadyFn = void (*)(const char*);
using GetRedirStdIOHandlesFn = void (*)(int*, int*);
using CrashHookFn = void* (*)();

ShouldThreadStopFn shouldThreadStop = nullptr;
ModuleVariablesAreReadyFn variablesAreReady = nullptr;

constexpr int ATOMS = 6;
constexpr double RADIUS = 4.0;  // angstrom

// The published data: the program reads them in place, at its polling interval, while the module runs.
double x[ATOMS], y[ATOMS], z[ATOMS];
double cellA[3] = {2 * RADIUS + 4, 0, 0}, cellB[3] = {0, 2 * RADIUS + 4, 0}, cellC[3] = {0, 0, 2 * RADIUS + 4};
char carbon[] = "C", oxygen[] = "O";
char* labels[ATOMS] = {carbon, oxygen, carbon, oxygen, carbon, oxygen};
char title[] = "six atoms on a circle";

std::atomic<double> speed{1.0};  // turns per second; the sheet may set it while the module runs

void Place(double angle) {
    for (int i = 0; i < ATOMS; ++i) {
        const double a = angle + 2 * M_PI * i / ATOMS;
        x[i] = RADIUS * std::cos(a);
        y[i] = RADIUS * std::sin(a);
        z[i] = 0.5 * std::sin(3 * a);
    }
}

}  // namespace

// A setter named in the module list (Property Function="SetSpeed" Unittype="real").
ORBIT_EXPORT void SetSpeed(double turnsPerSecond) {
    if (turnsPerSecond > 0) speed = turnsPerSecond;  // an empty entry arrives as 0: keep the default
}

ORBIT_EXPORT void SetCallBackFuncAddresses(ShouldThreadStopFn stop, ModuleVariablesAreReadyFn ready, GraphIsReadyFn,
                                           GetRedirStdIOHandlesFn, CrashHookFn) {
    shouldThreadStop = stop;
    variablesAreReady = ready;
}

// Runs on the program's calculation thread until ShouldThreadStop says so.
ORBIT_EXPORT void BeginCalculation() {
    double angle = 0;
    Place(angle);
    bool first = true;
    variablesAreReady(&first);  // the program now asks for the addresses below
    while (!shouldThreadStop()) {
        usleep(10000);
        angle += 2 * M_PI * speed * 0.01;
        Place(angle);
    }
}

// Where the data lie: level 1 (arrays of values), doubles.
ORBIT_EXPORT void GetAddressesOfCalculationData(int* atomCount, char*** atomLabels, char** titleText, void** xs,
                                                void** ys, void** zs, void** a, void** b, void** c, int* level,
                                                int* spare, int* doubles) {
    *atomCount = ATOMS;
    *atomLabels = labels;
    *titleText = title;
    *xs = x;
    *ys = y;
    *zs = z;
    *a = cellA;
    *b = cellB;
    *c = cellC;
    *level = 1;
    *spare = 0;
    *doubles = 1;
}
