#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/dravik_doc.h"

namespace zelvor {

namespace {

/// |x| + |y| + |z|: the extent of a cell vector along the three axes together.
double AxisSum(const Vector& v) { return std::fabs(v.x) + std::fabs(v.y) + std::fabs(v.z); }

/// Fractional corner points of the centred cell, in the order the cell box is drawn from.
constexpr double kCorners[8][3] = {
    {0.5, 0.5, 0.5},   {0.5, -0.5, 0.5},   {0.5, -0.5, -0.5}, {-0.5, 0.5, 0.5},
    {-0.5, -0.5, 0.5}, {-0.5, -0.5, -0.5}, {0.5, 0.5, -0.5},  {-0.5, 0.5, -0.5},
};

}  // namespace

void CDravikDoc::CalcCellSizeRcutoff(int frame, double halfExtent) {
    if (frame < 0 || frame >= MAX_FRAMES) return;
    Frame& fr = frames_[frame];
    if (halfExtent > 0.0) {
        const double edge = 2.0 * halfExtent;
        fr.cellA = Vector(edge, 0.0, 0.0);
        fr.cellB = Vector(0.0, edge, 0.0);
        fr.cellC = Vector(0.0, 0.0, edge);
        cellGiven_ = false;
    } else {
        cellGiven_ = true;
    }
    fr.cellGiven = cellGiven_;

    const Vector& a = fr.cellA;
    const Vector& b = fr.cellB;
    const Vector& c = fr.cellC;
    const double minEdge = std::min({Length(a), Length(b), Length(c), 1e10});
    fr.halfMinCell = 0.5 * minEdge;

    // Rows of the inverse of [a b c] are the adjugate rows b x c, c x a, a x b over the determinant.
    const Vector bc = Cross(b, c), ca = Cross(c, a), ab = Cross(a, b);
    const double volume = a * bc;
    // A flat cell (coplanar or zero vectors, as in a one-atom frame) has no inverse: the inverse and the
    // reciprocal vectors stay zero rather than infinite.
    const double scale = Length(a) * Length(b) * Length(c);
    if (std::isfinite(volume) && std::fabs(volume) > 1e-12 * scale && volume != 0.0) {
        fr.cellInverse[0] = bc / volume;
        fr.cellInverse[1] = ca / volume;
        fr.cellInverse[2] = ab / volume;
        const double twoPi = 2.0 * std::numbers::pi;
        fr.reciprocal[0] = bc * (twoPi / volume);
        fr.reciprocal[1] = ca * (twoPi / volume);
        fr.reciprocal[2] = ab * (twoPi / volume);
    } else {
        for (int i = 0; i < 3; ++i) {
            fr.cellInverse[i] = Vector();
            fr.reciprocal[i] = Vector();
        }
    }

    const Tensor cell = GetTensor(a, b, c);
    for (int i = 0; i < 8; ++i) fr.cellCorners[i] = cell * Vector(kCorners[i][0], kCorners[i][1], kCorners[i][2]);
}

void CDravikDoc::SetMaxCellWidth() {
    const int count = std::min(frameCount_.load(), MAX_FRAMES);
    for (int f = 0; f < count; ++f) {
        Frame& fr = frames_[f];
        double m = std::max({AxisSum(fr.cellA), AxisSum(fr.cellB), AxisSum(fr.cellC)});
        if (!(m >= 5.0)) m = 5.0;  // also catches NaN
        fr.maxCellWidth = m + 3.0;
        fr.invMaxCellWidth = 1.0 / (m + 3.0);
    }
}

}  // namespace zelvor
