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

TEST(Governor, StartingStateAndLargeExcessClampsQuality) {
    ScriptedGovernor g({5, 40, 0});
    g.settings.surfaceDistance = 1.5;
    g.settings.surfaceStep = 0.4;
    g.script = {1e300, 20.0};
    g.governor->SetSceneTesselation();
    EXPECT_EQ(g.posts.front(), std::make_pair(2, -1000));
    EXPECT_EQ(g.settings.renderQuality, 2);
    EXPECT_EQ(g.settings.surfaceStep, 1.5);
    EXPECT_DOUBLE_EQ(g.settings.atomScale, 0.3);
    EXPECT_EQ(g.settings.smoothLines, 0);  // the unclamped quality went below zero
    EXPECT_TRUE(g.governor->HasConverged());
}

TEST(Governor, WithoutMeasurementRaisesUntilPassesRunOut) {
    ScriptedGovernor g({5, 40, 2});
    g.script = {-1.0};
    g.governor->SetFullScreen(true);
    std::vector<std::string> texts;
    g.governor->onAdjusted = [&](int) { texts.push_back(g.governor->StatusText()); };
    g.governor->SetSceneTesselation();
    // -1.0 is below the minimum: amount 6, +1.8 per pass from the starting quality 8, rounded.
    EXPECT_EQ(g.posts, (Posts{{2, 6}, {2, 6}, {2, 6}, {-1, 0}}));
    EXPECT_EQ(g.qualityAfterPost, (std::vector<int>{10, 12, 14, 14}));
    EXPECT_TRUE(g.governor->IsFinished());
    EXPECT_FALSE(g.governor->HasConverged());
    EXPECT_EQ(g.governor->FrameRateLimit(), 0);  // no reading, no rate to steer by
    EXPECT_EQ(texts.front(), "Optimising tessellation against CPU usage...");
    EXPECT_EQ(texts.back(), "");
}

TEST(Governor, RaisingRefinesTheSurfaceWhenItIsTheSmallerLoad) {
    ScriptedGovernor g({5, 40, 1});
    g.settings.showSurface = 1;
    g.governor->polygonEstimate = 100;
    g.governor->surfaceVertexCount = 50;
    g.script = {-1.0};
    g.governor->SetSceneTesselation();
    EXPECT_EQ(g.posts, (Posts{{3, -6}, {3, -6}, {-1, 0}}));
    EXPECT_EQ(g.settings.renderQuality, 8);
    EXPECT_DOUBLE_EQ(g.settings.surfaceStep, 0.3);  // 1.0 -> 0.4 -> 0.16, held at 0.3
}

TEST(Governor, DetailPassesCoarsenTheSurfaceOnlyUpToTheDistance) {
    ScriptedGovernor g({5, 40, 1});
    g.settings.showSurface = 1;
    g.settings.surfaceDistance = 2.0;
    g.governor->polygonEstimate = 100;
    g.governor->surfaceVertexCount = 100;
    // Refine to 1.4, then coarsen by 0.7 (held at the distance, 2.0), which lands inside the limits.
    g.script = {-1.0, 50.0, 30.0};
    g.governor->SetSceneTesselation();
    EXPECT_EQ(g.posts, (Posts{{3, -6}, {3, 10}, {-1, 0}}));
    EXPECT_DOUBLE_EQ(g.settings.surfaceStep, 2.0);
    EXPECT_TRUE(g.governor->HasConverged());
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
    // Surface requests reaching a volumetric document leave the step alone too.
    g.governor->OnSetSceneTesselation(GOVERNOR_SURFACE_STEP, 10);
    g.governor->OnSetSceneTesselation(GOVERNOR_COARSE_SURFACE, 2000);
    EXPECT_DOUBLE_EQ(g.settings.surfaceStep, 1.0);
}

TEST(Governor, MoreDetailThatOvershootsIsTakenBack) {
    ScriptedGovernor g({5, 40, 5});
    // Raised to 9 the share is still low, raised to 10 it is far too high: 9 comes back and the search ends.
    g.script = {3.0, 4.0, 60.0};
    g.governor->SetSceneTesselation();
    EXPECT_EQ(g.qualityAfterPost, (std::vector<int>{9, 10, 9, 9}));
    EXPECT_EQ(g.settings.renderQuality, 9);
    EXPECT_TRUE(g.governor->IsFinished());
    EXPECT_FALSE(g.governor->HasConverged());
}

