#include "greltlib/fault_handler.h"

#include "greltlib/handler_state.h"
#include "greltlib/helper_launch.h"
#include "greltlib/helper_protocol.h"
#include "greltlib/raw_thread.h"
#include "greltlib/signal_safe_format.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <fcntl.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace zelvor::grelt {

namespace {

constexpr int kExitCode = -42;
// A fault this close to the stack pointer is the stack running into its guard area.
constexpr std::uint64_t kStackOverflowReach = 64 * 1024;
// Arguments: fixed options, and a tag option per tagged module.
constexpr int kMaxArguments = 32 + 2 * TaggedModules::kCapacity;

char* helperArguments[kMaxArguments];
char threadText[24];
std::atomic<int> parkWord{0};

[[noreturn]] void ExitProcess() {
    for (;;) syscall(SYS_exit_group, kExitCode);
}

void Say(const char* text) {
    std::size_t length = 0;
    while (text[length]) ++length;
    WriteAll(STDERR_FILENO, text, length);
}

bool IsStackOverflow(int signal, const siginfo_t& info, const ucontext_t& context) {
    if (signal != SIGSEGV || info.si_code <= 0) return false;
    const auto address = reinterpret_cast<std::uint64_t>(info.si_addr);
    const auto sp = static_cast<std::uint64_t>(context.uc_mcontext.gregs[REG_RSP]);
    return address + kStackOverflowReach >= sp && address <= sp + kStackOverflowReach;
}

/// A fault signal sent from outside (kill -SEGV) rather than raised by an instruction.
bool SentFromOutside(const siginfo_t& info) { return info.si_code <= 0 && info.si_pid != getpid(); }

int OpenForWriting(const char* path) {
    return static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
}

void Add(int& count, const char* argument) {
    if (count < kMaxArguments - 1) helperArguments[count++] = const_cast<char*>(argument);
}

/// The helper's command line, from the fixed texts of the state.
char* const* HelperArguments(HandlerState& s, pid_t thread, bool reportWritten, bool diagnostic, bool programEnds) {
    TextBuffer tid(threadText, sizeof threadText);
    tid.Decimal(thread);
    int n = 0;
    Add(n, s.helperPath);
    Add(n, protocol::kLog), Add(n, s.logPath);
    Add(n, protocol::kDump), Add(n, s.dumpPath);
    Add(n, protocol::kProgram), Add(n, s.programName);
    Add(n, protocol::kRecipient), Add(n, s.recipientName);
    Add(n, protocol::kAddress), Add(n, s.recipientAddress);
    Add(n, protocol::kExecutable), Add(n, s.executablePath);
    Add(n, protocol::kThread), Add(n, threadText);
    if (!reportWritten) Add(n, protocol::kNoReport);
    if (diagnostic) Add(n, protocol::kDiagnostic);
    // The dialog tells the user whether the program goes on: only a parked diagnostic thread lets it.
    if (programEnds) Add(n, protocol::kTerminating);
    const int tags = s.thirdPartyModules.Count();
    for (int i = 0; i < tags; ++i) Add(n, protocol::kTag), Add(n, s.thirdPartyModules.Path(i));
    helperArguments[n] = nullptr;
    return helperArguments;
}

/// Report and dump; false when the report file could not be created (then neither is written).
bool WriteReportAndDump(HandlerState& s, int signal, const siginfo_t& info, const ucontext_t& context) {
    const int log = OpenForWriting(s.logPath);
    if (log < 0) return false;
    const bool overflow = IsStackOverflow(signal, info, context);
    if (overflow) WriteAll(STDOUT_FILENO, "STACK_OVERFLOW\n", 15);
    s.header.Write(log, info, context, overflow);

    ThreadStopper& stopper = s.stopper;
    if (stopper.SilentCount() > 0) {
        char line[96];
        for (int i = 0; i < stopper.SilentCount(); ++i) {
            TextBuffer text(line, sizeof line);
            text.Text("Thread ").Decimal(stopper.Silent(i)).Text(" is not answering: left out of the dump\r\n");
            WriteAll(log, text.Data(), text.Length());
        }
    }

    syscall(SYS_unlink, s.compressedDumpPath);  // an older crash's compressed dump would be taken for this one
    const int dump = OpenForWriting(s.dumpPath);
    if (dump >= 0) {
        s.dump.Write(dump, stopper.Threads(), stopper.ThreadCount(), info);
        syscall(SYS_close, dump);
    }
    syscall(SYS_fdatasync, log);
    syscall(SYS_close, log);
    return true;
}

void OnFault(int signal, siginfo_t* info, void* rawContext) {
    const int savedErrno = errno;
    HandlerState& s = State();
    const pid_t self = ThisThread();

    int owner = 0;
    if (!s.faultOwner.compare_exchange_strong(owner, self)) {
        if (owner == self) {  // the handler itself faulted: nothing more can be trusted
            Say("Fatal error while writing the crash report\n");
            ExitProcess();
        }
        // Another thread is reporting: wait until it lets the program go on, then fault again for our turn.
        while (s.faultOwner.load() == owner) FutexWait(s.faultOwner, owner);
        errno = savedErrno;
        return;
    }

    ThreadStopper& stopper = s.stopper;
    CrashedThread* threads = stopper.Threads();
    SaveCrashedThread(threads[0], self, rawContext);
    stopper.StopOthers(self);

    // A signal sent from outside is a fault of the main thread, whichever thread the kernel chose to run it.
    pid_t faulting = self;
    if (SentFromOutside(*info) && self != getpid()) {
        for (int i = 1; i < stopper.ThreadCount(); ++i) {
            if (threads[i].tid != getpid()) continue;
            CrashedThread swap = threads[0];
            threads[0] = threads[i];
            threads[i] = swap;
            threads[0].context.uc_mcontext.fpregs = &threads[0].context.__fpregs_mem;
            threads[i].context.uc_mcontext.fpregs = &threads[i].context.__fpregs_mem;
            faulting = getpid();
            break;
        }
    }
    const bool diagnostic = s.diagnosticThreads.Contains(faulting);
    s.faultInDiagnosticThread.store(diagnostic);

    // Only the faulting thread itself can stay parked; a fault signal sent to the process ends it.
    const bool programEnds = !diagnostic || faulting != self || s.terminating.load();
    const bool reportWritten = WriteReportAndDump(s, signal, *info, threads[0].context);
    if (RunHelper(s.helperPath, HelperArguments(s, faulting, reportWritten, diagnostic, programEnds)) < 0) {
        Say("The crash report helper could not be run; the report is in ");
        Say(s.logPath);
        Say("\n");
    }

    if (programEnds) ExitProcess();

    // The program goes on without this thread: it stays parked here for good.
    stopper.ReleaseOthers();
    s.faultOwner.store(0);
    FutexWake(s.faultOwner);
    for (;;) FutexWait(parkWord, 0);
}

bool IsOurs(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) && action.sa_sigaction == OnFault;
}

}  // namespace

int StopSignal() { return SIGRTMIN + 7; }

void* InstallFaultHandlers(bool remember) {
    HandlerState& s = State();
    struct sigaction action {};
    action.sa_sigaction = OnFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    void* replacedSegv = nullptr;
    for (int i = 0; i < kFaultSignalCount; ++i) {
        struct sigaction replaced {};
        sigaction(kFaultSignals[i], &action, &replaced);
        if (kFaultSignals[i] == SIGSEGV)
            replacedSegv = (replaced.sa_flags & SA_SIGINFO) ? reinterpret_cast<void*>(replaced.sa_sigaction)
                                                            : reinterpret_cast<void*>(replaced.sa_handler);
        // Installing twice must not make our own handler the one to go back to.
        if (remember && !IsOurs(replaced)) s.previousActions[i] = replaced;
    }
    s.handlersInstalled = true;
    return replacedSegv;
}

void RestoreFaultHandlers() {
    HandlerState& s = State();
    if (!s.handlersInstalled) return;
    for (int i = 0; i < kFaultSignalCount; ++i) sigaction(kFaultSignals[i], &s.previousActions[i], nullptr);
    s.handlersInstalled = false;
}

}  // namespace zelvor::grelt
