#pragma once
/// A character's outline as geometry in em units (the em height is 1.0): the flattened contours and the
/// triangles filling them (non-zero winding). Needs no GL context.
#include "render/font_source.h"

#include <vector>

namespace zelvor {

struct GlyphPoint {
    double x = 0.0, y = 0.0;
};

struct GlyphMesh {
    /// Closed polygons as the font winds them, the closing point not repeated.
    std::vector<std::vector<GlyphPoint>> contours;
    /// Three points per triangle, each counter-clockwise seen from +z.
    std::vector<GlyphPoint> triangles;
    /// Horizontal pen advance.
    double advance = 0.0;
    /// True when the font's outer contours run clockwise (TrueType); tells the outward side of a contour.
    bool clockwiseOuter = true;
};

/// Flattened, tessellated outline of a Unicode code point (the font's missing-glyph shape when it has none).
/// Curves are split until they leave their chords by at most flatness em.
GlyphMesh TessellateGlyph(FT_Face face, unsigned codePoint, double flatness = 0.002);

/// Signed area of a closed polygon (positive when counter-clockwise).
double PolygonArea(const std::vector<GlyphPoint>& polygon);
/// Sum of the absolute triangle areas.
double TriangleArea(const std::vector<GlyphPoint>& triangles);

}  // namespace zelvor
