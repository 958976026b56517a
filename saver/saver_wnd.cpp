#include "saver/saver_wnd.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QScreen>

#include "app/gui_stream.h"
#include "platform/shared_message.h"
#include "platform/qt_message_target.h"
#include "saver/saver_view.h"

namespace zelvor {

CSaverWnd::CSaverWnd() {
    setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint);
    setCursor(Qt::BlankCursor);
    setTitle(QStringLiteral("Zelvor"));
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &CSaverWnd::OnApplicationStateChanged);
}

CSaverWnd::~CSaverWnd() = default;

void CSaverWnd::SetView(CSaverView* view) {
    view_ = view;
    view_->setParent(this);
    view_->setCursor(Qt::BlankCursor);
    view_->setGeometry(0, 0, width(), height());
}

void CSaverWnd::ShowFullScreen() {
    // Without a window manager nothing would size the window: it takes the screen's geometry before it shows.
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) setGeometry(screen->geometry());
    show();
    if (view_ != nullptr) {
        view_->setGeometry(0, 0, width(), height());
        view_->show();
        view_->requestActivate();
        view_->update();
    }
    requestActivate();
}

void CSaverWnd::PostClose() {
    if (closePosted_) return;
    closePosted_ = true;
    QMetaObject::invokeMethod(this, &QWindow::close, Qt::QueuedConnection);
}

void CSaverWnd::OnApplicationStateChanged(Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) {
        wasActive_ = true;
    } else if (wasActive_ && isVisible()) {
        PostClose();
    }
}

bool CSaverWnd::event(QEvent* event) {
    if (const auto message = DecodeAppMessage(event)) {
        switch (message->code) {
            case MSG_FILE_LOADED:
                if (view_ != nullptr) view_->OnFileLoaded();
                return true;
            case MSG_FIRST_FRAME_READ:
                if (view_ != nullptr) view_->OnFirstFrameRead();
                return true;
            case MSG_LOAD_PROGRESS:
                if (view_ != nullptr) view_->OnLoadStatus(reinterpret_cast<const char*>(message->lParam));
                return true;
            case MSG_SHOW_MESSAGE: MessageStream() << GetSharedMessage() << std::flush; return true;
            default: return true;
        }
    }
    if (event->type() == QEvent::Close) {
        const bool handled = QWindow::event(event);
        // The frame is gone: the message loop ends with the saver's exit code, once.
        if (!quitPosted_) {
            quitPosted_ = true;
            QMetaObject::invokeMethod(
                qApp, [] { QCoreApplication::exit(EXIT_CODE); }, Qt::QueuedConnection);
        }
        return handled;
    }
    return QWindow::event(event);
}

void CSaverWnd::resizeEvent(QResizeEvent* event) {
    if (view_ != nullptr) view_->setGeometry(0, 0, event->size().width(), event->size().height());
    QWindow::resizeEvent(event);
}

void CSaverWnd::keyPressEvent(QKeyEvent* event) {
    // Keys reach the frame only when the view does not have the focus; Alt combinations are the system keys.
    PostClose();
    QWindow::keyPressEvent(event);
}

}  // namespace zelvor
