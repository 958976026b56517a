#include "render/surface_worker.h"

#include <GL/gl.h>

#include "platform/app_message.h"
#include "platform/named_event.h"
#include "render/gl_drawing_helpers.h"
#include "platform/thread_registration.h"

namespace zelvor {

CSurfaceWorker::CSurfaceWorker(CDravikDoc* doc, C3DViewSettings& settings)
    : doc_(doc),
      settings_(settings),
      state_(new std::atomic<signed char>[MAX_FRAMES]),
      distanceOf_(new double[MAX_FRAMES]),
      stepOf_(new double[MAX_FRAMES]),
      idle_(std::make_shared<NamedEvent>(NamedEvent::ResetMode::Manual, true)) {
    ResetFlags();
}

CSurfaceWorker::~CSurfaceWorker() { StopAndJoin(); }

bool CSurfaceWorker::IsComputed(int frame) const {
    return frame >= 0 && frame < MAX_FRAMES && state_[frame].load() == SURFACE_COMPUTED;
}

void CSurfaceWorker::ResetFlags() {
    for (int f = 0; f < MAX_FRAMES; ++f) {
        state_[f].store(SURFACE_NONE);
        distanceOf_[f] = -1.0;
        stepOf_[f] = -1.0;
    }
}

void CSurfaceWorker::Initialise() {
    marchingCubes_.ClearVertexArrays();
    ResetFlags();
    marchingCubes_.Initialise(doc_, &settings_, &stop_, settingsLock_);
}

void CSurfaceWorker::Reset() {
    marchingCubes_.ClearVertexArrays();
    ResetFlags();
    stop_.store(false);
}

void CSurfaceWorker::StartIsoSurface(int frame) {
    C3DViewSettings& s = settings_;
    // A surface the engine refused (too large a grid, no voxels) is tried again only when something changed.
    const bool stale = state_[frame].load() == SURFACE_NONE || s.sceneChanged || s.surfaceChanged ||
                       s.surfaceDistance != distanceOf_[frame] || s.surfaceStep != stepOf_[frame];
    if (!stale || running_.load() || stop_.load()) return;
    std::lock_guard lock(startLock_);
    if (running_.load()) return;
    if (needsInit_) {
        // A new document may be of the other kind (molecule or volumetric): the engine picks its field again.
        marchingCubes_.Release();
        marchingCubes_.Initialise(doc_, &settings_, &stop_, settingsLock_);
        needsInit_ = false;
    }
    if (!marchingCubes_.IsInitialised()) return;
    running_.store(true);
    distanceOf_[frame] = s.surfaceDistance;
    stepOf_[frame] = s.surfaceStep;
    s.surfaceChanged = 0;
    // Only a worker already joined by OnIsoSurfaceDone can be left here.
    if (worker_.joinable()) worker_.join();
    idle_->Reset();
    worker_ = std::thread([this, frame] {
        RegisteredThread registered;
        CalcIsoSurfaceThread(frame);
    });
}

void CSurfaceWorker::CalcIsoSurfaceThread(int frame) {
    const bool computed = marchingCubes_.CreateIsoSurface(frame);
    if (frame >= 0 && frame < MAX_FRAMES) state_[frame].store(computed ? SURFACE_COMPUTED : SURFACE_REFUSED);
    idle_->Set();
    if (messageTarget_) messageTarget_->Post(AppMessage{MSG_SURFACE_DONE, frame, 0});
}

bool CSurfaceWorker::OnIsoSurfaceDone() {
    if (worker_.joinable()) worker_.join();
    return running_.exchange(false);
}

void CSurfaceWorker::SetCubeDefaultIsolevels() {
    // The engine's copy of the level colours is read by a running worker without a lock; workers start only
    // on this thread, so none can start meanwhile.
    if (running_.load() || !marchingCubes_.IsInitialised()) return;
    marchingCubes_.SetCubeDefaultIsolevels();
}

void CSurfaceWorker::StopAndJoin() {
    // The worker reads the document and the view's settings: it must end before either goes.
    stop_.store(true);
    if (worker_.joinable()) worker_.join();
    running_.store(false);
    idle_->Set();
}

std::int64_t CSurfaceWorker::DrawIsoSurface(int frame) {
    C3DViewSettings& s = settings_;
    if (!IsComputed(frame)) return 0;
    std::int64_t drawn = 0;
    const bool volumetric = !doc_->GetFrame(frame).voxels.Empty();
    glDisable(GL_CULL_FACE);
    ClipFeatureWithEnabledPlanes(s.clipSurface, s.useClipPlanes == 1);
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
            drawn += arrays.count;
            glDisableClientState(GL_COLOR_ARRAY);
            glDisableClientState(GL_VERTEX_ARRAY);
            glDisableClientState(GL_NORMAL_ARRAY);
        }
        s.surfaceRecolour = 0;
    }
    glEnable(GL_CULL_FACE);
    DisableClipPlanes();
    return drawn;
}

}  // namespace zelvor
