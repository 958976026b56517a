#pragma once
/// CTessellationGovernor: steers sphere/tube tessellation and the surface step until the program's own
/// processor usage lies between the limits. Free of GL and Qt: the view supplies measurements and a
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
};

/// Smallest surface step the governor sets.
inline constexpr double MIN_SURFACE_STEP = 0.3;

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

/// The governor: its thread measures and posts; `OnSetSceneTesselation` applies on the UI thread.
class CTessellationGovernor {
public:
    /// One whole measurement of the program's processor share in percent (CPerformance::GetCPUPercent);
    /// -1.0 when there is none.
    using Reading = std::function<double()>;
    /// Posts WM_SET_SCENE_TESSELATION with kind and amount to the user-interface thread.
    using Post = std::function<void(int kind, int amount)>;

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
    struct Snapshot {
        std::int32_t renderQuality = 0;
        double surfaceStep = 0.0;
        double bondSize = 0.0;
        std::int32_t atomsAsSpheres = 0;
        std::int32_t bondsAsTubes = 0;
        double atomScale = 0.0;
        std::int32_t smoothLines = 0;
    };
    Snapshot TakeSnapshot() const;
    void Restore(const Snapshot& snapshot);
    /// Posts a request to lower (amount < 0) or raise (amount > 0) the detail.
    void PostAdjustment(int amount, bool lowering);

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
    std::string statusText_;
    std::thread thread_;
};

}  // namespace zelvor
