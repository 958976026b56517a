#include "crunch/forced_thread_end.h"

#include <errno.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <mutex>

namespace zelvor {

namespace {

// Real-time signals below SIGRTMIN+3 belong to the C library and the crash handler.
int EndSignal() { return SIGRTMIN + 6; }

thread_local volatile sig_atomic_t inModuleCode = 0;
thread_local volatile sig_atomic_t endRequested = 0;

[[noreturn]] void EndThisThread() {
    // The thread's stack and locks stay as they are; the kernel wakes whoever joins it.
    for (;;) syscall(SYS_exit, 0);
}

void OnEndSignal(int) {
    if (inModuleCode) EndThisThread();
    endRequested = 1;
}

}  // namespace

void InstallForcedThreadEnd() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_handler = OnEndSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(EndSignal(), &action, nullptr);
    });
}

bool EnterModuleCode() {
    const bool previous = inModuleCode != 0;
    inModuleCode = 1;
    if (endRequested) EndThisThread();
    return previous;
}

bool LeaveModuleCode() {
    const bool previous = inModuleCode != 0;
    inModuleCode = 0;
    return previous;
}

void RestoreModuleCode(bool inModule) {
    if (inModule)
        EnterModuleCode();
    else
        LeaveModuleCode();
}

bool EndThreadByForce(pid_t tid) {
    InstallForcedThreadEnd();
    return syscall(SYS_tgkill, getpid(), tid, EndSignal()) == 0;
}

bool ThreadHasEnded(pid_t tid) { return syscall(SYS_tgkill, getpid(), tid, 0) != 0 && errno == ESRCH; }

}  // namespace zelvor
