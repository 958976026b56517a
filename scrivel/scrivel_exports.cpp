// The library's exports: class objects, registration and the unload check of the component layer.
#include <dlfcn.h>

#include <QApplication>
#include <atomic>
#include <filesystem>
#include <string>
#include <strings.h>

#include "platform/component.h"
#include "scrivel/scrivel_ctrl.h"
#include "scrivel/scrivel_ids.h"

namespace {

std::atomic<int> serverLocks{0};

/// Makes Scrivel controls; the one class of this library.
class CScrivelFactory final : public zelvor::IClassFactory {
public:
    QWidget* CreateInstance(QWidget* parent) override {
        // Widgets need the GUI application object; without one, refuse instead of aborting the process.
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
        return new CScrivelCtrl(parent);
    }
    void LockServer(bool lock) override {
        if (lock)
            ++serverLocks;
        else if (serverLocks.load() > 0)
            --serverLocks;
    }
};

bool IsScrivelClass(const char* classId) {
    // Class ids compare without regard to case, as GUIDs do.
    return classId && strcasecmp(classId, scrivel::SCRIVEL_CLASS_ID) == 0;
}

/// The absolute path of this library, from the loader's record of where this function lives.
std::string OwnLibraryPath() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&OwnLibraryPath), &info) || !info.dli_fname) return {};
    std::error_code error;
    const auto path = std::filesystem::canonical(info.dli_fname, error);
    return error ? std::string(info.dli_fname) : path.string();
}

}  // namespace

extern "C" {

/// COMPONENT_OK when no control is alive and no caller holds a lock, COMPONENT_FALSE otherwise.
Q_DECL_EXPORT int DllCanUnloadNow() {
    return CScrivelCtrl::LiveCount() == 0 && serverLocks.load() == 0 ? zelvor::COMPONENT_OK
                                                                       : zelvor::COMPONENT_FALSE;
}

/// The factory of the class classId, or COMPONENT_CLASS_NOT_AVAILABLE (factory set to null).
Q_DECL_EXPORT int DllGetClassObject(const char* classId, zelvor::IClassFactory** factory) {
    if (!factory) return zelvor::COMPONENT_CLASS_NOT_AVAILABLE;
    *factory = nullptr;
    if (!IsScrivelClass(classId)) return zelvor::COMPONENT_CLASS_NOT_AVAILABLE;
    static CScrivelFactory scrivelFactory;
    *factory = &scrivelFactory;
    return zelvor::COMPONENT_OK;
}

/// Records the control's class id, program id and this library's path in the settings store.
Q_DECL_EXPORT int DllRegisterServer() {
    const std::string path = OwnLibraryPath();
    if (path.empty()) return zelvor::COMPONENT_REGISTRATION_FAILED;
    return zelvor::RegisterComponentClass(scrivel::SCRIVEL_CLASS_ID, scrivel::SCRIVEL_PROG_ID, path)
               ? zelvor::COMPONENT_OK
               : zelvor::COMPONENT_REGISTRATION_FAILED;
}

/// Removes what DllRegisterServer recorded.
Q_DECL_EXPORT int DllUnregisterServer() {
    return zelvor::UnregisterComponentClass(scrivel::SCRIVEL_CLASS_ID, scrivel::SCRIVEL_PROG_ID)
               ? zelvor::COMPONENT_OK
               : zelvor::COMPONENT_REGISTRATION_FAILED;
}

}  // extern "C"
