// The core-file writer run where it is meant to run: in the SIGSEGV handler of a forked child with three
// threads, the others stopped in their own signal handlers. The files it writes are then opened by gdb and
// eu-stack, which must find the faulting function, every thread, and memory as it was at the fault.
#include "greltlib/core_dump_writer.h"

#include <gtest/gtest.h>

#include <asm/prctl.h>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

// Set at run time in the child, so gdb can only print it from the dumped memory, not from the executable.
volatile std::uint64_t gGreltTestMarker = 1;

namespace {

using zelvor::grelt::CoreDumpWriter;
using zelvor::grelt::CrashedThread;

constexpr int kHelperThreads = 2;
constexpr std::size_t kFullCap = std::size_t{1} << 30;
constexpr std::size_t kSmallCap = std::size_t{2} << 20;
constexpr std::size_t kLargeBuffer = std::size_t{16} << 20;  // anonymous memory the small cap leaves out
constexpr std::size_t kTinyCap = 16 * 1024;  // below the notes: nothing can be written

// Child state, all reserved before the fault.
CoreDumpWriter gFullWriter, gSmallWriter, gTinyWriter;
int gFullFd = -1, gSmallFd = -1, gTinyFd = -1;
CrashedThread gThreads[1 + kHelperThreads];
std::atomic<int> gHelperTids[kHelperThreads];
std::atomic<int> gStarted{0};
std::atomic<int> gAnswered{0};
std::atomic<int> gNever{0};
int gStopSignal = 0;
bool gOverflow = false;  // the fault is a stack overflow: only the capped dump is written
int* volatile gNullTarget = nullptr;
volatile int gRecursionEnd = -1;

int* FutexWord(std::atomic<int>& a) { return reinterpret_cast<int*>(&a); }
void FutexWait(std::atomic<int>& a, int value) {
    syscall(SYS_futex, FutexWord(a), FUTEX_WAIT_PRIVATE, value, nullptr, nullptr, 0);
}
void FutexWake(std::atomic<int>& a) { syscall(SYS_futex, FutexWord(a), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0); }
pid_t ThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

void SaveContext(CrashedThread& slot, void* context) { zelvor::grelt::SaveCrashedThread(slot, ThreadId(), context); }

void OnStop(int, siginfo_t*, void* context) {
    const pid_t self = ThreadId();
    for (int i = 0; i < kHelperThreads; ++i)
        if (gHelperTids[i].load() == self) SaveContext(gThreads[1 + i], context);
    gAnswered.fetch_add(1);
    FutexWake(gAnswered);
    for (;;) FutexWait(gNever, 0);  // stays stopped until the process ends
}

void OnFault(int, siginfo_t* info, void* context) {
    SaveContext(gThreads[0], context);
    for (int i = 0; i < kHelperThreads; ++i) syscall(SYS_tgkill, getpid(), gHelperTids[i].load(), gStopSignal);
    for (int n; (n = gAnswered.load()) < kHelperThreads;) FutexWait(gAnswered, n);
    int status = 0;
    if (gOverflow) _exit(gSmallWriter.Write(gSmallFd, gThreads, 1 + kHelperThreads, *info) ? 0 : 2);
    if (!gFullWriter.Write(gFullFd, gThreads, 1 + kHelperThreads, *info)) status |= 1;
    if (!gSmallWriter.Write(gSmallFd, gThreads, 1 + kHelperThreads, *info)) status |= 2;
    if (gTinyWriter.Write(gTinyFd, gThreads, 1 + kHelperThreads, *info)) status |= 4;  // must refuse
    _exit(status);
}

__attribute__((noinline)) void* GreltTestBlockedThread(void* index) {
    const auto i = reinterpret_cast<std::intptr_t>(index);
    gHelperTids[i].store(ThreadId());
    gStarted.fetch_add(1);
    FutexWake(gStarted);
    for (;;) FutexWait(gNever, 0);
    return nullptr;
}

__attribute__((noinline, no_sanitize("address", "undefined"))) void GreltTestFaultingFunction(int* target) {
    *target = 42;
    asm volatile("" ::: "memory");  // the store is the fault; keep a frame after it for the debugger
}

// Recurses until the stack's limit: the fault comes with the stack pointer below the stack mapping.
__attribute__((noinline, no_sanitize("address"))) int GreltTestRecursingFunction(int depth) {
    if (depth == gRecursionEnd) return 0;  // never: the stack ends first
    volatile char frame[16384];  // frames of several pages are probed page by page: the fault leaves SP below the stack
    frame[depth % sizeof frame] = static_cast<char>(depth);
    return GreltTestRecursingFunction(depth + 1) + frame[0];  // not a tail call
}

[[noreturn]] void RunCrashingChild(const std::string& dir, bool overflow) {
    alarm(30);  // a hang in the handler ends the child instead of the test run
    gOverflow = overflow;
    if (overflow) {  // a stack larger than the cap, so that only its innermost part fits
        rlimit limit{};
        getrlimit(RLIMIT_STACK, &limit);
        limit.rlim_cur = std::size_t{4} << 20;
        setrlimit(RLIMIT_STACK, &limit);
    }
    gGreltTestMarker = 0x5e1f000000000000ull | static_cast<std::uint64_t>(getpid());
    gStopSignal = SIGRTMIN + 3;
    void* large = mmap(nullptr, kLargeBuffer, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (large == MAP_FAILED) _exit(25);
    std::memset(large, 0x5a, kLargeBuffer);
    // A file mapping with a written page, whose file is then cut short: its other pages would raise SIGBUS
    // in the handler if the writer touched them directly.
    const int truncated = open((dir + "/truncated.bin").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (truncated < 0 || ftruncate(truncated, 4 * 4096) != 0) _exit(26);
    void* cut = mmap(nullptr, 4 * 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE, truncated, 0);
    if (cut == MAP_FAILED) _exit(27);
    static_cast<volatile char*>(cut)[0] = 1;  // a copied page: the whole mapping is dumped
    if (ftruncate(truncated, 4096) != 0) _exit(28);
    close(truncated);
    if (!gFullWriter.Prepare(kFullCap) || !gSmallWriter.Prepare(kSmallCap) || !gTinyWriter.Prepare(kTinyCap))
        _exit(20);
    const std::string prefix = dir + (overflow ? "/overflow-" : "/");
    gFullFd = open((prefix + "full.core").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    gSmallFd = open((prefix + "small.core").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    gTinyFd = open((prefix + "tiny.core").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (gFullFd < 0 || gSmallFd < 0 || gTinyFd < 0) _exit(21);

    struct sigaction stop {};
    stop.sa_sigaction = OnStop;
    stop.sa_flags = SA_SIGINFO;
    sigemptyset(&stop.sa_mask);
    sigaction(gStopSignal, &stop, nullptr);
    stack_t altStack{};
    altStack.ss_size = 256 * 1024;
    altStack.ss_sp = mmap(nullptr, altStack.ss_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (altStack.ss_sp == MAP_FAILED || sigaltstack(&altStack, nullptr) != 0) _exit(22);
    struct sigaction fault {};
    fault.sa_sigaction = OnFault;
    fault.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&fault.sa_mask);
    sigaction(SIGSEGV, &fault, nullptr);

    for (std::intptr_t i = 0; i < kHelperThreads; ++i) {
        pthread_t thread;
        if (pthread_create(&thread, nullptr, GreltTestBlockedThread, reinterpret_cast<void*>(i)) != 0) _exit(23);
        pthread_detach(thread);
    }
    for (int n; (n = gStarted.load()) < kHelperThreads;) FutexWait(gStarted, n);
    if (overflow) GreltTestRecursingFunction(0);
    else GreltTestFaultingFunction(gNullTarget);
    _exit(24);
}

std::string RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return output;
    char chunk[4096];
    for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
    pclose(pipe);
    return output;
}

bool HaveProgram(const char* name) { return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0; }

int CountLinesStartingWith(const std::string& text, const std::string& prefix) {
    int count = 0;
    for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, prefix.size(), prefix) == 0) ++count;
        const std::size_t next = text.find('\n', at);
        if (next == std::string::npos) break;
        at = next + 1;
    }
    return count;
}

std::size_t FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

class CoreDumpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char dir[] = "/tmp/grelt-core-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        char exe[4096] = {};
        ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
        exe_ = exe;
        childPid_ = RunChild(false, childStatus_);
        RunChild(true, overflowStatus_);
    }
    static pid_t RunChild(bool overflow, int& status) {
        fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) RunCrashingChild(dir_, overflow);
        if (child < 0 || waitpid(child, &status, 0) != child) status = -1;
        return child;
    }
    static void TearDownTestSuite() { std::system(("rm -rf " + Quote(dir_)).c_str()); }

    void SetUp() override {
        ASSERT_TRUE(WIFEXITED(childStatus_)) << "child ended by signal " << WTERMSIG(childStatus_);
        // 1: the full dump failed, 2: the capped one failed, 4: a cap below the notes was not refused.
        ASSERT_EQ(WEXITSTATUS(childStatus_), 0);
    }

    static std::string Gdb(const std::string& core, const std::string& commands) {
        return RunCommand("gdb -batch -nx " + commands + " " + Quote(exe_) + " " + Quote(dir_ + "/" + core));
    }

    static inline std::string dir_, exe_;
    static inline pid_t childPid_ = 0;
    static inline int childStatus_ = 0;
    static inline int overflowStatus_ = 0;
};

