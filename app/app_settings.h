#pragma once
/// CAppSettings: the application-wide settings record (output panel, update check, governor limits, playlist).
#include <cstdint>

#include "app/settings_record.h"

namespace zelvor {

/// The application settings, stored as one 436-byte value; saved when destroyed.
class CAppSettings : public SETTINGS {
public:
    static constexpr std::uint32_t RECORD_SIZE = 436;
    static constexpr std::size_t OUTPUT_FILE_SIZE = 260;

    /// Unless doNotLoad, loads at once (the application object loads later, once its settings key is set).
    explicit CAppSettings(bool doNotLoad = false);
    /// Saves the record.
    ~CAppSettings() override;
    CAppSettings(const CAppSettings&) = delete;
    CAppSettings& operator=(const CAppSettings&) = delete;

    /// Sets every default, then takes the stored value when it fits.
    int LoadSettings() override;
    void SetDefaults();

    /// 1: a running module's standard output is also written to outputFile.
    std::int32_t saveOutputToFile = 0;
    /// Characters kept in the output panel: 100000, 20000, 4000 or 0 (not updated).
    std::int32_t outputBufferSize = 20000;
    /// 0: only tell that a newer version exists; 1: download it and install it at exit.
    std::int32_t updateAction = 0;
    /// 1: check online once a week at start-up.
    std::int32_t weeklyUpdateCheck = 1;
    /// CPU-usage limits in percent and adjustment rounds of the tessellation governor.
    std::int32_t minCPUUsage = 5;
    std::int32_t maxCPUUsage = 40;
    std::int32_t maxGovernorIterations = 10;
    /// Day number (seconds since 1970-01-01 UTC / 86400) of the last online check.
    std::int32_t lastUpdateCheckDay = 0;
    /// 1: the screensaver shows its coordinate files in shuffled order.
    std::int32_t shuffleFiles = 1;
    /// File that receives a module's standard output (always zero-terminated).
    char outputFile[OUTPUT_FILE_SIZE] = {};

protected:
    const char* TypeName() const override { return "class CAppSettings"; }
    void StoreFields(ByteImage& image) const override;
    void RestoreFields(const ByteImage& image) override;
};

}  // namespace zelvor
