// Marching-cubes time and triangle counts: prints each figure next to its target, with the processor time of the
// run beside the wall-clock time (steadier on a shared machine) and a fingerprint of the arrays (any change to
// a vertex, normal or colour, or to their order, changes it).
// The volumetric case is a p-like orbital x * exp(-r / 1.6) on a 120^3 grid (both signs, smooth, lobes filling a
// good part of the box), the molecular case a liquid of 10,000 H, C and O atoms at 0.1 atoms per cubic angstrom.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include <time.h>

#include "model/dravik_doc.h"
#include "render/marching_cubes.h"
#include "render/view_settings.h"

namespace {

using namespace zelvor;
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

/// Processor time of the calling thread: the figure that other programs on a shared machine disturb least.
double ThreadMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

struct Timing {
    double wall = 1e300;       ///< best wall-clock time of the runs, ms
    double processor = 1e300;  ///< best processor time of the runs, ms
};

int Triangles(CMarchingCubes& cubes, int frame, int levels) {
    std::lock_guard lock(cubes.SurfaceArrayLock());
    int vertices = 0;
    for (int l = 0; l < levels; ++l) vertices += cubes.Arrays(frame, l).count;
    return vertices / 3;
}

/// FNV-1a over the bytes of every level's vertices, normals and colours, in order: a change of any triangle, of
/// its place in the arrays or of one bit of a coordinate shows as another fingerprint.
std::uint64_t Fingerprint(CMarchingCubes& cubes, int frame, int levels) {
    std::lock_guard lock(cubes.SurfaceArrayLock());
    std::uint64_t h = 14695981039346656037ull;
    const auto mix = [&](const SurfaceFloats& v, std::size_t floats) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(v.data());
        for (std::size_t b = 0; b < floats * sizeof(float); ++b) h = (h ^ bytes[b]) * 1099511628211ull;
    };
    for (int l = 0; l < levels; ++l) {
        const SurfaceArrays& a = cubes.Arrays(frame, l);
        const auto count = static_cast<std::size_t>(a.count);
        mix(a.vertices, 3 * count);
        mix(a.normals, 3 * count);
        mix(a.colours, 4 * count);
    }
    return h;
}

/// Best times of several runs of one surface, and the triangles of the given levels.
template <class Setup>
void Time(CMarchingCubes& cubes, int levels, int runs, const Setup& setup, Timing& best, int& triangles) {
    best = Timing{};
    for (int run = 0; run < runs; ++run) {
        setup();
        const auto start = Clock::now();
        const double processor = ThreadMilliseconds();
        if (!cubes.CreateIsoSurface(0)) std::printf("  (surface refused)\n");
        best.processor = std::min(best.processor, ThreadMilliseconds() - processor);
        best.wall = std::min(best.wall, Milliseconds(start, Clock::now()));
    }
    triangles = Triangles(cubes, 0, levels);
}

