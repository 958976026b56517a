// Fuzzing harness of the module list reader: the input is a module list; only the parsing into the
// registry's maps runs, no library is loaded.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "crunch/module_list_parser.h"
#include "fuzz/fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static zelvor::fuzz::CFuzzInputFile file;
    std::map<std::string, std::string> menuToFile, fileToMenu;
    std::map<std::string, zelvor::CalcData> calculations;
    zelvor::ParseModuleList(file.Write(data, size), menuToFile, fileToMenu, calculations);
    return 0;
}
