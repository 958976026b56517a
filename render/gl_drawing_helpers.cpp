#include "render/gl_drawing_helpers.h"

#include <GL/gl.h>

namespace zelvor {

void DrawLine(const Vector& from, const Vector& to) {
    glBegin(GL_LINES);
    glVertex3d(from.x, from.y, from.z);
    glVertex3d(to.x, to.y, to.z);
    glEnd();
}

void ClipFeatureWithEnabledPlanes(const std::int32_t switches[6], bool useClipPlanes) {
    for (int i = 0; i < 6; ++i) {
        if (switches[i] == 1 && useClipPlanes)
            glEnable(GL_CLIP_PLANE0 + i);
        else
            glDisable(GL_CLIP_PLANE0 + i);
    }
}

void DisableClipPlanes() {
    for (int i = 0; i < 6; ++i) glDisable(GL_CLIP_PLANE0 + i);
}

}  // namespace zelvor
