#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <link.h>

#include <utility>

namespace zelvor {

namespace {

std::string LastLoaderError(const std::string& fallback) {
    const char* text = dlerror();
    return text ? std::string(text) : fallback;
}

}  // namespace

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Unload();
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

bool DynamicLibrary::Load(const std::string& path) {
    Unload();
    dlerror();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    error_ = handle_ ? std::string() : LastLoaderError(path + ": cannot be loaded");
    return handle_ != nullptr;
}

void DynamicLibrary::Unload() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
}

void* DynamicLibrary::Symbol(const std::string& name) {
    if (!handle_) {
        error_ = "no library loaded";
        return nullptr;
    }
    dlerror();
    void* address = dlsym(handle_, name.c_str());
    // A symbol may legitimately be null; only dlerror tells a failure.
    const char* text = dlerror();
    error_ = text ? std::string(text) : std::string();
    return address;
}

void* DynamicLibrary::OwnSymbol(const std::string& name) {
    void* address = Symbol(name);
    if (address == nullptr) return nullptr;
    link_map* own = nullptr;
    link_map* holder = nullptr;
    Dl_info info;
    if (dlinfo(handle_, RTLD_DI_LINKMAP, &own) != 0 ||
        dladdr1(address, &info, reinterpret_cast<void**>(&holder), RTLD_DL_LINKMAP) == 0 || holder != own) {
        error_ = name + ": not defined by this library";
        return nullptr;
    }
    return address;
}

}  // namespace zelvor
