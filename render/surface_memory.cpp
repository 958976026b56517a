#include "render/surface_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <new>

namespace zelvor {

namespace {

/// Arrays from this size on come from huge-page blocks and are pooled.
constexpr std::size_t kLarge = std::size_t{1} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;
/// A large array is preceded by a header holding the size it really has, which the pool files it under.
constexpr std::size_t kHeader = 16;
/// The pool keeps at most this much: a surface or two, not a leak.
constexpr std::size_t kPoolLimit = std::size_t{128} << 20;
#if defined(__SANITIZE_ADDRESS__)
// The address sanitizer watches only the heap, and a pool would hide a use after release from it.
constexpr bool kHeapOnly = true;
#else
constexpr bool kHeapOnly = false;
#endif

/// A mapping of `size` bytes (a multiple of the huge page), aligned to a huge page and advised to use them.
void* MapHugePages(std::size_t size) {
    void* raw = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    char* start = static_cast<char*>(raw);
    const std::uintptr_t up = (reinterpret_cast<std::uintptr_t>(start) + kHugePage - 1) & ~(kHugePage - 1);
    char* aligned = reinterpret_cast<char*>(up);
    if (aligned > start) munmap(start, static_cast<std::size_t>(aligned - start));
    const std::size_t tail = static_cast<std::size_t>(start + size + kHugePage - (aligned + size));
    if (tail > 0) munmap(aligned + size, tail);
    madvise(aligned, size, MADV_HUGEPAGE);  // a hint: without huge pages the memory still works
    return aligned;
}

std::mutex poolLock;
std::multimap<std::size_t, void*>& Pool() {
    static auto* pool = new std::multimap<std::size_t, void*>();  // outlives every static array
    return *pool;
}
std::size_t pooled = 0;  // guarded by poolLock

}  // namespace

void* AllocateSurfaceMemory(std::size_t bytes) {
    if (kHeapOnly || bytes < kLarge) return ::operator new(bytes);
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
        block = static_cast<char*>(MapHugePages(size));
        *reinterpret_cast<std::size_t*>(block) = size;
    }
    return block + kHeader;
}

void ReleaseSurfaceMemory(void* memory, std::size_t bytes) noexcept {
    if (!memory) return;
    if (kHeapOnly || bytes < kLarge) {
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
    munmap(block, size);
}

void TrimSurfaceMemory() noexcept {
    std::multimap<std::size_t, void*> pool;
    {
        std::lock_guard lock(poolLock);
        pool.swap(Pool());
        pooled = 0;
    }
    for (const auto& [size, block] : pool) munmap(block, size);
}

}  // namespace zelvor
