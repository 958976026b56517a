// A program that binds libgreltlib.so the way zelvor does and then faults as its first argument says. The
// crash handler's tests run it as a child process and read what the handler leaves behind.
//
//   grelt_crash_demo SCENARIO [MODULE]
//   main-segv main-fpe main-ill main-bus main-abort main-trap main-overflow
//                        a fault of that kind in the main thread
//   worker-segv          a registered worker faults while another thread sleeps
//   diagnostic-segv      a diagnostic worker faults; the main thread then says "still running" and exits 0
//   thread-overflow      a registered worker's stack overflows
//   two-threads          two workers fault at the same moment
//   tagged MODULE        a fault inside a tagged module (FaultyModuleEntry(1, 2.5, "tagged label"))
//   wait                 says "waiting" and sleeps, for a fault signal sent from outside
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

extern "C" __attribute__((visibility("default"))) const char GreltProgramVersion[] = "9,8,7,6";

namespace {

using InitialiseFn = void* (*)(const char*, const char*, void*);
using DiagnosticFn = int (*)(int);
using TagFn = int (*)(const char*);
using RegisterFn = int (*)();

RegisterFn registerThread = nullptr;
std::atomic<int> ready{0};
int* volatile nullTarget = nullptr;
volatile int zero = 0;

std::string OwnFolder() {
    char path[PATH_MAX + 1] = {};
    const ssize_t n = readlink("/proc/self/exe", path, PATH_MAX);
    std::string text(path, n > 0 ? static_cast<std::size_t>(n) : 0);
    return text.substr(0, text.rfind('/'));
}

__attribute__((noinline, no_sanitize("address", "undefined"))) void CrashDemoNullWrite() {
    *nullTarget = 42;
    asm volatile("" ::: "memory");
}

__attribute__((noinline, no_sanitize("undefined"))) int CrashDemoDivide(int value) { return value / zero; }

volatile int recursionEnd = -1;

__attribute__((noinline, no_sanitize("address"))) int CrashDemoRecurse(int depth) {
    if (depth == recursionEnd) return 0;  // never: the stack ends first
    volatile char frame[4096];
    frame[depth % sizeof frame] = static_cast<char>(depth);
    return CrashDemoRecurse(depth + 1) + frame[0];
}

__attribute__((noinline)) void CrashDemoBusError() {
    char name[] = "/tmp/grelt-bus-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0 || ftruncate(fd, 4096) != 0) _exit(3);
    auto* page = static_cast<volatile char*>(mmap(nullptr, 8192, PROT_READ, MAP_SHARED, fd, 0));
    unlink(name);
    if (page == MAP_FAILED) _exit(3);
    std::printf("%d\n", page[4096]);  // beyond the end of the file
}

void Worker(void (*work)(), bool diagnostic, DiagnosticFn setDiagnostic) {
    registerThread();
    if (diagnostic) setDiagnostic(static_cast<int>(syscall(SYS_gettid)));
    ready.fetch_add(1);
    work();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string scenario = argv[1];
    void* library = dlopen((OwnFolder() + "/libgreltlib.so").c_str(), RTLD_NOW);
    if (!library) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 3;
    }
    auto initialise = reinterpret_cast<InitialiseFn>(dlsym(library, "InitialiseGreltHandler"));
    auto setDiagnostic = reinterpret_cast<DiagnosticFn>(dlsym(library, "SetDiagnosticGreltHandler"));
    auto tag = reinterpret_cast<TagFn>(dlsym(library, "TagAs3rdPartyModule"));
    registerThread = reinterpret_cast<RegisterFn>(dlsym(library, "RegisterGreltThread"));
    if (!initialise || !setDiagnostic || !tag || !registerThread) return 3;
    initialise("the demo's makers", "demo@example.invalid", nullptr);
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    const auto sleeper = [] {
        registerThread();
        ready.fetch_add(1);
        for (;;) pause();
    };
    if (scenario == "main-segv") CrashDemoNullWrite();
    if (scenario == "main-fpe") return CrashDemoDivide(7);
    if (scenario == "main-ill") __builtin_trap();
    if (scenario == "main-bus") CrashDemoBusError();
    if (scenario == "main-abort") std::abort();
    if (scenario == "main-trap") asm volatile("int3");
    if (scenario == "main-overflow") return CrashDemoRecurse(0);
    if (scenario == "wait") {
        std::printf("waiting\n");
        for (;;) pause();
    }
    if (scenario == "worker-segv" || scenario == "thread-overflow") {
        std::thread(sleeper).detach();
        while (ready.load() < 1) std::this_thread::yield();
        void (*work)() = scenario == "worker-segv" ? CrashDemoNullWrite : [] { CrashDemoRecurse(0); };
        std::thread(Worker, work, false, setDiagnostic).join();
        return 0;
    }
    if (scenario == "two-threads") {
        static std::atomic<bool> go{false};
        const auto racer = [] {
            registerThread();
            ready.fetch_add(1);
            while (!go.load()) {
            }
            CrashDemoNullWrite();
        };
        std::thread a(racer), b(racer);
        while (ready.load() < 2) std::this_thread::yield();
        go.store(true);
        a.join();
        b.join();
        return 0;
    }
    if (scenario == "diagnostic-segv") {
        std::thread(Worker, CrashDemoNullWrite, true, setDiagnostic).detach();
        // The handler stops this thread while it reports; once the report exists, it has let us go again.
        char log[PATH_MAX];
        std::snprintf(log, sizeof log, "%s/grelt_crash_demo_Error.log", std::getenv("HOME"));
        for (int i = 0; i < 3000; ++i) {
            struct stat info {};
            if (stat(log, &info) == 0) {
                std::printf("still running\n");
                return 0;
            }
            usleep(10000);
        }
        return 4;
    }
    if (scenario == "tagged" && argc > 2) {
        void* module = dlopen(argv[2], RTLD_NOW);
        if (!module) return 5;
        tag(argv[2]);
        auto entry = reinterpret_cast<int (*)(int, double, const char*)>(dlsym(module, "FaultyModuleEntry"));
        if (!entry) return 5;
        return entry(1, 2.5, "tagged label");
    }
    return 6;
}
