// Surfaces of analytic fields and real cube files: shape, place, normals, levels, the vertices of a plain march,
// stop flag and refusals.
#include <gtest/gtest.h>

#include <numbers>

#include "model/model_fixtures.h"
#include "model/io/reader_fixtures.h"
#include "platform/app_message.h"
#include "render/cube_march.h"
#include "surface_fixtures.h"

namespace zelvor {
namespace {

using test::NormalAt;
using test::VertexAt;

const std::array<Vector, 3> kUnitSteps(double h) { return {Vector(h, 0, 0), Vector(0, h, 0), Vector(0, 0, h)}; }

/// Largest deviation of the vertices from the sphere around centre, and their mean.
struct SphereFit {
    double worstRadiusError = 0;
    Vector centroid;
    double worstNormalCosine = 1;  // smallest cosine between a normal and the outward radius
};

SphereFit FitSphere(const SurfaceArrays& a, const Vector& centre, double r) {
    SphereFit fit;
    for (int v = 0; v < a.count; ++v) {
        const Vector d = VertexAt(a, v) - centre;
        fit.worstRadiusError = std::max(fit.worstRadiusError, std::fabs(Length(d) - r));
        const Vector n = NormalAt(a, v);
        fit.worstNormalCosine = std::min(fit.worstNormalCosine, (n * d) / (Length(n) * Length(d)));
    }
    // Centroid of the surface (area-weighted), which a grid's uneven vertex spacing does not pull about.
    double area = 0;
    for (int v = 0; v + 2 < a.count; v += 3) {
        const Vector p0 = VertexAt(a, v), p1 = VertexAt(a, v + 1), p2 = VertexAt(a, v + 2);
        const double w = 0.5 * Length(Cross(p1 - p0, p2 - p0));
        fit.centroid = fit.centroid + (p0 + p1 + p2) * (w / 3);
        area += w;
    }
    fit.centroid = fit.centroid / area;
    return fit;
}

class VolumetricSurface : public ::testing::Test {
protected:
    void SetUp() override { SetMainWindowTarget(&sink); }
    void TearDown() override { SetMainWindowTarget(nullptr); }
    HeadlessMessageSink sink;
    test::SurfaceRig rig;
};

TEST_F(VolumetricSurface, ASphereIsClosedWithTheRightAreaAndOutwardNormals) {
    // 3 - |p| at level 0.5: a sphere of radius 2.5 on a grid of step 0.25.
    rig.FillVoxels(0, {33, 33, 33}, kUnitSteps(0.25), [](const Vector& p) { return 3.0 - Length(p); });
    rig.FixLevels({0.5, 0.5, 0.5, 0.5, 0.5, 0.5});
    rig.settings.opaqueness = 0.4;
    rig.settings.isoColour[2] = Vector(0.1, 0.2, 0.3);
    rig.Start();
    ASSERT_TRUE(rig.cubes.CreateIsoSurface(0));

    const SurfaceArrays a = rig.Copy(0, 0);
    ASSERT_GT(a.count, 0);
    EXPECT_EQ(a.count % 3, 0);
    EXPECT_TRUE(test::IsClosedAndOriented(a));
    const double r = 2.5;
    EXPECT_NEAR(test::Area(a), 4 * std::numbers::pi * r * r, 0.02 * 4 * std::numbers::pi * r * r);
    const SphereFit fit = FitSphere(a, Vector(), r);
    EXPECT_LT(fit.worstRadiusError, 0.01);
    EXPECT_LT(Length(fit.centroid), 1e-3);
    EXPECT_GT(fit.worstNormalCosine, 0.99);
    // One extra element of room behind the vertices.
    EXPECT_EQ(a.vertices.size(), 3u * a.count + 3);
    EXPECT_EQ(a.colours.size(), 4u * (a.count + 1));

    // Every level gets its own colour and the opaqueness as alpha; the view may recolour the surfaces.
    const SurfaceArrays third = rig.Copy(0, 2);
    ASSERT_EQ(third.count, a.count);
    EXPECT_FLOAT_EQ(third.colours[0], 0.1f);
    EXPECT_FLOAT_EQ(third.colours[2], 0.3f);
    EXPECT_FLOAT_EQ(third.colours[3], 0.4f);
    EXPECT_EQ(rig.settings.surfaceRecolour, 1);

    // The progress texts of the march were posted, each percentage once.
    int marching = 0;
    for (const AppMessage& m : sink.Messages())
        if (m.code == MSG_LOAD_PROGRESS && m.lParam &&
            std::string(reinterpret_cast<const char*>(m.lParam)) ==
                "Identifying constituent triangles of surface(s)")
            ++marching;
    EXPECT_GT(marching, 1);
    EXPECT_LE(marching, 101);
    EXPECT_EQ(sink.Messages().back().wParam, 0);  // hidden at the end
}

TEST_F(VolumetricSurface, NormalsFollowTheSignOfTheLevel) {
    const double r = 2.5;
    // Low inside, negative level: the normal turns outward again.
    rig.FillVoxels(0, {33, 33, 33}, kUnitSteps(0.25), [](const Vector& p) { return Length(p) - 3.0; });
    // Low inside, positive level: the normal points down the field, into the sphere.
    rig.FillVoxels(1, {33, 33, 33}, kUnitSteps(0.25), [](const Vector& p) { return Length(p) - 2.0; });
    rig.FixLevels({-0.5, 0.5, 0.5, 0.5, 0.5, 0.5});
    rig.Start();
    ASSERT_TRUE(rig.cubes.CreateIsoSurface(0));
    ASSERT_TRUE(rig.cubes.CreateIsoSurface(1));
    EXPECT_GT(FitSphere(rig.Copy(0, 0), Vector(), r).worstNormalCosine, 0.99);
    const SurfaceArrays inward = rig.Copy(1, 1);
    ASSERT_GT(inward.count, 0);
    for (int v = 0; v < inward.count; ++v) ASSERT_LT(NormalAt(inward, v) * VertexAt(inward, v), 0) << v;
}

TEST_F(VolumetricSurface, AnisotropicAndSkewedGridsDrawTheSphereInItsPlace) {
    const Vector centre(0.4, -0.3, 0.2);
    const double r = 2.5;
    const auto field = [&](const Vector& p) { return 3.0 - Length(p - centre); };
    rig.FillVoxels(0, {41, 29, 35}, {Vector(0.2, 0, 0), Vector(0, 0.3, 0), Vector(0, 0, 0.25)}, field);
    rig.FillVoxels(1, {40, 40, 40}, {Vector(0.25, 0, 0), Vector(0.08, 0.24, 0), Vector(-0.05, 0.06, 0.25)}, field);
    rig.FixLevels({0.5, 0.5, 0.5, 0.5, 0.5, 0.5});
    rig.Start();
    for (int f = 0; f < 2; ++f) {
        ASSERT_TRUE(rig.cubes.CreateIsoSurface(f));
        const SurfaceArrays a = rig.Copy(f, 0);
        ASSERT_GT(a.count, 0);
        EXPECT_TRUE(test::IsClosedAndOriented(a)) << "frame " << f;
        const SphereFit fit = FitSphere(a, centre, r);
        EXPECT_LT(fit.worstRadiusError, 0.02) << "frame " << f;
        EXPECT_LT(Length(fit.centroid - centre), 0.01) << "frame " << f;
        EXPECT_GT(fit.worstNormalCosine, 0.98) << "frame " << f;
        EXPECT_NEAR(test::Area(a), 4 * std::numbers::pi * r * r, 0.02 * 4 * std::numbers::pi * r * r);
    }
}

TEST_F(VolumetricSurface, NonFiniteVoxelsLeaveTheirCubesEmpty) {
    rig.FillVoxels(0, {21, 21, 21}, kUnitSteps(0.25), [](const Vector& p) { return 2.0 - Length(p); });
    VoxelGrid& g = rig.doc.GetFrame(0).voxels;
    g.At(10, 10, 16) = NAN;  // on the surface (radius 1.5)
    g.At(16, 10, 10) = INFINITY;
    g.At(10, 4, 10) = -INFINITY;
    rig.FixLevels({0.5, 0.5, 0.5, 0.5, 0.5, 0.5});
    rig.Start();
    ASSERT_TRUE(rig.cubes.CreateIsoSurface(0));
    const SurfaceArrays a = rig.Copy(0, 0);
    ASSERT_GT(a.count, 0);
    EXPECT_TRUE(test::AllFinite(a));
}

TEST_F(VolumetricSurface, AStopFlagSetBeforehandBuildsNothingButSucceeds) {
    rig.FillVoxels(0, {9, 9, 9}, kUnitSteps(0.5), [](const Vector& p) { return 2.0 - Length(p); });
    rig.FixLevels({0.5, 0.5, 0.5, 0.5, 0.5, 0.5});
    rig.Start();
    rig.stop = true;
    EXPECT_TRUE(rig.cubes.CreateIsoSurface(0));
    for (int l = 0; l < ISO_LEVELS; ++l) EXPECT_TRUE(rig.Copy(0, l).Empty());
    rig.stop = false;
    EXPECT_TRUE(rig.cubes.CreateIsoSurface(0));
    EXPECT_FALSE(rig.Copy(0, 0).Empty());
}

TEST_F(VolumetricSurface, ArraysAreClearedPerLevelOrAltogether) {
    rig.FillVoxels(0, {9, 9, 9}, kUnitSteps(0.5), [](const Vector& p) { return 2.0 - Length(p); });
    rig.FixLevels({0.5, 0.5, 0.5, 0.5, 0.5, 0.5});
    EXPECT_FALSE(rig.cubes.CreateIsoSurface(0));  // not initialised
    rig.Start();
    ASSERT_TRUE(rig.cubes.CreateIsoSurface(0));
    rig.cubes.ClearThisVertexArray(0, 1);
    EXPECT_TRUE(rig.Copy(0, 1).Empty());
    EXPECT_FALSE(rig.Copy(0, 2).Empty());
    rig.cubes.ClearVertexArrays();
    EXPECT_TRUE(rig.Copy(0, 2).Empty());
    EXPECT_FALSE(rig.cubes.CreateIsoSurface(1));  // no such frame
    EXPECT_FALSE(rig.cubes.CreateIsoSurface(-1));
    EXPECT_TRUE(rig.Copy(MAX_FRAMES, 0).Empty());  // out of range reads an empty record
    // Released, the engine waits for a new Initialise (the view's next document).
    rig.cubes.Release();
    EXPECT_FALSE(rig.cubes.IsInitialised());
    EXPECT_FALSE(rig.cubes.CreateIsoSurface(0));
    rig.Start();
    EXPECT_TRUE(rig.cubes.CreateIsoSurface(0));
    EXPECT_FALSE(rig.Copy(0, 0).Empty());
}

TEST_F(VolumetricSurface, GridsOfOneOrTwoPointsAlongAnAxisAreHandled) {
    const auto ball = [](const Vector& p) { return 1.0 - Length(p); };
    rig.FillVoxels(0, {1, 5, 5}, kUnitSteps(0.5), ball);
    rig.FillVoxels(1, {2, 2, 2}, kUnitSteps(0.5), ball);
    rig.FixLevels({0.5, 0.5, 0.5, 0.5, 0.5, 0.5});
    rig.Start();
    EXPECT_TRUE(rig.cubes.CreateIsoSurface(0));
    EXPECT_TRUE(rig.Copy(0, 0).Empty());
    EXPECT_TRUE(rig.cubes.CreateIsoSurface(1));
    EXPECT_FALSE(rig.Copy(1, 0).Empty());  // the single cube holds the level
}

TEST_F(VolumetricSurface, AFrameWithoutVoxelsOrWithFlatStepsHasNoSurface) {
    rig.FillVoxels(0, {9, 9, 9}, {Vector(0.5, 0, 0), Vector(1.0, 0, 0), Vector(0, 0, 0.5)},
                   [](const Vector& p) { return 2.0 - Length(p); });
    test::FillFrame(rig.doc, 1, {});
    rig.Start();
    EXPECT_FALSE(rig.cubes.CreateIsoSurface(0));
    EXPECT_FALSE(rig.cubes.CreateIsoSurface(1));
}

// Reference march: every cube on its own, in (i, j, k) order, straight from the tables, with no shared edges and
// no shortcuts; a vertex on each crossed edge by linear interpolation from the edge's lower end, in the grid as
// the document places it (centred on the origin). Cubes with a corner that is not finite stay empty.
std::vector<float> ReferenceVertices(const Frame& f, double v) {
    const VoxelGrid& g = f.voxels;
    const Vector origin = (f.gridStep[0] * g.nx + f.gridStep[1] * g.ny + f.gridStep[2] * g.nz) * -0.5;
    std::vector<float> out;
    for (int i = 0; i + 1 < g.nx; ++i)
        for (int j = 0; j + 1 < g.ny; ++j)
            for (int k = 0; k + 1 < g.nz; ++k) {
                const int corner[3] = {i, j, k};
                float c[8];
                int flag = 0;
                bool finite = true;
                for (int n = 0; n < 8; ++n) {
                    c[n] = g.At(i + mc::VertexOffset[n][0], j + mc::VertexOffset[n][1], k + mc::VertexOffset[n][2]);
                    finite &= std::isfinite(c[n]);
                    if (c[n] <= v) flag |= 1 << n;
                }
                if (!finite) continue;
                for (int t = 0; mc::TriangleConnectionTable[flag][t] >= 0; ++t) {
                    const int e = mc::TriangleConnectionTable[flag][t];
                    int lo = mc::EdgeConnection[e][0], hi = mc::EdgeConnection[e][1];
                    int axis = 0;
                    while (mc::VertexOffset[lo][axis] == mc::VertexOffset[hi][axis]) ++axis;
                    if (mc::VertexOffset[lo][axis] > mc::VertexOffset[hi][axis]) std::swap(lo, hi);
                    const double f0 = c[lo], f1 = c[hi];
                    double p[3];
                    for (int q = 0; q < 3; ++q) p[q] = corner[q] + mc::VertexOffset[lo][q];
                    p[axis] += f1 == f0 ? 0.5 : (v - f0) / (f1 - f0);
                    const Vector w = origin + f.gridStep[0] * p[0] + f.gridStep[1] * p[1] + f.gridStep[2] * p[2];
                    out.insert(out.end(), {static_cast<float>(w.x), static_cast<float>(w.y), static_cast<float>(w.z)});
                }
            }
    return out;
}

/// The engine's vertices of a frame and level, exactly as the reference march places and orders them.
::testing::AssertionResult SameVerticesAsTheReference(test::SurfaceRig& rig, int frame, int level) {
    const SurfaceArrays a = rig.Copy(frame, level);
    const std::vector<float> expected = ReferenceVertices(rig.doc.GetFrame(frame), rig.settings.isoLevel[level]);
    if (static_cast<std::size_t>(3 * a.count) != expected.size())
        return ::testing::AssertionFailure() << a.count << " vertices, the reference has " << expected.size() / 3;
    for (std::size_t q = 0; q < expected.size(); ++q)
        if (a.vertices[q] != expected[q])
            return ::testing::AssertionFailure() << "vertex " << q / 3 << " differs: " << a.vertices[q] << " against "
                                                 << expected[q];
    return ::testing::AssertionSuccess() << a.count << " vertices";
}

TEST_F(VolumetricSurface, EveryVertexIsThatOfAPlainPerCubeMarchInItsOrder) {
    // A p-like orbital with both signs on an anisotropic grid, and a skewed one with non-finite voxels.
    rig.FillVoxels(0, {40, 36, 44}, kUnitSteps(0.3), [](const Vector& p) { return p.x * std::exp(-Length(p)); });
    rig.FillVoxels(1, {30, 33, 31}, {Vector(0.3, 0, 0), Vector(0.1, 0.28, 0), Vector(-0.05, 0.07, 0.3)},
                   [](const Vector& p) { return (p.x + 0.5 * p.z) * std::exp(-Length(p) / 1.5); });
    VoxelGrid& g = rig.doc.GetFrame(1).voxels;
    g.At(15, 16, 20) = NAN;
    g.At(20, 10, 12) = INFINITY;
    g.At(9, 20, 15) = -INFINITY;
    rig.FixLevels({0.01, 0.05, 0.1, -0.01, -0.05, -0.1});
    rig.Start();
    for (int f = 0; f < 2; ++f) {
        ASSERT_TRUE(rig.cubes.CreateIsoSurface(f));
        for (int l = 0; l < ISO_LEVELS; ++l) {
            EXPECT_TRUE(SameVerticesAsTheReference(rig, f, l)) << "frame " << f << " level " << l;
            EXPECT_GT(rig.Copy(f, l).count, 0) << "frame " << f << " level " << l;
        }
    }
}

class CubeFileSurface : public test::ReaderTest {};

TEST_F(CubeFileSurface, RealAndAwkwardFilesGiveFiniteSurfacesInsideTheirGrids) {
    for (const char* name : {"vsim-h2o-dens.cube", "xcrysden-N2O_homo+lumo.cube", "valid-cube-angstrom-units.cube",
                             "adv-cube-nan.cube"}) {
        SCOPED_TRACE(name);
        test::SurfaceRig rig;
        rig.doc.SetDocTemplate(TEMPLATE_CUBE);
        ASSERT_EQ(rig.doc.ReadGaussianCubeFile(test::DataPath(name).c_str()), 1);
        rig.settings.autoIsoLevels = 1;
        rig.Start();
        int vertices = 0;
        for (int f = 0; f < rig.doc.GetFrameCount(); ++f) {
            ASSERT_TRUE(rig.cubes.CreateIsoSurface(f));
            const Frame& frame = rig.doc.GetFrame(f);
            const Vector half = (frame.cellA + frame.cellB + frame.cellC) * 0.5;
            for (int l = 0; l < ISO_LEVELS; ++l) {
                const SurfaceArrays a = rig.Copy(f, l);
                vertices += a.count;
                EXPECT_TRUE(SameVerticesAsTheReference(rig, f, l)) << "frame " << f << " level " << l;
                ASSERT_TRUE(test::AllFinite(a));
                for (int v = 0; v < a.count; ++v) {
                    const Vector p = VertexAt(a, v);
                    ASSERT_LE(std::fabs(p.x), std::fabs(half.x) + 1e-4);
                    ASSERT_LE(std::fabs(p.y), std::fabs(half.y) + 1e-4);
                    ASSERT_LE(std::fabs(p.z), std::fabs(half.z) + 1e-4);
                }
            }
        }
        EXPECT_GT(vertices, 0);
    }
}

TEST_F(CubeFileSurface, AnOrbitalGetsPositiveAndNegativeAutomaticLevels) {
    test::SurfaceRig rig;
    rig.doc.SetDocTemplate(TEMPLATE_CUBE);
    ASSERT_EQ(rig.doc.ReadGaussianCubeFile(test::DataPath("xcrysden-N2O_homo+lumo.cube").c_str()), 1);
    rig.settings.autoIsoLevels = 1;
    rig.Start();
    ASSERT_TRUE(rig.cubes.CreateIsoSurface(0));
    EXPECT_GT(rig.settings.isoLevel[0], 0);
    EXPECT_LT(rig.settings.isoLevel[5], 0);
    EXPECT_FALSE(rig.Copy(0, 0).Empty());
    EXPECT_FALSE(rig.Copy(0, 5).Empty());
}

class MolecularSurface : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseTestElements();
        test::SetElement(20, "R1", 21, 1.0f, 0.25f, 0.5f, 0.75f);
    }
    void TearDown() override { ResetElementTable(); }

