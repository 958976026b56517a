#include <algorithm>
#include <cmath>
#include <mutex>

#include "render/surface_fields.h"

#include "model/locks.h"

namespace zelvor {

namespace {

/// Grid index of a sample coordinate, or -1 outside 0..n-1 (also for NaN).
int TruncatedIndex(double v, int n) {
    if (!(v > -1.0 && v < n)) return -1;
    return static_cast<int>(v);
}

/// Nearest grid index (halves round up), or -1 outside 0..n-1.
int RoundedIndex(double v, int n) {
    const double r = std::floor(v + 0.5);
    if (!(r >= 0.0 && r <= n - 1)) return -1;
    return static_cast<int>(r);
}

double L1(double dx, double dy, double dz) { return std::fabs(dx) + std::fabs(dy) + std::fabs(dz); }

}  // namespace

CMoleculeField::CMoleculeField(const Frame& frame, const CCubeGrid* cells, double scale, const CDravikDoc* doc,
                               std::uint64_t generation)
    : frame_(frame), cells_(cells), scale_(scale), doc_(doc), generation_(generation) {}

double CMoleculeField::GetMoleculeDistance(const double& x, const double& y, const double& z, Atom& nearest,
                                           float& red, float& green, float& blue, float& sx, float& sy,
                                           float& sz) const {
    std::lock_guard lock(AtomLock());  // element records may be edited while their radii are read
    if (!cells_) return 0.0;
    const Frame& frame = frame_;
    const double W = frame.maxCellWidth;
    // The cells point at atoms that a new load or a closing document may have freed since they were made.
    if (doc_ && doc_->ContentGeneration() != generation_) stale_ = true;
    if (stale_) return W;
    const double K = scale_, K2 = scale_ * scale_;
    red = green = blue = 0.0f;
    double T0 = W, Tx = W, Ty = W, Tz = W;
    double S0 = 20.0, Sx = 20.0, Sy = 20.0, Sz = 20.0;
    double weightSum = 0.0;
    bool yDone = false;
    const bool wantNeighbours = sx > 0 && sy > 0 && sz > 0;

    const int nx = cells_->Nx(), ny = cells_->Ny(), nz = cells_->Nz();
    const int ix = TruncatedIndex((x * frame.invMaxCellWidth + 0.5) * (nx - 1), nx);
    const int iy = TruncatedIndex((y * frame.invMaxCellWidth + 0.5) * (ny - 1), ny);
    const int iz = TruncatedIndex((z * frame.invMaxCellWidth + 0.5) * (nz - 1), nz);
    if (ix < 0 || iy < 0 || iz < 0) return W;

    double r0 = 0, g0 = 0, b0 = 0;
    for (int jx = std::max(ix - 1, 0); jx <= std::min(ix + 1, nx - 1); ++jx)
        for (int jy = std::max(iy - 1, 0); jy <= std::min(iy + 1, ny - 1); ++jy)
            for (int jz = std::max(iz - 1, 0); jz <= std::min(iz + 1, nz - 1); ++jz) {
                const CCube& cell = cells_->At(jx, jy, jz);
                for (int n = 0; n < cell.count && cell.atomList; ++n) {
                    const Atom& A = *cell.atomList[n];
                    const AtomData& e = A.element ? *A.element : ElementTable()[FALLBACK_ELEMENT];
                    const double dx = A.position.x - x, dy = A.position.y - y, dz = A.position.z - z;
                    const double r = e.vdWRadius, r2 = r * r;

                    // Colour weights fall off with the fourth power of the L1 gap to the sphere.
                    const double t = L1(dx, dy, dz) - r;
                    const double tw = std::max(t, 0.1);
                    const double w = K / (tw * tw * tw * tw);
                    r0 += e.red * w;
                    g0 += e.green * w;
                    b0 += e.blue * w;
                    weightSum += w;

                    if (wantNeighbours) {
                        const double tx = L1(dx + 0.01, dy, dz) - r;
                        if (tx < Tx) {
                            Tx = tx;
                            const double q = (dx + 0.01) * (dx + 0.01) + dy * dy + dz * dz - r2;
                            if (q <= 0) {
                                if (Sx > 0) Sx = 0;
                            } else {
                                Sx = std::min(Sx, q);
                            }
                        }
                        if (!yDone) {
                            const double ty = L1(dx, dy + 0.01, dz) - r;
                            if (ty < Ty) {
                                Ty = ty;
                                const double q = std::max(dx * dx + (dy + 0.01) * (dy + 0.01) + dz * dz - r2, 0.0);
                                if (q < Sy) {
                                    Sy = q;
                                    if (S0 < K2) yDone = true;
                                }
                            }
                        }
                        const double tz = L1(dx, dy, dz + 0.01) - r;
                        if (tz < Tz) {
                            Tz = tz;
                            const double q = dx * dx + dy * dy + (dz + 0.01) * (dz + 0.01) - r2;
                            if (q <= 0) {
                                if (Sz > 0) Sz = 0;
                            } else {
                                Sz = std::min(Sz, q);
                            }
                        }
                    }

                    if (t < T0) {
                        T0 = t;
                        const double q = std::max(dx * dx + dy * dy + dz * dz - r2, 0.0);
                        if (q < S0) {
                            S0 = q;
                            nearest = A;
                        }
                    }
                }
            }

    if (weightSum > 0.0) {
        red = static_cast<float>(r0 / weightSum);
        green = static_cast<float>(g0 / weightSum);
        blue = static_cast<float>(b0 / weightSum);
    } else {
        red = green = blue = 0.5f;  // no atom near the point: neutral grey instead of 0 / 0
    }
    sx = static_cast<float>(std::sqrt(Sx));
    sy = static_cast<float>(std::sqrt(Sy));
    sz = static_cast<float>(std::sqrt(Sz));
    return std::sqrt(S0);
}

double GetGaussianCubeVoxel(const Frame& frame, const double& x, const double& y, const double& z, Atom& /*nearest*/,
                            float& red, float& green, float& blue, float& sx, float& sy, float& sz) {
    const VoxelGrid& grid = frame.voxels;
    if (grid.Empty() || grid.nx <= 0 || grid.ny <= 0 || grid.nz <= 0 ||
        grid.values.size() < static_cast<std::size_t>(grid.nx) * grid.ny * grid.nz)
        return 0.0;
    const int i = RoundedIndex((x / frame.cellA.x + 0.5) * grid.nx, grid.nx);
    const int j = RoundedIndex((y / frame.cellB.y + 0.5) * grid.ny, grid.ny);
    const int k = RoundedIndex((z / frame.cellC.z + 0.5) * grid.nz, grid.nz);
    if (i < 0 || j < 0 || k < 0) return 0.0;
    if (sx > 0 && sy > 0 && sz > 0) {
        sx = grid.At(std::min(i + 1, grid.nx - 1), j, k);
        sy = grid.At(i, std::min(j + 1, grid.ny - 1), k);
        sz = grid.At(i, j, std::min(k + 1, grid.nz - 1));
    }
    red = green = blue = 0.5f;
    return grid.At(i, j, k);
}

}  // namespace zelvor
