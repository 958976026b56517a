#include "app/grelt_binding.h"

#include "platform/thread_registration.h"

#include <unistd.h>

#include <atomic>
#include <climits>

namespace zelvor {

namespace {

const GreltEntryPoints noEntryPoints;
std::atomic<const GreltEntryPoints*> activeEntryPoints{nullptr};

}  // namespace

GreltBinding::GreltBinding() { Bind(ExecutableFolder()); }

GreltBinding::GreltBinding(const std::string& folder) { Bind(folder); }

void GreltBinding::Bind(const std::string& folder) {
    // The copy beside the executable belongs to this installation; the library path is the fall-back.
    bool loaded = !folder.empty() && library_.Load(folder + "/" + LIBRARY_FILE);
    if (!loaded) loaded = library_.Load(LIBRARY_FILE);
    if (!loaded) return;  // No crash handler: the program runs on without saying so.

    entryPoints_.InitialiseGreltHandler = library_.Resolve<InitialiseGreltHandlerFn>("InitialiseGreltHandler");
    entryPoints_.StopUsingGreltHandler = library_.Resolve<StopUsingGreltHandlerFn>("StopUsingGreltHandler");
    entryPoints_.SetDiagnosticGreltHandler =
        library_.Resolve<SetDiagnosticGreltHandlerFn>("SetDiagnosticGreltHandler");
    entryPoints_.UseMyGreltHandler = library_.Resolve<UseMyGreltHandlerFn>("UseMyGreltHandler");
    entryPoints_.TagAs3rdPartyModule = library_.Resolve<TagAs3rdPartyModuleFn>("TagAs3rdPartyModule");
    entryPoints_.RegisterGreltThread = library_.Resolve<RegisterGreltThreadFn>("RegisterGreltThread");
    entryPoints_.UnregisterGreltThread = library_.Resolve<UnregisterGreltThreadFn>("UnregisterGreltThread");
    activeEntryPoints.store(&entryPoints_);

    // A partial library is of another version: initialising it could install a handler we can't drive.
    if (entryPoints_.AllResolved()) {
        entryPoints_.InitialiseGreltHandler(RECIPIENT_NAME, RECIPIENT_ADDRESS, nullptr);
        initialised_ = true;
        if (entryPoints_.RegisterGreltThread && entryPoints_.UnregisterGreltThread)
            SetThreadHooks({entryPoints_.RegisterGreltThread, entryPoints_.UnregisterGreltThread});
    }
}

GreltBinding::~GreltBinding() {
    SetThreadHooks({});
    if (entryPoints_.StopUsingGreltHandler) entryPoints_.StopUsingGreltHandler();
    const GreltEntryPoints* mine = &entryPoints_;
    activeEntryPoints.compare_exchange_strong(mine, nullptr);
    entryPoints_ = GreltEntryPoints{};
    library_.Unload();
}

const GreltEntryPoints& GreltExports() {
    const GreltEntryPoints* active = activeEntryPoints.load();
    return active ? *active : noEntryPoints;
}

std::string ExecutableFolder() {
    char path[PATH_MAX + 1] = {};
    const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0) return {};
    std::string folder(path, static_cast<std::size_t>(length));
    const std::size_t slash = folder.rfind('/');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

}  // namespace zelvor
