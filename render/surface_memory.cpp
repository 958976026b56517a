#include "render/surface_memory.h"

#include <map>
#include <mutex>
#include <new>

#include "model/atom_storage.h"

namespace zelvor {

namespace {

/// Arrays from this size on come from huge-page blocks and are pooled.
constexpr std::size_t kLarge = std::size_t{1} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;
/// A large array is preceded by a header holding the size it really has, which the pool files it under.
constexpr std::size_t kHeader = 16;
/// The pool keeps at most this much: a few surfaces' worth, not a leak.
constexpr std::size_t kPoolLimit = std::size_t{160} << 20;

std::mutex poolLock;
std::multimap<std::size_t, void*>& Pool() {
    static auto* pool = new std::multimap<std::size_t, void*>();  // outlives every static array
    return *pool;
}
std::size_t pooled = 0;  // guarded by poolLock

}  // namespace

void* AllocateSurfaceMemory(std::size_t bytes) {
    if (bytes < kLarge) return ::operator new(bytes);
    const std::size_t size = (bytes + kHeader + kHugePage - 1) / kHugePage * kHugePage;
    char* block = nullptr;
    {
        std::lock_guard lock(poolLock);
        // Any pooled block of the size, or up to half as large again.
        auto found = Pool().lower_bound(size);
        if (found != Pool().end() && found->first <= size + size / 2) {
            block = static_cast<char*>(found->second);
            pooled -= found->first;
            Pool().erase(found);
        }
    }
    if (!block) {
        block = static_cast<char*>(AllocateAtomStorage(size));
        *reinterpret_cast<std::size_t*>(block) = size;
    }
    return block + kHeader;
}

void ReleaseSurfaceMemory(void* memory, std::size_t bytes) noexcept {
    if (!memory) return;
    if (bytes < kLarge) {
        ::operator delete(memory);
        return;
    }
    char* block = static_cast<char*>(memory) - kHeader;
    const std::size_t size = *reinterpret_cast<std::size_t*>(block);
    {
        std::lock_guard lock(poolLock);
        if (pooled + size <= kPoolLimit) {
            try {
                Pool().emplace(size, block);
                pooled += size;
                return;
            } catch (const std::bad_alloc&) {
                // no room to remember it: it goes back at once
            }
        }
    }
    ReleaseAtomStorage(block);
}

void TrimSurfaceMemory() noexcept {
    std::multimap<std::size_t, void*> pool;
    {
        std::lock_guard lock(poolLock);
        pool.swap(Pool());
        pooled = 0;
    }
    for (const auto& [size, block] : pool) ReleaseAtomStorage(block);
}

}  // namespace zelvor
