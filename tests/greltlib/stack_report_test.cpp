// The symbolic part of the crash report, read from a real core: a forked child loads the faulty module with
// dlopen and writes through a null pointer inside it; its SIGSEGV handler saves the core with the crash
// handler's core writer. The report is then checked against the module's source, and the faulting frame's
// section and offset against readelf and nm of the module.
#include "greltlib/core_dump_writer.h"
#include "greltlib/helper/stack_report.h"

#include <gtest/gtest.h>

#include <asm/prctl.h>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using zelvor::grelt::CoreDumpWriter;
using zelvor::grelt::CrashedThread;
using zelvor::grelt::StackReport;
using zelvor::grelt::StackReportRequest;
using zelvor::grelt::WriteStackReport;
using FaultyEntry = int (*)(int, double, const char*);

constexpr double kScale = 2.75;
constexpr const char* kLabel = "label from the test";

CoreDumpWriter gWriter;
int gCoreFd = -1;
CrashedThread gThread;

void OnFault(int, siginfo_t* info, void* context) {
    zelvor::grelt::SaveCrashedThread(gThread, static_cast<pid_t>(syscall(SYS_gettid)), context);
    _exit(gWriter.Write(gCoreFd, &gThread, 1, *info) ? 0 : 30);
}

}  // namespace

// Called by name from the report: the executable's frame below the module's.
extern "C" __attribute__((noinline)) int GreltStackTestCaller(FaultyEntry entry, int mode) {
    const int result = entry(mode, kScale, kLabel);  // GRELT_CALL_LINE
    return result + 1;
}

namespace {

[[noreturn]] void RunFaultingChild(const std::string& corePath, int mode) {
    alarm(30);
    void* module = dlopen(GRELT_FAULTY_MODULE, RTLD_NOW);
    if (!module) _exit(20);
    auto entry = reinterpret_cast<FaultyEntry>(dlsym(module, "FaultyModuleEntry"));
    if (!entry || !gWriter.Prepare(std::size_t{256} << 20)) _exit(21);
    gCoreFd = open(corePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    stack_t altStack{};
    altStack.ss_size = 256 * 1024;
    altStack.ss_sp = mmap(nullptr, altStack.ss_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (gCoreFd < 0 || altStack.ss_sp == MAP_FAILED || sigaltstack(&altStack, nullptr) != 0) _exit(22);
    struct sigaction fault {};
    fault.sa_sigaction = OnFault;
    fault.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&fault.sa_mask);
    sigaction(SIGSEGV, &fault, nullptr);
    GreltStackTestCaller(entry, mode);
    _exit(23);
}

std::string RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return output;
    char chunk[4096];
    for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
    pclose(pipe);
    return output;
}

std::string Canonical(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : path;
}

// The line of a source file holding marker, numbered from 1.
unsigned MarkerLine(const char* source, const char* marker) {
    std::ifstream in(source);
    unsigned number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.find(marker) != std::string::npos) return number;
    }
    return 0;
}

// The report's lines without their CR LF; every line must end in CR LF.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        lines.push_back(text.substr(at, end - at));
        EXPECT_EQ(lines.back().find('\n'), std::string::npos) << lines.back();
    }
    EXPECT_EQ(at, text.size()) << "text after the last CR LF";
    return lines;
}

std::size_t IndexOf(const std::vector<std::string>& lines, const std::string& part, std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i)
        if (lines[i].find(part) != std::string::npos) return i;
    return lines.size();
}

