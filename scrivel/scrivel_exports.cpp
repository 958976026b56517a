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

/// A caller's lock keeps the library loaded (DllCanUnloadNow) while it holds a factory.
void LockLibrary(bool lock) {
    if (lock)
        ++serverLocks;
    else if (serverLocks.load() > 0)
        --serverLocks;
}

/// Makes Scrivel controls; the one class of this library.
class CScrivelFactory final : public zelvor::IClassFactory {
public:
    QWidget* CreateInstance(QWidget* parent) override {
        // Widgets need the GUI application object; without one, refuse instead of aborting the process.
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
        return new CScrivelCtrl(parent);
    }
    void LockServer(bool lock) override { LockLibrary(lock); }
};

/// Makes the control's property page: the page "General", which holds nothing beyond its caption.
class CScrivelPropPageFactory final : public zelvor::IClassFactory {
public:
    QWidget* CreateInstance(QWidget* parent) override {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
        auto* page = new QWidget(parent);
        page->setObjectName("ScrivelPropPage");
        page->setWindowTitle(scrivel::SCRIVEL_PROPPAGE_CAPTION);
        return page;
    }
    void LockServer(bool lock) override { LockLibrary(lock); }
};

bool SameClass(const char* classId, const char* known) {
    // Class ids compare without regard to case, as GUIDs do.
    return classId && strcasecmp(classId, known) == 0;
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
    static CScrivelFactory scrivelFactory;
    static CScrivelPropPageFactory pageFactory;
    if (SameClass(classId, scrivel::SCRIVEL_CLASS_ID))
        *factory = &scrivelFactory;
    else if (SameClass(classId, scrivel::SCRIVEL_PROPPAGE_CLASS_ID))
        *factory = &pageFactory;
    else
        return zelvor::COMPONENT_CLASS_NOT_AVAILABLE;
    return zelvor::COMPONENT_OK;
}

/// Records the control's class id, program id and this library's path in the settings store.
Q_DECL_EXPORT int DllRegisterServer() {
    const std::string path = OwnLibraryPath();
    if (path.empty()) return zelvor::COMPONENT_REGISTRATION_FAILED;
    // The control and its property page, which is registered with it.
    return zelvor::RegisterComponentClass(scrivel::SCRIVEL_CLASS_ID, scrivel::SCRIVEL_PROG_ID, path) &&
                   zelvor::RegisterComponentClass(scrivel::SCRIVEL_PROPPAGE_CLASS_ID,
                                                  scrivel::SCRIVEL_PROPPAGE_PROG_ID, path)
               ? zelvor::COMPONENT_OK
               : zelvor::COMPONENT_REGISTRATION_FAILED;
}

/// Removes what DllRegisterServer recorded.
Q_DECL_EXPORT int DllUnregisterServer() {
    const bool page =
        zelvor::UnregisterComponentClass(scrivel::SCRIVEL_PROPPAGE_CLASS_ID, scrivel::SCRIVEL_PROPPAGE_PROG_ID);
    return zelvor::UnregisterComponentClass(scrivel::SCRIVEL_CLASS_ID, scrivel::SCRIVEL_PROG_ID) && page
               ? zelvor::COMPONENT_OK
               : zelvor::COMPONENT_REGISTRATION_FAILED;
}

}  // extern "C"
