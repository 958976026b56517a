#pragma once
/// Waiting and waking between threads with plain futex calls, and the kernel's thread id: what a crashed
/// process may use where a mutex or condition variable could be held by a stopped thread.
#include <atomic>
#include <climits>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

namespace zelvor::grelt {

inline pid_t ThisThread() { return static_cast<pid_t>(syscall(SYS_gettid)); }

/// Sleeps while word holds value, at most for relative (null: no limit). May return early.
inline void FutexWait(std::atomic<int>& word, int value, const timespec* relative = nullptr) {
    syscall(SYS_futex, reinterpret_cast<int*>(&word), FUTEX_WAIT_PRIVATE, value, relative, nullptr, 0);
}

inline void FutexWake(std::atomic<int>& word) {
    syscall(SYS_futex, reinterpret_cast<int*>(&word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

}  // namespace zelvor::grelt
