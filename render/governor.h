#pragma once
/// CTessellationGovernor: steers sphere/tube tessellation, the surface step and at last the frame rate until the
/// program's own processor usage lies between the limits. Free of GL and Qt: the view supplies measurements and a
/// way to post the adjustment requests to its user-interface thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "render/view_settings.h"

namespace zelvor {

/// Private window message that carries an adjustment request (kind, amount) to the view.
inline constexpr unsigned WM_SET_SCENE_TESSELATION = 0x8035;

/// Kinds of adjustment requests.
enum GovernorKind : int {
    GOVERNOR_ENDED = -1,
    GOVERNOR_REFRESH = 1,
    GOVERNOR_TESSELLATION = 2,
    GOVERNOR_SURFACE_STEP = 3,
    /// The surface step beyond the surface distance: the amount is the new step in thousandths of an angstrom.
    GOVERNOR_COARSE_SURFACE = 4,
    /// The animation's frame rate: the amount is the new limit in frames per second, 0 for none.
    GOVERNOR_FRAME_RATE = 5,
};

/// Smallest surface step the governor sets.
inline constexpr double MIN_SURFACE_STEP = 0.3;
/// Largest surface step the governor sets (the surface dialog's largest).
inline constexpr double MAX_SURFACE_STEP = 2.0;
/// The fewest frames per second the governor lets the animation draw.
inline constexpr int MIN_FRAME_RATE = 4;
/// The animation's own rate (one frame per 20 ms tick): a limit at or above it is no limit.
inline constexpr int MAX_FRAME_RATE = 50;

/// Processor-usage limits in percent and the number of adjustment passes.
struct GovernorLimits {
    int minCPU = 5;
    int maxCPU = 40;
    int passes = 10;
};

/// What the first paint knows when it decides whether to start the governor.
struct GovernorStartState {
    bool surfaceStateReady = false;  ///< the document's first surface state was set up
    bool animating = false;          ///< the animation dialog exists and animates
    bool frameLoadable = false;
    int atomCount = 0;
    bool optimiseTessellation = false;
    bool finished = false;
    bool threadRunning = false;
};

/// True when `SaveQualityForSpeed` should start a new governor thread.
bool ShouldStartGovernor(const GovernorStartState& state);

/// Sphere-and-tube polygon estimate for quality q.
std::int64_t EstimatePolygons(int q, int atomCount, double atomScale, int displayedBonds, int showBonds,
                              int bondsAsTubes);

/// Status text of the overlay after an adjustment of `kind`.
std::string GovernorStatusText(bool fullScreen, bool threadRunning, int kind, bool finished);

/// Surface step after an adjustment by `amount`, kept within 0.3 .. surfaceDistance.
double AdjustSurfaceStep(double surfaceStep, double surfaceDistance, int amount);

/// Render quality after a tessellation adjustment by `amount`, before the 2..30 clamp.
int AdjustRenderQuality(int renderQuality, int amount);

/// One measurement: the program's processor share in percent (-1.0: none) and the pictures drawn per second.
struct GovernorLoad {
    double share = -1.0;
    double framesPerSecond = 0.0;
};

/// True when a change that took the load from `before` to `after` paid for what it cost the picture: it saved
/// a tenth of the share, and at least three points (a second's reading varies by about that much). With
/// `perFrame`, saving a tenth of the processor time per picture also counts: a program that draws as fast as
/// it can keeps its share and draws more pictures instead, which fewer frames per second then turn into share;
/// and when the pictures came too slowly before the change to weigh them (under 2 a second), it counts as paid.
bool ChangePaidOff(const GovernorLoad& before, const GovernorLoad& after, bool perFrame);

/// The frame-rate limit that brings a share of `share` at `framesPerSecond` to `target`, taking the cost as
/// proportional to the frames drawn: within MIN_FRAME_RATE .. MAX_FRAME_RATE, 0 (no limit) at the top.
int FrameRateFor(double framesPerSecond, double share, double target);

/// The governor: its thread measures and posts; `OnSetSceneTesselation` applies on the UI thread.
class CTessellationGovernor {
public:
    /// One whole measurement of the program's processor share in percent (CPerformance::GetCPUPercent);
    /// -1.0 when there is none.
    using Reading = std::function<double()>;
    /// Posts WM_SET_SCENE_TESSELATION with kind and amount to the user-interface thread.
    using Post = std::function<void(int kind, int amount)>;
    /// Monotonic seconds; the frame rate and the search's time limit are measured by it.
    using Clock = std::function<double()>;

    /// `settings` and `lock` must outlive the governor; every access to the settings from here holds `lock`,
    /// the lock of the view whose settings they are.
    CTessellationGovernor(C3DViewSettings& settings, std::recursive_mutex& lock, Reading reading, Post post);
    /// Aborts and joins the thread.
    ~CTessellationGovernor();
    CTessellationGovernor(const CTessellationGovernor&) = delete;
    CTessellationGovernor& operator=(const CTessellationGovernor&) = delete;

