#include "app/update_dialogs.h"

#include <QApplication>
#include <QWidget>

#include "app/download_thread_dlg.h"
#include "app/my_app.h"

namespace zelvor {

void InstallUpdateDialogs(CMyApp& app) {
    app.createProgressDialog = [](const ProgressDialogRequest& request) -> std::unique_ptr<CUpdateProgressDialog> {
        // A window handle names a native window; without one the dialog goes over the active window.
        QWidget* over = request.parent != 0 ? QWidget::find(static_cast<WId>(request.parent)) : nullptr;
        if (over == nullptr) over = QApplication::activeWindow();
        return std::make_unique<CDownloadThreadDlg>(over, request.programName, request.serverName, *request.cancel,
                                                    request.show);
    };
}

}  // namespace zelvor
