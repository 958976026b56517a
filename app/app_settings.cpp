#include "app/app_settings.h"

#include <string>

#include "app/app_profile.h"

namespace zelvor {

namespace {

static_assert(176 + CAppSettings::OUTPUT_FILE_SIZE == CAppSettings::RECORD_SIZE, "the name ends the record");

/// Every stored field with its offset in the 436-byte record; storing and restoring both go through here.
template <class Record, class Field>
void ForEachStoredField(Record& r, Field&& at) {
    at(140, r.saveOutputToFile);
    at(144, r.outputBufferSize);
    at(148, r.updateAction);
    at(152, r.weeklyUpdateCheck);
    at(156, r.minCPUUsage);
    at(160, r.maxCPUUsage);
    at(164, r.maxGovernorIterations);
    at(168, r.lastUpdateCheckDay);
    at(172, r.shuffleFiles);
    at(176, r.outputFile);
}

}  // namespace

CAppSettings::CAppSettings(bool doNotLoad) {
    size = RECORD_SIZE;
    loaded = 0;
    loadFailed = 0;
    // Defaults also for a record not loaded yet, so nothing is ever left undefined.
    SetDefaults();
    if (!doNotLoad) LoadSettings();
}

CAppSettings::~CAppSettings() { SaveSettings(); }

int CAppSettings::LoadSettings() {
    if (loaded) return 0;
    SetDefaults();
    return SETTINGS::LoadSettings();
}

void CAppSettings::SetDefaults() {
    saveOutputToFile = 0;
    outputBufferSize = 20000;
    updateAction = 0;
    weeklyUpdateCheck = 1;
    minCPUUsage = 5;
    maxCPUUsage = 40;
    maxGovernorIterations = 10;
    lastUpdateCheckDay = 0;
    shuffleFiles = 1;
    const std::string file = AppProfile().AppName() + ".stdout.txt";
    std::memset(outputFile, 0, sizeof outputFile);
    file.copy(outputFile, sizeof outputFile - 1);
}

void CAppSettings::StoreFields(ByteImage& image) const {
    ForEachStoredField(*this, [&](std::size_t offset, const auto& field) { image.Put(offset, field); });
}

void CAppSettings::RestoreFields(const ByteImage& image) {
    ForEachStoredField(*this, [&](std::size_t offset, auto& field) { image.Load(offset, field); });
    // A stored name without its terminator must not run into the next field when read as text.
    outputFile[sizeof outputFile - 1] = '\0';
}

}  // namespace zelvor
