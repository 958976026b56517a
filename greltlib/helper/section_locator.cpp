#include "greltlib/helper/section_locator.h"

#include <gelf.h>

namespace zelvor::grelt {

SectionOffset LocateSection(Elf* elf, std::uint64_t linkAddress) {
    if (!elf) return {};
    for (Elf_Scn* scn = elf_nextscn(elf, nullptr); scn; scn = elf_nextscn(elf, scn)) {
        GElf_Shdr header{};
        if (!gelf_getshdr(scn, &header) || !(header.sh_flags & SHF_ALLOC)) continue;
        if (header.sh_type == SHT_NOBITS && (header.sh_flags & SHF_TLS)) continue;
        if (linkAddress >= header.sh_addr && linkAddress - header.sh_addr < header.sh_size)
            return {static_cast<unsigned>(elf_ndxscn(scn)), linkAddress - header.sh_addr};
    }
    return {};
}

}  // namespace zelvor::grelt