TEST_F(CoreDumpTest, GdbShowsTheFaultEveryThreadAndMemoryAtTheFault) {
    if (!HaveProgram("gdb")) GTEST_SKIP() << "gdb is not installed";
    const std::string out = Gdb("full.core", "-ex bt -ex 'print/x gGreltTestMarker' -ex 'thread apply all bt' -ex 'info sharedlibrary'");
    SCOPED_TRACE(out);
    EXPECT_NE(out.find("Program terminated with signal SIGSEGV"), std::string::npos);
    // The current thread, whose bt comes before the print, is the faulting one.
    const std::size_t print = out.find("$1 = ");
    ASSERT_NE(print, std::string::npos);
    EXPECT_NE(out.substr(0, print).find("GreltTestFaultingFunction"), std::string::npos);
    char marker[64];
    std::snprintf(marker, sizeof marker, "$1 = 0x%llx", 0x5e1f000000000000ull | static_cast<unsigned long long>(childPid_));
    EXPECT_NE(out.find(marker), std::string::npos);
    const std::string all = out.substr(print);
    EXPECT_EQ(CountLinesStartingWith(all, "Thread "), 3);
    std::size_t blocked = 0;
    for (std::size_t at = all.find("GreltTestBlockedThread"); at != std::string::npos;
         at = all.find("GreltTestBlockedThread", at + 1))
        ++blocked;
    EXPECT_EQ(blocked, 2u);
    // The shared libraries were found through the dumped loader data.
    EXPECT_NE(out.find("/libc.so.6"), std::string::npos);
    EXPECT_EQ(out.find("warning: Could not load shared library"), std::string::npos);
}

