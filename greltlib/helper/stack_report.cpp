#include "greltlib/helper/stack_report.h"

#include "greltlib/helper/core_memory.h"
#include "greltlib/helper/frame_locals.h"
#include "greltlib/helper/offline_files.h"
#include "greltlib/helper/section_locator.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <fcntl.h>
#include <gelf.h>
#include <set>
#include <unistd.h>

namespace zelvor::grelt {

namespace {

// A runaway recursion unwinds this far, then the report says "..." once.
constexpr std::size_t kMaxFrames = 256;
constexpr std::size_t kMaxSymbol = 1024;
constexpr unsigned kRbp = 6, kRsp = 7;

struct UnwoundFrame {
    Dwarf_Addr pc = 0;
    bool activation = false;  // pc is the faulting instruction, not a return address
    FrameRegisters registers;
};

struct Unwound {
    std::vector<UnwoundFrame> frames;
    bool truncated = false;
};

int CollectFrame(Dwfl_Frame* state, void* arg) {
    auto& unwound = *static_cast<Unwound*>(arg);
    if (unwound.frames.size() == kMaxFrames) {
        unwound.truncated = true;
        return DWARF_CB_ABORT;
    }
    UnwoundFrame frame;
    if (!dwfl_frame_pc(state, &frame.pc, &frame.activation) || frame.pc == 0) return DWARF_CB_ABORT;
    for (unsigned regno = 0; regno < FrameRegisters::kCount; ++regno) {
        Dwarf_Word value = 0;
        if (dwfl_frame_reg(state, regno, &value) == 0) {
            frame.registers.value[regno] = value;
            frame.registers.known |= 1u << regno;
        }
    }
    unwound.frames.push_back(frame);
    return DWARF_CB_OK;
}

std::string Canonical(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string Format(const char* format, auto... values) {
    char text[128];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string Demangled(const char* name) {
    std::string text = name;
    if (text.compare(0, 2, "_Z") == 0) {
        int status = 0;
        if (char* plain = abi::__cxa_demangle(name, nullptr, nullptr, &status)) {
            if (status == 0) text = plain;
            std::free(plain);
        }
    }
    if (text.size() > kMaxSymbol) text.resize(kMaxSymbol);
    return text;
}

// The core file opened for libdwfl; everything is released in reverse order.
struct CoreSession {
    int fd = -1;
    Elf* elf = nullptr;
    Dwfl* dwfl = nullptr;
    ~CoreSession() {
        if (dwfl) dwfl_end(dwfl);
        if (elf) elf_end(elf);
        if (fd >= 0) close(fd);
    }
};

bool OpenCore(CoreSession& session, const StackReportRequest& request, const Dwfl_Callbacks* callbacks) {
    elf_version(EV_CURRENT);
    session.fd = open(request.corePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (session.fd < 0) return false;
    // Read, not mapped: a core cut short must give errors, not SIGBUS.
    session.elf = elf_begin(session.fd, ELF_C_READ, nullptr);
    GElf_Ehdr header{};
    if (!session.elf || elf_kind(session.elf) != ELF_K_ELF || !gelf_getehdr(session.elf, &header) ||
        header.e_type != ET_CORE)
        return false;
    session.dwfl = dwfl_begin(callbacks);
    if (!session.dwfl) return false;
    const char* executable = request.executablePath.empty() ? nullptr : request.executablePath.c_str();
    if (dwfl_core_file_report(session.dwfl, session.elf, executable) < 0 || dwfl_report_end(session.dwfl, nullptr, nullptr) != 0)
        return false;
    return dwfl_core_file_attach(session.dwfl, session.elf) > 0;
}

struct FrameWriter {
    Dwfl* dwfl;
    const CoreMemory& memory;
    std::set<std::string> tags;  // canonical paths
    std::string& out;
    int taggedFrames = 0;

    void Write(const UnwoundFrame& frame, const UnwoundFrame* caller);
};

void FrameWriter::Write(const UnwoundFrame& frame, const UnwoundFrame* caller) {
    // A return address may be the first byte after the call's function (a call that never returns): the
    // call itself is one byte before it.
    const Dwarf_Addr lookupPc = frame.activation ? frame.pc : frame.pc - 1;
    Dwfl_Module* module = dwfl_addrmodule(dwfl, lookupPc);
    std::string path;
    if (module) {
        // The module's name is the file's base name; the path is that of the file its ELF was read from.
        Dwarf_Addr bias = 0;
        dwfl_module_getelf(module, &bias);
        const char* file = nullptr;
        const char* name = dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr, &file, nullptr);
        if (file && file[0] == '/') path = Canonical(file);
        else if (name) path = name;
    }
    const bool tagged = module && tags.count(path) > 0;
    if (tagged) {
        out += "Possible origin of this exception!\r\n";
        ++taggedFrames;
    }

    FrameState state;
    state.module = module;
    state.lookupPc = lookupPc;
    state.registers = frame.registers;
    if (caller)
        if (auto sp = caller->registers.Get(kRsp)) state.cfa = *sp;  // the CFA is the caller's SP after the return
    std::uint64_t framePointer = 0;
    if (auto rbp = frame.registers.Get(kRbp)) framePointer = *rbp;
    else if (module) framePointer = FrameCfa(state).value_or(0);
    else if (state.cfa) framePointer = *state.cfa;
    out += Format("%016llX  %016llX  ", static_cast<unsigned long long>(frame.pc), static_cast<unsigned long long>(framePointer));

    GElf_Off displacement = 0;
    GElf_Sym symbol{};
    const char* name = module ? dwfl_module_addrinfo(module, lookupPc, &displacement, &symbol, nullptr, nullptr, nullptr) : nullptr;
    if (name && *name) out += Demangled(name) + Format("+%llX", static_cast<unsigned long long>(displacement + (frame.pc - lookupPc)));
    else out += "<no symbol file>";

    if (module) {
        Dwarf_Addr bias = 0;
        Elf* elf = dwfl_module_getelf(module, &bias);
        SectionOffset where = elf ? LocateSection(elf, lookupPc - bias) : SectionOffset{};
        if (where.section != 0) where.offset += frame.pc - lookupPc;
        out += Format(", %04X:%016llX ", where.section, static_cast<unsigned long long>(where.offset));
        out += path;
        out += " ";  // ELF modules carry no version
        if (Dwfl_Line* line = dwfl_module_getsrc(module, lookupPc)) {
            int lineNumber = 0;
            const char* file = dwfl_lineinfo(line, nullptr, &lineNumber, nullptr, nullptr, nullptr);
            if (file && lineNumber > 0) out += Format("  %s line %u", file, static_cast<unsigned>(lineNumber));
        }
    }
    out += "\r\n";
    if (tagged) WriteFrameLocals(state, memory, out);
}

struct ThreadSearch {
    pid_t tid;
    Unwound& unwound;
};

int VisitThread(Dwfl_Thread* thread, void* arg) {
    auto& search = *static_cast<ThreadSearch*>(arg);
    if (dwfl_thread_tid(thread) == search.tid)
        dwfl_thread_getframes(thread, CollectFrame, &search.unwound);  // an error ends the stack where it came
    return DWARF_CB_OK;
}

// Visits every thread instead of calling dwfl_getthread_frames: elfutils frees its per-walk thread state
// only when the walk over the threads runs to the end.
Unwound UnwindThread(Dwfl* dwfl, pid_t tid) {
    Unwound unwound;
    ThreadSearch search{tid, unwound};
    if (tid > 0) dwfl_getthreads(dwfl, VisitThread, &search);
    return unwound;
}

}  // namespace

StackReport WriteStackReport(const StackReportRequest& request) {
    StackReport report;
    CoreMemory memory;
    if (!memory.Open(request.corePath)) return report;
    const OfflineFiles files(request.executablePath);
    CoreSession session;
    if (!OpenCore(session, request, files.Callbacks())) return report;
    memory.AttachModules(session.dwfl);

    Unwound unwound = UnwindThread(session.dwfl, request.faultingThread ? request.faultingThread : memory.FirstThread());
    if (unwound.frames.empty() && request.faultingThread && request.faultingThread != memory.FirstThread())
        unwound = UnwindThread(session.dwfl, memory.FirstThread());  // a thread id the core does not hold
    if (unwound.frames.empty()) return report;

    std::string text = "========================\r\nLocal Variables And Parameters\r\n";
    text += "\r\nCall stack:\r\n";
    text += "Address           Frame             Function            SourceFile\r\n";
    FrameWriter writer{session.dwfl, memory, {}, text};
    for (const std::string& tag : request.taggedModules) writer.tags.insert(Canonical(tag));
    for (std::size_t i = 0; i < unwound.frames.size(); ++i)
        writer.Write(unwound.frames[i], i + 1 < unwound.frames.size() ? &unwound.frames[i + 1] : nullptr);
    if (unwound.truncated) text += "...\r\n";
    text += "\r\n";

    report.symbolsAvailable = true;
    report.text = std::move(text);
    report.taggedFrames = writer.taggedFrames;
    return report;
}

}  // namespace zelvor::grelt
