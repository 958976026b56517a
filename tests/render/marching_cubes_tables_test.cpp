// The marching-cubes tables: edge flags agree with the corners, and every case closes up with its neighbours.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "render/cube_march.h"
#include "render/marching_cubes_tables.h"
#include "surface_fixtures.h"

namespace zelvor {
namespace {

using namespace mc;

TEST(MarchingCubesTables, EdgeFlagsMarkExactlyTheEdgesBetweenCornersOnDifferentSides) {
    for (int c = 0; c < 256; ++c) {
        int expected = 0;
        for (int e = 0; e < 12; ++e)
            if (((c >> EdgeConnection[e][0]) & 1) != ((c >> EdgeConnection[e][1]) & 1)) expected |= 1 << e;
        EXPECT_EQ(CubeEdgeFlags[c], expected) << "case " << c;
    }
}

TEST(MarchingCubesTables, TrianglesUseEveryFlaggedEdgeAndNoOther) {
    for (int c = 0; c < 256; ++c) {
        int used = 0, n = 0;
        while (n < 16 && TriangleConnectionTable[c][n] >= 0) used |= 1 << TriangleConnectionTable[c][n++];
        ASSERT_LT(n, 16) << "case " << c << " has no end mark";
        EXPECT_EQ(n % 3, 0) << "case " << c;
        EXPECT_EQ(used, CubeEdgeFlags[c]) << "case " << c;
    }
}

TEST(MarchingCubesTables, EdgesRunBetweenNeighbouringCornersInTheirDirection) {
    for (int e = 0; e < 12; ++e) {
        const int a = EdgeConnection[e][0], b = EdgeConnection[e][1];
        for (int q = 0; q < 3; ++q) EXPECT_EQ(VertexOffset[b][q] - VertexOffset[a][q], EdgeDirection[e][q]) << e;
    }
}

TEST(MarchingCubesTables, EqualCornerValuesPutTheVertexAtTheEdgeMiddle) {
    EXPECT_EQ(EdgeFraction(0.3, 0.7, 0.7), 0.5);
    EXPECT_DOUBLE_EQ(EdgeFraction(0.25, 0.0, 1.0), 0.25);
    EXPECT_DOUBLE_EQ(EdgeFraction(0.25, 1.0, 0.0), 0.75);
}

// Random interiors inside a border above the level: the surface must be closed and consistently oriented,
// and between them the grids must show the marcher every one of the 256 cases.
TEST(MarchingCubesTables, RandomFieldsGiveClosedOrientedSurfacesThroughAllCases) {
    test::SurfaceRig rig;
    rig.FixLevels({0.1, 0.1, 0.1, 0.1, 0.1, 0.1});
    const int n = 7;
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::set<int> cases;
    for (int round = 0; round < 120; ++round) {
        rig.FillVoxels(round, {n, n, n}, {Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)}, [](const Vector&) {
            return 1.0;
        });
        VoxelGrid& g = rig.doc.GetFrame(round).voxels;
        for (int i = 1; i < n - 1; ++i)
            for (int j = 1; j < n - 1; ++j)
                for (int k = 1; k < n - 1; ++k) g.At(i, j, k) = value(random);
        for (int i = 0; i + 1 < n; ++i)
            for (int j = 0; j + 1 < n; ++j)
                for (int k = 0; k + 1 < n; ++k) {
                    int flag = 0;
                    for (int c = 0; c < 8; ++c)
                        if (g.At(i + VertexOffset[c][0], j + VertexOffset[c][1], k + VertexOffset[c][2]) <= 0.1f)
                            flag |= 1 << c;
                    cases.insert(flag);
                }
    }
    rig.Start();
    for (int round = 0; round < 120; ++round) {
        ASSERT_TRUE(rig.cubes.CreateIsoSurface(round));
        const SurfaceArrays a = rig.Copy(round, 0);
        ASSERT_GT(a.count, 0);
        ASSERT_TRUE(test::IsClosedAndOriented(a)) << "grid " << round;
    }
    EXPECT_EQ(cases.size(), 256u);
}

}  // namespace
}  // namespace zelvor
