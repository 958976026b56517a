#pragma once
/// The scalar fields that the marching-cubes engine samples: the distance field of a molecule frame and the
/// voxel grid of a cube frame. Both read one frame only.
#include "model/dravik_doc.h"
#include "render/ccube.h"

namespace zelvor {

/// The molecular field of one frame: the tangent length from a point to the nearest atom sphere, with the
/// atoms' colours blended around it, at one point (the surface engine samples whole grids with CMoleculeGridField,
/// which gives the same values). The engine sorts the frame's atoms into `cells` (a grid spanning the frame's
/// box, maxCellWidth wide) before sampling; the grid and the frame must outlive the field.
class CMoleculeField {
public:
    /// scale is K, the surface distance; no grid gives a field of 0 everywhere. With a document, every sample
    /// first checks that its contents are still those of `generation` (the atoms the cells point at).
    CMoleculeField(const Frame& frame, const CCubeGrid* cells, double scale, const CDravikDoc* doc = nullptr,
                   std::uint64_t generation = 0);

    /// Tangent length to the nearest atom sphere at (x, y, z). With sx, sy, sz all positive on entry they
    /// return the field at the point moved by 0.01 along x, y and z; red, green and blue the blended colour.
    double GetMoleculeDistance(const double& x, const double& y, const double& z, Atom& nearest, float& red,
                               float& green, float& blue, float& sx, float& sy, float& sz) const;
    /// True once the document freed the atoms: samples since then gave the box width and nothing else.
    bool Stale() const { return stale_; }

private:
    const Frame& frame_;
    const CCubeGrid* cells_;
    double scale_;
    const CDravikDoc* doc_;
    std::uint64_t generation_;
    mutable bool stale_ = false;
};

/// Value of the frame's voxel grid nearest to (x, y, z), the grid centred on the origin; 0 outside it or
/// without voxels. With sx, sy, sz positive on entry they return the next voxel along each axis.
double GetGaussianCubeVoxel(const Frame& frame, const double& x, const double& y, const double& z, Atom& nearest,
                            float& red, float& green, float& blue, float& sx, float& sy, float& sz);

}  // namespace zelvor
