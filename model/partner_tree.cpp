#include "model/partner_tree.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace zelvor {

namespace {

/// Entries per leaf at most; halving splits leave between half and all of this, so a tree over any int count
/// of atoms is at most 27 levels deep.
constexpr std::uint32_t kLeafSize = 32;

double Coordinate(const BondSphere& s, int axis) { return axis == 0 ? s.x : axis == 1 ? s.y : s.z; }

}  // namespace

void PartnerTree::Build(const Atom* atoms, int count) {
    entries_.clear();
    nodes_.clear();
    if (!atoms || count <= 0) return;
    entries_.reserve(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) {
        const Vector& p = atoms[i].position;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) continue;
        entries_.push_back(Entry{BondSphere{p.x, p.y, p.z, BondRadius(atoms[i])}, static_cast<std::uint32_t>(i)});
    }
    if (entries_.empty()) return;
    nodes_.reserve(4 * entries_.size() / kLeafSize + 2);
    BuildNode(0, static_cast<std::uint32_t>(entries_.size()));
}

std::uint32_t PartnerTree::BuildNode(std::uint32_t begin, std::uint32_t end) {
    const std::uint32_t index = static_cast<std::uint32_t>(nodes_.size());
    nodes_.emplace_back();
    Node node;
    node.begin = begin;
    node.end = end;
    node.right = 0;
    node.maxRadius = -std::numeric_limits<double>::infinity();
    node.minAtom = entries_[begin].atom;
    for (int k = 0; k < 3; ++k) node.lo[k] = node.hi[k] = Coordinate(entries_[begin].sphere, k);
    for (std::uint32_t e = begin; e < end; ++e) {
        const Entry& entry = entries_[e];
        for (int k = 0; k < 3; ++k) {
            node.lo[k] = std::min(node.lo[k], Coordinate(entry.sphere, k));
            node.hi[k] = std::max(node.hi[k], Coordinate(entry.sphere, k));
        }
        if (entry.sphere.radius > node.maxRadius) node.maxRadius = entry.sphere.radius;  // NaN never widens it
        node.minAtom = std::min(node.minAtom, entry.atom);
    }
    if (end - begin > kLeafSize) {
        int axis = 0;
        for (int k = 1; k < 3; ++k)
            if (node.hi[k] - node.lo[k] > node.hi[axis] - node.lo[axis]) axis = k;
        // Equal coordinates split by atom number, so that coincident atoms fill subtrees of consecutive numbers
        // and the lowest-number bound of a node prunes them.
        const std::uint32_t middle = begin + (end - begin) / 2;
        std::nth_element(entries_.begin() + begin, entries_.begin() + middle, entries_.begin() + end,
                         [axis](const Entry& a, const Entry& b) {
                             const double u = Coordinate(a.sphere, axis), v = Coordinate(b.sphere, axis);
                             return u < v || (u == v && a.atom < b.atom);
                         });
        BuildNode(begin, middle);
        node.right = BuildNode(middle, end);
    }
    nodes_[index] = node;
    return index;
}

int PartnerTree::Partners(std::size_t e, std::uint32_t* out, BondSearchCounts& counts) const {
    const BondSphere& a = entries_[e].sphere;
    // With a NaN radius every reach is NaN: such an atom bonds nothing.
    if (std::isnan(a.radius)) return 0;
    const double at[3] = {a.x, a.y, a.z};
    NearestPartners nearest;

    // Squared box distance of a node, or -1 when no entry of it can be a partner: out of the node's largest
    // reach on an axis or in length, or unable to enter the list. Rounding is monotonic, so a gap never exceeds
    // the |dx| of an entry in the box, nor the gap's square sum the entry's squared distance.
    auto gapSquared = [&](const Node& node) -> double {
        ++counts.nodeTests;
        const double reach = BondReach(a.radius, node.maxRadius);
        double gap[3];
        for (int k = 0; k < 3; ++k) gap[k] = std::max(std::max(node.lo[k] - at[k], at[k] - node.hi[k]), 0.0);
        const double sum = gap[0] * gap[0] + gap[1] * gap[1] + gap[2] * gap[2];
        if (!WithinBondReach(gap[0], gap[1], gap[2], sum, reach) || !nearest.Admits(sum, node.minAtom)) return -1.0;
        return sum;
    };

    // A leaf in two passes: the bond rule and the list's bound without branches, then the list for the few
    // that pass.
    auto scanLeaf = [&](const Node& node) {
        counts.pairTests += node.end - node.begin;
        const double bound = nearest.Bound();
        std::uint32_t passed[kLeafSize];
        double passedD2[kLeafSize];
        int n = 0;
        for (std::uint32_t i = node.begin; i < node.end; ++i) {
            const Entry& b = entries_[i];
            const double dx = a.x - b.sphere.x, dy = a.y - b.sphere.y, dz = a.z - b.sphere.z;
            const double d2 = dx * dx + dy * dy + dz * dz;
            passed[n] = i;
            passedD2[n] = d2;
            n += WithinBondReach(dx, dy, dz, d2, BondReach(a.radius, b.sphere.radius)) & (d2 <= bound) & (i != e);
        }
        for (int k = 0; k < n; ++k) nearest.Offer(passedD2[k], entries_[passed[k]].atom);
    };

    // Depth-first, nearer children first, so that the list fills early and prunes the rest.
    struct Pending {
        std::uint32_t node;
        double gap2;
    };
    std::array<Pending, 32> stack;  // one pending sibling per level and the child just pushed
    int top = 0;
    if (const double gap2 = gapSquared(nodes_[0]); gap2 >= 0.0) stack[top++] = Pending{0, gap2};
    while (top > 0) {
        const Pending pending = stack[--top];
        const Node& node = nodes_[pending.node];
        // The list may have filled or tightened since the node was pushed.
        if (!nearest.Admits(pending.gap2, node.minAtom)) continue;
        if (node.right == 0) {
            scanLeaf(node);
            continue;
        }
        const std::uint32_t left = pending.node + 1, right = node.right;
        const double leftGap2 = gapSquared(nodes_[left]), rightGap2 = gapSquared(nodes_[right]);
        // Equal gaps favour the lower atom numbers.
        const bool leftFirst = leftGap2 >= 0.0 &&
                               (rightGap2 < 0.0 || leftGap2 < rightGap2 ||
                                (leftGap2 == rightGap2 && nodes_[left].minAtom < nodes_[right].minAtom));
        const Pending near = leftFirst ? Pending{left, leftGap2} : Pending{right, rightGap2};
        const Pending far = leftFirst ? Pending{right, rightGap2} : Pending{left, leftGap2};
        if (far.gap2 >= 0.0) stack[top++] = far;
        if (near.gap2 >= 0.0) stack[top++] = near;
    }
    return nearest.CopyTo(out);
}

}  // namespace zelvor
