#include "app/program_random.h"

#include <atomic>
#include <cstdint>
#include <ctime>

namespace zelvor {

namespace {

// A linear congruential generator with 15-bit output, so a seed gives one sequence regardless of the
// C library's rand(). Seeded with the time as the process starts, so no run repeats the previous one's
// sequence even before the start-up seeds it explicitly.
std::atomic<std::uint32_t> state{static_cast<std::uint32_t>(std::time(nullptr))};

constexpr std::uint32_t Next(std::uint32_t value) { return value * 214013u + 2531011u; }

}  // namespace

void SeedProgramRandom(unsigned seed) { state.store(seed); }

int ProgramRandom() {
    std::uint32_t current = state.load();
    while (!state.compare_exchange_weak(current, Next(current))) {
    }
    return static_cast<int>((Next(current) >> 16) & PROGRAM_RANDOM_MAX);
}

}  // namespace zelvor
