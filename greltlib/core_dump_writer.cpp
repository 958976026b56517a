#include "greltlib/core_dump_writer.h"

#include "greltlib/smaps_reader.h"

#include <cerrno>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

namespace zelvor::grelt {

namespace {

constexpr std::uint64_t kPage = 4096;
constexpr std::size_t kAuxvCapacity = 4096;
constexpr std::size_t kCommandLineCapacity = 4096;
constexpr std::size_t kNameCapacity = 64;
constexpr std::size_t kOutputCapacity = 64 * 1024;
constexpr std::size_t kCopyCapacity = 256 * 1024;
constexpr std::uint64_t kRedZone = 128;  // below the stack pointer, leaf functions keep data there
// How far below its stack an overflowed thread's stack pointer may be: the kernel's gap below a growing
// stack (256 pages) and a generous frame.
constexpr std::uint64_t kStackGapLimit = (256 + 64) * 4096;

std::uint64_t PageDown(std::uint64_t v) { return v & ~(kPage - 1); }
std::uint64_t PageUp(std::uint64_t v) { return PageDown(v + kPage - 1); }

// Reads a whole /proc file into buffer; the length read, or -1. A result equal to capacity may be cut off.
long ReadProcFile(const char* path, char* buffer, std::size_t capacity) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    std::size_t length = 0;
    while (length < capacity) {
        const ssize_t n = read(fd, buffer + length, capacity - length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        length += static_cast<std::size_t>(n);
    }
    close(fd);
    return static_cast<long>(length);
}

// Copies own memory without touching it directly: a page of a truncated file gives an error here instead of
// SIGBUS in the crash handler. Returns the bytes read from the start (up to the first unreadable page).
std::size_t ReadOwnMemory(std::uint64_t address, void* destination, std::size_t size) {
    iovec local{destination, size};
    iovec remote{reinterpret_cast<void*>(address), size};
    const long n = syscall(SYS_process_vm_readv, getpid(), &local, 1ul, &remote, 1ul, 0ul);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

// What the kernel would write of a mapping with the default coredump_filter (anonymous private and shared
// memory, ELF headers): the number of bytes from the mapping's start.
std::uint64_t KernelDumpSize(const Mapping& m) {
    if (m.Named("[vdso]")) return m.Size();  // debuggers unwind through the signal trampoline in it
    if ((m.flags & Mapping::DontDump) || !(m.flags & Mapping::Readable)) return 0;
    if (m.flags & Mapping::Shared) {
        static constexpr char kDeleted[] = " (deleted)";
        const std::uint32_t n = sizeof kDeleted - 1;
        const bool deleted = m.pathLength >= n && std::memcmp(m.path + m.pathLength - n, kDeleted, n) == 0;
        return !m.HasFile() || deleted ? m.Size() : 0;  // shared anonymous memory, not files others can read
    }
    if (m.anonymousBytes > 0) return m.Size();  // written data, also of file mappings (.data, .got, relro)
    if (!m.HasFile() || m.fileOffset != 0) return 0;
    // The first page of a mapped ELF file carries the build id by which debuggers find the right file.
    unsigned char magic[SELFMAG] = {};
    if (ReadOwnMemory(m.start, magic, SELFMAG) != SELFMAG || std::memcmp(magic, ELFMAG, SELFMAG) != 0) return 0;
    return kPage;
}

enum class Kind { Small, Stack, ModuleData, Anonymous };

Kind KindOf(const Mapping& m, std::uint64_t want) {
    if (m.isStack) return Kind::Stack;
    if (want <= kPage || m.Named("[vdso]")) return Kind::Small;
    if (m.HasFile() && !(m.flags & Mapping::Shared)) return Kind::ModuleData;
    return Kind::Anonymous;
}

Elf64_Word SegmentFlags(const Mapping& m) {
    return ((m.flags & Mapping::Readable) ? PF_R : 0) | ((m.flags & Mapping::Writable) ? PF_W : 0) |
           ((m.flags & Mapping::Executable) ? PF_X : 0);
}

// A mapping becomes one PT_LOAD, or two when its dump starts inside it (a stack is dumped from its live part
// up): the part below without contents, the rest with its first dumpLength bytes in the file.
int SegmentCount(const Mapping& m) { return m.dumpLength > 0 && m.dumpStart > m.start ? 2 : 1; }

}  // namespace

CoreDumpWriter::~CoreDumpWriter() {
    if (arena_) munmap(arena_, arenaSize_);
}

bool CoreDumpWriter::Prepare(std::size_t maxDumpBytes) {
    if (arena_) munmap(arena_, arenaSize_);
    arena_ = nullptr;
    maxDumpBytes_ = maxDumpBytes;
    // Room for four times today's map list: libraries and threads come and go before a crash.
    std::size_t smapsLength = 0;
    {
        const int fd = open("/proc/self/smaps", O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        char chunk[16384];
        for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR);)
            if (n > 0) smapsLength += static_cast<std::size_t>(n);
        close(fd);
    }
    smapsCapacity_ = PageUp(4 * smapsLength > (4u << 20) ? 4 * smapsLength : (4u << 20));
    mappingCapacity_ = smapsCapacity_ / 256;  // a smaps block is some 1000 bytes
    const std::size_t mappingBytes = PageUp(mappingCapacity_ * sizeof(Mapping));
    const std::size_t orderBytes = PageUp(mappingCapacity_ * sizeof(unsigned));
    arenaSize_ = smapsCapacity_ + mappingBytes + orderBytes + kAuxvCapacity + kCommandLineCapacity +
                 PageUp(kNameCapacity) + kOutputCapacity + kCopyCapacity;
    void* arena = mmap(nullptr, arenaSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (arena == MAP_FAILED) return false;
    // The buffers must not end up in the dump they are used to write.
    madvise(arena, arenaSize_, MADV_DONTDUMP);
    arena_ = arena;
    char* p = static_cast<char*>(arena);
    smapsText_ = p, p += smapsCapacity_;
    mappings_ = reinterpret_cast<Mapping*>(p), p += mappingBytes;
    order_ = reinterpret_cast<unsigned*>(p), p += orderBytes;
    auxv_ = p, p += kAuxvCapacity;
    commandLine_ = p, p += kCommandLineCapacity;
    name_ = p, p += PageUp(kNameCapacity);
    outputBuffer_ = p, p += kOutputCapacity;
    copyBuffer_ = p;
    // Touch every page now, so that the crashed process needs no new memory from the system.
    std::memset(arena, 0, arenaSize_);
    return true;
}

bool CoreDumpWriter::Write(int fd, const CrashedThread* threads, int threadCount, const siginfo_t& info) const {
    if (!arena_ || !threads || threadCount < 1 || fd < 0) return false;

    // The map list first, before anything this function does could change it.
    const long smapsLength = ReadProcFile("/proc/self/smaps", smapsText_, smapsCapacity_);
    if (smapsLength <= 0) return false;
    std::size_t count = ParseSmaps(smapsText_, static_cast<std::size_t>(smapsLength), mappings_, mappingCapacity_);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i)
        if (!mappings_[i].Named("[vsyscall]")) mappings_[kept++] = mappings_[i];  // outside the user range
    count = kept;

