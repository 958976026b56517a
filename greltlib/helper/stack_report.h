#pragma once
/// The symbolic part of the crash report, read from the core file the crashed process wrote: the call stack
/// of the faulting thread with source lines, and the parameters and locals of frames in tagged modules.
#include <string>
#include <sys/types.h>
#include <vector>

namespace zelvor::grelt {

struct StackReportRequest {
    std::string corePath;        // ELF core file, faulting thread first
    std::string executablePath;  // the crashed program; empty: found from the core
    pid_t faultingThread = 0;    // its thread id; 0: the first thread of the core
    std::vector<std::string> taggedModules;  // module paths registered as coming from outside
};

struct StackReport {
    /// False when the core could not be read for symbols: the report ends after the registers and the dump
    /// is not compressed.
    bool symbolsAvailable = false;
    /// From "========================\r\n" to the final "\r\n", every line ending in CR LF.
    std::string text;
    /// Frames that lie in a tagged module: any of them makes the crash a third party's.
    int taggedFrames = 0;
};

StackReport WriteStackReport(const StackReportRequest& request);

}  // namespace zelvor::grelt
