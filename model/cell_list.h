#pragma once
/// CCellList: entries (atoms, or references to atoms) sorted by the cubic cell they lie in. The bond search
/// and the molecular surface both find atoms by cell through it.
#include <cstdint>
#include <vector>

namespace zelvor {

/// Only occupied cells are kept, ordered by key (ix, iy, iz); the entries of one cell keep the order they were
/// given in. Memory and sorting time are linear in the entries, however far apart the cells lie.
class CCellList {
public:
    /// Bits of one axis index in a key: indices run from 0 to 2^21 - 1.
    static constexpr int kAxisBits = 21;
    static constexpr std::uint64_t kAxisMask = (std::uint64_t{1} << kAxisBits) - 1;
    /// The key of cell (ix, iy, iz).
    static std::uint64_t Key(std::uint64_t ix, std::uint64_t iy, std::uint64_t iz) {
        return (ix << (2 * kAxisBits)) | (iy << kAxisBits) | iz;
    }
    /// A run of entries [begin, end) in cell order.
    struct Range {
        std::uint32_t begin, end;
    };

    /// Sorts entries 0..keys.size()-1 by their cell keys; top holds the largest index on each axis. Returns
    /// the entries in cell order.
    std::vector<std::uint32_t> Sort(const std::vector<std::uint64_t>& keys, const std::uint64_t top[3]);

    int CellCount() const { return static_cast<int>(cellKey_.size()); }
    /// Entries of cell c (0 .. CellCount() - 1, in key order): [CellBegin(c), CellBegin(c + 1)).
    std::uint32_t CellBegin(int c) const { return cellStart_[c]; }

    /// Visits every occupied cell in order with the up to nine runs of entries that make up its
    /// neighbourhood of 27 cells (the cell itself included): visit(cell, const Range* runs, int runCount).
    /// The cells (ix+dx, iy+dy, iz-1..iz+1) of one neighbour row are contiguous in key order. Indices must
    /// start at 1, so that the row below index 1 still has a key.
    template <class Visit>
    void ForEachCell(Visit&& visit) const;

private:
    std::vector<std::uint64_t> cellKey_;    ///< key of each occupied cell, ascending
    std::vector<std::uint32_t> cellStart_;  ///< first entry of each cell, plus the end
};

template <class Visit>
void CCellList::ForEachCell(Visit&& visit) const {
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
