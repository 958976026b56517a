#include "render/dravik_gl_view.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "model/locks.h"
#include "platform/named_event.h"

namespace zelvor {

CDravikGLView::CDravikGLView(CDravikDoc* doc, bool transientSettings)
    : doc_(doc),
      settings_(transientSettings ? std::make_unique<C3DViewSettings>(C3DViewSettings::Transient{})
                                  : std::make_unique<C3DViewSettings>()),
      surfaceState_(new std::atomic<signed char>[MAX_FRAMES]),
      surfaceDistanceOf_(new double[MAX_FRAMES]),
      surfaceStepOf_(new double[MAX_FRAMES]) {
    storedSettingsFound_ = settings_->persistent && settings_->loaded && !settings_->loadFailed;
    ResetSurfaceFlags();
    CreateGovernor();
    if (doc_) doc_->AddObserver(this);
}

CDravikGLView::~CDravikGLView() { OnDestroy(); }

void CDravikGLView::OnDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    // The governor waits for compiles and sleeps between measurements: wake it before joining it.
    AbortGovernor();
    if (displayListEvent_) displayListEvent_->Set();
    // The worker reads the document and this view: it must end before either goes.
    surfaceStop_.store(true);
    if (surfaceWorker_.joinable()) surfaceWorker_.join();
    surfaceRunning_.store(false);
    surfaceIdle_->Set();
    governor_->Join();
    if (doc_) {
        doc_->RemoveObserver(this);
        doc_->WantBonds(false);
    }
    // Lists belong to the context: delete them only when it is still current.
    if (glGetString(GL_VERSION) != nullptr) {
        if (glyphBase_ != 0) DeleteGlyphLists(glyphBase_);
        ReleaseElementLists();
        for (auto& [key, list] : bondLists_)
            if (list.name != 0) glDeleteLists(list.name, 1);
        if (sceneList_ != 0) glDeleteLists(sceneList_, 1);
    } else {
        elementLists_ = {};  // the context is gone, and the names with it
    }
    glyphBase_ = sceneList_ = 0;
    bondLists_.clear();
    marchingCubes_.Release();
}

bool CDravikGLView::HasFrameToShow() const {
    return doc_ && (doc_->GetFrameCount() > 0 || doc_->IsNewDoc()) && doc_->GetFrameNr() < doc_->GetFrameCount();
}

bool CDravikGLView::HasAtoms() const {
    return doc_ && doc_->GetFrameNr() < doc_->GetFrameCount() && doc_->GetFrame(doc_->GetFrameNr()).atomCount > 0;
}

void CDravikGLView::Repaint() {
    if (requestRepaint) requestRepaint();
}

void CDravikGLView::OnInitialUpdate() {
    InitSettings(settings_.get());
    if (!doc_) return;
    if (!storedSettingsFound_) PrepareScene();
    const std::string label = doc_->GetGUIDstr();
    displayListEvent_ = NamedEvent::Create("DisplayListevent_" + label, NamedEvent::ResetMode::Manual, false);
    cpuPerformanceEvent_ = NamedEvent::Create("CPUperformanceevent_" + label, NamedEvent::ResetMode::Manual, false);
    RestartGovernor();
    doc_->UpdateAllViews(HINT_NEW_DATA);
    UpdatePollingFrequency();
    marchingCubes_.ClearVertexArrays();
    ResetSurfaceFlags();
    marchingCubes_.Initialise(doc_, settings_.get(), &surfaceStop_);
    if (setFrameWindowText) setFrameWindowText("Zelvor, Molecular Screensaver");
}

void CDravikGLView::OnSize(int cx, int cy) {
    if (cx < 1 || cy < 1) return;
    clientWidth_ = cx;
    clientHeight_ = cy;
    aspect_ = static_cast<double>(cx) / cy;
    if (!EnsureContext()) return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    if (HasFrameToShow()) {
        Update3DViewPort();
        glViewport(0, 0, cx, cy);
        SetFixedGLState();
    }
}

void CDravikGLView::SetFixedGLState() {
    const C3DViewSettings& s = *settings_;
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    glEnable(GL_COLOR_MATERIAL);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    if (s.smoothLines == 1) {
        glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
        glHint(GL_POINT_SMOOTH_HINT, GL_NICEST);
        glEnable(GL_LINE_SMOOTH);
        glEnable(GL_POINT_SMOOTH);
    } else {
        glDisable(GL_LINE_SMOOTH);
        glDisable(GL_POINT_SMOOTH);
    }
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    const float specular[4] = {static_cast<float>(s.materialSpecular), static_cast<float>(s.materialSpecular),
                               static_cast<float>(s.materialSpecular), 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    // Only the first component of the shininess is read; the four mirror the specular form.
    const float shininess[4] = {static_cast<float>(s.shininess), static_cast<float>(s.shininess),
                                static_cast<float>(s.shininess), 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, s.globalAmbient);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, s.localViewer);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, s.twoSidedLighting);
    const float ambient[4] = {s.lightColour[0] * static_cast<float>(s.ambientFactor),
                              s.lightColour[1] * static_cast<float>(s.ambientFactor),
                              s.lightColour[2] * static_cast<float>(s.ambientFactor), s.lightColour[3]};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, s.lightColour);
    glLightfv(GL_LIGHT0, GL_SPECULAR, s.lightSpecular);
}

