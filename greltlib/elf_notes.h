#pragma once
/// The output stream of the core file and its ELF notes, built without allocating (async-signal-safe).
#include <cstddef>
#include <cstdint>
#include <csignal>
#include <sys/types.h>
#include <ucontext.h>

namespace zelvor::grelt {

struct Mapping;

/// A thread of the crashed process as its signal handler saw it.
struct CrashedThread {
    pid_t tid = 0;
    /// Registers at the interruption. uc_mcontext.fpregs must point to live memory: the handler's own frame,
    /// or this copy's __fpregs_mem.
    ucontext_t context{};
    /// The thread's FS base (arch_prctl ARCH_GET_FS in its handler); 0 when unknown. Debuggers find the
    /// thread's library data (pthread descriptor, thread-local variables) through it.
    std::uint64_t fsBase = 0;
};

/// Fills slot from the signal frame's context on the calling thread (its FS base too), keeping the FP state
/// with the copy. Async-signal-safe.
void SaveCrashedThread(CrashedThread& slot, pid_t thread, const void* context);

/// Buffered output to a file descriptor through a caller-provided buffer. With fd < 0 it only counts bytes,
/// so one routine both measures and writes a part of the file.
class OutputStream {
public:
    OutputStream(int fd, char* buffer, std::size_t capacity) : fd_(fd), buffer_(buffer), capacity_(capacity) {}
    void Put(const void* data, std::size_t size);
    void Zeros(std::size_t size);
    void PadTo(std::uint64_t offset) { Zeros(offset > position_ ? offset - position_ : 0); }
    /// Writes out what is buffered; false when any write failed.
    bool Flush();
    std::uint64_t Position() const { return position_; }
    bool Ok() const { return ok_; }
    /// The buffer, for callers that fill it directly (after Flush it is empty).
    char* Buffer() const { return buffer_; }
    std::size_t Capacity() const { return capacity_; }

private:
    int fd_;
    char* buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    std::uint64_t position_ = 0;
    bool ok_ = true;
};

/// What the process-wide notes contain besides the threads and the mappings.
struct ProcessNoteData {
    const siginfo_t* signal = nullptr;
    const char* auxv = nullptr;  // contents of /proc/self/auxv
    std::size_t auxvLength = 0;
    const char* commandLine = nullptr;  // contents of /proc/self/cmdline (NUL-separated)
    std::size_t commandLineLength = 0;
    const char* name = nullptr;  // contents of /proc/self/comm
    std::size_t nameLength = 0;
};

/// Writes the notes in the order the kernel writes them: the first thread's NT_PRSTATUS, NT_PRPSINFO,
/// NT_SIGINFO, NT_AUXV, NT_FILE, its NT_PRFPREG; then NT_PRSTATUS and NT_PRFPREG of each other thread.
void WriteNotes(OutputStream& out, const CrashedThread* threads, int threadCount, const ProcessNoteData& process,
                const Mapping* mappings, std::size_t mappingCount);

}  // namespace zelvor::grelt
