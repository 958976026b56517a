#include "app/download_thread_dlg.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace zelvor {

CDownloadThreadDlg::CDownloadThreadDlg(QWidget* overParent, std::string programName, std::string serverName,
                                       DownloadCancelFlag& cancel, bool show)
    : QDialog(nullptr),
      programName_(std::move(programName)),
      serverName_(std::move(serverName)),
      cancel_(cancel),
      show_(show),
      overParent_(overParent) {
    setWindowTitle(QStringLiteral("Download in Progress"));
    setModal(false);
    status_ = new QLabel(DownloadingText(), this);
    bytes_ = new QLabel(QStringLiteral("Bytes received:"), this);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, PROGRESS_RANGE);
    progress_->setValue(0);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    connect(cancelButton_, &QPushButton::clicked, this, [this] { OnCancel(); });

    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(bytes_);
    layout->addWidget(progress_);
    layout->addLayout(buttons);
    setMinimumWidth(360);
}

CDownloadThreadDlg::~CDownloadThreadDlg() = default;

QString CDownloadThreadDlg::DownloadingText() const {
    return QStringLiteral("Downloading %1 from ").arg(QString::fromStdString(programName_)) +
           QString::fromStdString(serverName_);
}

void CDownloadThreadDlg::Present() {
    adjustSize();
    const QRect over = overParent_ ? overParent_->frameGeometry()
                       : QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                          : QRect();
    if (over.isValid()) move(over.center() - rect().center());
    if (show_) show();
}

void CDownloadThreadDlg::ShowRunning() {
    show_ = true;
    show();
    raise();
    activateWindow();
}

void CDownloadThreadDlg::Close() { close(); }

void CDownloadThreadDlg::OnCancel() {
    cancel_.Set();
    close();
}

void CDownloadThreadDlg::reject() { OnCancel(); }

void CDownloadThreadDlg::closeEvent(QCloseEvent* event) {
    MarkClosed();
    event->accept();
}

void CDownloadThreadDlg::MarkClosed() {
    // Closing cancels: the check stops at its next look and the window counts as gone.
    cancel_.Set();
    windowOpen_ = false;
}

bool CDownloadThreadDlg::event(QEvent* event) {
    if (const auto message = DecodeAppMessage(event)) {
        if (message->code == MSG_DOWNLOAD_PROGRESS) OnDownloadProgress(message->wParam, message->lParam);
        if (message->code == MSG_CLOSE_DOWNLOAD_DIALOG) {
            // A hidden dialog that was never shown may get no close event.
            MarkClosed();
            close();
        }
        return true;
    }
    return QDialog::event(event);
}

void CDownloadThreadDlg::OnDownloadProgress(std::intptr_t wParam, std::intptr_t lParam) {
    if (lParam > 0) {
        status_->setText(DownloadingText());
        bytes_->setText(QString::asprintf("Bytes received: %ld", static_cast<long>(wParam)));
        const double share = static_cast<double>(wParam) * PROGRESS_RANGE / static_cast<double>(lParam);
        progress_->setValue(static_cast<int>(std::min<double>(std::max(share, 0.0), PROGRESS_RANGE)));
        return;
    }
    switch (wParam) {
        case DOWNLOAD_STATUS_CONNECTING:
            status_->setText(QStringLiteral("Connecting to ") + QString::fromStdString(serverName_));
            break;
        case DOWNLOAD_STATUS_CONNECTED: status_->setText(QStringLiteral("Connection established")); break;
        case DOWNLOAD_STATUS_INSPECTING: status_->setText(QStringLiteral("Inspecting version number")); break;
        case DOWNLOAD_STATUS_NO_UPDATE: status_->setText(QStringLiteral("No update is available")); break;
        default: break;
    }
}

QString CDownloadThreadDlg::StatusText() const { return status_->text(); }
QString CDownloadThreadDlg::BytesText() const { return bytes_->text(); }
int CDownloadThreadDlg::ProgressValue() const { return progress_->value(); }

}  // namespace zelvor
