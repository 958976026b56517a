#pragma once
/// Where the crash report and dump of a program go, worked out once at start-up.
#include <functional>
#include <string>

namespace zelvor::grelt {

struct ReportPaths {
    std::string programName;  // the executable's file name without folder and extension
    std::string directory;
    std::string logPath;   // <directory>/<programName>_Error.log
    std::string dumpPath;  // <directory>/<programName>_minidump.dmp
};

/// Looks up an environment variable; null when it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;

/// The report directory is HOMEDRIVE followed by HOMEPATH when both are set (as on Windows), else HOME, else
/// TMPDIR, else the executable's own folder. Empty variables count as unset.
ReportPaths FindReportPaths(const std::string& executablePath, const EnvironmentLookup& environment);

}  // namespace zelvor::grelt
