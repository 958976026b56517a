#pragma once
/// Memory for triangle arrays. A surface's arrays take tens of megabytes written once, right after they are
/// allocated, and the next surface (another frame, another step) wants as much again while the old one goes.
/// Large arrays are mappings of their own backed by huge pages where the system offers them, and when given back
/// wait in a small pool for the next surface instead of returning to the system: fresh pages cost a page fault
/// and a clearing each.
#include <cstddef>
#include <vector>

namespace zelvor {

/// At least `bytes` bytes, aligned for any scalar; never null (throws std::bad_alloc).
void* AllocateSurfaceMemory(std::size_t bytes);
/// Gives back memory from AllocateSurfaceMemory of the same `bytes`.
void ReleaseSurfaceMemory(void* memory, std::size_t bytes) noexcept;
/// Returns the pooled memory to the system (the last view went, say).
void TrimSurfaceMemory() noexcept;

template <class T>
struct SurfaceAllocator {
    using value_type = T;
    SurfaceAllocator() = default;
    template <class U>
    SurfaceAllocator(const SurfaceAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(AllocateSurfaceMemory(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { ReleaseSurfaceMemory(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const SurfaceAllocator<U>&) const {
        return true;
    }
};

using SurfaceFloats = std::vector<float, SurfaceAllocator<float>>;

}  // namespace zelvor
