#include "platform/thread_registration.h"

#include <atomic>

namespace zelvor {

namespace {
// Read at each call, not kept: a thread that ends after the crash handler was unbound must not call into it.
std::atomic<int (*)()> startedHook{nullptr};
std::atomic<void (*)()> endingHook{nullptr};
}  // namespace

void SetThreadHooks(const ThreadHooks& hooks) {
    startedHook.store(hooks.started);
    endingHook.store(hooks.ending);
}

RegisteredThread::RegisteredThread() {
    if (const auto started = startedHook.load()) started();
}

RegisteredThread::~RegisteredThread() {
    if (const auto ending = endingHook.load()) ending();
}

}  // namespace zelvor
