#pragma once
/// CSceneLists: one view's display lists (element spheres, bond tubes, the scene) and the settings they were
/// compiled for, so that a paint with nothing changed compiles nothing. The names belong to the view's context;
/// the compiles need it current and the caller to hold the atom lock.
#include <array>
#include <map>
#include <string>

#include "model/atom.h"
#include "model/frame.h"
#include "render/tessellation.h"
#include "render/view_settings.h"

namespace zelvor {

/// One tube display list shared by the bonds of one key.
struct BondDisplayList {
    unsigned int name = 0;
};

/// How often each compile did real work (a paint with nothing changed adds nothing).
struct CompileCounts {
    int atomLists = 0;
    int bondLists = 0;   ///< bond compiles (one pass over all bonds)
    int sceneLists = 0;
};

class CSceneLists {
public:
    /// `settings` must outlive the lists; compiling the scene clears their scene-changed flag.
    explicit CSceneLists(C3DViewSettings& settings) : settings_(settings) {}

    /// The bond key: both element symbols and the length * 20 truncated ("%s%s%d").
    static std::string GetLengthPairLabels(double length, const Atom& first, const Atom& second);

    /// True when the sphere lists were compiled for this quality and the current atom scale.
    bool AtomListsCurrent(int quality) const;
    /// Compiles the sphere list of every element, plain and selected.
    void CompileAtomLists(int quality);
    /// True when the tube lists were compiled for these counts and the current bond size and length limit.
    bool BondListsCurrent(const TessellationCounts& counts) const;
    /// One tube list per bond key of the frame's drawn bonds, which it counts into frame.displayedBonds.
    void CompileBondLists(Frame& frame, const TessellationCounts& counts);
    /// True when the scene list shows this frame and the settings have not changed since.
    bool SceneCurrent(int frameNr) const;
    /// Light, cell box, bonds and atoms of the frame into a new scene list.
    void CompileSceneList(const Frame& frame, int frameNr);
    /// New contents: the tubes are compiled again at the next paint.
    void ForgetBondSettings();
    /// Calls the scene list, when there is one.
    void CallSceneList() const;
    /// Deletes every list while the context is current; otherwise only forgets the names that went with it.
    void Release(bool contextCurrent);

    /// How often each compile did real work.
    const CompileCounts& Counts() const { return counts_; }
    /// The tube list of each bond key.
    const std::map<std::string, BondDisplayList>& BondLists() const { return bondLists_; }

private:
    C3DViewSettings& settings_;
    double lastAtomScale_ = -1.0;
    int lastRenderQuality_ = 0;
    double lastBondSize_ = -1.0, lastMaxBondLength_ = -1.0;
    int lastTubeSlices_ = 0, lastTubeStacks_ = 0;
    int lastSceneFrame_ = -1;
    unsigned int sceneList_ = 0;
    /// Sphere list of each element row, unselected [0] and selected [1].
    std::array<std::array<unsigned int, ELEMENT_COUNT>, 2> elementLists_{};
    std::map<std::string, BondDisplayList> bondLists_;
    CompileCounts counts_;
};

}  // namespace zelvor
