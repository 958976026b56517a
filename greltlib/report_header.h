#pragma once
/// The crash report's first lines, written from inside the crashed process: which program, when, which
/// exception where, and the faulting thread's registers.
///
/// The lines (all ending in CR LF; hexadecimal in upper case, zero-padded to the width shown):
///
///     Problem encountered with <program>, version <version>
///     when running it at HH:MM (UTC) on D/M/YYYY
///     <empty line>
///     Exception code: XXXXXXXX <name>
///     Fault address:  <RIP: 16 digits> <section: 2 digits or more>:<offset: 16 digits> <module path>
///     <empty line>
///     Registers:
///     RAX:<16 digits>      and likewise one line each for RBX RCX RDX RSI RDI R8 R9 R10 R11 R12 R13 R14 R15
///     CS:RIP:<4 digits>:<16 digits>
///     SS:RSP:<4 digits>:<16 digits>  RBP:<16 digits>
///     DS:<4 digits>  ES:<4 digits>  FS:<4 digits>  GS:<4 digits>
///     Flags:<8 digits>     (the low half of RFLAGS; the upper half is reserved and zero)
///
/// The exception code and name come from DescribeException (greltlib/exception_names.h); a signal without an
/// exception name is written in words, then ", " and its si_code in words (or "si_code N").
/// The fault address is the faulting instruction (RIP). Its section and offset come from LocateAddress
/// (greltlib/module_sections.h): an address in no file mapping shows "00:0000000000000000 <unknown module>";
/// in a module whose section is not found, "00:0000000000000000 <module path>".
/// FS and GS are the selectors of the signal frame, SS too when the kernel saved it (else the live one); the
/// frame has no DS and ES, which the kernel leaves untouched on signal delivery: they are read live.
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <ucontext.h>

namespace zelvor::grelt {

class ReportHeaderWriter {
public:
    /// Seconds since 1970-01-01 00:00 UTC. Must be async-signal-safe.
    using WallClock = std::int64_t (*)();

    /// clock: null for the system's real-time clock; tests give a fixed time.
    explicit ReportHeaderWriter(WallClock clock = nullptr);
    ~ReportHeaderWriter();
    ReportHeaderWriter(const ReportHeaderWriter&) = delete;
    ReportHeaderWriter& operator=(const ReportHeaderWriter&) = delete;

    /// Reserves buffers and remembers program name and version (may allocate; call at start-up). Texts
    /// longer than 1023 (name) or 255 (version) bytes are cut short.
    bool Prepare(const char* programName, const char* version);

    /// Async-signal-safe: raw system calls and the buffers of Prepare only; errno is left as it was. Writes
    /// the header and register lines for this fault to fd (fd < 0: only into Text()). False when not
    /// prepared or the lines could not all be written. Not reentrant: one Write at a time.
    bool Write(int fd, const siginfo_t& info, const ucontext_t& context, bool stackOverflow) const;

    /// The lines of the last Write, for the dialog and mail texts the caller keeps.
    const char* Text() const { return text_; }
    std::size_t Length() const { return length_; }

private:
    WallClock clock_;
    void* arena_ = nullptr;  // one mapping holding the buffers below
    std::size_t arenaSize_ = 0;
    char* name_ = nullptr;
    char* version_ = nullptr;
    char* text_ = nullptr;
    char* scratch_ = nullptr;
    char* path_ = nullptr;
    mutable std::size_t length_ = 0;
};

}  // namespace zelvor::grelt
