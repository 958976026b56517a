#pragma once
/// The element of an atom of a biomolecular file (PDB, mmCIF): its element symbol if the table knows it,
/// else its atom name by the PDB naming rules.
#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "model/atom.h"

namespace zelvor {

/// Decides elements from a 4-character atom name field (PDB columns 13-16: one-letter elements start in
/// its second column, "HG21" and "1HH3" are hydrogens) and a 2-character symbol field (blanks where there
/// is none). Symbols are matched without regard to case ("FE", "CL"). A file repeats few combinations,
/// so each answer is remembered.
class CElementMatcher {
public:
    /// name: exactly 4 characters; symbol: exactly 2.
    AtomData* Resolve(const char* name, const char* symbol);

    /// The first table record whose symbol equals label without regard to case; null if none does.
    static AtomData* Match(std::string_view label);

private:
    static AtomData* Decide(std::string_view name, std::string_view symbol);

    std::unordered_map<std::uint64_t, AtomData*> known_;
    std::uint64_t lastKey_ = 0;
    AtomData* lastElement_ = nullptr;
};

}  // namespace zelvor
