// The built libondrel.so driven as the program drives it: loaded by file name, given fake callbacks,
// its calculation run on a thread with standard input from a pipe. Each run happens in a forked child so
// that the test runner's own standard input and output stay untouched.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

namespace {

using ShouldThreadStopFunc = bool (*)();
using ModuleVariablesAreReadyFunc = void (*)(bool*);
using SetCallBacksFunc = void (*)(ShouldThreadStopFunc, ModuleVariablesAreReadyFunc, void (*)(char*),
                                  void (*)(int*, int*), void (*)());
using BeginFunc = void (*)();
using GetAddressesFunc = void (*)(int*, char***, char**, double**, double**, double**, double**, double**,
                                  double**, int*, int*, int*);

/// What a child saw, handed to the parent through a pipe.
struct RunRecord {
    bool loaded = false;
    int stopCalls = 0;
    int readyCalls = 0;
    int firstTrueCalls = 0;
    bool firstCallWasFirst = false;
    int atomCountAtFirstReady = 0;
    bool coordinatesInCellAtFirstReady = false;
    int atomCount = 0;
    bool addressesStable = false;
    bool labelsAreArgon = false;
    int indirectionLevel = 0;
    int doublePrecision = 0;
    double cellA[3] = {}, cellB[3] = {}, cellC[3] = {};
    bool coordinatesInCell = false;
    char title[32] = {};
};

/// Behaviour of the fake ShouldThreadStop: true at call stopAtCall; at call exitAtCall it writes "exit"
/// to the module's standard input instead, as the program does when it stops a calculation.
struct StopPlan {
    int stopAtCall = 0;
    int exitAtCall = 0;
};

// The fakes run on the module's thread; the child's main thread reads after joining it.
RunRecord gRecord;
StopPlan gPlan;
int gStdinWriter = -1;
GetAddressesFunc gGetAddresses = nullptr;

struct Addresses {
    int count = 0;
    char** labels = nullptr;
    char* title = nullptr;
    double *x = nullptr, *y = nullptr, *z = nullptr, *a = nullptr, *b = nullptr, *c = nullptr;
    int level = 0, spare = 0, precision = 0;
};

Addresses Fetch() {
    Addresses d;
    gGetAddresses(&d.count, &d.labels, &d.title, &d.x, &d.y, &d.z, &d.a, &d.b, &d.c, &d.level, &d.spare,
                  &d.precision);
    return d;
}

// Positions are published centred on the origin: within half the box edge either way.
bool InCell(const Addresses& d) {
    const double half = 0.5 * d.a[0];
    for (int i = 0; i < d.count; ++i)
        for (const double* axis : {d.x, d.y, d.z})
            if (!(axis[i] >= -half && axis[i] < half))
                return false;
    return d.count > 0;
}

bool FakeShouldThreadStop() {
    const int call = ++gRecord.stopCalls;
    if (call == gPlan.exitAtCall && write(gStdinWriter, "exit\n", 5) != 5)
        return true;
    return call == gPlan.stopAtCall;
}

void FakeVariablesReady(bool* first) {
    if (++gRecord.readyCalls == 1) {
        gRecord.firstCallWasFirst = *first;
        const Addresses d = Fetch();
        gRecord.atomCountAtFirstReady = d.count;
        gRecord.coordinatesInCellAtFirstReady = InCell(d);
    }
    gRecord.firstTrueCalls += *first ? 1 : 0;
}

void ReadAll(int fd, void* buffer, std::size_t size) {
    auto* p = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t got = read(fd, p, size);
        if (got <= 0)
            return;
        p += got;
        size -= static_cast<std::size_t>(got);
    }
}

/// The child's side: load, set, run on a thread, join, look at what was published.
[[noreturn]] void RunChild(const std::function<void(void*)>& setSheet, int resultFd) {
    void* library = dlopen(ONDREL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    RunRecord& r = gRecord;
    if (library) {
        auto setCallBacks = reinterpret_cast<SetCallBacksFunc>(dlsym(library, "SetCallBackFuncAddresses"));
        auto begin = reinterpret_cast<BeginFunc>(dlsym(library, "BeginCalculation"));
        gGetAddresses = reinterpret_cast<GetAddressesFunc>(dlsym(library, "GetAddressesOfCalculationData"));
        r.loaded = setCallBacks && begin && gGetAddresses;
        if (r.loaded) {
            setSheet(library);
            setCallBacks(FakeShouldThreadStop, FakeVariablesReady, nullptr, nullptr, nullptr);
            std::thread calculation(begin);
            calculation.join();
            const Addresses d = Fetch(), again = Fetch();
            r.atomCount = d.count;
            r.addressesStable = d.x && d.x == again.x && d.y == again.y && d.z == again.z && d.a == again.a &&
                                d.b == again.b && d.c == again.c && d.labels == again.labels;
            r.labelsAreArgon = d.labels != nullptr;
            for (int i = 0; i < d.count && r.labelsAreArgon; ++i)
                r.labelsAreArgon = std::strcmp(d.labels[i], "Ar") == 0;
            r.indirectionLevel = d.level;
            r.doublePrecision = d.precision;
            for (int k = 0; k < 3; ++k) {
                r.cellA[k] = d.a[k];
                r.cellB[k] = d.b[k];
                r.cellC[k] = d.c[k];
            }
            r.coordinatesInCell = InCell(d);
            std::snprintf(r.title, sizeof r.title, "%s", d.title ? d.title : "");
        }
    }
    const bool sent = write(resultFd, &r, sizeof r) == static_cast<ssize_t>(sizeof r);
    _exit(sent ? 0 : 1);
}

/// Runs the module in a child with this standard input (the pipe stays open, as the program keeps it);
/// returns what it saw and fills output with what it printed.
RunRecord RunModule(const std::string& input, StopPlan plan, const std::function<void(void*)>& setSheet,
                    std::string& output) {
    int in[2], out[2], result[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(result) != 0)
        return {};
    if (write(in[1], input.data(), input.size()) != static_cast<ssize_t>(input.size()))
        return {};
    const pid_t child = fork();
    if (child == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        close(in[0]); close(out[0]); close(out[1]); close(result[0]);
        gStdinWriter = in[1];
        gPlan = plan;
        RunChild(setSheet, result[1]);
    }
    close(in[0]); close(in[1]); close(out[1]); close(result[1]);
    RunRecord record;
    ReadAll(result[0], &record, sizeof record);
    char buffer[4096];
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(got));
    close(result[0]); close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return record;
}

