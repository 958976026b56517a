// Automatic iso-levels of volumetric data.
#include <gtest/gtest.h>

#include "render/iso_levels.h"
#include "surface_fixtures.h"

namespace zelvor {
namespace {

void ExpectLevels(const double* actual, std::array<double, 6> expected) {
    for (int l = 0; l < 6; ++l) EXPECT_NEAR(actual[l], expected[l], 1e-12) << "level " << l;
}

TEST(DefaultIsoLevels, PositiveDataFallsFromTheCappedMaximumToTheShellMinimum) {
    double levels[6];
    // The shell maximum above 0.1 caps the top level.
    ASSERT_TRUE(DefaultIsoLevels({2.0, 0.0, 0.5, 0.02}, levels));
    for (int l = 0; l < 6; ++l) EXPECT_NEAR(levels[l], 0.5 - l * 0.48 / 6, 1e-12);
    // A small shell maximum: the cap is 0.1.
    ASSERT_TRUE(DefaultIsoLevels({2.0, 0.0, 0.05, 0.0}, levels));
    for (int l = 0; l < 6; ++l) EXPECT_NEAR(levels[l], 0.1 - l * 0.1 / 6, 1e-12);
    // A maximum below the cap starts the levels.
    ASSERT_TRUE(DefaultIsoLevels({0.08, 0.0, 0.05, 0.0}, levels));
    for (int l = 0; l < 6; ++l) EXPECT_NEAR(levels[l], 0.08 - l * 0.08 / 6, 1e-12);
}

TEST(DefaultIsoLevels, SignedDataSharesTheLevelsBetweenTheSigns) {
    double levels[6];
    // k = trunc(6 * 0.75 / 1.5) = 3 positive levels, then 3 negative ones.
    ASSERT_TRUE(DefaultIsoLevels({1.0, -0.5, 0.25, -0.1}, levels));
    ExpectLevels(levels, {0.75, 0.5, 0.25, -0.5 + 0.4 / 3, -0.5 + 0.8 / 3, -0.1});
    // Nothing above the shell maximum: all six levels are negative (k = 0 divides nothing by zero).
    ASSERT_TRUE(DefaultIsoLevels({0.2, -1.0, 0.2, -0.4}, levels));
    ExpectLevels(levels, {-0.9, -0.8, -0.7, -0.6, -0.5, -0.4});
}

TEST(DefaultIsoLevels, OtherRangesLeaveTheLevelsAsTheyAre) {
    double levels[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_FALSE(DefaultIsoLevels({0.0, 0.0, 0.0, 0.0}, levels));     // an empty or flat grid
    EXPECT_FALSE(DefaultIsoLevels({0.0, -2.0, 0.0, 0.0}, levels));    // negative only inside
    EXPECT_FALSE(DefaultIsoLevels({NAN, -2.0, 0.1, -0.1}, levels));   // a range spoilt by a bad value
    ExpectLevels(levels, {1, 2, 3, 4, 5, 6});
}

TEST(SetCubeDefaultIsolevels, WritesLevelsOnlyWhileAutomaticButAlwaysTakesTheColours) {
    test::SurfaceRig rig;
    rig.doc.voxelMax = 1.0, rig.doc.voxelMin = -0.5, rig.doc.voxelShellMax = 0.25, rig.doc.voxelShellMin = -0.1;
    rig.settings.autoIsoLevels = 1;
    rig.cubes.SetCubeDefaultIsolevels();  // not initialised: nothing happens
    EXPECT_EQ(rig.settings.isoLevel[0], 0.001);

    rig.Start();
    rig.cubes.SetCubeDefaultIsolevels();
    EXPECT_NEAR(rig.settings.isoLevel[0], 0.75, 1e-12);
    EXPECT_NEAR(rig.settings.isoLevel[5], -0.1, 1e-12);

    rig.FixLevels({0.3, 0.3, 0.3, 0.3, 0.3, 0.3});
    rig.cubes.SetCubeDefaultIsolevels();
    EXPECT_EQ(rig.settings.isoLevel[0], 0.3);
    EXPECT_EQ(rig.settings.isoLevel[5], 0.3);
}

}  // namespace
}  // namespace zelvor
