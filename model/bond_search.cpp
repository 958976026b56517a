#include "model/bond_search.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/bond_grid.h"

namespace zelvor {

namespace {

double RadiusOf(const Atom& atom) {
    const AtomData* element = atom.element ? atom.element : &ElementTable()[FALLBACK_ELEMENT];
    return element->vdWRadius;
}

/// The nearest partners found so far for one atom, ordered by distance, then atom number.
class NearestPartners {
public:
    void Offer(double distanceSquared, int atom) {
        if (count_ == MAX_BONDS && !Before(distanceSquared, atom, count_ - 1)) return;
        int i = count_ < MAX_BONDS ? count_++ : MAX_BONDS - 1;
        for (; i > 0 && Before(distanceSquared, atom, i - 1); --i) slots_[i] = slots_[i - 1];
        slots_[i] = Slot{distanceSquared, atom};
    }
    int Count() const { return count_; }
    int PartnerAt(int i) const { return slots_[i].atom; }

private:
    struct Slot {
        double distanceSquared;
        int atom;
    };
    bool Before(double d2, int atom, int i) const {
        return d2 < slots_[i].distanceSquared || (d2 == slots_[i].distanceSquared && atom < slots_[i].atom);
    }
    Slot slots_[MAX_BONDS];
    int count_ = 0;
};

/// Partners of every placed atom from the grid into slots (MAX_BONDS per atom) and counts; false when
/// step() asked to stop.
bool SearchPartners(const BondCellGrid& grid, std::uint32_t* slots, std::uint8_t* counts,
                    const std::function<bool()>& step) {
    for (std::size_t u = 0; u < grid.Unplaced().size(); ++u)
        if (!step()) return false;
    const BondCellGrid::Sphere* S = grid.Spheres();
    const int* number = grid.AtomNumber();
    std::vector<std::uint32_t> within;  // entries that pass the squared-distance test for one atom
    bool aborted = false;
    grid.ForEachCell([&](int cell, const BondCellGrid::Range* runs, int runCount) {
        if (aborted) return;
        std::size_t candidates = 0;
        for (int r = 0; r < runCount; ++r) candidates += runs[r].end - runs[r].begin;
        if (within.size() < candidates) within.resize(candidates);
        for (std::uint32_t a = grid.CellBegin(cell); a < grid.CellBegin(cell + 1); ++a) {
            const double ax = S[a].x, ay = S[a].y, az = S[a].z, ar = S[a].radius;
            // First pass without branches: collect every entry within 2 * max(rA, rB).
            std::size_t n = 0;
            for (int r = 0; r < runCount; ++r) {
                for (std::uint32_t b = runs[r].begin; b < runs[r].end; ++b) {
                    const BondCellGrid::Sphere& B = S[b];
                    const double dx = ax - B.x, dy = ay - B.y, dz = az - B.z;
                    const double reach = 2.0 * std::max(ar, B.radius);
                    within[n] = b;
                    n += (dx * dx + dy * dy + dz * dz <= reach * reach) ? 1 : 0;
                }
            }
            // Second pass over the few that passed: the box test, self, and the nearest eight.
            NearestPartners nearest;
            for (std::size_t k = 0; k < n; ++k) {
                const std::uint32_t b = within[k];
                if (b == a) continue;
                const double d = 2.0 * std::max(ar, S[b].radius);
                const double dx = ax - S[b].x, dy = ay - S[b].y, dz = az - S[b].z;
                if (std::fabs(dx) > d || std::fabs(dy) > d || std::fabs(dz) > d) continue;
                nearest.Offer(dx * dx + dy * dy + dz * dz, number[b]);
            }
            const std::size_t target = static_cast<std::size_t>(number[a]);
            for (int k = 0; k < nearest.Count(); ++k)
                slots[target * MAX_BONDS + k] = static_cast<std::uint32_t>(nearest.PartnerAt(k));
            counts[target] = static_cast<std::uint8_t>(nearest.Count());
            if (!step()) {
                aborted = true;
                return;
            }
        }
    });
    return !aborted;
}

}  // namespace

bool FindBondPartners(const Atom* atoms, int count, FrameBonds& out, const std::function<bool()>& step) {
    out.Clear();
    if (!atoms || count <= 0) return true;
    BondCellGrid grid;
    grid.Build(atoms, count);
    const std::size_t n = static_cast<std::size_t>(count);
    std::vector<std::uint32_t> slots((n + 1) * MAX_BONDS);
    std::vector<std::uint8_t> counts(n + 1, 0);
    if (!SearchPartners(grid, slots.data(), counts.data(), step)) return false;
    out.first.resize(n + 2);
    std::size_t total = 0;
    for (std::size_t i = 1; i <= n; ++i) total += counts[i];
    out.partner.resize(total);
    std::uint32_t next = 0;
    for (std::size_t i = 0; i <= n; ++i) {
        out.first[i] = next;
        if (i == 0) continue;
        std::copy_n(slots.begin() + static_cast<std::ptrdiff_t>(i * MAX_BONDS), counts[i], out.partner.begin() + next);
        next += counts[i];
    }
    out.first[n + 1] = next;
    return true;
}

void BondCellGrid::Build(const Atom* atoms, int count) {
    sphere_.clear();
    atom_.clear();
    unplaced_.clear();
    cellKey_.clear();
    cellStart_.clear();
    if (!atoms || count <= 0) {
        cellStart_.push_back(0);
        return;
    }

    // Placed atoms in atom order first; the cell sort below permutes them.
    std::vector<int> placed;
    placed.reserve(static_cast<std::size_t>(count));
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double maxRadius = 0.0;
    for (int i = 1; i <= count; ++i) {
        const Vector& p = atoms[i].position;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            unplaced_.push_back(i);
            continue;
        }
        const double radius = RadiusOf(atoms[i]);
        if (radius > maxRadius) maxRadius = radius;  // NaN radii bond nothing and do not widen cells
        placed.push_back(i);
        lo[0] = std::min(lo[0], p.x);
        lo[1] = std::min(lo[1], p.y);
        lo[2] = std::min(lo[2], p.z);
    }
    // Pairs bond within 2 * max(rA, rB) <= 2 * maxRadius. Without a positive radius only coincident
    // atoms can pair, and any width keeps them in one cell.
    cellWidth_ = maxRadius > 0.0 ? 2.0 * maxRadius : 1.0;

