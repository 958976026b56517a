#include "saver/saver_view.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSurfaceFormat>
#include <QTimerEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>

#include "app/gui_stream.h"
#include "platform/shared_message.h"
#include "model/dravik_doc.h"
#include "platform/qt_message_target.h"
#include "saver/animate_dlg.h"
#include "saver/saver_app.h"

namespace zelvor {

namespace {

/// The drawing code is OpenGL 1.x: it needs a compatibility context with a depth buffer.
QSurfaceFormat ViewFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setDepthBufferSize(24);
    return format;
}

}  // namespace

CSaverView::CSaverView(CDravikDoc* doc, int noOwnAnimation, QWindow* parent)
    : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate, parent),
      CDravikGLView(doc),
      doc_(doc),
      noOwnAnimation_(noOwnAnimation),
      // Moves are measured from where the pointer was when the saver started, once: taken again at a load,
      // the reference would swallow a move made meanwhile.
      lastMouse_(QCursor::pos()),
      messageTarget_(std::make_unique<QtMessageTarget>(this)) {
    setFormat(ViewFormat());
    SetHost(this);
    // The surface worker and the tessellation governor report to this window's thread.
    SetMessageTarget(messageTarget_.get());
    if (CSaverApp* app = SaverApp()) SetPerformance(&app->performance);
}

bool CSaverView::MakeContextCurrent() {
    if (context() == nullptr) return false;
    makeCurrent();
    return true;
}

std::optional<GovernorLimits> CSaverView::GovernorLimitsNow() const {
    const CSaverApp* app = SaverApp();
    if (app == nullptr) return std::nullopt;
    return GovernorLimits{app->appSettings.minCPUUsage, app->appSettings.maxCPUUsage,
                          app->appSettings.maxGovernorIterations};
}

CSaverView::~CSaverView() {
    if (startupTimer_ != 0) killTimer(startupTimer_);
    if (frameRateTimer_ != 0) killTimer(frameRateTimer_);
    StopPolling();
    // The dialog animates this view: it goes first.
    animateDlg_.reset();
    // Display lists belong to this window's context: delete them while it can still be made current.
    if (context() != nullptr) makeCurrent();
    OnDestroy();
    SetMessageTarget(nullptr);
    SetHost(nullptr);
    if (context() != nullptr) doneCurrent();
}

void CSaverView::PostInit() {
    if (startupTimer_ == 0) startupTimer_ = startTimer(STARTUP_TIMER_MS);
}

void CSaverView::OnInitialUpdate() {
    if (context() != nullptr) {
        makeCurrent();
        CDravikGLView::OnInitialUpdate();
    }
    // A top-level view keeps the caption its owner gave it.
    if (parent() != nullptr) setTitle(QStringLiteral("CSaverView window"));
}

void CSaverView::CreateOwnAnimationDialog() {
    if (animateDlg_ || doc_ == nullptr) return;
    // Never shown: it only drives the animation of this view.
    animateDlg_ = std::make_unique<CAnimateDlg>(this, doc_);
}

CAnimateDlg* CSaverView::Animation() const {
    if (animateDlg_) return animateDlg_.get();
    return sheet_ != nullptr ? sheet_->AnimatePage() : nullptr;
}

bool CSaverView::IsAnimating() const {
    const CAnimateDlg* animation = Animation();
    return animation != nullptr && animation->IsPlaying();
}

void CSaverView::ApplyPredefinedAnimation(int animation) {
    if (CAnimateDlg* dialog = Animation()) dialog->SelectPredefined(animation);
}

void CSaverView::RefreshAnimationDialog() {
    if (CAnimateDlg* dialog = Animation()) dialog->PostInit();
}

void CSaverView::RefreshCameraPage() {
    if (sheet_ != nullptr) sheet_->RefreshCameraPage();
}