std::string Printed(const char* format, auto value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// "ADDRESS  FRAME  function+DISPLACEMENT, SECTION:OFFSET module version  source line N"
struct FrameLine {
    std::uint64_t address = 0, framePointer = 0, displacement = 0, offset = 0;
    std::string function, module, source;
    unsigned section = 0, line = 0;
};

bool IsFrameLine(const std::string& line) {
    auto hex = [&](std::size_t at) {
        for (std::size_t i = at; i < at + 16; ++i)
            if (!std::isxdigit(static_cast<unsigned char>(line[i])) || std::islower(static_cast<unsigned char>(line[i]))) return false;
        return true;
    };
    return line.size() > 36 && hex(0) && line.compare(16, 2, "  ") == 0 && hex(18) && line.compare(34, 2, "  ") == 0;
}

FrameLine ParseFrame(const std::string& line) {
    FrameLine frame;
    if (!IsFrameLine(line)) return frame;
    frame.address = std::stoull(line.substr(0, 16), nullptr, 16);
    frame.framePointer = std::stoull(line.substr(18, 16), nullptr, 16);
    const std::size_t comma = line.find(", ", 36), plus = line.rfind('+', comma);
    if (comma == std::string::npos || plus == std::string::npos || plus < 36) return frame;
    frame.function = line.substr(36, plus - 36);
    frame.displacement = std::stoull(line.substr(plus + 1, comma - plus - 1), nullptr, 16);
    const std::string place = line.substr(comma + 2);  // "SSSS:OOOOOOOOOOOOOOOO module   source line N"
    if (place.size() < 23 || place[4] != ':' || place[21] != ' ') return frame;
    frame.section = static_cast<unsigned>(std::stoul(place.substr(0, 4), nullptr, 16));
    frame.offset = std::stoull(place.substr(5, 16), nullptr, 16);
    const std::size_t moduleEnd = place.find(' ', 22);
    frame.module = place.substr(22, moduleEnd - 22);
    const std::size_t lineWord = place.rfind(" line ");
    if (moduleEnd == std::string::npos || place.compare(moduleEnd, 3, "   ") != 0 || lineWord == std::string::npos) return frame;
    frame.source = place.substr(moduleEnd + 3, lineWord - moduleEnd - 3);
    frame.line = static_cast<unsigned>(std::stoul(place.substr(lineWord + 6)));
    return frame;
}

struct SectionRow {
    std::string name, flags;
    std::uint64_t address = 0;
};

// Section number's row of `readelf -SW`.
SectionRow ReadelfSection(const std::string& table, unsigned number) {
    std::istringstream rows(table);
    for (std::string line; std::getline(rows, line);) {
        const auto open = line.find('['), close = line.find(']');
        if (open == std::string::npos || close == std::string::npos || close < open) continue;
        if (std::atoi(line.substr(open + 1, close - open - 1).c_str()) != static_cast<int>(number)) continue;
        std::istringstream fields(line.substr(close + 1));
        SectionRow row;
        std::string type, address, offset, size, entrySize;
        if (fields >> row.name >> type >> address >> offset >> size >> entrySize >> row.flags) {
            row.address = std::stoull(address, nullptr, 16);
            return row;
        }
    }
    return {};
}

class StackReportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char dir[] = "/tmp/grelt-stack-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        core_ = dir_ + "/crash.core";
        // The tag names the module through a symbolic link: tags match by canonical path.
        link_ = dir_ + "/tagged-module.so";
        ASSERT_EQ(symlink(GRELT_FAULTY_MODULE, link_.c_str()), 0);
        childStatus_ = RunChild(core_, 1);
        deepStatus_ = RunChild(deepCore_ = dir_ + "/deep.core", 2);
    }
    static int RunChild(const std::string& core, int mode) {
        fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) RunFaultingChild(core, mode);
        int status = -1;
        if (child < 0 || waitpid(child, &status, 0) != child) status = -1;
        return status;
    }
    static void TearDownTestSuite() { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    void SetUp() override {
        ASSERT_TRUE(WIFEXITED(childStatus_)) << "child status " << childStatus_;
        ASSERT_EQ(WEXITSTATUS(childStatus_), 0);
        ASSERT_TRUE(WIFEXITED(deepStatus_) && WEXITSTATUS(deepStatus_) == 0) << "child status " << deepStatus_;
    }

    static inline std::string dir_, core_, deepCore_, link_;
    static inline int childStatus_ = 0, deepStatus_ = 0;
};

