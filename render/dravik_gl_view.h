#pragma once
/// CDravikGLView: draws the document's current frame with OpenGL 1.x and turns mouse input into camera
/// changes. It needs only a current context of the client size; whoever owns the window (a Qt surface,
/// an off-screen context) calls OnSize, Paint and the mouse handlers, and may answer the view as its CViewHost.
/// The view keeps the life cycle and owns its parts: camera, scene lists, surface worker, governor binding.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "model/dravik_doc.h"
#include "render/governor_binding.h"
#include "render/scene_lists.h"
#include "render/surface_worker.h"
#include "render/text_engine.h"
#include "render/view_camera.h"
#include "render/view_host.h"
#include "render/view_settings.h"

namespace zelvor {

class CPerformance;
class MessageTarget;

class CDravikGLView : public CDocObserver {
public:
    /// Registers with the document. transientSettings: defaults only, never loaded nor saved (tools, tests).
    explicit CDravikGLView(CDravikDoc* doc, bool transientSettings = false);
    ~CDravikGLView() override;
    CDravikGLView(const CDravikGLView&) = delete;
    CDravikGLView& operator=(const CDravikGLView&) = delete;

    /// The window that shows this view (null: none; the host must outlive the view or be unset first).
    void SetHost(CViewHost* host) { host_ = host; }
    /// The document this view shows (may be null).
    CDravikDoc* GetDocument() const { return doc_; }
    /// Largest cell width of the frame shown; 0 without a document or a frame.
    double ShownCellWidth() const;
    /// True when the document holds volumetric data: iso-levels of its voxels instead of a molecular surface.
    bool ShowsVolumetricData() const;

    // --- life cycle -------------------------------------------------------------------------------
    /// First show: settings start values, named events, hint 124, surface engine.
    void OnInitialUpdate();
    /// Client size changed; sizes below 1 change nothing.
    void OnSize(int cx, int cy);
    /// One paint: the governor's chance, then the scene (the caller's context must be current).
    void Paint();
    /// Document hints: new data, frame changed, rotation done, file loaded, surface reset.
    void OnUpdate(int hint) override;
    /// Stops and joins the surface worker and the governor, deletes this view's display lists (needs the
    /// context current).
    void OnDestroy();
    /// Asks the host for a repaint.
    void Repaint();

    // --- drawing ----------------------------------------------------------------------------------
    /// Clears, places the camera, compiles what changed, calls the scene list, draws surface, axes and text.
    void DrawScene();
    /// Depth range of the current frame, then projection, fog and text scale (needs the context).
    void Update3DViewPort();
    /// Camera for the loaded molecule: eye on +z at three cell widths.
    void PrepareScene();
    /// Element sphere lists, when the atom scale or the render quality changed.
    void CompileAtomDisplayList();
    /// Bond tube lists of the current frame (bonds established first), when their settings changed.
    void CompileBondDisplayList();
    /// The scene list of the current frame; onlyIfChanged 0 compiles it in any case (selection changed).
    void CompileDisplayList(int onlyIfChanged) override;

    // --- settings ---------------------------------------------------------------------------------
    /// This view's settings record.
    C3DViewSettings* Get3DViewSettings() { return settings_.get(); }
    /// Sets the render quality (kept within 2..30) under the governor lock and repaints.
    void SetRenderQuality(int quality);
    /// The render quality, read under the governor lock.
    int GetRenderQuality() const;
    /// Runs `change` under this view's governor lock: for writes of the detail settings (render quality,
    /// atom size, surface step...) that the governor thread saves and restores.
    void ChangeDetailSettings(const std::function<void()>& change);

    // --- mouse (window coordinates, y downwards; the camera does the work) ------------------------
    /// Starts a turn, or with Shift held a pan (the move's flags say which).
    void OnLButtonDown(int x, int y, bool shift = false);
    /// A turn or pan repaints; a zoom updates every view of the document.
    void OnMouseMove(int x, int y, unsigned flags);
    /// Ends a left drag: the turn becomes Euler angles, every view hears of the rotation.
    void OnLButtonUp(int x, int y);
    /// Starts a zoom.
    void OnRButtonDown(int x, int y);
    /// Ends a zoom: every view hears of the rotation.
    void OnRButtonUp(int x, int y);
    /// Toggles the selection of the atom under the pointer.
    void OnLButtonDblClk(int x, int y);

