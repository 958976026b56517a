#pragma once
/// CDisplayPagesHost: what the display pages ask of the configuration sheet that holds them.

namespace zelvor {

/// What the display pages ask of the configuration sheet that holds them.
class CDisplayPagesHost {
public:
    /// A page changed a setting: the animation dialog marks the animation as "Custom".
    virtual void SetCustomSettings() = 0;
    /// "Use Clip Planes" was switched: the animation dialog enables its clip-plane oscillations only while on.
    virtual void ClipPlanesSwitched(bool on) = 0;

protected:
    ~CDisplayPagesHost() = default;
};

}  // namespace zelvor
