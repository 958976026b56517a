// Replays inputs through a harness without libFuzzer, for the test suite: each argument is a file or a
// folder whose files (names starting with '.' excepted) run in name order. One line per input; the exit
// status is 1 when a harness rejected an input or an argument cannot be read. A crash ends the run anyway.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

/// The files an argument names, in name order; false when it is neither a file nor a folder.
bool CollectInputs(const fs::path& argument, std::vector<fs::path>& inputs) {
    std::error_code error;
    if (fs::is_regular_file(argument, error)) {
        inputs.push_back(argument);
        return true;
    }
    if (!fs::is_directory(argument, error)) return false;
    std::vector<fs::path> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(argument, error))
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.') found.push_back(entry.path());
    if (error) return false;
    std::sort(found.begin(), found.end());
    inputs.insert(inputs.end(), found.begin(), found.end());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool failed = false;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!CollectInputs(argv[i], inputs)) {
            std::printf("%s: not a file or folder\n", argv[i]);
            failed = true;
        }
    }
    for (const fs::path& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (!in.good() && !in.eof()) {
            std::printf("%s: cannot be read\n", path.c_str());
            failed = true;
            continue;
        }
        const int result = LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        std::printf("%s: %zu bytes, %s\n", path.c_str(), bytes.size(), result == 0 ? "ok" : "rejected");
        std::fflush(stdout);
        failed = failed || result != 0;
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return failed ? 1 : 0;
}
