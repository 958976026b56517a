#pragma once
/// The per-user settings store: INI files under the user's configuration folder, read and written through QSettings.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelvor {

/// The user's configuration folder: $XDG_CONFIG_HOME when set to an absolute path, else ~/.config.
/// Read at every call, so a changed environment takes effect at once.
std::string ConfigHome();

/// One INI settings file. Keys are group paths joined by '/', e.g. "1,0,0,1/class CAppSettings/Settings";
/// any other character (commas, spaces) round-trips. Every operation opens the file afresh, so several
/// stores (and processes) on the same file see each other's writes; QSettings locks and replaces the file
/// atomically when it writes.
class SettingsStore {
public:
    explicit SettingsStore(std::string filePath) : filePath_(std::move(filePath)) {}

    /// <ConfigHome>/<organisation>/<application>.conf: the store that stands in for the registry key.
    static SettingsStore ForApplication(const std::string& organisation, const std::string& application);
    /// <ConfigHome>/<fileName>: a private profile file.
    static SettingsStore ForProfileFile(const std::string& fileName);

    const std::string& FilePath() const { return filePath_; }

    /// True when the file holds at least one key inside group ("" = the whole file).
    bool GroupExists(const std::string& group) const;

    std::optional<std::string> ReadString(const std::string& key) const;
    /// The value as a decimal integer; nullopt when missing or not a number.
    std::optional<std::int64_t> ReadInt(const std::string& key) const;
    /// A value written by WriteBinary; nullopt when missing or not binary.
    std::optional<std::vector<std::uint8_t>> ReadBinary(const std::string& key) const;

    /// Each returns false when the file can't be read or written.
    bool WriteString(const std::string& key, const std::string& value);
    bool WriteInt(const std::string& key, std::int64_t value);
    bool WriteBinary(const std::string& key, const std::vector<std::uint8_t>& value);
    /// Removes one value; true also when it did not exist.
    bool RemoveValue(const std::string& key);

    enum class RemoveResult { Removed, NotFound, OpenError };
    /// Removes a group with everything below it ("" = every key of the file).
    RemoveResult RemoveGroup(const std::string& group);

private:
    std::string filePath_;
};

}  // namespace zelvor
