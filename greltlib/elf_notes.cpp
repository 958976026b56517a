#include "greltlib/elf_notes.h"

#include "greltlib/smaps_reader.h"

#include <asm/prctl.h>
#include <cerrno>
#include <cstring>
#include <elf.h>
#include <sys/procfs.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <unistd.h>

namespace zelvor::grelt {

void SaveCrashedThread(CrashedThread& slot, pid_t thread, const void* context) {
    slot.tid = thread;
    std::memcpy(&slot.context, context, sizeof slot.context);
    const auto* original = static_cast<const ucontext_t*>(context);
    if (original->uc_mcontext.fpregs) {  // the FP state lives in the handler's frame: keep it with the copy
        std::memcpy(&slot.context.__fpregs_mem, original->uc_mcontext.fpregs, sizeof slot.context.__fpregs_mem);
        slot.context.uc_mcontext.fpregs = &slot.context.__fpregs_mem;
    }
    unsigned long fsBase = 0;
    syscall(SYS_arch_prctl, ARCH_GET_FS, &fsBase);
    slot.fsBase = fsBase;
}

void OutputStream::Put(const void* data, std::size_t size) {
    position_ += size;
    if (fd_ < 0) return;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        if (used_ == capacity_ && !Flush()) return;
        const std::size_t n = size < capacity_ - used_ ? size : capacity_ - used_;
        std::memcpy(buffer_ + used_, bytes, n);
        used_ += n;
        bytes += n;
        size -= n;
    }
}

void OutputStream::Zeros(std::size_t size) {
    static const char kZeros[512] = {};
    while (size > 0) {
        const std::size_t n = size < sizeof kZeros ? size : sizeof kZeros;
        Put(kZeros, n);
        size -= n;
    }
}

