#include "render/view_camera.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace zelvor {

namespace {

constexpr double DEG = 180.0 / M_PI;

/// out = a * b for column-major 4x4 matrices.
void Multiply(const double a[16], const double b[16], double out[16]) {
    double r[16];
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[col * 4 + k];
            r[col * 4 + row] = sum;
        }
    std::copy(r, r + 16, out);
}

/// The matrix glRotated(angle, x, y, z) multiplies by.
void Rotation(double angleDegrees, double x, double y, double z, double m[16]) {
    std::fill(m, m + 16, 0.0);
    m[0] = m[5] = m[10] = m[15] = 1.0;
    const double len = std::sqrt(x * x + y * y + z * z);
    if (len == 0.0) return;
    x /= len, y /= len, z /= len;
    const double c = std::cos(angleDegrees / DEG), s = std::sin(angleDegrees / DEG), t = 1.0 - c;
    m[0] = x * x * t + c, m[4] = x * y * t - z * s, m[8] = x * z * t + y * s;
    m[1] = y * x * t + z * s, m[5] = y * y * t + c, m[9] = y * z * t - x * s;
    m[2] = z * x * t - y * s, m[6] = z * y * t + x * s, m[10] = z * z * t + c;
}

}  // namespace

bool CViewCamera::SetClientSize(int cx, int cy) {
    if (cx < 1 || cy < 1) return false;
    clientWidth_ = cx;
    clientHeight_ = cy;
    aspect_ = static_cast<double>(cx) / cy;
    return true;
}

void CViewCamera::ApplyProjection(double nearPlane, double farPlane, double distance) const {
    const C3DViewSettings& s = settings_;
    if (s.perspective == 1) {
        gluPerspective(s.fieldOfView, aspect_, nearPlane, farPlane);
    } else {
        const double h = std::sin(M_PI * s.fieldOfView / 360.0) * distance;
        glOrtho(-h * aspect_, h * aspect_, -h, h, nearPlane, farPlane);
    }
}

void CViewCamera::SetDepthRange(double cellWidth) {
    distance_ = Length(settings_.eye);
    near_ = distance_ - cellWidth;
    far_ = distance_ + cellWidth;
    if (near_ <= 0.1) near_ = 0.1;
}

void CViewCamera::LoadProjection() const {
    const C3DViewSettings& s = settings_;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    ApplyProjection(near_, far_, distance_);
    glMatrixMode(GL_MODELVIEW);

    if (s.farVisibility < 0.99) {
        const float fogColour[4] = {s.background[0], s.background[1], s.background[2], 0.0f};
        const double v = s.farVisibility;
        glEnable(GL_FOG);
        glFogfv(GL_FOG_COLOR, fogColour);
        glFogf(GL_FOG_START, static_cast<float>(near_));
        glFogf(GL_FOG_END, static_cast<float>((far_ - v * near_) / (1.0 - v)));
        glFogi(GL_FOG_MODE, GL_LINEAR);
    } else {
        glDisable(GL_FOG);
    }
}

void CViewCamera::PrepareScene(double width) {
    C3DViewSettings& s = settings_;
    s.eye = Vector(0.0, 0.0, 3.0 * width);
    s.aim = Vector(0.0, 0.0, 0.0);
    s.homeEye = s.eye;
    s.fieldOfView = std::atan2(0.5 * width, 3.0 * width) * 540.0 / M_PI;
}

Vector CViewCamera::UpVectorFor(const Vector& eye) {
    const auto cosine = [&](const Vector& up) {
        const double lengths = Length(up) * Length(eye);
        return lengths > 0.0 ? (up * eye) / lengths : 0.0;
    };
    Vector up(eye.y, eye.z, eye.x);
    if (cosine(up) > 0.99) {
        if (eye.z == 0.0) up = Vector(0, 0, 1);
        if (eye.y == 0.0) up = Vector(0, 1, 0);
        if (eye.x == 0.0) up = Vector(1, 0, 0);
        // On the (1, 1, 1) diagonal no component is 0 and the rotated vector is the eye itself, which
        // collapses gluLookAt's frame and blanks the picture: take the axis least along the eye instead.
        if (cosine(up) > 0.99) {
            const double ax = std::fabs(eye.x), ay = std::fabs(eye.y), az = std::fabs(eye.z);
            if (ax <= ay && ax <= az)
                up = Vector(1, 0, 0);
            else if (ay <= az)
                up = Vector(0, 1, 0);
            else
                up = Vector(0, 0, 1);
        }
    }
    return up;
}

