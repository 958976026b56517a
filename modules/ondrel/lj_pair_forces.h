#pragma once
/// Lennard-Jones forces in a periodic cubic box, reduced units (sigma = epsilon = 1): a neighbour list
/// built from cell lists.
#include <vector>

namespace zelvor::ondrel {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

/// Interaction range, in sigma.
inline constexpr double kCutoff = 2.5;
/// Margin of the neighbour list beyond the cutoff: the list stays valid until an atom has moved half of it.
inline constexpr double kSkin = 0.3;

/// Pair energy 4(r^-12 - r^-6) shifted by its value at the cutoff, so that it falls to 0 there.
double ShiftedPairEnergy(double r2);

/// Forces on every atom of a cubic periodic box of edge boxLength (positions inside [0, boxLength)).
/// Pairs closer than cutoff + skin are listed once, found through a grid of cells, so the cost
/// grows linearly with the atom count; the list is rebuilt when an atom has moved more than half the
/// skin since. A box narrower than three cells is listed pair by pair (a cell stencil would meet the same
/// neighbour twice there). Needs boxLength >= 2 * kCutoff.
class LjPairForces {
public:
    /// Writes the forces and returns the potential energy.
    double Compute(double boxLength, const std::vector<Vec3>& positions, std::vector<Vec3>& forces);

private:
    bool ListIsStale(double boxLength, const std::vector<Vec3>& positions) const;
    void BuildList(double boxLength, const std::vector<Vec3>& positions);
    void ListAllPairs(double boxLength, const std::vector<Vec3>& positions);
    void ListByCells(double boxLength, int cellsPerSide, int reach, const std::vector<Vec3>& positions);

    double listBox_ = 0;
    bool listed_ = false;
    std::vector<Vec3> listPositions_;  // where the atoms were when the list was built
    std::vector<int> neighbourStart_;  // atom i's partners j > i: neighbours_[start[i] .. start[i+1])
    std::vector<int> neighbours_;
    // Kept between builds so that a build allocates little.
    std::vector<int> cellOfAtom_, cellStart_, cellAtoms_;
    std::vector<std::vector<int>> partners_;
};

}  // namespace zelvor::ondrel
