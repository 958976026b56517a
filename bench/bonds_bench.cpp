// Bond detection time against atom count: prints each figure next to its target.
// Frames are generated in memory: atoms at the density of liquids and organic solids (0.1 per cubic
// angstrom), hydrogen, carbon and oxygen with their van der Waals radii, plus the awkward geometries a
// file can throw at the search: atoms at one point, dense clusters, lattices of equal distances, huge radii.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "model/dravik_doc.h"

namespace {

using namespace zelvor;

struct Placed {
    int element;  // index into the element table
    Vector position;
};

void SetUpElements() {
    ResetElementTable();
    auto set = [](int index, const char* symbol, float vdw) {
        AtomData& e = ElementTable()[index];
        std::snprintf(e.symbol, sizeof e.symbol, "%s", symbol);
        e.atomicNumber = index + 1;
        e.vdWRadius = vdw;
    };
    set(0, "H", 1.20f);
    set(5, "C", 1.70f);
    set(7, "O", 1.52f);
    set(30, "Xg", 1e30f);  // a bad element file: every atom reaches every other
    set(54, "Cs", 3.43f);  // one large element widens every cell
}

std::vector<Placed> Liquid(int n, unsigned seed) {
    const double edge = std::cbrt(n / 0.1);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> coordinate(-edge / 2, edge / 2);
    const int elements[] = {0, 5, 0, 7};
    std::vector<Placed> atoms(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        atoms[i] = {elements[i % 4], Vector(coordinate(random), coordinate(random), coordinate(random))};
    return atoms;
}

/// Seconds for one EstablishBonds over a single frame of these atoms (best of runs).
double TimeBonds(const std::vector<Placed>& atoms, int runs, int* bondsOut = nullptr) {
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        auto doc = std::make_unique<CDravikDoc>();
        doc->WantBonds(true);
        Frame& frame = doc->GetFrame(0);
        frame.atoms = std::make_unique<Atom[]>(atoms.size() + 1);
        frame.atomCount = static_cast<int>(atoms.size());
        for (std::size_t i = 0; i < atoms.size(); ++i) {
            frame.atoms[i + 1].position = atoms[i].position;
            frame.atoms[i + 1].element = &ElementTable()[atoms[i].element];
        }
        doc->SetFrameCount(1);
        const auto start = std::chrono::steady_clock::now();
        doc->EstablishBonds();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, seconds);
        if (bondsOut) {
            *bondsOut = static_cast<int>(frame.bonds.partner.size());
        }
    }
    return best;
}

}  // namespace

int main() {
    SetUpElements();
    std::printf("Bond detection, single thread, best of 5 (liquid density 0.1 atoms/A^3, H/C/O)\n");
    std::printf("%10s %12s %12s %14s   %s\n", "atoms", "time (s)", "ns/atom", "partners/atom", "target");
    for (int n : {10000, 50000, 100000, 200000}) {
        int bonds = 0;
        const double seconds = TimeBonds(Liquid(n, 11), 5, &bonds);
        const char* target = n == 200000 ? (seconds <= 0.2 ? "<= 0.2 s  met" : "<= 0.2 s  MISSED") : "linear in atoms";
        std::printf("%10d %12.4f %12.1f %14.2f   %s\n", n, seconds, seconds / n * 1e9, double(bonds) / n, target);
    }

    std::printf("\nAwkward and hostile frames, best of 3\n");
    std::printf("%-40s %10s   %s\n", "frame", "time (s)", "target");
    struct Case {
        const char* name;
        double target;  // seconds; 0: none beyond bounded time and memory
        std::function<std::vector<Placed>()> make;
    };
    auto cube = [](int n, double edge, int element, unsigned seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> u(0.0, edge);
        std::vector<Placed> atoms(static_cast<std::size_t>(n));
        for (auto& a : atoms) a = {element, Vector(u(random), u(random), u(random))};
        return atoms;
    };
    const Case cases[] = {
        {"3000 C in a 0.8 A cube", 0, [&] { return cube(3000, 0.8, 5, 5); }},
        {"200 C at one point", 0, [] { return std::vector<Placed>(200, Placed{5, Vector()}); }},
        {"100k liquid + 1 atom 1e7 A away", 0,
         [] {
             auto atoms = Liquid(100000, 3);
             atoms.push_back({5, Vector(1e7, 0, 0)});
             return atoms;
         }},
        {"100k atoms on a 1e6 A line", 0,
         [] {
             std::vector<Placed> atoms(100000);
             for (int i = 0; i < 100000; ++i) atoms[i] = {5, Vector(10.0 * i, 0, 0)};
             return atoms;
         }},
        {"200k liquid, every 1000th Cs", 0,
         [] {
             auto atoms = Liquid(200000, 17);
             for (std::size_t i = 0; i < atoms.size(); i += 1000) atoms[i].element = 54;
             return atoms;
         }},
        {"200k H at one point", 1.0, [] { return std::vector<Placed>(200000, Placed{0, Vector(1, 2, 3)}); }},
        {"200k C within 1 A^3", 1.0, [&] { return cube(200000, 1.0, 5, 9); }},
        {"200k C in 200 points of 1000", 1.0,
         [] {
             std::vector<Placed> atoms(200000);
             for (int i = 0; i < 200000; ++i) atoms[i] = {5, Vector(1.3 * (i % 200), 0.7 * (i % 7), 0)};
             return atoms;
         }},
        {"200k C on a 1 A cubic lattice", 1.0,
         [] {
             std::vector<Placed> atoms(200000);
             for (int i = 0; i < 200000; ++i) atoms[i] = {5, Vector(i % 60, i / 60 % 60, i / 3600)};
             return atoms;
         }},
        {"200k liquid, every 1000th radius 1e30", 1.0,
         [] {
             auto atoms = Liquid(200000, 13);
             for (std::size_t i = 0; i < atoms.size(); i += 1000) atoms[i].element = 30;
             return atoms;
         }},
    };
    for (const Case& c : cases) {
        const double seconds = TimeBonds(c.make(), 3);
        char target[40] = "bounded";
        if (c.target > 0)
            std::snprintf(target, sizeof target, "<= %.0f s  %s", c.target, seconds <= c.target ? "met" : "MISSED");
        std::printf("%-40s %10.4f   %s\n", c.name, seconds, target);
    }
    return 0;
}
