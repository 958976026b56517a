#include "render/molecule_grid_field.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <mutex>

#include "model/locks.h"

namespace zelvor {

namespace {

/// Grid index of a sample coordinate, or -1 outside 0..n-1 (also for NaN); as CMoleculeField finds a point's cell.
int TruncatedIndex(double v, int n) {
    if (!(v > -1.0 && v < n)) return -1;
    return static_cast<int>(v);
}

}  // namespace

CMoleculeGridField::CMoleculeGridField(const Frame& frame, const CCubeGrid& cells, double scale, double origin,
                                       double step, int points, const CDravikDoc* doc, std::uint64_t generation)
    : W_(frame.maxCellWidth), K_(scale), points_(std::max(points, 0)) {
    n_[0] = cells.Nx();
    n_[1] = cells.Ny();
    n_[2] = cells.Nz();
    coordinate_.resize(static_cast<std::size_t>(points_));
    for (int m = 0; m < points_; ++m) coordinate_[m] = origin + m * step;
    for (int a = 0; a < 3; ++a) {
        cellOf_[a].resize(coordinate_.size());
        for (int m = 0; m < points_; ++m)
            cellOf_[a][m] = TruncatedIndex((coordinate_[m] * frame.invMaxCellWidth + 0.5) * (n_[a] - 1), n_[a]);
    }
    for (int a = 1; a < 3; ++a) {
        pointsOfCell_[a - 1].resize(static_cast<std::size_t>(n_[a]));
        for (int m = 0; m < points_; ++m)
            if (cellOf_[a][m] >= 0) pointsOfCell_[a - 1][cellOf_[a][m]].push_back(m);
    }

    const std::size_t cellCount = static_cast<std::size_t>(n_[0]) * n_[1] * n_[2];
    firstListing_.assign(cellCount + 1, 0);
    std::lock_guard lock(AtomLock());  // element records may be edited while their radii are read
    // The cells point at atoms that a new load or a closing document may have freed since they were made.
    if (doc && doc->ContentGeneration() != generation) {
        stale_ = true;
        return;
    }
    const Atom* base = frame.atoms.get();
    const std::less<const Atom*> before;
    atomIds_ = static_cast<std::uint32_t>(std::max(frame.atomCount, 0)) + 1;
    std::size_t listings = 0;
    for (int ix = 0; ix < n_[0]; ++ix)
        for (int iy = 0; iy < n_[1]; ++iy)
            for (int iz = 0; iz < n_[2]; ++iz) {
                const CCube& cell = cells.At(ix, iy, iz);
                if (cell.atomList) listings += static_cast<std::size_t>(std::max(cell.count, 0));
            }
    for (auto* v : {&x_, &y_, &z_, &r_, &red_, &green_, &blue_}) v->reserve(listings);
    atomId_.reserve(listings);
    std::size_t c = 0;
    for (int ix = 0; ix < n_[0]; ++ix)
        for (int iy = 0; iy < n_[1]; ++iy)
            for (int iz = 0; iz < n_[2]; ++iz, ++c) {
                firstListing_[c] = static_cast<std::uint32_t>(x_.size());
                const CCube& cell = cells.At(ix, iy, iz);
                for (int n = 0; n < cell.count && cell.atomList; ++n) {
                    const Atom& A = *cell.atomList[n];
                    const AtomData& e = A.element ? *A.element : ElementTable()[FALLBACK_ELEMENT];
                    x_.push_back(A.position.x);
                    y_.push_back(A.position.y);
                    z_.push_back(A.position.z);
                    r_.push_back(e.vdWRadius);
                    red_.push_back(e.red);
                    green_.push_back(e.green);
                    blue_.push_back(e.blue);
                    // The same atom listed by several cells gets one id; an atom from elsewhere one of its own.
                    const bool ofFrame = base && !before(&A, base) && !before(base + frame.atomCount, &A);
                    atomId_.push_back(ofFrame ? static_cast<std::uint32_t>(&A - base) : atomIds_++);
                }
            }
    firstListing_[cellCount] = static_cast<std::uint32_t>(x_.size());
    seen_.assign(atomIds_, 0);
    placeOf_.assign(atomIds_, 0);
}

const CMoleculeGridField::Column& CMoleculeGridField::ColumnOf(int cx) {
    ++uses_;
    for (Column& column : columns_)
        if (column.cx == cx) {
            column.lastUse = uses_;
            return column;
        }
    Column& oldest = columns_[0].lastUse <= columns_[1].lastUse ? columns_[0] : columns_[1];
    BuildColumn(oldest, cx);
    oldest.lastUse = uses_;
    return oldest;
}

void CMoleculeGridField::BuildColumn(Column& column, int cx) {
    column.cx = cx;
    const int ny = n_[1], nz = n_[2];
    column.cells.resize(static_cast<std::size_t>(ny) * nz);
    std::uint32_t stamp = 0;
    for (int cy = 0; cy < ny; ++cy)
        for (int cz = 0; cz < nz; ++cz) {
            Neighbourhood& nb = column.cells[static_cast<std::size_t>(cy) * nz + cz];
            nb.listed.clear();
            nb.unique.clear();
            nb.uniqueOf.clear();
            if (pointsOfCell_[0][cy].empty() || pointsOfCell_[1][cz].empty()) continue;
            // A fresh stamp per neighbourhood; seen_ starts at 0, so stamps start at 1 and wrap only after 4e9.
            if (++stamp == 0) {
                std::fill(seen_.begin(), seen_.end(), 0);
                stamp = 1;
            }
            for (int jx = std::max(cx - 1, 0); jx <= std::min(cx + 1, n_[0] - 1); ++jx)
                for (int jy = std::max(cy - 1, 0); jy <= std::min(cy + 1, ny - 1); ++jy)
                    for (int jz = std::max(cz - 1, 0); jz <= std::min(cz + 1, nz - 1); ++jz) {
                        const std::size_t c = (static_cast<std::size_t>(jx) * ny + jy) * nz + jz;
                        for (std::uint32_t q = firstListing_[c]; q < firstListing_[c + 1]; ++q) {
                            const std::uint32_t id = atomId_[q];
                            if (seen_[id] != stamp) {
                                seen_[id] = stamp;
                                placeOf_[id] = static_cast<std::uint32_t>(nb.unique.size());
                                nb.unique.push_back(q);
                            }
                            nb.listed.push_back(q);
                            nb.uniqueOf.push_back(placeOf_[id]);
                        }
                    }
        }
    // The stamps of the next column must differ from this one's.
    std::fill(seen_.begin(), seen_.end(), 0);
}

namespace {

// The kernels below run over the points of one cell for one atom. They mirror the conditions of
// GetMoleculeDistance as selects, so that the compiler runs them over several points at once; the instruction set
// changes how many, never a value (no fused multiply-adds are enabled).
#define ZELVOR_NEAREST_PARAMETERS                                                                                   \
    double *__restrict T0, double *__restrict Tx, double *__restrict Ty, double *__restrict Tz,                      \
        double *__restrict S0, double *__restrict Sx, double *__restrict Sy, double *__restrict Sz,                  \
        double *__restrict yDone, const double *__restrict py, const double *__restrict pz, std::size_t np, double dx, \
        double ay, double az, double r, double K2
#define ZELVOR_NEAREST_ARGUMENTS T0, Tx, Ty, Tz, S0, Sx, Sy, Sz, yDone, py, pz, np, dx, ay, az, r, K2

/// The nearest atoms so far by the L1 gap, for the value and for the three neighbour samples: their gaps (T),
/// their squared tangents (S), and whether the y neighbour has settled.
[[gnu::always_inline]] inline void TrackNearestBody(ZELVOR_NEAREST_PARAMETERS) {
    const double r2 = r * r;
    const double adx = std::fabs(dx), adxp = std::fabs(dx + 0.01), dx2 = dx * dx, dxp2 = (dx + 0.01) * (dx + 0.01);
    for (std::size_t p = 0; p < np; ++p) {
        const double dy = ay - py[p], dz = az - pz[p];
        const double ady = std::fabs(dy), adz = std::fabs(dz), adyp = std::fabs(dy + 0.01), adzp = std::fabs(dz + 0.01);
        const double dy2 = dy * dy, dz2 = dz * dz, dyp2 = (dy + 0.01) * (dy + 0.01), dzp2 = (dz + 0.01) * (dz + 0.01);
        const double tx0 = Tx[p], ty0 = Ty[p], tz0 = Tz[p], t00 = T0[p];
        const double sx0 = Sx[p], sy0 = Sy[p], sz0 = Sz[p], s00 = S0[p], done = yDone[p];

        const double tx = adxp + ady + adz - r;
        const bool nearerX = tx < tx0;
        const double qx = dxp2 + dy2 + dz2 - r2;
        const double sxMin = qx < sx0 ? qx : sx0;
        const double sx = qx <= 0 ? 0.0 : sxMin;
        Tx[p] = nearerX ? tx : tx0;
        Sx[p] = nearerX ? sx : sx0;

        const double ty = adx + adyp + adz - r;
        const bool nearerY = (done == 0.0) & (ty < ty0);
        const double qy0 = dx2 + dyp2 + dz2 - r2;
        const double qy = qy0 < 0.0 ? 0.0 : qy0;
        const bool shorterY = nearerY & (qy < sy0);
        Ty[p] = nearerY ? ty : ty0;
        Sy[p] = shorterY ? qy : sy0;
        yDone[p] = shorterY & (s00 < K2) ? 1.0 : done;

        const double tz = adx + ady + adzp - r;
        const bool nearerZ = tz < tz0;
        const double qz = dx2 + dy2 + dzp2 - r2;
        const double szMin = qz < sz0 ? qz : sz0;
        const double sz = qz <= 0 ? 0.0 : szMin;
        Tz[p] = nearerZ ? tz : tz0;
        Sz[p] = nearerZ ? sz : sz0;

        const double t = adx + ady + adz - r;
        const bool nearer = t < t00;
        const double q0 = dx2 + dy2 + dz2 - r2;
        const double q = q0 < 0.0 ? 0.0 : q0;
        T0[p] = nearer ? t : t00;
        S0[p] = nearer & (q < s00) ? q : s00;
    }
}


[[gnu::target("avx2")]] void TrackNearestAvx2(ZELVOR_NEAREST_PARAMETERS) { TrackNearestBody(ZELVOR_NEAREST_ARGUMENTS); }
void TrackNearestPlain(ZELVOR_NEAREST_PARAMETERS) { TrackNearestBody(ZELVOR_NEAREST_ARGUMENTS); }

#define ZELVOR_WEIGHT_PARAMETERS                                                                                    \
    double *__restrict w, const double *__restrict py, const double *__restrict pz, std::size_t np, double adx,      \
        double ay, double az, double r, double K
#define ZELVOR_WEIGHT_ARGUMENTS w, py, pz, np, adx, ay, az, r, K

/// Colour weights fall off with the fourth power of the L1 gap to the sphere.
[[gnu::always_inline]] inline void WeightBody(ZELVOR_WEIGHT_PARAMETERS) {
    for (std::size_t p = 0; p < np; ++p) {
        const double t = adx + std::fabs(ay - py[p]) + std::fabs(az - pz[p]) - r;
        const double tw = t < 0.1 ? 0.1 : t;
        w[p] = K / (tw * tw * tw * tw);
    }
}
[[gnu::target("avx2")]] void WeightAvx2(ZELVOR_WEIGHT_PARAMETERS) { WeightBody(ZELVOR_WEIGHT_ARGUMENTS); }
void WeightPlain(ZELVOR_WEIGHT_PARAMETERS) { WeightBody(ZELVOR_WEIGHT_ARGUMENTS); }

#define ZELVOR_VALUE_PARAMETERS                                                                                     \
    double *__restrict T0, double *__restrict S0, const double *__restrict py, const double *__restrict pz,          \
        std::size_t np, double dx, double ay, double az, double r
#define ZELVOR_VALUE_ARGUMENTS T0, S0, py, pz, np, dx, ay, az, r

/// The value follows the atom nearest by the L1 gap so far, and takes its tangent when that is shorter than any
/// before.
[[gnu::always_inline]] inline void TrackValueBody(ZELVOR_VALUE_PARAMETERS) {
    const double adx = std::fabs(dx), dx2 = dx * dx, r2 = r * r;
    for (std::size_t p = 0; p < np; ++p) {
        const double dy = ay - py[p], dz = az - pz[p];
        const double t00 = T0[p], s00 = S0[p];
        const double t = adx + std::fabs(dy) + std::fabs(dz) - r;
        const bool nearer = t < t00;
        const double q0 = dx2 + dy * dy + dz * dz - r2;
        const double q = q0 < 0.0 ? 0.0 : q0;
        T0[p] = nearer ? t : t00;
        S0[p] = nearer & (q < s00) ? q : s00;
    }
}
[[gnu::target("avx2")]] void TrackValueAvx2(ZELVOR_VALUE_PARAMETERS) { TrackValueBody(ZELVOR_VALUE_ARGUMENTS); }
void TrackValuePlain(ZELVOR_VALUE_PARAMETERS) { TrackValueBody(ZELVOR_VALUE_ARGUMENTS); }

#define ZELVOR_BLEND_PARAMETERS                                                                                     \
    double *__restrict r0, double *__restrict g0, double *__restrict b0, double *__restrict weights,                 \
        const double *__restrict w, std::size_t np, double red, double green, double blue
#define ZELVOR_BLEND_ARGUMENTS r0, g0, b0, weights, w, np, red, green, blue

[[gnu::always_inline]] inline void BlendBody(ZELVOR_BLEND_PARAMETERS) {
    for (std::size_t p = 0; p < np; ++p) {
        r0[p] += red * w[p];
        g0[p] += green * w[p];
        b0[p] += blue * w[p];
        weights[p] += w[p];
    }
}
[[gnu::target("avx2")]] void BlendAvx2(ZELVOR_BLEND_PARAMETERS) { BlendBody(ZELVOR_BLEND_ARGUMENTS); }
void BlendPlain(ZELVOR_BLEND_PARAMETERS) { BlendBody(ZELVOR_BLEND_ARGUMENTS); }

bool HasAvx2() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}

}  // namespace

