#pragma once
/// The process-wide lock of the tessellation governor: it guards render-quality reads, the measured
/// processor share and the settings that the governor thread saves and restores.
#include <mutex>

namespace zelvor {

std::recursive_mutex& GovernorLock();

}  // namespace zelvor
