#include "crunch/number_crunch_modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>

#include "app/app_profile.h"
#include "app/gui_stream.h"
#include "app/grelt_binding.h"
#include "crunch/module_list_parser.h"

namespace zelvor {

namespace {

// The crash handler is told the module's full path, at most this long.
constexpr std::size_t MAX_MODULE_PATH = 1000;

/// Full path of the object file that holds address; empty when unknown.
std::string ObjectPathOf(const void* address) {
    Dl_info info;
    if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    std::string path = info.dli_fname;
    std::error_code error;
    const auto canonical = std::filesystem::weakly_canonical(path, error);
    if (!error) path = canonical.string();
    return path.size() > MAX_MODULE_PATH ? std::string() : path;
}

}  // namespace

CNumberCrunchModules::CNumberCrunchModules() = default;

CNumberCrunchModules::~CNumberCrunchModules() {
    // The settings are a member and save themselves after this body; the libraries go first.
    libraries.clear();
}

int CNumberCrunchModules::ParseXMLModuleList() {
    return ParseModuleList(moduleListPath, menuToFile, fileToMenu, calculations);
}

bool CNumberCrunchModules::LoadAndVerifyModules(const std::string& listPath, bool verboseReports) {
    moduleListPath = listPath;
    verbose = verboseReports;
    if (ParseXMLModuleList() == 0) {
        MessageStream() << "The module configuration file," << listPath
                        << ",\ncould not be loaded. Make sure it is properly formatted\n"
                           "and that there are no spelling mistakes in it."
                        << std::endl;
        return false;
    }

    for (auto entry = menuToFile.begin(); entry != menuToFile.end();) {
        if (LoadNumberCrunchDll(entry->second) < 0)
            entry = menuToFile.erase(entry);
        else
            ++entry;
    }

    if (const auto useHandler = GreltExports().UseMyGreltHandler) useHandler();

    try {
        settings.LoadSettings();
    } catch (...) {
        MessageStream() << "Problem encountered trying to load the last used settings from the registry.\n"
                           "Please restart this program."
                        << std::endl;
        AppProfile().RegDelnode(AppProfile().GetRegKeyName());
        throw;
    }
    return true;
}

bool CNumberCrunchModules::IsNumberCrunchModulePresent(const std::string& fileName) const {
    return libraries.contains(fileName);
}

std::string CNumberCrunchModules::LibraryLocation(const std::string& fileName) const {
    namespace fs = std::filesystem;
    const fs::path name(fileName);
    if (name.is_absolute()) return fileName;
    // Modules lie beside their list; a bare name found nowhere there is left to the library search path.
    const fs::path beside = fs::path(moduleListPath).parent_path() / name;
    std::error_code error;
    if (fs::exists(beside, error) || fileName.find('/') != std::string::npos) {
        // dlopen reads a name with a slash relative to the working folder: make it absolute.
        return fs::absolute(beside, error).string();
    }
    return fileName;
}

int CNumberCrunchModules::LoadNumberCrunchDll(const std::string& fileName) {
    if (IsNumberCrunchModulePresent(fileName)) {
        // Loaded before under another menu name: usable only if it was bound then.
        return calculations[fileName].beginCalculation != nullptr ? 2 : -1;
    }

    auto library = std::make_unique<DynamicLibrary>();
    if (!library->Load(LibraryLocation(fileName))) {
        if (verbose)
            MessageStream() << "Failed loading " << fileName << ".\nGetLastError returned:\n"
                            << library->Error() << std::endl;
        return -1;
    }
    libraries[fileName] = std::move(library);

    if (!AssignEntryPoints(calculations, fileName)) return -1;

    CalcData& calc = calculations[fileName];
    calc.stopRequested = 1;  // not running
    calc.pauseRequested = 0;

    if (const auto tag = GreltExports().TagAs3rdPartyModule) {
        const std::string path = ObjectPathOf(reinterpret_cast<const void*>(calc.beginCalculation));
        if (!path.empty()) tag(path.c_str());
    }
    return 1;
}

}  // namespace zelvor
