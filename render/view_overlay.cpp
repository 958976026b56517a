// The view's overlay: the axes in the lower-left corner and the text lines.
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "render/dravik_gl_view.h"
#include "render/gl_drawing_helpers.h"

namespace zelvor {

void CDravikGLView::CompileGlyphDisplayLists() {
    if (glyphBase_ != 0 || glyphsTried_) return;
    // Without the font the letters are left out; looking for it again at every paint would not find it either.
    glyphsTried_ = true;
    glyphBase_ = CompileOutlineGlyphLists();
}

void CDravikGLView::DrawAxes() {
    const C3DViewSettings& s = *settings_;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glColor4d(1.0, 1.0, 1.0, 1.0);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_FOG);

    // The corner point is found in eye coordinates (identity modelview): the axes sit on the near plane
    // near the lower-left corner, turned like the molecule but not moved with it.
    const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    double projection[16];
    int viewport[4];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    double px = 0.0, py = 0.0, pz = 0.0;
    gluUnProject(50.0, 50.0, 0.0, identity, projection, viewport, &px, &py, &pz);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    // A zero near plane leaves perspective depth undefined (everything on the far plane, clipped or not by
    // rounding); half the scene's near distance keeps the corner point well inside.
    camera_.ApplyProjection(s.perspective == 1 ? camera_.Near() * 0.5 : 0.0, std::max(500.0, 2.0 * camera_.Far()),
                            camera_.Distance());
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslated(px, py, pz);
    double turn[16];
    std::copy(camera_.CameraSet().modelview, camera_.CameraSet().modelview + 16, turn);
    turn[12] = turn[13] = turn[14] = 0.0;
    glMultMatrixd(turn);

    const double length =
        s.perspective == 1 ? std::tan(M_PI * s.fieldOfView / 360.0) * pz * -0.1 : Length(s.eye) * 0.025;
    camera_.ImposeTrackBall_EulerRotation();
    glLineWidth(1.0f);
    struct Axis {
        double r, g, b;
        Vector tip;
        char letter;
    };
    const Axis axes[3] = {{1, 0, 0, Vector(length, 0, 0), 'X'},
                          {0, 1, 0, Vector(0, length, 0), 'Y'},
                          {0, 0, 1, Vector(0, 0, length), 'Z'}};
    for (const Axis& axis : axes) {
        glColor3d(axis.r, axis.g, axis.b);
        DrawLine(Vector(0, 0, 0), axis.tip);
        if (glyphBase_ == 0) continue;
        glPushMatrix();
        const Vector at = axis.tip * 1.1;
        glTranslated(at.x, at.y, at.z);
        // Letters face the viewer whatever the molecule's turn.
        camera_.UndoTrackBall_EulerRotation();
        glScaled(0.5 * length, 0.5 * length, 0.5 * length);
        glListBase(glyphBase_);
        glCallLists(1, GL_UNSIGNED_BYTE, &axis.letter);
        glPopMatrix();
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_FOG);
    glPopAttrib();
}

void CDravikGLView::DrawTextOverlay() {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    textEngine_.ortho();
    glColor3ub(255, 255, 255);
    const float width = static_cast<float>(camera_.ClientWidth()), height = static_cast<float>(camera_.ClientHeight());
    if (settings_->showInfoText == 1) {
        const Frame& frame = doc_->GetFrame(doc_->GetFrameNr());
        textEngine_.Write2Dtxt(5.0f, 10.0f, frame.comment ? frame.comment : "");
        if (fullScreen_) textEngine_.Write2Dtxt(width / 2.0f - 200.0f, height - 10.0f, doc_->GetPathName().c_str());
        const std::string& status = governor_.StatusText();
        if (!status.empty()) textEngine_.Write2Dtxt(width - 300.0f, 10.0f, status.c_str());
    }
    if (!cornerText_.empty()) textEngine_.Write2Dtxt(5.0f, height - 10.0f, cornerText_.c_str());
    textEngine_.perspective();
    glPopAttrib();
}

}  // namespace zelvor
