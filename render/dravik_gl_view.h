#pragma once
/// CDravikGLView: draws the document's current frame with OpenGL 1.x and turns mouse input into camera
/// changes. It needs only a current context of the client size; whoever owns the window (a Qt surface,
/// an off-screen context) calls OnSize, Paint and the mouse handlers.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "model/dravik_doc.h"
#include "render/governor.h"
#include "render/marching_cubes.h"
#include "render/text_engine.h"
#include "render/view_settings.h"

namespace zelvor {

class NamedEvent;
class MessageTarget;
class CPerformance;

/// A viewport with the projection and modelview matrices in force when it was captured.
struct TransformSet {
    int viewport[4] = {0, 0, 1, 1};
    double projection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    double modelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

/// One tube display list shared by the bonds of one key.
struct BondDisplayList {
    unsigned int name = 0;
};

/// How often each compile did real work (a paint with nothing changed adds nothing).
struct CompileCounts {
    int atomLists = 0;
    int bondLists = 0;   ///< bond compiles (one pass over all bonds)
    int sceneLists = 0;
};

/// Mouse button state passed with a move: the buttons held and whether Shift is down.
enum MouseFlags : unsigned { MOUSE_LEFT = 1, MOUSE_RIGHT = 2, MOUSE_SHIFT = 4 };

class CDravikGLView : public CDocObserver {
public:
    /// Registers with the document. transientSettings: defaults only, never loaded nor saved (tools, tests).
    explicit CDravikGLView(CDravikDoc* doc, bool transientSettings = false);
    ~CDravikGLView() override;
    CDravikGLView(const CDravikGLView&) = delete;
    CDravikGLView& operator=(const CDravikGLView&) = delete;

    // --- life cycle -------------------------------------------------------------------------------
    /// First show: settings start values, named events, hint 124, surface engine.
    void OnInitialUpdate();
    /// Client size changed; sizes below 1 change nothing.
    void OnSize(int cx, int cy);
    /// One paint: the governor's chance, then the scene (the caller's context must be current).
    void Paint();
    void OnUpdate(int hint) override;
    /// Stops and joins the surface worker, deletes this view's display lists (needs the context current).
    void OnDestroy();

    // --- drawing ----------------------------------------------------------------------------------
    void DrawScene();
    void Update3DViewPort();
    /// Camera for the loaded molecule: eye on +z at three cell widths.
    void PrepareScene();
    void SetFixedGLState();
    void CompileAtomDisplayList();
    void CompileBondDisplayList();
    void CompileDisplayList(int onlyIfChanged) override;
    void CompileGlyphDisplayLists();
    /// The bond key: both element symbols and the length * 20 truncated ("%s%s%d").
    static std::string GetLengthPairLabels(double length, const Atom& first, const Atom& second);
    void DrawLine(const Vector& from, const Vector& to);
    void ClipFeatureWithEnabledPlanes(const std::int32_t switches[6]);
    void DisableClipPlanes();
    void ImposeTrackBall_EulerRotation();
    void UndoTrackBall_EulerRotation();
    /// Farthest and nearest window depth of the current frame's atoms (model set).
    void GetZbufferRange(double& farthest, double& nearest) const;
    /// Folds trackball and Euler rotations back into phi, theta, psi.
    void GetCurrentEulerAngles();
    /// a in [0, 360) with 0.01 degree resolution.
    static double NormaliseAngle(double a);
    /// The angle in degrees whose cosine is c and sine s, normalised.
    static double ResolveAmbiguousAngle(double c, double s);
    /// The up vector that DrawScene gives gluLookAt for this eye.
    static Vector UpVectorFor(const Vector& eye);
    void OutputGlError(const char*) {}

    // --- settings ---------------------------------------------------------------------------------
    C3DViewSettings* Get3DViewSettings() { return settings_.get(); }
    void Set3DViewSettings(const C3DViewSettings& s) { *settings_ = s; }
    void SetRenderQuality(int quality);
    int GetRenderQuality() const;

