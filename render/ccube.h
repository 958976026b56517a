#pragma once
/// CCube and CCubeGrid: the cubic grid of the molecular surface, where each cell lists every atom whose
/// sphere reaches it, so that a sample of the field looks at the atoms of 27 cells only.
#include <cstdint>
#include <vector>

#include "model/atom.h"
#include "model/cell_list.h"

namespace zelvor {

/// One cell of the grid: its atoms, in atom order.
struct CCube {
    int count = 0;
    const Atom* const* atomList = nullptr;
};

/// nx * ny * nz cells indexed (ix, iy, iz). Atoms are added cell by cell; CreateAtomsList then sorts them
/// into the cells' lists through the shared cell list.
class CCubeGrid {
public:
    CCubeGrid(int nx, int ny, int nz);
    CCubeGrid(const CCubeGrid&) = delete;
    CCubeGrid& operator=(const CCubeGrid&) = delete;

    /// Lists the atom in cell (ix, iy, iz), which must lie in the grid; adding it twice changes nothing.
    void AddAtomA(int ix, int iy, int iz, const Atom* atom);
    /// Turns the additions into the cells' atom lists.
    void CreateAtomsList();

    CCube& At(int ix, int iy, int iz) { return cells_[Index(ix, iy, iz)]; }
    const CCube& At(int ix, int iy, int iz) const { return cells_[Index(ix, iy, iz)]; }
    int Nx() const { return nx_; }
    int Ny() const { return ny_; }
    int Nz() const { return nz_; }

private:
    std::size_t Index(int ix, int iy, int iz) const { return (static_cast<std::size_t>(ix) * ny_ + iy) * nz_ + iz; }

    int nx_, ny_, nz_;
    std::vector<CCube> cells_;
    std::vector<std::uint64_t> addedKeys_;
    std::vector<const Atom*> added_;
    std::vector<const Atom*> listed_;  ///< the atoms of every cell, cell after cell
};

}  // namespace zelvor
