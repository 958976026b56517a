#pragma once
/// The marching-cubes step over a scalar grid in index space, with each vertex mapped into space.
#include <cmath>
#include <cstddef>
#include <vector>

#include "model/vector.h"
#include "render/marching_cubes_tables.h"

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

/// The triangles of one level, three vertices each, as plain float lists.
struct TriangleLists {
    std::vector<float> vertices;  ///< 3 floats per vertex
    std::vector<float> normals;   ///< 3 floats per vertex
    std::vector<float> colours;   ///< 4 floats per vertex
    std::size_t VertexCount() const { return vertices.size() / 3; }
    void Clear() {
        vertices = {};
        normals = {};
        colours = {};
    }
};

enum class MarchResult { Done, Stopped, TooLarge };

/// Where level v crosses an edge from value f0 to f1, as a fraction from the f0 end; the middle when equal.
inline double EdgeFraction(double v, double f0, double f1) { return f1 == f0 ? 0.5 : (v - f0) / (f1 - f0); }

/// Marches cubes (i, j, k) < cubes for every level, appending to out[level].
/// normalAt(i, j, k, float[3]) gives the unscaled normal of a grid point, pointing down the field's gradient;
/// colourAt(level, i, j, k, float[4]) the colour of a vertex whose edge starts at that point.
/// onPlane(i) is asked before each plane of cubes and stops the march by returning false.
/// Cubes with a corner that is not finite are left empty when checkFinite is set.
template <class NormalAt, class ColourAt, class OnPlane>
MarchResult MarchCubes(const ScalarGrid& g, const int cubes[3], const double* levels, int levelCount,
                       bool checkFinite, TriangleLists* out, std::size_t maxVertices, const NormalAt& normalAt,
                       const ColourAt& colourAt, const OnPlane& onPlane) {
    const std::size_t rowStep = static_cast<std::size_t>(g.n[2]);
    const std::size_t planeStep = static_cast<std::size_t>(g.n[1]) * g.n[2];
    // Offsets of the eight corners from corner 0, in the table's corner order.
    std::size_t cornerOffset[8];
    for (int c = 0; c < 8; ++c)
        cornerOffset[c] = VertexOffset[c][0] * planeStep + VertexOffset[c][1] * rowStep + VertexOffset[c][2];

    std::size_t vertexCount = 0;
    for (int l = 0; l < levelCount; ++l) vertexCount += out[l].VertexCount();

    // Per (i, j) row, the range of the four values at each k: a cube's range joins two neighbouring columns,
    // and the cubes no level crosses (nearly all of them) cost only that.
    std::vector<float> columnLow(static_cast<std::size_t>(cubes[2]) + 1), columnHigh(columnLow.size());
    for (int i = 0; i < cubes[0]; ++i) {
        if (!onPlane(i)) return MarchResult::Stopped;
        for (int j = 0; j < cubes[1]; ++j) {
            const float* row = g.values + g.Index(i, j, 0);
            const float* r0 = row;
            const float* r1 = row + planeStep;
            const float* r2 = row + planeStep + rowStep;
            const float* r3 = row + rowStep;
            for (int k = 0; k <= cubes[2]; ++k) {
                const float a = r0[k] < r1[k] ? r0[k] : r1[k], b = r2[k] < r3[k] ? r2[k] : r3[k];
                const float p = r0[k] > r1[k] ? r0[k] : r1[k], q = r2[k] > r3[k] ? r2[k] : r3[k];
                columnLow[k] = a < b ? a : b;
                columnHigh[k] = p > q ? p : q;
            }
            for (int k = 0; k < cubes[2]; ++k) {
                const float lo = columnLow[k] < columnLow[k + 1] ? columnLow[k] : columnLow[k + 1];
                const float hi = columnHigh[k] > columnHigh[k + 1] ? columnHigh[k] : columnHigh[k + 1];
                bool crossed = false;
                for (int level = 0; level < levelCount; ++level)
                    crossed |= lo <= levels[level] && levels[level] < hi;
                if (!crossed) continue;
                const float* base = row + k;
                float c[8];
                for (int n = 0; n < 8; ++n) c[n] = base[cornerOffset[n]];
                if (checkFinite) {
                    // A sum in double cannot overflow for floats: it is finite exactly when every corner is.
                    double sum = 0;
                    for (float v : c) sum += v;
                    if (!std::isfinite(sum)) continue;
                }
                for (int level = 0; level < levelCount; ++level) {
                    const double v = levels[level];
                    // All corners at or below v, or all above: the level does not cross this cube.
                    if (!(lo <= v && v < hi)) continue;
                    int flagIndex = 0;
                    for (int n = 0; n < 8; ++n)
                        if (c[n] <= v) flagIndex |= 1 << n;
                    const int edgeFlags = CubeEdgeFlags[flagIndex];
                    if (edgeFlags == 0) continue;

                    // Surfaces of negative levels face the other way.
                    const float sign = v < 0 ? -1.0f : 1.0f;
                    float point[12][3], normal[12][3], colour[12][4];
                    for (int e = 0; e < 12; ++e) {
                        if (!(edgeFlags & (1 << e))) continue;
                        const int a = EdgeConnection[e][0], b = EdgeConnection[e][1];
                        // Walk every edge from its lower end, so that the cubes sharing it agree exactly.
                        const bool backwards =
                            EdgeDirection[e][0] + EdgeDirection[e][1] + EdgeDirection[e][2] < 0;
                        const int from = backwards ? b : a, to = backwards ? a : b;
                        const double f0 = c[from], f1 = c[to];
                        const double t = EdgeFraction(v, f0, f1);
                        const int axis = EdgeDirection[e][0] != 0 ? 0 : EdgeDirection[e][1] != 0 ? 1 : 2;
                        double p[3] = {static_cast<double>(i + VertexOffset[from][0]),
                                       static_cast<double>(j + VertexOffset[from][1]),
                                       static_cast<double>(k + VertexOffset[from][2])};
                        p[axis] += t;
                        const Vector w = g.origin + g.step[0] * p[0] + g.step[1] * p[1] + g.step[2] * p[2];
                        point[e][0] = static_cast<float>(w.x);
                        point[e][1] = static_cast<float>(w.y);
                        point[e][2] = static_cast<float>(w.z);

                        // On an edge the trilinear blend of the corner normals reduces to its two ends.
                        float n0[3], n1[3];
                        normalAt(i + VertexOffset[from][0], j + VertexOffset[from][1], k + VertexOffset[from][2], n0);
                        normalAt(i + VertexOffset[to][0], j + VertexOffset[to][1], k + VertexOffset[to][2], n1);
                        const float tf = static_cast<float>(t);
                        for (int q = 0; q < 3; ++q) normal[e][q] = sign * (n0[q] + tf * (n1[q] - n0[q]));

                        colourAt(level, i + VertexOffset[a][0], j + VertexOffset[a][1], k + VertexOffset[a][2],
                                 colour[e]);
                    }

                    TriangleLists& list = out[level];
                    const int* triangles = TriangleConnectionTable[flagIndex];
                    for (int t = 0; t < 15 && triangles[t] >= 0; ++t) {
                        const int e = triangles[t];
                        list.vertices.insert(list.vertices.end(), point[e], point[e] + 3);
                        list.normals.insert(list.normals.end(), normal[e], normal[e] + 3);
                        list.colours.insert(list.colours.end(), colour[e], colour[e] + 4);
                        ++vertexCount;
                    }
                    if (vertexCount > maxVertices) return MarchResult::TooLarge;
                }
            }
        }
    }
    return MarchResult::Done;
}

}  // namespace zelvor::mc
