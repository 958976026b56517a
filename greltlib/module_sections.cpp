#include "greltlib/module_sections.h"

#include <cerrno>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/uio.h>
#include <unistd.h>

#include "greltlib/proc_text.h"

namespace zelvor::grelt {

namespace {

constexpr std::uint64_t kPage = 4096;

struct MapLine {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint64_t fileOffset = 0;
    unsigned devMajor = 0;
    unsigned devMinor = 0;
    std::uint64_t inode = 0;
    const char* path = nullptr;
    std::size_t pathLength = 0;
};

// "start-end perms offset major:minor inode   path"
bool ParseMapLine(const char* p, const char* end, MapLine& m) {
    std::uint64_t major = 0, minor = 0;
    if (!ParseHex(p, end, m.start) || p >= end || *p++ != '-' || !ParseHex(p, end, m.end)) return false;
    SkipSpaces(p, end);
    while (p < end && *p != ' ') ++p;  // permissions
    SkipSpaces(p, end);
    if (!ParseHex(p, end, m.fileOffset)) return false;
    SkipSpaces(p, end);
    if (!ParseHex(p, end, major) || p >= end || *p++ != ':' || !ParseHex(p, end, minor)) return false;
    SkipSpaces(p, end);
    if (!ParseDecimal(p, end, m.inode)) return false;
    SkipSpaces(p, end);
    m.devMajor = static_cast<unsigned>(major);
    m.devMinor = static_cast<unsigned>(minor);
    m.path = p;
    m.pathLength = static_cast<std::size_t>(end - p);
    return true;
}

// Finds the mapping holding address and copies its path into the buffers. The list is read a piece at a
// time into scratch, so any number of mappings fits; a line longer than scratch is skipped.
bool FindMapping(std::uint64_t address, const LocatorBuffers& b, MapLine& found) {
    const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = false, done = false, skippingLongLine = false;
    std::size_t have = 0;
    while (!done) {
        const ssize_t n = read(fd, b.scratch + have, b.scratchSize - have);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        have += static_cast<std::size_t>(n);
        const char* p = b.scratch;
        const char* const end = b.scratch + have;
        while (const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) {
            MapLine m;
            if (!skippingLongLine && ParseMapLine(p, lineEnd, m)) {
                if (m.start > address) {  // the list is in address order: nothing further can hold it
                    done = true;
                    break;
                }
                if (address < m.end) {
                    found = m;
                    found.path = nullptr;
                    if (m.pathLength > 0 && m.path[0] == '/' && m.pathLength < b.pathCapacity) {
                        std::memcpy(b.path, m.path, m.pathLength);
                        b.path[m.pathLength] = '\0';
                        found.path = b.path;
                    }
                    ok = true;
                    done = true;
                    break;
                }
            }
            skippingLongLine = false;
            p = lineEnd + 1;
        }
        if (done) break;
        have = static_cast<std::size_t>(end - p);
        if (have == b.scratchSize) {  // one line fills the buffer: drop it up to its end
            have = 0;
            skippingLongLine = true;
        }
        std::memmove(b.scratch, p, have);
    }
    close(fd);
    return ok;
}

bool ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    auto* out = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t n = pread(fd, out, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

// The file open at fd is the one mapped: the same inode, or (where the map list shows the inode of a layer
// below, as overlay file systems do) the same bytes at the mapping's start.
bool IsMappedFile(int fd, const MapLine& m, char* scratch) {
    struct stat st {};
    if (fstat(fd, &st) == 0 && static_cast<std::uint64_t>(st.st_ino) == m.inode && major(st.st_dev) == m.devMajor &&
        minor(st.st_dev) == m.devMinor)
        return true;
    constexpr std::size_t kCompared = 256;
    char* fromFile = scratch;
    char* fromMemory = scratch + kCompared;
    if (!ReadAt(fd, fromFile, kCompared, m.fileOffset)) return false;
    iovec local{fromMemory, kCompared};
    iovec remote{reinterpret_cast<void*>(m.start), kCompared};
    const long n = syscall(SYS_process_vm_readv, getpid(), &local, 1ul, &remote, 1ul, 0ul);
    return n == static_cast<long>(kCompared) && std::memcmp(fromFile, fromMemory, kCompared) == 0;
}

// The load bias as the loader chose it: the segment mapped at the mapping's file offset was placed at
// p_vaddr + bias, its file page at the mapping's start.
bool FindLoadBias(int fd, const Elf64_Ehdr& header, const MapLine& m, char* scratch, std::size_t scratchSize,
                  std::uint64_t& bias) {
    if (header.e_phentsize != sizeof(Elf64_Phdr) || header.e_phnum == 0 || header.e_phnum == PN_XNUM) return false;
    const std::size_t perChunk = scratchSize / sizeof(Elf64_Phdr);
    const Elf64_Phdr* containing = nullptr;
    Elf64_Phdr kept{};
    for (std::size_t first = 0; first < header.e_phnum; first += perChunk) {
        const std::size_t count = header.e_phnum - first < perChunk ? header.e_phnum - first : perChunk;
        if (!ReadAt(fd, scratch, count * sizeof(Elf64_Phdr), header.e_phoff + first * sizeof(Elf64_Phdr)))
            return false;
        const auto* phdrs = reinterpret_cast<const Elf64_Phdr*>(scratch);
        for (std::size_t i = 0; i < count; ++i) {
            const Elf64_Phdr& ph = phdrs[i];
            if (ph.p_type != PT_LOAD || ph.p_filesz == 0) continue;
            const std::uint64_t fileStart = ph.p_offset & ~(kPage - 1);
            if (m.fileOffset < fileStart || m.fileOffset >= ph.p_offset + ph.p_filesz) continue;
            // Segments may share a file page: the one whose mapping begins at this very page wins.
            if (fileStart == m.fileOffset || !containing) {
                kept = ph;
                containing = &kept;
                if (fileStart == m.fileOffset) break;
            }
        }
        if (containing && (containing->p_offset & ~(kPage - 1)) == m.fileOffset) break;
    }
    if (!containing) return false;
    bias = m.start - m.fileOffset - (containing->p_vaddr - containing->p_offset);
    return true;
}

bool FindSection(int fd, const Elf64_Ehdr& header, std::uint64_t linkAddress, char* scratch,
                 std::size_t scratchSize, unsigned& section, std::uint64_t& offset) {
    if (header.e_shoff == 0 || header.e_shentsize != sizeof(Elf64_Shdr)) return false;
    std::uint64_t sectionCount = header.e_shnum;
    if (sectionCount == 0) {  // more sections than the header can count: entry 0 holds the number
        Elf64_Shdr zero{};
        if (!ReadAt(fd, &zero, sizeof zero, header.e_shoff)) return false;
        sectionCount = zero.sh_size;
    }
    const std::size_t perChunk = scratchSize / sizeof(Elf64_Shdr);
    for (std::uint64_t first = 0; first < sectionCount; first += perChunk) {
        const std::uint64_t count = sectionCount - first < perChunk ? sectionCount - first : perChunk;
        if (!ReadAt(fd, scratch, count * sizeof(Elf64_Shdr), header.e_shoff + first * sizeof(Elf64_Shdr)))
            return false;
        const auto* shdrs = reinterpret_cast<const Elf64_Shdr*>(scratch);
        for (std::uint64_t i = 0; i < count; ++i) {
            const Elf64_Shdr& sh = shdrs[i];
            if (!(sh.sh_flags & SHF_ALLOC) || sh.sh_size == 0) continue;
            if ((sh.sh_flags & SHF_TLS) && sh.sh_type == SHT_NOBITS) continue;
            if (linkAddress >= sh.sh_addr && linkAddress - sh.sh_addr < sh.sh_size) {
                section = static_cast<unsigned>(first + i);
                offset = linkAddress - sh.sh_addr;
                return true;
            }
        }
    }
    return false;
}

}  // namespace

LogicalAddress LocateAddress(std::uint64_t address, const LocatorBuffers& b) {
    LogicalAddress result;
    if (!b.scratch || b.scratchSize < LocatorBuffers::kMinimumScratch || !b.path || b.pathCapacity < 2)
        return result;
    MapLine m;
    if (!FindMapping(address, b, m) || !m.path) return result;
    result.modulePath = m.path;

    const int fd = open(m.path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return result;
    Elf64_Ehdr header{};
    std::uint64_t bias = 0;
    unsigned section = 0;
    std::uint64_t offset = 0;
    if (ReadAt(fd, &header, sizeof header, 0) && std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
        header.e_ident[EI_CLASS] == ELFCLASS64 && IsMappedFile(fd, m, b.scratch) &&
        FindLoadBias(fd, header, m, b.scratch, b.scratchSize, bias) &&
        FindSection(fd, header, address - bias, b.scratch, b.scratchSize, section, offset)) {
        result.section = section;
        result.offset = offset;
    }
    close(fd);
    return result;
}

}  // namespace zelvor::grelt
