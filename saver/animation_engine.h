#pragma once
/// CAnimationEngine: the oscillations of the view settings and the frame playback of the 20 ms tick.
#include <functional>
#include <string>

#include "render/view_settings.h"

namespace zelvor {

class CDravikDoc;

/// What the engine needs of the animated document and view; the owner of the engine implements it.
class CAnimationTarget {
public:
    virtual ~CAnimationTarget() = default;
    virtual int LoadResult() const = 0;
    virtual int PercentageLoaded() const = 0;
    virtual bool FirstFrameRead() const = 0;
    virtual int FrameCount() const = 0;
    virtual int FrameNr() const = 0;
    /// Current frame becomes n modulo the frame count.
    virtual void SetFrameNr(int n) = 0;
    /// The largest cell width of the current frame.
    virtual double MaxCellWidth() const = 0;
    /// Tells every view of the document (hint 123: a new frame is shown).
    virtual void UpdateAllViews(int hint) = 0;
    /// True while the view's tessellation governor works: frames must not advance meanwhile.
    virtual bool GovernorRunning() const { return false; }
    /// Pictures per second the animation may draw (the governor's limit); 0: one at every tick.
    virtual int FrameRateLimit() const { return 0; }
    /// The frame the engine has just shown, as the frame edit should display it ("%d").
    virtual void FrameShown(const std::string& /*text*/) {}
    /// Every oscillation step, whatever was loaded: the camera values may have changed.
    virtual void ViewOscillated() {}
    /// The oscillated camera and picture values changed: recompute the viewport and repaint.
    virtual void ViewTurned() {}
    /// The settings were reset to their defaults: rebuild the scene.
    virtual void PrepareScene() {}
};

/// CAnimationTarget over a document, for owners without a view of their own.
class CDocAnimationTarget : public CAnimationTarget {
public:
    explicit CDocAnimationTarget(CDravikDoc& doc) : doc_(doc) {}
    int LoadResult() const override;
    int PercentageLoaded() const override;
    bool FirstFrameRead() const override;
    int FrameCount() const override;
    int FrameNr() const override;
    void SetFrameNr(int n) override;
    double MaxCellWidth() const override;
    void UpdateAllViews(int hint) override;

private:
    CDravikDoc& doc_;
};

/// The predefined animations, in the order of the combo box (its item data).
enum PredefinedAnimation : int {
    ANIMATION_TWISTER = 0,
    ANIMATION_UNVEILER,
    ANIMATION_FLASHER,
    ANIMATION_BOUNCER,
    ANIMATION_ZOOMER,
    ANIMATION_SKELETON,
    ANIMATION_INNER_SELF,
    ANIMATION_CUSTOM,
    ANIMATION_COUNT
};

/// Names shown by the predefined combo box, indexed by PredefinedAnimation.
const char* PredefinedAnimationName(int animation);

/// The animation dialog's logic without any window: the owner calls OnTick every 20 ms.
///
/// The animation keeps its speed in time: each step advances the phase clock and the frames by the ticks'
/// worth of time that passed since the previous step. Under a frame-rate limit most ticks draw nothing.
class CAnimationEngine {
public:
    /// Phase clock increment per tick and the value at which it restarts at 0.
    static constexpr double PHASE_STEP = 0.001;
    static constexpr double PHASE_WRAP = 1000.0;
    /// The time one tick stands for.
    static constexpr double TICK_SECONDS = 0.020;
    /// Monotonic seconds. Without a clock every tick counts as TICK_SECONDS.
    using Clock = std::function<double()>;

    CAnimationEngine(C3DViewSettings& settings, CAnimationTarget& target, Clock clock = {})
        : settings_(settings), target_(target), clock_(std::move(clock)) {}

    /// One timer tick: plays when playing, the document has loaded something and the frame rate allows.
    void OnTick();
    /// One playing step worth `ticks` ticks: oscillate, then advance the frame as the frame speed allows.
    void PlayFrames(double ticks = 1.0);
    /// One oscillation step of every enabled parameter, worth `ticks` ticks; the view redraws only when an
    /// oscillated value changed.
    void TurnView(double ticks = 1.0);
    /// Shows frame current + step (wrapped) of a loaded multi-frame document.
    void AdvanceFrameNr(int step);
    /// Negative toggles playing, otherwise plays exactly when mode != 0. Returns the new state.
    bool TogglePlay(int mode);
    bool IsPlaying() const { return playing_; }
    /// Applies a predefined animation (ANIMATION_*) over the defaults; "Custom" keeps every value.
    void SelectPredefined(int animation);
    /// Marks the settings as hand-made ("Custom").
    void SetCustomSettings();
    /// True while the engine itself writes the frame edit: its change notification is to be ignored.
    bool IsUpdatingFrame() const { return updatingFrame_; }

    double PhaseClock() const { return phaseClock_; }
    void SetPhaseClock(double t) { phaseClock_ = t; }

private:
    double Now() const;

    C3DViewSettings& settings_;
    CAnimationTarget& target_;
    Clock clock_;
    long long ticks_ = 0;    // ticks seen, the time without a clock
    bool stepping_ = false;  // the previous tick made a step: lastStep_ and due_ hold
    double lastStep_ = 0.0;  // when the previous step was made
    double due_ = 0.0;       // when the frame-rate limit allows the next step
    double phaseClock_ = 0.0;
    double frameSpeedAccumulator_ = 0.0;
    bool playing_ = true;
    bool updatingFrame_ = false;
};

}  // namespace zelvor
