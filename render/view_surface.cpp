// Starting the iso-surface worker and drawing the arrays it leaves.
#include <GL/gl.h>

#include "platform/app_message.h"
#include "platform/named_event.h"
#include "render/dravik_gl_view.h"

namespace zelvor {

bool CDravikGLView::IsSurfaceComputed(int frame) const {
    return frame >= 0 && frame < MAX_FRAMES && surfaceState_[frame].load() == SURFACE_COMPUTED;
}

void CDravikGLView::ResetSurfaceFlags() {
    for (int f = 0; f < MAX_FRAMES; ++f) {
        surfaceState_[f].store(SURFACE_NONE);
        surfaceDistanceOf_[f] = -1.0;
        surfaceStepOf_[f] = -1.0;
    }
}

void CDravikGLView::StartIsoSurface(int frame) {
    C3DViewSettings& s = *settings_;
    // A surface the engine refused (too large a grid, no voxels) is tried again only when something changed.
    const bool stale = surfaceState_[frame].load() == SURFACE_NONE || s.sceneChanged || s.surfaceChanged ||
                       s.surfaceDistance != surfaceDistanceOf_[frame] || s.surfaceStep != surfaceStepOf_[frame];
    if (!stale || surfaceRunning_.load() || surfaceStop_.load()) return;
    if (cpuPerformanceEvent_ && cpuPerformanceEvent_->IsSet()) return;
    std::lock_guard lock(surfaceStartLock_);
    if (surfaceRunning_.load()) return;
    if (surfaceNeedsInit_) {
        // A new document may be of the other kind (molecule or volumetric): the engine picks its field again.
        marchingCubes_.Release();
        marchingCubes_.Initialise(doc_, settings_.get(), &surfaceStop_);
        surfaceNeedsInit_ = false;
    }
    if (!marchingCubes_.IsInitialised()) return;
    surfaceRunning_.store(true);
    surfaceDistanceOf_[frame] = s.surfaceDistance;
    surfaceStepOf_[frame] = s.surfaceStep;
    s.surfaceChanged = 0;
    // Only a worker already joined by OnIsoSurfaceDone can be left here.
    if (surfaceWorker_.joinable()) surfaceWorker_.join();
    surfaceIdle_->Reset();
    surfaceWorker_ = std::thread([this, frame] { CalcIsoSurfaceThread(frame); });
}

void CDravikGLView::CalcIsoSurfaceThread(int frame) {
    const bool computed = marchingCubes_.CreateIsoSurface(frame);
    if (frame >= 0 && frame < MAX_FRAMES) surfaceState_[frame].store(computed ? SURFACE_COMPUTED : SURFACE_REFUSED);
    surfaceIdle_->Set();
    if (messageTarget_) messageTarget_->Post(AppMessage{MSG_SURFACE_DONE, frame, 0});
}

void CDravikGLView::OnIsoSurfaceDone() {
    if (surfaceWorker_.joinable()) surfaceWorker_.join();
    if (surfaceRunning_.exchange(false)) Repaint();
}

void CDravikGLView::WaitForSurfaceWorker() { OnIsoSurfaceDone(); }

void CDravikGLView::DrawIsoSurface(int frame) {
    C3DViewSettings& s = *settings_;
    if (!IsSurfaceComputed(frame)) return;
    const bool volumetric = !doc_->GetFrame(frame).voxels.Empty();
    glDisable(GL_CULL_FACE);
    ClipFeatureWithEnabledPlanes(s.clipSurface);
    {
        std::lock_guard lock(marchingCubes_.SurfaceArrayLock());
        for (int level = 0; level < ISO_LEVELS; ++level) {
            if (level > 0 && !volumetric) break;
            if (s.showIsoLevel[level] == 0) continue;
            SurfaceArrays& arrays = marchingCubes_.Arrays(frame, level);
            if (arrays.Empty()) continue;
            const std::size_t count = static_cast<std::size_t>(arrays.count);
            if (arrays.colours.size() < 4 * count || arrays.vertices.size() < 3 * count ||
                arrays.normals.size() < 3 * count)
                continue;
            if (s.opaqueness != arrays.appliedAlpha) {
                for (std::size_t v = 0; v < count; ++v) arrays.colours[4 * v + 3] = static_cast<float>(s.opaqueness);
                arrays.appliedAlpha = s.opaqueness;
            }
            if (s.surfaceRecolour) {
                const Vector& c = s.isoColour[level];
                for (std::size_t v = 0; v < count; ++v) {
                    arrays.colours[4 * v + 0] = static_cast<float>(c.x);
                    arrays.colours[4 * v + 1] = static_cast<float>(c.y);
                    arrays.colours[4 * v + 2] = static_cast<float>(c.z);
                }
            }
            glEnableClientState(GL_COLOR_ARRAY);
            glEnableClientState(GL_VERTEX_ARRAY);
            glEnableClientState(GL_NORMAL_ARRAY);
            glColorPointer(4, GL_FLOAT, 0, arrays.colours.data());
            glVertexPointer(3, GL_FLOAT, 0, arrays.vertices.data());
            glNormalPointer(GL_FLOAT, 0, arrays.normals.data());
            const GLenum mode = s.polygonMode == POLYGON_MODE_POINT  ? GL_POINTS
                                : s.polygonMode == POLYGON_MODE_LINE ? GL_LINES
                                                                     : GL_TRIANGLES;
            glDrawArrays(mode, 0, arrays.count);
            surfaceVerticesDrawn_ += arrays.count;
            glDisableClientState(GL_COLOR_ARRAY);
            glDisableClientState(GL_VERTEX_ARRAY);
            glDisableClientState(GL_NORMAL_ARRAY);
        }
        s.surfaceRecolour = 0;
    }
    glEnable(GL_CULL_FACE);
    DisableClipPlanes();
}

}  // namespace zelvor
