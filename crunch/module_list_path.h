#pragma once
/// Where the module list is read from.
#include <functional>
#include <string>

namespace zelvor {

/// What choosing the module list depends on; DefaultModuleListPlaces fills it from the running program.
struct ModuleListPlaces {
    /// A path the user gave (a command-line option); used as it is, found or not.
    std::string explicitPath;
    /// Folder of the running executable: the shipped list is modules/Modules.xml there.
    std::string executableFolder;
    /// The user's data folder ($XDG_DATA_HOME, else ~/.local/share): a list of the user's own is
    /// Cobrant/Zelvor/Modules.xml there.
    std::string dataHome;
    /// Whether a file exists (replaceable for tests).
    std::function<bool(const std::string&)> fileExists;
};

/// The places of the running program: its executable's folder, the XDG data folder, real file checks.
ModuleListPlaces DefaultModuleListPlaces(std::string explicitPath = {});

/// The module list to read: the explicit path when given, else the first existing of the shipped list and
/// the user's list; empty when there is none (then no module is offered, and nothing is reported).
std::string ModuleListPath(const ModuleListPlaces& places);

}  // namespace zelvor
