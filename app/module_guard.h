#pragma once
/// Processor faults inside calls into calculation modules, turned into C++ exceptions.
#include <functional>
#include <stdexcept>

namespace zelvor {

/// A fault (segmentation fault, arithmetic fault, bus error, illegal instruction) raised during a guarded call.
class ModuleFault : public std::runtime_error {
public:
    ModuleFault(int signal, int code, const void* address);
    /// SIGSEGV, SIGFPE, SIGBUS or SIGILL.
    int Signal() const { return signal_; }
    /// si_code of the fault.
    int Code() const { return code_; }
    /// The faulting address (si_addr).
    const void* Address() const { return address_; }

private:
    int signal_;
    int code_;
    const void* address_;
};

/// Runs call on this thread; a fault it raises throws ModuleFault here. The signal handlers are installed
/// only while a guarded call runs. The faulting call is abandoned without unwinding its frames, so only
/// module code (which holds no C++ objects of ours) belongs inside.
void GuardedCall(const std::function<void()>& call);

}  // namespace zelvor
