#include "app/update_endpoint.h"

#include <curl/curl.h>

#include <memory>

#include "app/app_profile.h"

namespace zelvor {

namespace {

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

/// One part of a parsed URL; empty when the URL does not parse or lacks the part.
std::string UrlPart(const std::string& url, CURLUPart part) {
    UrlHandle handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return {};
    char* text = nullptr;
    if (curl_url_get(handle.get(), part, &text, 0) != CURLUE_OK || text == nullptr) return {};
    std::string result(text);
    curl_free(text);
    return result;
}

bool IsLoopbackHost(const std::string& host) {
    return host == "localhost" || host == "[::1]" || host == "::1" || host.rfind("127.", 0) == 0;
}

}  // namespace

UpdateEndpoint::UpdateEndpoint(std::string base) : baseUrl(std::move(base)) {
    if (baseUrl.empty() || baseUrl.back() != '/') baseUrl += '/';
}

UpdateEndpoint UpdateEndpoint::BuiltIn() { return UpdateEndpoint(ZELVOR_UPDATE_URL); }

UpdateEndpoint UpdateEndpoint::FromSettings(const CAppProfile& profile) {
    const std::string configured = profile.GetProfileString(UPDATE_SERVER_SECTION, UPDATE_SERVER_ENTRY, "");
    return configured.empty() ? BuiltIn() : UpdateEndpoint(configured);
}

std::string UpdateEndpoint::ListUrl() const { return baseUrl + LIST_PATH; }

std::string UpdateEndpoint::DownloadUrl(const std::string& programName) const {
    const std::string file = programName + "Installer.exe";
    std::string query = file;
    if (char* escaped = curl_easy_escape(nullptr, file.c_str(), static_cast<int>(file.size()))) {
        query = escaped;
        curl_free(escaped);
    }
    return baseUrl + DOWNLOAD_PATH + "?file=" + query;
}

std::string UpdateEndpoint::ServerName() const {
    std::string host = UrlPart(baseUrl, CURLUPART_HOST);
    const std::string port = UrlPart(baseUrl, CURLUPART_PORT);
    if (!host.empty() && !port.empty()) host += ":" + port;
    return host.empty() ? baseUrl : host;
}

bool IsPermittedUpdateUrl(const std::string& url, std::string& reason) {
    const std::string scheme = UrlPart(url, CURLUPART_SCHEME);
    if (scheme == "https") return true;
    if (scheme == "http" && IsLoopbackHost(UrlPart(url, CURLUPART_HOST))) return true;
    reason = "The update server must be reached over https: " + url;
    return false;
}

}  // namespace zelvor
