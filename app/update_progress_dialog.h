#pragma once
/// The progress dialog of an online update check as the check sees it, and the hook that creates it.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/gui_stream.h"
#include "platform/app_message.h"

namespace zelvor {

/// Closes the progress dialog (its Cancel runs as if pressed). Posted by the check besides
/// MSG_DOWNLOAD_PROGRESS; the value is the window-close message's.
inline constexpr unsigned MSG_CLOSE_DOWNLOAD_DIALOG = 0x0010;

/// MSG_DOWNLOAD_PROGRESS with lParam 0: wParam is one of these steps (with lParam > 0, wParam is the bytes
/// received and lParam the total).
enum DownloadStatus : std::intptr_t {
    DOWNLOAD_STATUS_NO_UPDATE = 1,     ///< "No update is available"
    DOWNLOAD_STATUS_INSPECTING = 2,    ///< "Inspecting version number"
    DOWNLOAD_STATUS_CONNECTED = 3,     ///< "Connection established"
    DOWNLOAD_STATUS_CONNECTING = 4,    ///< "Connecting to " + server name
};

/// The cancel flag of a download and the lock that guards it. The dialog's Cancel sets it; the check
/// reads it between pieces of the download.
class DownloadCancelFlag {
public:
    void Set() {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        set_ = false;
    }
    bool IsSet() const {
        std::lock_guard lock(mutex_);
        return set_;
    }

private:
    mutable std::mutex mutex_;
    bool set_ = false;
};

/// The progress dialog of one check. Target and WindowExists may be called from any thread, the rest only
/// from the main thread.
class CUpdateProgressDialog {
public:
    virtual ~CUpdateProgressDialog() = default;
    /// Where the check posts its status, progress and close messages.
    virtual MessageTarget& Target() = 0;
    /// Shows the dialog, when it was created visible, centred over its parent without resizing it.
    virtual void Present() = 0;
    /// Shows the dialog and brings it to the front (a check is running and the user asked again).
    virtual void ShowRunning() = 0;
    /// True until the dialog's window has been closed.
    virtual bool WindowExists() const = 0;
    /// Closes the window as its Cancel does.
    virtual void Close() = 0;
};

/// What the hook needs to create a progress dialog.
struct ProgressDialogRequest {
    WindowHandle parent = 0;
    std::string programName;
    /// The update server as the status texts name it.
    std::string serverName;
    DownloadCancelFlag* cancel = nullptr;
    /// Visible only when set; a weekly check runs with a hidden dialog.
    bool show = false;
};

/// Creates the progress dialog of a check; installed by the windowing layer.
using ProgressDialogFactory = std::function<std::unique_ptr<CUpdateProgressDialog>(const ProgressDialogRequest&)>;

}  // namespace zelvor
