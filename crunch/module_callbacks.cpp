#include "crunch/module_callbacks.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <mutex>

#include "app/grelt_binding.h"
#include "crunch/number_crunching.h"
#include "model/locks.h"
#include "platform/app_message.h"
#include "platform/named_event.h"

namespace zelvor {

namespace {

/// How often a paused module looks whether it was resumed behind its event's back (a resume pulse sent
/// before the module waited on the event is otherwise lost).
constexpr std::chrono::milliseconds PAUSE_RECHECK{100};

/// Module code may be cancelled at any instruction (a module that ignores the stop request is ended so);
/// the program's own code called back from it must not be, or a lock it holds would stay held. Each callback
/// runs with cancellation deferred and restores the module's setting as its last step, when it holds nothing.
int DeferCancellation() {
    int previous = PTHREAD_CANCEL_DEFERRED;
    pthread_setcanceltype(PTHREAD_CANCEL_DEFERRED, &previous);
    return previous;
}

void RestoreCancellation(int previous) { pthread_setcanceltype(previous, nullptr); }

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

bool ShouldThreadStop() {
    const int cancellation = DeferCancellation();
    const bool stop = StopRequested();
    RestoreCancellation(cancellation);
    return stop;
}

void ModuleVariablesAreReady(bool* first) {
    const int cancellation = DeferCancellation();
    ReportVariablesReady(first);
    RestoreCancellation(cancellation);
}

void GraphIsReady(const char* graphName) {
    const int cancellation = DeferCancellation();
    PostToMainWindow(GRAPH_IS_READY_MESSAGE, reinterpret_cast<std::intptr_t>(graphName), 0);
    RestoreCancellation(cancellation);
}

void GetRedirStdIOHandles(int* stdInputRead, int* stdOutputWrite) {
    CNumberCrunching* run = CNumberCrunching::Active();
    CalculationStdIO* stdio = run ? run->StdIO() : nullptr;
    if (stdInputRead != nullptr) *stdInputRead = stdio ? stdio->StdinRead() : -1;
    if (stdOutputWrite != nullptr) *stdOutputWrite = stdio ? stdio->StdoutWrite() : -1;
}

}  // namespace zelvor
