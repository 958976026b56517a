#pragma once
/// CMyApp: the program's application object and the services every part of the program shares.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/app_profile.h"
#include "app/app_settings.h"
#include "app/gui_stream.h"
#include "app/question_box.h"
#include "app/update_endpoint.h"
#include "app/update_progress_dialog.h"
#include "app/update_transfer.h"
#include "platform/performance.h"

namespace zelvor {

struct DownloadParameters;

/// The application object: settings key, application settings, performance monitor, shared message,
/// and the start-up and teardown order of the program. The screensaver application derives from it.
class CMyApp : public CAppProfile {
public:
    /// The company word that keys the settings store.
    static constexpr const char* REGISTRY_COMPANY = "Cobrant";
    /// Exit code of the hard exit when a calculation module left the process unusable.
    static constexpr int TERMINATE_EXIT_CODE = -10;
    /// Seconds per day number of the weekly update check.
    static constexpr std::int64_t SECONDS_PER_DAY = 86400;

    /// Application "Zelvor" at this build's file version.
    CMyApp();
    CMyApp(std::string appName, std::string fileVersion);
    /// Teardown: joins the update check, hard exit when terminateAtExit is set, starts a downloaded installer.
    ~CMyApp() override;

    /// Settings key, application settings, performance monitor, control probe, weekly update check.
    /// False ends the program (the reason has been written to the message stream).
    virtual bool InitInstance();
    /// Runs after the message loop; returns the process exit code (exitCode unless a derived class decides).
    virtual int ExitInstance();

    /// Asks whether to generate an error report after a module call faulted; the caller acts on the answer.
    QuestionAnswer PromptModuleError(const std::string& function, const std::string& module);
    /// The text PromptModuleError shows.
    std::string ModuleErrorText(const std::string& function, const std::string& module) const;

    /// Looks online for a newer version on a worker thread of the lowest priority and returns at once.
    /// showDialog shows the progress dialog (a running check's, if there is one); without it the check runs
    /// hidden. parent 0: the dialog hook picks the active window. Stores today's day as the last check day.
    virtual void CheckOnlineForUpdate(bool showDialog, WindowHandle parent);
    /// Waits for a running check to end by itself and takes over the installer it downloaded.
    void WaitForUpdateCheck();
    /// Stops a running check (cancel flag, dialog closed), waits for it and releases its dialog.
    void StopUpdateCheck();
    /// The update server: the "Update Server" setting of section "Config" when set, else the built-in one.
    UpdateEndpoint UpdateServer() const;

    /// Text that a worker thread leaves for the main window (see app/shared_message.h).
    void SetSharedMessage(const std::string& text);
    std::string GetSharedMessage() const;

    /// Day number of a calendar time: seconds / 86400, truncated toward zero.
    static std::int64_t DayNumber(std::time_t now);
    /// True when the weekly check is on and more than 7 days passed since lastCheckDay.
    static bool IsUpdateCheckDue(bool weeklyCheck, std::int64_t lastCheckDay, std::int64_t today);

    /// Processor usage of this process (the tessellation governor reads it).
    CPerformance performance;
    /// The application settings, loaded by InitInstance once the settings key is set.
    CAppSettings appSettings{true};
    /// Full path of a downloaded installer, empty when none; started at exit.
    std::string installerPath;
    /// Set when a calculation module left the process in a state that only a hard exit can end.
    std::uint8_t terminateAtExit = 0;
    /// The message loop's result; the default ExitInstance returns it.
    int exitCode = 0;
    /// The online update check, when one runs; joined before the application object goes.
    std::thread updateCheckThread;
    /// Set by the progress dialog's Cancel; a check stops at its next look.
    DownloadCancelFlag cancelDownload;
    /// Creates the update check's progress dialog; none (the default): checks run without a dialog.
    /// The dialog library installs the real one (InstallUpdateDialogs).
    ProgressDialogFactory createProgressDialog;
    /// Timeouts and trust anchors of the update check (tests shorten and point them).
    UpdateTransferOptions updateTransferOptions;

    /// Creates (and destroys again) one slider-scroller control; false when it can't be created.
    /// The default succeeds; the windowing layer installs the real probe.
    std::function<bool()> createSliderProbe;
    /// Calendar time for the weekly check (replaceable for tests).
    std::function<std::time_t()> currentTime;
    /// Starts the installer at exit with its parameters and working folder. The default runs it detached.
    std::function<void(const std::string& path, const std::string& parameters, const std::string& folder)>
        startInstaller;

protected:
    /// Initialises the performance monitor; 1 on success, else an error code.
    virtual int InitialisePerformanceMonitor();

private:
    void InstallDefaultHooks();
    /// The installer start of the teardown: only "download and install" with an existing file.
    void StartDownloadedInstaller();
    /// Joins the check's thread and keeps the installer it downloaded.
    void JoinUpdateCheck();

    std::unique_ptr<CUpdateProgressDialog> downloadDialog_;
    std::unique_ptr<DownloadParameters> downloadParameters_;
    /// True from the start of a check's thread to its end.
    std::atomic<bool> updateCheckRunning_{false};
};

/// Runs an installer detached from this process: path with one parameter, in folder. Returns its
/// process id, 0 when it could not be started.
int StartInstallerProcess(const std::string& path, const std::string& parameters, const std::string& folder);
/// The TEMP folder: $TMPDIR, else /tmp.
std::string TempFolder();

}  // namespace zelvor
