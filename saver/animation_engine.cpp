#include "saver/animation_engine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "model/dravik_doc.h"

namespace zelvor {

namespace {

constexpr double kPi = std::numbers::pi;

/// The oscillation in -1..1 at phase clock t: 40·π·t·f advances by 2·π·f per second at 50 ticks per second.
double Swing(double t, double frequency, double phaseDegrees) {
    return std::sin(phaseDegrees * kPi / 180.0 + 40.0 * kPi * t * frequency);
}

constexpr const char* kAnimationNames[ANIMATION_COUNT] = {"Twister", "Unveiler",  "Flasher",    "Bouncer",
                                                          "Zoomer",  "Skeleton",  "Inner Self", "Custom"};

/// Coordinate i (0: x, 1: y, 2: z) of a vector.
double& Axis(Vector& v, int i) { return i == 0 ? v.x : i == 1 ? v.y : v.z; }

/// After a stall (a long load, a suspended machine) the animation resumes instead of leaping ahead.
constexpr double MAX_STEP_TICKS = 50.0;
/// Timer ticks come a little early or late; a step this close to its time is taken.
constexpr double PACE_SLACK_SECONDS = 0.002;

/// Every value an oscillation step writes, to tell whether the picture changed.
std::array<double, 35> OscillatedValues(const C3DViewSettings& s) {
    std::array<double, 35> values{s.eye.x, s.eye.y, s.eye.z, s.aim.x,      s.aim.y,    s.aim.z,
                                  s.phi,   s.psi,   s.theta, s.opaqueness, s.atomScale};
    std::size_t i = 11;
    for (const double* plane : s.clipPlane)
        for (int c = 0; c < 4; ++c) values[i++] = plane[c];
    return values;
}

}  // namespace

const char* PredefinedAnimationName(int animation) {
    return animation >= 0 && animation < ANIMATION_COUNT ? kAnimationNames[animation] : "";
}

// --- CDocAnimationTarget ------------------------------------------------------------------------

int CDocAnimationTarget::LoadResult() const { return doc_.GetLoadResult(); }
int CDocAnimationTarget::PercentageLoaded() const { return doc_.PercentageLoaded(); }
bool CDocAnimationTarget::FirstFrameRead() const { return doc_.IsFirstFrameRead(); }
int CDocAnimationTarget::FrameCount() const { return doc_.GetFrameCount(); }
int CDocAnimationTarget::FrameNr() const { return doc_.GetFrameNr(); }
void CDocAnimationTarget::SetFrameNr(int n) { doc_.SetFrameNr(n); }
double CDocAnimationTarget::MaxCellWidth() const { return doc_.GetMaxCellWidth(doc_.GetFrameNr()); }
void CDocAnimationTarget::UpdateAllViews(int hint) { doc_.UpdateAllViews(hint); }

// --- CAnimationEngine ---------------------------------------------------------------------------

double CAnimationEngine::Now() const { return clock_ ? clock_() : static_cast<double>(ticks_) * TICK_SECONDS; }

void CAnimationEngine::OnTick() {
    ++ticks_;
    if (!playing_ || target_.LoadResult() <= 0) {
        stepping_ = false;
        return;
    }
    const double now = Now();
    const int limit = target_.FrameRateLimit();
    if (stepping_ && limit > 0 && now + PACE_SLACK_SECONDS < due_) return;
    const double ticks = stepping_ ? std::clamp((now - lastStep_) / TICK_SECONDS, 0.0, MAX_STEP_TICKS) : 1.0;
    // The next step is due one interval after this one was due, so that the rate holds on average although
    // the ticks fall between.
    due_ = limit > 0 ? std::max((stepping_ ? due_ : now) + 1.0 / limit, now) : now;
    lastStep_ = now;
    stepping_ = true;
    PlayFrames(ticks);
}

void CAnimationEngine::PlayFrames(double ticks) {
    TurnView(ticks);
    if (target_.LoadResult() == 0 || target_.GovernorRunning()) return;
    // Frame pacing: at speed v a frame advances every tick at 20, every second tick at 10, never at 0.
    const double v = std::min(settings_.frameSpeed, 20.0);
    frameSpeedAccumulator_ += v * ticks;
    // The slack absorbs rounding in the measured ticks (three ticks of 20 ms are 0.06 s, give or take).
    constexpr double SLACK = 1e-6;
    if (!(frameSpeedAccumulator_ + SLACK >= 20.0)) {
        if (!(frameSpeedAccumulator_ >= 0.0)) frameSpeedAccumulator_ = 0.0;  // a NaN or negative speed
        return;
    }
    const double frames = std::floor((frameSpeedAccumulator_ + SLACK) / 20.0);
    frameSpeedAccumulator_ -= frames * 20.0;
    const int percent = target_.PercentageLoaded();
    if (percent >= 1 && percent <= 99 && target_.FrameNr() == 0) {
        // Still loading: leave the first frame as soon as the second one may exist.
        target_.SetFrameNr(1);
        target_.UpdateAllViews(HINT_FRAME_CHANGED);
        return;
    }
    // Frames skipped between slow steps are skipped in the film too, so that it plays at its speed in time.
    AdvanceFrameNr(static_cast<int>(std::min(frames, 1e6)));
}

void CAnimationEngine::AdvanceFrameNr(int step) {
    updatingFrame_ = true;
    const int count = target_.FrameCount();
    if (target_.LoadResult() == 1 && count > 1) {
        // Wrap here as well, so that a backward step from frame 0 reaches the last frame.
        const int next = ((target_.FrameNr() + step % count) % count + count) % count;
        target_.SetFrameNr(next);
        target_.FrameShown(std::to_string(target_.FrameNr()));
        target_.UpdateAllViews(HINT_FRAME_CHANGED);
    }
    updatingFrame_ = false;
}

void CAnimationEngine::TurnView(double ticks) {
    phaseClock_ += PHASE_STEP * ticks;
    if (!(phaseClock_ >= 0.0 && phaseClock_ < PHASE_WRAP)) phaseClock_ = 0.0;
    const double t = phaseClock_;
    C3DViewSettings& s = settings_;
    const std::array<double, 35> before = OscillatedValues(s);
    s.animationCountdown -= ticks;
    if (!(s.animationCountdown >= -1000.0)) s.animationCountdown = 0.0;
    const double w = target_.MaxCellWidth();

    for (int i = 0; i < 3; ++i)
        if (s.animateEye[i]) Axis(s.eye, i) = Swing(t, s.eyeFrequency[i], s.eyePhase[i]) * s.eyeAmplitude[i] * w;
    for (int i = 0; i < 3; ++i)
        if (s.animateAim[i]) Axis(s.aim, i) = Swing(t, s.aimFrequency[i], s.aimPhase[i]) * s.aimAmplitude[i] * w;
    if (s.animatePhi) s.phi = Swing(t, s.phiFrequency, s.phiPhase) * s.phiAmplitude;
    if (s.animatePsi) s.psi = Swing(t, s.psiFrequency, s.psiPhase) * s.psiAmplitude;
    if (s.animateTheta) s.theta = Swing(t, s.thetaFrequency, s.thetaPhase) * s.thetaAmplitude;
    if (s.animateOpaqueness)
        s.opaqueness = (Swing(t, s.opaquenessFrequency, s.opaquenessPhase) + 1.0) * s.opaquenessAmplitude / 2.0;
    if (s.animateAtomScale)
        s.atomScale = (Swing(t, s.atomScaleFrequency, s.atomScalePhase) + 1.0) * s.atomScaleAmplitude / 2.0;

    for (int k = 0; k < 6; ++k) {
        double* plane = s.clipPlane[k];
        if (s.oscillateClipPlane[k] == 1) {
            const ClipOscillation& o = s.clipOscillation[k];
            // The amplitude is in percent of the cell width, of which half is used.
            plane[3] = Swing(t, o.frequency, o.phase) * o.amplitude * w * 0.005;
        } else {
            // A plane that does not oscillate is switched off while the animation runs.
            plane[0] = plane[1] = plane[2] = 0.0;
        }
    }

    target_.ViewOscillated();
    // Nothing moved: the picture on the screen is still right.
    if (OscillatedValues(s) == before) return;
    if (target_.LoadResult() == 1 || target_.FirstFrameRead()) target_.ViewTurned();
}

bool CAnimationEngine::TogglePlay(int mode) {
    playing_ = mode < 0 ? !playing_ : mode != 0;
    return playing_;
}

void CAnimationEngine::SetCustomSettings() { settings_.predefinedAnimation = ANIMATION_CUSTOM; }

void CAnimationEngine::SelectPredefined(int animation) {
    // Unknown numbers (a damaged settings record) change nothing, like "Custom".
    if (animation < 0 || animation >= ANIMATION_COUNT) animation = ANIMATION_CUSTOM;
    C3DViewSettings& s = settings_;
    s.predefinedAnimation = animation;
    if (animation == ANIMATION_CUSTOM) return;

    s.SetTypicalValues();
    target_.PrepareScene();
    switch (animation) {
    case ANIMATION_TWISTER:
        s.showSurface = 1, s.showBonds = 1, s.showCellBox = 0;
        for (int i = 0; i < 3; ++i) s.animateEye[i] = 0, s.animateAim[i] = 0;
        s.thetaPhase = 90, s.phiPhase = 90;
        s.opaqueness = 0.6, s.animateOpaqueness = 0;
        break;
    case ANIMATION_UNVEILER:
        s.showSurface = 1, s.showBonds = 1, s.showCellBox = 0;
        s.clipSurface[0] = 1;
        s.oscillateClipPlane[0] = 1;
        s.clipPlane[0][1] = -1.0, s.clipPlane[0][2] = -1.0, s.clipPlane[0][3] = 0.0;
        s.clipOscillation[0] = {100.0, 0.04, 90.0};
        s.clipPlaneFixed[0] = 1;
        s.opaqueness = 0.7, s.animateOpaqueness = 0;
        s.useClipPlanes = 1;
        break;
    case ANIMATION_FLASHER:
        s.showSurface = 1, s.showBonds = 1, s.showCellBox = 0;
        break;
    case ANIMATION_BOUNCER:
        for (int& on : s.animateEye) on = 0;
        s.phiFrequency = 0.01, s.psiFrequency = 0.017, s.thetaFrequency = 0.006;
        s.showCellBox = 0, s.showSurface = 0, s.animateOpaqueness = 0, s.showBonds = 0;
        s.atomScale = 1.0;
        break;
    case ANIMATION_ZOOMER:
        s.animateEye[2] = 1;
        s.fieldOfView = 60;
        s.phiFrequency = 0.01, s.psiFrequency = 0.017, s.thetaFrequency = 0.006;
        for (double& f : s.eyeFrequency) f = 0.04;
        s.eyeAmplitude[1] = 3.0;
        s.eyePhase[0] = 0, s.eyePhase[1] = -10, s.eyePhase[2] = 10;
        s.showSurface = 1, s.showCellBox = 0;
        break;
    case ANIMATION_SKELETON:
        s.showSurface = 1, s.animateOpaqueness = 0, s.opaqueness = 0.4, s.showBonds = 1;
        s.atomScale = 0.0;
        break;
    case ANIMATION_INNER_SELF: {
        // A positional light inside the system.
        const double w = target_.MaxCellWidth();
        s.lightPosition[0] = 0, s.lightPosition[1] = 0, s.lightPosition[2] = w / 2, s.lightPosition[3] = 1;
        s.showCellBox = 0, s.showSurface = 1, s.animateOpaqueness = 0, s.opaqueness = 0.6;
        break;
    }
    default:
        break;
    }
}

}  // namespace zelvor
