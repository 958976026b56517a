#include "app/module_guard.h"

#include <csetjmp>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>

namespace zelvor {

namespace {

constexpr int FAULT_SIGNALS[] = {SIGSEGV, SIGFPE, SIGBUS, SIGILL};
constexpr std::size_t FAULT_SIGNAL_COUNT = sizeof FAULT_SIGNALS / sizeof FAULT_SIGNALS[0];

/// Where a fault on this thread jumps to, and what the handler found.
struct GuardFrame {
    sigjmp_buf jump;
    volatile int signal = 0;
    volatile int code = 0;
    const void* volatile address = nullptr;
};

thread_local GuardFrame* activeFrame = nullptr;

std::mutex installMutex;
int installCount = 0;
struct sigaction previousActions[FAULT_SIGNAL_COUNT];

std::size_t SignalIndex(int signal) {
    for (std::size_t i = 0; i < FAULT_SIGNAL_COUNT; ++i)
        if (FAULT_SIGNALS[i] == signal) return i;
    return 0;
}

void OnFault(int signal, siginfo_t* info, void* context) {
    if (GuardFrame* frame = activeFrame) {
        frame->signal = signal;
        frame->code = info ? info->si_code : 0;
        frame->address = info ? info->si_addr : nullptr;
        siglongjmp(frame->jump, 1);
    }
    // A fault on a thread outside any guarded call belongs to whoever handled it before us.
    const struct sigaction& previous = previousActions[SignalIndex(signal)];
    if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
        return;
    }
    std::signal(signal, SIG_DFL);
    raise(signal);
}

/// The fault handlers, installed while at least one guarded call runs in the process.
class FaultHandlers {
public:
    FaultHandlers() {
        std::lock_guard lock(installMutex);
        if (installCount++ > 0) return;
        struct sigaction action {};
        action.sa_sigaction = OnFault;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < FAULT_SIGNAL_COUNT; ++i) sigaction(FAULT_SIGNALS[i], &action, &previousActions[i]);
    }
    ~FaultHandlers() {
        std::lock_guard lock(installMutex);
        if (--installCount > 0) return;
        for (std::size_t i = 0; i < FAULT_SIGNAL_COUNT; ++i) sigaction(FAULT_SIGNALS[i], &previousActions[i], nullptr);
    }
    FaultHandlers(const FaultHandlers&) = delete;
    FaultHandlers& operator=(const FaultHandlers&) = delete;
};

const char* SignalName(int signal) {
    switch (signal) {
        case SIGSEGV: return "access violation (SIGSEGV)";
        case SIGFPE: return "arithmetic fault (SIGFPE)";
        case SIGBUS: return "bus error (SIGBUS)";
        case SIGILL: return "illegal instruction (SIGILL)";
        default: return "fault";
    }
}

std::string FaultText(int signal, int code, const void* address) {
    char text[160];
    std::snprintf(text, sizeof text, "%s, code %d, at address %p", SignalName(signal), code, address);
    return text;
}

}  // namespace

ModuleFault::ModuleFault(int signal, int code, const void* address)
    : std::runtime_error(FaultText(signal, code, address)), signal_(signal), code_(code), address_(address) {}

void GuardedCall(const std::function<void()>& call) {
    GuardFrame frame;
    GuardFrame* const outer = activeFrame;
    FaultHandlers handlers;
    // Saving the signal mask lets the jump unblock the signal that was being handled.
    if (sigsetjmp(frame.jump, 1) != 0) {
        activeFrame = outer;
        throw ModuleFault(frame.signal, frame.code, frame.address);
    }
    activeFrame = &frame;
    try {
        call();
    } catch (...) {
        activeFrame = outer;
        throw;
    }
    activeFrame = outer;
}

}  // namespace zelvor
