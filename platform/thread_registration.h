#pragma once
/// Every thread the program starts makes itself known to the crash handler, which gives it an alternate
/// signal stack (so that even a stack overflow is reported) and forgets it again as it ends. The crash
/// handler sets the hooks when it is bound; without one, registering does nothing.
namespace zelvor {

struct ThreadHooks {
    int (*started)() = nullptr;  // called on the new thread first
    void (*ending)() = nullptr;  // called on the thread as it ends
};

/// Sets or (with empty hooks) clears the process-wide hooks.
void SetThreadHooks(const ThreadHooks& hooks);

/// Put first in a thread's function: registers the thread for its lifetime.
class RegisteredThread {
public:
    RegisteredThread();
    ~RegisteredThread();
    RegisteredThread(const RegisteredThread&) = delete;
    RegisteredThread& operator=(const RegisteredThread&) = delete;
};

}  // namespace zelvor