    // --- mouse (window coordinates, y downwards) ---------------------------------------------------
    void OnLButtonDown(int x, int y, bool shift = false);
    void OnMouseMove(int x, int y, unsigned flags);
    void OnLButtonUp(int x, int y);
    void OnRButtonDown(int x, int y);
    void OnRButtonUp(int x, int y);
    void OnLButtonDblClk(int x, int y);

    // --- iso-surfaces -----------------------------------------------------------------------------
    /// Worker body: builds the frame's surface, then posts the done message.
    void CalcIsoSurfaceThread(int frame);
    /// Done message (0x8031): joins the worker and clears the running flag.
    void OnIsoSurfaceDone();
    /// Headless callers: waits for a running worker and handles its completion.
    void WaitForSurfaceWorker();
    bool IsSurfaceRunning() const { return surfaceRunning_.load(); }
    bool IsSurfaceComputed(int frame) const;
    /// Set by the document's owner when the contents are about to be replaced.
    std::atomic<bool>& SurfaceStopFlag() { return surfaceStop_; }
    CMarchingCubes& MarchingCubes() { return marchingCubes_; }
    /// Where the worker posts its done message (none: the caller waits with WaitForSurfaceWorker).
    void SetMessageTarget(MessageTarget* target) { messageTarget_ = target; }

    // --- state for the window owner and tests -----------------------------------------------------
    const CompileCounts& Counts() const { return counts_; }
    const TransformSet& CameraSet() const { return cameraSet_; }
    const TransformSet& RotationSet() const { return rotationSet_; }
    const TransformSet& ModelSet() const { return modelSet_; }
    double Distance() const { return distance_; }
    double TrackballAngle() const { return trackballAngle_; }
    const Vector& TrackballAxis() const { return trackballAxis_; }
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    std::size_t BondListCount() const { return bondLists_.size(); }
    const std::map<std::string, BondDisplayList>& BondLists() const { return bondLists_; }
    unsigned int SceneList() const { return sceneList_; }
    void SetFullScreenMode(bool on) { fullScreen_ = on; }
    // --- tessellation governor ----------------------------------------------------------------------
    /// True while the tessellation governor's thread works (tested without waiting).
    bool IsGovernorRunning() const;
    /// Where the governor measures the program's processor share (none: every measurement gives -1.0).
    void SetPerformance(CPerformance* performance) { performance_ = performance; }
    /// Limits and passes used by the next governor run.
    void SetGovernorLimits(const GovernorLimits& limits) { governor_->SetLimits(limits); }
    /// Starts the governor when the start conditions hold (at every paint).
    virtual void SaveQualityForSpeed();
    /// Applies one request of the governor thread (window message 0x8035); returns 1.
    int OnSetSceneTesselation(int kind, int amount);
    /// The document is about to replace its contents, or the view goes: the governor stops.
    void AbortGovernor();
    bool MustOptiPolygonThreadAbort() const { return governor_->MustOptiPolygonThreadAbort(); }
    /// Lets a finished governor search again (the tessellation switch was toggled).
    void ClearGovernorFinished() { governor_->ClearFinished(); }
    CTessellationGovernor& Governor() { return *governor_; }
    const std::string& GovernorStatusText() const { return governorStatus_; }
    /// One animation step changed the camera: recompute the viewport and repaint everything.
    void OnAnimationStep();

    // --- hooks of later work (do nothing until it exists) ---------------------------------------
    /// Asks the window owner for a repaint (any thread must not call it; the UI thread does).
    std::function<void()> requestRepaint;
    /// Makes the owner's context current; false when it cannot.
    std::function<bool()> makeContextCurrent;
    /// Frame window caption.
    std::function<void(const std::string&)> setFrameWindowText;
    /// Whether an animation dialog animates this view (the governor runs only then).
    virtual bool IsAnimating() const { return false; }
    virtual void UpdatePollingFrequency() {}
    virtual void OnTimer(int /*timerId*/) {}
    virtual void ApplyPredefinedAnimation(int /*animation*/) {}
    virtual void RefreshAnimationDialog() {}
    virtual void RefreshCameraPage() {}

private:
    bool HasFrameToShow() const;
    bool HasAtoms() const;
    bool EnsureContext();
    void Repaint();
    void ApplyProjection(double nearPlane, double farPlane, double farForAxes, bool forAxes);
    void DrawIsoSurface(int frame);
    void StartIsoSurface(int frame);
    void DrawAxes();
    void DrawTextOverlay();
    void ResetSurfaceFlags();
    void ReleaseElementLists();
    /// Rotation part only (trackball then Euler), as a column-major matrix.
    void RotationMatrix(double m[16]) const;