void CDravikGLView::Paint() {
    // The governor thread saves and restores the detail settings that drawing reads.
    std::lock_guard lock(GovernorLock());
    SaveQualityForSpeed();
    if (!EnsureContext()) return;
    DrawScene();
}

void CDravikGLView::CompileGlyphDisplayLists() {
    if (glyphBase_ != 0 || glyphsTried_) return;
    // Without the font the letters are left out; looking for it again at every paint would not find it either.
    glyphsTried_ = true;
    glyphBase_ = CompileOutlineGlyphLists();
}

namespace {
void Capture(TransformSet& set) {
    glGetIntegerv(GL_VIEWPORT, set.viewport);
    glGetDoublev(GL_PROJECTION_MATRIX, set.projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, set.modelview);
}
}  // namespace

void CDravikGLView::DrawScene() {
    C3DViewSettings& s = *settings_;
    glClearColor(s.background[0], s.background[1], s.background[2], 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    if (!HasFrameToShow() || !HasAtoms()) return;
    const int frameNr = doc_->GetFrameNr();
    surfaceVerticesDrawn_ = 0;
    // The loader bonds the frames it reads only while a view shows bonds.
    doc_->WantBonds(s.showBonds != 0);

    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, static_cast<GLenum>(s.polygonMode));

    const Vector up = UpVectorFor(s.eye);
    gluLookAt(s.eye.x, s.eye.y, s.eye.z, s.aim.x, s.aim.y, s.aim.z, up.x, up.y, up.z);

    glPushMatrix();
    Capture(cameraSet_);
    for (int i = 0; i < 6; ++i)
        if (s.clipPlaneFixed[i] == 1) glClipPlane(GL_CLIP_PLANE0 + i, s.clipPlane[i]);
    glPushMatrix();
    glLoadIdentity();
    ImposeTrackBall_EulerRotation();
    Capture(rotationSet_);
    glPopMatrix();
    ImposeTrackBall_EulerRotation();
    Capture(modelSet_);
    for (int i = 0; i < 6; ++i)
        if (s.clipPlaneFixed[i] == 0) glClipPlane(GL_CLIP_PLANE0 + i, s.clipPlane[i]);

    if (displayListEvent_) displayListEvent_->Reset();
    CompileGlyphDisplayLists();
    CompileAtomDisplayList();
    CompileBondDisplayList();
    CompileDisplayList(1);
    if (displayListEvent_) displayListEvent_->Set();
    if (sceneList_ != 0) glCallList(sceneList_);

    if (s.showSurface == 1) {
        StartIsoSurface(frameNr);
        DrawIsoSurface(frameNr);
    }
    glPopMatrix();

    if (s.showAxes == 1) DrawAxes();
    if (s.showInfoText == 1) DrawTextOverlay();
    governor_->surfaceVertexCount = surfaceVerticesDrawn_;
    glFlush();
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
    ApplyProjection(s.perspective == 1 ? near_ * 0.5 : 0.0, std::max(500.0, 2.0 * far_), distance_, true);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslated(px, py, pz);
    double turn[16];
    std::copy(cameraSet_.modelview, cameraSet_.modelview + 16, turn);
    turn[12] = turn[13] = turn[14] = 0.0;
    glMultMatrixd(turn);

    const double length =
        s.perspective == 1 ? std::tan(M_PI * s.fieldOfView / 360.0) * pz * -0.1 : Length(s.eye) * 0.025;
    ImposeTrackBall_EulerRotation();
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
        UndoTrackBall_EulerRotation();
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
    const Frame& frame = doc_->GetFrame(doc_->GetFrameNr());
    textEngine_.Write2Dtxt(5.0f, 10.0f, frame.comment ? frame.comment : "");
    if (fullScreen_)
        textEngine_.Write2Dtxt(clientWidth_ / 2.0f - 200.0f, clientHeight_ - 10.0f, doc_->GetPathName().c_str());
    if (!governorStatus_.empty()) textEngine_.Write2Dtxt(clientWidth_ - 300.0f, 10.0f, governorStatus_.c_str());
    textEngine_.perspective();
    glPopAttrib();
}

void CDravikGLView::OnUpdate(int hint) {
    C3DViewSettings& s = *settings_;
    switch (hint) {
        case HINT_NEW_DATA:
            doc_->WantBonds(s.showBonds != 0);
            PrepareScene();
            ApplyPredefinedAnimation(s.predefinedAnimation);
            OnSize(clientWidth_, clientHeight_);
            distance_ = Length(s.homeEye);
            Repaint();
            if (setFrameWindowText) setFrameWindowText("Zelvor, Molecular Screensaver");
            break;
        case HINT_FRAME_CHANGED:
        case HINT_ROTATION_DONE:
            OnSize(clientWidth_, clientHeight_);
            Repaint();
            distance_ = Length(s.homeEye);
            if (hint == HINT_ROTATION_DONE) RefreshCameraPage();
            break;
        case HINT_FILE_LOADED:
            if (setFrameWindowText) setFrameWindowText("Zelvor, Molecular Screensaver");
            RefreshAnimationDialog();
            lastBondSize_ = -1.0;
            lastMaxBondLength_ = -1.0;
            surfaceNeedsInit_ = true;
            surfaceStateReady_ = true;
            OnSize(clientWidth_, clientHeight_);
            Repaint();
            break;
        case HINT_SURFACE_RESET:
            marchingCubes_.ClearVertexArrays();
            ResetSurfaceFlags();
            surfaceStop_.store(false);
            break;
        default:
            break;
    }
}

}  // namespace zelvor
