#include "render/tessellation.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace zelvor {

namespace {
constexpr double RAD_TO_DEG = 180.0 / M_PI;
// Selected atoms show their colour lifted towards white.
constexpr double SELECTION_GAMMA = 0.333;
}  // namespace

int ClampRenderQuality(int quality) {
    if (quality >= MAX_RENDER_QUALITY) return MAX_RENDER_QUALITY;
    if (quality < 3) return MIN_RENDER_QUALITY;
    return quality;
}

TessellationCounts CountsForQuality(int quality) {
    TessellationCounts c;
    c.sphereSlices = std::max(quality, 3);
    c.sphereStacks = std::max(quality, 2);
    c.tubeSlices = std::max(quality, 3);
    c.tubeStacks = std::max(quality / 4, 1);
    return c;
}

void SetSphereQuadricStyle(GLUquadric* quadric) {
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluQuadricTexture(quadric, GL_FALSE);
    gluQuadricOrientation(quadric, GLU_OUTSIDE);
    gluQuadricDrawStyle(quadric, GLU_FILL);
}

void DrawAtomSphere(GLUquadric* quadric, const AtomData& element, double atomScale, const TessellationCounts& counts,
                    bool selected) {
    if (atomScale <= 0.0) return;
    if (selected)
        glColor4d(std::pow(element.red, SELECTION_GAMMA), std::pow(element.green, SELECTION_GAMMA),
                  std::pow(element.blue, SELECTION_GAMMA), 1.0);
    else
        glColor4d(element.red, element.green, element.blue, 1.0);
    gluSphere(quadric, element.vdWRadius * atomScale, counts.sphereSlices, counts.sphereStacks);
}

void DrawBondTube(GLUquadric* tube, GLUquadric* cap, const AtomData& a, const AtomData& b, double length,
                  double bondSize, const TessellationCounts& counts) {
    const double s = bondSize * 0.01;
    const double rA = a.vdWRadius * s;
    const double rB = b.vdWRadius * s;
    const double rMid = (a.vdWRadius + b.vdWRadius) / 2.0 * s;
    const double half = length / 2.0;

    glColor4d(a.red, a.green, a.blue, 1.0);
    gluCylinder(tube, rA, rMid, half, counts.tubeSlices, counts.tubeStacks);
    gluDisk(cap, 0.0, rA, counts.tubeSlices, counts.tubeStacks);
    glPushMatrix();
    glTranslated(0.0, 0.0, half);
    glColor4d(b.red, b.green, b.blue, 1.0);
    gluCylinder(tube, rMid, rB, half, counts.tubeSlices, counts.tubeStacks);
    glPushMatrix();
    glTranslated(0.0, 0.0, half);
    glRotated(180.0, 0.0, 1.0, 0.0);
    gluDisk(cap, 0.0, rB, counts.tubeSlices, counts.tubeStacks);
    glPopMatrix();
    glPopMatrix();
}

BondOrientation OrientBond(const Vector& a, const Vector& b) {
    const Vector d = b - a;
    const double rxz = std::sqrt(d.x * d.x + d.z * d.z);
    BondOrientation o;
    o.length = std::sqrt(d * d);
    if (d.z == 0.0)
        o.angleY = d.x >= 0.0 ? 90.0 : -90.0;
    else
        o.angleY = std::atan2(d.x, d.z) * RAD_TO_DEG;
    if (rxz == 0.0)
        o.angleX = d.y <= 0.0 ? 90.0 : -90.0;
    else
        o.angleX = -std::atan2(d.y, rxz) * RAD_TO_DEG;
    return o;
}

}  // namespace zelvor
