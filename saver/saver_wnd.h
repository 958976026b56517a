#pragma once
/// CSaverWnd: the full-screen frame of the saver, a borderless topmost window without a visible pointer
/// that holds the view and ends the program when it loses the user's attention.
#include <QWindow>

namespace zelvor {

class CSaverView;

class CSaverWnd : public QWindow {
    Q_OBJECT
public:
    /// Exit code of the saver's message loop when its frame goes.
    static constexpr int EXIT_CODE = -42;

    CSaverWnd();
    ~CSaverWnd() override;

    /// The view that fills the frame (owned by the frame as its child window).
    void SetView(CSaverView* view);
    CSaverView* GetActiveView() const { return view_; }
    /// Covers the primary screen (geometry set before the window is shown), on top and without pointer.
    void ShowFullScreen();
    /// Asks the frame to close from the event loop.
    void PostClose();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnApplicationStateChanged(Qt::ApplicationState state);

    CSaverView* view_ = nullptr;
    bool wasActive_ = false;
    bool closePosted_ = false;
    bool quitPosted_ = false;
};

}  // namespace zelvor
