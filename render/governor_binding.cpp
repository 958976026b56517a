#include "render/governor_binding.h"

#include <chrono>
#include <vector>

#include "platform/app_message.h"
#include "platform/named_event.h"
#include "platform/performance.h"

namespace zelvor {

CGovernorBinding::CGovernorBinding(C3DViewSettings& settings, std::shared_ptr<NamedEvent> surfaceIdle)
    : settings_(settings),
      surfaceIdle_(std::move(surfaceIdle)),
      abort_(std::make_shared<NamedEvent>(NamedEvent::ResetMode::Manual, false)) {
    governor_ = std::make_unique<CTessellationGovernor>(
        settings_, lock_, [this] { return Measure(); },
        [this](int kind, int amount) {
            // The adjustments touch display lists and the picture: only the window's own thread makes them.
            if (MessageTarget* target = messageTarget_) {
                {
                    std::lock_guard guard(drawnLock_);
                    ++posted_;
                }
                target->Post(AppMessage{MSG_TESSELLATION, kind, amount});
            }
        });
}

CGovernorBinding::~CGovernorBinding() {
    Stop();
    Join();
}

void CGovernorBinding::Restart(const std::string& label) {
    // The thread of the previous contents reads the events: it ends before they are replaced and before the
    // flags are cleared for the new contents.
    if (governor_->IsRunning()) {
        Abort();
        governor_->Join();
    }
    displayListEvent_ = NamedEvent::Create("DisplayListevent_" + label, NamedEvent::ResetMode::Manual, false);
    cpuPerformanceEvent_ = NamedEvent::Create("CPUperformanceevent_" + label, NamedEvent::ResetMode::Manual, false);
    governor_->ClearAbort();
    governor_->ClearFinished();
    // The limit was found for the previous contents.
    governor_->ClearFrameRateLimit();
    abort_->Reset();
}

void CGovernorBinding::BeginCompiles() {
    if (displayListEvent_) displayListEvent_->Reset();
}

void CGovernorBinding::EndCompiles() {
    if (displayListEvent_) displayListEvent_->Set();
}

bool CGovernorBinding::IsMeasuring() const { return cpuPerformanceEvent_ && cpuPerformanceEvent_->IsSet(); }

void CGovernorBinding::WaitUntilDrawn() {
    std::unique_lock guard(drawnLock_);
    const std::uint64_t wanted = posted_;
    drawnChanged_.wait_for(guard, std::chrono::seconds(2),
                           [&] { return drawn_ >= wanted || governor_->MustOptiPolygonThreadAbort(); });
}

void CGovernorBinding::FrameDrawn() {
    ++governor_->framesDrawn;
    {
        std::lock_guard guard(drawnLock_);
        drawn_ = applied_;
    }
    drawnChanged_.notify_all();
}

double CGovernorBinding::Measure() {
    if (performance_ == nullptr) return -1.0;
    // A measurement taken before the change is drawn (and its surface started) would judge the old picture.
    WaitUntilDrawn();
    std::vector<CPerformance::WaitHandle> waits;
    if (const std::shared_ptr<NamedEvent> lists = displayListEvent_) waits.push_back([lists] { lists->Wait(); });
    waits.push_back([idle = surfaceIdle_] { idle->Wait(); });
    std::vector<NamedEvent*> measuring;
    if (cpuPerformanceEvent_) measuring.push_back(cpuPerformanceEvent_.get());
    const std::shared_ptr<NamedEvent> abort = abort_;
    return performance_->GetCPUPercent(waits, measuring,
                                       [abort](int ms) { abort->Wait(std::chrono::milliseconds(ms)); });
}

void CGovernorBinding::StartIfDue(bool animating, bool frameLoadable, const Frame* shown) {
    // A stopped governor would end at once and its end notice would repaint and start it again, for as long
    // as the new contents take to load.
    if (governor_->MustOptiPolygonThreadAbort()) return;
    GovernorStartState state;
    state.surfaceStateReady = surfaceStateReady_;
    state.animating = animating;
    state.frameLoadable = frameLoadable;
    state.atomCount = shown ? shown->atomCount : 0;
    state.optimiseTessellation = settings_.optimiseTessellation == 1;
    state.finished = governor_->IsFinished();
    if (!shown || !ShouldStartGovernor(state)) return;
    int quality = 0;
    {
        std::lock_guard lock(lock_);
        quality = settings_.renderQuality;
    }
    governor_->polygonEstimate = EstimatePolygons(quality, shown->atomCount, settings_.atomScale,
                                                  shown->displayedBonds, settings_.showBonds, settings_.bondsAsTubes);
    if (governor_->IsRunning()) return;
    // Without the display-list event the governor could not tell a compile from the program's load.
    if (!displayListEvent_) return;
    governor_->SetVolumetric(!shown->voxels.Empty());
    displayListEvent_->Set();
    abort_->Reset();
    governor_->Start();
}

int CGovernorBinding::OnSetSceneTesselation(int kind, int amount, bool fullScreen) {
    governor_->SetFullScreen(fullScreen);
    governor_->OnSetSceneTesselation(kind, amount);
    ++applied_;
    status_ = governor_->StatusText();
    return 1;
}

void CGovernorBinding::OnOptimiseSwitched(bool on) {
    if (on) {
        governor_->ClearFinished();
        return;
    }
    // Switched off, the governor no longer holds the animation back.
    governor_->ClearFrameRateLimit();
    if (displayListEvent_) displayListEvent_->Set();
}

void CGovernorBinding::Abort() {
    governor_->Abort();
    abort_->Set();
    {
        std::lock_guard guard(drawnLock_);
    }
    drawnChanged_.notify_all();
}

void CGovernorBinding::Stop() {
    Abort();
    // A measurement waits for the compile to end: release it.
    if (displayListEvent_) displayListEvent_->Set();
}

void CGovernorBinding::Join() { governor_->Join(); }

}  // namespace zelvor
