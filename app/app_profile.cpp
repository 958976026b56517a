#include "app/app_profile.h"

#include <atomic>
#include <charconv>
#include <filesystem>
#include <limits>
#include <ostream>

#include "app/gui_stream.h"
#include "app/utf8_text.h"
#include "platform/settings_store.h"
#include "platform/text_compare.h"

#ifndef ZELVOR_FILE_VERSION
#error "ZELVOR_FILE_VERSION must be defined by the build"
#endif

namespace zelvor {

namespace {

constexpr const char* APPLICATION_NAME = "Zelvor";
// Strings of the private profile file are read through a buffer of this many characters.
constexpr std::size_t MAX_PRIVATE_PROFILE_STRING = 4096;

std::atomic<CAppProfile*> currentProfile{nullptr};

std::string SectionPath(const std::string& section) {
    std::string path = section;
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::vector<std::string> SplitKeyPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(std::move(part));
    return parts;
}

}  // namespace

std::string EncodeProfileBinary(const std::vector<std::uint8_t>& data) {
    std::string text;
    text.reserve(data.size() * 2);
    for (std::uint8_t byte : data) {
        text += static_cast<char>('A' + (byte & 0x0F));
        text += static_cast<char>('A' + (byte >> 4));
    }
    return text;
}

bool DecodeProfileBinary(const std::string& text, std::vector<std::uint8_t>& data) {
    data.clear();
    if (text.size() % 2 != 0) return false;
    std::vector<std::uint8_t> bytes(text.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int low = text[2 * i] - 'A';
        const int high = text[2 * i + 1] - 'A';
        if (low < 0 || low > 15 || high < 0 || high > 15) return false;
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    data = std::move(bytes);
    return true;
}

CAppProfile::CAppProfile() : CAppProfile(APPLICATION_NAME, ZELVOR_FILE_VERSION) {}

CAppProfile::CAppProfile(std::string appName, std::string fileVersion)
    : appName_(std::move(appName)), fileVersion_(std::move(fileVersion)), profileName_(appName_ + ".ini") {
    previous_ = currentProfile.exchange(this);
}

CAppProfile::CAppProfile(DefaultInstance)
    : appName_(APPLICATION_NAME), fileVersion_(ZELVOR_FILE_VERSION), profileName_(appName_ + ".ini") {}

CAppProfile::~CAppProfile() {
    CAppProfile* self = this;
    currentProfile.compare_exchange_strong(self, previous_);
}

CAppProfile& AppProfile() {
    if (CAppProfile* current = currentProfile.load()) return *current;
    static CAppProfile fallback{CAppProfile::DefaultInstance{}};
    return fallback;
}

void CAppProfile::SetRegistryKey(const std::string& company) {
    company_ = company;
    profileName_ = appName_;
    firstRun = IsAppRegistryKey() ? 0 : 1;
}

bool CAppProfile::IsAppRegistryKey() const {
    if (UsesPrivateProfile()) return false;
    return SettingsStore::ForApplication(company_, profileName_).GroupExists(fileVersion_);
}

std::string CAppProfile::GetRegKeyName() const { return company_ + "\\" + profileName_ + "\\" + fileVersion_; }

std::string CAppProfile::StoreKey(const std::string& section, const std::string& entry) const {
    const std::string sectionAndEntry = SectionPath(section) + "/" + entry;
    if (UsesPrivateProfile() || fileVersion_.empty()) return sectionAndEntry;
    return fileVersion_ + "/" + sectionAndEntry;
}

int CAppProfile::GetProfileInt(const std::string& section, const std::string& entry, int defaultValue) const {
    if (UsesPrivateProfile()) {
        const auto text = SettingsStore::ForProfileFile(profileName_).ReadString(StoreKey(section, entry));
        if (!text) return defaultValue;
        // Like the private-profile call: the leading decimal number counts, whatever follows it.
        const char* begin = text->data();
        const char* end = begin + text->size();
        while (begin != end && (*begin == ' ' || *begin == '\t')) ++begin;
        if (begin != end && *begin == '+') ++begin;
        int value = 0;
        const auto [next, error] = std::from_chars(begin, end, value);
        return error == std::errc() ? value : defaultValue;
    }
    const auto value = SettingsStore::ForApplication(company_, profileName_).ReadInt(StoreKey(section, entry));
    // A stored number outside int does not fit the caller's type: treat it like a value of another type.
    if (!value || *value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max())
        return defaultValue;
    return static_cast<int>(*value);
}

std::string CAppProfile::GetProfileString(const std::string& section, const std::string& entry,
                                          const std::string& defaultValue) const {
    if (UsesPrivateProfile()) {
        auto text = SettingsStore::ForProfileFile(profileName_).ReadString(StoreKey(section, entry));
        if (!text) return defaultValue;
        CutUtf8(*text, MAX_PRIVATE_PROFILE_STRING);
        return *text;
    }
    const auto text = SettingsStore::ForApplication(company_, profileName_).ReadString(StoreKey(section, entry));
    return text ? *text : defaultValue;
}

bool CAppProfile::GetProfileBinary(const std::string& section, const std::string& entry,
                                   std::vector<std::uint8_t>& data) const {
    data.clear();
    if (UsesPrivateProfile()) {
        // The letters are decoded in full: a record is longer than a profile string may be.
        const auto text = SettingsStore::ForProfileFile(profileName_).ReadString(StoreKey(section, entry));
        return text && !text->empty() && DecodeProfileBinary(*text, data);
    }
    auto bytes = SettingsStore::ForApplication(company_, profileName_).ReadBinary(StoreKey(section, entry));
    if (!bytes) return false;
    data = std::move(*bytes);
    return true;
}

bool CAppProfile::WriteProfileInt(const std::string& section, const std::string& entry, int value) {
    if (UsesPrivateProfile())
        return SettingsStore::ForProfileFile(profileName_).WriteString(StoreKey(section, entry), std::to_string(value));
    return SettingsStore::ForApplication(company_, profileName_).WriteInt(StoreKey(section, entry), value);
}

bool CAppProfile::WriteProfileString(const std::string& section, const std::string& entry, const std::string& value) {
    if (UsesPrivateProfile())
        return SettingsStore::ForProfileFile(profileName_).WriteString(StoreKey(section, entry), value);
    return SettingsStore::ForApplication(company_, profileName_).WriteString(StoreKey(section, entry), value);
}

bool CAppProfile::WriteProfileBinary(const std::string& section, const std::string& entry,
                                     const std::vector<std::uint8_t>& data) {
    if (UsesPrivateProfile())
        return SettingsStore::ForProfileFile(profileName_).WriteString(StoreKey(section, entry),
                                                                       EncodeProfileBinary(data));
    return SettingsStore::ForApplication(company_, profileName_).WriteBinary(StoreKey(section, entry), data);
}

bool CAppProfile::DeleteProfileValue(const std::string& section, const std::string& entry) {
    SettingsStore store = UsesPrivateProfile() ? SettingsStore::ForProfileFile(profileName_)
                                               : SettingsStore::ForApplication(company_, profileName_);
    return store.RemoveValue(StoreKey(section, entry));
}

bool CAppProfile::RegDelnode(const std::string& subKey) {
    std::vector<std::string> parts = SplitKeyPath(subKey);
    if (!parts.empty() && EqualsIgnoringCase(parts.front(), "software")) parts.erase(parts.begin());
    // Never take an empty path as "everything the user has".
    if (parts.empty()) {
        MessageStream() << "Error opening key.\n" << std::flush;
        return false;
    }

    SettingsStore::RemoveResult result = SettingsStore::RemoveResult::NotFound;
    if (parts.size() == 1) {
        // A company key: every application store of that company.
        namespace fs = std::filesystem;
        std::error_code error;
        const fs::path folder = fs::path(ConfigHome()) / parts[0];
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
            if (it->path().extension() != ".conf") continue;
            const auto removed = SettingsStore(it->path().string()).RemoveGroup("");
            if (result != SettingsStore::RemoveResult::OpenError && removed != SettingsStore::RemoveResult::NotFound)
                result = removed;
        }
    } else {
        std::string group;
        for (std::size_t i = 2; i < parts.size(); ++i) group += (group.empty() ? "" : "/") + parts[i];
        SettingsStore store = SettingsStore::ForApplication(parts[0], parts[1]);
        if (std::filesystem::exists(store.FilePath())) result = store.RemoveGroup(group);
    }

    if (result == SettingsStore::RemoveResult::NotFound) {
        MessageStream() << "Key not found.\n" << std::flush;
        return false;
    }
    if (result == SettingsStore::RemoveResult::OpenError) {
        MessageStream() << "Error opening key.\n" << std::flush;
        return false;
    }
    return true;
}

}  // namespace zelvor
