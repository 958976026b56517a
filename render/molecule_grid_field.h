#pragma once
/// CMoleculeGridField: the molecular field of one frame (see CMoleculeField) sampled on a cubic grid, a plane of
/// points at a time. It gives at every point exactly what CMoleculeField::GetMoleculeDistance gives there, but
/// works atom by atom over the points of one cell of the atom grid (every point of a cell sees the same atoms in
/// the same order), and reads the atoms once, under one hold of the atom lock.
#include <cstdint>
#include <vector>

#include "model/dravik_doc.h"
#include "render/ccube.h"

namespace zelvor {

class CMoleculeGridField {
public:
    /// Points origin + m * step (m < points) along each axis. Copies the positions, radii and colours of the
    /// atoms in `cells` under the atom lock, unless the document's contents are no longer those of `generation`
    /// (the cells would point at freed atoms): the field is then Stale() and samples nothing.
    CMoleculeGridField(const Frame& frame, const CCubeGrid& cells, double scale, double origin, double step,
                       int points, const CDravikDoc* doc = nullptr, std::uint64_t generation = 0);

    bool Stale() const { return stale_; }
    int Points() const { return points_; }

    /// The field on plane i (x = origin + i * step): points * points values, row j (y) after row, k (z) fastest.
    void SampleValues(int i, float* values);

    /// Where wanted[j * points + k] is set on plane i: the field 0.01 further along x, y and z, and the blended
    /// colour. The other points are left as they are.
    struct Details {
        float* sx;
        float* sy;
        float* sz;
        float* red;
        float* green;
        float* blue;
    };
    void SampleDetails(int i, const std::uint8_t* wanted, const Details& out);

private:
    /// The atoms a point of one cell looks at: those listed in the 3 x 3 x 3 cells around it, cell after cell.
    struct Neighbourhood {
        std::vector<std::uint32_t> listed;  ///< every listing, in order (an atom may be listed by several cells)
        std::vector<std::uint32_t> unique;  ///< the first listing of each atom
        std::vector<std::uint32_t> uniqueOf;  ///< for each listing, its atom's place in `unique`
    };
    /// The neighbourhoods of the cells of one x column of the atom grid.
    struct Column {
        int cx = -1;
        std::uint64_t lastUse = 0;
        std::vector<Neighbourhood> cells;  ///< [cy * ny + cz]
    };
    /// The points of one plane that share a cell: rows `js`, columns `ks`.
    const Column& ColumnOf(int cx);
    void BuildColumn(Column& column, int cx);
    /// For the points of one cell (py_, pz_): the nearest atoms so far along each neighbour and for the value.
    void TrackNearest(std::uint32_t listing, double x, std::size_t points);
    /// For the points of one cell: the colour sums over the cell's neighbourhood.
    void BlendColours(const Neighbourhood& nb, double x, std::size_t points);

    double W_, K_;
    int points_;
    int n_[3];
    std::vector<double> coordinate_;   ///< origin + m * step
    std::vector<int> cellOf_[3];       ///< cell index of each coordinate along each axis, -1 outside the grid
    std::vector<std::vector<int>> pointsOfCell_[2];  ///< along y and z: the point indices in each cell
    bool stale_ = false;

    // The listings of every cell, cell after cell, with what the field needs of each listed atom.
    std::vector<std::uint32_t> firstListing_;  ///< per cell (ix, iy, iz), and one past the end
    std::vector<double> x_, y_, z_, r_, red_, green_, blue_;
    std::vector<std::uint32_t> atomId_;
    std::uint32_t atomIds_ = 0;

    Column columns_[2];
    std::uint64_t uses_ = 0;
    std::vector<std::uint32_t> seen_;  ///< per atom id: the neighbourhood that last took it, plus one
    std::vector<std::uint32_t> placeOf_;

    // Per cell of points: state of the points and terms of the rows and columns.
    std::vector<double> t0_, s0_;
    std::vector<int> pj_, pk_;
    std::vector<double> py_, pz_;
    std::vector<double> tx_, ty_, tz_, sxq_, syq_, szq_, yDone_, r0_, g0_, b0_, weights_, w_;
};

}  // namespace zelvor
