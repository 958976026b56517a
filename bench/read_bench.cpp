// Reader throughput on generated files: prints MB/s of each reader next to its target.
// The files are written to $TMPDIR (else /tmp) and removed afterwards.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "bench/generated_files.h"
#include "model/dravik_doc.h"
#include "model/elements.h"

namespace {

using namespace zelvor;
using namespace zelvor::bench;

struct Timing {
    double first = 0.0;  ///< MB/s of the first read in the process (fresh memory for the frames)
    double best = 0.0;   ///< MB/s of the best of three reads
    int frames = 0;
};

/// Three reads of the file, each into a fresh document.
Timing Measure(const std::string& path, const std::function<int(CDravikDoc&, const char*)>& read) {
    Timing timing;
    const double megabytes = static_cast<double>(FileSize(path)) / 1e6;
    for (int run = 0; run < 3; ++run) {
        CDravikDoc doc;
        const auto start = std::chrono::steady_clock::now();
        const int result = read(doc, path.c_str());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (result != 1) std::fprintf(stderr, "read of %s gave %d\n", path.c_str(), result);
        timing.frames = doc.GetFrameCount();
        if (run == 0) timing.first = megabytes / seconds;
        timing.best = std::max(timing.best, megabytes / seconds);
    }
    return timing;
}

void Run(const char* name, const char* file, void (*write)(const std::string&),
         const std::function<int(CDravikDoc&, const char*)>& read, double target) {
    const std::string path = TempPath(file);
    write(path);
    const Timing t = Measure(path, read);
    std::printf("%-5s %6.1f MB, %4d frames: best %7.1f MB/s, first read %7.1f MB/s   (target >= %.0f MB/s)%s\n", name,
                FileSize(path) / 1e6, t.frames, t.best, t.first, target, t.best >= target ? "" : "   BELOW TARGET");
    std::remove(path.c_str());
}

}  // namespace

int main() {
    CElements elements;  // the real table from beside the program, as at start-up
    Run("XYZ", "traj.xyz", WriteXyz, [](CDravikDoc& d, const char* p) { return d.ReadXYZCoordinates(p); }, 300);
    Run("PDB", "models.pdb", WritePdb, [](CDravikDoc& d, const char* p) { return d.ReadPDBFile(p); }, 210);
    Run("cube", "grid.cube", WriteCube, [](CDravikDoc& d, const char* p) { return d.ReadGaussianCubeFile(p); }, 300);
    return 0;
}
