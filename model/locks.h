#pragma once
/// The process-wide re-entrant locks shared by the document, the loader and the renderer.
#include <mutex>

namespace zelvor {

/// Guards the element table, element assignment, bond detection, the surface field and list compiles.
std::recursive_mutex& AtomLock();
/// Guards the abort-loading flag.
std::recursive_mutex& LoaderLock();
/// Guards pause and stop requests of calculations.
std::recursive_mutex& ModuleLock();

}  // namespace zelvor
