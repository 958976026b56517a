#pragma once
/// CDownloadThreadDlg: the modeless "Download in Progress" dialog of the online update check.
#include <QDialog>
#include <QPointer>
#include <atomic>
#include <string>

#include "app/update_progress_dialog.h"
#include "platform/qt_message_target.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace zelvor {

/// Shows the update check's status and download progress, which arrive as posted messages, and lets the
/// user cancel. Any close (Cancel, Escape, the title bar, the check's close message) cancels, as closing
/// the dialog always did.
class CDownloadThreadDlg : public QDialog, public CUpdateProgressDialog {
    Q_OBJECT
public:
    static constexpr int PROGRESS_RANGE = 1000;

    /// overParent is only the window the dialog is centred over, not its Qt parent: the dialog has to outlive
    /// the check's thread, whatever becomes of that window. Visible only when show is set.
    CDownloadThreadDlg(QWidget* overParent, std::string programName, std::string serverName,
                       DownloadCancelFlag& cancel, bool show);
    ~CDownloadThreadDlg() override;

    MessageTarget& Target() override { return target_; }
    void Present() override;
    void ShowRunning() override;
    bool WindowExists() const override { return windowOpen_; }
    void Close() override;

    /// Cancel: sets the cancel flag under its lock, then closes the dialog.
    void OnCancel();

    QString StatusText() const;
    QString BytesText() const;
    int ProgressValue() const;
    QPushButton* CancelButton() const { return cancelButton_; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void OnDownloadProgress(std::intptr_t wParam, std::intptr_t lParam);
    /// "Downloading <program> from <server>".
    QString DownloadingText() const;
    void MarkClosed();

    std::string programName_;
    std::string serverName_;
    DownloadCancelFlag& cancel_;
    bool show_;
    QPointer<QWidget> overParent_;
    QLabel* status_ = nullptr;
    QLabel* bytes_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    std::atomic<bool> windowOpen_{true};
    QtMessageTarget target_{this};
};

}  // namespace zelvor