void CMoleculeGridField::SampleValues(int i, float* values) {
    const std::size_t plane = static_cast<std::size_t>(points_) * points_;
    // Points outside the atom grid are a box width away from everything.
    std::fill(values, values + plane, static_cast<float>(W_));
    const int cx = cellOf_[0][i];
    if (stale_ || cx < 0) return;
    const Column& column = ColumnOf(cx);
    const double x = coordinate_[i];
    for (int cy = 0; cy < n_[1]; ++cy) {
        const std::vector<int>& js = pointsOfCell_[0][cy];
        if (js.empty()) continue;
        for (int cz = 0; cz < n_[2]; ++cz) {
            const std::vector<int>& ks = pointsOfCell_[1][cz];
            if (ks.empty()) continue;
            const Neighbourhood& nb = column.cells[static_cast<std::size_t>(cy) * n_[2] + cz];
            const std::size_t nj = js.size(), nk = ks.size(), np = nj * nk;
            py_.resize(np);
            pz_.resize(np);
            for (std::size_t jj = 0; jj < nj; ++jj)
                for (std::size_t kk = 0; kk < nk; ++kk)
                    py_[jj * nk + kk] = coordinate_[js[jj]], pz_[jj * nk + kk] = coordinate_[ks[kk]];
            t0_.assign(np, W_);
            s0_.assign(np, 20.0);
            // Per atom, in the order every point of the cell takes them.
            const auto track = HasAvx2() ? TrackValueAvx2 : TrackValuePlain;
            for (const std::uint32_t e : nb.unique)
                track(t0_.data(), s0_.data(), py_.data(), pz_.data(), np, x_[e] - x, y_[e], z_[e], r_[e]);
            for (std::size_t jj = 0; jj < nj; ++jj)
                for (std::size_t kk = 0; kk < nk; ++kk)
                    values[static_cast<std::size_t>(js[jj]) * points_ + ks[kk]] =
                        static_cast<float>(std::sqrt(s0_[jj * nk + kk]));
        }
    }
}