void CSaverView::OnGovernorRequest(int kind, int amount) {
    OnSetSceneTesselation(kind, amount);
    if (kind == GOVERNOR_ENDED) {
        // One line for whoever watches the program's diagnostics (and for the processor-share benchmark).
        const C3DViewSettings& s = *Get3DViewSettings();
        const char* outcome = !Governor().IsFinished()   ? "stopped"
                              : Governor().HasConverged() ? "within the limits"
                                                          : "out of passes";
        const int frameRate = FrameRateLimit();
        const std::string frames = frameRate > 0 ? "at most " + std::to_string(frameRate) + " frames/s" : "not limited";
        std::fprintf(stderr, "Tessellation governor ended: render quality %d, surface step %g, frame rate %s, %s\n",
                     GetRenderQuality(), s.surfaceStep, frames.c_str(), outcome);
        std::fflush(stderr);
    }
    update();
}

void CSaverView::initializeGL() {
    if (!initialised_) {
        initialised_ = true;
        OnInitialUpdate();
    }
}

void CSaverView::paintGL() {
    // A hidden view is ending (its host window may already be gone): nothing to paint on.
    if (!isVisible()) return;
    // A host that went took this window with it: drawing into it only costs time the ending needs.
    if (hostAlive_ && !hostAlive_()) return;
    // The toolkit does not always report sizes before the first paint: viewport and projection follow the
    // window at every paint.
    const qreal ratio = devicePixelRatio();
    OnSize(static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
    Paint();
    if (frameRate_) frameRate_->FrameDrawn();
}

void CSaverView::OnUpdate(int hint) {
    if (doc_ != nullptr && doc_->CloseBeforeLoaded()) return;
    CDravikGLView::OnUpdate(hint);
}

int CSaverView::OnFileLoaded() {
    if (doc_ != nullptr) doc_->UpdateAllViews(HINT_FILE_LOADED);
    OnInitialUpdate();
    update();
    return 1;
}

int CSaverView::OnFirstFrameRead() {
    if (doc_ != nullptr) doc_->FirstFrameWasRead();
    update();
    return 1;
}

int CSaverView::OnLoadStatus(const char* text) {
    statusText_ = text != nullptr ? text : "";
    return 1;
}

void CSaverView::CloseView() {
    if (doc_ != nullptr) doc_->AdviseGracefullExit();
}

bool CSaverView::event(QEvent* event) {
    if (const auto message = DecodeAppMessage(event)) {
        switch (message->code) {
            case MSG_FILE_LOADED: OnFileLoaded(); return true;
            case MSG_FIRST_FRAME_READ: OnFirstFrameRead(); return true;
            case MSG_SURFACE_DONE:
                OnIsoSurfaceDone();
                update();
                return true;
            case MSG_TESSELLATION:
                OnGovernorRequest(static_cast<int>(message->wParam), static_cast<int>(message->lParam));
                return true;
            case MSG_LOAD_PROGRESS:
                OnLoadStatus(reinterpret_cast<const char*>(message->lParam));
                return true;
            case MSG_SHOW_MESSAGE:
                if (showsSharedMessages_) MessageStream() << GetSharedMessage() << std::flush;
                return true;
            default: return true;
        }
    }
    return QOpenGLWindow::event(event);
}

void CSaverView::timerEvent(QTimerEvent* event) { OnTimer(event->timerId()); }

void CSaverView::OnTimer(int timerId) {
    if (startupTimer_ != 0 && timerId == startupTimer_) OnStartupTick();
    if (pollTimer_ != 0 && timerId == pollTimer_) OnPollTimer();
    if (frameRateTimer_ != 0 && timerId == frameRateTimer_ && frameRate_) {
        if (const std::optional<FrameRateReport> report = frameRate_->Poll()) {
            std::fprintf(stderr, "%s\n", report->Line().c_str());
            std::fflush(stderr);
            SetCornerText(report->Line());
            update();
        }
    }
}

void CSaverView::UpdatePollingFrequency() {
    StopPolling();
    if (doc_ == nullptr || !doc_->IsNumberCrunching()) return;
    // The interval is kept in milliseconds with a fraction; the timer takes whole ones.
    pollTimer_ = startTimer(std::max(1, static_cast<int>(pollingIntervalMs_)));
}

void CSaverView::StopPolling() {
    if (pollTimer_ != 0) killTimer(pollTimer_);
    pollTimer_ = 0;
}

void CSaverView::OnPollTimer() {
    if (doc_ == nullptr) return;
    CDocCalculation* calculation = doc_->Calculation();
    if (calculation != nullptr && calculation->Poll()) {
        update();
        return;
    }
    StopPolling();
    if (calculation != nullptr) MessageStream() << calculation->FinishedText() << std::endl;
}

void CSaverView::ShowFrameRate() {
    if (frameRate_) return;
    frameRate_ = std::make_unique<CFrameRateMeter>();
    // Polled often, reported once a second: the report's span stays close to a second.
    frameRateTimer_ = startTimer(100);
}

void CSaverView::OnStartupTick() {
    killTimer(startupTimer_);
    startupTimer_ = 0;
    if (doc_ == nullptr) return;
    if (sheet_ != nullptr) sheet_->OnViewStarted();
    if (noOwnAnimation_ == 0) CreateOwnAnimationDialog();
    // Calculations come later: the view shows coordinate files.
    emit showFilesRequested();
}

QPoint CSaverView::DevicePoint(const QPointF& p) const {
    const qreal ratio = devicePixelRatio();
    return QPoint(static_cast<int>(p.x() * ratio), static_cast<int>(p.y() * ratio));
}

void CSaverView::EndSaver(bool adviseDocument) {
    if (!endRequested_) {
        endRequested_ = true;
        emit closeRequested();
    }
    if (adviseDocument && doc_ != nullptr) doc_->AdviseGracefullExit();
}

void CSaverView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint now = event->globalPosition().toPoint();
    if (pointerObserver_) pointerObserver_(now);
    const QPoint step = now - lastMouse_;
    lastMouse_ = now;
    if (endsOnInput_ && step.x() * step.x() + step.y() * step.y() >= FAR_MOVE_PIXELS * FAR_MOVE_PIXELS) {
        EndSaver(true);
    }
    unsigned flags = 0;
    if (event->buttons() & Qt::LeftButton) flags |= MOUSE_LEFT;
    if (event->buttons() & Qt::RightButton) flags |= MOUSE_RIGHT;
    if (event->modifiers() & Qt::ShiftModifier) flags |= MOUSE_SHIFT;
    const QPoint p = DevicePoint(event->position());
    OnMouseMove(p.x(), p.y(), flags);
}

void CSaverView::mousePressEvent(QMouseEvent* event) {
    const QPoint p = DevicePoint(event->position());
    if (event->button() == Qt::LeftButton) {
        if (endsOnInput_) EndSaver(true);
        OnLButtonDown(p.x(), p.y(), (event->modifiers() & Qt::ShiftModifier) != 0);
    } else if (event->button() == Qt::RightButton) {
        if (endsOnInput_) EndSaver(false);
        OnRButtonDown(p.x(), p.y());
    }
}

void CSaverView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = DevicePoint(event->position());
    if (event->button() == Qt::LeftButton) OnLButtonUp(p.x(), p.y());
    if (event->button() == Qt::RightButton) OnRButtonUp(p.x(), p.y());
}

void CSaverView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = DevicePoint(event->position());
    if (event->button() == Qt::LeftButton) OnLButtonDblClk(p.x(), p.y());
}

void CSaverView::wheelEvent(QWheelEvent* event) {
    if (endsOnInput_) EndSaver(false);
    QOpenGLWindow::wheelEvent(event);
}

void CSaverView::keyPressEvent(QKeyEvent* event) {
    if (endsOnInput_) EndSaver(false);
    QOpenGLWindow::keyPressEvent(event);
}

}  // namespace zelvor
