#include "render/dravik_gl_view.h"

#include <GL/gl.h>

#include <mutex>

#include "model/locks.h"
#include "render/tessellation.h"

namespace zelvor {

CDravikGLView::CDravikGLView(CDravikDoc* doc, bool transientSettings)
    : doc_(doc),
      settings_(transientSettings ? std::make_unique<C3DViewSettings>(C3DViewSettings::Transient{})
                                  : std::make_unique<C3DViewSettings>()),
      camera_(*settings_),
      lists_(*settings_),
      surface_(doc, *settings_),
      governor_(*settings_, surface_.IdleEvent()) {
    // The surface worker reads the settings that the animation and the governor change under this lock.
    surface_.SetSettingsLock(governor_.Lock());
    storedSettingsFound_ = settings_->persistent && settings_->loaded && !settings_->loadFailed;
    if (doc_) doc_->AddObserver(this);
}

CDravikGLView::~CDravikGLView() { OnDestroy(); }

void CDravikGLView::OnDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    // The governor waits for compiles and sleeps between measurements: wake it before joining it.
    governor_.Stop();
    surface_.StopAndJoin();
    governor_.Join();
    if (doc_) {
        doc_->RemoveObserver(this);
        doc_->WantBonds(false);
    }
    // Lists belong to the context: delete them only when it is still current.
    const bool contextCurrent = glGetString(GL_VERSION) != nullptr;
    if (contextCurrent && glyphBase_ != 0) DeleteGlyphLists(glyphBase_);
    glyphBase_ = 0;
    lists_.Release(contextCurrent);
    surface_.ReleaseEngine();
}

bool CDravikGLView::HasFrameToShow() const {
    return doc_ && (doc_->GetFrameCount() > 0 || doc_->IsNewDoc()) && doc_->GetFrameNr() < doc_->GetFrameCount();
}

bool CDravikGLView::HasAtoms() const {
    return doc_ && doc_->GetFrameNr() < doc_->GetFrameCount() && doc_->GetFrame(doc_->GetFrameNr()).atomCount > 0;
}

bool CDravikGLView::EnsureContext() {
    if (glGetString(GL_VERSION) != nullptr) return true;
    return host_ && host_->MakeContextCurrent() && glGetString(GL_VERSION) != nullptr;
}

double CDravikGLView::ShownCellWidth() const {
    if (!doc_ || doc_->GetFrameCount() <= 0) return 0.0;
    return doc_->GetMaxCellWidth(doc_->GetFrameNr());
}

bool CDravikGLView::ShowsVolumetricData() const {
    if (!doc_) return false;
    if (doc_->GetDocTemplate() == TEMPLATE_CUBE) return true;
    return doc_->GetFrameCount() > 0 && !doc_->GetFrame(doc_->GetFrameNr()).voxels.Empty();
}

void CDravikGLView::Repaint() {
    if (host_) host_->RequestRepaint();
}

void CDravikGLView::OnInitialUpdate() {
    InitSettings(settings_.get());
    if (!doc_) return;
    if (!storedSettingsFound_) PrepareScene();
    governor_.Restart(doc_->GetGUIDstr());
    doc_->UpdateAllViews(HINT_NEW_DATA);
    if (host_) host_->UpdatePollingFrequency();
    surface_.Initialise();
    if (host_) host_->SetFrameWindowText("Zelvor, Molecular Screensaver");
}