// An atom listed again never moves a nearest atom, so each atom is taken once.
void CMoleculeGridField::TrackNearest(std::uint32_t e, double x, std::size_t np) {
    (HasAvx2() ? TrackNearestAvx2 : TrackNearestPlain)(t0_.data(), tx_.data(), ty_.data(), tz_.data(), s0_.data(),
                                                        sxq_.data(), syq_.data(), szq_.data(), yDone_.data(),
                                                        py_.data(), pz_.data(), np, x_[e] - x, y_[e], z_[e], r_[e],
                                                        K_ * K_);
}

// Every listing counts, summed in the order of the listings.
void CMoleculeGridField::BlendColours(const Neighbourhood& nb, double x, std::size_t np) {
    w_.resize(nb.unique.size() * np);
    const auto weight = HasAvx2() ? WeightAvx2 : WeightPlain;
    for (std::size_t u = 0; u < nb.unique.size(); ++u) {
        const std::uint32_t e = nb.unique[u];
        weight(w_.data() + u * np, py_.data(), pz_.data(), np, std::fabs(x_[e] - x), y_[e], z_[e], r_[e], K_);
    }
    for (auto* v : {&r0_, &g0_, &b0_, &weights_}) v->assign(np, 0.0);
    const auto blend = HasAvx2() ? BlendAvx2 : BlendPlain;
    for (std::size_t q = 0; q < nb.listed.size(); ++q) {
        const std::uint32_t e = nb.listed[q];
        blend(r0_.data(), g0_.data(), b0_.data(), weights_.data(), w_.data() + nb.uniqueOf[q] * np, np, red_[e],
              green_[e], blue_[e]);
    }
}