void CViewCamera::LookAt() const {
    const C3DViewSettings& s = settings_;
    const Vector up = UpVectorFor(s.eye);
    gluLookAt(s.eye.x, s.eye.y, s.eye.z, s.aim.x, s.aim.y, s.aim.z, up.x, up.y, up.z);
}

void CViewCamera::ImposeTrackBall_EulerRotation() const {
    const C3DViewSettings& s = settings_;
    glRotated(trackballAngle_, trackballAxis_.x, trackballAxis_.y, trackballAxis_.z);
    glRotated(s.phi, 0.0, 0.0, 1.0);
    glRotated(s.theta, 1.0, 0.0, 0.0);
    glRotated(s.psi, 0.0, 0.0, 1.0);
}

void CViewCamera::UndoTrackBall_EulerRotation() const {
    const C3DViewSettings& s = settings_;
    glRotated(-s.psi, 0.0, 0.0, 1.0);
    glRotated(-s.theta, 1.0, 0.0, 0.0);
    glRotated(-s.phi, 0.0, 0.0, 1.0);
    glRotated(-trackballAngle_, trackballAxis_.x, trackballAxis_.y, trackballAxis_.z);
}

void CViewCamera::RotationMatrix(double m[16]) const {
    const C3DViewSettings& s = settings_;
    double r[16];
    Rotation(trackballAngle_, trackballAxis_.x, trackballAxis_.y, trackballAxis_.z, m);
    Rotation(s.phi, 0, 0, 1, r);
    Multiply(m, r, m);
    Rotation(s.theta, 1, 0, 0, r);
    Multiply(m, r, m);
    Rotation(s.psi, 0, 0, 1, r);
    Multiply(m, r, m);
}

double CViewCamera::NormaliseAngle(double a) {
    if (!std::isfinite(a)) return 0.0;
    a = std::fmod(std::trunc(a * 100.0), 36000.0) * 0.01;
    if (a < 0.0) a += 360.0;
    return a + 0.0;  // no negative zero
}

double CViewCamera::ResolveAmbiguousAngle(double c, double s) {
    // Rounding can put the terms a hair outside [-1, 1], where acos and asin have no value.
    c = std::clamp(c, -1.0, 1.0);
    s = std::clamp(s, -1.0, 1.0);
    double radians;
    if (s >= 0.0)
        radians = std::acos(c);
    else if (c >= 0.0)
        radians = std::asin(s);
    else
        radians = 2.0 * M_PI - std::acos(c);
    return radians == 0.0 ? 0.0 : NormaliseAngle(radians * DEG);
}

void CViewCamera::GetCurrentEulerAngles() {
    // The same matrix the paint captures as the rotation set, computed here so that the read-back does not
    // depend on a paint having happened since the last mouse move.
    double m[16];
    RotationMatrix(m);
    std::copy(m, m + 16, rotationSet_.modelview);
    C3DViewSettings& s = settings_;
    s.theta = NormaliseAngle(std::acos(std::clamp(m[10], -1.0, 1.0)) * DEG);
    if (s.theta == 0.0) {
        s.psi = 0.0;
        s.phi = ResolveAmbiguousAngle(m[5], m[1]);
    } else {
        const double sine = std::sin(s.theta / DEG);
        s.psi = ResolveAmbiguousAngle(m[6] / sine, m[2] / sine);
        s.phi = ResolveAmbiguousAngle(-m[9] / sine, m[8] / sine);
    }
}

namespace {
void Capture(TransformSet& set) {
    glGetIntegerv(GL_VIEWPORT, set.viewport);
    glGetDoublev(GL_PROJECTION_MATRIX, set.projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, set.modelview);
}
}  // namespace

