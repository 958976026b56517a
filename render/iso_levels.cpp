#include "render/iso_levels.h"

#include <cmath>

namespace zelvor {

bool DefaultIsoLevels(const VoxelRange& r, double levels[6]) {
    if (!std::isfinite(r.max) || !std::isfinite(r.min) || !std::isfinite(r.shellMax) || !std::isfinite(r.shellMin))
        return false;
    if (r.shellMax > 0 && r.shellMin >= 0) {
        // Dense data: start just above what lies near the faces, unless the whole grid stays below that.
        const double top = r.shellMax > 0.1 ? r.shellMax : 0.1;
        const double m = r.max < top ? r.max : top;
        for (int l = 0; l < 6; ++l) levels[l] = m - l * (m - r.shellMin) / 6;
        return true;
    }
    if (r.shellMax >= 0 && r.shellMin < 0) {
        // Signed data (orbitals): split the six levels between the two signs.
        const double range = r.max - r.min;
        if (!(range > 0)) return false;
        double share = std::trunc(6 * (r.max - r.shellMax) / range);
        if (!(share >= 0)) share = 0;
        if (share > 6) share = 6;
        const int k = static_cast<int>(share);
        for (int l = 1; l <= k; ++l) levels[l - 1] = r.max - l * (r.max - r.shellMax) / k;
        for (int l = 1; l <= 6 - k; ++l) levels[k + l - 1] = r.min + l * (r.shellMin - r.min) / (6 - k);
        return true;
    }
    return false;
}

}  // namespace zelvor
