#pragma once
/// The worker of the online update check: fetches the update list, compares versions, and tells about or
/// downloads a newer version. It talks to the main thread only through posted messages and the shared
/// message string.
#include <cstdint>
#include <string>

#include "app/update_endpoint.h"
#include "app/update_progress_dialog.h"
#include "app/update_transfer.h"

namespace zelvor {

/// What the check reads of the update list: at most this many bytes.
inline constexpr std::int64_t UPDATE_LIST_MAX_BYTES = 10000;
/// The largest installer accepted. Installers are tens of megabytes; the bound keeps a faulty or hostile
/// server from filling the temporary folder while leaving room for any plausible installer.
inline constexpr std::int64_t INSTALLER_MAX_BYTES = std::int64_t{512} * 1024 * 1024;
/// Update action of the settings: download the newer version and install it at exit (0: only tell).
inline constexpr int UPDATE_ACTION_DOWNLOAD = 1;

/// The parameter block of one check, owned by the application object; the thread writes only
/// downloadedInstaller, which the owner reads after joining it.
struct DownloadParameters {
    /// The progress dialog, or null when the check runs without one.
    CUpdateProgressDialog* dialog = nullptr;
    DownloadCancelFlag* cancel = nullptr;
    std::string programName;
    /// The program's own "FileVersion" text.
    std::string versionText;
    int updateAction = 0;
    /// False for the silent weekly check: a failure is written to standard error instead of a message box
    /// that would interrupt whatever the program shows (a full-screen saver, a preview) every week offline.
    bool reportFailures = true;
    UpdateEndpoint endpoint = UpdateEndpoint::BuiltIn();
    UpdateTransferOptions transfer;
    /// Folder that receives the installer.
    std::string tempFolder;

    /// Full path of the installer once it has been downloaded completely.
    std::string downloadedInstaller;
};

/// Runs one check to its end. Every outcome that concerns the user ends in one shared message posted to
/// the main window: a newer version, a completed or cancelled download, or an error.
void DownloadThread(DownloadParameters& parameters);

}  // namespace zelvor