TEST_F(CoreDumpTest, EuStackShowsTheFaultAndEveryThread) {
    if (!HaveProgram("eu-stack")) GTEST_SKIP() << "eu-stack (elfutils) is not installed";
    const std::string out = RunCommand("eu-stack --core=" + Quote(dir_ + "/full.core") + " -e " + Quote(exe_));
    SCOPED_TRACE(out);
    EXPECT_NE(out.find("GreltTestFaultingFunction"), std::string::npos);
    EXPECT_EQ(CountLinesStartingWith(out, "TID "), 3);
    EXPECT_NE(out.find("GreltTestBlockedThread"), std::string::npos);
}

TEST_F(CoreDumpTest, CappedDumpStaysUnderTheCapAndStillShowsTheFault) {
    const std::size_t full = FileSize(dir_ + "/full.core");
    const std::size_t small = FileSize(dir_ + "/small.core");
    std::printf("dump sizes: full %zu bytes, capped %zu bytes (cap %zu)\n", full, small, kSmallCap);
    EXPECT_GT(full, kSmallCap) << "the cap left nothing out; the case tests nothing";
    EXPECT_GT(small, 0u);
    EXPECT_LE(small, kSmallCap);
    EXPECT_EQ(FileSize(dir_ + "/tiny.core"), 0u);  // refused, not a truncated file
    if (!HaveProgram("gdb")) GTEST_SKIP() << "gdb is not installed";
    const std::string out = Gdb("small.core", "-ex bt -ex 'print/x gGreltTestMarker'");
    SCOPED_TRACE(out);
    EXPECT_NE(out.find("GreltTestFaultingFunction"), std::string::npos);
    EXPECT_NE(out.find("$1 = 0x5e1f"), std::string::npos);  // module data is kept under the cap
}

TEST_F(CoreDumpTest, StackOverflowDumpHasTheStackAboveTheGuard) {
    ASSERT_TRUE(WIFEXITED(overflowStatus_)) << "child ended by signal " << WTERMSIG(overflowStatus_);
    ASSERT_EQ(WEXITSTATUS(overflowStatus_), 0) << "the writer refused the overflowed stack";
    EXPECT_LE(FileSize(dir_ + "/overflow-small.core"), kSmallCap);
    if (!HaveProgram("gdb")) GTEST_SKIP() << "gdb is not installed";
    const std::string out = Gdb("overflow-small.core", "-ex 'bt 3'");
    SCOPED_TRACE(out);
    const std::size_t frame0 = out.find("#0 ");
    ASSERT_NE(frame0, std::string::npos);
    EXPECT_NE(out.find("GreltTestRecursingFunction", frame0), std::string::npos);
    EXPECT_NE(out.find("#2 ", frame0), std::string::npos);  // the caller frames come from the dumped stack
}

}  // namespace
