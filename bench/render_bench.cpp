// Drawing cost off screen: paints per second with nothing changed and with every list rebuilt, and the
// time of the display-list and scene-list compiles. Prints each figure next to its target.
// Frames are generated in memory at liquid density (0.1 atoms per cubic angstrom), H/C/H/O, bonds shown
// as tubes, quality 15, 400x300 pixels.
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>

#include "model/dravik_doc.h"
#include "model/elements.h"
#include "render/dravik_gl_view.h"
#include "render/offscreen_context.h"

namespace {

using namespace zelvor;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void FillLiquid(CDravikDoc& doc, int n) {
    const double edge = std::cbrt(n / 0.1);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-edge / 2, edge / 2);
    const char* symbols[] = {"H", "C", "H", "O"};
    Frame& frame = doc.GetFrame(0);
    frame.atoms = std::make_unique<Atom[]>(static_cast<std::size_t>(n) + 1);
    frame.atomCount = n;
    for (int i = 1; i <= n; ++i) {
        doc.SetAtomData(frame.atoms[i], symbols[i % 4], -1);
        frame.atoms[i].position = Vector(coordinate(random), coordinate(random), coordinate(random));
    }
    doc.SetFrameCount(1);
    doc.CalcCellSizeRcutoff(0, edge / 2);
    doc.SetMaxCellWidth();
}

/// Paint and wait until the picture is done.
double TimedPaint(CDravikGLView& view) {
    const auto start = Clock::now();
    view.Paint();
    glFinish();
    return Seconds(start);
}

/// Makes every list out of date: new atom scale and bond size, scene changed.
void Touch(C3DViewSettings& s) {
    static int touches = 0;
    ++touches;
    s.atomScale = 0.27 + 0.0001 * touches;
    s.bondSize = 8.0 + 0.001 * touches;
    s.sceneChanged = 1;
}

void Run(int atoms, int paints) {
    COffscreenGLContext context(400, 300);
    if (!context.IsValid()) {
        std::printf("no off-screen context: %s\n", context.Error().c_str());
        return;
    }
    CDravikDoc doc;
    FillLiquid(doc, atoms);
    CDravikGLView view(&doc, true);
    view.OnInitialUpdate();
    C3DViewSettings& s = *view.Get3DViewSettings();
    s.showSurface = 0;
    s.showBonds = 1;
    s.showInfoText = 0;
    s.renderQuality = 15;
    view.OnSize(400, 300);
    TimedPaint(view);  // first compile, bonds established

    double unchanged = 1e30, rebuilt = 1e30, listCompile = 1e30, sceneCompile = 1e30;
    for (int round = 1; round <= paints; ++round) {
        unchanged = std::min(unchanged, TimedPaint(view));
        Touch(s);
        rebuilt = std::min(rebuilt, TimedPaint(view));

        Touch(s);
        auto start = Clock::now();
        view.CompileAtomDisplayList();
        view.CompileBondDisplayList();
        glFinish();
        listCompile = std::min(listCompile, Seconds(start));
        start = Clock::now();
        view.CompileDisplayList(0);
        glFinish();
        sceneCompile = std::min(sceneCompile, Seconds(start));
    }
    const CompileCounts& c = view.Lists().Counts();
    std::printf("%8d %10d %10.1f %12.1f %14.1f %14.1f   %s\n", atoms, doc.GetFrame(0).displayedBonds / 2,
                1.0 / unchanged, 1.0 / rebuilt, listCompile * 1e3, sceneCompile * 1e3,
                atoms == 10000 ? (sceneCompile < 0.05 ? "scene < 50 ms  met" : "scene < 50 ms  MISSED") : "");
    std::printf("%8s compiles: atoms %d, bonds %d, scenes %d (%d unchanged paints compiled nothing: %s)\n", "",
                c.atomLists, c.bondLists, c.sceneLists, paints,
                c.atomLists == 1 + 2 * paints && c.bondLists == 1 + 2 * paints && c.sceneLists == 1 + 2 * paints ? "yes" : "NO");
    view.OnDestroy();
}

}  // namespace

int main() {
    CElements elements;  // Elements.dat beside the program
    std::printf("Off-screen paints at quality 15, 400x300, tube bonds, best of the rounds\n");
    std::printf("%8s %10s %10s %12s %14s %14s   %s\n", "atoms", "bonds", "paints/s", "rebuilds/s", "lists (ms)",
                "scene (ms)", "target");
    Run(1000, 5);
    Run(10000, 3);
    Run(100000, 1);
    std::printf("\ntarget: an unchanged paint recompiles nothing; 10,000 atoms compile their scene list in < 50 ms\n");
    return 0;
}
