#pragma once
/// The marching-cubes step over a scalar grid in index space, with each vertex mapped into space. It marches one
/// plane of cubes at a time, so that a field can be sampled plane by plane just ahead of it; every edge the surface
/// crosses is worked out once and shared by the cubes around it, and rows of cubes that a level does not cross
/// cost a look at their rows' ranges only.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "model/vector.h"
#include "render/marching_cubes_tables.h"
#include "render/surface_memory.h"

namespace zelvor::mc {

/// Grid points (i, j, k), k fastest, at origin + i * step[0] + j * step[1] + k * step[2].
struct ScalarGrid {
    const float* values = nullptr;
    int n[3] = {0, 0, 0};  ///< points along each axis
    Vector origin;
    Vector step[3];
    std::size_t Index(int i, int j, int k) const {
        return (static_cast<std::size_t>(i) * n[1] + j) * n[2] + k;
    }
};

/// The triangles of one level, three vertices each, gathered in blocks so that growing never moves them.
class TriangleLists {
public:
    /// Where the next vertex goes: 3 floats of position, 3 of normal, 4 of colour.
    struct Slot {
        float* point;
        float* normal;
        float* colour;
    };
    Slot Add() {
        const std::size_t block = count_ / kBlock, at = count_ % kBlock;
        if (block == blocks_.size()) blocks_.emplace_back(static_cast<float*>(AllocateSurfaceMemory(kBlockBytes)));
        float* b = blocks_[block].get();
        ++count_;
        return Slot{b + 3 * at, b + 3 * kBlock + 3 * at, b + 6 * kBlock + 4 * at};
    }
    std::size_t VertexCount() const { return count_; }
    /// Moves the vertices into plain arrays with `room` zeroed vertices behind them, and empties the lists.
    void TakeInto(SurfaceFloats& vertices, SurfaceFloats& normals, SurfaceFloats& colours, std::size_t room);
    void Clear() {
        blocks_ = std::vector<Block>();
        count_ = 0;
    }

private:
    static constexpr std::size_t kBlock = 52428;  ///< vertices per block: 40 bytes each, about one huge page
    static constexpr std::size_t kBlockBytes = 10 * sizeof(float) * kBlock;
    struct Release {
        void operator()(float* p) const noexcept { ReleaseSurfaceMemory(p, kBlockBytes); }
    };
    using Block = std::unique_ptr<float[], Release>;
    std::vector<Block> blocks_;
    std::size_t count_ = 0;
};

enum class MarchResult { Done, Stopped, TooLarge };

/// Where level v crosses an edge from value f0 to f1, as a fraction from the f0 end; the middle when equal.
inline double EdgeFraction(double v, double f0, double f1) { return f1 == f0 ? 0.5 : (v - f0) / (f1 - f0); }

/// The largest float at or below v: for every float c, c <= v exactly when c <= FloatAtOrBelow(v), so that a
/// plane of floats is classified against a double level in float arithmetic.
float FloatAtOrBelow(double v);

/// Marches the cubes (i, j, k) < cubes of a grid plane by plane. Each call takes the values of planes i and
/// i + 1 (n[1] rows of n[2] values, k fastest); consecutive planes reuse what the previous call learned of
/// plane i. A cube's corners are flagged "at or below the level" as in CubeEdgeFlags; cubes with a corner that
/// is not finite are left empty. The triangles of each level go to out[level], cube after cube in (i, j, k)
/// order, each cube's in the order of TriangleConnectionTable.
class PlaneMarcher {
public:
    PlaneMarcher(const int points[3], const int cubes[3], const Vector& origin, const Vector step[3],
                 const double* levels, int levelCount);

