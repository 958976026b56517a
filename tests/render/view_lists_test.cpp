// Display lists: compile counts, keys, quality.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "model/locks.h"
#include "render/tessellation.h"
#include "view_test_scene.h"

namespace zelvor {
namespace {

using test::ViewScene;

TEST(ViewLists, SecondPaintCompilesNothing) {
    ViewScene scene("3\nwater\nO 0 0 0\nH 0.96 0 0\nH -0.24 0.93 0\n");
    ASSERT_TRUE(scene.Ok());
    scene.Settings().showBonds = 1;
    scene.Paint();
    const CompileCounts first = scene.View().Lists().Counts();
    EXPECT_EQ(first.atomLists, 1);
    EXPECT_EQ(first.bondLists, 1);
    EXPECT_EQ(first.sceneLists, 1);
    scene.View().Paint();
    EXPECT_EQ(scene.View().Lists().Counts().atomLists, 1);
    EXPECT_EQ(scene.View().Lists().Counts().bondLists, 1);
    EXPECT_EQ(scene.View().Lists().Counts().sceneLists, 1);

    // A new bond size rebuilds bonds and scene, not the spheres.
    scene.Settings().bondSize = 12.0;
    scene.Paint();
    EXPECT_EQ(scene.View().Lists().Counts().atomLists, 1);
    EXPECT_EQ(scene.View().Lists().Counts().bondLists, 2);
    EXPECT_EQ(scene.View().Lists().Counts().sceneLists, 2);
    // Both hydrogens (0.96 and 0.9605 Å) share OH19; each key order has its own list.
    EXPECT_EQ(scene.View().Lists().BondLists().count("OH19"), 1u);
    EXPECT_EQ(scene.View().Lists().BondLists().count("HO19"), 1u);
    EXPECT_EQ(scene.View().Lists().BondLists().count("OH20"), 0u);
}

TEST(ViewLists, CompilesSkipWhileTheAtomLockIsHeldElsewhere) {
    ViewScene scene("1\nC\nC 0 0 0\n");
    ASSERT_TRUE(scene.Ok());
    std::mutex m;
    std::condition_variable cv;
    bool held = false, release = false;
    std::thread holder([&] {
        std::lock_guard atoms(AtomLock());
        std::unique_lock lock(m);
        held = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
    });
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return held; });
    }
    scene.Paint();
    EXPECT_EQ(scene.View().Lists().Counts().atomLists, 0);
    EXPECT_EQ(scene.View().Lists().Counts().sceneLists, 0);
    {
        std::lock_guard lock(m);
        release = true;
    }
    cv.notify_all();
    holder.join();
    scene.View().Paint();
    EXPECT_EQ(scene.View().Lists().Counts().atomLists, 1);
    EXPECT_EQ(scene.View().Lists().Counts().sceneLists, 1);
}

TEST(ViewLists, RenderQualityIsClampedAndSetsTheCounts) {
    ViewScene scene("1\nC\nC 0 0 0\n");
    ASSERT_TRUE(scene.Ok());
    for (const auto& [in, out] : {std::pair{0, 2}, {2, 2}, {3, 3}, {29, 29}, {30, 30}, {31, 30}, {-5, 2}}) {
        scene.View().SetRenderQuality(in);
        EXPECT_EQ(scene.View().GetRenderQuality(), out) << in;
    }
    const TessellationCounts low = CountsForQuality(2);
    EXPECT_EQ(low.sphereSlices, 3);
    EXPECT_EQ(low.sphereStacks, 2);
    EXPECT_EQ(low.tubeSlices, 3);
    EXPECT_EQ(low.tubeStacks, 1);
    EXPECT_EQ(CountsForQuality(7).tubeStacks, 1);
    EXPECT_EQ(CountsForQuality(8).tubeStacks, 2);
    EXPECT_EQ(CountsForQuality(15).tubeStacks, 3);
    EXPECT_EQ(CountsForQuality(30).tubeStacks, 7);
}

TEST(ViewLists, BondKeysBandLengthsPerOrderedElementPair) {
    AtomData carbon, hydrogen;
    std::snprintf(carbon.symbol, sizeof carbon.symbol, "C");
    std::snprintf(hydrogen.symbol, sizeof hydrogen.symbol, "H");
    Atom c, h;
    c.element = &carbon;
    h.element = &hydrogen;
    EXPECT_EQ(CSceneLists::GetLengthPairLabels(1.08, c, h), "CH21");
    EXPECT_EQ(CSceneLists::GetLengthPairLabels(1.09, c, h), "CH21");
    EXPECT_EQ(CSceneLists::GetLengthPairLabels(1.10, c, h), "CH22");
    EXPECT_EQ(CSceneLists::GetLengthPairLabels(1.08, h, c), "HC21");
}

TEST(ViewLists, BondOrientationHandlesAxisAlignedBonds) {
    const BondOrientation up = OrientBond(Vector(0, 0, 0), Vector(0, 2, 0));
    EXPECT_EQ(up.angleY, 90.0);
    EXPECT_EQ(up.angleX, -90.0);
    EXPECT_EQ(up.length, 2.0);
    const BondOrientation down = OrientBond(Vector(0, 0, 0), Vector(0, -1, 0));
    EXPECT_EQ(down.angleX, 90.0);
    const BondOrientation left = OrientBond(Vector(0, 0, 0), Vector(-1, 0, 0));
    EXPECT_EQ(left.angleY, -90.0);
    EXPECT_EQ(left.angleX, -0.0);
    const BondOrientation slant = OrientBond(Vector(0, 0, 0), Vector(1, 0, 1));
    EXPECT_NEAR(slant.angleY, 45.0, 1e-12);
}

TEST(ViewLists, BondAtTheLengthLimitIsDrawnAndLongerIsNot) {
    ViewScene scene("4\nlimit\nC 0 0 0\nC 1.5 0 0\nC 10 0 0\nC 11.5001 0 0\n");
    ASSERT_TRUE(scene.Ok());
    scene.Settings().showBonds = 1;
    scene.Settings().maxBondLength = 1.5;
    scene.Paint();
    EXPECT_EQ(scene.Doc().GetFrame(0).displayedBonds, 2);
}

TEST(ViewLists, ZeroAtomScaleDrawsNoSpheres) {
    ViewScene scene("1\nC\nC 0 0 0\n");
    ASSERT_TRUE(scene.Ok());
    scene.Settings().atomScale = 0.0;
    scene.Paint();
    EXPECT_EQ(scene.Pixel(32, 32)[0], 0);
}

TEST(ViewLists, SelectionRebuildsTheSceneUnderTheLockTheGovernorWritesBy) {
    ViewScene scene("2\npair\nC 0 0 0\nO 1.2 0 0\n");
    ASSERT_TRUE(scene.Ok());
    struct AnimatingHost : CViewHost {
        bool IsAnimating() const override { return true; }
    } host;
    CDravikGLView& view = scene.View();
    view.SetHost(&host);
    C3DViewSettings& s = scene.Settings();
    s.optimiseTessellation = 1;
    s.atomsAsSpheres = 0;  // points: the scene list reads the atom size, which the governor's start writes
    view.SetGovernorLimits({5, 40, 1});
    view.OnUpdate(HINT_FILE_LOADED);
    scene.Paint();  // starts the governor
    scene.Doc().ToggleAtomSelection(1);
    view.Governor().Join();
    EXPECT_EQ(view.Lists().Counts().sceneLists, 2);
    view.SetHost(nullptr);
}

}  // namespace
}  // namespace zelvor
