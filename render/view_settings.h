#pragma once
/// C3DViewSettings: everything the user can adjust about the 3D picture, stored as one 1592-byte value.
#include <cstdint>

#include "app/settings_record.h"
#include "model/vector.h"

namespace zelvor {

/// Polygon modes (the OpenGL values, so the record stays free of GL headers).
inline constexpr int POLYGON_MODE_POINT = 0x1B00;
inline constexpr int POLYGON_MODE_LINE = 0x1B01;
inline constexpr int POLYGON_MODE_FILL = 0x1B02;

/// Amplitude, frequency and phase of one clip plane's oscillating d coefficient.
struct ClipOscillation {
    double amplitude = 0.0, frequency = 0.0, phase = 0.0;
};

class C3DViewSettings : public SETTINGS {
public:
    static constexpr std::uint32_t RECORD_SIZE = 1592;

    /// Defaults, then the stored record when one of the right size exists.
    C3DViewSettings();
    /// Defaults only: never loaded from nor saved to the settings store (headless tools, tests).
    struct Transient {};
    explicit C3DViewSettings(Transient);
    /// Saves the record (unless transient).
    ~C3DViewSettings() override;
    /// A snapshot of every field and the base's name, size and flags. The copy is transient: only the
    /// record that loaded itself writes back to the settings store.
    C3DViewSettings(const C3DViewSettings& other);
    /// Copies every field and the base's name, size and flags; each record keeps its own `persistent`.
    C3DViewSettings& operator=(const C3DViewSettings& other);

    /// Writes every default except the start values and those set by the constructor.
    void SetTypicalValues();

    // Flags of the scene (offset 140..142).
    std::uint8_t sceneChanged = 1;
    std::uint8_t surfaceChanged = 1;
    std::uint8_t surfaceRecolour = 1;
    // Camera (144..199).
    double fieldOfView = 15.0;
    Vector eye;
    Vector aim;
    // Light and material (200..359).
    double lightPosition[4] = {};
    float lightColour[4] = {};
    float lightSpecular[4] = {};
    double materialSpecular = 0.0;
    double ambientFactor = 0.0;
    double shininess = 0.0;
    float lightReserved[9] = {};
    float globalAmbient[4] = {};
    float background[3] = {};
    std::int32_t localViewer = 0;
    std::int32_t twoSidedLighting = 0;
    // Display switches (360..411).
    std::int32_t fixLightToLab = 0;
    std::int32_t optimiseTessellation = 0;
    std::int32_t perspective = 0;
    std::int32_t showSurface = 0;
    std::int32_t showBonds = 0;
    std::int32_t showCellBox = 0;
    std::int32_t bondsAsTubes = 0;
    std::int32_t showInfoText = 0;
    std::int32_t showAxes = 0;
    std::int32_t useClipPlanes = 0;
    std::int32_t showAtoms = 0;
    std::int32_t atomsAsSpheres = 0;
    std::int32_t smoothLines = 0;
    // Iso-levels (412..439).
    std::int32_t showIsoLevel[6] = {};
    std::int32_t autoIsoLevels = 0;
    // Clip planes (440..727).
    std::int32_t clipPlaneFixed[6] = {};
    std::int32_t clipAtoms[6] = {};
    std::int32_t clipBonds[6] = {};
    std::int32_t clipSurface[6] = {};
    double clipPlane[6][4] = {};
    // Animation switches (728..771).
    std::int32_t animateAim[3] = {};
    std::int32_t animateEye[3] = {};
    std::int32_t animatePhi = 0, animatePsi = 0, animateTheta = 0;
    std::int32_t animateOpaqueness = 0;
    std::int32_t animateAtomScale = 0;
    // Drawing (772..847).
    std::int32_t polygonMode = POLYGON_MODE_FILL;
    std::int32_t renderQuality = 15;
    std::int32_t predefinedAnimation = 1;
    std::int32_t reservedColours[16] = {};
    // Orientation (848..871).
    double theta = 0.0;
    double psi = 0.0;
    double phi = 0.0;
    // Sizes and animation parameters (872..1351).
    double atomScale = 0.0;
    double bondSize = 0.0;
    double farVisibility = 0.0;
    double maxBondLength = 0.0;
    double eyeAmplitude[3] = {};
    double eyeFrequency[3] = {};
    double aimAmplitude[3] = {};
    double aimFrequency[3] = {};
    double eyePhase[3] = {};
    double aimPhase[3] = {};
    double frameSpeed = 0.0;
    double phiFrequency = 0.0, phiPhase = 0.0;
    double psiFrequency = 0.0, psiPhase = 0.0;
    double thetaFrequency = 0.0, thetaPhase = 0.0;
    double phiAmplitude = 0.0, psiAmplitude = 0.0, thetaAmplitude = 0.0;
    double opaquenessAmplitude = 0.0, opaquenessFrequency = 0.0, opaquenessPhase = 0.0;
    double atomScaleAmplitude = 0.0, atomScaleFrequency = 0.0, atomScalePhase = 0.0;
    ClipOscillation clipOscillation[6];
    double animationCountdown = 0.0;
    std::int32_t oscillateClipPlane[6] = {};
    // Surface (1352..1591).
    double surfaceDistance = 0.0;
    double opaqueness = 0.0;
    double surfaceStep = 0.0;
    double isoLevel[6] = {};
    Vector isoColour[6];
    Vector homeEye;

    /// False for a transient record: it never loads nor saves. Not part of the stored record.
    bool persistent = true;

protected:
    const char* TypeName() const override { return "class C3DViewSettings"; }
    void StoreFields(ByteImage& image) const override;
    void RestoreFields(const ByteImage& image) override;
};

/// Writes the values that every start of the view begins with (light colours, light model), whatever was
/// stored. Returns 0 for a null record, else 1.
int InitSettings(C3DViewSettings* settings);

}  // namespace zelvor
