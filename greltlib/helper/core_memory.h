#pragma once
/// Reads the crashed process's memory from the PT_LOAD segments of its ELF core file, and the thread id of
/// the core's first NT_PRSTATUS note (the faulting thread). The dump leaves out read-only file mappings
/// (code, string literals): with the modules attached, those are read from the modules' files, which hold
/// the same bytes. Other memory that the dump left out reads as missing.
#include <cstddef>
#include <cstdint>
#include <elfutils/libdwfl.h>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zelvor::grelt {

class CoreMemory {
public:
    CoreMemory() = default;
    ~CoreMemory();
    CoreMemory(const CoreMemory&) = delete;
    CoreMemory& operator=(const CoreMemory&) = delete;

    /// False when the file is no 64-bit little-endian x86-64 ELF core or its headers lie outside the file.
    bool Open(const std::string& path);

    /// Reads read-only segments of the modules reported to dwfl where the dump has nothing; dwfl must
    /// outlive the reads.
    void AttachModules(Dwfl* dwfl) { dwfl_ = dwfl; }

    /// True when all size bytes at address are in the dump (they may span adjacent segments).
    bool Read(std::uint64_t address, void* out, std::size_t size) const;

    /// How many bytes from address on are in the dump, at most limit.
    std::size_t ReadablePrefix(std::uint64_t address, std::size_t limit) const;

    /// The thread id of the first NT_PRSTATUS note; 0 when there is none.
    pid_t FirstThread() const { return firstThread_; }

private:
    struct Segment {
        std::uint64_t address = 0;
        std::uint64_t size = 0;  // bytes present in the file (p_filesz)
        std::uint64_t fileOffset = 0;
    };
    const Segment* SegmentAt(std::uint64_t address) const;
    /// Copies (out may be null: only counts) the readable bytes from address on, at most limit, from one
    /// source: a core segment or a module file. Returns how many; 0 when address is not readable.
    std::size_t CopySpan(std::uint64_t address, char* out, std::size_t limit) const;
    std::size_t CopyFromModule(std::uint64_t address, char* out, std::size_t limit) const;
    void ReadNotes(std::uint64_t offset, std::uint64_t size);

    int fd_ = -1;
    Dwfl* dwfl_ = nullptr;
    std::uint64_t fileSize_ = 0;
    std::vector<Segment> segments_;  // sorted by address
    pid_t firstThread_ = 0;
};

}  // namespace zelvor::grelt
