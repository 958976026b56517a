#include "model/locks.h"

namespace zelvor {

// Function-local statics: constructed on first use from any thread, alive until the process ends, so
// documents, the loader and the renderer can never outlive them.

std::recursive_mutex& AtomLock() {
    static std::recursive_mutex lock;
    return lock;
}

std::recursive_mutex& LoaderLock() {
    static std::recursive_mutex lock;
    return lock;
}

std::recursive_mutex& ModuleLock() {
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace zelvor
