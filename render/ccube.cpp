#include "render/ccube.h"

#include <algorithm>

namespace zelvor {

CCubeGrid::CCubeGrid(int nx, int ny, int nz)
    : nx_(std::max(nx, 0)), ny_(std::max(ny, 0)), nz_(std::max(nz, 0)),
      cells_(static_cast<std::size_t>(nx_) * ny_ * nz_) {}

void CCubeGrid::AddAtomA(int ix, int iy, int iz, const Atom* atom) {
    addedKeys_.push_back(CCellList::Key(static_cast<std::uint64_t>(ix), static_cast<std::uint64_t>(iy),
                                        static_cast<std::uint64_t>(iz)));
    added_.push_back(atom);
}

void CCubeGrid::CreateAtomsList() {
    CCellList list;
    const std::uint64_t top[3] = {static_cast<std::uint64_t>(std::max(nx_ - 1, 0)),
                                  static_cast<std::uint64_t>(std::max(ny_ - 1, 0)),
                                  static_cast<std::uint64_t>(std::max(nz_ - 1, 0))};
    const std::vector<std::uint32_t> order = list.Sort(addedKeys_, top);
    for (CCube& cell : cells_) cell = CCube{};
    // Each cell lists its atoms once, in atom order (the order of their records): first their ranges in
    // listed_, then, once listed_ no longer grows, the pointers into it.
    std::vector<std::pair<CCube*, std::size_t>> firstOf;
    listed_.clear();
    listed_.reserve(order.size());
    for (int c = 0; c < list.CellCount(); ++c) {
        const std::uint64_t key = addedKeys_[order[list.CellBegin(c)]];
        CCube& cube = At(static_cast<int>(key >> (2 * CCellList::kAxisBits)),
                         static_cast<int>((key >> CCellList::kAxisBits) & CCellList::kAxisMask),
                         static_cast<int>(key & CCellList::kAxisMask));
        const std::size_t first = listed_.size();
        for (std::uint32_t e = list.CellBegin(c); e < list.CellBegin(c + 1); ++e) listed_.push_back(added_[order[e]]);
        std::sort(listed_.begin() + static_cast<std::ptrdiff_t>(first), listed_.end(), std::less<const Atom*>());
        listed_.erase(std::unique(listed_.begin() + static_cast<std::ptrdiff_t>(first), listed_.end()), listed_.end());
        cube.count = static_cast<int>(listed_.size() - first);
        firstOf.emplace_back(&cube, first);
    }
    for (const auto& [cube, first] : firstOf) cube->atomList = listed_.data() + first;
    addedKeys_ = {};
    added_ = {};
}

}  // namespace zelvor
