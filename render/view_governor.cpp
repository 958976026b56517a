// The view's side of the tessellation governor and of the animation.
#include <chrono>

#include "platform/app_message.h"
#include "platform/named_event.h"
#include "render/dravik_gl_view.h"
#include "platform/performance.h"

namespace zelvor {

void CDravikGLView::CreateGovernor() {
    governorAbort_ = std::make_shared<NamedEvent>(NamedEvent::ResetMode::Manual, false);
    surfaceIdle_ = std::make_shared<NamedEvent>(NamedEvent::ResetMode::Manual, true);
    governor_ = std::make_unique<CTessellationGovernor>(
        *settings_, [this] { return MeasureForGovernor(); },
        [this](int kind, int amount) {
            // The adjustments touch display lists and the picture: only the window's own thread makes them.
            if (MessageTarget* target = messageTarget_) target->Post(AppMessage{MSG_TESSELLATION, kind, amount});
        });
}

double CDravikGLView::MeasureForGovernor() {
    if (performance_ == nullptr) return -1.0;
    std::vector<CPerformance::WaitHandle> waits;
    if (const std::shared_ptr<NamedEvent> lists = displayListEvent_) waits.push_back([lists] { lists->Wait(); });
    waits.push_back([idle = surfaceIdle_] { idle->Wait(); });
    std::vector<NamedEvent*> measuring;
    if (cpuPerformanceEvent_) measuring.push_back(cpuPerformanceEvent_.get());
    const std::shared_ptr<NamedEvent> abort = governorAbort_;
    return performance_->GetCPUPercent(waits, measuring,
                                       [abort](int ms) { abort->Wait(std::chrono::milliseconds(ms)); });
}

bool CDravikGLView::IsGovernorRunning() const { return governor_->IsRunning(); }

void CDravikGLView::SaveQualityForSpeed() {
    // A stopped governor would end at once and its end notice would repaint and start it again, for as long
    // as the new contents take to load.
    if (!doc_ || destroyed_ || governor_->MustOptiPolygonThreadAbort()) return;
    const C3DViewSettings& s = *settings_;
    GovernorStartState state;
    state.surfaceStateReady = surfaceStateReady_;
    state.animating = IsAnimating();
    state.frameLoadable = HasFrameToShow();
    state.atomCount = HasAtoms() ? doc_->GetFrame(doc_->GetFrameNr()).atomCount : 0;
    state.optimiseTessellation = s.optimiseTessellation == 1;
    state.finished = governor_->IsFinished();
    if (!ShouldStartGovernor(state)) return;
    const Frame& frame = doc_->GetFrame(doc_->GetFrameNr());
    governor_->polygonEstimate =
        EstimatePolygons(GetRenderQuality(), frame.atomCount, s.atomScale, frame.displayedBonds, s.showBonds,
                         s.bondsAsTubes);
    if (governor_->IsRunning()) return;
    // Without the display-list event the governor could not tell a compile from the program's load.
    if (!displayListEvent_) return;
    governor_->SetVolumetric(!frame.voxels.Empty());
    displayListEvent_->Set();
    governorAbort_->Reset();
    governor_->Start();
}

int CDravikGLView::OnSetSceneTesselation(int kind, int amount) {
    governor_->SetFullScreen(fullScreen_);
    governor_->OnSetSceneTesselation(kind, amount);
    governorStatus_ = governor_->StatusText();
    if (doc_)
        doc_->UpdateAllViews(HINT_FRAME_CHANGED);
    else
        Repaint();
    return 1;
}

void CDravikGLView::AbortGovernor() {
    governor_->Abort();
    governorAbort_->Set();
}

void CDravikGLView::RestartGovernor() {
    // A governor stopped for the previous contents ends before the flags are cleared for the new ones.
    if (governor_->IsRunning()) {
        AbortGovernor();
        governor_->Join();
    }
    governor_->ClearAbort();
    governor_->ClearFinished();
    governorAbort_->Reset();
}

void CDravikGLView::OnAnimationStep() {
    if (HasFrameToShow() && EnsureContext()) Update3DViewPort();
    Repaint();
}

}  // namespace zelvor