template <typename F>
F Symbol(void* library, const char* name) {
    return reinterpret_cast<F>(dlsym(library, name));
}

void ExpectCubicCell(const RunRecord& r, double edgeInAngstrom) {
    EXPECT_NEAR(r.cellA[0], edgeInAngstrom, 1e-9);
    EXPECT_NEAR(r.cellB[1], edgeInAngstrom, 1e-9);
    EXPECT_NEAR(r.cellC[2], edgeInAngstrom, 1e-9);
    EXPECT_EQ(r.cellA[1] + r.cellA[2] + r.cellB[0] + r.cellB[2] + r.cellC[0] + r.cellC[1], 0.0);
}

TEST(OndrelModule, RunsOnItsThreadPublishesStableArraysAndReturnsSoonAfterTheStop) {
    std::string output;
    const RunRecord r = RunModule("# settings\natoms 108\nbogus line\nrun\n", {.stopAtCall = 50},
                                  [](void* library) { Symbol<void (*)(int)>(library, "SetNumberOfAtoms")(500); },
                                  output);
    ASSERT_TRUE(r.loaded);
    // The standard input overrides the sheet.
    EXPECT_EQ(r.atomCountAtFirstReady, 108);
    EXPECT_EQ(r.atomCount, 108);
    EXPECT_TRUE(r.coordinatesInCellAtFirstReady);
    // Stopped at the 50th poll: no further poll, 49 steps, published at steps 20 and 40 besides the start.
    EXPECT_EQ(r.stopCalls, 50);
    EXPECT_EQ(r.readyCalls, 3);
    EXPECT_TRUE(r.firstCallWasFirst);
    EXPECT_EQ(r.firstTrueCalls, 1);
    EXPECT_TRUE(r.addressesStable);
    EXPECT_TRUE(r.labelsAreArgon);
    EXPECT_EQ(r.indirectionLevel, 1);
    EXPECT_EQ(r.doublePrecision, 1);
    ExpectCubicCell(r, std::cbrt(108 / 0.8) * 3.4);
    EXPECT_TRUE(r.coordinatesInCell);
    EXPECT_STREQ(r.title, "Argon");
    EXPECT_NE(output.find("skipped input line \"bogus line\""), std::string::npos) << output;
    EXPECT_NE(output.find("potential"), std::string::npos) << output;
    EXPECT_NE(output.find("ended after 49 steps"), std::string::npos) << output;
}

TEST(OndrelModule, ExitOnStandardInputEndsTheCalculationBeforeOrDuringTheRun) {
    // "exit" before the run: the start still completes (one report), and nothing is stepped. Entries
    // nobody made arrive as 0 and keep the defaults.
    std::string before;
    const RunRecord a = RunModule("exit\n", {}, [](void* library) {
        Symbol<void (*)(int)>(library, "SetNumberOfAtoms")(0);
        Symbol<void (*)(double)>(library, "SetDensity")(0.0);
        Symbol<void (*)(double)>(library, "SetTemperature")(0.0);
        Symbol<void (*)(double)>(library, "SetTimeStep")(0.0);
        Symbol<void (*)(int)>(library, "SetThermostat")(0);
        Symbol<void (*)(const char*)>(library, "SetTitle")("");
    }, before);
    ASSERT_TRUE(a.loaded);
    EXPECT_EQ(a.stopCalls, 0);
    EXPECT_EQ(a.readyCalls, 1);
    EXPECT_TRUE(a.firstCallWasFirst);
    EXPECT_EQ(a.atomCount, 500);
    ExpectCubicCell(a, std::cbrt(500 / 0.8) * 3.4);
    EXPECT_STREQ(a.title, "Argon");
    EXPECT_NE(before.find("thermostat on"), std::string::npos) << before;

    // No input at all, the pipe left open (the module must not wait for an end that never comes); the
    // exit command arrives during the run and is seen at the next publication, after step 40.
    std::string during;
    const RunRecord b = RunModule("", {.exitAtCall = 30}, [](void* library) {
        Symbol<void (*)(int)>(library, "SetNumberOfAtoms")(256);
        Symbol<void (*)(double)>(library, "SetDensity")(5.0);  // held at the list's maximum, 1.2
        Symbol<void (*)(const char*)>(library, "SetTitle")("Melt");
    }, during);
    ASSERT_TRUE(b.loaded);
    EXPECT_EQ(b.atomCount, 256);
    EXPECT_EQ(b.stopCalls, 40);
    EXPECT_EQ(b.readyCalls, 3);
    EXPECT_EQ(b.firstTrueCalls, 1);
    ExpectCubicCell(b, std::cbrt(256 / 1.2) * 3.4);
    EXPECT_STREQ(b.title, "Melt");
    EXPECT_NE(during.find("ended after 40 steps"), std::string::npos) << during;
}

}  // namespace
