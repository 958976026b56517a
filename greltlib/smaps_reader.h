#pragma once
/// Parses /proc/self/smaps text in place, without allocating: safe inside a crashed process.
#include <cstddef>
#include <cstdint>

namespace zelvor::grelt {

/// One mapping of the process as smaps lists it.
struct Mapping {
    enum Flags : std::uint32_t {
        Readable = 1u << 0,
        Writable = 1u << 1,
        Executable = 1u << 2,
        Shared = 1u << 3,
        DontDump = 1u << 4,  // madvise(MADV_DONTDUMP), or I/O and PFN mappings the kernel never dumps
    };
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint64_t fileOffset = 0;
    std::uint64_t inode = 0;
    std::uint64_t anonymousBytes = 0;  // pages copied on write or never backed by a file ("Anonymous" + "Swap")
    const char* path = nullptr;        // NUL-terminated, inside the parsed text; "" when there is none
    std::uint32_t pathLength = 0;
    std::uint32_t flags = 0;
    // Chosen by the writer: the bytes [dumpStart, dumpStart + dumpLength) go into the file.
    std::uint64_t dumpStart = 0;
    std::uint64_t dumpLength = 0;
    bool isStack = false;

    std::uint64_t Size() const { return end - start; }
    bool HasFile() const { return pathLength > 0 && path[0] == '/'; }
    bool Named(const char* name) const;
};

/// Parses text (length bytes, modified in place: line ends become NULs) into at most capacity mappings.
/// A mapping whose block is cut off at the end of the text is dropped. Returns the number of mappings.
std::size_t ParseSmaps(char* text, std::size_t length, Mapping* mappings, std::size_t capacity);

}  // namespace zelvor::grelt
