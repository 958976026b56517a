#include "greltlib/alternate_stacks.h"

#include <csignal>
#include <sys/mman.h>
#include <unistd.h>

namespace zelvor::grelt {

namespace {

// The mapping this library made for the thread (guard page included); null when the stack is someone else's.
thread_local void* ownStack = nullptr;

std::size_t PageSize() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

}  // namespace

bool GiveThreadAlternateStack() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return true;
    const std::size_t guard = PageSize();
    void* memory = mmap(nullptr, guard + kAlternateStackBytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED) return false;
    mprotect(memory, guard, PROT_NONE);  // an overflow of the handler itself faults instead of scribbling
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(memory) + guard;
    stack.ss_size = kAlternateStackBytes;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, guard + kAlternateStackBytes);
        return false;
    }
    ownStack = memory;
    return true;
}

void TakeThreadAlternateStack() {
    if (!ownStack) return;
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_ONSTACK)) return;  // in use right now
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
    munmap(ownStack, PageSize() + kAlternateStackBytes);
    ownStack = nullptr;
}

}  // namespace zelvor::grelt
