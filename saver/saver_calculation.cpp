// CSaverApp's calculations: the module list read once at start-up, the configured calculation started in
// place of the coordinate files, the commands run before and after it.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <utility>
#include <ostream>

#include "app/gui_stream.h"
#include "crunch/module_list_path.h"
#include "crunch/number_crunch_settings_sheet.h"
#include "crunch/number_crunching.h"
#include "crunch/redirect_stdio.h"
#include "model/dravik_doc.h"
#include "saver/playlist.h"
#include "saver/saver_app.h"
#include "saver/saver_view.h"
#include "saver/saver_wnd.h"

namespace zelvor {

void CSaverApp::LoadCalculationModules() {
    modules_ = std::make_unique<CNumberCrunchModules>();
    const std::string list = ModuleListPath(DefaultModuleListPlaces(modulesPath_));
    // Without a list no calculation is offered; the settings are loaded all the same (and saved at exit).
    if (list.empty() || !modules_->LoadAndVerifyModules(list, false)) modules_->settings.LoadSettings();
    pollingInterval = modules_->settings.pollingInterval;
}

std::string CSaverApp::GetNumberCrunchModuleName() const {
    if (!modules_) return {};
    const std::string menu = GetProfileString(CPlaylist::SECTION, CALCULATION_CHOICE, DEFAULT_CALCULATION);
    const auto found = modules_->menuToFile.find(menu);
    return found == modules_->menuToFile.end() ? std::string() : found->second;
}

std::vector<std::string> CSaverApp::CalculationMenuNames() const {
    std::vector<std::string> names;
    if (modules_)
        for (const auto& [menu, file] : modules_->menuToFile) names.push_back(menu);
    return names;
}

void CSaverApp::RunCalculationCommand(bool before) {
    if (!modules_) return;
    const std::string file = GetNumberCrunchModuleName();
    const auto& commands = before ? modules_->settings.preCommands : modules_->settings.postCommands;
    if (file.empty() || !commands) return;
    const auto found = commands->find(file);
    if (found == commands->end() || found->second.empty()) return;
    // The user's commands, run by the shell; the program waits for them.
    const int status = std::system(found->second.c_str());
    (void)status;
}

bool CSaverApp::StartConfiguredCalculation(CSaverView& view) {
    const std::string file = GetNumberCrunchModuleName();
    if (!calculation_) {
        // The process's standard handles become the module's from here on. What the module and the program
        // print still reaches the standard error the program was started with (a terminal, a log).
        const int programStderr = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
        programStdout_ = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        redirect_ = std::make_unique<CRedirectStdIO>();
        redirect_->SetCalculationRunning([this] { return calculation_ && calculation_->IsNumberCrunching(); });
        redirect_->StartStdOutThrd([programStderr](std::string_view text) {
            if (programStderr >= 0 && write(programStderr, text.data(), text.size()) < 0) return;
        });
        programStderr_ = programStderr;
        calculation_ = std::make_unique<CNumberCrunching>(*document_, *modules_, AppName(), redirect_.get());
        calculation_->SetHooks(HooksForCalculation([this] { return GetView(); }));
    }
    if (calculation_->SetTypeOfNumberCrunching(file) == 0) return false;
    {
        // The settings sheet, never shown, hands the remembered entries to the module.
        CNumberCrunchSettingsSheet sheet(*modules_, file, QString::fromStdString(modules_->fileToMenu[file]), nullptr,
                                         document_->moduleLibraryName);
        sheet.SetModuleErrorPrompt(ModuleFaultPrompt());
        if (!sheet.CommitEntries()) return true;
        sheet.DestroyWindow();
    }
    // A move ends the saver through the main thread now, so that the calculation ends and its commands run.
    hardExitOnInput_.store(false);
    if (!calculation_->StartNumberCrunching()) return false;
    view.SetPollingInterval(modules_->settings.pollingInterval);
    view.UpdatePollingFrequency();
    return true;
}

ModuleErrorPrompt CSaverApp::ModuleFaultPrompt() {
    return [this](const std::string& function, const std::string& library) {
        return PromptModuleError(function, library) == QuestionAnswer::Yes;
    };
}

CalculationHooks CSaverApp::HooksForCalculation(std::function<CSaverView*()> view) {
    CalculationHooks hooks;
    hooks.updatePollingFrequency = [view] {
        if (CSaverView* v = view()) v->UpdatePollingFrequency();
    };
    hooks.stopPolling = [view] {
        if (CSaverView* v = view()) v->StopPolling();
    };
    hooks.firstUpdate = [view] {
        if (CSaverView* v = view()) v->OnInitialUpdate();
    };
    hooks.setTerminateAtExit = [this] { terminateAtExit = 1; };
    hooks.promptModuleError = ModuleFaultPrompt();
    return hooks;
}

void CSaverApp::EndCalculation() {
    if (!calculation_) return;
    calculation_->ShutDownNumberCrunching();
    // The views go next: nothing may call back into them.
    CalculationHooks hooks;
    hooks.setTerminateAtExit = [this] { terminateAtExit = 1; };
    calculation_->SetHooks(std::move(hooks));
}

void CSaverApp::ReleaseCalculation() {
    calculation_.reset();
    // Joins the reader and writer threads; the module that used the pipes has ended.
    redirect_.reset();
    // Standard output and error are the program's own again (the post-calculation command writes there).
    for (auto [saved, standard] : {std::pair{&programStdout_, STDOUT_FILENO}, std::pair{&programStderr_, STDERR_FILENO}}) {
        if (*saved < 0) continue;
        dup2(*saved, standard);
        close(*saved);
        *saved = -1;
    }
}

}  // namespace zelvor