void Orbital() {
    CDravikDoc doc;
    C3DViewSettings settings{C3DViewSettings::Transient{}};
    std::atomic<bool> stop{false};
    doc.SetDocTemplate(TEMPLATE_CUBE);
    const int n = 120;
    const double h = 0.2;  // 24 angstrom box
    Frame& frame = doc.GetFrame(0);
    frame.voxels.nx = frame.voxels.ny = frame.voxels.nz = n;
    frame.voxels.values.resize(static_cast<std::size_t>(n) * n * n);
    for (int a = 0; a < 3; ++a) frame.gridStep[a] = Vector(a == 0 ? h : 0, a == 1 ? h : 0, a == 2 ? h : 0);
    const double origin = -0.5 * n * h;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                const double x = origin + i * h, y = origin + j * h, z = origin + k * h;
                frame.voxels.At(i, j, k) =
                    static_cast<float>(x * std::exp(-std::sqrt(x * x + y * y + z * z) / 1.6));
            }
    // The statistics the cube reader keeps: the whole range and that of the planes 3 voxels inside the faces.
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                const double v = frame.voxels.At(i, j, k);
                doc.voxelMin = std::min(doc.voxelMin, v);
                doc.voxelMax = std::max(doc.voxelMax, v);
                if (i == 3 || i == n - 4 || j == 3 || j == n - 4 || k == 3 || k == n - 4) {
                    doc.voxelShellMin = std::min(doc.voxelShellMin, v);
                    doc.voxelShellMax = std::max(doc.voxelShellMax, v);
                }
            }
    doc.SetFrameCount(1);

    CMarchingCubes cubes;
    cubes.Initialise(&doc, &settings, &stop);
    Timing best;
    int triangles = 0;
    // One level: the other five lie beyond the data and cost only the per-cube range test.
    Time(cubes, 1, 7, [&] {
        settings.autoIsoLevels = 0;
        settings.isoLevel[0] = 0.01;
        for (int l = 1; l < ISO_LEVELS; ++l) settings.isoLevel[l] = 1e30;
    }, best, triangles);
    std::printf("120^3 orbital, one level (+0.01): %7.2f ms (processor %.2f ms)   target <= 5 ms"
                "   (peer: VTK's figures on the same grid follow)\n",
                best.wall, best.processor);
    std::printf("  triangles: %d   fingerprint %016llx\n", triangles,
                static_cast<unsigned long long>(Fingerprint(cubes, 0, 1)));
    Time(cubes, ISO_LEVELS, 5, [&] { settings.autoIsoLevels = 1; }, best, triangles);
    std::printf("120^3 orbital, whole frame (6 automatic levels): %7.2f ms (processor %.2f ms)   target <= 51 ms\n",
                best.wall, best.processor);
    std::printf("  triangles: %d   fingerprint %016llx   levels:", triangles,
                static_cast<unsigned long long>(Fingerprint(cubes, 0, ISO_LEVELS)));
    for (int l = 0; l < ISO_LEVELS; ++l) std::printf(" %.4g", settings.isoLevel[l]);
    std::printf("\n");
}

void SetUpElements() {
    ResetElementTable();
    auto set = [](int index, const char* symbol, float vdw, float r, float g, float b) {
        AtomData& e = ElementTable()[index];
        std::snprintf(e.symbol, sizeof e.symbol, "%s", symbol);
        e.atomicNumber = index + 1;
        e.vdWRadius = vdw;
        e.red = r, e.green = g, e.blue = b;
    };
    set(0, "H", 1.20f, 1, 1, 1);
    set(5, "C", 1.70f, 0.5f, 0.5f, 0.5f);
    set(7, "O", 1.52f, 1, 0.05f, 0.05f);
}

void Molecule() {
    SetUpElements();
    const int count = 10000;
    const double edge = std::cbrt(count / 0.1);
    CDravikDoc doc;
    C3DViewSettings settings{C3DViewSettings::Transient{}};
    std::atomic<bool> stop{false};
    Frame& frame = doc.GetFrame(0);
    frame.atoms = std::make_unique<Atom[]>(count + 1);
    frame.atomCount = count;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-edge / 2, edge / 2);
    const int elements[] = {0, 5, 0, 7};
    for (int i = 1; i <= count; ++i) {
        frame.atoms[i].position = Vector(coordinate(random), coordinate(random), coordinate(random));
        frame.atoms[i].element = &ElementTable()[elements[i % 4]];
    }
    frame.maxCellWidth = edge;
    frame.invMaxCellWidth = 1.0 / edge;
    doc.SetFrameCount(1);

    CMarchingCubes cubes;
    cubes.Initialise(&doc, &settings, &stop);
    for (double step : {0.8, 0.5}) {
        Timing best;
        int triangles = 0;
        Time(cubes, 1, step == 0.8 ? 5 : 2, [&] {
            settings.surfaceDistance = 1.0;
            settings.surfaceStep = step;
        }, best, triangles);
        std::printf("10,000 atoms (%.1f A box), molecular surface, step %.1f (N = %d): %7.1f ms (processor %.1f ms)",
                    edge, step, cubes.LastGridSteps(), best.wall, best.processor);
        if (step == 0.8) std::printf("   target <= 150 ms");
        std::printf("\n  triangles: %d   fingerprint %016llx\n", triangles,
                    static_cast<unsigned long long>(Fingerprint(cubes, 0, 1)));
    }
}

}  // namespace

int main(int argc, char** argv) {
    // An argument "orbital" or "molecule" runs that case alone (for a profiler).
    const std::string only = argc > 1 ? argv[1] : "";
    if (only.empty() || only == "orbital") Orbital();
    if (only.empty() || only == "molecule") Molecule();
    return 0;
}
