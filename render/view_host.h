#pragma once
/// CViewHost: what a view asks of the window that shows it. A view without a host draws into whatever
/// context is current and asks nobody anything (tools, tests, benchmarks).
#include <optional>
#include <string>

#include "render/governor.h"

namespace zelvor {

class CViewHost {
public:
    /// Asks for a repaint (the user-interface thread calls it, never a worker).
    virtual void RequestRepaint() {}
    /// Makes the host's context current; false when it cannot.
    virtual bool MakeContextCurrent() { return false; }
    /// Sets the frame window's caption.
    virtual void SetFrameWindowText(const std::string& /*text*/) {}
    /// Whether an animation dialog animates the view (the governor runs only then).
    virtual bool IsAnimating() const { return false; }
    /// Limits for a governor run that may start now; none keeps the view's own.
    virtual std::optional<GovernorLimits> GovernorLimitsNow() const { return std::nullopt; }
    /// The view set up new contents: the host may poll at another rate.
    virtual void UpdatePollingFrequency() {}
    /// New data: the host's animation dialog applies this predefined animation.
    virtual void ApplyPredefinedAnimation(int /*animation*/) {}
    /// A file was loaded: the animation dialog shows its frames.
    virtual void RefreshAnimationDialog() {}
    /// A rotation ended: the camera page shows the new angles.
    virtual void RefreshCameraPage() {}

protected:
    ~CViewHost() = default;
};

}  // namespace zelvor
