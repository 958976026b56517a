#pragma once
/// BondCellGrid: the cell list of one frame's atoms used to find bond partners.
#include <cstdint>
#include <vector>

#include "model/bond_rule.h"

namespace zelvor {

/// Atoms of one frame sorted into cubic cells at least as wide as the largest bond distance of the
/// frame, so that every partner of an atom lies in its own cell or one of the 26 around it.
///
/// Only occupied cells are stored, ordered by (ix, iy, iz); the cells (ix+dx, iy+dy, iz-1..iz+1) of
/// one neighbour row are contiguous in that order, so each atom scans nine contiguous runs of
/// entries. Memory and set-up time are linear in the atom count whatever the frame's extent.
class BondCellGrid {
public:
    /// Position and van der Waals radius of a placed atom: what the distance test reads, in 32 bytes.
    using Sphere = BondSphere;
    /// A run of entries [begin, end).
    struct Range {
        std::uint32_t begin, end;
    };

    /// Sorts atoms 1..count into cells; atoms with a non-finite coordinate are left out (Unplaced()).
    /// Reads element records: call under the atom lock.
    void Build(const Atom* atoms, int count);

    /// Width of the cells (a hair over twice the largest van der Waals radius among the placed atoms).
    double CellWidth() const { return cellWidth_; }
    /// Placed atoms ("entries") in cell order, and their atom numbers.
    std::size_t EntryCount() const { return atom_.size(); }
    const Sphere* Spheres() const { return sphere_.data(); }
    const int* AtomNumber() const { return atom_.data(); }
    /// Atoms that could not be placed in a cell.
    const std::vector<int>& Unplaced() const { return unplaced_; }
    int CellCount() const { return static_cast<int>(cellKey_.size()); }
    /// Entries of cell c: [CellBegin(c), CellBegin(c + 1)).
    std::uint32_t CellBegin(int c) const { return cellStart_[c]; }

    /// Visits every occupied cell in order with the up to nine runs of entries that make up the cell's
    /// neighbourhood (the cell itself included): visit(cell, const Range* runs, int runCount).
    template <class Visit>
    void ForEachCell(Visit&& visit) const;

private:
    static constexpr int kAxisBits = 21;
    static constexpr std::uint64_t kAxisMask = (std::uint64_t{1} << kAxisBits) - 1;
    static std::uint64_t Key(std::uint64_t ix, std::uint64_t iy, std::uint64_t iz) {
        return (ix << (2 * kAxisBits)) | (iy << kAxisBits) | iz;
    }

    double cellWidth_ = 1.0;
    std::vector<Sphere> sphere_;
    std::vector<int> atom_;
    std::vector<int> unplaced_;
    std::vector<std::uint64_t> cellKey_;    ///< key of each occupied cell, ascending
    std::vector<std::uint32_t> cellStart_;  ///< first entry of each cell, plus the end
};

template <class Visit>
void BondCellGrid::ForEachCell(Visit&& visit) const {
    const int cells = CellCount();
    // For each of the nine rows (dx, dy) a pair of cursors into the cell list: both targets only grow as
    // the cells are visited in key order, so the cursors move forward only.
    std::uint32_t lo[9] = {}, hi[9] = {};
    Range runs[9];
    for (int c = 0; c < cells; ++c) {
        const std::uint64_t key = cellKey_[c];
        const std::uint64_t ix = key >> (2 * kAxisBits), iy = (key >> kAxisBits) & kAxisMask, iz = key & kAxisMask;
        int runCount = 0;
        for (int r = 0; r < 9; ++r) {
            // Cell indices start at 1, so ix - 1 and iy - 1 never wrap.
            const std::uint64_t jx = ix + r / 3 - 1, jy = iy + r % 3 - 1;
            const std::uint64_t first = Key(jx, jy, iz - 1), last = Key(jx, jy, iz + 1);
            while (lo[r] < static_cast<std::uint32_t>(cells) && cellKey_[lo[r]] < first) ++lo[r];
            if (hi[r] < lo[r]) hi[r] = lo[r];
            while (hi[r] < static_cast<std::uint32_t>(cells) && cellKey_[hi[r]] <= last) ++hi[r];
            if (hi[r] > lo[r]) runs[runCount++] = Range{cellStart_[lo[r]], cellStart_[hi[r]]};
        }
        visit(c, static_cast<const Range*>(runs), runCount);
    }
}

}  // namespace zelvor
