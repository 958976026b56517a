// The surface worker replaces arrays while the drawing side reads them under the surface-array lock.
#include <gtest/gtest.h>

#include <thread>

#include "surface_fixtures.h"

namespace zelvor {
namespace {

TEST(SurfaceWorker, ArraysReadUnderTheLockAreAlwaysWhole) {
    test::SurfaceRig rig;
    for (int f = 0; f < 4; ++f)
        rig.FillVoxels(f, {17, 17, 17}, {Vector(0.25, 0, 0), Vector(0, 0.25, 0), Vector(0, 0, 0.25)},
                       [f](const Vector& p) { return 1.0 + 0.2 * f - std::sqrt(p * p); });
    rig.FixLevels({0.1, 0.2, 0.3, -0.1, 0.4, 0.5});
    rig.Start();

    std::atomic<bool> done{false};
    std::atomic<int> built{0};
    std::thread worker([&] {
        for (int round = 0; round < 6; ++round)
            for (int f = 0; f < 4; ++f)
                if (rig.cubes.CreateIsoSurface(f)) ++built;
        done = true;
    });
    int reads = 0;
    while (!done.load() || reads == 0) {
        std::lock_guard lock(rig.cubes.SurfaceArrayLock());
        for (int f = 0; f < 4; ++f)
            for (int l = 0; l < ISO_LEVELS; ++l) {
                const SurfaceArrays& a = rig.cubes.Arrays(f, l);
                if (a.Empty()) continue;
                ASSERT_EQ(a.vertices.size(), 3u * a.count + 3);
                ASSERT_EQ(a.normals.size(), 3u * a.count + 3);
                ASSERT_EQ(a.colours.size(), 4u * (a.count + 1));
            }
        ++reads;
    }
    worker.join();
    EXPECT_EQ(built.load(), 24);
    // Meanwhile a stop request ends a running surface early and leaves the old arrays in place.
    const int before = rig.Copy(0, 0).count;
    rig.stop = true;
    std::thread stopped([&] { EXPECT_TRUE(rig.cubes.CreateIsoSurface(0)); });
    stopped.join();
    EXPECT_EQ(rig.Copy(0, 0).count, before);
}

}  // namespace
}  // namespace zelvor