TEST(GovernorRules, AChangePaysOffBySavingShareOrTimePerPicture) {
    // A tenth of the share, and at least three points.
    EXPECT_TRUE(ChangePaidOff({80, 20}, {72, 20}, false));
    EXPECT_FALSE(ChangePaidOff({80, 20}, {73, 20}, false));
    EXPECT_FALSE(ChangePaidOff({20, 20}, {17.5, 20}, false));
    EXPECT_TRUE(ChangePaidOff({20, 20}, {17, 20}, false));
    // Drawing as fast as it can, the program keeps its share and draws more pictures: that counts per picture.
    EXPECT_TRUE(ChangePaidOff({95, 10}, {95, 12}, true));
    EXPECT_FALSE(ChangePaidOff({95, 10}, {95, 12}, false));
    EXPECT_FALSE(ChangePaidOff({95, 10}, {95, 10.5}, true));
    // Under two pictures a second they are too few to weigh: less detail stays.
    EXPECT_TRUE(ChangePaidOff({100, 0.6}, {100, 0.8}, true));
    EXPECT_FALSE(ChangePaidOff({100, 0.6}, {100, 0.8}, false));
    // The frame rate for a target share: proportional, floored at 4, no limit at the tick rate.
    EXPECT_EQ(FrameRateFor(50, 80, 31.25), 19);
    EXPECT_EQ(FrameRateFor(10, 99, 31.25), 4);
    EXPECT_EQ(FrameRateFor(40, 20, 31.25), 0);
    EXPECT_EQ(FrameRateFor(0, 80, 31.25), 0);
    EXPECT_EQ(FrameRateFor(std::numeric_limits<double>::quiet_NaN(), 80, 31.25), 0);
}

/// A scene whose processor time per picture follows the detail: spheres cost with the square of the quality,
/// the surface with the inverse square of its step, the full-screen frame a fixed amount. Pictures come at the
/// animation's tick rate or the governor's limit, but no faster than one processor can draw them; readings of
/// 1.25 s each, on a clock of their own.
struct SimulatedScene {
    double perQualitySquared = 0.0;  // seconds per picture per quality^2 (spheres shown)
    double perPoint = 0.0;           // seconds per picture for points and lines
    double surfaceAtUnitStep = 0.0;  // seconds per picture at step 1
    double fixed = 0.0;              // seconds per picture whatever the detail
    double background = 0.0;         // share of other work, percent

    double SecondsPerPicture(const C3DViewSettings& s) const {
        const double q = s.renderQuality;
        double seconds = fixed + (s.atomsAsSpheres ? perQualitySquared * q * q : perPoint);
        if (s.showSurface) seconds += surfaceAtUnitStep / (s.surfaceStep * s.surfaceStep);
        return seconds;
    }
    double FramesPerSecond(const C3DViewSettings& s, int limit) const {
        const double rate = limit > 0 ? std::min(limit, MAX_FRAME_RATE) : MAX_FRAME_RATE;
        return std::min(rate, 1.0 / SecondsPerPicture(s));
    }
    double Share(const C3DViewSettings& s, int limit) const {
        return background + 100.0 * FramesPerSecond(s, limit) * SecondsPerPicture(s);
    }
};

/// Runs the governor over `scene` with the default limits; returns the share at its end.
double Govern(ScriptedGovernor& g, const SimulatedScene& scene) {
    double now = 0.0;
    g.governor->SetClock([&now] { return now; });
    g.script.clear();
    g.reading = [&] {
        const int limit = g.governor->FrameRateLimit();
        now += 1.25;
        g.governor->framesDrawn += std::llround(scene.FramesPerSecond(g.settings, limit) * 1.25);
        return scene.Share(g.settings, limit);
    };
    g.governor->SetSceneTesselation();
    EXPECT_LT(now, CTessellationGovernor::SEARCH_SECONDS + 2.0);
    return scene.Share(g.settings, g.governor->FrameRateLimit());
}

