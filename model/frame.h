#pragma once
/// One frame of the molecular system: its atoms, cell, bonds and (cube files) voxel grid.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "model/atom.h"
#include "model/vector.h"

namespace zelvor {

inline constexpr int MAX_FRAMES = 5000;
inline constexpr int COMMENT_SIZE = 500;  ///< comment buffer of a frame, terminator included
inline constexpr int TITLE_SIZE = 10000;  ///< title text of a PDB document, terminator included
inline constexpr int LABEL_SIZE = 124;    ///< labels and comment words, terminator included

/// Bond partners of one frame's atoms as atom numbers, nearest first (ties by atom number): the partners of
/// atom i are partner[first[i]] .. partner[first[i + 1] - 1]. Empty until the frame's bonds are established.
struct FrameBonds {
    std::vector<std::uint32_t> first;    ///< atomCount + 2 entries once established
    std::vector<std::uint32_t> partner;  ///< at most MAX_BONDS per atom

    /// Partners of atom i (none before the bonds are established or outside 1..atomCount).
    std::span<const std::uint32_t> Of(int i) const {
        if (i < 1 || static_cast<std::size_t>(i) + 1 >= first.size()) return {};
        return {partner.data() + first[i], partner.data() + first[i + 1]};
    }
    int Count(int i) const { return static_cast<int>(Of(i).size()); }
    /// True when atom a lists atom b among its partners.
    bool Has(int a, int b) const {
        for (const std::uint32_t p : Of(a))
            if (p == static_cast<std::uint32_t>(b)) return true;
        return false;
    }
    void Clear() {
        first = {};
        partner = {};
    }
};

/// Records for atoms 1..count of a frame (index 0 unused), each a new atom.
inline std::unique_ptr<Atom[]> MakeAtoms(int count) { return std::unique_ptr<Atom[]>(new Atom[count + 1]); }

/// Volumetric data of one cube frame, indexed [i][j][k] with k running fastest.
struct VoxelGrid {
    int nx = 0, ny = 0, nz = 0;
    std::vector<float> values;
    /// Range of all values and of the six planes 3 voxels inside the faces; both include 0.
    double min = 0.0, max = 0.0, shellMin = 0.0, shellMax = 0.0;
    bool Empty() const { return values.empty(); }
    float& At(int i, int j, int k) { return values[(static_cast<std::size_t>(i) * ny + j) * nz + k]; }
    float At(int i, int j, int k) const { return values[(static_cast<std::size_t>(i) * ny + j) * nz + k]; }
};

/// One frame of the system.
struct Frame {
    std::unique_ptr<Atom[]> atoms;          ///< atomCount + 1 records, atom 0 unused
    int atomCount = 0;
    std::unique_ptr<char[]> commentBuffer;  ///< COMMENT_SIZE bytes, owned (not used by PDB frames)
    const char* comment = "";               ///< the frame's comment: its own buffer or the document title
    Vector cellA, cellB, cellC;
    std::array<Vector, 8> cellCorners{};
    Vector cellInverse[3];
    Vector reciprocal[3];
    double halfMinCell = 0.0;
    double maxCellWidth = 50.0;
    double invMaxCellWidth = 1.0 / 50.0;
    FrameBonds bonds;                       ///< filled when bondsDone is set
    bool bondsDone = false;
    bool cellGiven = false;                 ///< the file gave this frame's cell (else the reader made one)
    int displayedBonds = 0;                 ///< bonds drawn by the view for this frame
    Vector gridStep[3];                     ///< cube frames: the three axis step vectors (Ångström)
    VoxelGrid voxels;                       ///< cube frames only

    /// Frees the frame's atoms, comment and voxels; its atoms will need bonding again.
    void Clear() {
        atoms.reset();
        atomCount = 0;
        commentBuffer.reset();
        comment = "";
        voxels = VoxelGrid{};
        bonds.Clear();
        bondsDone = false;
        displayedBonds = 0;
    }
};

/// Bond test of the drawing code: within maxLength on every axis and in length.
inline bool BondWithinLength(const Vector& a, const Vector& b, double maxLength) {
    const Vector d = b - a;
    const double ax = d.x < 0 ? -d.x : d.x, ay = d.y < 0 ? -d.y : d.y, az = d.z < 0 ? -d.z : d.z;
    return ax <= maxLength && ay <= maxLength && az <= maxLength && d * d <= maxLength * maxLength;
}

/// Calls visit(a, b) with the atom numbers of every bond the drawing code shows: each listed partner b of
/// each atom a (so a pair normally comes once from each end) whose distance passes BondWithinLength.
template <class Visit>
void ForEachDrawnBond(const Frame& frame, double maxLength, Visit&& visit) {
    for (int a = 1; a <= frame.atomCount; ++a)
        for (const std::uint32_t b : frame.bonds.Of(a))
            if (BondWithinLength(frame.atoms[a].position, frame.atoms[b].position, maxLength))
                visit(a, static_cast<int>(b));
}

}  // namespace zelvor
