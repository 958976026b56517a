#include "crunch/number_crunching.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <future>
#include <mutex>
#include <ostream>

#include "app/grelt_binding.h"
#include "app/gui_stream.h"
#include "app/module_guard.h"
#include "crunch/forced_thread_end.h"
#include "crunch/module_callbacks.h"
#include "model/locks.h"
#include "platform/thread_registration.h"

namespace zelvor {

namespace {

std::atomic<CNumberCrunching*> activeRun{nullptr};

/// pauseRequested is set by the user-interface thread and read by the calculation thread without the lock.
std::atomic_ref<std::int32_t> PauseFlag(CalcData& cd) { return std::atomic_ref<std::int32_t>(cd.pauseRequested); }

std::string Formatted(const char* format, const std::string& a, const std::string& b, const std::string& c = {}) {
    char text[600];
    std::snprintf(text, sizeof text, format, a.c_str(), b.c_str(), c.c_str());
    return text;
}

/// Sets the event when the calculation thread ends, by return or by cancellation.
struct ThreadEndSignal {
    std::shared_ptr<NamedEvent> ended;
    ~ThreadEndSignal() { ended->Set(); }
};

}  // namespace

CNumberCrunching::CNumberCrunching(CDravikDoc& doc, CNumberCrunchModules& modules, std::string appName,
                                   CalculationStdIO* stdio)
    : doc_(doc), modules_(modules), appName_(std::move(appName)), stdio_(stdio) {
    doc_.AttachCalculation(this);
}

CNumberCrunching::~CNumberCrunching() {
    ShutDownNumberCrunching();
    ReleaseThread();
    CNumberCrunching* self = this;
    activeRun.compare_exchange_strong(self, nullptr);
    if (doc_.Calculation() == this) doc_.AttachCalculation(nullptr);
}

CNumberCrunching* CNumberCrunching::Active() { return activeRun.load(); }

CalcData* CNumberCrunching::Calc() {
    const auto found = modules_.calculations.find(doc_.moduleLibraryName);
    return found == modules_.calculations.end() ? nullptr : &found->second;
}

bool CNumberCrunching::ModuleLibraryPresent() const {
    return modules_.IsNumberCrunchModulePresent(doc_.moduleLibraryName);
}

bool CNumberCrunching::PromptModuleError(const std::string& function) const {
    return hooks_.promptModuleError && hooks_.promptModuleError(function, doc_.moduleLibraryName);
}

int CNumberCrunching::SetTypeOfNumberCrunching(const std::string& fileName) {
    if (!modules_.IsNumberCrunchModulePresent(fileName)) {
        MessageStream() << "Error! " << fileName << " hasn't been loaded." << std::endl;
        return 0;
    }
    doc_.moduleLibraryName = fileName;
    return 1;
}

bool CNumberCrunching::IsNumberCrunching() {
    if (!ModuleLibraryPresent()) return false;
    CalcData* cd = Calc();
    if (cd == nullptr) return false;
    std::lock_guard lock(ModuleLock());
    return cd->stopRequested != 1;
}

bool CNumberCrunching::StartNumberCrunching() {
    if (IsNumberCrunching()) return true;
    const std::string name = doc_.moduleLibraryName;
    CalcData* cd = Calc();
    if (!ModuleLibraryPresent() || cd == nullptr || cd->beginCalculation == nullptr) {
        MessageStream() << "Error! " << name << " hasn't been loaded." << std::endl;
        return false;
    }
    // A calculation that returned, or was shut down, left its thread behind.
    ReleaseThread();
    const BeginCalculationFn beginCalculation = cd->beginCalculation;
    {
        std::lock_guard lock(ModuleLock());
        cd->stopRequested = 0;
    }
    activeRun.store(this);
    dataTaken_ = false;

    const CrashHookFn crashHook = GreltExports().UseMyGreltHandler;
    try {
        GuardedCall([&] {
            cd->setCallBackFuncAddresses(zelvor::ShouldThreadStop, zelvor::ModuleVariablesAreReady,
                                         zelvor::GraphIsReady, zelvor::GetRedirStdIOHandles, crashHook);
        });
    } catch (const ModuleFault&) {
        if (PromptModuleError("SetCallBackFuncAddresses")) throw;
    }

    std::snprintf(cd->resumeEventName, CalcData::EVENT_NAME_SIZE, "ResumeNumberCrunching-%s", doc_.GetGUIDstr().c_str());
    std::snprintf(cd->initEventName, CalcData::EVENT_NAME_SIZE, "InitNumberCrunching-%s", doc_.GetGUIDstr().c_str());
    // Created before the thread starts: a module that reports readiness at once must find it.
    startupEvent_ = NamedEvent::Create(cd->initEventName, NamedEvent::ResetMode::Automatic, false);
    startupEvent_->Reset();

    if (cd->expectsStdInput && stdio_ != nullptr) {
        if (!cd->stdInputFile.empty())
            stdio_->FeedFile2Stdin(cd->stdInputFile);
        else
            stdio_->FeedText2Stdin(cd->stdInputText.data(), cd->stdInputText.size());
    }

    threadEnded_ = std::make_shared<NamedEvent>(NamedEvent::ResetMode::Manual, false);
    InstallForcedThreadEnd();
    std::promise<pid_t> threadId;
    std::future<pid_t> knownThreadId = threadId.get_future();
    thread_ = std::thread([this, beginCalculation, threadId = std::move(threadId), ended = threadEnded_]() mutable {
        ThreadEndSignal endSignal{ended};
        RegisteredThread registered;
        // Named for whoever looks at the process's threads (top -H, a debugger).
        pthread_setname_np(pthread_self(), "calculation");
        const auto self = static_cast<pid_t>(syscall(SYS_gettid));
        // A crash in module code reports and parks this thread; the program goes on. Marked before any module
        // code runs here.
        if (const SetDiagnosticGreltHandlerFn diagnostic = GreltExports().SetDiagnosticGreltHandler)
            diagnostic(self);
        threadId.set_value(self);
        DllSubMainFunc(this, beginCalculation);
    });
    calculationThread_ = knownThreadId.get();

    menuName_ = modules_.fileToMenu[name];
    if (!cd->expectsStdInput) {
        doc_.SetLoadResult(-1);
        return true;
    }

    if (waits_->ForStartup(*startupEvent_, std::chrono::milliseconds(STARTUP_TIMEOUT_MS))) {
        startupEvent_->Reset();
        startupEvent_.reset();
        ModuleIsReady();
        return true;
    }

    // The start-up watchdog: the module never said it was ready.
    {
        std::lock_guard lock(ModuleLock());
        cd->stopRequested = 1;
    }
    TerminateCalculationThread();
    // Nothing here can tell whether the thread was waiting for input or output.
    MessageStream() << Formatted("It seems that %s failed to start for one reason or another.\nIts thread has been "
                                 "terminated and it is recommended that you\nsave your work and restart %s.",
                                 menuName_, appName_)
                    << std::endl;
    startupEvent_->Reset();
    startupEvent_.reset();
    if (hooks_.stopPolling) hooks_.stopPolling();
    return false;
}

void CNumberCrunching::DllSubMainFunc(CNumberCrunching* run, BeginCalculationFn beginCalculation) {
    if (beginCalculation == nullptr) {
        MessageStream() << "Error! Numbercrunching function not specified." << std::endl;
        return;
    }
    // The start cleared the stop request before the thread began; clearing it here again would lose a stop
    // that the start-up watchdog made meanwhile.
    if (run->Calc() == nullptr) return;
    try {
        GuardedCall([beginCalculation] {
            // Module code may be ended by force at any instruction: it holds nothing of ours.
            EnterModuleCode();
            beginCalculation();
            LeaveModuleCode();
        });
    } catch (const ModuleFault&) {
        if (run->PromptModuleError("BeginCalculation")) throw;
    }
    // The module returned: its calculation has finished, so the polling view says so.
    run->ModuleIsNotReady();
}

bool CNumberCrunching::TerminateCalculationThread() {
    if (!thread_.joinable()) return true;
    // A module that asks whether to stop ends by itself, with its locks released: give it the chance.
    if (threadEnded_->Wait(std::chrono::milliseconds(STOP_GRACE_MS))) {
        thread_.join();
        return true;
    }
    // The thread ends at once in module code, and at its next return to module code from a callback.
    EndThreadByForce(calculationThread_);
    for (int waited = 0; waited < FORCED_END_WAIT_MS; waited += 10) {
        if (ThreadHasEnded(calculationThread_) || threadEnded_->Wait(std::chrono::milliseconds(10))) {
            thread_.join();
            return true;
        }
    }
    thread_.detach();
    return false;
}

void CNumberCrunching::ReleaseThread() {
    if (!thread_.joinable()) return;
    if (threadEnded_ && threadEnded_->Wait(std::chrono::milliseconds(0)))
        thread_.join();
    else
        thread_.detach();
}

void CNumberCrunching::ModuleIsNotReady() {
    if (CalcData* cd = Calc()) {
        std::lock_guard lock(ModuleLock());
        cd->stopRequested = 1;
    }
    if (stdio_ != nullptr) stdio_->FlushPendingStdInput();
}

void CNumberCrunching::PulseResumeEvent(const CalcData& cd) {
    if (const std::shared_ptr<NamedEvent> resume = NamedEvent::Open(cd.resumeEventName)) {
        resume->Set();
        resume->Reset();
    }
}

std::string CNumberCrunching::StartorPauseNumberCrunching(int pause) {
    const std::string name = doc_.moduleLibraryName;
    if (name == "<your.dll>") return {};
    const std::string menu = modules_.fileToMenu.count(name) ? modules_.fileToMenu[name] : std::string();
    CalcData* cd = Calc();
    if (cd != nullptr && IsNumberCrunching()) {
        if (pause == 0 && PauseFlag(*cd).load() != 0) {
            PauseFlag(*cd).store(0);
            PulseResumeEvent(*cd);
            if (hooks_.updatePollingFrequency) hooks_.updatePollingFrequency();
            doc_.UpdateAllViews(HINT_FRAME_CHANGED);
            return "Pause " + menu;
        }
        PauseFlag(*cd).store(1);
        if (hooks_.stopPolling) hooks_.stopPolling();
        return "Resume " + menu;
    }
    return StartNumberCrunching() ? "Pause " + menu : "Run " + menu;
}

std::string CNumberCrunching::AbortNumberCrunching() {
    const std::string name = doc_.moduleLibraryName;
    const std::string menu = modules_.fileToMenu.count(name) ? modules_.fileToMenu[name] : std::string();
    CalcData* cd = Calc();
    if (cd != nullptr && IsNumberCrunching()) {
        PauseFlag(*cd).store(0);
        PulseResumeEvent(*cd);
        if (hooks_.stopPolling) hooks_.stopPolling();
        ShutDownNumberCrunching();
    }
    return "Run " + menu;
}

void CNumberCrunching::ShutDownNumberCrunching() {
    if (!IsNumberCrunching()) return;
    CalcData* cd = Calc();
    if (!cd->exitCommand.empty() && stdio_ != nullptr) {
        const std::string line = cd->exitCommand + "\n";
        stdio_->FeedText2Stdin(line.data(), line.size());
    }
    {
        std::lock_guard lock(ModuleLock());
        cd->stopRequested = 1;
    }
    // A paused module waits for its resume event: wake it so that it sees the stop request.
    if (PauseFlag(*cd).exchange(0) != 0) PulseResumeEvent(*cd);
    if (!thread_.joinable()) return;
    if (waits_->ForThreadEnd(*threadEnded_, std::chrono::milliseconds(SHUTDOWN_TIMEOUT_MS))) {
        thread_.join();
        return;
    }
    TerminateCalculationThread();
    MessageStream() << "Abnormal termination of " << menuName_ << ". Please restart this program." << std::endl;
    if (hooks_.setTerminateAtExit) hooks_.setTerminateAtExit();
}

}  // namespace zelvor