TEST(Governor, FullScreenCostIsCutByFramesNotByDetail) {
    // A small molecule: the full-screen picture costs 16 ms, spheres and surface next to nothing.
    ScriptedGovernor g({5, 40, 10});
    g.settings.showSurface = 1;
    const SimulatedScene scene{1e-7, 1e-6, 1e-5, 0.016, 0.0};
    const double share = Govern(g, scene);
    EXPECT_GT(share, 5.0);
    EXPECT_LT(share, 40.0);
    EXPECT_TRUE(g.governor->HasConverged());
    // The detail passes and the coarser surface saved nothing and were taken back.
    EXPECT_EQ(g.settings.renderQuality, 8);
    EXPECT_EQ(g.settings.atomsAsSpheres, 1);
    EXPECT_DOUBLE_EQ(g.settings.surfaceStep, g.settings.surfaceDistance);
    EXPECT_GE(g.governor->FrameRateLimit(), MIN_FRAME_RATE);
    EXPECT_LT(g.governor->FrameRateLimit(), MAX_FRAME_RATE);
}

TEST(Governor, AProteinDrawnAsFastAsPossibleIsBroughtWithinTheLimits) {
    // Spheres and a surface that keep one processor busy at 10 pictures per second.
    ScriptedGovernor g({5, 40, 10});
    g.settings.showSurface = 1;
    const SimulatedScene scene{1e-3, 2e-3, 0.03, 0.005, 2.0};
    EXPECT_NEAR(scene.Share(g.settings, 0), 102.0, 1.0);
    const double share = Govern(g, scene);
    EXPECT_GT(share, 5.0);
    EXPECT_LT(share, 40.0);
    EXPECT_TRUE(g.governor->HasConverged());
    // Both cheaper detail and a surface coarser than its distance, up to 2.0, were kept before frames went.
    EXPECT_LT(g.settings.renderQuality, 8);
    EXPECT_GT(g.settings.surfaceStep, g.settings.surfaceDistance);
    EXPECT_LE(g.settings.surfaceStep, MAX_SURFACE_STEP);
    EXPECT_GE(g.governor->FrameRateLimit(), MIN_FRAME_RATE);
}

TEST(Governor, ASystemWhosePicturesTakeLongerThanAReadingIsBroughtWithinTheLimits) {
    // 3.2 s per picture at the starting quality: a reading sees no picture finished.
    ScriptedGovernor g({5, 40, 10});
    g.settings.showSurface = 1;
    const SimulatedScene scene{0.05, 2e-3, 0.03, 0.005, 2.0};
    const double share = Govern(g, scene);
    EXPECT_GT(share, 5.0);
    EXPECT_LT(share, 40.0);
    EXPECT_TRUE(g.governor->HasConverged());
    EXPECT_LT(g.settings.renderQuality, 8);
}

TEST(Governor, FramesAreGivenBackBelowTheMinimumAndNeverGoBelowTheFloor) {
    // 60 ms of fixed cost per picture: even 4 pictures a second take 24 %; 5 % background.
    ScriptedGovernor heavy({5, 20, 10});
    const double share = Govern(heavy, SimulatedScene{0, 0, 0, 0.060, 5.0});
    EXPECT_EQ(heavy.governor->FrameRateLimit(), MIN_FRAME_RATE);
    EXPECT_NEAR(share, 29.0, 0.1);
    EXPECT_FALSE(heavy.governor->HasConverged());

    // A limit that overshoots below the minimum is lifted before any detail is added.
    ScriptedGovernor g({5, 40, 10});
    double now = 0.0;
    g.governor->SetClock([&now] { return now; });
    const std::vector<std::pair<double, double>> readings{{90, 50}, {90, 50}, {3, 14}, {20, 50}};
    g.reading = [&] {
        const auto [share, rate] = readings[std::min<std::size_t>(g.readings - 1, readings.size() - 1)];
        now += 1.0;
        g.governor->framesDrawn += std::llround(rate);
        return share;
    };
    g.governor->SetSceneTesselation();
    // Detail saved nothing and came back (2, 1: the refresh); 14 frames/s aim at 26 % (60 % of the span between
    // the limits); then no limit again.
    EXPECT_EQ(g.posts, (Posts{{2, -50}, {1, 0}, {5, 14}, {5, 0}, {-1, 0}}));
    EXPECT_EQ(g.governor->FrameRateLimit(), 0);
    EXPECT_EQ(g.settings.renderQuality, 8);
    EXPECT_TRUE(g.governor->HasConverged());
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
