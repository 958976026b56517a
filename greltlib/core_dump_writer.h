#pragma once
/// Writes an ELF core file of the running process from inside its crash handler, for gdb and elfutils.
#include "greltlib/elf_notes.h"

#include <cstddef>
#include <csignal>

namespace zelvor::grelt {

struct Mapping;

class CoreDumpWriter {
public:
    CoreDumpWriter() = default;
    ~CoreDumpWriter();
    CoreDumpWriter(const CoreDumpWriter&) = delete;
    CoreDumpWriter& operator=(const CoreDumpWriter&) = delete;

    /// Reserves the buffers (may allocate; call at start-up). maxDumpBytes caps the file size.
    bool Prepare(std::size_t maxDumpBytes);

    /// Async-signal-safe: raw system calls and the buffers of Prepare only. Writes the core file to fd:
    /// threads[0] is the faulting thread, info its siginfo. False when the file could not be written whole,
    /// or when even the notes and the faulting thread's stack do not fit under the cap (then nothing is
    /// written). Not reentrant: one Write at a time.
    bool Write(int fd, const CrashedThread* threads, int threadCount, const siginfo_t& info) const;

private:
    std::size_t maxDumpBytes_ = 0;
    void* arena_ = nullptr;  // one mapping holding all the buffers below
    std::size_t arenaSize_ = 0;
    char* smapsText_ = nullptr;
    std::size_t smapsCapacity_ = 0;
    Mapping* mappings_ = nullptr;
    std::size_t mappingCapacity_ = 0;
    unsigned* order_ = nullptr;  // mapping indices, sorted while choosing what fits under the cap
    char* auxv_ = nullptr;
    char* commandLine_ = nullptr;
    char* name_ = nullptr;
    char* outputBuffer_ = nullptr;
    char* copyBuffer_ = nullptr;
};

}  // namespace zelvor::grelt
