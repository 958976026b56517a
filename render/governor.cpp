#include "render/governor.h"
#include "platform/thread_registration.h"

#include <algorithm>
#include <chrono>
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

constexpr double SURFACE_COARSENING = 1.4;  // per pass beyond the surface distance
constexpr int MAX_FRAME_PASSES = 6;
/// Below this many pictures a second a reading counts too few of them to tell their cost.
constexpr double MIN_WEIGHED_RATE = 2.0;

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

bool ChangePaidOff(const GovernorLoad& before, const GovernorLoad& after, bool perFrame) {
    if (after.share <= before.share - std::max(3.0, 0.1 * before.share)) return true;
    if (!perFrame) return false;
    // Two or three pictures in a reading are too few to weigh: with pictures that slow, less detail stays.
    if (!(before.framesPerSecond >= MIN_WEIGHED_RATE) || !(after.framesPerSecond > 0.0)) return true;
    return after.share / after.framesPerSecond <= 0.9 * before.share / before.framesPerSecond;
}

int FrameRateFor(double framesPerSecond, double share, double target) {
    if (!(framesPerSecond > 0.0) || !(share > 0.0)) return 0;
    const double rate = std::floor(framesPerSecond * target / share);
    if (!(rate < MAX_FRAME_RATE)) return 0;
    return std::max(static_cast<int>(rate), MIN_FRAME_RATE);
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
    thread_ = std::thread([this] {
        RegisteredThread registered;
        SetSceneTesselation();
    });
    return true;
}

void CTessellationGovernor::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

