#pragma once
/// The bond rule of two atoms and the pieces that the cell-list and the tree partner searches share.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "model/atom.h"

namespace zelvor {

/// Position and van der Waals radius of an atom with finite coordinates: what the bond rule reads.
struct BondSphere {
    double x, y, z, radius;
};

/// Work done by partner searches; the counts show that the work stays bounded without timing anything.
struct BondSearchCounts {
    std::uint64_t pairTests = 0;  ///< atom pairs put to the bond distance test
    std::uint64_t nodeTests = 0;  ///< tree nodes put to the reach and nearest-so-far tests
};

/// Van der Waals radius of an atom; atoms without an element use the fall-back record.
inline double BondRadius(const Atom& atom) {
    const AtomData* element = atom.element ? atom.element : &ElementTable()[FALLBACK_ELEMENT];
    return element->vdWRadius;
}

/// Bond reach of atom A towards atom B, 2 * max(rA, rB). std::max keeps its first argument when either is NaN:
/// an atom with a NaN radius bonds nothing, yet is found by others within their own reach.
inline double BondReach(double radiusA, double radiusB) { return 2.0 * std::max(radiusA, radiusB); }

/// True when a pair at offset (dx, dy, dz), d2 = dx² + dy² + dz², lies within reach on each axis and in length.
inline bool WithinBondReach(double dx, double dy, double dz, double d2, double reach) {
    return (std::fabs(dx) <= reach) & (std::fabs(dy) <= reach) & (std::fabs(dz) <= reach) & (d2 <= reach * reach);
}

/// The nearest partners found so far for one atom: at most MAX_BONDS, by squared distance, then atom number.
class NearestPartners {
public:
    bool Full() const { return count_ == MAX_BONDS; }
    /// True when a candidate at this squared distance and atom number would enter the list.
    bool Admits(double distanceSquared, std::uint32_t atom) const {
        return !Full() || Before(distanceSquared, atom, MAX_BONDS - 1);
    }
    /// Squared distance of the last partner of a full list (equal ones may still enter); +inf before.
    double Bound() const { return Full() ? slots_[MAX_BONDS - 1].distanceSquared : HUGE_VAL; }
    void Offer(double distanceSquared, std::uint32_t atom) {
        if (!Admits(distanceSquared, atom)) return;
        int i = count_ < MAX_BONDS ? count_++ : MAX_BONDS - 1;
        for (; i > 0 && Before(distanceSquared, atom, i - 1); --i) slots_[i] = slots_[i - 1];
        slots_[i] = Slot{distanceSquared, atom};
    }
    /// Writes the partners' atom numbers, nearest first, and returns how many.
    int CopyTo(std::uint32_t* out) const {
        for (int i = 0; i < count_; ++i) out[i] = slots_[i].atom;
        return count_;
    }

private:
    struct Slot {
        double distanceSquared;
        std::uint32_t atom;
    };
    bool Before(double d2, std::uint32_t atom, int i) const {
        return d2 < slots_[i].distanceSquared || (d2 == slots_[i].distanceSquared && atom < slots_[i].atom);
    }
    Slot slots_[MAX_BONDS];
    int count_ = 0;
};

}  // namespace zelvor
