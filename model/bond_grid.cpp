#include "model/bond_grid.h"

#include <algorithm>
#include <cmath>

namespace zelvor {

void BondCellGrid::Build(const Atom* atoms, int count) {
    sphere_.clear();
    atom_.clear();
    unplaced_.clear();
    const std::uint64_t none[3] = {0, 0, 0};
    if (!atoms || count <= 0) {
        cells_.Sort({}, none);
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
        const double radius = BondRadius(atoms[i]);
        if (radius > maxRadius) maxRadius = radius;  // NaN radii bond nothing and do not widen cells
        placed.push_back(i);
        lo[0] = std::min(lo[0], p.x);
        lo[1] = std::min(lo[1], p.y);
        lo[2] = std::min(lo[2], p.z);
    }
    // Pairs bond within 2 * max(rA, rB) <= 2 * maxRadius. The cell index below is rounded (a few ulps of
    // indices up to 2^21), so a pair exactly that far apart could land two cells apart; the margin of 2^-20
    // keeps it in neighbouring cells. Without a positive radius only coincident atoms can pair, and any
    // width keeps them in one cell.
    const double cellWidth = maxRadius > 0.0 ? 2.0 * maxRadius * (1.0 + 0x1p-20) : 1.0;

    // Cell indices along each axis, from 1 so that the row below index 1 still has a key. Far outliers
    // share the last index: merged cells only add candidates, they never hide a partner.
    const double inverseWidth = 1.0 / cellWidth;
    const double lastIndex = static_cast<double>(CCellList::kAxisMask - 2);
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
        keys[e] = CCellList::Key(ix, iy, iz);
    }

    // Entries in cell order; the atoms of one cell keep atom order.
    const std::vector<std::uint32_t> order = cells_.Sort(keys, top);
    sphere_.resize(n);
    atom_.resize(n);
    for (std::size_t e = 0; e < n; ++e) {
        const int i = placed[order[e]];
        sphere_[e] = Sphere{atoms[i].position.x, atoms[i].position.y, atoms[i].position.z, BondRadius(atoms[i])};
        atom_[e] = i;
    }
}

}  // namespace zelvor