    CDravikDoc* doc_;
    std::unique_ptr<C3DViewSettings> settings_;
    bool storedSettingsFound_ = false;
    CTextEngine textEngine_;
    CMarchingCubes marchingCubes_;

    // Projection.
    double aspect_ = 1.0;
    double distance_ = 0.0, near_ = 0.1, far_ = 100.0;
    int clientWidth_ = 0, clientHeight_ = 0;
    TransformSet cameraSet_, rotationSet_, modelSet_;

    // Trackball and mouse.
    int mouseDownX_ = 0, mouseDownY_ = 0;
    int downWidth_ = 0, downHeight_ = 0;
    Vector trackballAxis_;
    double trackballAngle_ = 0.0;
    Vector eyeAtRightDown_;
    Vector aimAtDown_;
    double originWindowDepth_ = 0.0;
    TransformSet panSet_;
    bool leftCaptured_ = false, rightCaptured_ = false;

    // Display lists and their change memory.
    double lastAtomScale_ = -1.0;
    int lastRenderQuality_ = 0;
    double lastBondSize_ = -1.0, lastMaxBondLength_ = -1.0;
    int lastTubeSlices_ = 0, lastTubeStacks_ = 0;
    int lastSceneFrame_ = -1;
    unsigned int sceneList_ = 0;
    unsigned int glyphBase_ = 0;
    bool glyphsTried_ = false;
    /// Sphere list of each element row, unselected [0] and selected [1]; names of this view's context.
    std::array<std::array<unsigned int, ELEMENT_COUNT>, 2> elementLists_{};
    std::map<std::string, BondDisplayList> bondLists_;
    CompileCounts counts_;

    // Iso-surfaces.
    /// Per frame: the worker's last outcome, so that a refused surface is not retried at every paint.
    enum SurfaceState : signed char { SURFACE_NONE = 0, SURFACE_COMPUTED = 1, SURFACE_REFUSED = -1 };
    std::unique_ptr<std::atomic<signed char>[]> surfaceState_;
    std::unique_ptr<double[]> surfaceDistanceOf_, surfaceStepOf_;
    std::atomic<bool> surfaceRunning_{false};
    std::atomic<bool> surfaceStop_{false};
    bool surfaceNeedsInit_ = false;
    std::mutex surfaceStartLock_;
    std::thread surfaceWorker_;
    MessageTarget* messageTarget_ = nullptr;

    // Events shared with the governor, and overlay state.
    std::shared_ptr<NamedEvent> displayListEvent_, cpuPerformanceEvent_;
    bool fullScreen_ = false;
    std::string governorStatus_;
    bool destroyed_ = false;

    // Tessellation governor.
    void CreateGovernor();
    /// Measures with the events above; the sleeps end early when the governor is stopped.
    double MeasureForGovernor();
    /// New contents: a running governor is stopped and joined, then abort and finished flags are cleared.
    void RestartGovernor();
    std::unique_ptr<CTessellationGovernor> governor_;
    CPerformance* performance_ = nullptr;
    /// Set once hint 122 has set up the document's first surface state.
    bool surfaceStateReady_ = false;
    /// Signalled while the governor must stop: wakes it from its measuring pauses.
    std::shared_ptr<NamedEvent> governorAbort_;
    /// Signalled while no surface worker runs.
    std::shared_ptr<NamedEvent> surfaceIdle_;
    /// Iso-surface vertices drawn by the last DrawScene.
    std::int64_t surfaceVerticesDrawn_ = 0;
};

}  // namespace zelvor
