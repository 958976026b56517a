#pragma once
/// The crash handler's process-wide state: built by InitialiseGreltHandler, read by the fault handler. All
/// texts live in fixed arrays so that the crashed process reads them without allocating.
#include "greltlib/core_dump_writer.h"
#include "greltlib/handler_tables.h"
#include "greltlib/report_header.h"
#include "greltlib/thread_stopper.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <sys/types.h>

namespace zelvor::grelt {

/// The handle InitialiseGreltHandler gives out; it carries no data of its own.
class CGreltLib {};

/// The fault signals handled, the counterpart of an unhandled-exception filter.
inline constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT};
inline constexpr int kFaultSignalCount = sizeof kFaultSignals / sizeof kFaultSignals[0];

struct HandlerState {
    static constexpr std::size_t kRecipientNameCapacity = 348;
    static constexpr std::size_t kRecipientAddressCapacity = 200;
    static constexpr std::size_t kNameCapacity = 256;
    static constexpr std::size_t kPathCapacity = PATH_MAX;

    std::atomic<CGreltLib*> handlerObject{nullptr};
    char recipientName[kRecipientNameCapacity] = {};
    char recipientAddress[kRecipientAddressCapacity] = {};
    char programName[kNameCapacity] = {};
    char logPath[kPathCapacity] = {};
    char dumpPath[kPathCapacity] = {};
    char compressedDumpPath[kPathCapacity + 3] = {};  // dumpPath + ".gz", removed when a new dump is written
    char helperPath[kPathCapacity] = {};
    char executablePath[kPathCapacity] = {};

    struct sigaction previousActions[kFaultSignalCount] = {};
    bool handlersInstalled = false;

    DiagnosticThreads diagnosticThreads;
    TaggedModules thirdPartyModules;

    ReportHeaderWriter header;
    CoreDumpWriter dump;
    ThreadStopper stopper;

    /// The thread handling a fault, 0 when none: the first faulting thread claims it, a second one waits.
    std::atomic<int> faultOwner{0};
    std::atomic<bool> faultInDiagnosticThread{false};
    std::atomic<bool> terminating{false};
};

HandlerState& State();

}  // namespace zelvor::grelt
