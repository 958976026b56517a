#include "greltlib/exception_names.h"

#include <csignal>

namespace zelvor::grelt {

namespace {

constexpr int kAnyCode = 0x7fffffff;

struct NamedException {
    int signal;
    int siCode;  // kAnyCode: every code of the signal not listed before it
    std::uint32_t code;
    const char* name;
};

// The fault signals and the exception codes they stand for; a row with a particular si_code comes before its
// signal's catch-all row.
constexpr NamedException kExceptions[] = {
    {SIGSEGV, kAnyCode, 0xC0000005u, "ACCESS_VIOLATION"},
    {SIGBUS, BUS_ADRALN, 0x80000002u, "DATATYPE_MISALIGNMENT"},
    {SIGBUS, kAnyCode, 0xC0000006u, "IN_PAGE_ERROR"},
    {SIGILL, ILL_PRVOPC, 0xC0000096u, "PRIV_INSTRUCTION"},
    {SIGILL, kAnyCode, 0xC000001Du, "ILLEGAL_INSTRUCTION"},
    {SIGFPE, FPE_INTDIV, 0xC0000094u, "INT_DIVIDE_BY_ZERO"},
    {SIGFPE, FPE_INTOVF, 0xC0000095u, "INT_OVERFLOW"},
    {SIGFPE, FPE_FLTDIV, 0xC000008Eu, "FLT_DIVIDE_BY_ZERO"},
    {SIGFPE, FPE_FLTOVF, 0xC0000091u, "FLT_OVERFLOW"},
    {SIGFPE, FPE_FLTUND, 0xC0000093u, "FLT_UNDERFLOW"},
    {SIGFPE, FPE_FLTRES, 0xC000008Fu, "FLT_INEXACT_RESULT"},
    {SIGFPE, FPE_FLTINV, 0xC0000090u, "FLT_INVALID_OPERATION"},
    {SIGFPE, FPE_FLTSUB, 0xC000008Cu, "ARRAY_BOUNDS_EXCEEDED"},
    {SIGTRAP, TRAP_TRACE, 0x80000004u, "SINGLE_STEP"},
    {SIGTRAP, kAnyCode, 0x80000003u, "BREAKPOINT"},
};
constexpr std::uint32_t kStackOverflowCode = 0xC00000FDu;

struct SignalWords {
    int signal;
    const char* words;
};

constexpr SignalWords kSignals[] = {
    {SIGABRT, "abort signal (SIGABRT)"},
    {SIGFPE, "floating-point exception (SIGFPE)"},
    {SIGSEGV, "segmentation fault (SIGSEGV)"},
    {SIGBUS, "bus error (SIGBUS)"},
    {SIGILL, "illegal instruction (SIGILL)"},
    {SIGTRAP, "trace/breakpoint trap (SIGTRAP)"},
    {SIGSYS, "bad system call (SIGSYS)"},
    {SIGXCPU, "CPU time limit exceeded (SIGXCPU)"},
    {SIGXFSZ, "file size limit exceeded (SIGXFSZ)"},
    {SIGQUIT, "quit signal (SIGQUIT)"},
    {SIGTERM, "termination signal (SIGTERM)"},
    {SIGINT, "interrupt signal (SIGINT)"},
    {SIGHUP, "hangup signal (SIGHUP)"},
    {SIGKILL, "kill signal (SIGKILL)"},
    {SIGPIPE, "broken pipe (SIGPIPE)"},
    {SIGALRM, "alarm clock (SIGALRM)"},
    {SIGUSR1, "user signal 1 (SIGUSR1)"},
    {SIGUSR2, "user signal 2 (SIGUSR2)"},
};

struct CodeWords {
    int signal;  // 0: any signal (the codes of senders)
    int siCode;
    const char* words;
};

constexpr CodeWords kCodes[] = {
    {0, SI_USER, "SI_USER: sent by kill or raise"},
    {0, SI_KERNEL, "SI_KERNEL: sent by the kernel"},
    {0, SI_QUEUE, "SI_QUEUE: sent by sigqueue"},
    {0, SI_TIMER, "SI_TIMER: POSIX timer expired"},
    {0, SI_MESGQ, "SI_MESGQ: POSIX message queue state changed"},
    {0, SI_ASYNCIO, "SI_ASYNCIO: asynchronous I/O completed"},
    {0, SI_SIGIO, "SI_SIGIO: queued SIGIO"},
    {0, SI_TKILL, "SI_TKILL: sent by tkill or tgkill"},
    {SIGSEGV, SEGV_MAPERR, "SEGV_MAPERR: address not mapped to object"},
    {SIGSEGV, SEGV_ACCERR, "SEGV_ACCERR: invalid permissions for mapped object"},
    {SIGSEGV, SEGV_BNDERR, "SEGV_BNDERR: failed address bound checks"},
    {SIGSEGV, SEGV_PKUERR, "SEGV_PKUERR: access denied by memory protection keys"},
    {SIGBUS, BUS_ADRALN, "BUS_ADRALN: invalid address alignment"},
    {SIGBUS, BUS_ADRERR, "BUS_ADRERR: nonexistent physical address"},
    {SIGBUS, BUS_OBJERR, "BUS_OBJERR: object-specific hardware error"},
    {SIGILL, ILL_ILLOPC, "ILL_ILLOPC: illegal opcode"},
    {SIGILL, ILL_ILLOPN, "ILL_ILLOPN: illegal operand"},
    {SIGILL, ILL_ILLADR, "ILL_ILLADR: illegal addressing mode"},
    {SIGILL, ILL_ILLTRP, "ILL_ILLTRP: illegal trap"},
    {SIGILL, ILL_PRVOPC, "ILL_PRVOPC: privileged opcode"},
    {SIGILL, ILL_PRVREG, "ILL_PRVREG: privileged register"},
    {SIGILL, ILL_COPROC, "ILL_COPROC: coprocessor error"},
    {SIGILL, ILL_BADSTK, "ILL_BADSTK: internal stack error"},
    {SIGFPE, FPE_INTDIV, "FPE_INTDIV: integer divide by zero"},
    {SIGFPE, FPE_INTOVF, "FPE_INTOVF: integer overflow"},
    {SIGFPE, FPE_FLTDIV, "FPE_FLTDIV: floating-point divide by zero"},
    {SIGFPE, FPE_FLTOVF, "FPE_FLTOVF: floating-point overflow"},
    {SIGFPE, FPE_FLTUND, "FPE_FLTUND: floating-point underflow"},
    {SIGFPE, FPE_FLTRES, "FPE_FLTRES: floating-point inexact result"},
    {SIGFPE, FPE_FLTINV, "FPE_FLTINV: floating-point invalid operation"},
    {SIGFPE, FPE_FLTSUB, "FPE_FLTSUB: subscript out of range"},
    {SIGTRAP, TRAP_BRKPT, "TRAP_BRKPT: process breakpoint"},
    {SIGTRAP, TRAP_TRACE, "TRAP_TRACE: process trace trap"},
    {SIGTRAP, TRAP_BRANCH, "TRAP_BRANCH: process taken branch trap"},
    {SIGTRAP, TRAP_HWBKPT, "TRAP_HWBKPT: hardware breakpoint/watchpoint"},
    {SIGSYS, 1 /* SYS_SECCOMP */, "SYS_SECCOMP: seccomp triggered"},
};

}  // namespace

ExceptionDescription DescribeException(int signal, int siCode, bool stackOverflow) {
    ExceptionDescription d;
    if (signal == SIGSEGV && stackOverflow) {
        d.code = kStackOverflowCode;
        d.name = "STACK_OVERFLOW";
        return d;
    }
    for (const NamedException& e : kExceptions) {
        if (e.signal == signal && (e.siCode == siCode || e.siCode == kAnyCode)) {
            d.code = e.code;
            d.name = e.name;
            return d;
        }
    }
    d.code = kSignalCodeBase + static_cast<std::uint32_t>(signal & 0xFFFF);
    d.name = nullptr;
    for (const SignalWords& s : kSignals)
        if (s.signal == signal) d.name = s.words;
    // The senders' codes (zero and below, and SI_KERNEL) mean the same for every signal; the positive ones
    // only with their own signal.
    const bool senderCode = siCode <= 0 || siCode == SI_KERNEL;
    for (const CodeWords& c : kCodes)
        if (c.siCode == siCode && (senderCode ? c.signal == 0 : c.signal == signal)) d.detail = c.words;
    return d;
}

}  // namespace zelvor::grelt
