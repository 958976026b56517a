// Fuzzing harness of the update list: the input is the list a server sends; its versions for the program
// are compared with the program's own, as the update check does. The raw input is compared as a version too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/update_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string& version : zelvor::ListedVersions(text, "Zelvor")) {
        zelvor::IsNewerVersion(version, "1,5,1962,2778");
        zelvor::IsNewerVersion("1,5,1962,2778", version);
    }
    zelvor::VersionComparisonDigits(text);
    return 0;
}
