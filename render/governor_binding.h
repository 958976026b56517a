#pragma once
/// CGovernorBinding: one view's tessellation governor with the lock over the view's detail settings, the
/// events it measures by, its start conditions and the handling of its requests (message 0x8035).
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "model/frame.h"
#include "render/governor.h"
#include "render/view_settings.h"

namespace zelvor {

class CPerformance;
class MessageTarget;
class NamedEvent;

class CGovernorBinding {
public:
    /// `settings` must outlive the binding; the measurement waits for `surfaceIdle` before it starts.
    CGovernorBinding(C3DViewSettings& settings, std::shared_ptr<NamedEvent> surfaceIdle);
    /// Stops and joins the governor.
    ~CGovernorBinding();
    CGovernorBinding(const CGovernorBinding&) = delete;
    CGovernorBinding& operator=(const CGovernorBinding&) = delete;

    /// Guards the detail settings that the governor thread saves and restores (recursive: a paint holds it
    /// while the drawing reads the render quality).
    std::recursive_mutex& Lock() const { return lock_; }

    /// New contents: a running governor is stopped and joined, the events of the document labelled `label`
    /// are opened, then the abort and finished flags are cleared.
    void Restart(const std::string& label);
    /// The display lists are being compiled: a measurement waits until EndCompiles.
    void BeginCompiles();
    /// The compiles are over: a waiting measurement goes on.
    void EndCompiles();
    /// True while a measurement runs (no surface computation may start then).
    bool IsMeasuring() const;
    /// The document's first surface state was set up (a file was loaded).
    void MarkSurfaceStateReady() { surfaceStateReady_ = true; }
    /// Starts the governor when the start conditions hold. `shown` is the frame shown (null: none with atoms).
    void StartIfDue(bool animating, bool frameLoadable, const Frame* shown);
    /// Applies one request of the governor thread on the user-interface thread; returns 1.
    int OnSetSceneTesselation(int kind, int amount, bool fullScreen);
    /// `optimiseTessellation` was switched: off releases a measurement waiting for a compile (the governor
    /// then sees the switch and ends); on clears the finished flag so that the next paint may start it again.
    void OnOptimiseSwitched(bool on);
    /// Stops the governor at its next check and wakes it from its measuring pauses.
    void Abort();
    /// The view goes: stops the governor and releases a measurement that waits for a compile.
    void Stop();
    /// Joins a governor thread that was started.
    void Join();

    /// True while the governor thread works.
    bool IsRunning() const { return governor_->IsRunning(); }
    /// True from Abort until the next Restart.
    bool MustOptiPolygonThreadAbort() const { return governor_->MustOptiPolygonThreadAbort(); }
    /// Limits and passes used by the next governor run.
    void SetLimits(const GovernorLimits& limits) { governor_->SetLimits(limits); }
    /// Where the governor measures the program's processor share (none: every measurement gives -1.0).
    void SetPerformance(CPerformance* performance) { performance_ = performance; }
    /// Where the governor thread posts its requests (none: they are dropped).
    void SetMessageTarget(MessageTarget* target) { messageTarget_ = target; }
    /// Iso-surface vertices drawn by the last paint (the governor weighs surface against spheres by them).
    void SetSurfaceVerticesDrawn(std::int64_t vertices) { governor_->surfaceVertexCount = vertices; }
    /// A picture was drawn: counts it for the frame rate and lets a measurement that waits for the governor's
    /// last change to reach the screen go on.
    void FrameDrawn();
    /// Frames per second the animation may draw; 0: no limit.
    int FrameRateLimit() const { return governor_->FrameRateLimit(); }
    /// The governor itself.
    CTessellationGovernor& Governor() { return *governor_; }
    /// The overlay's status text after the last request.
    const std::string& StatusText() const { return status_; }

private:
    /// Measures with the events above; the sleeps end early when the governor is stopped.
    double Measure();
    /// Waits (at most two seconds, less when stopped) until the requests posted so far were applied and drawn.
    void WaitUntilDrawn();

    C3DViewSettings& settings_;
    mutable std::recursive_mutex lock_;
    std::shared_ptr<NamedEvent> surfaceIdle_;
    /// Reset while the display lists are compiled.
    std::shared_ptr<NamedEvent> displayListEvent_;
    /// Set while a measurement runs.
    std::shared_ptr<NamedEvent> cpuPerformanceEvent_;
    /// Signalled while the governor must stop: wakes it from its measuring pauses.
    std::shared_ptr<NamedEvent> abort_;
    CPerformance* performance_ = nullptr;
    MessageTarget* messageTarget_ = nullptr;
    bool surfaceStateReady_ = false;
    std::string status_;
    /// Requests posted by the governor thread, applied by the user-interface thread, and applied when the
    /// last picture was drawn: a measurement of a change starts once the change is on the screen.
    std::mutex drawnLock_;
    std::condition_variable drawnChanged_;
    std::uint64_t posted_ = 0;   // guarded by drawnLock_
    std::uint64_t applied_ = 0;  // user-interface thread
    std::uint64_t drawn_ = 0;    // guarded by drawnLock_
    /// Last: its thread uses everything above, so it is stopped and joined first.
    std::unique_ptr<CTessellationGovernor> governor_;
};

}  // namespace zelvor
