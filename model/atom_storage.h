#pragma once
/// Memory for the atom arrays of frames. A trajectory's atoms take hundreds of megabytes that are written
/// once, right after they are allocated: they come from large blocks backed by huge pages where the system
/// offers them, so that filling them costs a few hundred page faults instead of tens of thousands.
#include <cstddef>

namespace zelvor {

/// At least `bytes` bytes, aligned for any atom record; never null (throws std::bad_alloc).
void* AllocateAtomStorage(std::size_t bytes);
/// Gives back memory from AllocateAtomStorage.
void ReleaseAtomStorage(void* memory) noexcept;

}  // namespace zelvor