TEST_F(StackReportTest, TaggedFrameShowsItsParametersThenLocalsAndCallersFollowWithout) {
    StackReportRequest request;
    request.corePath = core_;
    request.executablePath = Canonical("/proc/self/exe");
    request.taggedModules = {link_};
    const StackReport report = WriteStackReport(request);
    ASSERT_TRUE(report.symbolsAvailable);
    SCOPED_TRACE(report.text);
    EXPECT_EQ(report.taggedFrames, 1);
    EXPECT_EQ(report.text.rfind("========================\r\nLocal Variables And Parameters\r\n\r\nCall stack:\r\n"
                                "Address           Frame             Function            SourceFile\r\n", 0), 0u);
    EXPECT_EQ(report.text.substr(report.text.size() - 4), "\r\n\r\n");
    const std::vector<std::string> lines = Lines(report.text);

    const std::size_t origin = IndexOf(lines, "Possible origin of this exception!");
    ASSERT_LT(origin + 1, lines.size());
    EXPECT_EQ(lines[origin], "Possible origin of this exception!");
    const FrameLine frame = ParseFrame(lines[origin + 1]);
    ASSERT_EQ(frame.function, "FaultyModuleEntry") << lines[origin + 1];
    EXPECT_EQ(frame.module, Canonical(GRELT_FAULTY_MODULE));
    EXPECT_EQ(Canonical(frame.source), Canonical(GRELT_FAULTY_MODULE_SOURCE));
    EXPECT_EQ(frame.line, MarkerLine(GRELT_FAULTY_MODULE_SOURCE, "GRELT_FAULT_LINE"));
    EXPECT_NE(frame.framePointer, 0u);  // the module keeps its frame pointer

    const std::vector<std::string> expectedLocals = {
        "\tParameter 'mode' int = 1",
        "\tParameter 'scale' double = " + Printed("%lf", kScale),
        "\tParameter 'label' const char * = \"" + std::string(kLabel) + "\"",
        "\tLocal 'counter' int = 7",
        "\tLocal 'ratio' double = " + Printed("%lf", kScale * 2.0),
        "\tLocal 'fraction' float = " + Printed("%f", 0.25),
        "\tLocal 'text' const char * = \"faulty module text\"",
        "\tLocal 'sample' Sample",
        "\t\tint count = 3",
        "\t\tdouble weight = " + Printed("%lf", 1.5),
        "\tLocal 'letter' char = " + Printed("%X", 'Z'),
        "\tLocal 'target' volatile int * = 0",
    };
    std::vector<std::string> locals;
    for (std::size_t i = origin + 2; i < lines.size() && !lines[i].empty() && lines[i][0] == '\t'; ++i)
        locals.push_back(lines[i]);
    EXPECT_EQ(locals, expectedLocals);

    // The caller in the test executable, with its source line, and no locals: it is not tagged.
    const std::size_t caller = origin + 2 + locals.size();
    ASSERT_LT(caller + 1, lines.size());
    EXPECT_NE(lines[caller].find("  GreltStackTestCaller+"), std::string::npos) << lines[caller];
    EXPECT_NE(lines[caller].find(" " + Canonical("/proc/self/exe") + " "), std::string::npos) << lines[caller];
    EXPECT_NE(lines[caller].find(" line " + std::to_string(MarkerLine(__FILE__, "GRELT_CALL_LINE"))), std::string::npos)
        << lines[caller];
    int indented = 0;
    for (const std::string& line : lines) indented += !line.empty() && line[0] == '\t';
    EXPECT_EQ(indented, static_cast<int>(expectedLocals.size()));
    // Unwinding goes on through the test program down to the C library's start of main.
    EXPECT_LT(IndexOf(lines, "__libc_start_call_main+", caller), lines.size());

    // readelf's section table and nm's symbol address give the same place: section start plus offset is
    // the function's link-time address plus the displacement.
    const std::string module = Canonical(GRELT_FAULTY_MODULE);
    const std::string sections = RunCommand("readelf -SW '" + module + "'");
    const std::string symbols = RunCommand("nm '" + module + "'");
    if (sections.empty() || symbols.empty()) GTEST_SKIP() << "binutils are not installed";
    const SectionRow row = ReadelfSection(sections, frame.section);
    EXPECT_EQ(row.name, ".text");
    EXPECT_NE(row.flags.find('A'), std::string::npos);
    std::uint64_t function = 0;
    std::istringstream table(symbols);
    for (std::string address, kind, name; table >> address >> kind >> name;)
        if (name == "FaultyModuleEntry") function = std::stoull(address, nullptr, 16);
    ASSERT_NE(function, 0u) << symbols;
    EXPECT_EQ(row.address + frame.offset - function, frame.displacement);
}

