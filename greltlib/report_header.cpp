#include "greltlib/report_header.h"

#include "greltlib/exception_names.h"
#include "greltlib/module_sections.h"
#include "greltlib/signal_safe_format.h"

#include <cerrno>
#include <cstring>
#include <sys/mman.h>
#include <time.h>

namespace zelvor::grelt {

namespace {

constexpr std::size_t kNameCapacity = 1024;
constexpr std::size_t kVersionCapacity = 256;
constexpr std::size_t kTextCapacity = 16384;
constexpr std::size_t kScratchCapacity = LocatorBuffers::kMinimumScratch;
constexpr std::size_t kPathCapacity = 4096 + 64;  // PATH_MAX and a " (deleted)" suffix
#ifndef UC_SIGCONTEXT_SS
constexpr unsigned long UC_SIGCONTEXT_SS = 0x2;  // the kernel saved SS in the frame
#endif

std::int64_t RealtimeSeconds() {
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) return 0;
    return now.tv_sec;
}

struct CivilTime {
    std::int64_t year;
    int month, day, hour, minute;
};

// Days since 1970-01-01 to the proleptic Gregorian calendar, by 400-year eras (H. Hinnant's
// civil_from_days): exact for every date, with no table and no library call.
CivilTime ToCivil(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) rest += 86400, --days;
    const std::int64_t z = days + 719468;  // days since 0000-03-01
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // March = 0
    CivilTime t{};
    t.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    t.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    t.year = yearOfEra + era * 400 + (t.month <= 2 ? 1 : 0);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    return t;
}

void CopyCut(char* destination, const char* source, std::size_t capacity) {
    std::size_t n = 0;
    if (source)
        for (; n + 1 < capacity && source[n]; ++n) destination[n] = source[n];
    destination[n] = '\0';
}

std::uint16_t LiveDs() {
    std::uint16_t v;
    asm volatile("mov %%ds, %0" : "=r"(v));
    return v;
}
std::uint16_t LiveEs() {
    std::uint16_t v;
    asm volatile("mov %%es, %0" : "=r"(v));
    return v;
}
std::uint16_t LiveSs() {
    std::uint16_t v;
    asm volatile("mov %%ss, %0" : "=r"(v));
    return v;
}

}  // namespace

ReportHeaderWriter::ReportHeaderWriter(WallClock clock) : clock_(clock ? clock : RealtimeSeconds) {}

ReportHeaderWriter::~ReportHeaderWriter() {
    if (arena_) munmap(arena_, arenaSize_);
}

bool ReportHeaderWriter::Prepare(const char* programName, const char* version) {
    if (!arena_) {
        arenaSize_ = kNameCapacity + kVersionCapacity + kTextCapacity + kScratchCapacity + kPathCapacity;
        void* arena = mmap(nullptr, arenaSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (arena == MAP_FAILED) return false;
        // Touched now, so that the crashed process needs no new memory from the system.
        std::memset(arena, 0, arenaSize_);
        arena_ = arena;
        char* p = static_cast<char*>(arena);
        name_ = p, p += kNameCapacity;
        version_ = p, p += kVersionCapacity;
        text_ = p, p += kTextCapacity;
        scratch_ = p, p += kScratchCapacity;
        path_ = p;
    }
    CopyCut(name_, programName, kNameCapacity);
    CopyCut(version_, version, kVersionCapacity);
    length_ = 0;
    return true;
}

bool ReportHeaderWriter::Write(int fd, const siginfo_t& info, const ucontext_t& context, bool stackOverflow) const {
    if (!arena_) return false;
    const int savedErrno = errno;
    const greg_t* r = context.uc_mcontext.gregs;
    const auto reg = [r](int index) { return static_cast<std::uint64_t>(r[index]); };
    TextBuffer out(text_, kTextCapacity);

    out.Text("Problem encountered with ").Text(name_).Text(", version ").Text(version_).Text("\r\n");
    const CivilTime now = ToCivil(clock_());
    out.Text("when running it at ").Decimal(now.hour, 2).Text(":").Decimal(now.minute, 2).Text(" (UTC) on ");
    out.Decimal(now.day).Text("/").Decimal(now.month).Text("/").Decimal(now.year).Text("\r\n\r\n");

    const ExceptionDescription exception = DescribeException(info.si_signo, info.si_code, stackOverflow);
    out.Text("Exception code: ").Hex(exception.code, 8).Text(" ");
    if (exception.name) out.Text(exception.name);
    else out.Text("signal ").Decimal(info.si_signo);
    if (exception.code >= kSignalCodeBase) {  // a signal without an exception name: say how it came
        out.Text(", ");
        if (exception.detail) out.Text(exception.detail);
        else out.Text("si_code ").Decimal(info.si_code);
    }
    out.Text("\r\n");

    const std::uint64_t rip = reg(REG_RIP);
    const LogicalAddress where = LocateAddress(rip, {scratch_, kScratchCapacity, path_, kPathCapacity});
    out.Text("Fault address:  ").Hex(rip, 16).Text(" ").Hex(where.section, 2).Text(":").Hex(where.offset, 16);
    out.Text(" ").Text(where.modulePath ? where.modulePath : "<unknown module>").Text("\r\n");

    // REG_CSGSFS packs the selectors CS, GS, FS and SS, 16 bits each from the low end.
    const std::uint64_t selectors = reg(REG_CSGSFS);
    const auto cs = selectors & 0xFFFF, gs = (selectors >> 16) & 0xFFFF, fs = (selectors >> 32) & 0xFFFF;
    const std::uint64_t ss = (context.uc_flags & UC_SIGCONTEXT_SS) ? (selectors >> 48) & 0xFFFF : LiveSs();
    static constexpr struct {
        const char* label;
        int index;
    } kGeneral[] = {{"RAX:", REG_RAX}, {"RBX:", REG_RBX}, {"RCX:", REG_RCX}, {"RDX:", REG_RDX},
                    {"RSI:", REG_RSI}, {"RDI:", REG_RDI}, {"R8:", REG_R8},   {"R9:", REG_R9},
                    {"R10:", REG_R10}, {"R11:", REG_R11}, {"R12:", REG_R12}, {"R13:", REG_R13},
                    {"R14:", REG_R14}, {"R15:", REG_R15}};
    out.Text("\r\nRegisters:\r\n");
    for (const auto& g : kGeneral) out.Text(g.label).Hex(reg(g.index), 16).Text("\r\n");
    out.Text("CS:RIP:").Hex(cs, 4).Text(":").Hex(rip, 16).Text("\r\n");
    out.Text("SS:RSP:").Hex(ss, 4).Text(":").Hex(reg(REG_RSP), 16).Text("  RBP:").Hex(reg(REG_RBP), 16).Text("\r\n");
    out.Text("DS:").Hex(LiveDs(), 4).Text("  ES:").Hex(LiveEs(), 4).Text("  FS:").Hex(fs, 4).Text("  GS:").Hex(gs, 4);
    out.Text("\r\n");
    out.Text("Flags:").Hex(reg(REG_EFL) & 0xFFFFFFFFu, 8).Text("\r\n");

    length_ = out.Length();
    const bool written = fd < 0 || WriteAll(fd, out.Data(), out.Length());
    errno = savedErrno;
    return written && !out.Truncated();
}

}  // namespace zelvor::grelt