    // Cell indices along each axis, from 1 so that the row below index 1 still has a key. Far outliers
    // share the last index: merged cells only add candidates, they never hide a partner.
    const double inverseWidth = 1.0 / cellWidth_;
    const double lastIndex = static_cast<double>(kAxisMask - 2);
    auto axisIndex = [&](double u, double origin) -> std::uint64_t {
        const double v = std::floor((u - origin) * inverseWidth);
        return static_cast<std::uint64_t>(std::min(std::max(v, 0.0), lastIndex)) + 1;
    };
    const std::size_t n = placed.size();
    std::vector<std::uint64_t> keys(n);
    std::uint64_t top[3] = {0, 0, 0};  // largest index per axis
    for (std::size_t e = 0; e < n; ++e) {
        const Vector& p = atoms[placed[e]].position;
        const std::uint64_t ix = axisIndex(p.x, lo[0]), iy = axisIndex(p.y, lo[1]), iz = axisIndex(p.z, lo[2]);
        top[0] = std::max(top[0], ix);
        top[1] = std::max(top[1], iy);
        top[2] = std::max(top[2], iz);
        keys[e] = Key(ix, iy, iz);
    }

    // Entries in key order, stable so that atoms of one cell keep atom order. A compact frame gets a
    // counting sort over its index box; a sparse one (far outliers, long chains) a comparison sort.
    std::vector<std::uint32_t> order(n);
    const std::uint64_t span[3] = {top[0] + 1, top[1] + 1, top[2] + 1};
    const double boxCells = static_cast<double>(span[0]) * static_cast<double>(span[1]) * static_cast<double>(span[2]);
    if (boxCells <= 4.0 * static_cast<double>(n) + 64.0) {
        auto linear = [&](std::uint64_t key) {
            return ((key >> (2 * kAxisBits)) * span[1] + ((key >> kAxisBits) & kAxisMask)) * span[2] +
                   (key & kAxisMask);
        };
        std::vector<std::uint32_t> first(static_cast<std::size_t>(boxCells) + 1, 0);
        for (std::size_t e = 0; e < n; ++e) ++first[linear(keys[e]) + 1];
        for (std::size_t c = 1; c < first.size(); ++c) first[c] += first[c - 1];
        for (std::size_t e = 0; e < n; ++e) order[first[linear(keys[e])]++] = static_cast<std::uint32_t>(e);
    } else {
        for (std::size_t e = 0; e < n; ++e) order[e] = static_cast<std::uint32_t>(e);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
    }

    sphere_.resize(n);
    atom_.resize(n);
    for (std::size_t e = 0; e < n; ++e) {
        const std::uint64_t key = keys[order[e]];
        if (e == 0 || key != cellKey_.back()) {
            cellKey_.push_back(key);
            cellStart_.push_back(static_cast<std::uint32_t>(e));
        }
        const int i = placed[order[e]];
        sphere_[e] = Sphere{atoms[i].position.x, atoms[i].position.y, atoms[i].position.z, RadiusOf(atoms[i])};
        atom_[e] = i;
    }
    cellStart_.push_back(static_cast<std::uint32_t>(n));
}

}  // namespace zelvor
