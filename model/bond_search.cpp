#include "model/bond_search.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "model/atom_storage.h"
#include "model/bond_grid.h"
#include "model/partner_tree.h"

namespace zelvor {

namespace {

/// Most candidates an atom scans pair by pair, about what a tree search costs. Real matter has about a hundred
/// in its 27 cells, several hundred when one element is large; atoms of cells with more (atoms at one point, dense
/// clusters, cells widened by a huge radius or merged far out) ask the k-d tree instead, whose work per atom stays
/// bounded whatever the geometry.
constexpr std::size_t kMaxScan = 1024;

/// Marks an atom of a crowded cell in `found` until the tree has searched it.
constexpr std::uint8_t kCrowded = 0xff;

/// Partners of the atoms of one cell with few candidates, by scanning them, into slots and found.
void ScanCell(const BondCellGrid& grid, int cell, const BondCellGrid::Range* runs, int runCount,
              std::vector<std::uint32_t>& within, std::uint32_t* slots, std::uint8_t* found) {
    const BondCellGrid::Sphere* S = grid.Spheres();
    const int* number = grid.AtomNumber();
    for (std::uint32_t a = grid.CellBegin(cell); a < grid.CellBegin(cell + 1); ++a) {
        const double ax = S[a].x, ay = S[a].y, az = S[a].z, ar = S[a].radius;
        // First pass without branches: collect every entry within 2 * max(rA, rB).
        std::size_t n = 0;
        for (int r = 0; r < runCount; ++r) {
            for (std::uint32_t b = runs[r].begin; b < runs[r].end; ++b) {
                const BondCellGrid::Sphere& B = S[b];
                const double dx = ax - B.x, dy = ay - B.y, dz = az - B.z;
                const double reach = BondReach(ar, B.radius);
                within[n] = b;
                n += (dx * dx + dy * dy + dz * dz <= reach * reach) ? 1 : 0;
            }
        }
        // Second pass over the few that passed: the box test, self, and the nearest eight.
        NearestPartners nearest;
        for (std::size_t k = 0; k < n; ++k) {
            const std::uint32_t b = within[k];
            if (b == a) continue;
            const double dx = ax - S[b].x, dy = ay - S[b].y, dz = az - S[b].z;
            const double d2 = dx * dx + dy * dy + dz * dz;
            if (WithinBondReach(dx, dy, dz, d2, BondReach(ar, S[b].radius)))
                nearest.Offer(d2, static_cast<std::uint32_t>(number[b]));
        }
        const std::size_t target = static_cast<std::size_t>(number[a]);
        found[target] = static_cast<std::uint8_t>(nearest.CopyTo(slots + target * MAX_BONDS));
    }
}

/// Partners of every placed atom into slots (MAX_BONDS per atom number) and found (their number); false when
/// step() asked to stop.
bool SearchPartners(const Atom* atoms, int count, std::uint32_t* slots, std::uint8_t* found,
                    const std::function<bool()>& step, BondSearchCounts& counts) {
    BondCellGrid grid;
    grid.Build(atoms, count);
    for (std::size_t u = 0; u < grid.Unplaced().size(); ++u)
        if (!step()) return false;
    std::vector<std::uint32_t> within;  // entries that pass the squared-distance test for one atom
    std::uint64_t scanned = 0;
    bool crowded = false, aborted = false;
    grid.ForEachCell([&](int cell, const BondCellGrid::Range* runs, int runCount) {
        if (aborted) return;
        std::size_t candidates = 0;
        for (int r = 0; r < runCount; ++r) candidates += runs[r].end - runs[r].begin;
        if (candidates > kMaxScan) {
            for (std::uint32_t a = grid.CellBegin(cell); a < grid.CellBegin(cell + 1); ++a)
                found[grid.AtomNumber()[a]] = kCrowded;
            crowded = true;
            return;
        }
        if (within.size() < candidates) within.resize(candidates);
        ScanCell(grid, cell, runs, runCount, within, slots, found);
        const std::uint32_t atomsInCell = grid.CellBegin(cell + 1) - grid.CellBegin(cell);
        scanned += static_cast<std::uint64_t>(atomsInCell) * candidates;
        for (std::uint32_t k = 0; k < atomsInCell && !aborted; ++k) aborted = !step();
    });
    counts.pairTests += scanned;
    if (aborted || !crowded) return !aborted;

    // Atoms of crowded cells, in tree order so that consecutive searches walk the same branches.
    PartnerTree tree;
    tree.Build(atoms, count);
    for (std::size_t e = 0; e < tree.EntryCount(); ++e) {
        const std::size_t target = tree.AtomOf(e);
        if (found[target] != kCrowded) continue;
        found[target] = static_cast<std::uint8_t>(tree.Partners(e, slots + target * MAX_BONDS, counts));
        if (!step()) return false;
    }
    return true;
}

}  // namespace

bool FindBondPartners(const Atom* atoms, int count, FrameBonds& out, const std::function<bool()>& step) {
    BondSearchCounts counts;
    return FindBondPartners(atoms, count, out, step, counts);
}

bool FindBondPartners(const Atom* atoms, int count, FrameBonds& out, const std::function<bool()>& step,
                      BondSearchCounts& counts) {
    out.Clear();
    if (!atoms || count <= 0) return true;
    const std::size_t n = static_cast<std::size_t>(count);
    // MAX_BONDS slots per atom, written before they are read: the atom storage hands out pages that a frame
    // freed earlier has already touched, so they cost no page faults.
    const std::size_t slotBytes = (n + 1) * MAX_BONDS * sizeof(std::uint32_t);
    const std::unique_ptr<std::uint32_t, void (*)(void*) noexcept> slots(
        static_cast<std::uint32_t*>(AllocateAtomStorage(slotBytes)), ReleaseAtomStorage);
    std::vector<std::uint8_t> found(n + 1, 0);
    if (!SearchPartners(atoms, count, slots.get(), found.data(), step, counts)) return false;
    std::size_t total = 0;
    for (std::size_t i = 1; i <= n; ++i) total += found[i];
    out.first.reserve(n + 2);
    out.partner.reserve(total);
    out.first.push_back(0);
    for (std::size_t i = 1; i <= n; ++i) {
        out.first.push_back(static_cast<std::uint32_t>(out.partner.size()));
        const std::uint32_t* mine = slots.get() + i * MAX_BONDS;
        out.partner.insert(out.partner.end(), mine, mine + found[i]);
    }
    out.first.push_back(static_cast<std::uint32_t>(out.partner.size()));
    return true;
}

}  // namespace zelvor
