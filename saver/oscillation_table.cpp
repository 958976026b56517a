#include "saver/oscillation_table.h"

#include "render/view_settings.h"

namespace zelvor {

namespace {

constexpr const char* kCellWidths = " \xD7 max cell width";
constexpr const char* kDegrees = " \xB0";
constexpr const char* kPercentOfCell = " % of cell width";

// clang-format off
constexpr OscillationLayout kLayouts[OSC_COUNT] = {
    // check, button, check text, caption, frequency max / large, amplitude max, small / large, precision, unit
    {1126, 1021, "Aim X", "X coordinate of aim", 0.5, 0.1, 2.0, 0.01, 0.2, 3, kCellWidths},
    {1117, 1014, "Aim Y", "Y coordinate of aim", 0.5, 0.1, 2.0, 0.01, 0.2, 3, kCellWidths},
    {1118, 1119, "Aim Z", "Z coordinate of aim", 0.5, 0.1, 2.0, 0.01, 0.2, 3, kCellWidths},
    {1058, 1023, "Camera X", "Camera X coordinate", 1.0, 0.02, 3.0, 0.01, 0.2, 2, kCellWidths},
    {1120, 1015, "Camera Y", "Camera Y coordinate", 1.0, 0.02, 3.0, 0.01, 0.2, 2, kCellWidths},
    {1121, 1122, "Camera Z", "Camera Z coordinate", 1.0, 0.02, 3.0, 0.01, 0.2, 2, kCellWidths},
    {1059, 1024, "Phi", "Euler angle phi", 1.0, 0.02, 400.0, 0.5, 2.0, 4, kDegrees},
    {1123, 1016, "Psi", "Euler angle psi", 1.0, 0.02, 400.0, 0.5, 2.0, 4, kDegrees},
    {1124, 1125, "Theta", "Euler angle theta", 1.0, 0.02, 360.0, 0.5, 2.0, 4, kDegrees},
    {1127, 1025, "Surface Opaqueness", "Opaqueness", 1.0, 0.02, 1.0, 0.01, 0.1, 3, ""},
    {1129, 1027, "Atomic vdW Scaling", "Atom size", 1.0, 0.02, 1.0, 0.05, 0.2, 3, ""},
    {1128, 1017, "Plane 1", "Distance of 1st. Plane", 1.0, 0.02, 100.0, 0.1, 0.5, 4, kPercentOfCell},
    {1130, 1131, "Plane 2", "Distance of 2nd. Plane", 1.0, 0.02, 100.0, 0.1, 0.5, 4, kPercentOfCell},
    {1137, 1018, "Plane 3", "Distance of 3rd. Plane", 1.0, 0.02, 100.0, 0.1, 0.5, 4, kPercentOfCell},
    {1132, 1133, "Plane 4", "Distance of 4th. Plane", 1.0, 0.02, 100.0, 0.1, 0.5, 4, kPercentOfCell},
    {1134, 1019, "Plane 5", "Distance of 5th. Plane", 1.0, 0.02, 100.0, 0.1, 0.5, 4, kPercentOfCell},
    {1135, 1136, "Plane 6", "Distance of 6th. Plane", 1.0, 0.02, 100.0, 0.1, 0.5, 4, kPercentOfCell},
};
// clang-format on

}  // namespace

const OscillationLayout& LayoutOf(int p) { return kLayouts[p >= 0 && p < OSC_COUNT ? p : 0]; }

OscillationFields FieldsOf(C3DViewSettings& s, int p) {
    switch (p) {
    case OSC_AIM_X:
    case OSC_AIM_Y:
    case OSC_AIM_Z: {
        const int i = p - OSC_AIM_X;
        return {&s.animateAim[i], &s.aimAmplitude[i], &s.aimFrequency[i], &s.aimPhase[i]};
    }
    case OSC_CAMERA_X:
    case OSC_CAMERA_Y:
    case OSC_CAMERA_Z: {
        const int i = p - OSC_CAMERA_X;
        return {&s.animateEye[i], &s.eyeAmplitude[i], &s.eyeFrequency[i], &s.eyePhase[i]};
    }
    case OSC_PHI:
        return {&s.animatePhi, &s.phiAmplitude, &s.phiFrequency, &s.phiPhase};
    case OSC_PSI:
        return {&s.animatePsi, &s.psiAmplitude, &s.psiFrequency, &s.psiPhase};
    case OSC_THETA:
        return {&s.animateTheta, &s.thetaAmplitude, &s.thetaFrequency, &s.thetaPhase};
    case OSC_OPAQUENESS:
        return {&s.animateOpaqueness, &s.opaquenessAmplitude, &s.opaquenessFrequency, &s.opaquenessPhase};
    case OSC_ATOM_SIZE:
        return {&s.animateAtomScale, &s.atomScaleAmplitude, &s.atomScaleFrequency, &s.atomScalePhase};
    default:
        break;
    }
    if (IsClipPlaneParameter(p)) {
        const int k = p - OSC_PLANE_1;
        ClipOscillation& o = s.clipOscillation[k];
        return {&s.oscillateClipPlane[k], &o.amplitude, &o.frequency, &o.phase};
    }
    return {};
}

}  // namespace zelvor
