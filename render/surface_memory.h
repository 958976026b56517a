#pragma once
/// Memory for triangle arrays. A surface's arrays take tens of megabytes written once, right after they are
/// allocated: like the atom arrays they come from the atom storage's large blocks, backed by huge pages where
/// the system offers them, so that filling them costs a few page faults instead of thousands.
#include <cstddef>
#include <vector>

#include "model/atom_storage.h"

namespace zelvor {

template <class T>
struct SurfaceAllocator {
    using value_type = T;
    SurfaceAllocator() = default;
    template <class U>
    SurfaceAllocator(const SurfaceAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(AllocateAtomStorage(n * sizeof(T))); }
    void deallocate(T* p, std::size_t) noexcept { ReleaseAtomStorage(p); }
    template <class U>
    bool operator==(const SurfaceAllocator<U>&) const {
        return true;
    }
};

using SurfaceFloats = std::vector<float, SurfaceAllocator<float>>;

}  // namespace zelvor
