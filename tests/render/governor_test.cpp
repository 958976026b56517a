#include "render/governor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "governor_fixture.h"

namespace zelvor {
namespace {

using test::ScriptedGovernor;
using Posts = std::vector<std::pair<int, int>>;

TEST(GovernorRules, StartNeedsEveryCondition) {
    GovernorStartState ready{true, true, true, 1, true, false, false};
    EXPECT_TRUE(ShouldStartGovernor(ready));
    auto without = [&](auto change) {
        GovernorStartState s = ready;
        change(s);
        return ShouldStartGovernor(s);
    };
    EXPECT_FALSE(without([](auto& s) { s.surfaceStateReady = false; }));
    EXPECT_FALSE(without([](auto& s) { s.animating = false; }));
    EXPECT_FALSE(without([](auto& s) { s.frameLoadable = false; }));
    EXPECT_FALSE(without([](auto& s) { s.atomCount = 0; }));
    EXPECT_FALSE(without([](auto& s) { s.optimiseTessellation = false; }));
    EXPECT_FALSE(without([](auto& s) { s.finished = true; }));
    EXPECT_FALSE(without([](auto& s) { s.threadRunning = true; }));
}

TEST(GovernorRules, PolygonEstimate) {
    EXPECT_EQ(EstimatePolygons(10, 5, 0.3, 7, 1, 1), 500 + 7 * 100 / 4);
    EXPECT_EQ(EstimatePolygons(10, 5, 0.0, 7, 1, 1), 175);
    EXPECT_EQ(EstimatePolygons(3, 5, 0.3, 7, 1, 0), 45);
    EXPECT_EQ(EstimatePolygons(3, 5, 0.3, 7, 0, 1), 45);
    EXPECT_EQ(EstimatePolygons(3, 0, 0.3, 1, 1, 1), 2);  // 9 / 4, integer division
}

TEST(GovernorRules, QualityStepIsAtLeastOneAndRoundsHalfUp) {
    EXPECT_EQ(AdjustRenderQuality(8, -2), 7);   // 0.6 is less than 1
    EXPECT_EQ(AdjustRenderQuality(8, -10), 5);  // 3
    EXPECT_EQ(AdjustRenderQuality(8, -5), 7);   // 6.5 rounds up
    EXPECT_EQ(AdjustRenderQuality(8, 5), 10);   // 9.5 rounds up
    EXPECT_EQ(AdjustRenderQuality(8, 0), 8);
}

TEST(GovernorRules, SurfaceStepStaysWithinBounds) {
    EXPECT_DOUBLE_EQ(AdjustSurfaceStep(1.0, 2.0, 5), 1.25);
    EXPECT_DOUBLE_EQ(AdjustSurfaceStep(1.0, 2.0, -5), 0.75);
    EXPECT_DOUBLE_EQ(AdjustSurfaceStep(1.9, 2.0, 10), 2.0);   // never above the distance
    EXPECT_DOUBLE_EQ(AdjustSurfaceStep(0.35, 2.0, -10), 0.3);  // never below 0.3
    EXPECT_DOUBLE_EQ(AdjustSurfaceStep(0.2, 0.2, 0), 0.3);     // a distance below 0.3 still gives 0.3
    EXPECT_DOUBLE_EQ(AdjustSurfaceStep(0.5, 0.0, 3), 0.3);
    EXPECT_DOUBLE_EQ(AdjustSurfaceStep(std::numeric_limits<double>::quiet_NaN(), 2.0, 1), 0.3);
}

TEST(GovernorRules, StatusTexts) {
    EXPECT_EQ(GovernorStatusText(false, true, 2, false), "");
    EXPECT_EQ(GovernorStatusText(true, true, 1, false), "Optimising tessellation against CPU usage...");
    EXPECT_EQ(GovernorStatusText(true, true, -1, false), "Not optimised");
    EXPECT_EQ(GovernorStatusText(true, false, 2, false), "Not optimised");
    EXPECT_EQ(GovernorStatusText(true, false, -1, true), "");
}

TEST(Governor, AlwaysAboveMaximumLowersEachPassThenFinishes) {
    ScriptedGovernor g({5, 40, 3});
    g.script = {45.0};
    g.governor->SetFullScreen(true);
    g.governor->SetSceneTesselation();
    // Passes 0..4 (the search ends once the pass count exceeds the limit), each lowering by 1.5.
    Posts expected;
    for (int i = 0; i < 5; ++i) expected.insert(expected.end(), {{2, -5}, {1, 0}});
    expected.push_back({-1, 0});
    EXPECT_EQ(g.posts, expected);
    EXPECT_EQ(g.qualityAfterPost, (std::vector<int>{7, 7, 6, 6, 5, 5, 4, 4, 3, 3, 3}));
    EXPECT_TRUE(g.governor->IsFinished());
    EXPECT_FALSE(g.governor->IsRunning());
    // Below 4, atoms become points and bonds lines; both readings stayed above: nothing restored.
    EXPECT_EQ(g.settings.atomsAsSpheres, 0);
    EXPECT_EQ(g.settings.bondsAsTubes, 0);
    EXPECT_EQ(g.settings.bondSize, 1.0);
    EXPECT_EQ(g.settings.smoothLines, 1);
    EXPECT_EQ(g.governor->StatusText(), "");
    // Two measurements per pass.
    EXPECT_EQ(g.readings, 10);
}

TEST(Governor, StartingStateAndLargeExcessClampsQuality) {
    ScriptedGovernor g({5, 40, 0});
    g.settings.surfaceDistance = 1.5;
    g.settings.surfaceStep = 0.4;
    g.script = {1e300};
    g.governor->SetSceneTesselation();
    EXPECT_EQ(g.posts.front(), std::make_pair(2, -1000));
    EXPECT_EQ(g.settings.renderQuality, 2);
    EXPECT_EQ(g.settings.surfaceStep, 1.5);
    EXPECT_DOUBLE_EQ(g.settings.atomScale, 0.3);
    EXPECT_EQ(g.settings.smoothLines, 0);  // the unclamped quality went below zero
}

TEST(Governor, WithoutMeasurementRaisesUntilPassesRunOut) {
    ScriptedGovernor g({5, 40, 2});
    g.script = {-1.0};
    g.governor->SetFullScreen(true);
    std::vector<std::string> texts;
    g.governor->onAdjusted = [&](int) { texts.push_back(g.governor->StatusText()); };
    g.governor->SetSceneTesselation();
    // -1.0 is below the minimum: amount 6, +1.8 per pass from the starting quality 8.
    EXPECT_EQ(g.posts, (Posts{{2, 6}, {1, 0}, {2, 6}, {1, 0}, {2, 6}, {1, 0}, {2, 6}, {1, 0}, {-1, 0}}));
    EXPECT_EQ(g.qualityAfterPost.back(), 16);  // 9.8, 11.8, 13.8, 15.8 each round up
    EXPECT_TRUE(g.governor->IsFinished());
    EXPECT_EQ(texts.front(), "Optimising tessellation against CPU usage...");
    EXPECT_EQ(texts.back(), "");
}

TEST(Governor, RaisingRefinesTheSurfaceWhenItIsTheSmallerLoad) {
    ScriptedGovernor g({5, 40, 0});
    g.settings.showSurface = 1;
    g.governor->polygonEstimate = 100;
    g.governor->surfaceVertexCount = 50;
    g.script = {-1.0};
    g.governor->SetSceneTesselation();
    EXPECT_EQ(g.posts, (Posts{{3, -6}, {1, 0}, {3, -6}, {1, 0}, {-1, 0}}));
    EXPECT_EQ(g.settings.renderQuality, 8);
    EXPECT_DOUBLE_EQ(g.settings.surfaceStep, 0.3);  // 1.0 -> 0.4 -> 0.16, held at 0.3
}

TEST(Governor, LoweringCoarsensTheSurfaceOnlyWhileBelowTheDistance) {
    ScriptedGovernor g({5, 40, 0});
    g.settings.showSurface = 1;
    g.settings.surfaceDistance = 2.0;
    g.governor->polygonEstimate = 100;
    g.governor->surfaceVertexCount = 100;
    g.script = {50.0};
    g.governor->SetSceneTesselation();
    // The starting step equals the distance, so the tessellation takes the cut.
    EXPECT_EQ(g.posts.front(), std::make_pair(2, -10));

    ScriptedGovernor h({5, 40, 0});
    h.settings.showSurface = 1;
    h.settings.surfaceDistance = 2.0;
    h.governor->polygonEstimate = 100;
    h.governor->surfaceVertexCount = 100;
    // Refine to 1.4, then coarsen by 0.7 (held at 2.0); that overshoots, so 1.4 comes back.
    h.script = {-1.0, 20.0, 50.0};
    h.governor->SetSceneTesselation();
    EXPECT_EQ(h.posts, (Posts{{3, -6}, {1, 0}, {3, 10}, {1, 0}, {-1, 0}}));
    EXPECT_DOUBLE_EQ(h.settings.surfaceStep, 1.4);
}

TEST(Governor, VolumetricDataChangesOnlyTheQuality) {
    ScriptedGovernor g({5, 40, 0});
    g.settings.showSurface = 1;
    g.governor->SetVolumetric(true);
    g.governor->surfaceVertexCount = 0;
    g.governor->polygonEstimate = 100;
    g.script = {-1.0};
    g.governor->SetSceneTesselation();
    EXPECT_EQ(g.posts.front(), std::make_pair(2, 6));
    EXPECT_DOUBLE_EQ(g.settings.surfaceStep, 1.0);
    // A surface request reaching a volumetric document leaves the step alone too.
    g.governor->OnSetSceneTesselation(3, 10);
    EXPECT_DOUBLE_EQ(g.settings.surfaceStep, 1.0);
}

TEST(Governor, ConvergesWhenTwoReadingsAgreeInsideTheLimits) {
    ScriptedGovernor g({5, 40, 10});
    g.script = {50.0, 20.0, 20.0, 20.2};
    g.governor->SetSceneTesselation();
    EXPECT_EQ(g.posts, (Posts{{2, -10}, {1, 0}, {1, 0}, {-1, 0}}));
    EXPECT_TRUE(g.governor->IsFinished());
    EXPECT_TRUE(g.governor->HasConverged());
    EXPECT_EQ(g.settings.renderQuality, 5);
}

TEST(Governor, RestoresTheLastStateInsideTheLimits) {
    ScriptedGovernor g({5, 40, 0});
    // Pass 0 raises to 9 and lands inside; pass 1 raises to 10 and overshoots.
    g.script = {3.0, 30.0, 2.0, 60.0};
    g.governor->SetSceneTesselation();
    EXPECT_EQ(g.qualityAfterPost, (std::vector<int>{9, 9, 10, 9, 9}));
    EXPECT_EQ(g.settings.renderQuality, 9);
    EXPECT_TRUE(g.governor->IsFinished());
    EXPECT_FALSE(g.governor->HasConverged()) << "out of passes";
}

TEST(Governor, AbortAfterPostingStopsTheSearch) {
    ScriptedGovernor g({5, 40, 10});
    g.script = {-1.0};
    g.governor->onAdjusted = [&](int kind) {
        if (kind == 2) g.governor->Abort();
    };
    g.governor->SetSceneTesselation();
    EXPECT_EQ(g.posts, (Posts{{2, 6}, {-1, 0}}));
    EXPECT_FALSE(g.governor->IsFinished());
}

TEST(Governor, SwitchedOffOrFinishedDoesNotMeasure) {
    ScriptedGovernor off({5, 40, 10});
    off.settings.optimiseTessellation = 0;
    off.script = {-1.0};
    off.governor->SetSceneTesselation();
    EXPECT_EQ(off.posts, (Posts{{-1, 0}}));
    EXPECT_EQ(off.readings, 0);

    ScriptedGovernor done({5, 40, 0});
    done.script = {-1.0};
    done.governor->SetSceneTesselation();
    done.posts.clear();
    done.governor->SetSceneTesselation();
    EXPECT_EQ(done.posts, (Posts{{-1, 0}}));
    done.governor->ClearFinished();
    done.governor->SetSceneTesselation();
    EXPECT_GT(done.posts.size(), 1u);
}

}  // namespace
}  // namespace zelvor
