// Ondrel's speed: molecular-dynamics steps per second of 1,000 argon atoms on one core (cell-list forces,
// velocity Verlet, thermostat on), printed next to its target.
#include <chrono>
#include <cstdio>

#include "modules/ondrel/lj_system.h"

int main() {
    using Clock = std::chrono::steady_clock;
    zelvor::ondrel::LjSettings settings;
    settings.atomCount = 1000;
    settings.density = 0.8;
    settings.temperature = 1.0;
    zelvor::ondrel::LjSystem system(settings);
    system.Step(200);  // melt the lattice first: a liquid is what the module spends its time on

    double best = 0;
    for (int run = 0; run < 3; ++run) {
        const int steps = 1000;
        const auto start = Clock::now();
        system.Step(steps);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (steps / seconds > best)
            best = steps / seconds;
    }
    std::printf("ondrel: %.0f steps/s for 1000 atoms at density 0.8 (target >= 1000)  T %.3f\n", best,
                system.Temperature());
    return best >= 1000 ? 0 : 1;
}