    ProcessNoteData process;
    process.signal = &info;
    const long auxvLength = ReadProcFile("/proc/self/auxv", auxv_, kAuxvCapacity);
    process.auxv = auxv_;
    process.auxvLength = auxvLength > 0 ? static_cast<std::size_t>(auxvLength) : 0;
    const long commandLineLength = ReadProcFile("/proc/self/cmdline", commandLine_, kCommandLineCapacity);
    process.commandLine = commandLine_;
    process.commandLineLength = commandLineLength > 0 ? static_cast<std::size_t>(commandLineLength) : 0;
    const long nameLength = ReadProcFile("/proc/self/comm", name_, kNameCapacity);
    process.name = name_;
    process.nameLength = nameLength > 0 ? static_cast<std::size_t>(nameLength) : 0;

    // Stacks: from each thread's stack pointer (less the red zone) to the top of its mapping. After a stack
    // overflow the pointer lies in the guard page or the gap below the stack: the stack is the readable
    // mapping just above.
    std::size_t faultingStack = count;
    for (int t = 0; t < threadCount; ++t) {
        const auto sp = static_cast<std::uint64_t>(threads[t].context.uc_mcontext.gregs[REG_RSP]);
        std::size_t i = 0;
        while (i < count && mappings_[i].end <= sp) ++i;  // smaps lists the mappings in address order
        if (i < count && mappings_[i].start <= sp && !(mappings_[i].flags & Mapping::Readable)) ++i;
        if (i >= count || !(mappings_[i].flags & Mapping::Readable) || mappings_[i].start > sp + kStackGapLimit)
            continue;
        Mapping& m = mappings_[i];
        const std::uint64_t below = sp - kRedZone;
        const std::uint64_t live = m.start > sp || PageDown(below) < m.start ? m.start : PageDown(below);
        if (!m.isStack || live < m.dumpStart) m.dumpStart = live;
        m.isStack = true;
        if (t == 0) faultingStack = i;
    }

    // The budget counts the headers with room for every split, so the real file can only be smaller.
    OutputStream counter(-1, nullptr, 0);
    WriteNotes(counter, threads, threadCount, process, mappings_, count);
    const std::uint64_t notesSize = counter.Position();
    const std::uint64_t headerBound = sizeof(Elf64_Ehdr) + sizeof(Elf64_Phdr) * (1 + 2 * count);
    const std::uint64_t fixed = PageUp(headerBound + notesSize);
    if (fixed > maxDumpBytes_) return false;
    std::uint64_t budget = maxDumpBytes_ - fixed;

