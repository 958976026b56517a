#pragma once
/// Finds the module and section of a code address from /proc/self/maps and the module's ELF headers,
/// with raw system calls and caller-reserved buffers only: safe inside a crashed process.
#include <cstddef>
#include <cstdint>

namespace zelvor::grelt {

struct LogicalAddress {
    /// The file mapped at the address; null when the address lies in no file mapping (anonymous memory,
    /// the stack, generated code, nothing at all).
    const char* modulePath = nullptr;
    /// The section's index in the file's ELF section header table, as `readelf -S` numbers it (entry 0 is
    /// the reserved null entry, so real sections count from 1); 0 when unknown.
    unsigned section = 0;
    /// The distance of the address from the start of that section; 0 when the section is unknown.
    std::uint64_t offset = 0;
};

/// Buffers reserved before the fault. scratch holds a few lines of the map list and the ELF headers
/// (at least kMinimumScratch bytes); path receives the module path.
struct LocatorBuffers {
    static constexpr std::size_t kMinimumScratch = 16384;
    char* scratch = nullptr;
    std::size_t scratchSize = 0;
    char* path = nullptr;
    std::size_t pathCapacity = 0;
};

/// The section is the first allocated section (thread-local .tbss left out: it occupies no addresses of
/// its own) whose [sh_addr, sh_addr + sh_size) holds the address less the module's load bias. It is left
/// unknown when the file at the path is no longer the one mapped (replaced or deleted since it was loaded).
LogicalAddress LocateAddress(std::uint64_t address, const LocatorBuffers& buffers);

}  // namespace zelvor::grelt