void CMoleculeGridField::SampleDetails(int i, const std::uint8_t* wanted, const Details& out) {
    const int cx = cellOf_[0][i];
    // Outside the atom grid: no colour, and the neighbour samples untouched at 1.
    for (int j = 0; j < points_; ++j)
        for (int k = 0; k < points_; ++k) {
            const std::size_t p = static_cast<std::size_t>(j) * points_ + k;
            if (!wanted[p] || (cx >= 0 && cellOf_[1][j] >= 0 && cellOf_[2][k] >= 0)) continue;
            out.sx[p] = out.sy[p] = out.sz[p] = 1.0f;
            out.red[p] = out.green[p] = out.blue[p] = 0.0f;
        }
    if (stale_ || cx < 0) return;
    const Column& column = ColumnOf(cx);
    const double x = coordinate_[i];
    for (int cy = 0; cy < n_[1]; ++cy) {
        const std::vector<int>& js = pointsOfCell_[0][cy];
        if (js.empty()) continue;
        for (int cz = 0; cz < n_[2]; ++cz) {
            const std::vector<int>& ks = pointsOfCell_[1][cz];
            if (ks.empty()) continue;
            pj_.clear();
            pk_.clear();
            for (const int j : js)
                for (const int k : ks)
                    if (wanted[static_cast<std::size_t>(j) * points_ + k]) pj_.push_back(j), pk_.push_back(k);
            const std::size_t np = pj_.size();
            if (np == 0) continue;
            const Neighbourhood& nb = column.cells[static_cast<std::size_t>(cy) * n_[2] + cz];
            py_.resize(np);
            pz_.resize(np);
            for (std::size_t p = 0; p < np; ++p) py_[p] = coordinate_[pj_[p]], pz_[p] = coordinate_[pk_[p]];
            for (auto* v : {&t0_, &tx_, &ty_, &tz_}) v->assign(np, W_);
            for (auto* v : {&s0_, &sxq_, &syq_, &szq_}) v->assign(np, 20.0);
            yDone_.assign(np, 0.0);
            for (const std::uint32_t e : nb.unique) TrackNearest(e, x, np);
            BlendColours(nb, x, np);
            for (std::size_t p = 0; p < np; ++p) {
                const std::size_t o = static_cast<std::size_t>(pj_[p]) * points_ + pk_[p];
                if (weights_[p] > 0.0) {
                    out.red[o] = static_cast<float>(r0_[p] / weights_[p]);
                    out.green[o] = static_cast<float>(g0_[p] / weights_[p]);
                    out.blue[o] = static_cast<float>(b0_[p] / weights_[p]);
                } else {
                    out.red[o] = out.green[o] = out.blue[o] = 0.5f;  // no atom near the point: neutral grey
                }
                out.sx[o] = static_cast<float>(std::sqrt(sxq_[p]));
                out.sy[o] = static_cast<float>(std::sqrt(syq_[p]));
                out.sz[o] = static_cast<float>(std::sqrt(szq_[p]));
            }
        }
    }
}

}  // namespace zelvor
