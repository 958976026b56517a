// libgreltlib.so: the crash handler's exported functions and its start-up.
#include "greltlib/alternate_stacks.h"
#include "greltlib/fault_handler.h"
#include "greltlib/handler_state.h"
#include "greltlib/helper_protocol.h"
#include "greltlib/raw_thread.h"
#include "greltlib/report_paths.h"

#include <dlfcn.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#define GRELT_EXPORT extern "C" __attribute__((visibility("default")))

namespace zelvor::grelt {

HandlerState& State() {
    static HandlerState state;
    return state;
}

namespace {

// Dumps larger than this leave out big anonymous memory (stacks and module data stay).
constexpr std::size_t kMaxDumpBytes = std::size_t{256} << 20;

std::mutex initialiseMutex;
CGreltLib handlerInstance;

void CopyText(char* target, std::size_t capacity, const std::string& text) {
    std::snprintf(target, capacity, "%s", text.c_str());
}

std::string ReadLink(const char* path) {
    char buffer[PATH_MAX + 1] = {};
    const ssize_t length = readlink(path, buffer, PATH_MAX);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

/// The helper lies beside this library; an installation may also keep it beside the program.
std::string FindHelper(const std::string& executablePath) {
    Dl_info info{};
    std::string candidates[2];
    if (dladdr(reinterpret_cast<void*>(&FindHelper), &info) && info.dli_fname)
        candidates[0] = FolderOf(info.dli_fname) + "/" + protocol::kHelperFile;
    candidates[1] = FolderOf(executablePath) + "/" + protocol::kHelperFile;
    for (const std::string& candidate : candidates)
        if (!candidate.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
    return candidates[0];
}

/// The program's version text, when it exports one as `GreltProgramVersion`; empty otherwise.
const char* ProgramVersion() {
    const void* symbol = dlsym(RTLD_DEFAULT, "GreltProgramVersion");
    return symbol ? static_cast<const char*>(symbol) : "";
}

void Initialise(const char* recipientName, const char* recipientAddress) {
    HandlerState& s = State();
    s.diagnosticThreads.Clear();

    const std::string executable = ReadLink("/proc/self/exe");
    const ReportPaths paths = FindReportPaths(executable, [](const char* name) { return std::getenv(name); });
    CopyText(s.executablePath, sizeof s.executablePath, executable);
    CopyText(s.programName, sizeof s.programName, paths.programName);
    CopyText(s.logPath, sizeof s.logPath, paths.logPath);
    CopyText(s.dumpPath, sizeof s.dumpPath, paths.dumpPath);
    CopyText(s.compressedDumpPath, sizeof s.compressedDumpPath, paths.dumpPath + ".gz");
    CopyText(s.helperPath, sizeof s.helperPath, FindHelper(executable));
    CopyText(s.recipientName, sizeof s.recipientName, recipientName ? recipientName : "");
    CopyText(s.recipientAddress, sizeof s.recipientAddress, recipientAddress ? recipientAddress : "");

    // Everything the crashed process needs is reserved now; it will not allocate.
    s.header.Prepare(s.programName, ProgramVersion());
    s.dump.Prepare(kMaxDumpBytes);
    s.stopper.Prepare(StopSignal());
    GiveThreadAlternateStack();
    InstallFaultHandlers(true);
}

}  // namespace

}  // namespace zelvor::grelt

using namespace zelvor::grelt;

GRELT_EXPORT void* InitialiseGreltHandler(const char* recipientName, const char* recipientAddress, void* /*owner*/) {
    // The dialog belongs to a separate helper process, which has no window of ours to be owned by.
    std::lock_guard lock(initialiseMutex);
    HandlerState& s = State();
    if (CGreltLib* existing = s.handlerObject.load()) return existing;
    Initialise(recipientName, recipientAddress);
    s.handlerObject.store(&handlerInstance);
    return &handlerInstance;
}

GRELT_EXPORT void* UseMyGreltHandler() {
    if (!State().handlerObject.load()) {
        // No window system in here: the message goes where a program without one shows it.
        std::fprintf(stderr, "%s: %s\n", "Error in CGreltLib",
                     "UseMyGreltHandler() was called prior to InitialiseGreltHandler(...).\n"
                     "The exception handler is not installed");
        return reinterpret_cast<void*>(1);  // the message box's OK
    }
    return InstallFaultHandlers(true);
}

GRELT_EXPORT void StopUsingGreltHandler() {
    std::lock_guard lock(initialiseMutex);
    HandlerState& s = State();
    if (s.handlerObject.load()) {
        RestoreFaultHandlers();
        s.stopper.Uninstall();
    }
    s.handlerObject.store(nullptr);
}

GRELT_EXPORT int SetDiagnosticGreltHandler(int threadId) {
    return State().diagnosticThreads.Add(static_cast<pid_t>(threadId));
}

GRELT_EXPORT int TagAs3rdPartyModule(const char* modulePath) {
    HandlerState& s = State();
    if (!s.handlerObject.load()) return 0;
    return s.thirdPartyModules.Add(modulePath);
}

/// Called on a new thread before it runs anything that may fault: gives it an alternate signal stack, so
/// that a stack overflow is reported too. 1 on success.
GRELT_EXPORT int RegisterGreltThread() { return GiveThreadAlternateStack() ? 1 : 0; }

/// Called on a registered thread as it ends: frees its alternate stack and its diagnostic slot (the kernel
/// hands its id to a later thread).
GRELT_EXPORT void UnregisterGreltThread() {
    State().diagnosticThreads.Remove(ThisThread());
    TakeThreadAlternateStack();
}

// Unloaded while still in use: the handlers would point into unmapped code. A library's destructor also
// runs at every normal exit, where a report would be a false alarm, so the handlers are only put back.
__attribute__((destructor)) static void OnUnload() {
    HandlerState& s = State();
    if (!s.handlerObject.load()) return;
    s.terminating.store(true);
    RestoreFaultHandlers();
    s.stopper.Uninstall();
}
