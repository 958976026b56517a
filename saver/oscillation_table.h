#pragma once
/// The seventeen oscillated view parameters as the animation dialog shows them: control ids, captions,
/// scroller ranges and the settings fields each one edits.
#include <cstdint>

namespace zelvor {

class C3DViewSettings;

/// The oscillated parameters, in the order of the animation dialog's check boxes.
enum OscillatedParameter : int {
    OSC_AIM_X = 0,
    OSC_AIM_Y,
    OSC_AIM_Z,
    OSC_CAMERA_X,
    OSC_CAMERA_Y,
    OSC_CAMERA_Z,
    OSC_PHI,
    OSC_PSI,
    OSC_THETA,
    OSC_OPAQUENESS,
    OSC_ATOM_SIZE,
    OSC_PLANE_1,
    OSC_PLANE_2,
    OSC_PLANE_3,
    OSC_PLANE_4,
    OSC_PLANE_5,
    OSC_PLANE_6,
    OSC_COUNT
};

/// True for the six clipping planes.
constexpr bool IsClipPlaneParameter(int p) { return p >= OSC_PLANE_1 && p <= OSC_PLANE_6; }

/// How one parameter appears: its controls on the animation dialog and the scrollers of its oscillation dialog.
struct OscillationLayout {
    int checkId;
    int buttonId;
    /// Text of the check box (layout is free; opaqueness and atom size have fixed texts).
    const char* checkText;
    /// Caption of the oscillation dialog.
    const char* caption;
    double frequencyMax;
    double frequencyLargeChange;
    double amplitudeMax;
    double amplitudeSmallChange;
    double amplitudeLargeChange;
    short amplitudePrecision;
    /// Unit after the amplitude, Latin-1 (the code page of the texts); empty for none.
    const char* amplitudeUnitLatin1;
};

/// Settings every oscillation dialog shares: phase and frequency scrollers, amplitude description.
struct OscillationCommon {
    static constexpr double PHASE_MIN = -90.0, PHASE_MAX = 90.0;
    static constexpr double PHASE_SMALL_CHANGE = 1.0, PHASE_LARGE_CHANGE = 10.0;
    static constexpr short PHASE_PRECISION = 2;
    static constexpr double FREQUENCY_MIN = 0.0, FREQUENCY_SMALL_CHANGE = 0.002;
    static constexpr short FREQUENCY_PRECISION = 3;
    static constexpr double AMPLITUDE_MIN = 0.0;
    static constexpr const char* PHASE_DESCRIPTION = "d =";
    static constexpr const char* PHASE_UNIT_LATIN1 = " \xB0";
    static constexpr const char* FREQUENCY_DESCRIPTION = "Frequency:";
    static constexpr const char* FREQUENCY_UNIT = " Hz";
    static constexpr const char* AMPLITUDE_DESCRIPTION = "Amplitude:";
};

/// The layout of parameter p (0 <= p < OSC_COUNT).
const OscillationLayout& LayoutOf(int p);

/// The settings fields that one parameter's check box and oscillation dialog edit.
struct OscillationFields {
    std::int32_t* enable = nullptr;
    double* amplitude = nullptr;
    double* frequency = nullptr;
    double* phase = nullptr;
};

/// The fields of parameter p within s.
OscillationFields FieldsOf(C3DViewSettings& s, int p);

}  // namespace zelvor
