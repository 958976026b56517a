#pragma once
/// PartnerTree: a k-d tree over one frame's atoms that finds an atom's nearest bond partners in bounded work.
#include <cstdint>
#include <vector>

#include "model/bond_rule.h"

namespace zelvor {

/// The atoms of one frame with finite coordinates in a k-d tree of small leaves. Each node knows its bounding
/// box, its largest radius and its lowest atom number, so that a search skips a node when no atom in it can be
/// within reach or can beat the partners already found, equal distances included: atoms at one point and dense
/// clusters cost a few descents of the tree, not a scan.
class PartnerTree {
public:
    /// Builds the tree over atoms 1..count, leaving out atoms with a non-finite coordinate. Reads element records:
    /// call under the atom lock.
    void Build(const Atom* atoms, int count);

    /// Number of atoms in the tree ("entries"), in tree order: neighbours in space are mostly near in order.
    std::size_t EntryCount() const { return entries_.size(); }
    /// Atom number of entry e.
    std::uint32_t AtomOf(std::size_t e) const { return entries_[e].atom; }

    /// Writes the partners of entry e to out[0 .. MAX_BONDS) as atom numbers, nearest first and equal distances
    /// by atom number; returns how many and adds the work done to counts.
    int Partners(std::size_t e, std::uint32_t* out, BondSearchCounts& counts) const;

private:
    struct Entry {
        BondSphere sphere;
        std::uint32_t atom;
    };
    struct Node {
        double lo[3], hi[3];  ///< bounding box of the node's entries
        double maxRadius;     ///< largest radius that is not NaN; -inf when there is none
        std::uint32_t begin, end;
        std::uint32_t minAtom;
        std::uint32_t right;  ///< right child; the left child is the next node; 0 for a leaf
    };

    std::uint32_t BuildNode(std::uint32_t begin, std::uint32_t end);

    std::vector<Entry> entries_;
    std::vector<Node> nodes_;
};

}  // namespace zelvor
