#pragma once
// A governor whose readings come from a script and whose posted requests are applied at once, as the
// user-interface thread would.
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "render/governor.h"

namespace zelvor::test {

struct ScriptedGovernor {
    C3DViewSettings settings{C3DViewSettings::Transient{}};
    std::recursive_mutex settingsLock;
    std::deque<double> script;  // one entry per GetCPUPercent; the last one repeats
    std::function<double()> reading;  // when set, replaces the script
    std::vector<std::pair<int, int>> posts;
    std::vector<int> qualityAfterPost;
    int readings = 0;
    std::unique_ptr<CTessellationGovernor> governor;

    explicit ScriptedGovernor(GovernorLimits limits) {
        settings.optimiseTessellation = 1;
        settings.showSurface = 0;
        settings.surfaceDistance = 1.0;
        settings.renderQuality = 15;
        governor = std::make_unique<CTessellationGovernor>(
            settings, settingsLock,
            [this] {
                ++readings;
                if (reading) return reading();
                const double value = script.front();
                if (script.size() > 1) script.pop_front();
                return value;
            },
            [this](int kind, int amount) {
                posts.emplace_back(kind, amount);
                governor->OnSetSceneTesselation(kind, amount);
                qualityAfterPost.push_back(settings.renderQuality);
            });
        governor->SetLimits(limits);
    }
};

}  // namespace zelvor::test