void CDravikGLView::OnSize(int cx, int cy) {
    if (!camera_.SetClientSize(cx, cy)) return;
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

void CDravikGLView::Update3DViewPort() {
    if (!HasFrameToShow()) return;
    camera_.SetDepthRange(doc_->GetMaxCellWidth(doc_->GetFrameNr()));
    if (!EnsureContext()) return;
    camera_.LoadProjection();
    textEngine_.initialize(camera_.ClientWidth(), camera_.ClientHeight(), true);
}

void CDravikGLView::PrepareScene() { camera_.PrepareScene(doc_ ? doc_->GetMaxCellWidth(doc_->GetFrameNr()) : 50.0); }

void CDravikGLView::OnUpdate(int hint) {
    C3DViewSettings& s = *settings_;
    switch (hint) {
        case HINT_NEW_DATA:
            doc_->WantBonds(s.showBonds != 0);
            PrepareScene();
            if (host_) host_->ApplyPredefinedAnimation(s.predefinedAnimation);
            OnSize(camera_.ClientWidth(), camera_.ClientHeight());
            camera_.SetDistance(Length(s.homeEye));
            Repaint();
            if (host_) host_->SetFrameWindowText("Zelvor, Molecular Screensaver");
            break;
        case HINT_FRAME_CHANGED:
        case HINT_ROTATION_DONE:
            OnSize(camera_.ClientWidth(), camera_.ClientHeight());
            Repaint();
            camera_.SetDistance(Length(s.homeEye));
            if (hint == HINT_ROTATION_DONE && host_) host_->RefreshCameraPage();
            break;
        case HINT_FILE_LOADED:
            if (host_) host_->SetFrameWindowText("Zelvor, Molecular Screensaver");
            if (host_) host_->RefreshAnimationDialog();
            lists_.ForgetBondSettings();
            surface_.ReinitialiseAtNextStart();
            governor_.MarkSurfaceStateReady();
            OnSize(camera_.ClientWidth(), camera_.ClientHeight());
            Repaint();
            break;
        case HINT_SURFACE_RESET:
            surface_.Reset();
            break;
        default:
            break;
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
    std::lock_guard lock(governor_.Lock());
    SaveQualityForSpeed();
    if (!EnsureContext()) return;
    DrawScene();
    governor_.FrameDrawn();
}

void CDravikGLView::DrawScene() {
    C3DViewSettings& s = *settings_;
    glClearColor(s.background[0], s.background[1], s.background[2], 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    if (!HasFrameToShow() || !HasAtoms()) return;
    const int frameNr = doc_->GetFrameNr();
    std::int64_t surfaceVertices = 0;
    // The loader bonds the frames it reads only while a view shows bonds.
    doc_->WantBonds(s.showBonds != 0);

    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, static_cast<GLenum>(s.polygonMode));

    camera_.LookAt();
    glPushMatrix();
    camera_.CaptureCameraSet();
    for (int i = 0; i < 6; ++i)
        if (s.clipPlaneFixed[i] == 1) glClipPlane(GL_CLIP_PLANE0 + i, s.clipPlane[i]);
    camera_.CaptureRotationSet();
    camera_.ImposeTrackBall_EulerRotation();
    camera_.CaptureModelSet();
    for (int i = 0; i < 6; ++i)
        if (s.clipPlaneFixed[i] == 0) glClipPlane(GL_CLIP_PLANE0 + i, s.clipPlane[i]);

    governor_.BeginCompiles();
    CompileGlyphDisplayLists();
    CompileAtomDisplayList();
    CompileBondDisplayList();
    CompileDisplayList(1);
    governor_.EndCompiles();
    lists_.CallSceneList();

    if (s.showSurface == 1) {
        // No computation starts while the governor measures the program's load.
        if (!governor_.IsMeasuring()) surface_.StartIsoSurface(frameNr);
        surfaceVertices = surface_.DrawIsoSurface(frameNr);
    }
    glPopMatrix();

    if (s.showAxes == 1) DrawAxes();
    if (s.showInfoText == 1 || !cornerText_.empty()) DrawTextOverlay();
    governor_.SetSurfaceVerticesDrawn(surfaceVertices);
    glFlush();
}

// The compiles read detail settings that the governor thread writes: each holds the view's lock, which a
// paint already holds and the document's selection changes do not.
void CDravikGLView::CompileAtomDisplayList() {
    std::lock_guard settings(governor_.Lock());
    const int quality = GetRenderQuality();
    if (lists_.AtomListsCurrent(quality)) return;
    std::unique_lock lock(AtomLock(), std::try_to_lock);
    if (!lock.owns_lock()) return;
    lists_.CompileAtomLists(quality);
}

void CDravikGLView::CompileBondDisplayList() {
    std::lock_guard settings(governor_.Lock());
    if (!HasFrameToShow() || !HasAtoms() || settings_->showBonds == 0) return;
    const TessellationCounts counts = CountsForQuality(GetRenderQuality());
    if (lists_.BondListsCurrent(counts)) return;
    std::unique_lock lock(AtomLock(), std::try_to_lock);
    if (!lock.owns_lock()) return;
    Frame& frame = doc_->GetFrame(doc_->GetFrameNr());
    if (!frame.bondsDone) {
        doc_->WantBonds(true);
        doc_->EstablishBonds();
    }
    lists_.CompileBondLists(frame, counts);
}

void CDravikGLView::CompileDisplayList(int onlyIfChanged) {
    std::lock_guard settings(governor_.Lock());
    if (!HasFrameToShow() || !HasAtoms()) return;
    const int frameNr = doc_->GetFrameNr();
    // Both flags are read (and the new-frame flag cleared) only when the cheaper tests leave it open.
    if (onlyIfChanged != 0 && lists_.SceneCurrent(frameNr) && !doc_->IsNewDoc() && !doc_->IsNewFrame()) return;
    if (!EnsureContext()) return;
    std::unique_lock lock(AtomLock(), std::try_to_lock);
    if (!lock.owns_lock()) return;
    lists_.CompileSceneList(doc_->GetFrame(frameNr), frameNr);
}

void CDravikGLView::SetRenderQuality(int quality) {
    ChangeDetailSettings([&] { settings_->renderQuality = ClampRenderQuality(quality); });
    Repaint();
}

int CDravikGLView::GetRenderQuality() const {
    std::lock_guard lock(governor_.Lock());
    return settings_->renderQuality;
}

void CDravikGLView::ChangeDetailSettings(const std::function<void()>& change) {
    std::lock_guard lock(governor_.Lock());
    change();
}

}  // namespace zelvor