    /// normalAt(i, j, k, float[3]) gives the unscaled normal of a grid point, pointing down the field's gradient;
    /// colourAt(level, i, j, k, float[4]) the colour of a vertex whose edge starts at that point (the edge's
    /// first corner in the tables' order). Both are asked only about the ends of edges the surface crosses.
    /// TooLarge once all levels together hold more than maxVertices vertices.
    template <class NormalAt, class ColourAt>
    MarchResult March(int i, const float* lower, const float* upper, TriangleLists* out, std::size_t maxVertices,
                      const NormalAt& normalAt, const ColourAt& colourAt);

private:
    /// A point row's classification against one level: 1 per point at or below it.
    struct RowClass {
        bool known = false;
        int firstChange = 0;  ///< first k whose edge to k + 1 changes class, or the row length
        int lastChange = -1;  ///< last such k, or -1
    };
    /// A float's bits as an integer that orders like the float (-0 just below +0; NaN beyond the infinities).
    static std::int32_t OrderKey(std::int32_t bits) { return bits ^ ((bits >> 31) & 0x7fffffff); }
    struct RowRange {
        std::int32_t lo = 0, hi = 0;  ///< order keys of the least and greatest value (a NaN may be either)
        bool nonFinite = false;
    };
    struct EdgeVertex {
        float point[3];
        float normal[3];
    };
    /// Vertices of one family of edges (along x between two planes, or along y or z in one plane), found by slot.
    struct EdgeCache {
        std::vector<std::uint32_t> slot;  ///< serial of the edge's vertex, valid when above `start`
        std::vector<EdgeVertex> vertices;
        std::uint32_t start = 0, next = 0;
        void Reset() {
            start = next;
            vertices.clear();
        }
    };
    struct Level {
        double v = 0;
        float atOrBelow = 0;
        std::int32_t key = 0;  ///< order key of atOrBelow
        float sign = 1;
        bool prepared = false;  ///< the arrays below are sized (on the level's first crossed row)
        std::vector<std::uint8_t> classes[2];
        std::vector<RowClass> rows[2];
        EdgeCache x, y[2], z[2];
    };
    /// One edge of the cube in the tables' numbering, relative to the cube's corner 0.
    struct EdgeShape {
        int axis;
        int from[3];  ///< the edge's lower end
        int first[3]; ///< its first corner in the tables' order, whose colour the vertex takes
    };
    struct CubeCase {
        int k;
        int flags;
    };

    void Prepare(Level& level);
    void StartPlane(int i, const float* lower, const float* upper);
    void Ranges(const float* plane, std::vector<RowRange>& out) const;
    const RowClass& Classify(Level& level, int side, int row);
    /// Cubes of row j of the plane that the level crosses, with their corner flags, into cases_.
    void FindCases(Level& level, int j);

    template <class NormalAt>
    const EdgeVertex& Vertex(Level& level, int i, int j, int k, int e, const NormalAt& normalAt);

