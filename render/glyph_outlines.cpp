#include "render/glyph_mesh.h"
#include "render/text_engine.h"

#include <GL/gl.h>

#include <cmath>

namespace zelvor {
namespace {

constexpr int kGlyphCount = 256;
constexpr double kExtrusion = 0.1;
const char* const kTypeface = "Arial";

// Front face at z = 0, back face at z = -extrusion, walls along every contour; all faces counter-clockwise
// seen from outside so that back-face culling keeps the visible side.
void EmitSolidGlyph(const GlyphMesh& mesh) {
    glBegin(GL_TRIANGLES);
    glNormal3d(0.0, 0.0, 1.0);
    for (const GlyphPoint& p : mesh.triangles) glVertex3d(p.x, p.y, 0.0);
    glNormal3d(0.0, 0.0, -1.0);
    for (std::size_t i = 0; i + 2 < mesh.triangles.size(); i += 3) {
        glVertex3d(mesh.triangles[i].x, mesh.triangles[i].y, -kExtrusion);
        glVertex3d(mesh.triangles[i + 2].x, mesh.triangles[i + 2].y, -kExtrusion);
        glVertex3d(mesh.triangles[i + 1].x, mesh.triangles[i + 1].y, -kExtrusion);
    }
    glEnd();

    glBegin(GL_QUADS);
    for (const auto& contour : mesh.contours) {
        for (std::size_t i = 0, n = contour.size(); i < n; ++i) {
            const GlyphPoint& a = contour[i];
            const GlyphPoint& b = contour[(i + 1) % n];
            const double dx = b.x - a.x, dy = b.y - a.y;
            const double length = std::sqrt(dx * dx + dy * dy);
            if (length == 0.0) continue;
            // The filled side lies right of a clockwise-outer contour and left of a counter-clockwise one.
            const double sign = mesh.clockwiseOuter ? 1.0 : -1.0;
            glNormal3d(-sign * dy / length, sign * dx / length, 0.0);
            if (mesh.clockwiseOuter) {
                glVertex3d(a.x, a.y, 0.0);
                glVertex3d(b.x, b.y, 0.0);
                glVertex3d(b.x, b.y, -kExtrusion);
                glVertex3d(a.x, a.y, -kExtrusion);
            } else {
                glVertex3d(a.x, a.y, 0.0);
                glVertex3d(a.x, a.y, -kExtrusion);
                glVertex3d(b.x, b.y, -kExtrusion);
                glVertex3d(b.x, b.y, 0.0);
            }
        }
    }
    glEnd();
    glTranslated(mesh.advance, 0.0, 0.0);
}

}  // namespace

unsigned CompileOutlineGlyphLists() {
    const GLuint base = glGenLists(kGlyphCount);
    if (base == 0) return 0;  // no current context
    CFreeTypeFace face;
    if (!face.OpenFamily(kTypeface)) {
        glDeleteLists(base, kGlyphCount);
        return 0;
    }
    for (int code = 0; code < kGlyphCount; ++code) {
        const GlyphMesh mesh = TessellateGlyph(face.Face(), AnsiToUnicode(static_cast<unsigned char>(code)));
        glNewList(base + code, GL_COMPILE);
        EmitSolidGlyph(mesh);
        glEndList();
    }
    return base;
}

void DeleteGlyphLists(unsigned base) {
    if (base != 0) glDeleteLists(base, kGlyphCount);
}

}  // namespace zelvor