bool OutputStream::Flush() {
    std::size_t done = 0;
    while (ok_ && done < used_) {
        const ssize_t n = write(fd_, buffer_ + done, used_ - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok_ = false;
        else done += static_cast<std::size_t>(n);
    }
    used_ = 0;
    return ok_;
}

namespace {

constexpr char kCoreName[] = "CORE";  // with its NUL: namesz 5

std::size_t Align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

void NoteHeader(OutputStream& out, std::uint32_t type, std::size_t descSize) {
    Elf64_Nhdr header{};
    header.n_namesz = sizeof kCoreName;
    header.n_descsz = static_cast<Elf64_Word>(descSize);
    header.n_type = type;
    out.Put(&header, sizeof header);
    out.Put(kCoreName, sizeof kCoreName);
    out.Zeros(Align4(sizeof kCoreName) - sizeof kCoreName);
}

void Note(OutputStream& out, std::uint32_t type, const void* desc, std::size_t size) {
    NoteHeader(out, type, size);
    out.Put(desc, size);
    out.Zeros(Align4(size) - size);
}

void ThreadStatus(OutputStream& out, const CrashedThread& thread, const siginfo_t& signal) {
    const greg_t* g = thread.context.uc_mcontext.gregs;
    user_regs_struct regs{};
    regs.r15 = static_cast<unsigned long long>(g[REG_R15]);
    regs.r14 = static_cast<unsigned long long>(g[REG_R14]);
    regs.r13 = static_cast<unsigned long long>(g[REG_R13]);
    regs.r12 = static_cast<unsigned long long>(g[REG_R12]);
    regs.rbp = static_cast<unsigned long long>(g[REG_RBP]);
    regs.rbx = static_cast<unsigned long long>(g[REG_RBX]);
    regs.r11 = static_cast<unsigned long long>(g[REG_R11]);
    regs.r10 = static_cast<unsigned long long>(g[REG_R10]);
    regs.r9 = static_cast<unsigned long long>(g[REG_R9]);
    regs.r8 = static_cast<unsigned long long>(g[REG_R8]);
    regs.rax = static_cast<unsigned long long>(g[REG_RAX]);
    regs.rcx = static_cast<unsigned long long>(g[REG_RCX]);
    regs.rdx = static_cast<unsigned long long>(g[REG_RDX]);
    regs.rsi = static_cast<unsigned long long>(g[REG_RSI]);
    regs.rdi = static_cast<unsigned long long>(g[REG_RDI]);
    regs.orig_rax = ~0ull;  // not stopped at a system call entry: no restart for the debugger to undo
    regs.rip = static_cast<unsigned long long>(g[REG_RIP]);
    regs.eflags = static_cast<unsigned long long>(g[REG_EFL]);
    regs.rsp = static_cast<unsigned long long>(g[REG_RSP]);
    // REG_CSGSFS packs cs, gs, fs and (since Linux 4.8) ss, 16 bits each.
    const auto segments = static_cast<unsigned long long>(g[REG_CSGSFS]);
    regs.cs = segments & 0xffff;
    regs.gs = (segments >> 16) & 0xffff;
    regs.fs = (segments >> 32) & 0xffff;
    regs.ss = (segments >> 48) & 0xffff;
    if (regs.ss == 0) regs.ss = 0x2b;  // the user data selector of x86-64 Linux
    regs.fs_base = thread.fsBase;

    elf_prstatus status{};
    status.pr_info.si_signo = signal.si_signo;
    status.pr_info.si_code = signal.si_code;
    status.pr_info.si_errno = signal.si_errno;
    status.pr_cursig = static_cast<short>(signal.si_signo);
    status.pr_pid = thread.tid;
    status.pr_ppid = getppid();
    status.pr_pgrp = getpgrp();
    status.pr_sid = getsid(0);
    static_assert(sizeof status.pr_reg == sizeof regs);
    std::memcpy(&status.pr_reg, &regs, sizeof regs);
    status.pr_fpvalid = thread.context.uc_mcontext.fpregs != nullptr;
    Note(out, NT_PRSTATUS, &status, sizeof status);
}

void ThreadFloatingPoint(OutputStream& out, const CrashedThread& thread) {
    user_fpregs_struct fp{};
    static_assert(sizeof fp == sizeof(struct _libc_fpstate));  // both are the FXSAVE area
    if (thread.context.uc_mcontext.fpregs) std::memcpy(&fp, thread.context.uc_mcontext.fpregs, sizeof fp);
    Note(out, NT_PRFPREG, &fp, sizeof fp);
}

void ProcessInfo(OutputStream& out, const ProcessNoteData& process) {
    elf_prpsinfo info{};
    info.pr_state = 0;
    info.pr_sname = 'R';
    info.pr_pid = getpid();
    info.pr_ppid = getppid();
    info.pr_pgrp = getpgrp();
    info.pr_sid = getsid(0);
    info.pr_uid = getuid();
    info.pr_gid = getgid();
    std::size_t n = 0;
    for (; n < process.nameLength && n + 1 < sizeof info.pr_fname && process.name[n] != '\n'; ++n)
        info.pr_fname[n] = process.name[n];
    // The arguments, separated by spaces as ps shows them.
    std::size_t length = process.commandLineLength;
    while (length > 0 && process.commandLine[length - 1] == '\0') --length;
    for (n = 0; n < length && n + 1 < sizeof info.pr_psargs; ++n)
        info.pr_psargs[n] = process.commandLine[n] == '\0' ? ' ' : process.commandLine[n];
    Note(out, NT_PRPSINFO, &info, sizeof info);
}

// NT_FILE: count, page size, (start, end, offset in pages) per file mapping, then their NUL-terminated paths.
void FileNote(OutputStream& out, const Mapping* mappings, std::size_t mappingCount) {
    const std::uint64_t pageSize = 4096;  // the unit of the offsets; x86-64 base pages
    std::uint64_t count = 0;
    std::size_t size = 2 * sizeof(std::uint64_t);
    for (std::size_t i = 0; i < mappingCount; ++i) {
        if (!mappings[i].HasFile()) continue;
        ++count;
        size += 3 * sizeof(std::uint64_t) + mappings[i].pathLength + 1;
    }
    NoteHeader(out, NT_FILE, size);
    out.Put(&count, sizeof count);
    out.Put(&pageSize, sizeof pageSize);
    for (std::size_t i = 0; i < mappingCount; ++i) {
        if (!mappings[i].HasFile()) continue;
        const std::uint64_t entry[3] = {mappings[i].start, mappings[i].end, mappings[i].fileOffset / pageSize};
        out.Put(entry, sizeof entry);
    }
    for (std::size_t i = 0; i < mappingCount; ++i) {
        if (!mappings[i].HasFile()) continue;
        out.Put(mappings[i].path, mappings[i].pathLength + 1);
    }
    out.Zeros(Align4(size) - size);
}

}  // namespace

void WriteNotes(OutputStream& out, const CrashedThread* threads, int threadCount, const ProcessNoteData& process,
                const Mapping* mappings, std::size_t mappingCount) {
    ThreadStatus(out, threads[0], *process.signal);
    ProcessInfo(out, process);
    Note(out, NT_SIGINFO, process.signal, sizeof(siginfo_t));
    Note(out, NT_AUXV, process.auxv, process.auxvLength);
    FileNote(out, mappings, mappingCount);
    ThreadFloatingPoint(out, threads[0]);
    for (int i = 1; i < threadCount; ++i) {
        ThreadStatus(out, threads[i], *process.signal);
        ThreadFloatingPoint(out, threads[i]);
    }
}

}  // namespace zelvor::grelt