    // --- iso-surfaces -----------------------------------------------------------------------------
    /// Done message (0x8031): joins the worker and repaints when it had been running.
    void OnIsoSurfaceDone();
    /// The document is about to free its frames: the governor stops, a running surface worker is stopped and
    /// joined; both start again for the next contents.
    void StopWorkerThreads() override;
    /// Headless callers: waits for a running worker and handles its completion.
    void WaitForSurfaceWorker() { OnIsoSurfaceDone(); }
    /// True while a surface computation runs or its done message is pending.
    bool IsSurfaceRunning() const { return surface_.IsRunning(); }
    /// Where the surface worker and the governor post (none: callers wait with WaitForSurfaceWorker).
    void SetMessageTarget(MessageTarget* target);
    /// Places the automatic iso-levels of volumetric data again (when they are switched on).
    void SetCubeDefaultIsolevels() { surface_.SetCubeDefaultIsolevels(); }

    // --- tessellation governor ----------------------------------------------------------------------
    /// Starts the governor when the start conditions hold (at every paint).
    void SaveQualityForSpeed();
    /// Applies one request of the governor thread (window message 0x8035); returns 1.
    int OnSetSceneTesselation(int kind, int amount);
    /// The document is about to replace its contents: the governor stops.
    void AbortGovernor() { governor_.Abort(); }
    /// True while the tessellation governor's thread works (tested without waiting).
    bool IsGovernorRunning() const { return governor_.IsRunning(); }
    /// Frames per second the governor lets the animation draw; 0: no limit.
    int FrameRateLimit() const { return governor_.FrameRateLimit(); }
    /// Where the governor measures the program's processor share (none: every measurement gives -1.0).
    void SetPerformance(CPerformance* performance) { governor_.SetPerformance(performance); }
    /// Limits and passes used by the next governor run.
    void SetGovernorLimits(const GovernorLimits& limits) { governor_.SetLimits(limits); }
    /// This view's governor.
    CTessellationGovernor& Governor() { return governor_.Governor(); }
    /// `optimiseTessellation` was switched: off releases a governor waiting to measure, so that it ends;
    /// on lets a finished governor start again.
    void OnOptimiseTessellationSwitched(bool on) { governor_.OnOptimiseSwitched(on); }
    /// Where each applied governor request is announced: the atom page (0x8036) and the surface page (0x8038),
    /// with the request's kind. Null: nobody. A target must be forgotten before it goes.
    void SetAtomPageTarget(MessageTarget* target) { atomPageTarget_ = target; }
    void SetSurfacePageTarget(MessageTarget* target) { surfacePageTarget_ = target; }
    /// Forgets `target` wherever it is registered (a page that goes, or turns to another view).
    void ForgetPageTarget(const MessageTarget* target);
    /// The governor status the overlay shows (full screen only).
    const std::string& GovernorStatusText() const { return governor_.StatusText(); }
    /// One animation step changed the camera: recompute the viewport and repaint everything.
    void OnAnimationStep();
    /// Full screen: the overlay shows the file name and the governor's status.
    void SetFullScreenMode(bool on) { fullScreen_ = on; }
    /// Text drawn in the picture's lower-left corner whatever the settings say (the --fps figures); empty: none.
    void SetCornerText(std::string text) { cornerText_ = std::move(text); }

    // --- the parts, read by the window owner, benchmarks and tests ---------------------------------
    /// Projection, rotations, transform sets and drag state.
    const CViewCamera& Camera() const { return camera_; }
    /// Display lists and their compile counts.
    const CSceneLists& Lists() const { return lists_; }
    /// Iso-surface states and worker.
    const CSurfaceWorker& Surface() const { return surface_; }

private:
    bool HasFrameToShow() const;
    bool HasAtoms() const;
    bool EnsureContext();
    void SetFixedGLState();
    void CompileGlyphDisplayLists();
    void DrawAxes();
    void DrawTextOverlay();

    CDravikDoc* doc_;
    CViewHost* host_ = nullptr;
    MessageTarget* atomPageTarget_ = nullptr;
    MessageTarget* surfacePageTarget_ = nullptr;
    std::unique_ptr<C3DViewSettings> settings_;
    bool storedSettingsFound_ = false;
    CTextEngine textEngine_;
    unsigned int glyphBase_ = 0;
    bool glyphsTried_ = false;
    bool fullScreen_ = false;
    bool destroyed_ = false;
    std::string cornerText_;

    CViewCamera camera_;
    CSceneLists lists_;
    /// Made before the governor binding, which measures by the worker's idle event.
    CSurfaceWorker surface_;
    CGovernorBinding governor_;
};

}  // namespace zelvor
