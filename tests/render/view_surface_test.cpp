// The iso-surface worker started by a paint, and the arrays it leaves drawn by the next.
#include <gtest/gtest.h>

#include "view_test_scene.h"

namespace zelvor {
namespace {

using test::ViewScene;

int LitPixels(const ViewScene& scene) {
    int lit = 0;
    for (int y = 0; y < scene.Size(); ++y)
        for (int x = 0; x < scene.Size(); ++x) {
            const auto p = scene.Pixel(x, y);
            lit += (p[0] | p[1] | p[2]) != 0;
        }
    return lit;
}

TEST(ViewSurface, MolecularSurfaceIsDrawnOnceTheWorkerIsDone) {
    ViewScene scene("1\nC\nC 0 0 0\n");
    ASSERT_TRUE(scene.Ok());
    scene.Settings().farVisibility = 0.99;
    scene.Paint();
    const int atomOnly = LitPixels(scene);
    ASSERT_GT(atomOnly, 0);

    scene.Settings().showSurface = 1;
    scene.Paint();
    scene.View().WaitForSurfaceWorker();
    EXPECT_FALSE(scene.View().IsSurfaceRunning());
    ASSERT_TRUE(scene.View().Surface().IsComputed(0));
    scene.View().Paint();
    EXPECT_FALSE(scene.View().IsSurfaceRunning());  // nothing changed: no new computation
    scene.Paint();
    EXPECT_FALSE(scene.View().IsSurfaceRunning());
    EXPECT_GT(LitPixels(scene), atomOnly);

    // A new surface step makes the frame's surface stale.
    scene.Settings().surfaceStep = 0.7;
    scene.View().Paint();
    scene.View().WaitForSurfaceWorker();
    EXPECT_TRUE(scene.View().Surface().IsComputed(0));
}

TEST(ViewSurface, ARefusedSurfaceIsNotRetriedAtEveryPaint) {
    ViewScene scene("1\nC\nC 0 0 0\n");
    ASSERT_TRUE(scene.Ok());
    scene.Settings().showSurface = 1;
    scene.Settings().surfaceStep = 0.001;  // a grid far beyond what the engine accepts
    scene.Paint();
    scene.View().WaitForSurfaceWorker();
    EXPECT_FALSE(scene.View().Surface().IsComputed(0));
    scene.View().Paint();
    EXPECT_FALSE(scene.View().IsSurfaceRunning());
    // A usable step is tried again.
    scene.Settings().surfaceStep = 0.8;
    scene.View().Paint();
    scene.View().WaitForSurfaceWorker();
    EXPECT_TRUE(scene.View().Surface().IsComputed(0));
}

TEST(ViewSurface, SurfaceResetClearsTheFrameAndDestructionJoinsTheWorker) {
    ViewScene scene("2\nCO\nC 0 0 0\nO 1.2 0 0\n");
    ASSERT_TRUE(scene.Ok());
    scene.Settings().showSurface = 1;
    scene.Paint();
    scene.View().WaitForSurfaceWorker();
    ASSERT_TRUE(scene.View().Surface().IsComputed(0));
    scene.View().OnUpdate(HINT_SURFACE_RESET);
    EXPECT_FALSE(scene.View().Surface().IsComputed(0));
    // Started again and left running: the scene's end must stop and join it.
    scene.Paint();
}

}  // namespace
}  // namespace zelvor
