// The iso-surface worker started by a paint, and the arrays it leaves drawn by the next.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>

#include "support/test_support.h"
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

/// A cluster whose molecular surface takes the worker a while at a fine step.
std::string Cluster(int atoms) {
    std::string xyz = std::to_string(atoms) + "\ncluster\n";
    for (int i = 0; i < atoms; ++i)
        xyz += "C " + std::to_string(1.3 * (i % 10)) + " " + std::to_string(1.3 * (i / 10 % 10)) + " " +
               std::to_string(1.3 * (i / 100)) + "\n";
    return xyz;
}

TEST(ViewSurface, FramesFreedUnderARunningWorkerAreNeverRead) {
    // Under the address sanitizer a worker that sampled freed atoms is reported here.
    ViewScene scene(Cluster(600));
    ASSERT_TRUE(scene.Ok());
    scene.Settings().showSurface = 1;
    scene.Settings().surfaceStep = 0.35;

    // A new file: the loader frees the frames while the worker may still sample them.
    scene.Paint();
    QTemporaryDir dir;
    const std::string next = test::WriteFile(dir, "next.xyz", Cluster(300));
    scene.Doc().InitiateFile(next.c_str(), TEMPLATE_XYZ);
    scene.Doc().WaitForLoader();
    scene.View().WaitForSurfaceWorker();
    EXPECT_EQ(scene.Doc().GetFrame(0).atomCount, 300);

    // The document closes: its views' workers stop before the frames go.
    scene.View().OnUpdate(HINT_SURFACE_RESET);
    scene.Paint();
    scene.Doc().AdviseGracefullExit();
    EXPECT_FALSE(scene.View().IsSurfaceRunning());
    EXPECT_EQ(scene.Doc().GetFrameCount(), 0);
}

}  // namespace
}  // namespace zelvor
