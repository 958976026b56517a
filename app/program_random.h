#pragma once
/// The program's pseudo-random generator: values 0..32767, seeded with the time at start-up.
namespace zelvor {

/// Largest value ProgramRandom returns.
constexpr int PROGRAM_RANDOM_MAX = 32767;

/// Restarts the sequence from seed. The process starts seeded with the current time; the start-up seeds
/// it again the same way, tests with fixed seeds.
void SeedProgramRandom(unsigned seed);
/// The next value, 0..PROGRAM_RANDOM_MAX; the same seed gives the same sequence on every platform.
int ProgramRandom();

}  // namespace zelvor