    void SetCellWidth(double w) {
        rig.doc.GetFrame(0).maxCellWidth = w;
        rig.doc.GetFrame(0).invMaxCellWidth = 1.0 / w;
    }

    /// One radius-1 atom at the origin in a cubic cell of width 10.
    void OneAtom() {
        test::FillFrame(rig.doc, 0, {{"R1", 0, 0, 0}});
        SetCellWidth(10.0);
    }
    test::SurfaceRig rig;
};

TEST_F(MolecularSurface, OnlyLevelZeroIsBuiltOnTheGridOfTheCellWidth) {
    OneAtom();
    rig.settings.surfaceDistance = rig.settings.surfaceStep = 1.0;
    rig.settings.opaqueness = 0.6;
    rig.FixLevels({0.5, 0.5, 0.5, 0.5, 0.5, 0.5});
    rig.Start();
    ASSERT_TRUE(rig.cubes.CreateIsoSurface(0));
    EXPECT_EQ(rig.cubes.LastGridSteps(), 14);  // H = 10 / 2 + 2, N = 2H / s
    EXPECT_FALSE(rig.Copy(0, 0).Empty());
    for (int l = 1; l < ISO_LEVELS; ++l) EXPECT_TRUE(rig.Copy(0, l).Empty());
    EXPECT_EQ(rig.settings.surfaceRecolour, 0);
    EXPECT_EQ(rig.settings.isoLevel[0], 0.5);  // the volumetric levels are left alone
    EXPECT_EQ(rig.cubes.LastSurfaceScale(), 1.0);
    const SurfaceArrays a = rig.Copy(0, 0);
    EXPECT_FLOAT_EQ(a.colours[0], 0.25f);
    EXPECT_FLOAT_EQ(a.colours[2], 0.75f);
    EXPECT_FLOAT_EQ(a.colours[3], 0.6f);
}

