// The report header as the crashed process writes it: exception names for every fault signal, the UTC time
// against the C library's calendar, and real faults in forked children whose fault address, module and
// section are checked against readelf and nm.
#include "greltlib/module_sections.h"
#include "greltlib/report_header.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Faulting functions, looked up by nm under these names.
extern "C" __attribute__((noinline, no_sanitize("address", "undefined"))) void GreltReportTestNullWrite(int* target) {
    *target = 42;
    asm volatile("" ::: "memory");
}

extern "C" __attribute__((noinline, no_sanitize("undefined"))) int GreltReportTestDivide(int a, int b) {
    return a / b;
}

// In the writable segment, whose mapping the loader splits (read-only after relocation, then writable): the
// variable lies in a mapping that starts inside the segment, not at its first page.
extern "C" {
volatile int GreltReportTestData = 5;
}

namespace {

using zelvor::grelt::ReportHeaderWriter;

std::int64_t gFixedTime = 0;
std::int64_t FixedClock() { return gFixedTime; }

std::string Line(const std::string& text, const std::string& prefix) {
    const auto at = text.find("\r\n" + prefix);
    if (at == std::string::npos) return {};
    const auto begin = at + 2;
    return text.substr(begin, text.find("\r\n", begin) - begin);
}

// The lines written for a signal that did not happen: a zero context, so the fault address is in no module.
std::string Describe(int signal, int code, bool stackOverflow = false) {
    static ReportHeaderWriter writer(FixedClock);
    static const bool prepared = writer.Prepare("zelvor", "1.0");
    EXPECT_TRUE(prepared);
    siginfo_t info{};
    info.si_signo = signal;
    info.si_code = code;
    ucontext_t context{};
    EXPECT_TRUE(writer.Write(-1, info, context, stackOverflow));
    return std::string(writer.Text(), writer.Length());
}

TEST(ReportHeaderTest, FaultSignalsGetTheExceptionCodesAndNamesOrAreDescribedInWords) {
    struct Case {
        int signal, code;
        bool overflow;
        const char* line;
    };
    const Case cases[] = {
        {SIGSEGV, SEGV_MAPERR, false, "C0000005 ACCESS_VIOLATION"},
        {SIGSEGV, SEGV_ACCERR, false, "C0000005 ACCESS_VIOLATION"},
        {SIGSEGV, SI_USER, false, "C0000005 ACCESS_VIOLATION"},  // kill -SEGV is reported like a fault
        {SIGSEGV, SEGV_MAPERR, true, "C00000FD STACK_OVERFLOW"},
        {SIGBUS, BUS_ADRERR, false, "C0000006 IN_PAGE_ERROR"},
        {SIGBUS, BUS_ADRALN, false, "80000002 DATATYPE_MISALIGNMENT"},
        {SIGILL, ILL_ILLOPC, false, "C000001D ILLEGAL_INSTRUCTION"},
        {SIGILL, ILL_PRVOPC, false, "C0000096 PRIV_INSTRUCTION"},
        {SIGFPE, FPE_INTDIV, false, "C0000094 INT_DIVIDE_BY_ZERO"},
        {SIGFPE, FPE_INTOVF, false, "C0000095 INT_OVERFLOW"},
        {SIGFPE, FPE_FLTDIV, false, "C000008E FLT_DIVIDE_BY_ZERO"},
        {SIGFPE, FPE_FLTOVF, false, "C0000091 FLT_OVERFLOW"},
        {SIGFPE, FPE_FLTUND, false, "C0000093 FLT_UNDERFLOW"},
        {SIGFPE, FPE_FLTRES, false, "C000008F FLT_INEXACT_RESULT"},
        {SIGFPE, FPE_FLTINV, false, "C0000090 FLT_INVALID_OPERATION"},
        {SIGFPE, FPE_FLTSUB, false, "C000008C ARRAY_BOUNDS_EXCEEDED"},
        {SIGTRAP, TRAP_BRKPT, false, "80000003 BREAKPOINT"},
        {SIGTRAP, TRAP_TRACE, false, "80000004 SINGLE_STEP"},
        {SIGABRT, SI_TKILL, false, "E0000006 abort signal (SIGABRT), SI_TKILL: sent by tkill or tgkill"},
        // Outside the table: a SIGFPE sent by kill, and a signal with a code nobody defined.
        {SIGFPE, SI_USER, false, "E0000008 floating-point exception (SIGFPE), SI_USER: sent by kill or raise"},
        {SIGSYS, 77, false, "E000001F bad system call (SIGSYS), si_code 77"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Line(Describe(c.signal, c.code, c.overflow), "Exception code: "),
                  std::string("Exception code: ") + c.line)
            << "signal " << c.signal << " code " << c.code;
    // A position-dependent si_code is only read with its own signal: 1 is SEGV_MAPERR for SIGSEGV only.
    EXPECT_EQ(Line(Describe(SIGUSR1, SEGV_MAPERR), "Exception code: "),
              "Exception code: E000000A user signal 1 (SIGUSR1), si_code 1");
}

TEST(ReportHeaderTest, HeaderShowsTheUtcTimeOfTheCalendarAndNoModuleForAnUnmappedAddress) {
    gFixedTime = 1215075900;  // 2008-07-03 09:05:00 UTC
    const std::string text = Describe(SIGSEGV, SEGV_MAPERR);
    EXPECT_EQ(text.substr(0, text.find("Exception")),
              "Problem encountered with zelvor, version 1.0\r\nwhen running it at 09:05 (UTC) on 3/7/2008\r\n\r\n");
    EXPECT_EQ(Line(text, "Fault address:"),
              "Fault address:  0000000000000000 00:0000000000000000 <unknown module>");

    // Across four centuries (leap days, 1900 and 2100 not leap, 2000 leap, times before 1970) against gmtime_r.
    for (std::int64_t t = -2208988800; t < 7258118400; t += 86400 * 29 + 3671 * 7) {
        gFixedTime = t;
        const std::time_t asTime = static_cast<std::time_t>(t);
        std::tm tm{};
        ASSERT_NE(gmtime_r(&asTime, &tm), nullptr);
        char expected[128];
        std::snprintf(expected, sizeof expected, "when running it at %2.2d:%2.2d (UTC) on %d/%d/%d", tm.tm_hour,
                      tm.tm_min, tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
        ASSERT_EQ(Line(Describe(SIGSEGV, SEGV_MAPERR), "when running"), expected) << t;
    }
}

// --- Real faults in a child ---

ReportHeaderWriter gChildWriter;
int gReportFd = -1;
int* volatile gNullTarget = nullptr;
volatile int gZero = 0;

void OnFault(int, siginfo_t* info, void* context) {
    _exit(gChildWriter.Write(gReportFd, *info, *static_cast<ucontext_t*>(context), false) ? 0 : 3);
}

[[noreturn]] void RunFaultingChild(int fd, int signal) {
    alarm(30);  // a hang in the handler ends the child instead of the test run
    gReportFd = fd;
    if (!gChildWriter.Prepare("report_test", "2.5.1")) _exit(20);
    constexpr std::size_t kAltStack = 64 * 1024;
    void* altStack = mmap(nullptr, kAltStack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (altStack == MAP_FAILED) _exit(21);
    stack_t ss{};
    ss.ss_sp = altStack;
    ss.ss_size = kAltStack;
    if (sigaltstack(&ss, nullptr) != 0) _exit(22);
    struct sigaction sa {};
    sa.sa_sigaction = OnFault;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    if (sigaction(signal, &sa, nullptr) != 0) _exit(23);
    if (signal == SIGSEGV) GreltReportTestNullWrite(gNullTarget);
    else std::printf("%d", GreltReportTestDivide(7, gZero));
    _exit(24);  // no fault
}

std::string RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return output;
    std::array<char, 4096> chunk{};
    for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0;) output.append(chunk.data(), n);
    pclose(pipe);
    return output;
}

std::string ExecutablePath() {
    char path[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

struct Symbol {
    std::uint64_t address = 0;
    std::uint64_t size = 0;
};

// A symbol's link-time address and size as nm lists it.
Symbol NmSymbol(const std::string& file, const std::string& name) {
    std::istringstream symbols(RunCommand("nm -S '" + file + "'"));
    for (std::string line; std::getline(symbols, line);) {
        std::istringstream fields(line);
        std::string address, size, type, symbol;
        if ((fields >> address >> size >> type >> symbol) && symbol == name)
            return {std::stoull(address, nullptr, 16), std::stoull(size, nullptr, 16)};
    }
    return {};
}

bool HaveBinutils() { return !RunCommand("command -v readelf && command -v nm").empty(); }

struct SectionFound {
    int number = -1;
    std::string name;
    std::uint64_t address = 0;
};

// The allocated section of readelf's table that holds a link-time address.
SectionFound ReadelfSectionOf(const std::string& executable, std::uint64_t address) {
    std::istringstream table(RunCommand("readelf -SW '" + executable + "'"));
    for (std::string line; std::getline(table, line);) {
        const auto open = line.find('['), close = line.find(']');
        if (open == std::string::npos || close == std::string::npos || close < open) continue;
        const int number = std::atoi(line.substr(open + 1, close - open - 1).c_str());
        std::istringstream fields(line.substr(close + 1));
        std::string name, type, addr, off, size, entrySize, flags;
        if (number <= 0 || !(fields >> name >> type >> addr >> off >> size >> entrySize >> flags)) continue;
        const std::uint64_t start = std::stoull(addr, nullptr, 16), length = std::stoull(size, nullptr, 16);
        if (flags.find('A') != std::string::npos && address >= start && address - start < length)
            return {number, name, start};
    }
    return {};
}

class ReportHeaderChildTest : public ::testing::Test {
protected:
    // Runs a child that faults with signal and returns the report it wrote to a file.
    std::string FaultReport(int signal) {
        FILE* file = std::tmpfile();
        EXPECT_NE(file, nullptr);
        if (!file) return {};
        const int fd = fileno(file);
        const pid_t child = fork();
        if (child == 0) RunFaultingChild(fd, signal);
        int status = 0;
        EXPECT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
        std::string text(16384, '\0');
        const ssize_t n = pread(fd, text.data(), text.size(), 0);
        std::fclose(file);
        text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return text;
    }

    // The fault address line names the executable and the section and offset that readelf and nm give for
    // the faulting function; the RIP register line shows the same address.
    void ExpectFaultIn(const std::string& text, const char* function, std::uintptr_t runtimeAddress) {
        const std::string fault = Line(text, "Fault address:  ");
        unsigned long long rip = 0, offset = 0;
        unsigned section = 0;
        char path[4200] = {};
        ASSERT_EQ(std::sscanf(fault.c_str(), "Fault address:  %16llX %X:%16llX %4199[^\r]", &rip, &section, &offset,
                              path),
                  4)
            << fault;
        char ripText[32];
        std::snprintf(ripText, sizeof ripText, "%016llX", rip);
        EXPECT_EQ(fault.substr(16, 16), ripText);  // 16 digits
        EXPECT_EQ(Line(text, "CS:RIP:"), std::string("CS:RIP:0033:") + ripText);
        const std::string executable = ExecutablePath();
        EXPECT_EQ(path, executable);

        if (!HaveBinutils()) GTEST_SKIP() << "binutils missing";
        const auto [linkAddress, size] = NmSymbol(executable, function);
        ASSERT_NE(linkAddress, 0u) << function << " not found by nm";
        const std::uint64_t intoFunction = rip - runtimeAddress;
        ASSERT_LT(intoFunction, size) << "the fault is not in " << function;
        const SectionFound found = ReadelfSectionOf(executable, linkAddress);
        ASSERT_GT(found.number, 0);
        EXPECT_EQ(found.name, ".text");
        EXPECT_EQ(static_cast<int>(section), found.number);
        EXPECT_EQ(offset, linkAddress - found.address + intoFunction);
    }
};

TEST_F(ReportHeaderChildTest, NullWriteGivesAccessViolationAtTheFaultingInstructionInText) {
    const std::string text = FaultReport(SIGSEGV);
    EXPECT_EQ(text.rfind("Problem encountered with report_test, version 2.5.1\r\nwhen running it at ", 0), 0u);
    EXPECT_EQ(Line(text, "Exception code: "), "Exception code: C0000005 ACCESS_VIOLATION");
    // The register block in its order, every line CR LF ended.
    const char* labels[] = {"RAX:", "RBX:", "RCX:", "RDX:", "RSI:", "RDI:", "R8:", "R9:", "R10:", "R11:", "R12:",
                            "R13:", "R14:", "R15:", "CS:RIP:", "SS:RSP:", "DS:", "Flags:"};
    std::size_t at = text.find("\r\n\r\nRegisters:\r\n");
    ASSERT_NE(at, std::string::npos);
    for (const char* label : labels) {
        const auto next = text.find(std::string("\r\n") + label, at);
        ASSERT_NE(next, std::string::npos) << label;
        at = next + 1;
    }
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(Line(text, "SS:RSP:").size(), std::string("SS:RSP:002B:0000000000000000  RBP:0000000000000000").size());
    ExpectFaultIn(text, "GreltReportTestNullWrite", reinterpret_cast<std::uintptr_t>(&GreltReportTestNullWrite));
}

TEST_F(ReportHeaderChildTest, IntegerDivisionByZeroGivesIntDivideByZero) {
    const std::string text = FaultReport(SIGFPE);
    EXPECT_EQ(Line(text, "Exception code: "), "Exception code: C0000094 INT_DIVIDE_BY_ZERO");
    ExpectFaultIn(text, "GreltReportTestDivide", reinterpret_cast<std::uintptr_t>(&GreltReportTestDivide));
}

TEST(ModuleSectionsTest, DataAddressIsFoundInItsSectionInsideTheSplitWritableSegment) {
    if (!HaveBinutils()) GTEST_SKIP() << "binutils missing";
    std::vector<char> scratch(zelvor::grelt::LocatorBuffers::kMinimumScratch), path(4200);
    const zelvor::grelt::LogicalAddress where = zelvor::grelt::LocateAddress(
        reinterpret_cast<std::uintptr_t>(&GreltReportTestData), {scratch.data(), scratch.size(), path.data(), path.size()});
    const std::string executable = ExecutablePath();
    ASSERT_NE(where.modulePath, nullptr);
    EXPECT_EQ(where.modulePath, executable);
    const Symbol data = NmSymbol(executable, "GreltReportTestData");
    ASSERT_NE(data.address, 0u);
    const SectionFound found = ReadelfSectionOf(executable, data.address);
    EXPECT_EQ(found.name, ".data");
    EXPECT_EQ(static_cast<int>(where.section), found.number);
    EXPECT_EQ(where.offset, data.address - found.address);
}

}  // namespace
