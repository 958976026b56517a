#include "greltlib/helper/core_memory.h"

#include <algorithm>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <gelf.h>
#include <sys/procfs.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvor::grelt {

namespace {

bool ReadAt(int fd, std::uint64_t offset, void* out, std::size_t size) {
    auto* bytes = static_cast<char*>(out);
    while (size > 0) {
        const ssize_t n = pread(fd, bytes, size, static_cast<off_t>(offset));
        if (n <= 0) return false;
        bytes += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::uint64_t Align4(std::uint64_t n) { return (n + 3) & ~std::uint64_t{3}; }

}  // namespace

CoreMemory::~CoreMemory() {
    if (fd_ >= 0) close(fd_);
}

bool CoreMemory::Open(const std::string& path) {
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    struct stat st {};
    if (fstat(fd_, &st) != 0) return false;
    fileSize_ = static_cast<std::uint64_t>(st.st_size);
    Elf64_Ehdr header{};
    if (!ReadAt(fd_, 0, &header, sizeof header)) return false;
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
        header.e_ident[EI_DATA] != ELFDATA2LSB || header.e_type != ET_CORE || header.e_machine != EM_X86_64 ||
        header.e_phentsize != sizeof(Elf64_Phdr))
        return false;
    const std::uint64_t tableSize = std::uint64_t{header.e_phnum} * sizeof(Elf64_Phdr);
    if (header.e_phoff > fileSize_ || tableSize > fileSize_ - header.e_phoff) return false;
    std::vector<Elf64_Phdr> table(header.e_phnum);
    if (!table.empty() && !ReadAt(fd_, header.e_phoff, table.data(), tableSize)) return false;
    for (const Elf64_Phdr& p : table) {
        if (p.p_type == PT_NOTE && firstThread_ == 0) ReadNotes(p.p_offset, p.p_filesz);
        if (p.p_type != PT_LOAD || p.p_filesz == 0 || p.p_offset > fileSize_) continue;
        // A file cut short keeps what it still holds of the segment.
        const std::uint64_t present = std::min({p.p_filesz, p.p_memsz, fileSize_ - p.p_offset});
        if (present > 0 && p.p_vaddr + present > p.p_vaddr) segments_.push_back({p.p_vaddr, present, p.p_offset});
    }
    std::sort(segments_.begin(), segments_.end(), [](const Segment& a, const Segment& b) { return a.address < b.address; });
    return true;
}

void CoreMemory::ReadNotes(std::uint64_t offset, std::uint64_t size) {
    if (offset > fileSize_ || size > fileSize_ - offset || size > (std::uint64_t{64} << 20)) return;
    std::vector<char> notes(size);
    if (!ReadAt(fd_, offset, notes.data(), notes.size())) return;
    for (std::uint64_t at = 0; at + sizeof(Elf64_Nhdr) <= size;) {
        Elf64_Nhdr note{};
        std::memcpy(&note, notes.data() + at, sizeof note);
        const std::uint64_t descAt = at + sizeof note + Align4(note.n_namesz);
        const std::uint64_t next = descAt + Align4(note.n_descsz);
        if (descAt > size || next > size) return;
        if (note.n_type == NT_PRSTATUS && note.n_descsz >= sizeof(elf_prstatus)) {
            elf_prstatus status{};
            std::memcpy(&status, notes.data() + descAt, sizeof status);
            firstThread_ = status.pr_pid;
            return;
        }
        at = next;
    }
}

const CoreMemory::Segment* CoreMemory::SegmentAt(std::uint64_t address) const {
    auto it = std::upper_bound(segments_.begin(), segments_.end(), address,
                               [](std::uint64_t a, const Segment& s) { return a < s.address; });
    if (it == segments_.begin()) return nullptr;
    --it;
    return address - it->address < it->size ? &*it : nullptr;
}

std::size_t CoreMemory::CopyFromModule(std::uint64_t address, char* out, std::size_t limit) const {
    Dwfl_Module* module = dwfl_ ? dwfl_addrmodule(dwfl_, address) : nullptr;
    Dwarf_Addr bias = 0;
    Elf* elf = module ? dwfl_module_getelf(module, &bias) : nullptr;
    std::size_t count = 0;
    if (!elf || elf_getphdrnum(elf, &count) != 0) return 0;
    const std::uint64_t fileAddress = address - bias;
    for (std::size_t i = 0; i < count; ++i) {
        GElf_Phdr p{};
        // Writable segments may have changed since they were loaded: only the core knows them.
        if (!gelf_getphdr(elf, static_cast<int>(i), &p) || p.p_type != PT_LOAD || (p.p_flags & PF_W)) continue;
        if (fileAddress < p.p_vaddr || fileAddress - p.p_vaddr >= p.p_filesz) continue;
        const std::uint64_t within = fileAddress - p.p_vaddr;
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(p.p_filesz - within, limit));
        if (!out) return n;
        Elf_Data* data = elf_getdata_rawchunk(elf, static_cast<int64_t>(p.p_offset + within), n, ELF_T_BYTE);
        if (!data || data->d_size != n) return 0;
        std::memcpy(out, data->d_buf, n);
        return n;
    }
    return 0;
}

std::size_t CoreMemory::CopySpan(std::uint64_t address, char* out, std::size_t limit) const {
    if (const Segment* s = SegmentAt(address)) {
        const std::uint64_t within = address - s->address;
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(s->size - within, limit));
        if (out && !ReadAt(fd_, s->fileOffset + within, out, n)) return 0;
        return n;
    }
    return CopyFromModule(address, out, limit);
}

std::size_t CoreMemory::ReadablePrefix(std::uint64_t address, std::size_t limit) const {
    std::size_t readable = 0;
    while (readable < limit && address + readable >= address) {
        const std::size_t n = CopySpan(address + readable, nullptr, limit - readable);
        if (n == 0) break;
        readable += n;
    }
    return readable;
}

bool CoreMemory::Read(std::uint64_t address, void* out, std::size_t size) const {
    if (address + size < address) return false;
    auto* bytes = static_cast<char*>(out);
    for (std::size_t done = 0; done < size;) {
        const std::size_t n = CopySpan(address + done, bytes + done, size - done);
        if (n == 0) return false;
        done += n;
    }
    return true;
}

}  // namespace zelvor::grelt
