#include "render/scene_lists.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <tuple>

#include "render/gl_drawing_helpers.h"

namespace zelvor {

namespace {

/// A quadric that is deleted when the compile leaves.
struct Quadric {
    GLUquadric* q = gluNewQuadric();
    ~Quadric() {
        if (q) gluDeleteQuadric(q);
    }
};

}  // namespace

std::string CSceneLists::GetLengthPairLabels(double length, const Atom& first, const Atom& second) {
    char key[64];
    const char* a = first.element ? first.element->symbol : "";
    const char* b = second.element ? second.element->symbol : "";
    std::snprintf(key, sizeof key, "%s%s%d", a, b, static_cast<int>(length * 20.0));
    return key;
}

bool CSceneLists::AtomListsCurrent(int quality) const {
    return settings_.atomScale == lastAtomScale_ && quality == lastRenderQuality_;
}

void CSceneLists::CompileAtomLists(int quality) {
    const C3DViewSettings& s = settings_;
    lastAtomScale_ = s.atomScale;
    lastRenderQuality_ = quality;
    const TessellationCounts counts = CountsForQuality(quality);
    Quadric quadric;
    if (!quadric.q) return;
    SetSphereQuadricStyle(quadric.q);
    for (int e = 0; e < ELEMENT_COUNT; ++e) {
        const AtomData& element = ElementTable()[e];
        for (int selected = 0; selected < 2; ++selected) {
            unsigned int& name = elementLists_[selected][e];
            if (name == 0) name = glGenLists(1);
            glNewList(name, GL_COMPILE);
            DrawAtomSphere(quadric.q, element, s.atomScale, counts, selected == 1);
            glEndList();
        }
    }
    ++counts_.atomLists;
}

bool CSceneLists::BondListsCurrent(const TessellationCounts& counts) const {
    return settings_.bondSize == lastBondSize_ && settings_.maxBondLength == lastMaxBondLength_ &&
           counts.tubeSlices == lastTubeSlices_ && counts.tubeStacks == lastTubeStacks_;
}

void CSceneLists::CompileBondLists(Frame& frame, const TessellationCounts& counts) {
    const C3DViewSettings& s = settings_;
    lastBondSize_ = s.bondSize;
    lastMaxBondLength_ = s.maxBondLength;
    lastTubeSlices_ = counts.tubeSlices;
    lastTubeStacks_ = counts.tubeStacks;
    Quadric tube, cap;
    if (!tube.q || !cap.q) return;
    gluQuadricOrientation(cap.q, GLU_INSIDE);
    frame.displayedBonds = 0;

    // Bonds sharing a key share a list, defined by the last of them met; compiling each key once with that
    // bond gives the same lists without tessellating every bond.
    std::map<std::string, std::tuple<const AtomData*, const AtomData*, double>> lastOfKey;
    ForEachDrawnBond(frame, s.maxBondLength, [&](int i, int j) {
        const Atom& a = frame.atoms[i];
        const Atom& b = frame.atoms[j];
        ++frame.displayedBonds;
        const double length = Length(b.position - a.position);
        lastOfKey[GetLengthPairLabels(length, a, b)] = {a.element, b.element, length};
    });
    for (const auto& [key, bond] : lastOfKey) {
        const auto& [ea, eb, length] = bond;
        if (!ea || !eb) continue;
        BondDisplayList& list = bondLists_[key];
        if (list.name == 0) list.name = glGenLists(1);
        glNewList(list.name, GL_COMPILE);
        DrawBondTube(tube.q, cap.q, *ea, *eb, length, s.bondSize, counts);
        glEndList();
    }
    ++counts_.bondLists;
}

bool CSceneLists::SceneCurrent(int frameNr) const {
    return frameNr == lastSceneFrame_ && settings_.sceneChanged == 0;
}

void CSceneLists::CompileSceneList(const Frame& frame, int frameNr) {
    C3DViewSettings& s = settings_;
    lastSceneFrame_ = frameNr;
    s.sceneChanged = 0;
    if (sceneList_ != 0) glDeleteLists(sceneList_, 1);
    sceneList_ = glGenLists(1);
    glNewList(sceneList_, GL_COMPILE);

    // Light: part of the list, so that a light fixed to the lab ignores the camera.
    glPushMatrix();
    float light[4] = {static_cast<float>(s.lightPosition[0]), static_cast<float>(s.lightPosition[1]),
                      static_cast<float>(s.lightPosition[2]), static_cast<float>(s.lightPosition[3])};
    if (s.fixLightToLab) {
        glLoadIdentity();
        if (light[3] != 0.0f) {
            light[0] -= static_cast<float>(s.eye.x);
            light[1] -= static_cast<float>(s.eye.y);
            light[2] -= static_cast<float>(s.eye.z);
        }
    }
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glPopMatrix();

    if (s.showCellBox == 1) {
        glPushAttrib(GL_LINE_BIT | GL_LIGHTING_BIT);
        glColor4d(1.0, 1.0, 1.0, 1.0);
        glLineWidth(1.0f);
        glDisable(GL_LIGHTING);
        const auto& c = frame.cellCorners;
        static constexpr int EDGES[12][2] = {{0, 1}, {0, 6}, {0, 3}, {1, 2}, {1, 4}, {2, 6},
                                             {2, 5}, {3, 4}, {3, 7}, {4, 5}, {5, 7}, {6, 7}};
        for (const auto& e : EDGES) DrawLine(c[e[0]], c[e[1]]);
        glEnable(GL_NORMALIZE);
        glPopAttrib();
    }

    glLineWidth(1.0f);
    ClipFeatureWithEnabledPlanes(s.clipBonds, s.useClipPlanes == 1);
    const bool bonds = s.showBonds == 1 && frame.bondsDone;
    if (bonds && s.bondsAsTubes == 1) {
        ForEachDrawnBond(frame, s.maxBondLength, [&](int i, int j) {
            const Atom& a = frame.atoms[i];
            const Atom& b = frame.atoms[j];
            const BondOrientation o = OrientBond(a.position, b.position);
            glPushMatrix();
            glTranslated(a.position.x, a.position.y, a.position.z);
            glRotated(o.angleY, 0.0, 1.0, 0.0);
            glRotated(o.angleX, 1.0, 0.0, 0.0);
            const unsigned name = bondLists_[GetLengthPairLabels(o.length, a, b)].name;
            if (name != 0) glCallList(name);
            glPopMatrix();
        });
    }
    glPushAttrib(GL_LINE_BIT | GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    glLineWidth(static_cast<float>(s.bondSize));
    glBegin(GL_LINES);
    if (bonds && s.bondsAsTubes == 0) {
        ForEachDrawnBond(frame, s.maxBondLength, [&](int i, int j) {
            const Atom& a = frame.atoms[i];
            const Atom& b = frame.atoms[j];
            if (!a.element || !b.element) return;
            const AtomData& ea = *a.element;
            const AtomData& eb = *b.element;
            glColor4d(ea.red, ea.green, ea.blue, 1.0);
            glVertex3d(a.position.x, a.position.y, a.position.z);
            if (&ea != &eb) {
                const Vector mid = (a.position + b.position) * 0.5;
                glVertex3d(mid.x, mid.y, mid.z);
                glColor4d(eb.red, eb.green, eb.blue, 1.0);
                glVertex3d(mid.x, mid.y, mid.z);
            }
            glVertex3d(b.position.x, b.position.y, b.position.z);
        });
    }
    glEnd();
    glEnable(GL_LIGHTING);
    glPopAttrib();
    DisableClipPlanes();

    if (s.showAtoms == 1) {
        ClipFeatureWithEnabledPlanes(s.clipAtoms, s.useClipPlanes == 1);
        if (s.atomsAsSpheres == 1) {
            for (int i = 1; i <= frame.atomCount; ++i) {
                const Atom& a = frame.atoms[i];
                if (!a.element) continue;
                const unsigned name = elementLists_[a.selected ? 1 : 0][ElementIndex(*a.element)];
                glPushMatrix();
                glTranslated(a.position.x, a.position.y, a.position.z);
                if (name != 0) glCallList(name);
                glPopMatrix();
            }
        } else {
            glDisable(GL_LIGHTING);
            glPushAttrib(GL_POINT_BIT);
            glPointSize(static_cast<float>(s.atomScale * 10.0));
            glBegin(GL_POINTS);
            for (int i = 1; i <= frame.atomCount; ++i) {
                const Atom& a = frame.atoms[i];
                if (!a.element) continue;
                glColor4d(a.element->red, a.element->green, a.element->blue, 1.0);
                glVertex3d(a.position.x, a.position.y, a.position.z);
            }
            glEnd();
            glPopAttrib();
            glEnable(GL_LIGHTING);
        }
        DisableClipPlanes();
    }
    glEndList();
    ++counts_.sceneLists;
}

void CSceneLists::ForgetBondSettings() {
    lastBondSize_ = -1.0;
    lastMaxBondLength_ = -1.0;
}

void CSceneLists::CallSceneList() const {
    if (sceneList_ != 0) glCallList(sceneList_);
}

void CSceneLists::Release(bool contextCurrent) {
    if (contextCurrent) {
        for (auto& names : elementLists_)
            for (unsigned int name : names)
                if (name != 0) glDeleteLists(name, 1);
        for (auto& [key, list] : bondLists_)
            if (list.name != 0) glDeleteLists(list.name, 1);
        if (sceneList_ != 0) glDeleteLists(sceneList_, 1);
    }
    elementLists_ = {};
    sceneList_ = 0;
    bondLists_.clear();
}

}  // namespace zelvor
