#include "render/governor_lock.h"

namespace zelvor {

std::recursive_mutex& GovernorLock() {
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace zelvor
