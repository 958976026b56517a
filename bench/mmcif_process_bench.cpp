// Whole-process mmCIF load against gemmi's Python reader, side by side in one run: `zelvor-tool info
// --no-bonds FILE` and a python3 one-liner that reads the same file with gemmi and counts its atoms. The file
// is the 10-model NMR ensemble of 2BEG with its models repeated under new model numbers up to about 25 MB.
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/generated_files.h"
#include "model/io/byte_source.h"

namespace {

using namespace zelvor::bench;

constexpr std::size_t kTargetBytes = 25u << 20;
constexpr const char* kGemmiCount =
    "import gemmi,sys; st=gemmi.read_structure(sys.argv[1]); print(sum(1 for m in st for c in m for r in c for a in r))";

std::string Beside(const char* name) {
    std::array<char, 4096> buffer{};
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    std::string self(buffer.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
    return self.substr(0, self.find_last_of('/') + 1) + name;
}

std::string Inflate(const std::string& path) {
    zelvor::CByteSource source;
    std::string text;
    if (!source.Open(path.c_str())) return text;
    std::vector<char> buffer(1 << 16);
    while (const std::size_t n = source.Read(buffer.data(), buffer.size())) text.append(buffer.data(), n);
    return text;
}

/// The ensemble's text with its atom rows repeated, each repeat under model numbers after the last. Returns
/// the atoms written.
long WriteLargeEnsemble(const std::string& source, const std::string& path) {
    const std::string text = Inflate(source);
    // The atom rows run from the first "ATOM " line after the _atom_site tags to the "#" closing the loop.
    const std::size_t tags = text.find("_atom_site.group_PDB");
    const std::size_t first = text.find("\nATOM ", tags) + 1;
    const std::size_t last = text.find("\n#", first) + 1;
    if (tags == std::string::npos || first == 0 || last == 0) return 0;
    std::vector<std::string> rows;
    for (std::size_t p = first; p < last;) {
        const std::size_t end = text.find('\n', p) + 1;
        rows.push_back(text.substr(p, end - p));
        p = end;
    }
    std::ofstream out(path, std::ios::binary);
    out << text.substr(0, first);
    std::size_t written = first;
    long atoms = 0;
    for (int repeat = 0; written < kTargetBytes; ++repeat) {
        for (const std::string& row : rows) {
            // The model number is the last value of the row.
            std::size_t cut = row.find_last_not_of(" \n");
            cut = row.find_last_of(' ', cut) + 1;
            const int model = std::stoi(row.substr(cut)) + 10 * repeat;
            const std::string line = row.substr(0, cut) + std::to_string(model) + "\n";
            out << line;
            written += line.size();
            ++atoms;
        }
    }
    out << text.substr(last);
    return atoms;
}

/// Wall time of one run of the program with its output discarded, or a negative time when it failed.
double RunSeconds(const std::vector<std::string>& args) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1.0;
}

}  // namespace

int main() {
    const std::string path = TempPath("ensemble.cif");
    const long atoms = WriteLargeEnsemble(ZELVOR_TEST_DATA_DIR "/biopython-2BEG.cif.gz", path);
    if (atoms == 0) {
        std::fprintf(stderr, "could not write the ensemble\n");
        return 1;
    }
    const std::vector<std::string> zelvor = {Beside("zelvor-tool"), "info", "--no-bonds", path};
    const std::vector<std::string> gemmi = {"/usr/bin/python3", "-c", kGemmiCount, path};
    // Alternating runs, so that both see the same machine load; the best of each counts.
    double bestZelvor = 1e30, bestGemmi = 1e30;
    for (int i = 0; i < 3; ++i) {
        const double z = RunSeconds(zelvor);
        const double g = RunSeconds(gemmi);
        if (z < 0) std::fprintf(stderr, "zelvor-tool failed on %s\n", path.c_str());
        if (g < 0) std::fprintf(stderr, "python3 with gemmi failed (is python3-gemmi installed?)\n");
        if (z >= 0) bestZelvor = std::min(bestZelvor, z);
        if (g >= 0) bestGemmi = std::min(bestGemmi, g);
    }
    const double megabytes = static_cast<double>(FileSize(path)) / 1e6;
    std::printf("mmCIF %.1f MB, %ld atoms, whole process, best of 3\n", megabytes, atoms);
    std::printf("  zelvor-tool info --no-bonds: %.2f s (%.1f MB/s)\n", bestZelvor, megabytes / bestZelvor);
    if (bestGemmi < 1e30)
        std::printf("  gemmi.read_structure (python3): %.2f s   zelvor/gemmi = %.2f%s\n", bestGemmi,
                    bestZelvor / bestGemmi, bestZelvor <= bestGemmi ? "" : "   SLOWER THAN THE PEER");
    std::remove(path.c_str());
    return 0;
}
