#pragma once
/// The two lists that shape a crash's outcome: diagnostic threads, whose faults leave the program running,
/// and modules of outside origin, whose frames the report marks. Written through the library's exports,
/// read from inside the crashed process (lock-free reads of fixed arrays).
#include <atomic>
#include <sys/types.h>

namespace zelvor::grelt {

class DiagnosticThreads {
public:
    static constexpr int kCapacity = 100;

    /// Stores the thread id in the first free slot: 1, or 0 when all slots are taken.
    int Add(pid_t thread);
    /// Frees the thread's slot (a finished thread's id is handed out again by the kernel).
    void Remove(pid_t thread);
    void Clear();
    /// Async-signal-safe.
    bool Contains(pid_t thread) const;

private:
    std::atomic<pid_t> slots_[kCapacity] = {};
};

class TaggedModules {
public:
    static constexpr int kCapacity = 100;
    static constexpr int kPathCapacity = 1000;  // 999 characters and the terminating zero

    /// The new count, or kCapacity when full (nothing stored). Longer paths are cut to 999 characters.
    int Add(const char* path);
    void Clear();
    /// Async-signal-safe.
    int Count() const { return count_.load(); }
    const char* Path(int index) const { return paths_[index]; }

private:
    char paths_[kCapacity][kPathCapacity] = {};
    std::atomic<int> count_{0};
};

}  // namespace zelvor::grelt
