#pragma once
/// Where the online update check looks: the update server's base URL and the two fixed paths below it.
#include <string>

namespace zelvor {

class CAppProfile;

/// The update server. The base URL is fixed at build time (CMake cache variable ZELVOR_UPDATE_URL) and can be
/// replaced by the string setting UPDATE_SERVER_SECTION / UPDATE_SERVER_ENTRY ("Config" / "Update Server"),
/// which lets mirrors and tests point the program elsewhere.
struct UpdateEndpoint {
    /// Settings section and entry of the base URL that overrides the built-in one.
    static constexpr const char* UPDATE_SERVER_SECTION = "Config";
    static constexpr const char* UPDATE_SERVER_ENTRY = "Update Server";
    /// Paths below the base URL: the update list and the installer download.
    static constexpr const char* LIST_PATH = "development/Updates.xml";
    static constexpr const char* DOWNLOAD_PATH = "development/UpdateFile.asp";

    /// The base URL, always ending in "/".
    std::string baseUrl;

    /// The built-in server.
    static UpdateEndpoint BuiltIn();
    /// The server in the settings of profile when its entry is set, else the built-in one.
    static UpdateEndpoint FromSettings(const CAppProfile& profile);
    explicit UpdateEndpoint(std::string base);

    std::string ListUrl() const;
    /// The installer download of programName: "?file=" + programName + "Installer.exe".
    std::string DownloadUrl(const std::string& programName) const;
    /// The server's host (with its port when it has one), as the dialogs name it.
    std::string ServerName() const;
};

/// True when the program may fetch url: https, or plain http to a loopback host (local test servers).
/// Anything else sets reason.
bool IsPermittedUpdateUrl(const std::string& url, std::string& reason);

}  // namespace zelvor
