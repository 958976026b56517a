#include "crunch/module_callbacks.h"

#include <atomic>
#include <chrono>
#include <mutex>

#include "app/grelt_binding.h"
#include "crunch/forced_thread_end.h"
#include "crunch/number_crunching.h"
#include "model/locks.h"
#include "platform/app_message.h"
#include "platform/named_event.h"

namespace zelvor {

namespace {

/// How often a paused module looks whether it was resumed behind its event's back (a resume pulse sent
/// before the module waited on the event is otherwise lost).
constexpr std::chrono::milliseconds PAUSE_RECHECK{100};

bool StopRequested() {
    CNumberCrunching* run = CNumberCrunching::Active();
    CalcData* cd = run ? run->Calc() : nullptr;
    if (cd == nullptr) return true;
    std::atomic_ref<std::int32_t> pause(cd->pauseRequested);
    if (pause.load() != 0) {
        const std::shared_ptr<NamedEvent> resume =
            NamedEvent::Create(cd->resumeEventName, NamedEvent::ResetMode::Manual, false);
        while (pause.load() != 0 && !resume->Wait(PAUSE_RECHECK)) {
        }
        std::lock_guard lock(ModuleLock());
        pause.store(0);
    }
    std::lock_guard lock(ModuleLock());
    return cd->stopRequested != 0;
}

void ReportVariablesReady(bool* first) {
    if (const UseMyGreltHandlerFn useHandler = GreltExports().UseMyGreltHandler) useHandler();
    CNumberCrunching* run = CNumberCrunching::Active();
    CalcData* cd = run ? run->Calc() : nullptr;
    if (first != nullptr && *first) {
        if (cd != nullptr && cd->expectsStdInput) {
            if (const std::shared_ptr<NamedEvent> started = NamedEvent::Open(cd->initEventName)) started->Set();
            return;
        }
        PostToMainWindow(MODULE_VARIABLES_READY_MESSAGE, 0, 1);
        return;
    }
    PostToMainWindow(MODULE_VARIABLES_READY_MESSAGE, 0, 0);
}

}  // namespace

// Module code may be ended by force at any instruction (a module that ignores the stop request is ended so);
// the program's own code called back from it must not be, or a lock it holds would stay held. Each callback
// marks the thread as running the program's code and restores the marking as its last step, when it holds
// nothing; a forced end asked for meanwhile takes effect there.

bool ShouldThreadStop() {
    const bool inModuleCode = LeaveModuleCode();
    const bool stop = StopRequested();
    RestoreModuleCode(inModuleCode);
    return stop;
}

void ModuleVariablesAreReady(bool* first) {
    const bool inModuleCode = LeaveModuleCode();
    ReportVariablesReady(first);
    RestoreModuleCode(inModuleCode);
}

void GraphIsReady(const char* graphName) {
    const bool inModuleCode = LeaveModuleCode();
    PostToMainWindow(GRAPH_IS_READY_MESSAGE, reinterpret_cast<std::intptr_t>(graphName), 0);
    RestoreModuleCode(inModuleCode);
}

void GetRedirStdIOHandles(int* stdInputRead, int* stdOutputWrite) {
    CNumberCrunching* run = CNumberCrunching::Active();
    CalculationStdIO* stdio = run ? run->StdIO() : nullptr;
    if (stdInputRead != nullptr) *stdInputRead = stdio ? stdio->StdinRead() : -1;
    if (stdOutputWrite != nullptr) *stdOutputWrite = stdio ? stdio->StdoutWrite() : -1;
}

}  // namespace zelvor
