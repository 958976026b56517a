#pragma once
/// A Lennard-Jones fluid (argon in reduced units: sigma = epsilon = mass = 1) in a periodic cubic box,
/// moved by velocity Verlet with an optional Berendsen thermostat.
#include <vector>

#include "modules/ondrel/lj_pair_forces.h"

namespace zelvor::ondrel {

/// Angstrom per sigma for argon: positions are published in angstrom.
inline constexpr double kAngstromPerSigma = 3.4;

struct LjSettings {
    int atomCount = 500;
    double density = 0.8;        ///< atoms per sigma^3
    double temperature = 1.0;    ///< of the starting velocities, and the thermostat's target
    double timeStep = 0.002;     ///< in units of sigma * sqrt(mass / epsilon)
    bool thermostat = true;
    double thermostatTime = 0.1; ///< Berendsen coupling time
    unsigned seed = 1;           ///< of the starting velocities
};

struct LjEnergies {
    double kinetic = 0;
    double potential = 0;
    double Total() const { return kinetic + potential; }
};

class LjSystem {
public:
    /// Atoms on an fcc lattice filling the box, Maxwell velocities at the temperature, no net momentum.
    /// A box too small for the cutoff (fewer than about 125 atoms at liquid density) is widened to twice the
    /// cutoff: the density then comes out lower than asked.
    explicit LjSystem(const LjSettings& settings);

    /// Advances by count time steps.
    void Step(int count = 1);

    /// Replaces positions (wrapped into the box) and velocities; forces follow.
    void SetState(std::vector<Vec3> positions, std::vector<Vec3> velocities);
    void SetThermostat(bool on, double targetTemperature);

    int AtomCount() const { return static_cast<int>(positions_.size()); }
    double BoxLength() const { return box_; }
    const std::vector<Vec3>& Positions() const { return positions_; }
    const std::vector<Vec3>& Velocities() const { return velocities_; }
    const std::vector<Vec3>& Forces() const { return forces_; }
    LjEnergies Energies() const;
    /// Kinetic temperature over the 3N - 3 degrees of freedom left by the fixed total momentum.
    double Temperature() const;

    /// Positions in angstrom, inside [0, box edge in angstrom).
    void CopyPositionsInAngstrom(double* x, double* y, double* z) const;

private:
    void PlaceOnLattice();
    void DrawVelocities(unsigned seed);
    void UpdateForces();
    void ApplyThermostat();

    LjSettings settings_;
    double box_ = 0;
    double potential_ = 0;
    std::vector<Vec3> positions_;
    std::vector<Vec3> velocities_;
    std::vector<Vec3> forces_;
    LjPairForces pairForces_;
};

}  // namespace zelvor::ondrel
