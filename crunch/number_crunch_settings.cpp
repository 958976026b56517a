#include "crunch/number_crunch_settings.h"

#include "app/app_profile.h"

namespace zelvor {

namespace {

constexpr std::size_t POLLING_INTERVAL_OFFSET = 144;
// The two command maps had 32-bit pointer slots here; they are stored as zeros and never read back.
constexpr std::size_t POST_COMMANDS_SLOT = 152;
constexpr std::size_t PRE_COMMANDS_SLOT = 156;

void WriteCommands(CNumberCrunchSettings::CommandMap& commands, const char* section) {
    for (const auto& [file, command] : commands) AppProfile().WriteProfileString(section, file, command);
    commands.clear();
}

}  // namespace

CNumberCrunchSettings::CNumberCrunchSettings(bool doNotLoad, const MenuMap* menuToFile) : menuToFile_(menuToFile) {
    size = RECORD_SIZE;
    loaded = 0;
    loadFailed = 0;
    if (!doNotLoad) LoadSettings();
}

CNumberCrunchSettings::~CNumberCrunchSettings() { SaveSettings(); }

int CNumberCrunchSettings::LoadSettings() {
    // A second load would replace commands edited since the first with empty maps; it changes nothing.
    if (loaded) return 0;
    pollingInterval = DEFAULT_POLLING_INTERVAL;
    const int taken = SETTINGS::LoadSettings();
    postCommands = std::make_unique<CommandMap>();
    preCommands = std::make_unique<CommandMap>();
    if (taken == 0 || menuToFile_ == nullptr) return taken;
    for (const auto& [menu, file] : *menuToFile_) {
        (*postCommands)[file] = AppProfile().GetProfileString(POST_COMMAND_SECTION, file, "");
        (*preCommands)[file] = AppProfile().GetProfileString(PRE_COMMAND_SECTION, file, "");
    }
    return taken;
}

int CNumberCrunchSettings::SaveSettings() {
    if (postCommands) WriteCommands(*postCommands, POST_COMMAND_SECTION);
    if (preCommands) WriteCommands(*preCommands, PRE_COMMAND_SECTION);
    return SETTINGS::SaveSettings();
}

void CNumberCrunchSettings::StoreFields(ByteImage& image) const {
    image.Put(POLLING_INTERVAL_OFFSET, pollingInterval);
    image.Put(POST_COMMANDS_SLOT, std::uint32_t{0});
    image.Put(PRE_COMMANDS_SLOT, std::uint32_t{0});
}

void CNumberCrunchSettings::RestoreFields(const ByteImage& image) { image.Load(POLLING_INTERVAL_OFFSET, pollingInterval); }

}  // namespace zelvor
