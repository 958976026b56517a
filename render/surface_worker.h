#pragma once
/// CSurfaceWorker: one view's iso-surfaces: the state of each frame's surface, the worker thread that builds
/// it with the marching-cubes engine, and the drawing of the arrays it leaves.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "model/dravik_doc.h"
#include "render/marching_cubes.h"
#include "render/view_settings.h"

namespace zelvor {

class MessageTarget;
class NamedEvent;

class CSurfaceWorker {
public:
    /// `doc` (may be null) and `settings` must outlive the worker.
    CSurfaceWorker(CDravikDoc* doc, C3DViewSettings& settings);
    /// Stops and joins a running worker.
    ~CSurfaceWorker();
    CSurfaceWorker(const CSurfaceWorker&) = delete;
    CSurfaceWorker& operator=(const CSurfaceWorker&) = delete;

    /// The lock the view holds while it changes its settings; the engine reads them under it.
    void SetSettingsLock(std::recursive_mutex& lock) { settingsLock_ = &lock; }
    /// New contents set up: arrays and frame states cleared, the engine set up for the document.
    void Initialise();
    /// The document may have become the other kind (molecule or volumetric): the next start sets the engine up again.
    void ReinitialiseAtNextStart() { needsInit_ = true; }
    /// Surface reset: arrays and frame states cleared, the stop flag lowered.
    void Reset();
    /// Starts the worker for `frame` when its surface is stale and none runs.
    void StartIsoSurface(int frame);
    /// Worker body: builds the frame's surface, then posts the done message.
    void CalcIsoSurfaceThread(int frame);
    /// Done message (0x8031): joins the worker; true when one had been running (the picture changed).
    bool OnIsoSurfaceDone();
    /// Draws the frame's computed arrays with the current matrices; returns the vertices drawn.
    std::int64_t DrawIsoSurface(int frame);
    /// Places the automatic iso-levels again (user-interface thread). Nothing happens while a worker runs: each
    /// worker places them when it starts, so the next one (surfaceChanged) takes them up.
    void SetCubeDefaultIsolevels();
    /// The view goes: stops and joins the worker and marks the surfaces idle.
    void StopAndJoin();
    /// Frees the engine's arrays (after StopAndJoin).
    void ReleaseEngine() { marchingCubes_.Release(); }

    /// True from a start until its done message is handled.
    bool IsRunning() const { return running_.load(); }
    /// True when the frame's last computation gave a surface.
    bool IsComputed(int frame) const;
    /// Set by the document's owner when the contents are about to be replaced.
    std::atomic<bool>& StopFlag() { return stop_; }
    /// Where the worker posts its done message (none: the owner waits with OnIsoSurfaceDone).
    void SetMessageTarget(MessageTarget* target) { messageTarget_ = target; }
    /// Signalled while no worker runs (the governor's measurement waits for it).
    const std::shared_ptr<NamedEvent>& IdleEvent() const { return idle_; }

private:
    void ResetFlags();

    /// Per frame: the worker's last outcome, so that a refused surface is not retried at every paint.
    enum SurfaceState : signed char { SURFACE_NONE = 0, SURFACE_COMPUTED = 1, SURFACE_REFUSED = -1 };

    CDravikDoc* doc_;
    C3DViewSettings& settings_;
    CMarchingCubes marchingCubes_;
    std::unique_ptr<std::atomic<signed char>[]> state_;
    std::unique_ptr<double[]> distanceOf_, stepOf_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    bool needsInit_ = false;
    std::recursive_mutex* settingsLock_ = nullptr;
    std::mutex startLock_;
    std::shared_ptr<NamedEvent> idle_;
    MessageTarget* messageTarget_ = nullptr;
    std::thread worker_;
};

}  // namespace zelvor