    int n_[3];
    int cubes_[3];
    Vector origin_;
    Vector step_[3];
    std::vector<Level> levels_;
    EdgeShape edges_[12];
    int triangleCount_[256];
    const float* planes_[2] = {nullptr, nullptr};  ///< values of the lower and upper plane
    int planeIndex_[2] = {-1, -1};
    std::vector<RowRange> ranges_[2];
    std::vector<CubeCase> cases_;
    std::size_t vertexCount_ = 0;
};

template <class NormalAt>
const PlaneMarcher::EdgeVertex& PlaneMarcher::Vertex(Level& level, int i, int j, int k, int e,
                                                     const NormalAt& normalAt) {
    const EdgeShape& shape = edges_[e];
    const int fi = shape.from[0], fj = j + shape.from[1], fk = k + shape.from[2];
    EdgeCache& cache = shape.axis == 0 ? level.x : shape.axis == 1 ? level.y[fi] : level.z[fi];
    std::uint32_t& slot = cache.slot[static_cast<std::size_t>(fj) * n_[2] + fk];
    if (slot > cache.start) return cache.vertices[slot - cache.start - 1];

    // Every edge is walked from its lower end, so that its vertex does not depend on the cube asking.
    const int tj = fj + (shape.axis == 1), tk = fk + (shape.axis == 2);
    const double f0 = planes_[fi][static_cast<std::size_t>(fj) * n_[2] + fk];
    const double f1 = planes_[fi + (shape.axis == 0)][static_cast<std::size_t>(tj) * n_[2] + tk];
    const double t = EdgeFraction(level.v, f0, f1);
    double p[3] = {static_cast<double>(i + fi), static_cast<double>(fj), static_cast<double>(fk)};
    p[shape.axis] += t;
    const Vector w = origin_ + step_[0] * p[0] + step_[1] * p[1] + step_[2] * p[2];
    EdgeVertex vertex;
    vertex.point[0] = static_cast<float>(w.x);
    vertex.point[1] = static_cast<float>(w.y);
    vertex.point[2] = static_cast<float>(w.z);
    // On an edge the trilinear blend of the corner normals reduces to its two ends.
    float n0[3], n1[3];
    normalAt(i + fi, fj, fk, n0);
    normalAt(i + fi + (shape.axis == 0), tj, tk, n1);
    const float tf = static_cast<float>(t);
    for (int q = 0; q < 3; ++q) vertex.normal[q] = level.sign * (n0[q] + tf * (n1[q] - n0[q]));
    cache.vertices.push_back(vertex);
    slot = ++cache.next;
    return cache.vertices.back();
}

template <class NormalAt, class ColourAt>
MarchResult PlaneMarcher::March(int i, const float* lower, const float* upper, TriangleLists* out,
                                std::size_t maxVertices, const NormalAt& normalAt, const ColourAt& colourAt) {
    StartPlane(i, lower, upper);
    for (int level = 0; level < static_cast<int>(levels_.size()); ++level) {
        Level& l = levels_[level];
        TriangleLists& list = out[level];
        for (int j = 0; j < cubes_[1]; ++j) {
            FindCases(l, j);
            if (cases_.empty()) continue;
            std::size_t added = 0;
            for (const CubeCase& c : cases_) added += 3 * static_cast<std::size_t>(triangleCount_[c.flags]);
            vertexCount_ += added;
            if (vertexCount_ > maxVertices) return MarchResult::TooLarge;
            for (const CubeCase& c : cases_) {
                const int* triangles = TriangleConnectionTable[c.flags];
                for (int t = 0; t < 15 && triangles[t] >= 0; ++t) {
                    const int e = triangles[t];
                    const EdgeVertex& vertex = Vertex(l, i, j, c.k, e, normalAt);
                    const TriangleLists::Slot slot = list.Add();
                    for (int q = 0; q < 3; ++q) slot.point[q] = vertex.point[q], slot.normal[q] = vertex.normal[q];
                    const int* a = edges_[e].first;
                    colourAt(level, i + a[0], j + a[1], c.k + a[2], slot.colour);
                }
            }
        }
    }
    return MarchResult::Done;
}

/// Marches a whole grid: cubes (i, j, k) < cubes, appending to out[level].
/// onPlane(i) is asked before each plane of cubes and stops the march by returning false.
template <class NormalAt, class ColourAt, class OnPlane>
MarchResult MarchCubes(const ScalarGrid& g, const int cubes[3], const double* levels, int levelCount,
                       TriangleLists* out, std::size_t maxVertices, const NormalAt& normalAt,
                       const ColourAt& colourAt, const OnPlane& onPlane) {
    PlaneMarcher marcher(g.n, cubes, g.origin, g.step, levels, levelCount);
    const std::size_t planeStep = static_cast<std::size_t>(g.n[1]) * g.n[2];
    for (int i = 0; i < cubes[0]; ++i) {
        if (!onPlane(i)) return MarchResult::Stopped;
        const float* lower = g.values + i * planeStep;
        const MarchResult result = marcher.March(i, lower, lower + planeStep, out, maxVertices, normalAt, colourAt);
        if (result != MarchResult::Done) return result;
    }
    return MarchResult::Done;
}

}  // namespace zelvor::mc