    /// Sets the limits read at the start of the next run.
    void SetLimits(const GovernorLimits& limits);
    /// Whether the document holds volumetric data (only the tessellation then changes).
    void SetVolumetric(bool volumetric) { volumetric_ = volumetric; }
    /// Sphere-and-tube polygon estimate, updated by the view.
    std::atomic<std::int64_t> polygonEstimate{0};
    /// Iso-surface vertices drawn, summed by the view's drawing.
    std::atomic<std::int64_t> surfaceVertexCount{0};
    /// Pictures drawn so far, counted by the view: the frame rate is measured from it.
    std::atomic<std::int64_t> framesDrawn{0};
    /// Replaces the steady clock (tests).
    void SetClock(Clock clock) { clock_ = std::move(clock); }
    /// Frames per second the animation may draw; 0: as many as its ticks.
    int FrameRateLimit() const { return frameRateLimit_; }
    /// Lifts the frame-rate limit (the governor was switched off).
    void ClearFrameRateLimit() { frameRateLimit_ = 0; }
    /// The search gives up after this many seconds.
    static constexpr double SEARCH_SECONDS = 50.0;

    /// The processor share measured now; -1.0 without a reading.
    double GetCPUPercent();

    /// Starts the governor thread unless one is running; false when it was running.
    bool Start();
    /// Runs the governor on the calling thread (the thread body).
    void SetSceneTesselation();
    /// True while the thread body runs.
    bool IsRunning() const { return running_; }
    /// Joins a thread that was started.
    void Join();

    /// Stops the search at the next check.
    void Abort() { abort_ = true; }
    /// Clears the abort flag (initial update of the view).
    void ClearAbort() { abort_ = false; }
    bool MustOptiPolygonThreadAbort() const { return abort_; }
    bool IsFinished() const { return finished_; }
    /// The last search ended inside the limits (not merely out of passes).
    bool HasConverged() const { return converged_; }
    /// Lets a finished governor start again (tessellation switch toggled, new document).
    void ClearFinished() { finished_ = false; }

    /// Applies one request on the user-interface thread; returns 1.
    int OnSetSceneTesselation(int kind, int amount);
    /// Called by `OnSetSceneTesselation` after each request with its kind, so the view can notify the
    /// display-settings pages and update its views.
    std::function<void(int kind)> onAdjusted;
    /// Whether the screensaver runs full-screen (only then the overlay shows a governor status).
    void SetFullScreen(bool fullScreen) { fullScreen_ = fullScreen; }
    /// The overlay's status text after the last request.
    std::string StatusText() const;

private:
    /// The knobs tried in turn while the share is above the maximum.
    enum class Knob { Detail, CoarseSurface, FrameRate, None };
    struct Snapshot {
        std::int32_t renderQuality = 0;
        double surfaceStep = 0.0;
        double bondSize = 0.0;
        std::int32_t atomsAsSpheres = 0;
        std::int32_t bondsAsTubes = 0;
        double atomScale = 0.0;
        std::int32_t smoothLines = 0;
        int frameRateLimit = 0;
    };
    Snapshot TakeSnapshot() const;
    /// Puts the settings back and has the view redraw them.
    void Restore(const Snapshot& snapshot);
    /// Posts a request to lower (amount < 0) or raise (amount > 0) the detail.
    void PostAdjustment(int amount, bool lowering);
    /// One reading of the share, with the pictures drawn meanwhile.
    GovernorLoad Measure();
    double Now() const;
    /// Whether `knob` may still lower the share; `detailPasses` counts the detail passes made.
    bool CanLower(Knob knob, const GovernorLoad& load, int detailPasses, int framePasses,
                  const GovernorLimits& limits) const;
    /// Posts the next lowering step of `knob` for a load above `limits`.
    void Lower(Knob knob, const GovernorLoad& load, const GovernorLimits& limits);
    /// The share the frame rate is steered towards: inside the limits, with room below the top for the readings to vary.
    static double FrameRateTarget(const GovernorLimits& limits);
    /// Ends the search; `converged`: the last reading lay inside the limits.
    void Finish(bool converged);

    C3DViewSettings& settings_;
    std::recursive_mutex& lock_;
    Reading reading_;
    Post post_;
    GovernorLimits limits_;
    std::atomic<bool> volumetric_{false};
    std::atomic<bool> abort_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> converged_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> fullScreen_{false};
    std::atomic<int> frameRateLimit_{0};
    Clock clock_;
    std::string statusText_;
    std::thread thread_;
};

}  // namespace zelvor
