// The view's handling of mouse input, of the surface worker's and the governor's notices, and of animation steps.
#include "render/dravik_gl_view.h"

#include "platform/app_message.h"

namespace zelvor {

void CDravikGLView::OnLButtonDown(int x, int y, bool /*shift*/) { camera_.OnLButtonDown(x, y); }

void CDravikGLView::OnMouseMove(int x, int y, unsigned flags) {
    switch (camera_.OnMouseMove(x, y, flags)) {
        case CameraChange::Turned: Repaint(); break;
        case CameraChange::Zoomed:
            if (doc_) doc_->UpdateAllViews(HINT_FRAME_CHANGED);
            break;
        case CameraChange::None: break;
    }
}

void CDravikGLView::OnLButtonUp(int /*x*/, int /*y*/) {
    if (camera_.OnLButtonUp() && doc_) doc_->UpdateAllViews(HINT_ROTATION_DONE);
}

void CDravikGLView::OnRButtonDown(int x, int y) { camera_.OnRButtonDown(x, y); }

void CDravikGLView::OnRButtonUp(int /*x*/, int /*y*/) {
    if (camera_.OnRButtonUp() && doc_) doc_->UpdateAllViews(HINT_ROTATION_DONE);
}

void CDravikGLView::OnLButtonDblClk(int x, int y) {
    if (!HasAtoms()) return;
    const int atom = camera_.PickAtom(doc_->GetFrame(doc_->GetFrameNr()), settings_->atomScale, x, y);
    if (atom > 0) doc_->ToggleAtomSelection(atom);
}

void CDravikGLView::OnIsoSurfaceDone() {
    if (surface_.OnIsoSurfaceDone()) Repaint();
}

void CDravikGLView::StopWorkerThreads() {
    AbortGovernor();
    // No repaint: the contents are about to go, and a closing window may have no surface left to paint on.
    surface_.StopFlag().store(true);
    surface_.OnIsoSurfaceDone();
    surface_.StopFlag().store(false);
}

void CDravikGLView::SetMessageTarget(MessageTarget* target) {
    surface_.SetMessageTarget(target);
    governor_.SetMessageTarget(target);
}

void CDravikGLView::ForgetPageTarget(const MessageTarget* target) {
    if (target == nullptr) return;
    if (atomPageTarget_ == target) atomPageTarget_ = nullptr;
    if (surfacePageTarget_ == target) surfacePageTarget_ = nullptr;
}

void CDravikGLView::SaveQualityForSpeed() {
    // A run reads the limits when it starts: the host's configuration may have changed them since.
    if (host_)
        if (const std::optional<GovernorLimits> limits = host_->GovernorLimitsNow()) governor_.SetLimits(*limits);
    if (!doc_ || destroyed_) return;
    const Frame* shown = HasAtoms() ? &doc_->GetFrame(doc_->GetFrameNr()) : nullptr;
    governor_.StartIfDue(host_ && host_->IsAnimating(), HasFrameToShow(), shown);
}

int CDravikGLView::OnSetSceneTesselation(int kind, int amount) {
    governor_.OnSetSceneTesselation(kind, amount, fullScreen_);
    // The pages show values the request may just have changed (quality, atom size, surface step).
    if (atomPageTarget_) atomPageTarget_->Post(AppMessage{MSG_REFRESH_ATOM_PAGE, kind, 0});
    if (surfacePageTarget_) surfacePageTarget_->Post(AppMessage{MSG_REFRESH_SURFACE_PAGE, kind, 0});
    if (doc_)
        doc_->UpdateAllViews(HINT_FRAME_CHANGED);
    else
        Repaint();
    return 1;
}

void CDravikGLView::OnAnimationStep() {
    if (HasFrameToShow() && EnsureContext()) Update3DViewPort();
    Repaint();
}

}  // namespace zelvor
