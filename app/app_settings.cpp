#include "app/app_settings.h"

#include <string>

#include "app/app_profile.h"

namespace zelvor {

namespace {

constexpr std::size_t SAVE_OUTPUT_OFFSET = 140;
constexpr std::size_t OUTPUT_BUFFER_OFFSET = 144;
constexpr std::size_t UPDATE_ACTION_OFFSET = 148;
constexpr std::size_t WEEKLY_CHECK_OFFSET = 152;
constexpr std::size_t MIN_CPU_OFFSET = 156;
constexpr std::size_t MAX_CPU_OFFSET = 160;
constexpr std::size_t MAX_ITERATIONS_OFFSET = 164;
constexpr std::size_t LAST_CHECK_OFFSET = 168;
constexpr std::size_t SHUFFLE_OFFSET = 172;
constexpr std::size_t OUTPUT_FILE_OFFSET = 176;
static_assert(OUTPUT_FILE_OFFSET + CAppSettings::OUTPUT_FILE_SIZE == CAppSettings::RECORD_SIZE);

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
    image.Put(SAVE_OUTPUT_OFFSET, saveOutputToFile);
    image.Put(OUTPUT_BUFFER_OFFSET, outputBufferSize);
    image.Put(UPDATE_ACTION_OFFSET, updateAction);
    image.Put(WEEKLY_CHECK_OFFSET, weeklyUpdateCheck);
    image.Put(MIN_CPU_OFFSET, minCPUUsage);
    image.Put(MAX_CPU_OFFSET, maxCPUUsage);
    image.Put(MAX_ITERATIONS_OFFSET, maxGovernorIterations);
    image.Put(LAST_CHECK_OFFSET, lastUpdateCheckDay);
    image.Put(SHUFFLE_OFFSET, shuffleFiles);
    image.PutArray(OUTPUT_FILE_OFFSET, outputFile);
}

void CAppSettings::RestoreFields(const ByteImage& image) {
    saveOutputToFile = image.Get<std::int32_t>(SAVE_OUTPUT_OFFSET);
    outputBufferSize = image.Get<std::int32_t>(OUTPUT_BUFFER_OFFSET);
    updateAction = image.Get<std::int32_t>(UPDATE_ACTION_OFFSET);
    weeklyUpdateCheck = image.Get<std::int32_t>(WEEKLY_CHECK_OFFSET);
    minCPUUsage = image.Get<std::int32_t>(MIN_CPU_OFFSET);
    maxCPUUsage = image.Get<std::int32_t>(MAX_CPU_OFFSET);
    maxGovernorIterations = image.Get<std::int32_t>(MAX_ITERATIONS_OFFSET);
    lastUpdateCheckDay = image.Get<std::int32_t>(LAST_CHECK_OFFSET);
    shuffleFiles = image.Get<std::int32_t>(SHUFFLE_OFFSET);
    image.GetArray(OUTPUT_FILE_OFFSET, outputFile);
    // A stored name without its terminator must not run into the next field when read as text.
    outputFile[sizeof outputFile - 1] = '\0';
}

}  // namespace zelvor
