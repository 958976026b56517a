#include "model/cell_list.h"

#include <algorithm>

namespace zelvor {

std::vector<std::uint32_t> CCellList::Sort(const std::vector<std::uint64_t>& keys, const std::uint64_t top[3]) {
    cellKey_.clear();
    cellStart_.clear();
    const std::size_t n = keys.size();
    // Stable, so that the entries of one cell keep their order. A compact set of cells gets a counting sort
    // over its index box; a sparse one (far outliers, long chains) a comparison sort.
    std::vector<std::uint32_t> order(n);
    const std::uint64_t span[3] = {top[0] + 1, top[1] + 1, top[2] + 1};
    const double boxCells = static_cast<double>(span[0]) * static_cast<double>(span[1]) * static_cast<double>(span[2]);
    if (boxCells <= 4.0 * static_cast<double>(n) + 64.0) {
        auto linear = [&](std::uint64_t key) {
            return ((key >> (2 * kAxisBits)) * span[1] + ((key >> kAxisBits) & kAxisMask)) * span[2] +
                   (key & kAxisMask);
        };
        std::vector<std::uint32_t> first(static_cast<std::size_t>(boxCells) + 1, 0);
        for (std::size_t e = 0; e < n; ++e) ++first[linear(keys[e]) + 1];
        for (std::size_t c = 1; c < first.size(); ++c) first[c] += first[c - 1];
        for (std::size_t e = 0; e < n; ++e) order[first[linear(keys[e])]++] = static_cast<std::uint32_t>(e);
    } else {
        for (std::size_t e = 0; e < n; ++e) order[e] = static_cast<std::uint32_t>(e);
        std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
    }
    for (std::size_t e = 0; e < n; ++e) {
        const std::uint64_t key = keys[order[e]];
        if (e == 0 || key != cellKey_.back()) {
            cellKey_.push_back(key);
            cellStart_.push_back(static_cast<std::uint32_t>(e));
        }
    }
    cellStart_.push_back(static_cast<std::uint32_t>(n));
    return order;
}

}  // namespace zelvor
