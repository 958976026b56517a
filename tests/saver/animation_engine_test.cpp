#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/dravik_doc.h"
#include "saver/animation_engine.h"

namespace zelvor {
namespace {

/// A document of `frames` frames that records what the engine asks of it.
class FakeTarget : public CAnimationTarget {
public:
    int loadResult = 1, percent = 0, frames = 1, frame = 0;
    bool firstFrameRead = true, governor = false;
    double width = 20.0;
    std::vector<int> hints;
    std::vector<std::string> shown;
    int turned = 0, scenes = 0;

    int LoadResult() const override { return loadResult; }
    int PercentageLoaded() const override { return percent; }
    bool FirstFrameRead() const override { return firstFrameRead; }
    int FrameCount() const override { return frames; }
    int FrameNr() const override { return frame; }
    void SetFrameNr(int n) override {
        if (n >= 0 && frames >= 1) frame = n % frames;
    }
    double MaxCellWidth() const override { return width; }
    void UpdateAllViews(int hint) override { hints.push_back(hint); }
    bool GovernorRunning() const override { return governor; }
    int limit = 0;
    int FrameRateLimit() const override { return limit; }
    void FrameShown(const std::string& text) override { shown.push_back(text); }
    void ViewTurned() override { ++turned; }
    void PrepareScene() override { ++scenes; }
};

C3DViewSettings Defaults() { return C3DViewSettings{C3DViewSettings::Transient{}}; }

void SwitchEverythingOff(C3DViewSettings& s) {
    for (int i = 0; i < 3; ++i) s.animateEye[i] = s.animateAim[i] = 0;
    s.animatePhi = s.animatePsi = s.animateTheta = s.animateOpaqueness = s.animateAtomScale = 0;
    for (int& on : s.oscillateClipPlane) on = 0;
}

std::vector<std::uint8_t> Bytes(const C3DViewSettings& s) { return s.ToImage().Bytes(); }

TEST(AnimationEngine, TickWithEverythingOffOnlySwitchesThePlanesOff) {
    C3DViewSettings settings = Defaults();
    SwitchEverythingOff(settings);
    for (int k = 0; k < 6; ++k)
        for (int c = 0; c < 4; ++c) settings.clipPlane[k][c] = k + c + 1.5;
    settings.eye = Vector(1, 2, 3), settings.phi = 12, settings.opaqueness = 0.3;
    FakeTarget target;
    CAnimationEngine engine(settings, target);

    C3DViewSettings expected = settings;
    for (int k = 0; k < 6; ++k) expected.clipPlane[k][0] = expected.clipPlane[k][1] = expected.clipPlane[k][2] = 0;
    expected.animationCountdown -= 1.0;  // the tick counter is the one value every tick moves
    engine.OnTick();
    EXPECT_EQ(Bytes(settings), Bytes(expected));
    EXPECT_DOUBLE_EQ(settings.clipPlane[2][3], 2 + 3 + 1.5);
    EXPECT_EQ(target.turned, 1);
    EXPECT_TRUE(target.hints.empty());  // a single frame never advances
}

TEST(AnimationEngine, EnabledParametersFollowTheirSines) {
    C3DViewSettings s = Defaults();
    s.animateAtomScale = 1, s.animateAim[2] = 1;
    s.oscillateClipPlane[3] = 1;
    s.clipPlane[3][0] = 0.25;
    FakeTarget target;
    target.width = 10.0;
    CAnimationEngine engine(s, target);
    engine.SetPhaseClock(2.0 - CAnimationEngine::PHASE_STEP);
    engine.TurnView();
    const double t = 2.0;
    auto sine = [&](double f, double p) { return std::sin(p * M_PI / 180.0 + 40.0 * M_PI * t * f); };
    EXPECT_NEAR(s.eye.x, sine(0.03, 90) * 3.0 * 10, 1e-9);
    EXPECT_NEAR(s.eye.z, sine(0.06, 30) * 3.0 * 10, 1e-9);
    EXPECT_NEAR(s.aim.y, sine(0.18, 0) * 0.4 * 10, 1e-9);
    EXPECT_DOUBLE_EQ(s.aim.z, 0.0);  // enabled, but its default amplitude is 0
    EXPECT_NEAR(s.phi, sine(0.01, -90) * 180, 1e-9);
    EXPECT_NEAR(s.psi, sine(0.04, 0) * 400, 1e-9);
    EXPECT_NEAR(s.theta, sine(0.006, 0) * 90, 1e-9);
    EXPECT_NEAR(s.opaqueness, (sine(0.032, 90) + 1) * 1.0 / 2, 1e-9);
    EXPECT_NEAR(s.atomScale, (sine(0.02, 90) + 1) * 1.0 / 2, 1e-9);
    EXPECT_NEAR(s.clipPlane[3][3], sine(0.02, 0) * 75 * 10 * 0.005, 1e-9);
    EXPECT_DOUBLE_EQ(s.clipPlane[3][0], 0.25);  // an oscillating plane keeps its normal
}

TEST(AnimationEngine, PhaseClockWrapsToZeroAndEveryOscillationJumpsToItsPhase) {
    C3DViewSettings s = Defaults();
    FakeTarget target;
    CAnimationEngine engine(s, target);
    engine.TurnView();
    EXPECT_DOUBLE_EQ(engine.PhaseClock(), 0.001);
    engine.SetPhaseClock(999.9995);
    engine.TurnView();
    EXPECT_DOUBLE_EQ(engine.PhaseClock(), 0.0);
    EXPECT_NEAR(s.eye.x, 1.0 * 3.0 * 20, 1e-12);  // sin(90°)
    EXPECT_NEAR(s.phi, -180.0, 1e-12);            // sin(-90°)
    EXPECT_NEAR(s.psi, 0.0, 1e-12);
    engine.SetPhaseClock(-5.0);
    engine.TurnView();
    EXPECT_DOUBLE_EQ(engine.PhaseClock(), 0.0);
}

TEST(AnimationEngine, AnimationCountdownRestartsBelowMinusThousand) {
    C3DViewSettings s = Defaults();
    FakeTarget target;
    CAnimationEngine engine(s, target);
    s.animationCountdown = -1000.0;
    engine.TurnView();
    EXPECT_DOUBLE_EQ(s.animationCountdown, 0.0);
    engine.TurnView();
    EXPECT_DOUBLE_EQ(s.animationCountdown, -1.0);
}

/// Frame numbers after each of `ticks` ticks at the given speed over a 3-frame document.
std::vector<int> FramesAtSpeed(double speed, int ticks) {
    C3DViewSettings s = Defaults();
    s.frameSpeed = speed;
    FakeTarget target;
    target.frames = 3;
    CAnimationEngine engine(s, target);
    std::vector<int> frames;
    for (int i = 0; i < ticks; ++i) {
        engine.OnTick();
        frames.push_back(target.frame);
    }
    return frames;
}

TEST(AnimationEngine, FramePacingFollowsTheFrameSpeed) {
    EXPECT_EQ(FramesAtSpeed(0, 8), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(FramesAtSpeed(20, 5), (std::vector<int>{1, 2, 0, 1, 2}));  // wraps from the last frame to 0
    EXPECT_EQ(FramesAtSpeed(10, 6), (std::vector<int>{0, 1, 1, 2, 2, 0}));
    EXPECT_EQ(FramesAtSpeed(5, 8), (std::vector<int>{0, 0, 0, 1, 1, 1, 1, 2}));
}

/// One second of 20 ms ticks (or of the given tick lengths, repeated) over a 100-frame film at speed 20 with the
/// camera swinging: what was drawn and where the animation got to.
struct PacedSecond {
    int steps = 0;
    int frame = 0;
    double phase = 0.0;
    double phi = 0.0;
};
PacedSecond RunOneSecond(int limit, std::vector<double> tickLengths = {0.020}) {
    C3DViewSettings s = Defaults();
    SwitchEverythingOff(s);
    s.animatePhi = 1;
    s.frameSpeed = 20;
    FakeTarget target;
    target.frames = 100;
    target.limit = limit;
    double now = 100.0;
    CAnimationEngine engine(s, target, [&now] { return now; });
    for (std::size_t i = 0; now < 101.0 - 1e-9; ++i) {
        now += tickLengths[i % tickLengths.size()];
        engine.OnTick();
    }
    return {target.turned, target.frame, engine.PhaseClock(), s.phi};
}

TEST(AnimationEngine, UnderAFrameRateLimitFewerPicturesShowTheSameAnimation) {
    const PacedSecond free = RunOneSecond(0);
    EXPECT_EQ(free.steps, 50);
    EXPECT_EQ(free.frame, 50);
    EXPECT_NEAR(free.phase, 50 * CAnimationEngine::PHASE_STEP, 1e-9);

    // Five pictures a second: the phase and the film are where they would be at fifty.
    const PacedSecond paced = RunOneSecond(5);
    EXPECT_EQ(paced.steps, 5);
    EXPECT_EQ(paced.frame, free.frame - 9) << "the last step was due at 0.8 s";
    EXPECT_NEAR(paced.phase, 41 * CAnimationEngine::PHASE_STEP, 1e-9);

    // Ticks that come early and late keep the rate on average: 30 a second is not rounded to 25.
    const PacedSecond jittered = RunOneSecond(30, {0.019, 0.021, 0.020, 0.022, 0.018});
    EXPECT_GE(jittered.steps, 29);
    EXPECT_LE(jittered.steps, 31);
    EXPECT_NEAR(jittered.phase, free.phase, 2 * CAnimationEngine::PHASE_STEP);

    // Time lost to a stall is not caught up in one leap.
    C3DViewSettings s = Defaults();
    FakeTarget target;
    double now = 0.0;
    CAnimationEngine engine(s, target, [&now] { return now; });
    engine.OnTick();
    now += 30.0;
    engine.OnTick();
    EXPECT_NEAR(engine.PhaseClock(), 51 * CAnimationEngine::PHASE_STEP, 1e-9);
}

TEST(AnimationEngine, NothingIsRedrawnWhileNothingMoves) {
    C3DViewSettings s = Defaults();
    SwitchEverythingOff(s);
    FakeTarget target;
    CAnimationEngine engine(s, target);
    s.clipPlane[1][0] = 1.0;
    for (int i = 0; i < 10; ++i) engine.OnTick();
    EXPECT_EQ(target.turned, 1) << "only the first tick moved something: it switched a clip plane off";
    s.animatePsi = 1;
    engine.OnTick();
    EXPECT_EQ(target.turned, 2);
}

TEST(AnimationEngine, AdvancingShowsTheFrameAndTellsTheViews) {
    C3DViewSettings s = Defaults();
    s.frameSpeed = 20;
    FakeTarget target;
    target.frames = 4;
    CAnimationEngine engine(s, target);
    engine.OnTick();
    EXPECT_EQ(target.shown, (std::vector<std::string>{"1"}));
    EXPECT_EQ(target.hints, (std::vector<int>{HINT_FRAME_CHANGED}));
    EXPECT_FALSE(engine.IsUpdatingFrame());
    engine.AdvanceFrameNr(-2);  // backwards across frame 0
    EXPECT_EQ(target.frame, 3);
}

TEST(AnimationEngine, FramesStandStillWhileNotPlayingLoadingOrGoverning) {
    C3DViewSettings s = Defaults();
    s.frameSpeed = 20;
    FakeTarget target;
    target.frames = 3;
    CAnimationEngine engine(s, target);

    EXPECT_FALSE(engine.TogglePlay(-1));
    engine.OnTick();
    EXPECT_DOUBLE_EQ(engine.PhaseClock(), 0.0);  // a stopped tick does nothing at all
    EXPECT_TRUE(engine.TogglePlay(5));

    target.governor = true;
    engine.OnTick();
    EXPECT_EQ(target.frame, 0);
    EXPECT_DOUBLE_EQ(engine.PhaseClock(), 0.001);  // but the view still turns
    target.governor = false;

    target.loadResult = -1;  // nothing loaded yet
    engine.OnTick();
    EXPECT_EQ(target.frame, 0);

    target.loadResult = 2;  // loaded, but not as a complete file
    engine.OnTick();
    EXPECT_EQ(target.frame, 0);
    EXPECT_TRUE(target.hints.empty());
}

TEST(AnimationEngine, WhileLoadingTheFirstAdvanceJumpsToFrameOne) {
    C3DViewSettings s = Defaults();
    s.frameSpeed = 20;
    FakeTarget target;
    target.frames = 2;
    target.percent = 40;
    target.loadResult = 3;
    CAnimationEngine engine(s, target);
    engine.OnTick();
    EXPECT_EQ(target.frame, 1);
    EXPECT_EQ(target.hints, (std::vector<int>{HINT_FRAME_CHANGED}));
    EXPECT_TRUE(target.shown.empty());
}

TEST(AnimationEngine, CustomKeepsEveryValue) {
    C3DViewSettings s = Defaults();
    s.fieldOfView = 33, s.showBonds = 1, s.eyeAmplitude[1] = 0.1, s.background[0] = 0.5f;
    FakeTarget target;
    CAnimationEngine engine(s, target);
    C3DViewSettings before = s;
    before.predefinedAnimation = ANIMATION_CUSTOM;
    engine.SelectPredefined(ANIMATION_CUSTOM);
    EXPECT_EQ(Bytes(s), Bytes(before));
    EXPECT_EQ(target.scenes, 0);

    s.predefinedAnimation = ANIMATION_ZOOMER;
    engine.SetCustomSettings();
    EXPECT_EQ(s.predefinedAnimation, ANIMATION_CUSTOM);

    engine.SelectPredefined(42);  // a damaged record's number changes nothing either
    EXPECT_EQ(Bytes(s), Bytes(before));
}

TEST(AnimationEngine, PredefinedNamesInComboOrder) {
    const char* names[] = {"Twister", "Unveiler", "Flasher", "Bouncer", "Zoomer", "Skeleton", "Inner Self", "Custom"};
    for (int i = 0; i < ANIMATION_COUNT; ++i) EXPECT_STREQ(PredefinedAnimationName(i), names[i]);
    EXPECT_STREQ(PredefinedAnimationName(8), "");
}

/// The defaults with one animation's own values written over them by hand.
C3DViewSettings Expected(int animation, double width) {
    C3DViewSettings s = Defaults();
    s.predefinedAnimation = animation;
    switch (animation) {
    case ANIMATION_TWISTER:
        s.showSurface = 1, s.showBonds = 1, s.showCellBox = 0;
        s.animateEye[0] = s.animateEye[1] = s.animateEye[2] = 0;
        s.animateAim[0] = s.animateAim[1] = s.animateAim[2] = 0;
        s.thetaPhase = 90, s.phiPhase = 90, s.opaqueness = 0.6, s.animateOpaqueness = 0;
        break;
    case ANIMATION_UNVEILER:
        s.showSurface = 1, s.showBonds = 1, s.showCellBox = 0;
        s.clipSurface[0] = 1, s.oscillateClipPlane[0] = 1;
        s.clipPlane[0][0] = 0, s.clipPlane[0][1] = -1, s.clipPlane[0][2] = -1, s.clipPlane[0][3] = 0;
        s.clipOscillation[0].amplitude = 100, s.clipOscillation[0].frequency = 0.04;
        s.clipOscillation[0].phase = 90;
        s.clipPlaneFixed[0] = 1, s.opaqueness = 0.7, s.animateOpaqueness = 0, s.useClipPlanes = 1;
        break;
    case ANIMATION_FLASHER:
        s.showSurface = 1, s.showBonds = 1, s.showCellBox = 0;
        break;
    case ANIMATION_BOUNCER:
        s.animateEye[0] = s.animateEye[1] = s.animateEye[2] = 0;
        s.phiFrequency = 0.01, s.psiFrequency = 0.017, s.thetaFrequency = 0.006;
        s.showCellBox = 0, s.showSurface = 0, s.animateOpaqueness = 0, s.showBonds = 0, s.atomScale = 1.0;
        break;
    case ANIMATION_ZOOMER:
        s.animateEye[2] = 1, s.fieldOfView = 60;
        s.phiFrequency = 0.01, s.psiFrequency = 0.017, s.thetaFrequency = 0.006;
        s.eyeFrequency[0] = s.eyeFrequency[1] = s.eyeFrequency[2] = 0.04;
        s.eyeAmplitude[1] = 3.0;
        s.eyePhase[0] = 0, s.eyePhase[1] = -10, s.eyePhase[2] = 10;
        s.showSurface = 1, s.showCellBox = 0;
        break;
    case ANIMATION_SKELETON:
        s.showSurface = 1, s.animateOpaqueness = 0, s.opaqueness = 0.4, s.showBonds = 1, s.atomScale = 0.0;
        break;
    case ANIMATION_INNER_SELF:
        s.lightPosition[0] = 0, s.lightPosition[1] = 0, s.lightPosition[2] = width / 2, s.lightPosition[3] = 1;
        s.showCellBox = 0, s.showSurface = 1, s.animateOpaqueness = 0, s.opaqueness = 0.6;
        break;
    }
    return s;
}

TEST(AnimationEngine, EveryPredefinedAnimationAppliesItsTableOverTheDefaults) {
    for (int animation = ANIMATION_TWISTER; animation < ANIMATION_CUSTOM; ++animation) {
        SCOPED_TRACE(PredefinedAnimationName(animation));
        // Start far from the defaults: every field the table does not name must return to its default.
        C3DViewSettings s = Defaults();
        SwitchEverythingOff(s);
        s.fieldOfView = 99, s.background[1] = 0.9f, s.lightPosition[0] = 7, s.frameSpeed = 1;
        s.eye = Vector(5, 5, 5), s.clipPlane[4][1] = 3, s.isoLevel[2] = 4, s.animationCountdown = -3;
        FakeTarget target;
        target.width = 12.0;
        CAnimationEngine engine(s, target);
        engine.SelectPredefined(animation);
        EXPECT_EQ(Bytes(s), Bytes(Expected(animation, 12.0)));
        EXPECT_EQ(target.scenes, 1);
    }
}

TEST(AnimationEngine, DocumentTargetOfAnEmptyDocumentNeverPlays) {
    CDravikDoc doc;
    CDocAnimationTarget target(doc);
    C3DViewSettings s = Defaults();
    CAnimationEngine engine(s, target);
    engine.OnTick();  // nothing loaded: the tick must not touch anything
    EXPECT_DOUBLE_EQ(engine.PhaseClock(), 0.0);
    engine.AdvanceFrameNr(1);
    EXPECT_EQ(doc.GetFrameNr(), 0);
}

}  // namespace
}  // namespace zelvor