    // What to dump, most useful first: ELF headers and small pieces, the stacks (the faulting thread's
    // first, cut at the top when short of room), module data (debuggers find the loaded libraries through
    // it), then anonymous memory from the smallest mapping up, so that large buffers are left out first;
    // the heap is dumped in part when not whole.
    auto take = [&budget](Mapping& m, std::uint64_t want, bool partial) {
        if (want > budget) {
            if (!partial) return;
            want = PageDown(budget);
        }
        m.dumpLength = want;
        budget -= want;
    };
    for (std::size_t i = 0; i < count; ++i) {
        Mapping& m = mappings_[i];
        if (!m.isStack) m.dumpStart = m.start;
        m.dumpLength = 0;
        if (!m.isStack && KindOf(m, KernelDumpSize(m)) == Kind::Small) take(m, KernelDumpSize(m), false);
    }
    if (faultingStack < count) {
        Mapping& m = mappings_[faultingStack];
        take(m, m.end - m.dumpStart, true);
        if (m.dumpLength == 0) return false;  // a dump without the fault's stack shows nothing useful
    }
    for (std::size_t i = 0; i < count; ++i) {
        Mapping& m = mappings_[i];
        if (m.isStack && i != faultingStack) take(m, m.end - m.dumpStart, true);
    }
    std::size_t anonymous = 0;
    for (std::size_t i = 0; i < count; ++i) {
        Mapping& m = mappings_[i];
        if (m.isStack) continue;
        const std::uint64_t want = KernelDumpSize(m);
        const Kind kind = KindOf(m, want);
        if (kind == Kind::ModuleData) take(m, want, false);
        if (kind == Kind::Anonymous && want > 0) order_[anonymous++] = static_cast<unsigned>(i);
    }
    for (std::size_t i = 1; i < anonymous; ++i) {  // insertion sort by size: no allocation, few entries
        const unsigned v = order_[i];
        std::size_t j = i;
        for (; j > 0 && mappings_[order_[j - 1]].Size() > mappings_[v].Size(); --j) order_[j] = order_[j - 1];
        order_[j] = v;
    }
    for (std::size_t i = 0; i < anonymous; ++i) {
        Mapping& m = mappings_[order_[i]];
        take(m, m.Size(), m.Named("[heap]"));
    }

    // Layout: ELF header, program headers (the notes, then the mappings in address order), notes, data.
    std::size_t segments = 1;
    for (std::size_t i = 0; i < count; ++i) segments += static_cast<std::size_t>(SegmentCount(mappings_[i]));
    const std::uint64_t notesOffset = sizeof(Elf64_Ehdr) + sizeof(Elf64_Phdr) * segments;
    const std::uint64_t dataOffset = PageUp(notesOffset + notesSize);

    OutputStream out(fd, outputBuffer_, kOutputCapacity);
    Elf64_Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS64;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_ident[EI_OSABI] = ELFOSABI_NONE;
    header.e_type = ET_CORE;
    header.e_machine = EM_X86_64;
    header.e_version = EV_CURRENT;
    header.e_phoff = sizeof(Elf64_Ehdr);
    header.e_ehsize = sizeof(Elf64_Ehdr);
    header.e_phentsize = sizeof(Elf64_Phdr);
    header.e_phnum = static_cast<Elf64_Half>(segments < PN_XNUM ? segments : PN_XNUM);
    if (segments >= PN_XNUM) return false;  // would need the section-header escape; the kernel's limit is lower
    out.Put(&header, sizeof header);

    Elf64_Phdr note{};
    note.p_type = PT_NOTE;
    note.p_offset = notesOffset;
    note.p_filesz = notesSize;
    note.p_align = 4;
    out.Put(&note, sizeof note);
    std::uint64_t offset = dataOffset;
    for (std::size_t i = 0; i < count; ++i) {
        const Mapping& m = mappings_[i];
        Elf64_Phdr load{};
        load.p_type = PT_LOAD;
        load.p_flags = SegmentFlags(m);
        load.p_align = kPage;
        load.p_offset = offset;
        load.p_vaddr = m.start;
        if (SegmentCount(m) == 2) {
            load.p_memsz = m.dumpStart - m.start;
            out.Put(&load, sizeof load);
            load.p_vaddr = m.dumpStart;
        }
        load.p_memsz = m.end - load.p_vaddr;
        load.p_filesz = m.dumpLength;
        out.Put(&load, sizeof load);
        offset += m.dumpLength;
    }
    WriteNotes(out, threads, threadCount, process, mappings_, count);
    out.PadTo(dataOffset);

    for (std::size_t i = 0; i < count && out.Ok(); ++i) {
        const Mapping& m = mappings_[i];
        for (std::uint64_t done = 0; done < m.dumpLength;) {
            const std::uint64_t rest = m.dumpLength - done;
            const std::size_t size = rest < kCopyCapacity ? static_cast<std::size_t>(rest) : kCopyCapacity;
            const std::size_t read = ReadOwnMemory(m.dumpStart + done, copyBuffer_, size);
            out.Put(copyBuffer_, read);
            done += read;
            if (read < size) {  // an unreadable page (a truncated file, a guard): zeros in its place
                const std::uint64_t gap = PageUp(m.dumpStart + done + 1) - (m.dumpStart + done);
                const std::uint64_t zeros = gap < m.dumpLength - done ? gap : m.dumpLength - done;
                out.Zeros(static_cast<std::size_t>(zeros));
                done += zeros;
            }
        }
    }
    return out.Flush();
}

}  // namespace zelvor::grelt
