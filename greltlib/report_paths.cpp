#include "greltlib/report_paths.h"

namespace zelvor::grelt {

namespace {

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The extension is cut from the file name only: a dot in a folder name ("/opt/zelvor-1.2/zelvor") is no
// extension.
std::string ProgramName(const std::string& executablePath) {
    const std::size_t slash = executablePath.rfind('/');
    std::string name = slash == std::string::npos ? executablePath : executablePath.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

std::string Join(const std::string& folder, const std::string& file) {
    if (!folder.empty() && folder.back() == '/') return folder + file;
    return folder + "/" + file;
}

}  // namespace

ReportPaths FindReportPaths(const std::string& executablePath, const EnvironmentLookup& environment) {
    const auto value = [&](const char* name) -> std::string {
        const char* text = environment(name);
        return text ? std::string(text) : std::string();
    };
    ReportPaths paths;
    paths.programName = ProgramName(executablePath);
    const std::string drive = value("HOMEDRIVE"), homePath = value("HOMEPATH");
    if (!drive.empty() && !homePath.empty())
        paths.directory = drive + homePath;
    else if (!value("HOME").empty())
        paths.directory = value("HOME");
    else if (!value("TMPDIR").empty())
        paths.directory = value("TMPDIR");
    else
        paths.directory = Folder(executablePath);
    paths.logPath = Join(paths.directory, paths.programName + "_Error.log");
    paths.dumpPath = Join(paths.directory, paths.programName + "_minidump.dmp");
    return paths;
}

}  // namespace zelvor::grelt
