#include "modules/ondrel/lj_pair_forces.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zelvor::ondrel {
namespace {

constexpr double kCutoff2 = kCutoff * kCutoff;
constexpr double kListRange = kCutoff + kSkin;
constexpr double kListRange2 = kListRange * kListRange;

double UnshiftedEnergy(double r2) {
    const double inv6 = 1.0 / (r2 * r2 * r2);
    return 4.0 * inv6 * (inv6 - 1.0);
}

const double kShift = UnshiftedEnergy(kCutoff2);

/// Nearest-image component of a difference of two positions inside the box.
inline double Nearest(double d, double box, double half) {
    return d > half ? d - box : (d < -half ? d + box : d);
}

}  // namespace

double ShiftedPairEnergy(double r2) {
    return r2 < kCutoff2 ? UnshiftedEnergy(r2) - kShift : 0.0;
}

double LjPairForces::Compute(double boxLength, const std::vector<Vec3>& positions, std::vector<Vec3>& forces) {
    if (ListIsStale(boxLength, positions))
        BuildList(boxLength, positions);
    const std::size_t n = positions.size();
    forces.assign(n, Vec3{});
    const double half = 0.5 * boxLength;
    double energy = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3 a = positions[i];
        Vec3 fa{};
        for (int k = neighbourStart_[i], end = neighbourStart_[i + 1]; k < end; ++k) {
            const int j = neighbours_[k];
            const double dx = Nearest(a.x - positions[j].x, boxLength, half);
            const double dy = Nearest(a.y - positions[j].y, boxLength, half);
            const double dz = Nearest(a.z - positions[j].z, boxLength, half);
            const double r2 = dx * dx + dy * dy + dz * dz;
            if (r2 >= kCutoff2)
                continue;
            const double inv2 = 1.0 / r2;
            const double inv6 = inv2 * inv2 * inv2;
            const double scale = 24.0 * inv6 * (2.0 * inv6 - 1.0) * inv2;  // |F| / r
            fa.x += scale * dx; fa.y += scale * dy; fa.z += scale * dz;
            forces[j].x -= scale * dx; forces[j].y -= scale * dy; forces[j].z -= scale * dz;
            energy += 4.0 * inv6 * (inv6 - 1.0) - kShift;
        }
        forces[i].x += fa.x; forces[i].y += fa.y; forces[i].z += fa.z;
    }
    return energy;
}

bool LjPairForces::ListIsStale(double boxLength, const std::vector<Vec3>& positions) const {
    if (boxLength != listBox_ || positions.size() != listPositions_.size() || !listed_)
        return true;
    const double half = 0.5 * boxLength;
    const double limit2 = 0.25 * kSkin * kSkin;  // two atoms each within half the skin stay listed
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const double dx = Nearest(positions[i].x - listPositions_[i].x, boxLength, half);
        const double dy = Nearest(positions[i].y - listPositions_[i].y, boxLength, half);
        const double dz = Nearest(positions[i].z - listPositions_[i].z, boxLength, half);
        if (dx * dx + dy * dy + dz * dz > limit2)
            return true;
    }
    return false;
}

void LjPairForces::BuildList(double boxLength, const std::vector<Vec3>& positions) {
    listed_ = true;
    listBox_ = boxLength;
    listPositions_ = positions;
    partners_.resize(positions.size());
    for (auto& p : partners_)
        p.clear();
    // Cells half the list range wide, searched two cells out, cover 3.6 times less volume than cells of the
    // whole range searched one out; either needs 2 * reach + 1 cells per side so that no neighbour cell is
    // met twice.
    const int halfCells = static_cast<int>(boxLength / (0.5 * kListRange));
    const int wholeCells = static_cast<int>(boxLength / kListRange);
    if (halfCells >= 5)
        ListByCells(boxLength, halfCells, 2, positions);
    else if (wholeCells >= 3)
        ListByCells(boxLength, wholeCells, 1, positions);
    else
        ListAllPairs(boxLength, positions);
    neighbourStart_.assign(positions.size() + 1, 0);
    neighbours_.clear();
    for (std::size_t i = 0; i < positions.size(); ++i) {
        std::sort(partners_[i].begin(), partners_[i].end());  // walks memory forwards in the force loop
        neighbours_.insert(neighbours_.end(), partners_[i].begin(), partners_[i].end());
        neighbourStart_[i + 1] = static_cast<int>(neighbours_.size());
    }
}

