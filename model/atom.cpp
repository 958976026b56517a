#include "model/atom.h"

#include <mutex>

#include "model/locks.h"

namespace zelvor {

std::array<AtomData, ELEMENT_COUNT>& ElementTable() {
    static std::array<AtomData, ELEMENT_COUNT> table;
    return table;
}

void ResetElementTable() {
    std::lock_guard lock(AtomLock());
    for (AtomData& record : ElementTable()) record = AtomData{};
}

}  // namespace zelvor