void CViewCamera::CaptureCameraSet() { Capture(cameraSet_); }

void CViewCamera::CaptureRotationSet() {
    glPushMatrix();
    glLoadIdentity();
    ImposeTrackBall_EulerRotation();
    Capture(rotationSet_);
    glPopMatrix();
}

void CViewCamera::CaptureModelSet() { Capture(modelSet_); }

// --- mouse: left drag turns (trackball), Shift + left drag pans, right drag zooms ------------------

void CViewCamera::OnLButtonDown(int x, int y) {
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
    panSet_ = cameraSet_;
}

CameraChange CViewCamera::OnMouseMove(int x, int y, unsigned flags) {
    const bool left = (flags & MOUSE_LEFT) != 0, right = (flags & MOUSE_RIGHT) != 0;
    C3DViewSettings& s = settings_;
    if (left && !right && leftCaptured_) {
        const double dx = x - mouseDownX_, dy = y - mouseDownY_;
        if ((flags & MOUSE_SHIFT) != 0) {
            double ax = 0.0, ay = 0.0, az = 0.0;
            if (gluUnProject(downWidth_ / 2.0 - dx, downHeight_ / 2.0 + dy, originWindowDepth_, panSet_.modelview,
                             panSet_.projection, panSet_.viewport, &ax, &ay, &az) == GL_TRUE)
                s.aim = Vector(ax, ay, az);
        } else {
            const double distance = std::sqrt(s.eye * s.eye);
            if (distance == 0.0) return CameraChange::None;
            const Vector e = s.eye * (1.0 / distance);
            trackballAxis_ = Vector(e.y * dx + e.z * dy, e.z * dx + e.x * dy, e.y * dy + e.x * dx);
            trackballAngle_ = NormaliseAngle(std::sqrt(dx * dx + dy * dy));
        }
        return CameraChange::Turned;
    }
    if (right && rightCaptured_) {
        // A client of height 0 has no drag scale: the zoom waits for a real size.
        if (downHeight_ < 1) return CameraChange::None;
        const double factor = 1.0 - static_cast<double>(y - mouseDownY_) / downHeight_;
        s.eye = eyeAtRightDown_ * factor;
        return CameraChange::Zoomed;
    }
    return CameraChange::None;
}

bool CViewCamera::OnLButtonUp() {
    if (!leftCaptured_) return false;
    leftCaptured_ = false;
    if (trackballAxis_.x != 0.0 || trackballAxis_.y != 0.0 || trackballAxis_.z != 0.0) {
        GetCurrentEulerAngles();
        trackballAngle_ = 0.0;
    }
    return true;
}

void CViewCamera::OnRButtonDown(int x, int y) {
    rightCaptured_ = true;
    downWidth_ = clientWidth_;
    downHeight_ = clientHeight_;
    mouseDownX_ = x;
    mouseDownY_ = y;
    eyeAtRightDown_ = settings_.eye;
}

bool CViewCamera::OnRButtonUp() {
    if (!rightCaptured_) return false;
    rightCaptured_ = false;
    return true;
}

void CViewCamera::GetZbufferRange(const Frame& frame, double& farthest, double& nearest) const {
    farthest = -1.0;
    nearest = 1.0;
    for (int i = 1; i <= frame.atomCount; ++i) {
        const Vector& p = frame.atoms[i].position;
        double wx, wy, wz;
        if (gluProject(p.x, p.y, p.z, modelSet_.modelview, modelSet_.projection, modelSet_.viewport, &wx, &wy,
                       &wz) != GL_TRUE)
            continue;
        farthest = std::max(farthest, wz);
        nearest = std::min(nearest, wz);
    }
}

int CViewCamera::PickAtom(const Frame& frame, double atomScale, int x, int y) const {
    double farthest = 0.0, nearest = 0.0;
    GetZbufferRange(frame, farthest, nearest);
    if (nearest > farthest) return 0;
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
            if (d * d < r * r) return i;
        }
    }
    return 0;
}

}  // namespace zelvor
