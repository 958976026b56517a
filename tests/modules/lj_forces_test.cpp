// The cell-list forces against a plain all-pairs, nearest-image computation on random configurations.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "modules/ondrel/lj_system.h"

namespace {

using zelvor::ondrel::LjSettings;
using zelvor::ondrel::LjSystem;
using zelvor::ondrel::Vec3;

struct Reference {
    std::vector<Vec3> forces;
    double energy = 0;
};

/// Every pair, nearest image by rounding, the textbook shifted potential written out with pow.
Reference AllPairs(const std::vector<Vec3>& p, double box) {
    const double rc = 2.5;
    const double shift = 4.0 * (std::pow(rc, -12) - std::pow(rc, -6));
    Reference out;
    out.forces.assign(p.size(), Vec3{});
    for (std::size_t i = 0; i < p.size(); ++i)
        for (std::size_t j = 0; j < p.size(); ++j) {
            if (i == j)
                continue;
            double d[3] = {p[i].x - p[j].x, p[i].y - p[j].y, p[i].z - p[j].z};
            for (double& c : d)
                c -= box * std::round(c / box);
            const double r = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            if (r >= rc)
                continue;
            out.energy += 0.5 * (4.0 * (std::pow(r, -12) - std::pow(r, -6)) - shift);
            const double f = (48.0 * std::pow(r, -13) - 24.0 * std::pow(r, -7)) / r;
            out.forces[i].x += f * d[0];
            out.forces[i].y += f * d[1];
            out.forces[i].z += f * d[2];
        }
    return out;
}

/// Uniform random atoms no closer than minDistance (nearest image), so that no pair dominates the sums.
std::vector<Vec3> RandomAtoms(int n, double box, double minDistance, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> coordinate(0.0, box);
    std::vector<Vec3> atoms;
    while (static_cast<int>(atoms.size()) < n) {
        const Vec3 c{coordinate(random), coordinate(random), coordinate(random)};
        bool clear = true;
        for (const Vec3& a : atoms) {
            double d[3] = {a.x - c.x, a.y - c.y, a.z - c.z};
            for (double& v : d)
                v -= box * std::round(v / box);
            clear = clear && d[0] * d[0] + d[1] * d[1] + d[2] * d[2] >= minDistance * minDistance;
        }
        if (clear)
            atoms.push_back(c);
    }
    return atoms;
}

/// The system's forces and potential energy against AllPairs at its present positions.
void ExpectForcesOfAllPairs(const LjSystem& system) {
    const Reference expected = AllPairs(system.Positions(), system.BoxLength());
    EXPECT_NEAR(system.Energies().potential, expected.energy, 1e-9 * std::abs(expected.energy));
    double largest = 0;
    Vec3 total;
    for (std::size_t i = 0; i < expected.forces.size(); ++i) {
        const Vec3& f = system.Forces()[i];
        const Vec3& e = expected.forces[i];
        largest = std::max({largest, std::abs(e.x), std::abs(e.y), std::abs(e.z)});
        ASSERT_NEAR(f.x, e.x, 1e-9 * (1 + std::abs(e.x))) << "atom " << i;
        ASSERT_NEAR(f.y, e.y, 1e-9 * (1 + std::abs(e.y))) << "atom " << i;
        ASSERT_NEAR(f.z, e.z, 1e-9 * (1 + std::abs(e.z))) << "atom " << i;
        total.x += f.x; total.y += f.y; total.z += f.z;
    }
    EXPECT_GT(largest, 1.0);  // the configuration is dense enough to mean something
    const double n = static_cast<double>(expected.forces.size());
    EXPECT_NEAR(total.x, 0.0, 1e-9 * largest * n);
    EXPECT_NEAR(total.y, 0.0, 1e-9 * largest * n);
    EXPECT_NEAR(total.z, 0.0, 1e-9 * largest * n);
}

TEST(LjForces, NeighbourListForcesAndEnergyEqualAllPairsWithNearestImages) {
    struct Case {
        int atoms;
        double density;
    };
    // Boxes listed pair by pair, through cells one list range wide, and through half-range cells; atoms
    // across the box faces included.
    for (const Case c : {Case{100, 0.8}, Case{400, 0.9}, Case{500, 0.45}, Case{864, 0.7}}) {
        SCOPED_TRACE(c.atoms);
        LjSettings settings;
        settings.atomCount = c.atoms;
        settings.density = c.density;
        LjSystem system(settings);
        std::vector<Vec3> atoms = RandomAtoms(c.atoms, system.BoxLength(), 0.8, 7u + c.atoms);
        system.SetState(atoms, {});
        ExpectForcesOfAllPairs(system);

        // Moved by less than half the list's margin: the list is kept, and must still find every pair,
        // including atoms that crossed a face of the box.
        std::mt19937 random(c.atoms);
        std::uniform_real_distribution<double> nudge(-0.08, 0.08);
        for (Vec3& a : atoms)
            a = {a.x + nudge(random), a.y + nudge(random), a.z + nudge(random)};
        system.SetState(atoms, {});
        ExpectForcesOfAllPairs(system);
    }
}

}  // namespace
