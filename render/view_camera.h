#pragma once
/// CViewCamera: one view's projection, eye and aim, trackball and Euler rotations, the transform sets
/// captured at each paint, and the camera changes that mouse drags make. Drawing calls need a current context.
#include "model/frame.h"
#include "model/vector.h"
#include "render/view_settings.h"

namespace zelvor {

/// A viewport with the projection and modelview matrices in force when it was captured.
struct TransformSet {
    int viewport[4] = {0, 0, 1, 1};
    double projection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    double modelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

/// Mouse button state passed with a move: the buttons held and whether Shift is down.
enum MouseFlags : unsigned { MOUSE_LEFT = 1, MOUSE_RIGHT = 2, MOUSE_SHIFT = 4 };

/// What a mouse move changed: the turn or aim (a repaint shows it) or the eye (every view must follow).
enum class CameraChange { None, Turned, Zoomed };

class CViewCamera {
public:
    /// `settings` hold eye, aim, angles and projection switches; they must outlive the camera.
    explicit CViewCamera(C3DViewSettings& settings) : settings_(settings) {}

    // --- projection -------------------------------------------------------------------------------
    /// Records the client size; false (nothing recorded) when either side is below 1.
    bool SetClientSize(int cx, int cy);
    /// Client size in pixels, as last recorded.
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    /// Eye distance from the origin, and near and far planes one cell width nearer and farther (near >= 0.1).
    void SetDepthRange(double cellWidth);
    /// Loads the projection for the depth range and sets the fog by the far visibility.
    void LoadProjection() const;
    /// Multiplies the current matrix by the perspective or orthographic projection.
    void ApplyProjection(double nearPlane, double farPlane, double distance) const;
    /// Eye on +z at three cell widths, aim at the origin, that eye as home, a field of view that fits.
    void PrepareScene(double cellWidth);
    /// Eye distance and near and far planes of the projection.
    double Distance() const { return distance_; }
    void SetDistance(double distance) { distance_ = distance; }
    double Near() const { return near_; }
    double Far() const { return far_; }

    // --- placement and rotations --------------------------------------------------------------------
    /// gluLookAt from the eye to the aim with UpVectorFor(eye).
    void LookAt() const;
    /// Multiplies the current matrix by the trackball, then the Euler rotations (phi, theta, psi).
    void ImposeTrackBall_EulerRotation() const;
    /// Multiplies the current matrix by the inverse of ImposeTrackBall_EulerRotation.
    void UndoTrackBall_EulerRotation() const;
    /// Folds trackball and Euler rotations back into phi, theta, psi.
    void GetCurrentEulerAngles();
    /// a in [0, 360) with 0.01 degree resolution.
    static double NormaliseAngle(double a);
    /// The angle in degrees whose cosine is c and sine s, normalised.
    static double ResolveAmbiguousAngle(double c, double s);
    /// The up vector that LookAt gives gluLookAt for this eye.
    static Vector UpVectorFor(const Vector& eye);
    /// The turn of the left drag in progress (angle 0 once it has been folded into the Euler angles).
    double TrackballAngle() const { return trackballAngle_; }
    const Vector& TrackballAxis() const { return trackballAxis_; }

    // --- transform sets ------------------------------------------------------------------------------
    /// Captures the current matrices after LookAt: the camera set (panning unprojects with it).
    void CaptureCameraSet();
    /// Captures the rotation alone, on an identity modelview; the current matrix is left as it was.
    void CaptureRotationSet();
    /// Captures the current matrices with the rotations imposed: the model set (picking projects with it).
    void CaptureModelSet();
    /// The sets captured by the last paint.
    const TransformSet& CameraSet() const { return cameraSet_; }
    const TransformSet& RotationSet() const { return rotationSet_; }

    // --- mouse (window coordinates, y downwards) ---------------------------------------------------
    /// Starts a left drag: a turn, or with Shift a pan.
    void OnLButtonDown(int x, int y);
    /// Follows a drag: left turns or pans, right moves the eye along its line.
    CameraChange OnMouseMove(int x, int y, unsigned flags);
    /// True when a left drag ended (the rotation is then folded into the angles).
    bool OnLButtonUp();
    /// Starts a right drag (zoom).
    void OnRButtonDown(int x, int y);
    /// True when a right drag ended.
    bool OnRButtonUp();
    /// Farthest and nearest window depth of the frame's atoms (model set).
    void GetZbufferRange(const Frame& frame, double& farthest, double& nearest) const;
    /// The atom (1-based) that the ray through window point (x, y) meets first; 0 for none.
    int PickAtom(const Frame& frame, double atomScale, int x, int y) const;

private:
    /// Rotation part only (trackball then Euler), as a column-major matrix.
    void RotationMatrix(double m[16]) const;

    C3DViewSettings& settings_;
    double aspect_ = 1.0;
    double distance_ = 0.0, near_ = 0.1, far_ = 100.0;
    int clientWidth_ = 0, clientHeight_ = 0;
    TransformSet cameraSet_, rotationSet_, modelSet_;

    int mouseDownX_ = 0, mouseDownY_ = 0;
    int downWidth_ = 0, downHeight_ = 0;
    Vector trackballAxis_;
    double trackballAngle_ = 0.0;
    Vector eyeAtRightDown_;
    double originWindowDepth_ = 0.0;
    TransformSet panSet_;
    bool leftCaptured_ = false, rightCaptured_ = false;
};

}  // namespace zelvor
