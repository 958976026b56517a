#include "render/glyph_mesh.h"

#include FT_OUTLINE_H
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>

namespace zelvor {
namespace {

// Collects FreeType's outline segments as polylines in em units.
struct OutlineFlattener {
    double scale = 1.0;     // font units -> em
    double flatness = 0.0;  // em
    std::vector<std::vector<GlyphPoint>> contours;
    GlyphPoint pen;

    GlyphPoint Em(const FT_Vector* v) const { return {v->x * scale, v->y * scale}; }
    void Add(GlyphPoint p) {
        auto& contour = contours.back();
        if (!contour.empty() && contour.back().x == p.x && contour.back().y == p.y) return;
        contour.push_back(p);
        pen = p;
    }
    // Segments so that a curve with this bound on its second derivative stays within flatness of its chords.
    int Segments(double secondDerivative) const {
        if (flatness <= 0.0) return 64;
        const double n = std::ceil(std::sqrt(secondDerivative / (8.0 * flatness)));
        return std::clamp(static_cast<int>(n), 1, 64);
    }
};

double Length(double x, double y) { return std::sqrt(x * x + y * y); }

int MoveTo(const FT_Vector* to, void* user) {
    auto* f = static_cast<OutlineFlattener*>(user);
    f->contours.emplace_back();
    f->Add(f->Em(to));
    return 0;
}

int LineTo(const FT_Vector* to, void* user) {
    auto* f = static_cast<OutlineFlattener*>(user);
    f->Add(f->Em(to));
    return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* f = static_cast<OutlineFlattener*>(user);
    const GlyphPoint p0 = f->pen, p1 = f->Em(control), p2 = f->Em(to);
    const int n = f->Segments(2.0 * Length(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y));
    for (int i = 1; i <= n; ++i) {
        const double t = static_cast<double>(i) / n, u = 1.0 - t;
        f->Add({u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x, u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y});
    }
    return 0;
}

int CubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user) {
    auto* f = static_cast<OutlineFlattener*>(user);
    const GlyphPoint p0 = f->pen, p1 = f->Em(control1), p2 = f->Em(control2), p3 = f->Em(to);
    const double bend = std::max(Length(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                                 Length(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
    const int n = f->Segments(6.0 * bend);
    for (int i = 1; i <= n; ++i) {
        const double t = static_cast<double>(i) / n, u = 1.0 - t;
        const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        f->Add({a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
    }
    return 0;
}

// GLU tessellator output; the edge-flag callback makes it emit independent triangles only.
struct TessellationSink {
    std::vector<GlyphPoint>* triangles = nullptr;
    std::deque<std::array<GLdouble, 3>> combined;  // stable addresses for intersection vertices
    bool failed = false;
};

void TessBegin(GLenum, void*) {}
void TessEdgeFlag(GLboolean, void*) {}
void TessEnd(void*) {}
void TessVertex(void* vertex, void* data) {
    const auto* v = static_cast<const GLdouble*>(vertex);
    static_cast<TessellationSink*>(data)->triangles->push_back({v[0], v[1]});
}
void TessCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* data) {
    auto* sink = static_cast<TessellationSink*>(data);
    sink->combined.push_back({coords[0], coords[1], coords[2]});
    *out = sink->combined.back().data();
}
void TessError(GLenum, void* data) { static_cast<TessellationSink*>(data)->failed = true; }

template <typename F>
_GLUfuncptr Callback(F* function) {
    return reinterpret_cast<_GLUfuncptr>(function);
}

std::vector<GlyphPoint> Tessellate(const std::vector<std::vector<GlyphPoint>>& contours) {
    std::vector<GlyphPoint> triangles;
    if (contours.empty()) return triangles;
    GLUtesselator* tess = gluNewTess();
    if (!tess) return triangles;
    TessellationSink sink;
    sink.triangles = &triangles;
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, Callback(&TessBegin));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, Callback(&TessEdgeFlag));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, Callback(&TessVertex));
    gluTessCallback(tess, GLU_TESS_END_DATA, Callback(&TessEnd));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, Callback(&TessCombine));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, Callback(&TessError));
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0.0, 0.0, 1.0);

    // The tessellator keeps pointers to the input vertices until it ends the polygon: no reallocation.
    std::size_t total = 0;
    for (const auto& contour : contours) total += contour.size();
    std::vector<std::array<GLdouble, 3>> input;
    input.reserve(total);
    gluTessBeginPolygon(tess, &sink);
    for (const auto& contour : contours) {
        gluTessBeginContour(tess);
        for (const auto& p : contour) {
            input.push_back({p.x, p.y, 0.0});
            gluTessVertex(tess, input.back().data(), input.back().data());
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
    if (sink.failed || triangles.size() % 3 != 0) return {};

    // Keep every triangle counter-clockwise seen from +z, whatever the contour direction was.
    std::vector<GlyphPoint> oriented;
    oriented.reserve(triangles.size());
    for (std::size_t i = 0; i + 2 < triangles.size(); i += 3) {
        const GlyphPoint &a = triangles[i], &b = triangles[i + 1], &c = triangles[i + 2];
        const double cross = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        if (cross > 0) {
            oriented.insert(oriented.end(), {a, b, c});
        } else if (cross < 0) {
            oriented.insert(oriented.end(), {a, c, b});
        }
    }
    return oriented;
}

}  // namespace

GlyphMesh TessellateGlyph(FT_Face face, unsigned codePoint, double flatness) {
    GlyphMesh mesh;
    if (!face || !FT_IS_SCALABLE(face) || face->units_per_EM == 0) return mesh;
    const FT_UInt index = FT_Get_Char_Index(face, codePoint);
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0) return mesh;
    const double scale = 1.0 / face->units_per_EM;
    mesh.advance = face->glyph->metrics.horiAdvance * scale;
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return mesh;

    FT_Outline* outline = &face->glyph->outline;
    mesh.clockwiseOuter = FT_Outline_Get_Orientation(outline) != FT_ORIENTATION_POSTSCRIPT;

    OutlineFlattener flattener;
    flattener.scale = scale;
    flattener.flatness = flatness;
    FT_Outline_Funcs funcs{};
    funcs.move_to = &MoveTo;
    funcs.line_to = &LineTo;
    funcs.conic_to = &ConicTo;
    funcs.cubic_to = &CubicTo;
    if (FT_Outline_Decompose(outline, &funcs, &flattener) != 0) return mesh;

    for (auto& contour : flattener.contours) {
        // The decomposition returns to the start point; the polygon must not list it twice.
        while (contour.size() > 1 && contour.back().x == contour.front().x && contour.back().y == contour.front().y)
            contour.pop_back();
        if (contour.size() >= 3) mesh.contours.push_back(std::move(contour));
    }
    mesh.triangles = Tessellate(mesh.contours);
    return mesh;
}

double PolygonArea(const std::vector<GlyphPoint>& polygon) {
    double twice = 0.0;
    for (std::size_t i = 0, n = polygon.size(); i < n; ++i) {
        const GlyphPoint& a = polygon[i];
        const GlyphPoint& b = polygon[(i + 1) % n];
        twice += a.x * b.y - b.x * a.y;
    }
    return 0.5 * twice;
}

double TriangleArea(const std::vector<GlyphPoint>& triangles) {
    double sum = 0.0;
    for (std::size_t i = 0; i + 2 < triangles.size(); i += 3)
        sum += std::abs(PolygonArea({triangles[i], triangles[i + 1], triangles[i + 2]}));
    return sum;
}

}  // namespace zelvor
