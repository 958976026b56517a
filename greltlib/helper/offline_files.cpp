#include "greltlib/helper/offline_files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <elfutils/libdwelf.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <utility>

namespace zelvor::grelt {

namespace {

thread_local const std::string* tExecutable = nullptr;

std::string BuildIdPath(Dwfl_Module* mod, const char* suffix) {
    const unsigned char* bits = nullptr;
    GElf_Addr vaddr = 0;
    const int length = dwfl_module_build_id(mod, &bits, &vaddr);
    if (length < 2) return {};
    std::string path = "/usr/lib/debug/.build-id/";
    char hex[3];
    for (int i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, "%02x", bits[i]);
        path += hex;
        if (i == 0) path += '/';
    }
    return path + suffix;
}

// Opens path when its build id is the module's; a module without one takes the file it names itself.
int OpenMatching(Dwfl_Module* mod, const std::string& path, bool named, char** fileName, Elf** elfp) {
    if (path.empty() || path[0] != '/') return -1;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    Elf* elf = elf_begin(fd, ELF_C_READ_MMAP, nullptr);
    const unsigned char* wanted = nullptr;
    GElf_Addr vaddr = 0;
    const int wantedLength = dwfl_module_build_id(mod, &wanted, &vaddr);
    const void* found = nullptr;
    const ssize_t foundLength = elf ? dwelf_elf_gnu_build_id(elf, &found) : -1;
    const bool matches = elf && elf_kind(elf) == ELF_K_ELF &&
                         ((wantedLength <= 0 && named) || (foundLength == wantedLength && std::memcmp(found, wanted, static_cast<std::size_t>(wantedLength)) == 0));
    if (!matches) {
        if (elf) elf_end(elf);
        close(fd);
        return -1;
    }
    *elfp = elf;
    *fileName = strdup(path.c_str());
    return fd;
}

int FindElf(Dwfl_Module* mod, void**, const char* moduleName, Dwarf_Addr, char** fileName, Elf** elfp) {
    *elfp = nullptr;
    const std::string executable = tExecutable ? *tExecutable : std::string();
    const std::string named = moduleName ? moduleName : "";
    const std::string candidates[] = {named, executable, BuildIdPath(mod, "")};
    for (const std::string& path : candidates) {
        const int fd = OpenMatching(mod, path, &path == &candidates[0], fileName, elfp);
        if (fd >= 0) return fd;
    }
    return -1;
}

int FindDebuginfo(Dwfl_Module* mod, void**, const char*, Dwarf_Addr, const char*, const char*, GElf_Word, char** debuginfoFileName) {
    const std::string path = BuildIdPath(mod, ".debug");
    if (path.empty()) return -1;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) *debuginfoFileName = strdup(path.c_str());
    return fd;
}

}  // namespace

OfflineFiles::OfflineFiles(std::string executable) : executable_(std::move(executable)), previous_(tExecutable) {
    tExecutable = &executable_;
    callbacks_.find_elf = FindElf;
    callbacks_.find_debuginfo = FindDebuginfo;
    callbacks_.section_address = dwfl_offline_section_address;
}

OfflineFiles::~OfflineFiles() { tExecutable = previous_; }

}  // namespace zelvor::grelt