CTessellationGovernor::Snapshot CTessellationGovernor::TakeSnapshot() const {
    std::lock_guard guard(lock_);
    return {settings_.renderQuality, settings_.surfaceStep, settings_.bondSize, settings_.atomsAsSpheres,
            settings_.bondsAsTubes,  settings_.atomScale,   settings_.smoothLines,    frameRateLimit_};
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
    frameRateLimit_ = snapshot.frameRateLimit;
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

double CTessellationGovernor::Now() const {
    if (clock_) return clock_();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

GovernorLoad CTessellationGovernor::Measure() {
    const double start = Now();
    const std::int64_t frames = framesDrawn;
    GovernorLoad load;
    load.share = GetCPUPercent();
    const double seconds = Now() - start;
    if (seconds > 0.0) load.framesPerSecond = static_cast<double>(framesDrawn - frames) / seconds;
    return load;
}

double CTessellationGovernor::FrameRateTarget(const GovernorLimits& limits) {
    return limits.minCPU + 0.6 * (limits.maxCPU - limits.minCPU);
}

bool CTessellationGovernor::CanLower(Knob knob, const GovernorLoad& load, int detailPasses, int framePasses,
                                     const GovernorLimits& limits) const {
    std::lock_guard guard(lock_);
    switch (knob) {
        case Knob::Detail: {
            const bool surfaceCanCoarsen =
                !volumetric_ && settings_.showSurface && settings_.surfaceStep < settings_.surfaceDistance;
            return detailPasses <= limits.passes && (settings_.renderQuality > MIN_RENDER_QUALITY || surfaceCanCoarsen);
        }
        case Knob::CoarseSurface:
            return !volumetric_ && settings_.showSurface && settings_.surfaceStep < MAX_SURFACE_STEP;
        case Knob::FrameRate:
            // Without frames drawn there is no rate to steer by.
            return framePasses < MAX_FRAME_PASSES && load.framesPerSecond > 0.0 &&
                   (frameRateLimit_ == 0 || frameRateLimit_ > MIN_FRAME_RATE);
        case Knob::None: break;
    }
    return false;
}

void CTessellationGovernor::Lower(Knob knob, const GovernorLoad& load, const GovernorLimits& limits) {
    switch (knob) {
        case Knob::Detail: PostAdjustment(TruncatedAmount(limits.maxCPU - load.share), true); break;
        case Knob::CoarseSurface: {
            double step = 0.0;
            {
                std::lock_guard guard(lock_);
                step = std::min(std::max(settings_.surfaceStep, MIN_SURFACE_STEP) * SURFACE_COARSENING,
                                MAX_SURFACE_STEP);
            }
            post_(GOVERNOR_COARSE_SURFACE, static_cast<int>(std::lround(step * 1000.0)));
            break;
        }
        case Knob::FrameRate: {
            const int limit = frameRateLimit_;
            int rate = FrameRateFor(load.framesPerSecond, load.share, FrameRateTarget(limits));
            // The drawn rate can lie below the limit: each pass lowers the limit itself by at least a frame.
            if (limit != 0 && (rate == 0 || rate >= limit)) rate = std::max(limit - 1, MIN_FRAME_RATE);
            post_(GOVERNOR_FRAME_RATE, rate);
            break;
        }
        case Knob::None: break;
    }
}

void CTessellationGovernor::Finish(bool converged) {
    std::lock_guard guard(lock_);
    finished_ = true;
    converged_ = converged;
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
    frameRateLimit_ = 0;
    const double minCPU = limits.minCPU;
    const double maxCPU = limits.maxCPU;
    const double started = Now();
    const auto stopped = [this] {
        std::lock_guard guard(lock_);
        return settings_.optimiseTessellation != 1 || abort_ || finished_;
    };

    // While the share is too high the knobs are tried in turn: detail, then a surface coarser than its
    // distance, then fewer frames. A change that does not lower the share is taken back (the cost lies
    // elsewhere: on a small molecule points and lines cost as much as spheres), and the next knob is tried.
    // Below the minimum, frames are given back before detail.
    Knob knob = Knob::Detail;
    int detailPasses = 0;
    int framePasses = 0;
    if (stopped()) return;
    GovernorLoad load = Measure();
    for (;;) {
        if (stopped()) return;
        if (load.share >= 0.0 && minCPU < load.share && load.share < maxCPU) return Finish(true);
        if (Now() - started > SEARCH_SECONDS) return Finish(false);
        const Snapshot before = TakeSnapshot();
        if (load.share > maxCPU) {
            while (knob != Knob::None && !CanLower(knob, load, detailPasses, framePasses, limits))
                knob = static_cast<Knob>(static_cast<int>(knob) + 1);
            if (knob == Knob::None) return Finish(false);
            if (knob == Knob::Detail) ++detailPasses;
            if (knob == Knob::FrameRate) ++framePasses;
            Lower(knob, load, limits);
            if (abort_) return;
            const GovernorLoad after = Measure();
            if (after.share >= 0.0 && !ChangePaidOff(load, after, knob != Knob::FrameRate)) {
                Restore(before);
                post_(GOVERNOR_REFRESH, 0);
                knob = static_cast<Knob>(static_cast<int>(knob) + 1);
                continue;  // the load is what it was before the change
            }
            load = after;
            continue;
        }
        // Below the minimum, or no reading at all.
        if (frameRateLimit_ != 0) {
            post_(GOVERNOR_FRAME_RATE, load.share >= 0.0 ? FrameRateFor(load.framesPerSecond, load.share,
                                                                        FrameRateTarget(limits))
                                                         : 0);
        } else {
            if (detailPasses > limits.passes) return Finish(false);
            ++detailPasses;
            PostAdjustment(TruncatedAmount(minCPU - load.share), false);
        }
        if (abort_) return;
        const GovernorLoad after = Measure();
        // More detail pushed the share over the top: the state before was the better one.
        if (load.share >= 0.0 && after.share > maxCPU) {
            Restore(before);
            post_(GOVERNOR_REFRESH, 0);
            return Finish(false);
        }
        load = after;
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
        } else if (kind == GOVERNOR_COARSE_SURFACE && !volumetric_) {
            settings_.surfaceStep = std::clamp(amount / 1000.0, MIN_SURFACE_STEP, MAX_SURFACE_STEP);
        } else if (kind == GOVERNOR_FRAME_RATE) {
            frameRateLimit_ = amount <= 0 || amount >= MAX_FRAME_RATE ? 0 : std::max(amount, MIN_FRAME_RATE);
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
