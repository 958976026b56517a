#pragma once
/// The bond partner search of one frame.
#include <functional>

#include "model/bond_rule.h"
#include "model/frame.h"

namespace zelvor {

/// Finds the partners of atoms 1..count: every other atom within 2 * max(rA, rB) (van der Waals radii),
/// at most MAX_BONDS of them, the nearest first and equal distances by atom number. Atoms with a
/// coordinate that is not finite get none. step() is called once per atom and stops the search by
/// returning false (out is then incomplete). Reads element records: call under the atom lock.
bool FindBondPartners(const Atom* atoms, int count, FrameBonds& out, const std::function<bool()>& step);

/// FindBondPartners that also adds the work it did to counts (diagnostics and tests).
bool FindBondPartners(const Atom* atoms, int count, FrameBonds& out, const std::function<bool()>& step,
                      BondSearchCounts& counts);

}  // namespace zelvor
