#pragma once
/// The ELF section of a module that holds a link-time address, numbered as `readelf -S` numbers it.
#include <cstdint>
#include <libelf.h>

namespace zelvor::grelt {

struct SectionOffset {
    unsigned section = 0;       // 0: no allocated section holds the address
    std::uint64_t offset = 0;   // from the start of that section
};

/// The first allocated section, thread-local .tbss left out (it occupies no addresses of its own), whose
/// [sh_addr, sh_addr + sh_size) holds linkAddress (the runtime address less the module's load bias).
SectionOffset LocateSection(Elf* elf, std::uint64_t linkAddress);

}  // namespace zelvor::grelt
