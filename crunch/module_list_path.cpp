#include "crunch/module_list_path.h"

#include <cstdlib>
#include <filesystem>

#include "app/grelt_binding.h"

namespace zelvor {

namespace {

std::string UserDataHome() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    // The XDG rules ignore a relative path.
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return std::string(home) + "/.local/share";
    return {};
}

bool RegularFileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

ModuleListPlaces DefaultModuleListPlaces(std::string explicitPath) {
    return {std::move(explicitPath), ExecutableFolder(), UserDataHome(), RegularFileExists};
}

std::string ModuleListPath(const ModuleListPlaces& places) {
    if (!places.explicitPath.empty()) return places.explicitPath;
    std::string candidates[2];
    if (!places.executableFolder.empty()) candidates[0] = places.executableFolder + "/modules/Modules.xml";
    if (!places.dataHome.empty()) candidates[1] = places.dataHome + "/Cobrant/Zelvor/Modules.xml";
    for (const std::string& candidate : candidates)
        if (!candidate.empty() && places.fileExists && places.fileExists(candidate)) return candidate;
    return {};
}

}  // namespace zelvor
