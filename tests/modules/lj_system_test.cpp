// The Ondrel system: its start, energy conservation under velocity Verlet, and the thermostat.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "modules/ondrel/lj_system.h"

namespace {

using zelvor::ondrel::LjSettings;
using zelvor::ondrel::LjSystem;
using zelvor::ondrel::Vec3;

Vec3 Momentum(const LjSystem& s) {
    Vec3 m;
    for (const Vec3& v : s.Velocities()) {
        m.x += v.x; m.y += v.y; m.z += v.z;
    }
    return m;
}

TEST(LjSystem, StartsOnAnFccLatticeAtTheDensityAndTemperatureWithoutNetMomentum) {
    LjSettings settings;
    settings.atomCount = 500;  // not a full lattice of 4 n^3 sites: the last cell is partly filled
    settings.density = 0.8;
    settings.temperature = 1.3;
    LjSystem system(settings);

    ASSERT_EQ(system.AtomCount(), 500);
    EXPECT_NEAR(std::pow(system.BoxLength(), 3), 500 / 0.8, 1e-9);
    EXPECT_NEAR(system.Temperature(), 1.3, 1e-12);
    const Vec3 m = Momentum(system);
    EXPECT_NEAR(std::hypot(m.x, m.y, m.z), 0.0, 1e-10);

    // fcc over 5^3 cells: nearest neighbours at a / sqrt(2), every atom inside the box.
    const double box = system.BoxLength();
    const double nearest = box / 5 / std::sqrt(2.0);
    double closest = 1e9;
    const auto& p = system.Positions();
    for (std::size_t i = 0; i < p.size(); ++i) {
        EXPECT_TRUE(p[i].x >= 0 && p[i].x < box && p[i].y >= 0 && p[i].y < box && p[i].z >= 0 && p[i].z < box);
        for (std::size_t j = i + 1; j < p.size(); ++j) {
            double d[3] = {p[i].x - p[j].x, p[i].y - p[j].y, p[i].z - p[j].z};
            for (double& c : d)
                c -= box * std::round(c / box);
            closest = std::min(closest, std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]));
        }
    }
    EXPECT_NEAR(closest, nearest, 1e-9);

    // Published in angstrom: sigma is 3.4 angstrom.
    std::vector<double> x(500), y(500), z(500);
    system.CopyPositionsInAngstrom(x.data(), y.data(), z.data());
    EXPECT_DOUBLE_EQ(x[123], 3.4 * p[123].x);
    EXPECT_DOUBLE_EQ(z[499], 3.4 * p[499].z);
}

TEST(LjSystem, TotalEnergyDriftsLessThanOnePerMilleOverTenThousandStepsWithoutThermostat) {
    LjSettings settings;
    settings.atomCount = 108;  // a full fcc lattice of 3^3 cells; small enough for a sanitizer build
    settings.density = 0.8;
    settings.temperature = 1.0;
    settings.timeStep = 0.002;
    settings.thermostat = false;
    LjSystem system(settings);
    const double start = system.Energies().Total();
    double worst = 0;
    for (int block = 0; block < 100; ++block) {
        system.Step(100);
        worst = std::max(worst, std::abs(system.Energies().Total() - start));
    }
    EXPECT_LT(worst, 1e-3 * std::abs(start));
    // The lattice melted: energy moved from motion into the potential, so the run was not trivial.
    EXPECT_LT(system.Temperature(), 0.8);
    const Vec3 m = Momentum(system);
    EXPECT_NEAR(std::hypot(m.x, m.y, m.z), 0.0, 1e-9);
}

TEST(LjSystem, ThermostatBringsTheTemperatureToItsTargetAndOffLeavesItFree) {
    for (const double target : {0.7, 1.6}) {
        SCOPED_TRACE(target);
        LjSettings settings;
        settings.atomCount = 256;
        settings.density = 0.8;
        settings.temperature = 1.0;
        LjSystem held(settings);
        held.SetThermostat(true, target);
        held.Step(1000);  // ten coupling times
        double mean = 0;
        for (int i = 0; i < 100; ++i) {
            held.Step(5);
            mean += held.Temperature() / 100;
        }
        EXPECT_NEAR(mean, target, 0.03 * target);
    }
    // Without it the melting lattice cools well below its start.
    LjSettings settings;
    settings.atomCount = 256;
    settings.thermostat = false;
    LjSystem free(settings);
    free.Step(1000);
    EXPECT_LT(free.Temperature(), 0.8);
}

}  // namespace
