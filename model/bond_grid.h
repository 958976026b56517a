#pragma once
/// BondCellGrid: the cell list of one frame's atoms used to find bond partners.
#include <cstdint>
#include <vector>

#include "model/bond_rule.h"
#include "model/cell_list.h"

namespace zelvor {

/// Atoms of one frame sorted into cubic cells at least as wide as the largest bond distance of the
/// frame, so that every partner of an atom lies in its own cell or one of the 26 around it: each atom
/// scans the nine contiguous runs of entries of its cell's neighbourhood.
class BondCellGrid {
public:
    /// Position and van der Waals radius of a placed atom: what the distance test reads, in 32 bytes.
    using Sphere = BondSphere;
    using Range = CCellList::Range;

    /// Sorts atoms 1..count into cells; atoms with a non-finite coordinate are left out (Unplaced()).
    /// Reads element records: call under the atom lock.
    void Build(const Atom* atoms, int count);

    /// Placed atoms ("entries") in cell order, and their atom numbers.
    std::size_t EntryCount() const { return atom_.size(); }
    const Sphere* Spheres() const { return sphere_.data(); }
    const int* AtomNumber() const { return atom_.data(); }
    /// Atoms that could not be placed in a cell.
    const std::vector<int>& Unplaced() const { return unplaced_; }
    int CellCount() const { return cells_.CellCount(); }
    /// Entries of cell c: [CellBegin(c), CellBegin(c + 1)).
    std::uint32_t CellBegin(int c) const { return cells_.CellBegin(c); }

    /// Visits every occupied cell in order with the up to nine runs of entries that make up the cell's
    /// neighbourhood (the cell itself included): visit(cell, const Range* runs, int runCount).
    template <class Visit>
    void ForEachCell(Visit&& visit) const {
        cells_.ForEachCell(visit);
    }

private:
    std::vector<Sphere> sphere_;
    std::vector<int> atom_;
    std::vector<int> unplaced_;
    CCellList cells_;
};

}  // namespace zelvor