void LjPairForces::ListAllPairs(double boxLength, const std::vector<Vec3>& positions) {
    const double half = 0.5 * boxLength;
    const int n = static_cast<int>(positions.size());
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            const double dx = Nearest(positions[i].x - positions[j].x, boxLength, half);
            const double dy = Nearest(positions[i].y - positions[j].y, boxLength, half);
            const double dz = Nearest(positions[i].z - positions[j].z, boxLength, half);
            if (dx * dx + dy * dy + dz * dz < kListRange2)
                partners_[i].push_back(j);
        }
}

void LjPairForces::ListByCells(double boxLength, int cellsPerSide, int reach, const std::vector<Vec3>& positions) {
    const int m = cellsPerSide;
    const int cellCount = m * m * m;
    const double perLength = m / boxLength;
    const double half = 0.5 * boxLength;
    const int n = static_cast<int>(positions.size());
    // Written so that a position gone non-finite (a run that blew up) lands in a cell instead of overflowing.
    auto clampCell = [m](double c) { return c >= 1.0 ? (c < m ? static_cast<int>(c) : m - 1) : 0; };

    // Counting sort of the atoms by cell.
    cellOfAtom_.resize(static_cast<std::size_t>(n));
    cellStart_.assign(static_cast<std::size_t>(cellCount) + 1, 0);
    for (int i = 0; i < n; ++i) {
        const Vec3& p = positions[i];
        const int c = (clampCell(p.z * perLength) * m + clampCell(p.y * perLength)) * m + clampCell(p.x * perLength);
        cellOfAtom_[i] = c;
        ++cellStart_[c + 1];
    }
    for (int c = 0; c < cellCount; ++c)
        cellStart_[c + 1] += cellStart_[c];
    cellAtoms_.resize(static_cast<std::size_t>(n));
    {
        std::vector<int> fill(cellStart_.begin(), cellStart_.end() - 1);
        for (int i = 0; i < n; ++i)
            cellAtoms_[fill[cellOfAtom_[i]]++] = i;
    }

    auto consider = [&](int i, int j) {
        const double dx = Nearest(positions[i].x - positions[j].x, boxLength, half);
        const double dy = Nearest(positions[i].y - positions[j].y, boxLength, half);
        const double dz = Nearest(positions[i].z - positions[j].z, boxLength, half);
        if (dx * dx + dy * dy + dz * dz < kListRange2)
            partners_[std::min(i, j)].push_back(std::max(i, j));
    };
    // Half of the neighbour cells within reach: each pair of cells is visited once.
    std::vector<std::array<int, 3>> halfStencil;
    for (int z = -reach; z <= reach; ++z)
        for (int y = -reach; y <= reach; ++y)
            for (int x = -reach; x <= reach; ++x)
                if (z > 0 || (z == 0 && (y > 0 || (y == 0 && x > 0))))
                    halfStencil.push_back({x, y, z});
    for (int cz = 0; cz < m; ++cz)
        for (int cy = 0; cy < m; ++cy)
            for (int cx = 0; cx < m; ++cx) {
                const int c = (cz * m + cy) * m + cx;
                const int begin = cellStart_[c], end = cellStart_[c + 1];
                for (int a = begin; a < end; ++a)
                    for (int b = a + 1; b < end; ++b)
                        consider(cellAtoms_[a], cellAtoms_[b]);
                for (const auto& s : halfStencil) {
                    const int nx = (cx + s[0] + m) % m, ny = (cy + s[1] + m) % m, nz = (cz + s[2] + m) % m;
                    const int d = (nz * m + ny) * m + nx;
                    for (int a = begin; a < end; ++a)
                        for (int b = cellStart_[d]; b < cellStart_[d + 1]; ++b)
                            consider(cellAtoms_[a], cellAtoms_[b]);
                }
            }
}

}  // namespace zelvor::ondrel
