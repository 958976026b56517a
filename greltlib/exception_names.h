#pragma once
/// Names a fault signal the way the crash report names exceptions: a 32-bit exception code and its name.
#include <cstdint>

namespace zelvor::grelt {

/// Signals without an exception code of their own get this base plus the signal number (SIGABRT: E0000006),
/// outside the range of the system's exception codes.
inline constexpr std::uint32_t kSignalCodeBase = 0xE0000000u;

struct ExceptionDescription {
    std::uint32_t code = 0;
    /// The exception name ("ACCESS_VIOLATION"), or for a signal without one the signal in words
    /// ("abort signal (SIGABRT)"); null for a signal this table does not know.
    const char* name = nullptr;
    /// Only for a signal without an exception name: its si_code in words
    /// ("SI_USER: sent by kill or raise", or null when the code is unknown).
    const char* detail = nullptr;
};

/// Async-signal-safe. stackOverflow: the caller found the faulting stack pointer in a stack's guard area;
/// it turns a SIGSEGV into STACK_OVERFLOW.
ExceptionDescription DescribeException(int signal, int siCode, bool stackOverflow);

}  // namespace zelvor::grelt
