#include "render/governor.h"

#include <algorithm>
#include <cmath>

namespace zelvor {

namespace {

constexpr double START_ATOM_SCALE = 0.3;
constexpr int START_RENDER_QUALITY = 8;
constexpr int MIN_RENDER_QUALITY = 2;
constexpr int MAX_RENDER_QUALITY = 30;
// A reading far off the limits must not overflow the integer amount; beyond this the step size no
// longer matters because the quality clamps anyway.
constexpr double MAX_AMOUNT = 1000.0;

int TruncatedAmount(double difference) {
    return static_cast<int>(std::trunc(std::clamp(difference, -MAX_AMOUNT, MAX_AMOUNT)));
}

}  // namespace

bool ShouldStartGovernor(const GovernorStartState& state) {
    return state.surfaceStateReady && state.animating && state.frameLoadable && state.atomCount > 0 &&
           state.optimiseTessellation && !state.finished && !state.threadRunning;
}

std::int64_t EstimatePolygons(int q, int atomCount, double atomScale, int displayedBonds, int showBonds,
                              int bondsAsTubes) {
    const std::int64_t q2 = static_cast<std::int64_t>(q) * q;
    std::int64_t estimate = atomScale > 0.0 ? q2 * atomCount : 0;
    if (showBonds == 1 && bondsAsTubes == 1) estimate += static_cast<std::int64_t>(displayedBonds) * q2 / 4;
    return estimate;
}

std::string GovernorStatusText(bool fullScreen, bool threadRunning, int kind, bool finished) {
    if (!fullScreen) return {};
    if (threadRunning && kind > 0) return "Optimising tessellation against CPU usage...";
    return finished ? std::string() : std::string("Not optimised");
}

double AdjustSurfaceStep(double surfaceStep, double surfaceDistance, int amount) {
    // The change is relative to how fine the step already is; no distance means no scale to grow by.
    if (surfaceDistance > 0.0) surfaceStep += amount * 0.1 * (surfaceStep / surfaceDistance);
    // Written so that a NaN step or distance ends at the smallest step too.
    if (!(std::min(surfaceStep, surfaceDistance) >= MIN_SURFACE_STEP)) return MIN_SURFACE_STEP;
    if (surfaceStep >= surfaceDistance) return surfaceDistance;
    return surfaceStep;
}

int AdjustRenderQuality(int renderQuality, int amount) {
    double q = renderQuality;
    if (amount != 0) {
        const double magnitude = std::max(0.3 * std::abs(static_cast<double>(amount)), 1.0);
        q += amount > 0 ? magnitude : -magnitude;
    }
    return static_cast<int>(std::floor(q + 0.5));
}

CTessellationGovernor::CTessellationGovernor(C3DViewSettings& settings, std::recursive_mutex& lock, Reading reading,
                                             Post post)
    : settings_(settings), lock_(lock), reading_(std::move(reading)), post_(std::move(post)) {
    if (!post_) post_ = [](int, int) {};
}

CTessellationGovernor::~CTessellationGovernor() {
    Abort();
    Join();
}

void CTessellationGovernor::SetLimits(const GovernorLimits& limits) {
    std::lock_guard guard(lock_);
    limits_ = limits;
}

double CTessellationGovernor::GetCPUPercent() {
    return reading_ ? reading_() : -1.0;
}

bool CTessellationGovernor::Start() {
    if (running_) return false;
    Join();
    running_ = true;
    thread_ = std::thread([this] { SetSceneTesselation(); });
    return true;
}

void CTessellationGovernor::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

CTessellationGovernor::Snapshot CTessellationGovernor::TakeSnapshot() const {
    std::lock_guard guard(lock_);
    return {settings_.renderQuality, settings_.surfaceStep, settings_.bondSize, settings_.atomsAsSpheres,
            settings_.bondsAsTubes,  settings_.atomScale,   settings_.smoothLines};
}

void CTessellationGovernor::Restore(const Snapshot& snapshot) {
    std::lock_guard guard(lock_);
    settings_.renderQuality = snapshot.renderQuality;
    settings_.surfaceStep = snapshot.surfaceStep;
    settings_.bondSize = snapshot.bondSize;
    settings_.atomsAsSpheres = snapshot.atomsAsSpheres;
    settings_.bondsAsTubes = snapshot.bondsAsTubes;
    settings_.atomScale = snapshot.atomScale;
    settings_.smoothLines = snapshot.smoothLines;
    settings_.sceneChanged = 1;
}

void CTessellationGovernor::PostAdjustment(int amount, bool lowering) {
    bool surface = false;
    if (!volumetric_) {
        std::lock_guard guard(lock_);
        const std::int64_t vertices = surfaceVertexCount;
        const std::int64_t estimate = polygonEstimate;
        surface = settings_.showSurface &&
                  (lowering ? vertices >= estimate && settings_.surfaceStep < settings_.surfaceDistance
                            : vertices <= estimate);
    }
    if (surface)
        post_(GOVERNOR_SURFACE_STEP, -amount);
    else
        post_(GOVERNOR_TESSELLATION, amount);
}

void CTessellationGovernor::SetSceneTesselation() {
    running_ = true;
    converged_ = false;
    struct Ended {
        CTessellationGovernor& governor;
        ~Ended() {
            governor.post_(GOVERNOR_ENDED, 0);
            governor.running_ = false;
        }
    } ended{*this};

    GovernorLimits limits;
    {
        std::lock_guard guard(lock_);
        settings_.surfaceStep = settings_.surfaceDistance;
        settings_.atomScale = START_ATOM_SCALE;
        settings_.renderQuality = START_RENDER_QUALITY;
        limits = limits_;
    }
    double tolerance = 0.0;
    double previous = 100.0;
    int pass = 0;
    Snapshot snapshot = TakeSnapshot();
    const double minCPU = limits.minCPU;
    const double maxCPU = limits.maxCPU;

    for (;;) {
        {
            std::lock_guard guard(lock_);
            if (settings_.optimiseTessellation != 1) break;
        }
        if (abort_ || finished_) break;

        const double u1 = GetCPUPercent();
        if (u1 > maxCPU) PostAdjustment(TruncatedAmount(maxCPU - u1), true);
        if (u1 < minCPU) PostAdjustment(TruncatedAmount(minCPU - u1), false);
        if (abort_) break;

        const double u2 = GetCPUPercent();
        const bool converged = std::abs(u2 - previous) < tolerance && minCPU < u2 && u2 < maxCPU &&
                               minCPU < previous && previous < maxCPU;
        if (converged || pass > limits.passes) {
            std::lock_guard guard(lock_);
            finished_ = true;
            converged_ = converged;
            // The last step pushed usage over the top: go back to the last state inside the limits.
            if (previous < maxCPU && u2 > maxCPU) Restore(snapshot);
        }
        tolerance += 0.5;
        previous = u2;
        ++pass;
        snapshot = TakeSnapshot();
        post_(GOVERNOR_REFRESH, 0);
    }
}

int CTessellationGovernor::OnSetSceneTesselation(int kind, int amount) {
    {
        std::lock_guard guard(lock_);
        if (kind == GOVERNOR_TESSELLATION) {
            const int q = AdjustRenderQuality(settings_.renderQuality, amount);
            settings_.renderQuality = std::clamp(q, MIN_RENDER_QUALITY, MAX_RENDER_QUALITY);
            const bool detailed = q >= 4;
            settings_.bondSize = detailed ? 8.0 : 1.0;
            settings_.atomScale = START_ATOM_SCALE;
            settings_.atomsAsSpheres = detailed ? 1 : 0;
            settings_.bondsAsTubes = detailed ? 1 : 0;
            settings_.smoothLines = q <= 0 ? 0 : 1;
        } else if (kind == GOVERNOR_SURFACE_STEP && !volumetric_) {
            settings_.surfaceStep = AdjustSurfaceStep(settings_.surfaceStep, settings_.surfaceDistance, amount);
        }
        settings_.sceneChanged = 1;
        statusText_ = GovernorStatusText(fullScreen_, running_, kind, finished_);
    }
    if (onAdjusted) onAdjusted(kind);
    return 1;
}

std::string CTessellationGovernor::StatusText() const {
    std::lock_guard guard(lock_);
    return statusText_;
}

}  // namespace zelvor
