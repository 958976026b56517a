#pragma once
/// Atom spheres and two-colour bond tubes from GLU quadrics, and how the render quality sets their fineness.
#include "model/atom.h"
#include "model/vector.h"

struct GLUquadric;

namespace zelvor {

inline constexpr int MIN_RENDER_QUALITY = 2;
inline constexpr int MAX_RENDER_QUALITY = 30;

/// The render quality kept within 2..30 (values below 3 become 2).
int ClampRenderQuality(int quality);

/// Slices and stacks of spheres and tubes for one render quality.
struct TessellationCounts {
    int sphereSlices = 3, sphereStacks = 2;
    int tubeSlices = 3, tubeStacks = 1;  ///< the end caps use these as slices and loops
};
TessellationCounts CountsForQuality(int quality);

/// Sets up a quadric for atom spheres: smooth normals, no texture, outside orientation, filled.
void SetSphereQuadricStyle(GLUquadric* quadric);
/// The sphere of one element (radius = vdW radius * atomScale) in its colour, brightened when selected;
/// nothing when atomScale <= 0.
void DrawAtomSphere(GLUquadric* quadric, const AtomData& element, double atomScale, const TessellationCounts& counts,
                    bool selected);
/// The tube from A at z = 0 to B at z = length, half in A's colour and half in B's, both ends closed.
/// The cap quadric must have inside orientation.
void DrawBondTube(GLUquadric* tube, GLUquadric* cap, const AtomData& a, const AtomData& b, double length,
                  double bondSize, const TessellationCounts& counts);

/// Rotations that turn a tube built along +z onto the bond from a to b.
struct BondOrientation {
    double angleY = 0.0;  ///< degrees, applied first, about y
    double angleX = 0.0;  ///< degrees, then about x
    double length = 0.0;
};
BondOrientation OrientBond(const Vector& a, const Vector& b);

}  // namespace zelvor
