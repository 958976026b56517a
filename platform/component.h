#pragma once
/// The component layer: libraries register their classes by class id in the settings store; the program
/// creates instances by class id (load the library, ask it for the class's factory, let the factory create).
#include <optional>
#include <string>

class QWidget;

namespace zelvor {

/// Results of the component library exports.
enum ComponentResult : int {
    COMPONENT_OK = 0,
    /// "No" for DllCanUnloadNow.
    COMPONENT_FALSE = 1,
    /// DllGetClassObject: the library has no class with that id.
    COMPONENT_CLASS_NOT_AVAILABLE = -1,
    /// DllRegisterServer / DllUnregisterServer could not write the settings store.
    COMPONENT_REGISTRATION_FAILED = -2,
};

/// What a component library hands out for one of its classes.
class IClassFactory {
public:
    /// A new instance as a child of parent (null: a top-level widget); null when it can't be made.
    virtual QWidget* CreateInstance(QWidget* parent) = 0;
    /// Counts callers that want the library kept loaded while they hold no instance.
    virtual void LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

/// The exports every component library provides (extern "C", resolved by these names).
using DllGetClassObjectFunction = int (*)(const char* classId, IClassFactory** factory);
using DllCanUnloadNowFunction = int (*)();
using DllRegisterServerFunction = int (*)();
using DllUnregisterServerFunction = int (*)();

/// Records a class: its library path and program id under the class id, and the class id under the program id.
bool RegisterComponentClass(const std::string& classId, const std::string& progId, const std::string& libraryPath);
/// Removes what RegisterComponentClass wrote; true also when nothing was registered.
bool UnregisterComponentClass(const std::string& classId, const std::string& progId);
/// The library registered for a class id, or nullopt.
std::optional<std::string> RegisteredComponentLibrary(const std::string& classId);
/// The class id registered for a program id, or nullopt.
std::optional<std::string> ClassIdFromProgId(const std::string& progId);

/// Loads a component library and runs its DllRegisterServer. On failure error (when given) says why.
bool RegisterComponentLibrary(const std::string& libraryPath, std::string* error = nullptr);

/// Creates an instance of a registered class as a child of parent. Returns null, with the reason in error
/// (when given), for an unregistered class id, a library that does not load or lacks the export, or a
/// factory that refuses. Loaded libraries stay loaded for the rest of the process, since their widgets
/// may outlive any caller's bookkeeping.
QWidget* CreateComponent(const std::string& classId, QWidget* parent, std::string* error = nullptr);

}  // namespace zelvor
