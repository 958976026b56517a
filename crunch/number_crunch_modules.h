#pragma once
/// CNumberCrunchModules: the module registry. Reads the module list, loads and binds each listed library,
/// keeps the calculations that can be chosen, and the user's module settings.
#include <map>
#include <memory>
#include <string>

#include "crunch/calc_data.h"
#include "crunch/number_crunch_settings.h"
#include "platform/dynamic_library.h"

namespace zelvor {

/// The registry of calculation modules; one per application, libraries stay loaded until it goes.
/// Every failure is reported on the message stream; what still works stays usable.
class CNumberCrunchModules {
public:
    /// The command number of a library's first bound graph.
    static constexpr std::int32_t FIRST_GRAPH_COMMAND = 46498;

    CNumberCrunchModules();
    /// Releases every library; the settings save themselves.
    ~CNumberCrunchModules();
    CNumberCrunchModules(const CNumberCrunchModules&) = delete;
    CNumberCrunchModules& operator=(const CNumberCrunchModules&) = delete;

    /// Reads the module list at listPath, loads and binds its libraries (a calculation whose library cannot be
    /// used leaves the menu), then loads the settings. verbose reports libraries that cannot be loaded.
    /// False when the list could not be read (reported). Settings that cannot be loaded delete the program's
    /// settings key and the exception continues.
    bool LoadAndVerifyModules(const std::string& listPath, bool verbose);
    /// True when a library of that exact file name has been loaded (also when its binding failed).
    bool IsNumberCrunchModulePresent(const std::string& fileName) const;
    /// Nothing to do: the redirection closes its own handles.
    void CloseAnyRedirHandles() {}

    std::string moduleListPath;
    bool verbose = false;
    /// Library file name -> the loaded library.
    std::map<std::string, std::unique_ptr<DynamicLibrary>> libraries;
    /// Menu name -> library file name: the calculations the user can choose.
    std::map<std::string, std::string> menuToFile;
    /// Library file name -> menu name.
    std::map<std::string, std::string> fileToMenu;
    /// Library file name -> everything known about its calculation.
    std::map<std::string, CalcData> calculations;
    /// Loaded at the end of LoadAndVerifyModules, once the calculations are known.
    CNumberCrunchSettings settings{true, &menuToFile};

private:
    /// Reads the list at moduleListPath into the maps: 1 when read, 0 when it cannot be loaded (nothing changed).
    int ParseXMLModuleList();
    /// 2 already loaded, 1 loaded and bound, -1 failed.
    int LoadNumberCrunchDll(const std::string& fileName);
    /// Binds the functions the list names for one library; false when a required entry point is missing.
    bool AssignEntryPoints(std::map<std::string, CalcData>& calcs, const std::string& fileName);
    /// Where the library of a file name is looked for: beside the module list first.
    std::string LibraryLocation(const std::string& fileName) const;
};

}  // namespace zelvor
