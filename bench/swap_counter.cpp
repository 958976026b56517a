// Frame counter for whole-process benchmarks, loaded with LD_PRELOAD into the program measured (ours or a
// peer). Every buffer swap, through GLX or EGL, adds one to a 64-bit counter kept in the file that
// ZELVOR_SWAP_COUNT_FILE names: the file is mapped, so the benchmark reads the count at any moment without
// asking the program. Without the variable (or when the file cannot be mapped) swaps are passed on uncounted.
// The program may look the swap functions up by name too: those look-ups hand out the counting versions.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

using GlxSwap = void (*)(void*, unsigned long);
using EglSwap = unsigned (*)(void*, void*);
using GetProc = void* (*)(const char*);

std::once_flag mapped;
std::atomic<std::uint64_t>* counter = nullptr;

void MapCounter() {
    const char* path = std::getenv("ZELVOR_SWAP_COUNT_FILE");
    if (path == nullptr || *path == '\0') return;
    const int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    static_assert(sizeof(std::atomic<std::uint64_t>) == 8 && std::atomic<std::uint64_t>::is_always_lock_free);
    if (ftruncate(fd, sizeof(std::uint64_t)) == 0) {
        void* p = mmap(nullptr, sizeof(std::uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p != MAP_FAILED) counter = static_cast<std::atomic<std::uint64_t>*>(p);
    }
    close(fd);
}

void CountSwap() {
    std::call_once(mapped, MapCounter);
    if (counter != nullptr) counter->fetch_add(1, std::memory_order_relaxed);
}

/// The real function: the next definition in the global scope, else the one of the library that defines it
/// (a toolkit plug-in may have loaded that library locally, out of the global scope's reach).
template <class F>
F Next(const char* name, const char* library) {
    if (void* f = dlsym(RTLD_NEXT, name)) return reinterpret_cast<F>(f);
    void* handle = dlopen(library, RTLD_LAZY | RTLD_NOLOAD);
    if (handle == nullptr) handle = dlopen(library, RTLD_LAZY);
    return handle != nullptr ? reinterpret_cast<F>(dlsym(handle, name)) : nullptr;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void glXSwapBuffers(void* display, unsigned long drawable) {
    static const GlxSwap real = Next<GlxSwap>("glXSwapBuffers", "libGLX.so.0");
    CountSwap();
    if (real != nullptr) real(display, drawable);
}

__attribute__((visibility("default"))) unsigned eglSwapBuffers(void* display, void* surface) {
    static const EglSwap real = Next<EglSwap>("eglSwapBuffers", "libEGL.so.1");
    CountSwap();
    return real != nullptr ? real(display, surface) : 0u;
}

__attribute__((visibility("default"))) void* glXGetProcAddressARB(const char* name) {
    if (name != nullptr && std::strcmp(name, "glXSwapBuffers") == 0) return reinterpret_cast<void*>(&glXSwapBuffers);
    static const GetProc real = Next<GetProc>("glXGetProcAddressARB", "libGLX.so.0");
    return real != nullptr ? real(name) : nullptr;
}

__attribute__((visibility("default"))) void* glXGetProcAddress(const char* name) {
    if (name != nullptr && std::strcmp(name, "glXSwapBuffers") == 0) return reinterpret_cast<void*>(&glXSwapBuffers);
    static const GetProc real = Next<GetProc>("glXGetProcAddress", "libGLX.so.0");
    return real != nullptr ? real(name) : nullptr;
}

__attribute__((visibility("default"))) void* eglGetProcAddress(const char* name) {
    if (name != nullptr && std::strcmp(name, "eglSwapBuffers") == 0) return reinterpret_cast<void*>(&eglSwapBuffers);
    static const GetProc real = Next<GetProc>("eglGetProcAddress", "libEGL.so.1");
    return real != nullptr ? real(name) : nullptr;
}

}  // extern "C"
