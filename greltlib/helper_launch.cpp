#include "greltlib/helper_launch.h"

#include <cerrno>
#include <csignal>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zelvor::grelt {

namespace {
constexpr int kExecFailed = 127;
}

int RunHelper(const char* path, char* const* argv) {
    struct sigaction defaultAction {}, previous {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(SIGCHLD, &defaultAction, &previous);

    // clone with only the exit signal: a copy of the process, like fork() without its library work.
    const long child = syscall(SYS_clone, SIGCHLD, nullptr, nullptr, nullptr, nullptr);
    if (child == 0) {
        // The copy inherits the crashed thread's signal mask (the fault signal may be blocked): clear it, or the
        // helper would start with signals it cannot receive.
        sigset_t none;
        sigemptyset(&none);
        syscall(SYS_rt_sigprocmask, SIG_SETMASK, &none, nullptr, sizeof(unsigned long));
        syscall(SYS_execve, path, argv, environ);
        syscall(SYS_exit_group, kExecFailed);
    }
    int result = -1;
    if (child > 0) {
        int status = 0;
        long waited;
        do {
            waited = syscall(SYS_wait4, child, &status, 0, nullptr);
        } while (waited < 0 && errno == EINTR);
        if (waited == child && WIFEXITED(status) && WEXITSTATUS(status) != kExecFailed) result = WEXITSTATUS(status);
    }
    sigaction(SIGCHLD, &previous, nullptr);
    return result;
}

}  // namespace zelvor::grelt
