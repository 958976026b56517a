#include "saver/message_box_presenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <cstdio>

#include "app/gui_stream.h"
#include "platform/shared_message.h"
#include "platform/app_message.h"

namespace zelvor {

void InstallMessageBoxPresenter() {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return;
    SetMessagePresenter([](WindowHandle, const std::string& text, const std::string& caption) {
        if (QThread::currentThread() == qApp->thread()) {
            QMessageBox::information(nullptr, QString::fromStdString(caption.empty() ? "Zelvor" : caption),
                                     QString::fromStdString(text));
            return;
        }
        // A worker must never wait for the main thread, which may be joining it: the main window shows the
        // text when it gets to it.
        if (MainWindowTarget() != nullptr) {
            ShowSharedMessage(text);
        } else {
            std::fprintf(stderr, "%s\n", text.c_str());
        }
    });
}

}  // namespace zelvor
