#include "app/settings_record.h"

#include <ostream>

#include "app/app_profile.h"
#include "app/gui_stream.h"

namespace zelvor {

namespace {

// Offsets of the base's fields in the stored form (the first 4 bytes stay zero).
constexpr std::size_t NAME_OFFSET = 4;
constexpr std::size_t SIZE_OFFSET = 128;
constexpr std::size_t LOADED_OFFSET = 132;
constexpr std::size_t LOAD_FAILED_OFFSET = 136;
constexpr const char* VALUE_NAME = "Settings";

}  // namespace

ByteImage SETTINGS::ToImage() const {
    ByteImage image(size);
    image.Put(NAME_OFFSET, name);
    image.Put(SIZE_OFFSET, size);
    image.Put(LOADED_OFFSET, loaded);
    image.Put(LOAD_FAILED_OFFSET, loadFailed);
    StoreFields(image);
    return image;
}

bool SETTINGS::FromImage(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() != size) return false;
    // Only the record's own fields are taken. The stored name, size and flags describe the run that saved
    // the record; taking them would, for example, carry that run's "load failed" into this one.
    RestoreFields(ByteImage(bytes));
    return true;
}

int SETTINGS::SaveSettings() {
    // The name is filled by the first load; a record that was never loaded has no place in the store, and
    // saving it would overwrite the user's settings with values nobody chose.
    if (name[0] == '\0') return 0;
    return AppProfile().WriteProfileBinary(name, VALUE_NAME, ToImage().Bytes()) ? 1 : 0;
}

int SETTINGS::LoadSettings() {
    if (loaded) return 0;
    std::strncpy(name, TypeName(), sizeof name - 1);
    name[sizeof name - 1] = '\0';
    loaded = 1;

    std::vector<std::uint8_t> stored;
    bool found = false;
    try {
        found = AppProfile().GetProfileBinary(name, VALUE_NAME, stored);
    } catch (...) {
        MessageStream() << "Exception caught in GetRegEntry()" << std::endl;
        // Nothing was taken: the defaults stay, and the record says so.
        loadFailed = 1;
        return 0;
    }
    if (found && FromImage(stored)) {
        loadFailed = 0;
        return 1;
    }
    loadFailed = 1;
    return 0;
}

}  // namespace zelvor
