#include "modules/ondrel/lj_system.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace zelvor::ondrel {
namespace {

double Wrap(double c, double box) {
    c -= box * std::floor(c / box);
    return c < box ? c : 0.0;  // rounding can land a tiny negative value exactly on the edge
}

}  // namespace

LjSystem::LjSystem(const LjSettings& settings) : settings_(settings) {
    const int n = std::max(settings_.atomCount, 2);
    box_ = std::max(std::cbrt(n / settings_.density), 2.0 * kCutoff);
    positions_.resize(static_cast<std::size_t>(n));
    PlaceOnLattice();
    DrawVelocities(settings_.seed);
    UpdateForces();
}

void LjSystem::PlaceOnLattice() {
    const int n = AtomCount();
    int cells = 1;
    while (4 * cells * cells * cells < n)
        ++cells;
    const double a = box_ / cells;
    static constexpr double kBasis[4][3] = {{0.25, 0.25, 0.25}, {0.75, 0.75, 0.25}, {0.75, 0.25, 0.75},
                                            {0.25, 0.75, 0.75}};
    int placed = 0;
    for (int k = 0; k < cells && placed < n; ++k)
        for (int j = 0; j < cells && placed < n; ++j)
            for (int i = 0; i < cells && placed < n; ++i)
                for (int b = 0; b < 4 && placed < n; ++b)
                    positions_[placed++] = {(i + kBasis[b][0]) * a, (j + kBasis[b][1]) * a, (k + kBasis[b][2]) * a};
}

void LjSystem::DrawVelocities(unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    velocities_.resize(positions_.size());
    Vec3 mean;
    for (Vec3& v : velocities_) {
        v = {gauss(random), gauss(random), gauss(random)};
        mean.x += v.x; mean.y += v.y; mean.z += v.z;
    }
    const double n = static_cast<double>(velocities_.size());
    for (Vec3& v : velocities_) {
        v.x -= mean.x / n; v.y -= mean.y / n; v.z -= mean.z / n;
    }
    const double now = Temperature();
    const double scale = now > 0 ? std::sqrt(std::max(settings_.temperature, 0.0) / now) : 0.0;
    for (Vec3& v : velocities_) {
        v.x *= scale; v.y *= scale; v.z *= scale;
    }
}

void LjSystem::SetState(std::vector<Vec3> positions, std::vector<Vec3> velocities) {
    positions_ = std::move(positions);
    velocities_ = std::move(velocities);
    velocities_.resize(positions_.size());
    for (Vec3& p : positions_)
        p = {Wrap(p.x, box_), Wrap(p.y, box_), Wrap(p.z, box_)};
    UpdateForces();
}

void LjSystem::SetThermostat(bool on, double targetTemperature) {
    settings_.thermostat = on;
    settings_.temperature = targetTemperature;
}

void LjSystem::UpdateForces() { potential_ = pairForces_.Compute(box_, positions_, forces_); }

void LjSystem::Step(int count) {
    const double dt = settings_.timeStep;
    const std::size_t n = positions_.size();
    for (int s = 0; s < count; ++s) {
        for (std::size_t i = 0; i < n; ++i) {
            Vec3& v = velocities_[i];
            Vec3& p = positions_[i];
            const Vec3& f = forces_[i];
            v.x += 0.5 * dt * f.x; v.y += 0.5 * dt * f.y; v.z += 0.5 * dt * f.z;
            p = {Wrap(p.x + dt * v.x, box_), Wrap(p.y + dt * v.y, box_), Wrap(p.z + dt * v.z, box_)};
        }
        UpdateForces();
        for (std::size_t i = 0; i < n; ++i) {
            Vec3& v = velocities_[i];
            const Vec3& f = forces_[i];
            v.x += 0.5 * dt * f.x; v.y += 0.5 * dt * f.y; v.z += 0.5 * dt * f.z;
        }
        if (settings_.thermostat)
            ApplyThermostat();
    }
}

void LjSystem::ApplyThermostat() {
    const double now = Temperature();
    if (now <= 0)
        return;
    const double ratio = 1.0 + settings_.timeStep / settings_.thermostatTime * (settings_.temperature / now - 1.0);
    const double scale = std::sqrt(std::max(ratio, 0.0));
    for (Vec3& v : velocities_) {
        v.x *= scale; v.y *= scale; v.z *= scale;
    }
}

LjEnergies LjSystem::Energies() const {
    double twice = 0;
    for (const Vec3& v : velocities_)
        twice += v.x * v.x + v.y * v.y + v.z * v.z;
    return {0.5 * twice, potential_};
}

double LjSystem::Temperature() const {
    const double dof = 3.0 * (static_cast<double>(velocities_.size()) - 1.0);
    return dof > 0 ? 2.0 * Energies().kinetic / dof : 0.0;
}

void LjSystem::CopyPositionsInAngstrom(double* x, double* y, double* z) const {
    for (std::size_t i = 0; i < positions_.size(); ++i) {
        x[i] = positions_[i].x * kAngstromPerSigma;
        y[i] = positions_[i].y * kAngstromPerSigma;
        z[i] = positions_[i].z * kAngstromPerSigma;
    }
}

}  // namespace zelvor::ondrel
