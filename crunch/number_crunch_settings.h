#pragma once
/// CNumberCrunchSettings: the polling interval and the commands run before and after each calculation.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "app/settings_record.h"

namespace zelvor {

/// The module settings record, stored as one 160-byte value; the commands are kept as strings of their own
/// (sections "precmdline" and "postcmdline", one value per library file name). Saved when destroyed.
class CNumberCrunchSettings : public SETTINGS {
public:
    static constexpr std::uint32_t RECORD_SIZE = 160;
    static constexpr double DEFAULT_POLLING_INTERVAL = 500.0;
    static constexpr const char* PRE_COMMAND_SECTION = "precmdline";
    static constexpr const char* POST_COMMAND_SECTION = "postcmdline";
    /// Library file name -> command text.
    using CommandMap = std::map<std::string, std::string>;
    /// Menu name -> library file name: the calculations whose commands are read.
    using MenuMap = std::map<std::string, std::string>;

    /// menuToFile names the calculations whose commands LoadSettings reads (null: none). Unless doNotLoad,
    /// loads at once.
    explicit CNumberCrunchSettings(bool doNotLoad = false, const MenuMap* menuToFile = nullptr);
    /// Saves the record and the commands.
    ~CNumberCrunchSettings() override;
    CNumberCrunchSettings(const CNumberCrunchSettings&) = delete;
    CNumberCrunchSettings& operator=(const CNumberCrunchSettings&) = delete;

    /// Loads once: the record when it fits, and then the commands of every calculation of the menu.
    /// Returns 1 when the stored record was taken; 0 (commands empty) on a first run or when already loaded.
    int LoadSettings() override;
    /// Writes every command (emptying the maps), then the record.
    int SaveSettings() override;

    /// Milliseconds between two coordinate polls.
    double pollingInterval = DEFAULT_POLLING_INTERVAL;
    /// Commands run after and before a calculation; null until loaded.
    std::unique_ptr<CommandMap> postCommands;
    std::unique_ptr<CommandMap> preCommands;

protected:
    const char* TypeName() const override { return "class CNumberCrunchSettings"; }
    void StoreFields(ByteImage& image) const override;
    void RestoreFields(const ByteImage& image) override;

private:
    const MenuMap* menuToFile_;
};

}  // namespace zelvor
