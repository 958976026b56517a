#include "render/view_settings.h"

#include <algorithm>
#include <iterator>
#include <type_traits>

namespace zelvor {

namespace {

static_assert(sizeof(Vector) == 3 * sizeof(double), "a stored Vector is three doubles");
static_assert(sizeof(ClipOscillation) == 3 * sizeof(double), "a stored oscillation is three doubles");

/// Every stored field with its offset in the 1592-byte record; both directions of the copy go through here,
/// so storing and restoring can't disagree.
template <class Record, class Field>
void ForEachStoredField(Record& r, Field&& at) {
    at(140, r.sceneChanged);
    at(141, r.surfaceChanged);
    at(142, r.surfaceRecolour);
    at(144, r.fieldOfView);
    at(152, r.eye);
    at(176, r.aim);
    at(200, r.lightPosition);
    at(232, r.lightColour);
    at(248, r.lightSpecular);
    at(264, r.materialSpecular);
    at(272, r.ambientFactor);
    at(280, r.shininess);
    at(288, r.lightReserved);
    at(324, r.globalAmbient);
    at(340, r.background);
    at(352, r.localViewer);
    at(356, r.twoSidedLighting);
    at(360, r.fixLightToLab);
    at(364, r.optimiseTessellation);
    at(368, r.perspective);
    at(372, r.showSurface);
    at(376, r.showBonds);
    at(380, r.showCellBox);
    at(384, r.bondsAsTubes);
    at(388, r.showInfoText);
    at(392, r.showAxes);
    at(396, r.useClipPlanes);
    at(400, r.showAtoms);
    at(404, r.atomsAsSpheres);
    at(408, r.smoothLines);
    at(412, r.showIsoLevel);
    at(436, r.autoIsoLevels);
    at(440, r.clipPlaneFixed);
    at(464, r.clipAtoms);
    at(488, r.clipBonds);
    at(512, r.clipSurface);
    at(536, r.clipPlane);
    at(728, r.animateAim);
    at(740, r.animateEye);
    at(752, r.animatePhi);
    at(756, r.animatePsi);
    at(760, r.animateTheta);
    at(764, r.animateOpaqueness);
    at(768, r.animateAtomScale);
    at(772, r.polygonMode);
    at(776, r.renderQuality);
    at(780, r.predefinedAnimation);
    at(784, r.reservedColours);
    at(848, r.theta);
    at(856, r.psi);
    at(864, r.phi);
    at(872, r.atomScale);
    at(880, r.bondSize);
    at(888, r.farVisibility);
    at(896, r.maxBondLength);
    at(904, r.eyeAmplitude);
    at(928, r.eyeFrequency);
    at(952, r.aimAmplitude);
    at(976, r.aimFrequency);
    at(1000, r.eyePhase);
    at(1024, r.aimPhase);
    at(1048, r.frameSpeed);
    at(1056, r.phiFrequency);
    at(1064, r.phiPhase);
    at(1072, r.psiFrequency);
    at(1080, r.psiPhase);
    at(1088, r.thetaFrequency);
    at(1096, r.thetaPhase);
    at(1104, r.phiAmplitude);
    at(1112, r.psiAmplitude);
    at(1120, r.thetaAmplitude);
    at(1128, r.opaquenessAmplitude);
    at(1136, r.opaquenessFrequency);
    at(1144, r.opaquenessPhase);
    at(1152, r.atomScaleAmplitude);
    at(1160, r.atomScaleFrequency);
    at(1168, r.atomScalePhase);
    at(1176, r.clipOscillation);
    at(1320, r.animationCountdown);
    at(1328, r.oscillateClipPlane);
    at(1352, r.surfaceDistance);
    at(1360, r.opaqueness);
    at(1368, r.surfaceStep);
    at(1376, r.isoLevel);
    at(1424, r.isoColour);
    at(1568, r.homeEye);  // ends at 1592
}

template <class T>
    requires std::is_arithmetic_v<T>
void PutField(ByteImage& image, std::size_t offset, const T& value) {
    image.Put(offset, value);
}
void PutField(ByteImage& image, std::size_t offset, const Vector& v) {
    image.Put(offset, v.x);
    image.Put(offset + 8, v.y);
    image.Put(offset + 16, v.z);
}
void PutField(ByteImage& image, std::size_t offset, const ClipOscillation& c) {
    image.Put(offset, c.amplitude);
    image.Put(offset + 8, c.frequency);
    image.Put(offset + 16, c.phase);
}
template <class T, std::size_t N>
void PutField(ByteImage& image, std::size_t offset, const T (&values)[N]) {
    for (std::size_t i = 0; i < N; ++i) PutField(image, offset + i * sizeof(T), values[i]);
}

template <class T>
    requires std::is_arithmetic_v<T>
void GetField(const ByteImage& image, std::size_t offset, T& value) {
    value = image.Get<T>(offset);
}
void GetField(const ByteImage& image, std::size_t offset, Vector& v) {
    v = {image.Get<double>(offset), image.Get<double>(offset + 8), image.Get<double>(offset + 16)};
}
void GetField(const ByteImage& image, std::size_t offset, ClipOscillation& c) {
    c = {image.Get<double>(offset), image.Get<double>(offset + 8), image.Get<double>(offset + 16)};
}
template <class T, std::size_t N>
void GetField(const ByteImage& image, std::size_t offset, T (&values)[N]) {
    for (std::size_t i = 0; i < N; ++i) GetField(image, offset + i * sizeof(T), values[i]);
}

template <class T, std::size_t N>
void Fill(T (&values)[N], T value) {
    for (T& v : values) v = value;
}

}  // namespace

C3DViewSettings::C3DViewSettings() : C3DViewSettings(Transient{}) {
    persistent = true;
    LoadSettings();
}

C3DViewSettings::C3DViewSettings(Transient) {
    persistent = false;
    eye = aim = homeEye = Vector();
    SetTypicalValues();
    predefinedAnimation = 1;
    Fill(reservedColours, 0x00FFFFFF);
    size = RECORD_SIZE;
}

C3DViewSettings::~C3DViewSettings() {
    if (persistent) SaveSettings();
}

C3DViewSettings::C3DViewSettings(const C3DViewSettings& other) : SETTINGS(other) {
    persistent = false;
    ByteImage image(RECORD_SIZE);
    other.StoreFields(image);
    RestoreFields(image);
}

C3DViewSettings& C3DViewSettings::operator=(const C3DViewSettings& other) {
    if (this == &other) return *this;
    SETTINGS::operator=(other);
    // Going through the stored form copies exactly the record's fields and nothing of the object.
    ByteImage image(RECORD_SIZE);
    other.StoreFields(image);
    RestoreFields(image);
    return *this;
}

void C3DViewSettings::StoreFields(ByteImage& image) const {
    ForEachStoredField(*this, [&](std::size_t offset, const auto& field) { PutField(image, offset, field); });
}

void C3DViewSettings::RestoreFields(const ByteImage& image) {
    ForEachStoredField(*this, [&](std::size_t offset, auto& field) { GetField(image, offset, field); });
}

void C3DViewSettings::SetTypicalValues() {
    sceneChanged = surfaceChanged = surfaceRecolour = 1;
    fieldOfView = 15.0;
    eye = Vector(0, 0, 50);
    aim = Vector(0, 0, 0);
    const double light[4] = {1, 1, 5, 0};
    std::copy(std::begin(light), std::end(light), lightPosition);
    materialSpecular = 0.74;
    ambientFactor = 0.2;
    shininess = 25.0;
    Fill(background, 0.0f);

    fixLightToLab = 1;
    optimiseTessellation = 1;
    perspective = 1;
    showSurface = 1;
    showBonds = 0;
    showCellBox = 0;
    bondsAsTubes = 1;
    showInfoText = 1;
    showAxes = 1;
    useClipPlanes = 0;
    showAtoms = 1;
    atomsAsSpheres = 1;
    smoothLines = 1;

    Fill(showIsoLevel, 1);
    autoIsoLevels = 1;
    Fill(clipPlaneFixed, 0);
    Fill(clipAtoms, 0);
    Fill(clipBonds, 0);
    Fill(clipSurface, 0);
    for (auto& plane : clipPlane) Fill(plane, 0.0);

    animateAim[0] = 1, animateAim[1] = 1, animateAim[2] = 0;
    Fill(animateEye, 1);
    animatePhi = animatePsi = animateTheta = 1;
    animateOpaqueness = 1;
    animateAtomScale = 0;
    polygonMode = POLYGON_MODE_FILL;
    renderQuality = 15;

    theta = psi = phi = 0.0;
    atomScale = 0.27;
    bondSize = 8.0;
    farVisibility = 0.5;
    maxBondLength = 1.78;
    eyeAmplitude[0] = 3.0, eyeAmplitude[1] = 1.5, eyeAmplitude[2] = 3.0;
    eyeFrequency[0] = 0.03, eyeFrequency[1] = 0.03, eyeFrequency[2] = 0.06;
    aimAmplitude[0] = 0.52, aimAmplitude[1] = 0.4, aimAmplitude[2] = 0.0;
    aimFrequency[0] = 0.2, aimFrequency[1] = 0.18, aimFrequency[2] = 0.2;
    eyePhase[0] = 90, eyePhase[1] = 0, eyePhase[2] = 30;
    Fill(aimPhase, 0.0);
    frameSpeed = 6.0;
    phiFrequency = 0.01, phiPhase = -90;
    psiFrequency = 0.04, psiPhase = 0;
    thetaFrequency = 0.006, thetaPhase = 0;
    phiAmplitude = 180, psiAmplitude = 400, thetaAmplitude = 90;
    opaquenessAmplitude = 1.0, opaquenessFrequency = 0.032, opaquenessPhase = 90;
    atomScaleAmplitude = 1.0, atomScaleFrequency = 0.02, atomScalePhase = 90;
    for (auto& oscillation : clipOscillation) oscillation = {75.0, 0.02, 0.0};
    animationCountdown = 10.0;
    Fill(oscillateClipPlane, 0);

    surfaceDistance = 1.0;
    opaqueness = 0.7;
    surfaceStep = 0.8;
    Fill(isoLevel, 0.001);
    isoColour[0] = Vector(1.0, 0.0, 0.0);
    isoColour[1] = Vector(0.8, 0.2, 0.2);
    isoColour[2] = Vector(0.6, 0.4, 0.4);
    isoColour[3] = Vector(0.4, 0.4, 0.6);
    isoColour[4] = Vector(0.2, 0.2, 0.8);
    isoColour[5] = Vector(0.0, 0.0, 1.0);
    homeEye = eye;
}

int InitSettings(C3DViewSettings* settings) {
    if (!settings) return 0;
    C3DViewSettings& s = *settings;
    Fill(s.lightColour, 1.0f);
    Fill(s.lightSpecular, 1.0f);
    // Spot direction, cut-off, then (after one unused slot) the three attenuation factors.
    s.lightReserved[0] = 0.0f;
    s.lightReserved[1] = 0.0f;
    s.lightReserved[2] = -1.0f;
    s.lightReserved[3] = 0.0f;
    s.lightReserved[4] = 180.0f;
    s.lightReserved[6] = 0.175f;
    s.lightReserved[7] = 0.0005f;
    s.lightReserved[8] = 0.000003f;
    s.globalAmbient[0] = s.globalAmbient[1] = s.globalAmbient[2] = 0.2f;
    s.globalAmbient[3] = 1.0f;
    s.localViewer = 0;
    s.twoSidedLighting = 0;
    return 1;
}

}  // namespace zelvor
