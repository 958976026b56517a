#include "greltlib/handler_tables.h"

#include <cstring>
#include <mutex>

namespace zelvor::grelt {

namespace {
// Registration happens on the program's threads, rarely; a crash only reads.
std::mutex tableMutex;
}  // namespace

int DiagnosticThreads::Add(pid_t thread) {
    std::lock_guard lock(tableMutex);
    for (auto& slot : slots_) {
        if (slot.load() == 0) {
            slot.store(thread);
            return 1;
        }
    }
    return 0;
}

void DiagnosticThreads::Remove(pid_t thread) {
    std::lock_guard lock(tableMutex);
    for (auto& slot : slots_)
        if (slot.load() == thread) slot.store(0);
}

void DiagnosticThreads::Clear() {
    std::lock_guard lock(tableMutex);
    for (auto& slot : slots_) slot.store(0);
}

bool DiagnosticThreads::Contains(pid_t thread) const {
    if (thread == 0) return false;
    for (const auto& slot : slots_)
        if (slot.load() == thread) return true;
    return false;
}

int TaggedModules::Add(const char* path) {
    std::lock_guard lock(tableMutex);
    const int count = count_.load();
    if (count >= kCapacity) return kCapacity;
    std::strncpy(paths_[count], path ? path : "", kPathCapacity - 1);
    paths_[count][kPathCapacity - 1] = '\0';
    count_.store(count + 1);  // published after the text: a crash never reads a half-written path
    return count + 1;
}

void TaggedModules::Clear() {
    std::lock_guard lock(tableMutex);
    count_.store(0);
}

}  // namespace zelvor::grelt
