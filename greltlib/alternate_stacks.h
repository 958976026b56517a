#pragma once
/// Alternate signal stacks for the threads registered with the crash handler. Without one, a thread whose
/// stack overflows cannot run its fault handler and dies with no report.
#include <cstddef>

namespace zelvor::grelt {

/// Room for the fault handler: the report and dump writers keep their buffers elsewhere, so a modest stack
/// suffices, well above the kernel's minimum for the AVX-512 signal frame.
inline constexpr std::size_t kAlternateStackBytes = 128 * 1024;

/// Gives the calling thread an alternate signal stack (with a guard page below it) unless it has one
/// already. False when the memory could not be had.
bool GiveThreadAlternateStack();

/// Takes the calling thread's alternate stack away again, if this library gave it one.
void TakeThreadAlternateStack();

}  // namespace zelvor::grelt
