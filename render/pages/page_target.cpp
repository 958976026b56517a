#include "render/pages/page_target.h"

#include "render/dravik_gl_view.h"

namespace zelvor {

void CPageTarget::Attach(CDravikGLView* view) {
    if (view_) view_->ForgetPageTarget(&target_);
    view_ = view;
    if (!view_) return;
    if (kind_ == Kind::ATOM_PAGE)
        view_->SetAtomPageTarget(&target_);
    else
        view_->SetSurfacePageTarget(&target_);
}

}  // namespace zelvor
