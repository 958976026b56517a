#include "render/cube_march.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace zelvor::mc {

float FloatAtOrBelow(double v) {
    if (std::isnan(v)) return std::numeric_limits<float>::quiet_NaN();
    float f = static_cast<float>(v);  // beyond the float range this is an infinity
    if (static_cast<double>(f) > v) f = std::nextafter(f, -std::numeric_limits<float>::infinity());
    return f;
}

void TriangleLists::TakeInto(SurfaceFloats& vertices, SurfaceFloats& normals, SurfaceFloats& colours,
                             std::size_t room) {
    vertices.clear();
    normals.clear();
    colours.clear();
    vertices.reserve(3 * (count_ + room));
    normals.reserve(3 * (count_ + room));
    colours.reserve(4 * (count_ + room));
    for (std::size_t first = 0, b = 0; first < count_; first += kBlock, ++b) {
        const std::size_t n = std::min(kBlock, count_ - first);
        const float* block = blocks_[b].get();
        vertices.insert(vertices.end(), block, block + 3 * n);
        normals.insert(normals.end(), block + 3 * kBlock, block + 3 * kBlock + 3 * n);
        colours.insert(colours.end(), block + 6 * kBlock, block + 6 * kBlock + 4 * n);
    }
    vertices.resize(3 * (count_ + room), 0.0f);
    normals.resize(3 * (count_ + room), 0.0f);
    colours.resize(4 * (count_ + room), 0.0f);
    Clear();
}

PlaneMarcher::PlaneMarcher(const int points[3], const int cubes[3], const Vector& origin, const Vector step[3],
                           const double* levels, int levelCount)
    : origin_(origin) {
    for (int a = 0; a < 3; ++a) {
        n_[a] = std::max(points[a], 0);
        cubes_[a] = std::clamp(cubes[a], 0, std::max(n_[a] - 1, 0));
        step_[a] = step[a];
    }
    for (int e = 0; e < 12; ++e) {
        const int a = EdgeConnection[e][0], b = EdgeConnection[e][1];
        const bool backwards = EdgeDirection[e][0] + EdgeDirection[e][1] + EdgeDirection[e][2] < 0;
        EdgeShape& shape = edges_[e];
        shape.axis = EdgeDirection[e][0] != 0 ? 0 : EdgeDirection[e][1] != 0 ? 1 : 2;
        for (int q = 0; q < 3; ++q) {
            shape.from[q] = VertexOffset[backwards ? b : a][q];
            shape.first[q] = VertexOffset[a][q];
        }
    }
    for (int c = 0; c < 256; ++c) {
        int n = 0;
        while (n < 15 && TriangleConnectionTable[c][n] >= 0) ++n;
        triangleCount_[c] = n / 3;
    }
    levels_.resize(static_cast<std::size_t>(std::max(levelCount, 0)));
    for (int l = 0; l < levelCount; ++l) {
        Level& level = levels_[l];
        level.v = levels[l];
        level.atOrBelow = FloatAtOrBelow(levels[l]);
        // -0 and +0 compare equal but order apart as keys; the level as +0 classifies both as at or below.
        level.key = OrderKey(std::bit_cast<std::int32_t>(level.atOrBelow + 0.0f));
        // Surfaces of negative levels face the other way.
        level.sign = levels[l] < 0 ? -1.0f : 1.0f;
    }
    for (auto& r : ranges_) r.resize(static_cast<std::size_t>(n_[1]));
}

void PlaneMarcher::Prepare(Level& level) {
    // Levels beyond the data (most of the automatic six, often) never get this far.
    const std::size_t planeSize = static_cast<std::size_t>(n_[1]) * n_[2];
    for (int side = 0; side < 2; ++side) {
        level.classes[side].resize(planeSize);
        level.rows[side].resize(static_cast<std::size_t>(n_[1]));
        level.y[side].slot.assign(planeSize, 0);
        level.z[side].slot.assign(planeSize, 0);
    }
    level.x.slot.assign(planeSize, 0);
    level.prepared = true;
}

void PlaneMarcher::Ranges(const float* plane, std::vector<RowRange>& out) const {
    for (int j = 0; j < n_[1]; ++j) {
        const float* row = plane + static_cast<std::size_t>(j) * n_[2];
        std::int32_t lo = std::numeric_limits<std::int32_t>::max(), hi = std::numeric_limits<std::int32_t>::min();
        std::int32_t nonFinite = 0;
        // In integers, so that the scan runs over several values at once.
        for (int k = 0; k < n_[2]; ++k) {
            const auto bits = std::bit_cast<std::int32_t>(row[k]);
            const std::int32_t key = OrderKey(bits);
            lo = key < lo ? key : lo;
            hi = key > hi ? key : hi;
            nonFinite |= (bits & 0x7f800000) == 0x7f800000;
        }
        out[j] = RowRange{lo, hi, nonFinite != 0};
    }
}