// A runaway recursion: the stack stops after a few hundred frames and says so once.
TEST_F(StackReportTest, DeepRecursionIsCutShort) {
    StackReportRequest request;
    request.corePath = deepCore_;
    request.taggedModules = {GRELT_FAULTY_MODULE};
    const StackReport report = WriteStackReport(request);
    ASSERT_TRUE(report.symbolsAvailable);
    const std::vector<std::string> lines = Lines(report.text);
    int frames = 0, recursing = 0, ellipses = 0;
    for (const std::string& line : lines) {
        frames += IsFrameLine(line);
        recursing += line.find("RecurseThenFault(int)+") != std::string::npos;
        ellipses += line == "...";
    }
    EXPECT_EQ(ellipses, 1);
    EXPECT_EQ(frames, recursing);  // the cap comes before the outermost recursion
    EXPECT_GE(frames, 100);
    EXPECT_LE(frames, 1000);
    EXPECT_EQ(report.taggedFrames, frames);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "...");
    // Every frame shows its own depth: the innermost 0, then counting up.
    EXPECT_EQ(IndexOf(lines, "\tParameter 'depth' int = 0"), IndexOf(lines, "\tParameter 'depth'"));
    EXPECT_LT(IndexOf(lines, "\tParameter 'depth' int = 0"), IndexOf(lines, "\tParameter 'depth' int = 1"));
    EXPECT_LT(IndexOf(lines, "\tParameter 'depth' int = F"), lines.size());
}

TEST_F(StackReportTest, UntaggedCoresShowNoLocalsAndUnreadableCoresNoSymbols) {
    StackReportRequest request;
    request.corePath = core_;
    request.faultingThread = 999999;  // not in the core: its first thread, the faulting one, is unwound
    const StackReport untagged = WriteStackReport(request);
    ASSERT_TRUE(untagged.symbolsAvailable);
    EXPECT_EQ(untagged.taggedFrames, 0);
    EXPECT_NE(untagged.text.find("  FaultyModuleEntry+"), std::string::npos) << untagged.text;
    EXPECT_EQ(untagged.text.find("Possible origin"), std::string::npos);
    EXPECT_EQ(untagged.text.find('\t'), std::string::npos);

    // Garbage, a core cut short inside its memory, and no file at all: no crash, and no symbols from garbage.
    std::string bytes(64 * 1024, '\0');
    std::uint32_t state = 12345;
    for (char& c : bytes) c = static_cast<char>((state = state * 1664525u + 1013904223u) >> 24);
    const std::string garbage = dir_ + "/garbage.core";
    std::ofstream(garbage, std::ios::binary) << bytes;
    request.corePath = garbage;
    request.taggedModules = {link_};
    StackReport report = WriteStackReport(request);
    EXPECT_FALSE(report.symbolsAvailable);
    EXPECT_TRUE(report.text.empty());

    std::ifstream whole(core_, std::ios::binary);
    std::string core((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    const std::string cut = dir_ + "/cut.core";
    std::ofstream(cut, std::ios::binary) << core.substr(0, core.size() / 3);
    request.corePath = cut;
    report = WriteStackReport(request);
    if (report.symbolsAvailable) {
        EXPECT_EQ(report.text.substr(report.text.size() - 4), "\r\n\r\n");
    }

    request.corePath = dir_ + "/missing.core";
    EXPECT_FALSE(WriteStackReport(request).symbolsAvailable);
}

}  // namespace
