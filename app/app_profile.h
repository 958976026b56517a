#pragma once
/// CAppProfile: the application's settings key and the profile operations every settings record uses.
#include <cstdint>
#include <string>
#include <vector>

namespace zelvor {

/// The profile operations of the application object. Once SetRegistryKey has named a company, values live in
/// the settings store <company>/<profile name>.conf under "<file version>/<section>/<entry>", so each program
/// version keeps its own settings; a backslash in a section opens a subsection, as in a key path. Before that
/// they fall back to the private profile file named by the profile name ("<application name>.ini").
/// The newest CAppProfile constructed is the process-wide one returned by AppProfile().
class CAppProfile {
public:
    /// Application "Zelvor" at this build's file version.
    CAppProfile();
    CAppProfile(std::string appName, std::string fileVersion);
    virtual ~CAppProfile();
    CAppProfile(const CAppProfile&) = delete;
    CAppProfile& operator=(const CAppProfile&) = delete;

    /// Remembers the company, makes the application name the profile name and sets firstRun when this
    /// program version has no settings yet.
    void SetRegistryKey(const std::string& company);
    /// True when the settings of this program version exist (company, profile and file version).
    bool IsAppRegistryKey() const;
    /// company \ profile name \ file version.
    std::string GetRegKeyName() const;
    /// The "major,minor,patch,build" version that keys the settings.
    std::string GetFileVersionNumber() const { return fileVersion_; }

    virtual int GetProfileInt(const std::string& section, const std::string& entry, int defaultValue) const;
    virtual std::string GetProfileString(const std::string& section, const std::string& entry,
                                         const std::string& defaultValue) const;
    /// A copy of a binary value; false (data emptied) when it is missing.
    virtual bool GetProfileBinary(const std::string& section, const std::string& entry,
                                  std::vector<std::uint8_t>& data) const;
    /// Each creates the section as needed; false when the value could not be stored.
    virtual bool WriteProfileInt(const std::string& section, const std::string& entry, int value);
    virtual bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value);
    virtual bool WriteProfileBinary(const std::string& section, const std::string& entry,
                                    const std::vector<std::uint8_t>& data);
    /// Deletes one value (the playlist drops entries this way); true also when it did not exist.
    bool DeleteProfileValue(const std::string& section, const std::string& entry);

    /// Deletes a key with everything below it. subKey is a key path below the user's software root,
    /// e.g. GetRegKeyName(), with a leading "Software\" accepted. Reports "Key not found.\n" or
    /// "Error opening key.\n" on the message stream and returns false when it can't.
    bool RegDelnode(const std::string& subKey);

    const std::string& AppName() const { return appName_; }
    /// The company given to SetRegistryKey; empty while the private profile file is used.
    const std::string& RegistryKey() const { return company_; }
    const std::string& ProfileName() const { return profileName_; }

    /// 1 when this program version had no settings when SetRegistryKey ran (its first run).
    std::uint8_t firstRun = 0;

private:
    struct DefaultInstance {};
    explicit CAppProfile(DefaultInstance);
    friend CAppProfile& AppProfile();

    bool UsesPrivateProfile() const { return company_.empty(); }
    /// Key of an entry in the settings store: "<file version>/<section>/<entry>".
    std::string StoreKey(const std::string& section, const std::string& entry) const;

    std::string appName_;
    std::string fileVersion_;
    std::string company_;
    std::string profileName_;
    CAppProfile* previous_ = nullptr;
};

/// The process-wide application profile: the newest living CAppProfile (normally the application object),
/// else a default one without company that uses the private profile file.
CAppProfile& AppProfile();

/// The private profile's text form of binary data: per byte 'A' + low four bits, then 'A' + high four bits.
std::string EncodeProfileBinary(const std::vector<std::uint8_t>& data);
/// Decodes that text; false for an odd length or a letter outside 'A'..'P'.
bool DecodeProfileBinary(const std::string& text, std::vector<std::uint8_t>& data);

}  // namespace zelvor