void PlaneMarcher::StartPlane(int i, const float* lower, const float* upper) {
    if (planeIndex_[1] == i && planes_[1] == lower) {
        // The last call's upper plane is this one's lower plane: keep what is known of it.
        std::swap(ranges_[0], ranges_[1]);
        for (Level& level : levels_) {
            std::swap(level.classes[0], level.classes[1]);
            std::swap(level.rows[0], level.rows[1]);
            std::swap(level.y[0], level.y[1]);
            std::swap(level.z[0], level.z[1]);
        }
    } else {
        Ranges(lower, ranges_[0]);
        for (Level& level : levels_) {
            for (RowClass& r : level.rows[0]) r.known = false;
            level.y[0].Reset();
            level.z[0].Reset();
        }
    }
    planes_[0] = lower;
    planes_[1] = upper;
    planeIndex_[0] = i;
    planeIndex_[1] = i + 1;
    Ranges(upper, ranges_[1]);
    for (Level& level : levels_) {
        for (RowClass& r : level.rows[1]) r.known = false;
        level.y[1].Reset();
        level.z[1].Reset();
        level.x.Reset();
    }
}

const PlaneMarcher::RowClass& PlaneMarcher::Classify(Level& level, int side, int row) {
    RowClass& rc = level.rows[side][row];
    if (rc.known) return rc;
    rc.known = true;
    const int n = n_[2];
    std::uint8_t* cls = level.classes[side].data() + static_cast<std::size_t>(row) * n;
    const RowRange& range = ranges_[side][row];
    const float f = level.atOrBelow;
    rc.firstChange = n;
    rc.lastChange = -1;
    if (range.lo > level.key || (!range.nonFinite && range.hi <= level.key)) {
        std::memset(cls, range.lo > level.key ? 0 : 1, static_cast<std::size_t>(n));
        return rc;
    }
    const float* values = planes_[side] + static_cast<std::size_t>(row) * n;
    for (int k = 0; k < n; ++k) cls[k] = values[k] <= f;
    int first = 0;
    while (first + 1 < n && cls[first] == cls[first + 1]) ++first;
    if (first + 1 >= n) return rc;
    int last = n - 2;
    while (cls[last] == cls[last + 1]) --last;
    rc.firstChange = first;
    rc.lastChange = last;
    return rc;
}

void PlaneMarcher::FindCases(Level& level, int j) {
    cases_.clear();
    // The four point rows of this row of cubes: (plane, row) = (0, j), (0, j + 1), (1, j), (1, j + 1).
    const RowRange* range[4] = {&ranges_[0][j], &ranges_[0][j + 1], &ranges_[1][j], &ranges_[1][j + 1]};
    if (std::isnan(level.atOrBelow)) return;  // no value lies at or below NaN: no cube is crossed
    int above = 0, below = 0;
    for (const RowRange* r : range) {
        above += r->lo > level.key;
        below += !r->nonFinite && r->hi <= level.key;
    }
    if (above == 4 || below == 4) return;
    if (!level.prepared) Prepare(level);

    const std::uint8_t* cls[4];
    int firstChange = n_[2], lastChange = -1;
    bool nonFinite = false;
    for (int r = 0; r < 4; ++r) {
        const int side = r / 2, row = j + r % 2;
        const RowClass& rc = Classify(level, side, row);
        cls[r] = level.classes[side].data() + static_cast<std::size_t>(row) * n_[2];
        firstChange = std::min(firstChange, rc.firstChange);
        lastChange = std::max(lastChange, rc.lastChange);
        nonFinite |= range[r]->nonFinite;
    }
    // Before the first change of any row, and after the last, all four rows keep their end classes: the cubes
    // there are crossed only when the rows' end classes differ.
    const int end = n_[2] - 1;
    const bool sameStart = cls[0][0] == cls[1][0] && cls[0][0] == cls[2][0] && cls[0][0] == cls[3][0];
    const bool sameEnd = cls[0][end] == cls[1][end] && cls[0][end] == cls[2][end] && cls[0][end] == cls[3][end];
    const int k0 = sameStart ? firstChange : 0;
    const int k1 = std::min(sameEnd ? lastChange + 1 : n_[2], cubes_[2]);

    // Corners in the tables' order (marching_cubes_tables.h): 0 (0,0,0), 1 (1,0,0), 2 (1,1,0), 3 (0,1,0), then
    // the same at k + 1; a is the lower plane, b the upper, 0 and 1 the rows j and j + 1.
    const std::uint8_t* a0 = cls[0];
    const std::uint8_t* a1 = cls[1];
    const std::uint8_t* b0 = cls[2];
    const std::uint8_t* b1 = cls[3];
    for (int k = k0; k < k1; ++k) {
        const int flags = a0[k] | b0[k] << 1 | b1[k] << 2 | a1[k] << 3 | a0[k + 1] << 4 | b0[k + 1] << 5 |
                          b1[k + 1] << 6 | a1[k + 1] << 7;
        if (flags == 0 || flags == 255) continue;
        if (nonFinite) {
            bool finite = true;
            for (int c = 0; c < 8; ++c) {
                const int side = VertexOffset[c][0], row = j + VertexOffset[c][1];
                finite &= std::isfinite(planes_[side][static_cast<std::size_t>(row) * n_[2] + k + VertexOffset[c][2]]);
            }
            if (!finite) continue;
        }
        cases_.push_back(CubeCase{k, flags});
    }
}

}  // namespace zelvor::mc
