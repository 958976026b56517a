#include "app/download_thread.h"

#include <cstdio>
#include <exception>

#include "app/installer_file.h"
#include "app/update_list.h"
#include "platform/shared_message.h"

namespace zelvor {

namespace {

constexpr long LAST_SUCCESS_STATUS = 299;
constexpr const char* UNSPECIFIED_ERROR = "Unspecified error happened trying to check for new version";

class CUpdateCheck {
public:
    explicit CUpdateCheck(DownloadParameters& p) : p_(p) {}

    void Run() {
        PostStatus(DOWNLOAD_STATUS_CONNECTING);
        std::string listText;
        bool listRefused = false;
        TransferHandlers handlers;
        handlers.onResponse = [&](long status, std::int64_t, const std::string&) {
            PostStatus(DOWNLOAD_STATUS_CONNECTED);
            listRefused = status > LAST_SUCCESS_STATUS;
            return !listRefused;
        };
        handlers.onData = [&](const char* data, std::size_t size) {
            // Only the first UPDATE_LIST_MAX_BYTES of the answer are read.
            const std::size_t room = static_cast<std::size_t>(UPDATE_LIST_MAX_BYTES) - listText.size();
            listText.append(data, size < room ? size : room);
            return listText.size() < static_cast<std::size_t>(UPDATE_LIST_MAX_BYTES);
        };
        handlers.shouldAbort = [this] { return ShouldStop(); };
        const TransferResult list = HttpGet(p_.endpoint.ListUrl(), p_.programName, p_.transfer, 0, handlers);
        if (listRefused) {
            CloseDialog();
            return;
        }
        // Stopped by the user or the program's exit: nobody waits for an answer any more.
        if (list.outcome == TransferResult::Outcome::Aborted) return;
        if (list.outcome == TransferResult::Outcome::Failed) return Fail(list.error);

        PostStatus(DOWNLOAD_STATUS_INSPECTING);
        for (const std::string& version : ListedVersions(listText, p_.programName)) {
            if (!IsNewerVersion(version, p_.versionText)) {
                PostStatus(DOWNLOAD_STATUS_NO_UPDATE);
                continue;
            }
            if (p_.updateAction == UPDATE_ACTION_DOWNLOAD) return DownloadInstaller();
            CloseDialog();
            ShowSharedMessage("A newer version of " + p_.programName + " is available online!");
            return;
        }
    }

    void Fail(const std::string& error) { Report("ERROR!  " + error); }

    void FailUnspecified() { Report(UNSPECIFIED_ERROR); }

private:
    void DownloadInstaller() {
        CInstallerFile file;
        std::string failure;
        bool cancelled = false;
        std::int64_t total = 0;
        std::int64_t received = 0;
        TransferHandlers handlers;
        handlers.onResponse = [&](long status, std::int64_t length, const std::string& disposition) {
            if (status > LAST_SUCCESS_STATUS) {
                failure = "The server answered the download with status " + std::to_string(status);
            } else if (length <= 0 || length > INSTALLER_MAX_BYTES) {
                failure = length <= 0 ? "The server did not say how large the download is"
                                      : "The download is larger than " + std::to_string(INSTALLER_MAX_BYTES) +
                                            " bytes";
            } else if (const std::string name = InstallerFileName(disposition); name.empty()) {
                failure = "The server named no usable file for the download";
            } else {
                file.Create(p_.tempFolder, name, failure);
            }
            total = length;
            return failure.empty();
        };
        handlers.onData = [&](const char* data, std::size_t size) {
            if (received + static_cast<std::int64_t>(size) > total) {
                failure = "The server sent more than it announced";
                return false;
            }
            if (!file.Write(data, size, failure)) return false;
            received += static_cast<std::int64_t>(size);
            Post(MSG_DOWNLOAD_PROGRESS, static_cast<std::intptr_t>(received), static_cast<std::intptr_t>(total));
            cancelled = p_.cancel != nullptr && p_.cancel->IsSet();
            return !cancelled;
        };
        handlers.shouldAbort = [this] { return ShouldStop(); };
        const TransferResult result = HttpGet(p_.endpoint.DownloadUrl(p_.programName), p_.programName,
                                              p_.transfer, INSTALLER_MAX_BYTES, handlers);
        if (cancelled || result.outcome == TransferResult::Outcome::Aborted) {
            file.Discard();
            ShowSharedMessage("Download cancelled");
            return;
        }
        if (failure.empty() && result.outcome == TransferResult::Outcome::Failed) failure = result.error;
        // A download that ended short of its length is never offered for installation.
        if (failure.empty() && received != total) failure = "The download ended before it was complete";
        std::string path;
        if (failure.empty() && !file.Commit(path, failure)) path.clear();
        if (!failure.empty()) return Fail(failure);

        p_.downloadedInstaller = path;
        ShowSharedMessage("Download of new version of " + p_.programName + " has completed.\nIt will " +
                          "prompt you to install it when you exit this program.");
    }

    /// The user cancelled, or closed the dialog, or the program is ending.
    bool ShouldStop() const {
        if (p_.cancel != nullptr && p_.cancel->IsSet()) return true;
        return p_.dialog != nullptr && !p_.dialog->WindowExists();
    }

    void Report(const std::string& text) {
        CloseDialog();
        if (p_.reportFailures) {
            ShowSharedMessage(text);
        } else {
            std::fprintf(stderr, "Online update check: %s\n", text.c_str());
            std::fflush(stderr);
        }
    }

    void Post(unsigned code, std::intptr_t wParam, std::intptr_t lParam) {
        if (p_.dialog != nullptr) p_.dialog->Target().Post({code, wParam, lParam});
    }
    void PostStatus(DownloadStatus status) { Post(MSG_DOWNLOAD_PROGRESS, status, 0); }
    void CloseDialog() { Post(MSG_CLOSE_DOWNLOAD_DIALOG, 0, 0); }

    DownloadParameters& p_;
};

}  // namespace

void DownloadThread(DownloadParameters& parameters) {
    CUpdateCheck check(parameters);
    try {
        check.Run();
    } catch (const std::exception& error) {
        check.Fail(error.what());
    } catch (...) {
        check.FailUnspecified();
    }
}

}  // namespace zelvor
