#include "app/my_app.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <ios>
#include <ostream>
#include <vector>

#include "app/download_thread.h"
#include "platform/shared_message.h"
#include "platform/thread_registration.h"

extern char** environ;

namespace zelvor {

namespace {

constexpr int PERFORMANCE_OK = 1;
constexpr std::int64_t UPDATE_CHECK_DAYS = 7;
// The nice value of the update check: it never competes with the saver for the processor.
constexpr int LOWEST_PRIORITY = 19;

}  // namespace

CMyApp::CMyApp() { InstallDefaultHooks(); }

CMyApp::CMyApp(std::string appName, std::string fileVersion) : CAppProfile(std::move(appName), std::move(fileVersion)) {
    InstallDefaultHooks();
}

void CMyApp::InstallDefaultHooks() {
    createSliderProbe = [] { return true; };
    currentTime = [] { return std::time(nullptr); };
    startInstaller = [](const std::string& path, const std::string& parameters, const std::string& folder) {
        StartInstallerProcess(path, parameters, folder);
    };
}

CMyApp::~CMyApp() {
    // Nothing may run once the application object is gone: the update check is stopped and waited for (its
    // transfers give up within a fraction of a second), and a download it completed is kept.
    StopUpdateCheck();
    // A module left the process in a state that normal shutdown could hang or crash in.
    if (terminateAtExit) std::_Exit(TERMINATE_EXIT_CODE);
    StartDownloadedInstaller();
}

bool CMyApp::InitInstance() {
    // Component libraries and control hosting need no initialisation here: the toolkit's application object
    // stands in for them and exists before InitInstance runs.
    const bool baseResult = true;

    SetRegistryKey(REGISTRY_COMPANY);
    appSettings.LoadSettings();

    const int performanceStatus = InitialisePerformanceMonitor();
    if (performanceStatus != PERFORMANCE_OK) {
        MessageStream() << "The performance module couldn't be initialised" << "\nError code is:" << std::hex
                        << static_cast<unsigned>(performanceStatus) << std::dec << std::endl;
        return false;
    }

    if (createSliderProbe && !createSliderProbe()) {
        MessageStream() << "The Scrivel ActiveX control can't be created.\n"
                        << "Is it properly registered on this system?" << std::endl;
        return false;
    }

    const std::int64_t today = DayNumber(currentTime ? currentTime() : std::time(nullptr));
    if (IsUpdateCheckDue(appSettings.weeklyUpdateCheck != 0, appSettings.lastUpdateCheckDay, today))
        CheckOnlineForUpdate(false, 0);

    return baseResult;
}

int CMyApp::ExitInstance() { return exitCode; }

int CMyApp::InitialisePerformanceMonitor() { return performance.Initialise(); }

void CMyApp::CheckOnlineForUpdate(bool showDialog, WindowHandle parent) {
    if (showDialog && updateCheckRunning_ && downloadDialog_ && downloadDialog_->WindowExists()) {
        downloadDialog_->ShowRunning();
        return;
    }
    // One check at a time: the previous one ends (it stops within a fraction of a second when asked) before
    // its dialog and parameters go.
    StopUpdateCheck();
    cancelDownload.Clear();

    auto parameters = std::make_unique<DownloadParameters>();
    parameters->endpoint = UpdateServer();
    if (createProgressDialog)
        downloadDialog_ = createProgressDialog(
            {parent, AppName(), parameters->endpoint.ServerName(), &cancelDownload, showDialog});
    // Shown (and centred) before the thread can post its first status to it.
    if (downloadDialog_) downloadDialog_->Present();
    parameters->dialog = downloadDialog_.get();
    parameters->cancel = &cancelDownload;
    parameters->programName = AppName();
    parameters->versionText = GetFileVersionNumber();
    parameters->updateAction = appSettings.updateAction;
    parameters->reportFailures = showDialog;
    parameters->transfer = updateTransferOptions;
    parameters->tempFolder = TempFolder();
    downloadParameters_ = std::move(parameters);

    // All network work, name lookup included, happens on the thread: start-up never waits for it.
    updateCheckRunning_ = true;
    updateCheckThread = std::thread([this, block = downloadParameters_.get()] {
        RegisteredThread registered;
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), LOWEST_PRIORITY);
        DownloadThread(*block);
        updateCheckRunning_ = false;
    });
    appSettings.lastUpdateCheckDay =
        static_cast<std::int32_t>(DayNumber(currentTime ? currentTime() : std::time(nullptr)));
}

void CMyApp::WaitForUpdateCheck() { JoinUpdateCheck(); }

void CMyApp::StopUpdateCheck() {
    if (updateCheckThread.joinable()) {
        cancelDownload.Set();
        if (downloadDialog_ && downloadDialog_->WindowExists()) downloadDialog_->Close();
    }
    JoinUpdateCheck();
    downloadDialog_.reset();
}

void CMyApp::JoinUpdateCheck() {
    if (updateCheckThread.joinable()) updateCheckThread.join();
    if (downloadParameters_ && !downloadParameters_->downloadedInstaller.empty())
        installerPath = downloadParameters_->downloadedInstaller;
    downloadParameters_.reset();
}

UpdateEndpoint CMyApp::UpdateServer() const { return UpdateEndpoint::FromSettings(*this); }

std::string CMyApp::ModuleErrorText(const std::string& function, const std::string& module) const {
    std::string text = "A programming bug was encountered in the function \"";
    text += function;
    text += "\"\nin the module \"";
    text += module;
    text += "\". Debug this module to fix the problem before\nusing it. ";
    text += "Press Yes for generating an error report and continue. Press\n";
    text += "No simply to continue. Beware that ";
    text += AppName();
    text += " might now be unstable\nand therefore could behave unpredictably. ";
    text += "Do you want an error report?";
    return text;
}

QuestionAnswer CMyApp::PromptModuleError(const std::string& function, const std::string& module) {
    return AskQuestion(ModuleErrorText(function, module), AppName());
}

void CMyApp::SetSharedMessage(const std::string& text) { zelvor::SetSharedMessage(text); }

std::string CMyApp::GetSharedMessage() const { return zelvor::GetSharedMessage(); }

std::int64_t CMyApp::DayNumber(std::time_t now) { return static_cast<std::int64_t>(now) / SECONDS_PER_DAY; }

bool CMyApp::IsUpdateCheckDue(bool weeklyCheck, std::int64_t lastCheckDay, std::int64_t today) {
    return weeklyCheck && lastCheckDay + UPDATE_CHECK_DAYS < today;
}

void CMyApp::StartDownloadedInstaller() {
    if (appSettings.updateAction != UPDATE_ACTION_DOWNLOAD || installerPath.empty()) return;
    std::error_code error;
    if (!std::filesystem::is_regular_file(installerPath, error)) return;
    if (startInstaller) startInstaller(installerPath, "update", TempFolder());
}

std::string TempFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? std::string(folder) : std::string("/tmp");
}

int StartInstallerProcess(const std::string& path, const std::string& parameters, const std::string& folder) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return 0;
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<char*> argv{const_cast<char*>(path.c_str()), const_cast<char*>(parameters.c_str()), nullptr};
    pid_t child = 0;
    // The installer outlives this process, which is about to end: nobody waits for it.
    const int result = posix_spawn(&child, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return result == 0 ? static_cast<int>(child) : 0;
}

}  // namespace zelvor
