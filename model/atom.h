#pragma once
/// The element record, the atom record and the process-wide element table.
#include <array>
#include <cstdint>
#include <vector>

#include "model/atom_storage.h"
#include "model/vector.h"

namespace zelvor {

/// Number of element records; the last one is the fall-back element for unknown labels.
inline constexpr int ELEMENT_COUNT = 108;
inline constexpr int FALLBACK_ELEMENT = ELEMENT_COUNT - 1;
inline constexpr int MAX_BONDS = 8;

/// One chemical element as read from Elements.dat.
struct AtomData {
    float covalentRadius = 1.5f;
    float vdWRadius = 1.0f;
    float scatteringLength = 6.0f;
    float extraValue = 0.0f;
    float red = 0.5f, green = 0.5f, blue = 0.5f;
    int atomicNumber = 108;
    char symbol[12] = "Zx";
};

/// One atom of one frame; atoms are numbered from 1 (index 0 of a frame's array is unused). Its bond
/// partners are held by the frame (FrameBonds), so that an atom costs 48 bytes.
struct Atom {
    AtomData* element = nullptr;
    Vector position;
    bool selected = false;
    std::int32_t auxiliary1 = 0;
    std::int32_t auxiliary2 = 0;

    /// Arrays of atoms live in the atom storage (model/atom_storage.h).
    static void* operator new[](std::size_t bytes) { return AllocateAtomStorage(bytes); }
    static void operator delete[](void* memory) noexcept { ReleaseAtomStorage(memory); }
};
static_assert(sizeof(Atom) == 48);

/// The process-wide element table (guarded by the atom lock).
std::array<AtomData, ELEMENT_COUNT>& ElementTable();
/// Row of an element record in the table (0 .. ELEMENT_COUNT - 1).
inline int ElementIndex(const AtomData& element) { return static_cast<int>(&element - ElementTable().data()); }

/// Resets every record of the table to the constructed defaults (tests and start-up).
void ResetElementTable();

}  // namespace zelvor
