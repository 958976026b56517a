// Mouse input: left drag turns (trackball), Shift + left drag pans, right drag zooms, double-click picks.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "render/dravik_gl_view.h"

namespace zelvor {

void CDravikGLView::OnLButtonDown(int x, int y, bool /*shift*/) {
    leftCaptured_ = true;
    downWidth_ = clientWidth_;
    downHeight_ = clientHeight_;
    double wx = 0.0, wy = 0.0, wz = 0.0;
    if (gluProject(0.0, 0.0, 0.0, modelSet_.modelview, modelSet_.projection, modelSet_.viewport, &wx, &wy, &wz) ==
        GL_TRUE)
        originWindowDepth_ = wz;
    mouseDownX_ = x;
    mouseDownY_ = y;
    trackballAxis_ = Vector(0, 0, 0);
    aimAtDown_ = settings_->aim;
    panSet_ = cameraSet_;
}

void CDravikGLView::OnMouseMove(int x, int y, unsigned flags) {
    const bool left = (flags & MOUSE_LEFT) != 0, right = (flags & MOUSE_RIGHT) != 0;
    C3DViewSettings& s = *settings_;
    if (left && !right && leftCaptured_) {
        const double dx = x - mouseDownX_, dy = y - mouseDownY_;
        if ((flags & MOUSE_SHIFT) != 0) {
            double ax = 0.0, ay = 0.0, az = 0.0;
            if (gluUnProject(downWidth_ / 2.0 - dx, downHeight_ / 2.0 + dy, originWindowDepth_, panSet_.modelview,
                             panSet_.projection, panSet_.viewport, &ax, &ay, &az) == GL_TRUE)
                s.aim = Vector(ax, ay, az);
        } else {
            const double distance = std::sqrt(s.eye * s.eye);
            if (distance == 0.0) return;
            const Vector e = s.eye * (1.0 / distance);
            trackballAxis_ = Vector(e.y * dx + e.z * dy, e.z * dx + e.x * dy, e.y * dy + e.x * dx);
            trackballAngle_ = NormaliseAngle(std::sqrt(dx * dx + dy * dy));
        }
        Repaint();
    } else if (right && rightCaptured_) {
        // A client of height 0 has no drag scale: the zoom waits for a real size.
        if (downHeight_ < 1) return;
        const double factor = 1.0 - static_cast<double>(y - mouseDownY_) / downHeight_;
        s.eye = eyeAtRightDown_ * factor;
        if (doc_) doc_->UpdateAllViews(HINT_FRAME_CHANGED);
    }
}

void CDravikGLView::OnLButtonUp(int /*x*/, int /*y*/) {
    if (!leftCaptured_) return;
    leftCaptured_ = false;
    if (trackballAxis_.x != 0.0 || trackballAxis_.y != 0.0 || trackballAxis_.z != 0.0) {
        GetCurrentEulerAngles();
        trackballAngle_ = 0.0;
    }
    if (doc_) doc_->UpdateAllViews(HINT_ROTATION_DONE);
}

void CDravikGLView::OnRButtonDown(int x, int y) {
    rightCaptured_ = true;
    downWidth_ = clientWidth_;
    downHeight_ = clientHeight_;
    mouseDownX_ = x;
    mouseDownY_ = y;
    eyeAtRightDown_ = settings_->eye;
}

void CDravikGLView::OnRButtonUp(int /*x*/, int /*y*/) {
    if (!rightCaptured_) return;
    rightCaptured_ = false;
    if (doc_) doc_->UpdateAllViews(HINT_ROTATION_DONE);
}

void CDravikGLView::OnLButtonDblClk(int x, int y) {
    if (!HasAtoms()) return;
    double farthest = 0.0, nearest = 0.0;
    GetZbufferRange(farthest, nearest);
    if (nearest > farthest) return;
    const Frame& frame = doc_->GetFrame(doc_->GetFrameNr());
    const double atomScale = settings_->atomScale;
    // The ray is walked front to back; the first atom that contains a point of it is the one hit.
    const int steps = static_cast<int>(std::floor((farthest - nearest) / 0.002 + 1e-9));
    for (int n = 0; n <= steps; ++n) {
        const double z = nearest + n * 0.002;
        double px = 0.0, py = 0.0, pz = 0.0;
        if (gluUnProject(x, clientHeight_ - y, z, modelSet_.modelview, modelSet_.projection, modelSet_.viewport, &px,
                         &py, &pz) != GL_TRUE)
            continue;
        const Vector p(px, py, pz);
        for (int i = 1; i <= frame.atomCount; ++i) {
            const Atom& a = frame.atoms[i];
            if (!a.element) continue;
            const Vector d = a.position - p;
            const double r = a.element->vdWRadius * atomScale;
            if (d * d < r * r) {
                doc_->ToggleAtomSelection(i);
                return;
            }
        }
    }
}

}  // namespace zelvor