TEST_F(MolecularSurface, OneAtomGivesAClosedSphereAtTheTangentDistance) {
    OneAtom();
    rig.settings.surfaceDistance = 1.0;
    rig.settings.surfaceStep = 0.3;  // no grid point lies exactly on the surface
    rig.Start();
    ASSERT_TRUE(rig.cubes.CreateIsoSurface(0));
    EXPECT_EQ(rig.cubes.LastGridSteps(), 46);
    const SurfaceArrays a = rig.Copy(0, 0);
    ASSERT_GT(a.count, 0);
    EXPECT_TRUE(test::IsClosedAndOriented(a));
    // Tangent length 1 from a sphere of radius 1: the surface lies at radius sqrt(2).
    const SphereFit fit = FitSphere(a, Vector(), std::sqrt(2.0));
    EXPECT_LT(fit.worstRadiusError, 0.03);
    EXPECT_LT(Length(fit.centroid), 0.01);
    EXPECT_GT(fit.worstNormalCosine, 0.9);
}

TEST_F(MolecularSurface, GridsBeyondTheMemoryCapOrWithoutAStepAreRefused) {
    test::FillFrame(rig.doc, 0, {{"R1", 0, 0, 0}, {"R1", 4000, 0, 0}});
    SetCellWidth(4001.0);
    rig.settings.surfaceDistance = 1.0;
    rig.settings.surfaceStep = 0.3;
    rig.Start();
    EXPECT_FALSE(rig.cubes.CreateIsoSurface(0));
    EXPECT_EQ(rig.cubes.LastGridSteps(), -1);
    rig.settings.surfaceStep = 0.0;
    EXPECT_FALSE(rig.cubes.CreateIsoSurface(0));
    EXPECT_TRUE(rig.Copy(0, 0).Empty());
}

TEST_F(MolecularSurface, AStopFlagSetBeforehandBuildsNothingButSucceeds) {
    OneAtom();
    rig.settings.surfaceDistance = rig.settings.surfaceStep = 1.0;
    rig.Start();
    rig.stop = true;
    EXPECT_TRUE(rig.cubes.CreateIsoSurface(0));
    EXPECT_TRUE(rig.Copy(0, 0).Empty());
}

}  // namespace
}  // namespace zelvor
