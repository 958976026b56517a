#pragma once
/// A shared library loaded at run time, unloaded when its owner goes.
#include <string>

namespace zelvor {

/// dlopen/dlsym with the loader's error text kept for reports.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    /// Loads path at once; check IsLoaded and Error.
    explicit DynamicLibrary(const std::string& path) { Load(path); }
    ~DynamicLibrary() { Unload(); }
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    /// Loads a library by path or by name (then the usual search path applies); unloads the previous one.
    bool Load(const std::string& path);
    void Unload();
    bool IsLoaded() const { return handle_ != nullptr; }

    /// Address of an exported symbol, or null (Error() then says why).
    void* Symbol(const std::string& name);
    /// Address of a symbol this library defines itself; null for a missing one and for one that only a library
    /// it depends on provides (dlsym would find the C library's "abort" through any module).
    void* OwnSymbol(const std::string& name);
    /// Symbol cast to a function pointer type.
    template <class Function>
    Function Resolve(const std::string& name) {
        return reinterpret_cast<Function>(Symbol(name));
    }

    /// The loader's text for the last failure of this object; empty after a success.
    const std::string& Error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace zelvor
