#pragma once
/// CSaverView: the screensaver's view, an OpenGL window that runs the document view logic as its host, starts
/// what the saver shows and, in full-screen mode, ends the program on the first real user input.
#include <QOpenGLWindow>
#include <QPoint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "render/dravik_gl_view.h"
#include "saver/frame_rate_meter.h"

namespace zelvor {

class CAnimateDlg;
class CDravikDoc;
class QtMessageTarget;

/// What the view asks of the configuration sheet that drives it in configure mode.
class CViewSheet {
public:
    /// The view started: the sheet shows its Animate page.
    virtual void OnViewStarted() = 0;
    /// The sheet's Animate page, which animates the view.
    virtual CAnimateDlg* AnimatePage() = 0;
    /// A rotation ended: the camera page shows the new angles.
    virtual void RefreshCameraPage() = 0;

protected:
    ~CViewSheet() = default;
};

class CSaverView : public QOpenGLWindow, public CDravikGLView, private CViewHost {
    Q_OBJECT
public:
    /// Id of the one-shot start-up timer (its handle is whatever the toolkit assigns).
    static constexpr int STARTUP_TIMER_ID = 123456;
    static constexpr int STARTUP_TIMER_MS = 200;
    /// A move of this many pixels or more in one step ends the full-screen saver.
    static constexpr int FAR_MOVE_PIXELS = 10;

    /// noOwnAnimation non-zero: the view never creates its own animation dialog.
    CSaverView(CDravikDoc* doc, int noOwnAnimation, QWindow* parent = nullptr);
    ~CSaverView() override;

    /// Starts the start-up timer once.
    void PostInit();
    /// The base initial update (when the window exists), then the cursor becomes the last mouse position.
    void OnInitialUpdate();
    /// Input ends the program (the main window is the full-screen frame, or an XScreenSaver window).
    void SetEndsOnInput(bool on) { endsOnInput_ = on; }
    bool EndsOnInput() const { return endsOnInput_; }
    /// 1: an ordinary view; 0: it lives inside another window (the preview host).
    int standAlone = 1;
    /// --fps: frames/s and the processor share in the lower-left corner and once a second on standard error.
    void ShowFrameRate();
    /// Asked before every paint whether the window drawn into still has its host (another program's window);
    /// false skips the paint. None: always painted.
    void SetHostCheck(std::function<bool()> hostAlive) { hostAlive_ = std::move(hostAlive); }
    /// Told where each pointer move took the pointer (root coordinates), before the view judges the move.
    void SetPointerObserver(std::function<void(QPoint)> observer) { pointerObserver_ = std::move(observer); }
    /// The view handles the shared-message notification itself (it is the main window).
    void SetShowsSharedMessages(bool on) { showsSharedMessages_ = on; }

    /// Document updates reach the view logic only while the document is not abandoning its load.
    void OnUpdate(int hint) override;
    /// Handlers of the loader's notifications; each returns 1.
    int OnFileLoaded();
    int OnFirstFrameRead();
    /// The status text shown with the view (empty when none is given).
    int OnLoadStatus(const char* text);
    const std::string& StatusText() const { return statusText_; }

    CDravikDoc* GetDocument() const { return doc_; }
    QPoint LastMousePosition() const { return lastMouse_; }
    int StartupTimerHandle() const { return startupTimer_; }
    /// Close request: advise the document to end its work; in preview mode also quit with -42.
    void CloseView();

    /// Calculations: the view polls the document's calculation every interval (timer 42 of the view logic).
    void SetPollingInterval(double milliseconds) { pollingIntervalMs_ = milliseconds; }
    /// Polls while the document's calculation runs, else stops polling.
    void UpdatePollingFrequency() override;
    void StopPolling();
    bool IsPolling() const { return pollTimer_ != 0; }

    /// Creates the hidden animation dialog that animates this view (once).
    virtual void CreateOwnAnimationDialog();
    /// The view's own animation dialog (null until created).
    CAnimateDlg* AnimationDialog() const { return animateDlg_.get(); }
    /// The configuration sheet whose Animate page drives this view (null: none).
    void SetSheet(CViewSheet* sheet) { sheet_ = sheet; }

signals:
    /// Full-screen input asked the program to end: the owner closes the main window.
    void closeRequested();
    /// The start-up tick decided the view shows coordinate files: the owner starts the playlist.
    void showFilesRequested();

protected:
    void initializeGL() override;
    void paintGL() override;
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // What the view logic asks of its window and of the animation dialog.
    void RequestRepaint() override { update(); }
    bool MakeContextCurrent() override;
    bool IsAnimating() const override;
    std::optional<GovernorLimits> GovernorLimitsNow() const override;
    void ApplyPredefinedAnimation(int animation) override;
    void RefreshAnimationDialog() override;
    void RefreshCameraPage() override;
    /// The dialog that animates the view: its own, else the sheet's Animate page (null: none).
    CAnimateDlg* Animation() const;

    /// Timers of this window: the start-up timer's tick.
    void OnTimer(int timerId);
    void OnStartupTick();
    /// The polling timer's tick: copies the calculation's atoms, or says that it has finished.
    void OnPollTimer();
    /// A request of the tessellation governor's thread (window message 0x8035).
    void OnGovernorRequest(int kind, int amount);
    /// Hides the windows and asks for the end; adviseDocument also stops the document's work.
    void EndSaver(bool adviseDocument);
    QPoint DevicePoint(const QPointF& p) const;

    CDravikDoc* doc_;
    int noOwnAnimation_;
    int startupTimer_ = 0;
    QPoint lastMouse_;
    bool endsOnInput_ = false;
    bool showsSharedMessages_ = false;
    bool initialised_ = false;
    bool endRequested_ = false;
    std::string statusText_;
    std::unique_ptr<QtMessageTarget> messageTarget_;
    std::unique_ptr<CAnimateDlg> animateDlg_;
    CViewSheet* sheet_ = nullptr;
    std::function<bool()> hostAlive_;
    std::function<void(QPoint)> pointerObserver_;
    std::unique_ptr<CFrameRateMeter> frameRate_;
    int frameRateTimer_ = 0;
    int pollTimer_ = 0;
    double pollingIntervalMs_ = 500.0;
};

}  // namespace zelvor
