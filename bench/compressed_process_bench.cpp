// Compressed coordinate files as a user loads them: `zelvor-tool info --no-bonds FILE.gz` as a whole process,
// in megabytes of uncompressed text per second, beside the same tool on the plain file and `gzip -dc` alone
// (the peer: what inflating the file costs by itself), in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/generated_files.h"
#include "bench/whole_process.h"

namespace {

using namespace zelvor::bench;

/// Best wall time of three runs of a shell command, its output discarded; a negative time when it failed.
double BestSeconds(const std::string& command, const std::string& folder) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        MeasuredProcess run("/bin/sh", {"-c", command + " > /dev/null"}, {}, folder + "/stderr.txt");
        const auto end = run.WaitForEnd(std::chrono::minutes(5));
        if (!end || run.ExitStatus() != 0) {
            std::printf("%s: %s\n", command.c_str(), end ? "failed" : "still running after 5 minutes");
            return -1.0;
        }
        best = std::min(best, Seconds(*end - start));
    }
    return best;
}

void Measure(const char* name, const char* file, void (*write)(const std::string&), const std::string& tool,
             const std::string& folder) {
    const std::string path = folder + "/" + file;
    write(path);
    const double megabytes = static_cast<double>(FileSize(path)) / 1e6;
    if (std::system(("gzip -6 -k -f '" + path + "'").c_str()) != 0) {
        std::printf("%s: gzip failed\n", name);
        return;
    }
    const double compressed = static_cast<double>(FileSize(path + ".gz")) / 1e6;
    const double gz = BestSeconds("'" + tool + "' info --no-bonds '" + path + ".gz'", folder);
    const double plain = BestSeconds("'" + tool + "' info --no-bonds '" + path + "'", folder);
    const double peer = BestSeconds("gzip -dc '" + path + ".gz'", folder);
    if (gz < 0 || plain < 0 || peer < 0) {
        // The folder goes when the program ends: show what the failing run said.
        std::printf("%s: a run failed:\n%s\n", name, ReadAll(folder + "/stderr.txt").c_str());
        return;
    }
    std::printf("%-4s %6.1f MB (%5.1f MB gzip'd): .gz %6.1f MB/s (%.2f s), plain %6.1f MB/s, gzip -dc alone "
                "%6.1f MB/s   (target .gz >= 150 MB/s)%s\n",
                name, megabytes, compressed, megabytes / gz, gz, megabytes / plain, megabytes / peer,
                megabytes / gz >= 150 ? "" : "   BELOW TARGET");
}

}  // namespace

int main() {
    TempFolder folder;
    const std::string tool = BesideThisProgram("zelvor-tool");
    if (folder.Path().empty() || tool.empty()) {
        std::fprintf(stderr, "no temporary folder, or no zelvor-tool beside this program\n");
        return 1;
    }
    std::printf("zelvor-tool info --no-bonds, whole process, best of 3; rates in uncompressed MB/s\n");
    Measure("XYZ", "traj.xyz", WriteXyz, tool, folder.Path());
    Measure("PDB", "models.pdb", WritePdb, tool, folder.Path());
    return 0;
}
