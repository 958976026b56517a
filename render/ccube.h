#pragma once
/// CCube: one cell of the cubic grids used for bonds and surfaces.
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "model/atom.h"

namespace zelvor {

class CCube {
public:
    CCube() = default;
    virtual ~CCube();
    CCube(const CCube&) = delete;
    CCube& operator=(const CCube&) = delete;
    CCube(CCube&&) = default;
    CCube& operator=(CCube&&) = default;

    /// Inserts an atom into the fill set (a second insertion changes nothing).
    void AddAtomA(Atom* atom);
    /// Turns the fill set into atomList (set order) and empties the set.
    void CreateAtomsList();
    /// Frees atomList.
    void DeleteAtomList();

    std::int32_t unused = 0;
    int count = 0;
    std::unique_ptr<Atom*[]> atomList;
    std::set<Atom*> atomSet;
};

/// A grid of nx * ny * nz cells, indexed (ix, iy, iz), x outermost.
class CCubeGrid {
public:
    CCubeGrid(int nx, int ny, int nz);
    CCube& At(int ix, int iy, int iz) { return cells_[(static_cast<std::size_t>(ix) * ny_ + iy) * nz_ + iz]; }
    const CCube& At(int ix, int iy, int iz) const {
        return cells_[(static_cast<std::size_t>(ix) * ny_ + iy) * nz_ + iz];
    }
    int Nx() const { return nx_; }
    int Ny() const { return ny_; }
    int Nz() const { return nz_; }

private:
    int nx_, ny_, nz_;
    std::vector<CCube> cells_;
};

}  // namespace zelvor
