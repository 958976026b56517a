#pragma once
/// Helpers of the surface tests: documents holding analytic fields, and checks on triangle lists.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>

#include "model/dravik_doc.h"
#include "render/marching_cubes.h"
#include "render/view_settings.h"

namespace zelvor::test {

/// A document, view settings and a surface engine over them.
struct SurfaceRig {
    CDravikDoc doc;
    C3DViewSettings settings{C3DViewSettings::Transient{}};
    std::atomic<bool> stop{false};
    CMarchingCubes cubes;

    /// Frame f becomes a volumetric frame of n points along each step vector, holding field(position) with
    /// the grid centred on the origin as the cube reader places it.
    void FillVoxels(int f, const std::array<int, 3>& n, const std::array<Vector, 3>& steps,
                    const std::function<double(const Vector&)>& field) {
        doc.SetDocTemplate(TEMPLATE_CUBE);
        Frame& frame = doc.GetFrame(f);
        frame.voxels = VoxelGrid{};
        frame.voxels.nx = n[0];
        frame.voxels.ny = n[1];
        frame.voxels.nz = n[2];
        for (int a = 0; a < 3; ++a) frame.gridStep[a] = steps[a];
        frame.cellA = steps[0] * n[0];
        frame.cellB = steps[1] * n[1];
        frame.cellC = steps[2] * n[2];
        const Vector origin = (frame.cellA + frame.cellB + frame.cellC) * -0.5;
        frame.voxels.values.resize(static_cast<std::size_t>(n[0]) * n[1] * n[2]);
        for (int i = 0; i < n[0]; ++i)
            for (int j = 0; j < n[1]; ++j)
                for (int k = 0; k < n[2]; ++k)
                    frame.voxels.At(i, j, k) =
                        static_cast<float>(field(origin + steps[0] * i + steps[1] * j + steps[2] * k));
        if (doc.GetFrameCount() < f + 1) doc.SetFrameCount(f + 1);
    }

    /// Fixed levels (no automatic ones), all six the same unless given.
    void FixLevels(std::array<double, 6> levels) {
        settings.autoIsoLevels = 0;
        for (int l = 0; l < 6; ++l) settings.isoLevel[l] = levels[l];
    }

    void Start() { cubes.Initialise(&doc, &settings, &stop); }

    /// A copy of the arrays of a frame and level, read under the lock.
    SurfaceArrays Copy(int frame, int level) {
        std::lock_guard lock(cubes.SurfaceArrayLock());
        return cubes.Arrays(frame, level);
    }
};

inline Vector VertexAt(const SurfaceArrays& a, int v) {
    return Vector(a.vertices[3 * v], a.vertices[3 * v + 1], a.vertices[3 * v + 2]);
}
inline Vector NormalAt(const SurfaceArrays& a, int v) {
    return Vector(a.normals[3 * v], a.normals[3 * v + 1], a.normals[3 * v + 2]);
}

/// Total area of the triangles.
inline double Area(const SurfaceArrays& a) {
    double area = 0;
    for (int v = 0; v + 2 < a.count; v += 3)
        area += 0.5 * Length(Cross(VertexAt(a, v + 1) - VertexAt(a, v), VertexAt(a, v + 2) - VertexAt(a, v)));
    return area;
}

/// Closed and consistently oriented: every directed edge appears once and its reverse once.
inline ::testing::AssertionResult IsClosedAndOriented(const SurfaceArrays& a) {
    using Key = std::array<float, 3>;
    std::map<std::pair<Key, Key>, int> directed;
    const auto key = [&](int v) { return Key{a.vertices[3 * v], a.vertices[3 * v + 1], a.vertices[3 * v + 2]}; };
    for (int v = 0; v + 2 < a.count; v += 3)
        for (int e = 0; e < 3; ++e) ++directed[{key(v + e), key(v + (e + 1) % 3)}];
    for (const auto& [edge, count] : directed) {
        if (count != 1) return ::testing::AssertionFailure() << "a directed edge appears " << count << " times";
        const auto reverse = directed.find({edge.second, edge.first});
        if (reverse == directed.end() || reverse->second != 1)
            return ::testing::AssertionFailure() << "an edge without its reversed partner (a hole or a flip)";
    }
    return ::testing::AssertionSuccess();
}

/// Every float of the arrays is finite.
inline bool AllFinite(const SurfaceArrays& a) {
    for (const auto* list : {&a.vertices, &a.normals, &a.colours})
        for (float f : *list)
            if (!std::isfinite(f)) return false;
    return true;
}

}  // namespace zelvor::test
