#include "platform/component.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/dynamic_library.h"
#include "platform/settings_store.h"

namespace zelvor {

namespace {

// Class registrations are per user and shared by every program, like the user's part of a class registry.
SettingsStore ClassStore() { return SettingsStore::ForApplication("Cobrant", "Classes"); }

std::string LibraryKey(const std::string& classId) { return "CLSID/" + classId + "/InprocServer32"; }
std::string ProgIdKey(const std::string& classId) { return "CLSID/" + classId + "/ProgID"; }
std::string ClassIdKey(const std::string& progId) { return progId + "/CLSID"; }

// A class id or program id becomes part of a key path: refuse what would reach into another group.
bool UsableName(const std::string& name) {
    return !name.empty() && name.find('/') == std::string::npos && name.find('\\') == std::string::npos;
}

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

std::mutex& LibrariesMutex() {
    static std::mutex mutex;
    return mutex;
}

// Loaded component libraries by path. Never freed: Qt keeps pointers into a library (meta objects, vtables
// of live widgets) that no caller here can account for.
std::map<std::string, std::unique_ptr<DynamicLibrary>>& LoadedLibraries() {
    static auto* libraries = new std::map<std::string, std::unique_ptr<DynamicLibrary>>;
    return *libraries;
}

DynamicLibrary* LoadComponentLibrary(const std::string& path, std::string* error) {
    std::lock_guard lock(LibrariesMutex());
    auto& libraries = LoadedLibraries();
    if (auto found = libraries.find(path); found != libraries.end()) return found->second.get();
    auto library = std::make_unique<DynamicLibrary>(path);
    if (!library->IsLoaded()) {
        SetError(error, library->Error());
        return nullptr;
    }
    return libraries.emplace(path, std::move(library)).first->second.get();
}

}  // namespace

bool RegisterComponentClass(const std::string& classId, const std::string& progId, const std::string& libraryPath) {
    if (!UsableName(classId) || !UsableName(progId) || libraryPath.empty()) return false;
    SettingsStore store = ClassStore();
    return store.WriteString(LibraryKey(classId), libraryPath) && store.WriteString(ProgIdKey(classId), progId) &&
           store.WriteString(ClassIdKey(progId), classId);
}

bool UnregisterComponentClass(const std::string& classId, const std::string& progId) {
    if (!UsableName(classId) || !UsableName(progId)) return false;
    SettingsStore store = ClassStore();
    return store.RemoveGroup("CLSID/" + classId) != SettingsStore::RemoveResult::OpenError &&
           store.RemoveGroup(progId) != SettingsStore::RemoveResult::OpenError;
}

std::optional<std::string> RegisteredComponentLibrary(const std::string& classId) {
    if (!UsableName(classId)) return std::nullopt;
    return ClassStore().ReadString(LibraryKey(classId));
}

std::optional<std::string> ClassIdFromProgId(const std::string& progId) {
    if (!UsableName(progId)) return std::nullopt;
    return ClassStore().ReadString(ClassIdKey(progId));
}

bool RegisterComponentLibrary(const std::string& libraryPath, std::string* error) {
    DynamicLibrary* library = LoadComponentLibrary(libraryPath, error);
    if (!library) return false;
    auto registerServer = library->Resolve<DllRegisterServerFunction>("DllRegisterServer");
    if (!registerServer) {
        SetError(error, library->Error());
        return false;
    }
    if (registerServer() != COMPONENT_OK) {
        SetError(error, libraryPath + ": registration failed");
        return false;
    }
    return true;
}

QWidget* CreateComponent(const std::string& classId, QWidget* parent, std::string* error) {
    const auto path = RegisteredComponentLibrary(classId);
    if (!path || path->empty()) {
        SetError(error, "class " + classId + " is not registered");
        return nullptr;
    }
    DynamicLibrary* library = LoadComponentLibrary(*path, error);
    if (!library) return nullptr;
    auto getClassObject = library->Resolve<DllGetClassObjectFunction>("DllGetClassObject");
    if (!getClassObject) {
        SetError(error, library->Error());
        return nullptr;
    }
    IClassFactory* factory = nullptr;
    if (getClassObject(classId.c_str(), &factory) != COMPONENT_OK || !factory) {
        SetError(error, *path + ": class " + classId + " is not available");
        return nullptr;
    }
    QWidget* instance = factory->CreateInstance(parent);
    if (!instance) SetError(error, *path + ": class " + classId + " refused to create an instance");
    return instance;
}

}  // namespace zelvor
