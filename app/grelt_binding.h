#pragma once
/// The crash-handler library, bound at run time when it is installed and silently missing otherwise.
#include <string>

#include "platform/dynamic_library.h"

namespace zelvor {

/// Exports of libgreltlib.so.
extern "C" {
using InitialiseGreltHandlerFn = void* (*)(const char* recipientName, const char* recipientAddress, void* owner);
using StopUsingGreltHandlerFn = void (*)();
using SetDiagnosticGreltHandlerFn = int (*)(int threadId);
using UseMyGreltHandlerFn = void* (*)();
using TagAs3rdPartyModuleFn = int (*)(const char* modulePath);
/// Optional: gives the calling thread what the handler needs to report it (an alternate signal stack).
using RegisterGreltThreadFn = int (*)();
using UnregisterGreltThreadFn = void (*)();
}

/// The five entry points; each null until resolved.
struct GreltEntryPoints {
    InitialiseGreltHandlerFn InitialiseGreltHandler = nullptr;
    StopUsingGreltHandlerFn StopUsingGreltHandler = nullptr;
    SetDiagnosticGreltHandlerFn SetDiagnosticGreltHandler = nullptr;
    UseMyGreltHandlerFn UseMyGreltHandler = nullptr;
    TagAs3rdPartyModuleFn TagAs3rdPartyModule = nullptr;
    // Not among the five: bound when present, for the program's threads.
    RegisterGreltThreadFn RegisterGreltThread = nullptr;
    UnregisterGreltThreadFn UnregisterGreltThread = nullptr;

    bool AllResolved() const {
        return InitialiseGreltHandler && StopUsingGreltHandler && SetDiagnosticGreltHandler && UseMyGreltHandler &&
               TagAs3rdPartyModule;
    }
};

/// Binds libgreltlib.so for the life of the process entry: loads it, resolves the five exports and
/// initialises the handler only when all five are there; at the end stops the handler and unloads it.
/// While it lives, its entry points are the process-wide ones (GreltExports()).
class GreltBinding {
public:
    static constexpr const char* LIBRARY_FILE = "libgreltlib.so";
    static constexpr const char* RECIPIENT_NAME = "the Zelvor developers";
    static constexpr const char* RECIPIENT_ADDRESS = "crash-reports@zelvor.invalid";

    /// Looks in the executable's own folder first, then along the library path.
    GreltBinding();
    /// Looks in folder first (empty: only the library path).
    explicit GreltBinding(const std::string& folder);
    /// Calls StopUsingGreltHandler when it resolved, then unloads the library.
    ~GreltBinding();
    GreltBinding(const GreltBinding&) = delete;
    GreltBinding& operator=(const GreltBinding&) = delete;

    bool IsLoaded() const { return library_.IsLoaded(); }
    /// True when InitialiseGreltHandler was called.
    bool IsInitialised() const { return initialised_; }
    const GreltEntryPoints& EntryPoints() const { return entryPoints_; }

private:
    void Bind(const std::string& folder);

    DynamicLibrary library_;
    GreltEntryPoints entryPoints_;
    bool initialised_ = false;
};

/// The entry points of the living binding; all null without one.
const GreltEntryPoints& GreltExports();

/// Folder of the running executable (from /proc/self/exe), empty when unknown.
std::string ExecutableFolder();

}  // namespace zelvor
