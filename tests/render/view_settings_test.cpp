#include "render/view_settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <type_traits>

#include "app/app_profile.h"
#include "platform/settings_store.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

using R = C3DViewSettings;

// Changes every scalar inside a field, so each of its stored bytes ranges shows a difference.
template <class T>
    requires std::is_arithmetic_v<T>
void Bump(T& v) {
    v = static_cast<T>(v + 3);
}
void Bump(Vector& v) { Bump(v.x), Bump(v.y), Bump(v.z); }
void Bump(ClipOscillation& c) { Bump(c.amplitude), Bump(c.frequency), Bump(c.phase); }
template <class T, std::size_t N>
void Bump(T (&values)[N]) {
    for (auto& v : values) Bump(v);
}

template <class T>
constexpr std::size_t ScalarSize() {
    if constexpr (std::is_array_v<T>)
        return ScalarSize<std::remove_extent_t<T>>();
    else if constexpr (std::is_same_v<T, Vector> || std::is_same_v<T, ClipOscillation>)
        return sizeof(double);
    else
        return sizeof(T);
}

struct FieldAt {
    const char* name;
    std::size_t offset;
    std::size_t bytes;
    std::size_t scalar;
    std::function<void(R&)> bump;
};

#define FIELD(offset, member) \
    FieldAt { #member, offset, sizeof(R::member), ScalarSize<decltype(R::member)>(), [](R& r) { Bump(r.member); } }

// The stored layout, field by field.
const std::vector<FieldAt>& Layout() {
    static const std::vector<FieldAt> layout = {
        FIELD(140, sceneChanged), FIELD(141, surfaceChanged), FIELD(142, surfaceRecolour),
        FIELD(144, fieldOfView), FIELD(152, eye), FIELD(176, aim), FIELD(200, lightPosition),
        FIELD(232, lightColour), FIELD(248, lightSpecular), FIELD(264, materialSpecular),
        FIELD(272, ambientFactor), FIELD(280, shininess), FIELD(288, lightReserved), FIELD(324, globalAmbient),
        FIELD(340, background), FIELD(352, localViewer), FIELD(356, twoSidedLighting),
        FIELD(360, fixLightToLab), FIELD(364, optimiseTessellation), FIELD(368, perspective),
        FIELD(372, showSurface), FIELD(376, showBonds), FIELD(380, showCellBox), FIELD(384, bondsAsTubes),
        FIELD(388, showInfoText), FIELD(392, showAxes), FIELD(396, useClipPlanes), FIELD(400, showAtoms),
        FIELD(404, atomsAsSpheres), FIELD(408, smoothLines), FIELD(412, showIsoLevel), FIELD(436, autoIsoLevels),
        FIELD(440, clipPlaneFixed), FIELD(464, clipAtoms), FIELD(488, clipBonds), FIELD(512, clipSurface),
        FIELD(536, clipPlane), FIELD(728, animateAim), FIELD(740, animateEye), FIELD(752, animatePhi),
        FIELD(756, animatePsi), FIELD(760, animateTheta), FIELD(764, animateOpaqueness),
        FIELD(768, animateAtomScale), FIELD(772, polygonMode), FIELD(776, renderQuality),
        FIELD(780, predefinedAnimation), FIELD(784, reservedColours), FIELD(848, theta), FIELD(856, psi),
        FIELD(864, phi), FIELD(872, atomScale), FIELD(880, bondSize), FIELD(888, farVisibility),
        FIELD(896, maxBondLength), FIELD(904, eyeAmplitude), FIELD(928, eyeFrequency), FIELD(952, aimAmplitude),
        FIELD(976, aimFrequency), FIELD(1000, eyePhase), FIELD(1024, aimPhase), FIELD(1048, frameSpeed),
        FIELD(1056, phiFrequency), FIELD(1064, phiPhase), FIELD(1072, psiFrequency), FIELD(1080, psiPhase),
        FIELD(1088, thetaFrequency), FIELD(1096, thetaPhase), FIELD(1104, phiAmplitude),
        FIELD(1112, psiAmplitude), FIELD(1120, thetaAmplitude), FIELD(1128, opaquenessAmplitude),
        FIELD(1136, opaquenessFrequency), FIELD(1144, opaquenessPhase), FIELD(1152, atomScaleAmplitude),
        FIELD(1160, atomScaleFrequency), FIELD(1168, atomScalePhase), FIELD(1176, clipOscillation),
        FIELD(1320, animationCountdown), FIELD(1328, oscillateClipPlane), FIELD(1352, surfaceDistance),
        FIELD(1360, opaqueness), FIELD(1368, surfaceStep), FIELD(1376, isoLevel), FIELD(1424, isoColour),
        FIELD(1568, homeEye),
    };
    return layout;
}

TEST(ViewSettingsLayout, TheFieldsTileTheRecordWithOnlyOnePaddingByte) {
    std::vector<int> owners(R::RECORD_SIZE, 0);
    for (const FieldAt& f : Layout())
        for (std::size_t b = f.offset; b < f.offset + f.bytes; ++b) ++owners.at(b);
    for (std::size_t b = SETTINGS::HEADER_SIZE; b < R::RECORD_SIZE; ++b)
        EXPECT_EQ(owners[b], b == 143 ? 0 : 1) << "byte " << b;
}

TEST(ViewSettingsLayout, EachFieldLandsAtItsOffset) {
    const R base{R::Transient{}};
    const std::vector<std::uint8_t> before = base.ToImage().Bytes();
    ASSERT_EQ(before.size(), 1592u);
    for (const FieldAt& f : Layout()) {
        R changed = base;
        f.bump(changed);
        const std::vector<std::uint8_t> after = changed.ToImage().Bytes();
        std::size_t first = after.size(), last = 0;
        for (std::size_t b = 0; b < after.size(); ++b)
            if (after[b] != before[b]) first = std::min(first, b), last = b;
        ASSERT_LT(first, after.size()) << f.name << " is not stored";
        EXPECT_GE(first, f.offset) << f.name;
        EXPECT_LT(first, f.offset + f.scalar) << f.name;
        EXPECT_LT(last, f.offset + f.bytes) << f.name;
        EXPECT_GE(last, f.offset + f.bytes - f.scalar) << f.name;

        // And it comes back from the stored form.
        R restored{R::Transient{}};
        ASSERT_TRUE(restored.FromImage(after));
        EXPECT_EQ(restored.ToImage().Bytes(), after) << f.name;
    }
}

class ViewSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { profile.SetRegistryKey("Cobrant"); }
    std::optional<std::vector<std::uint8_t>> Stored() const {
        return SettingsStore::ForApplication("Cobrant", "Zelvor").ReadBinary("1,5,1962,2778/class C3DViewSettings/Settings");
    }

    test::ScopedConfigHome home;
    CAppProfile profile{"Zelvor", "1,5,1962,2778"};
};

TEST_F(ViewSettingsTest, AFirstStartHasTheTypicalValues) {
    R s;
    EXPECT_EQ(s.loadFailed, 1);
    EXPECT_EQ(s.size, 1592u);
    EXPECT_STREQ(s.name, "class C3DViewSettings");
    EXPECT_EQ(s.showAtoms, 1);
    EXPECT_EQ(s.atomsAsSpheres, 1);
    EXPECT_EQ(s.renderQuality, 15);
    EXPECT_EQ(s.showBonds, 0);
    EXPECT_EQ(s.showSurface, 1);
    EXPECT_DOUBLE_EQ(s.opaqueness, 0.7);
    EXPECT_EQ(s.showAxes, 1);
    EXPECT_EQ(s.showInfoText, 1);
    EXPECT_DOUBLE_EQ(s.farVisibility, 0.5);
    EXPECT_EQ(s.perspective, 1);
    EXPECT_DOUBLE_EQ(s.eye.z, 50.0);
    EXPECT_DOUBLE_EQ(s.eye.x, 0.0);
    EXPECT_DOUBLE_EQ(s.aim.x + s.aim.y + s.aim.z, 0.0);
    EXPECT_DOUBLE_EQ(s.homeEye.z, 50.0);
    EXPECT_DOUBLE_EQ(s.fieldOfView, 15.0);
    EXPECT_DOUBLE_EQ(s.maxBondLength, 1.78);
    EXPECT_DOUBLE_EQ(s.atomScale, 0.27);
    EXPECT_EQ(s.polygonMode, POLYGON_MODE_FILL);
    EXPECT_EQ(s.predefinedAnimation, 1);
    for (int c : s.reservedColours) EXPECT_EQ(c, 0x00FFFFFF);
    EXPECT_DOUBLE_EQ(s.phiPhase, -90.0);
    EXPECT_DOUBLE_EQ(s.clipOscillation[5].amplitude, 75.0);
    EXPECT_DOUBLE_EQ(s.isoColour[1].x, 0.8);
    EXPECT_DOUBLE_EQ(s.isoColour[5].z, 1.0);
    EXPECT_EQ(s.animateAim[2], 0);
    // The start values are the view's to set.
    EXPECT_EQ(s.lightColour[0], 0.0f);
    EXPECT_EQ(s.globalAmbient[3], 0.0f);
}

TEST_F(ViewSettingsTest, EveryFieldSurvivesTheStore) {
    std::vector<std::uint8_t> saved;
    {
        R s;
        for (const FieldAt& f : Layout()) f.bump(s);
        saved = s.ToImage().Bytes();
    }
    ASSERT_EQ(Stored(), saved);
    R loaded;
    EXPECT_EQ(loaded.loadFailed, 0);
    const std::vector<std::uint8_t> image = loaded.ToImage().Bytes();
    EXPECT_TRUE(std::equal(image.begin() + SETTINGS::HEADER_SIZE, image.end(), saved.begin() + SETTINGS::HEADER_SIZE));
    EXPECT_EQ(loaded.renderQuality, 18);
    EXPECT_DOUBLE_EQ(loaded.homeEye.z, 53.0);
}

TEST_F(ViewSettingsTest, AStoredValueOfAnotherSizeIsIgnored) {
    R reference{R::Transient{}};
    reference.renderQuality = 29;
    for (int delta : {-1, +1}) {
        std::vector<std::uint8_t> bytes = reference.ToImage().Bytes();
        bytes.resize(bytes.size() + delta, 0);
        ASSERT_TRUE(profile.WriteProfileBinary("class C3DViewSettings", "Settings", bytes));
        R s;
        EXPECT_EQ(s.loadFailed, 1) << delta;
        EXPECT_EQ(s.renderQuality, 15);
        s.persistent = false;  // keep the damaged value for the next round
    }
}

TEST_F(ViewSettingsTest, EveryStartUsesWhiteLightWhateverWasStored) {
    EXPECT_EQ(InitSettings(nullptr), 0);
    {
        R s;
        s.lightColour[0] = 1, s.lightColour[1] = 0, s.lightColour[2] = 0;
        s.lightSpecular[2] = 0.25f;
        s.globalAmbient[0] = 0.9f;
        s.localViewer = 1;
        s.twoSidedLighting = 1;
        s.lightReserved[5] = 42.0f;
    }
    R s;
    ASSERT_EQ(s.loadFailed, 0);
    EXPECT_EQ(s.lightColour[1], 0.0f);  // the stored colour was loaded ...
    EXPECT_EQ(InitSettings(&s), 1);     // ... and the start replaces it
    for (float c : s.lightColour) EXPECT_EQ(c, 1.0f);
    for (float c : s.lightSpecular) EXPECT_EQ(c, 1.0f);
    EXPECT_EQ(s.globalAmbient[0], 0.2f);
    EXPECT_EQ(s.globalAmbient[3], 1.0f);
    EXPECT_EQ(s.localViewer, 0);
    EXPECT_EQ(s.twoSidedLighting, 0);
    EXPECT_EQ(s.lightReserved[2], -1.0f);
    EXPECT_EQ(s.lightReserved[4], 180.0f);
    EXPECT_EQ(s.lightReserved[5], 42.0f);  // the unset slot keeps what it had
    EXPECT_EQ(s.lightReserved[8], 0.000003f);
}

TEST_F(ViewSettingsTest, TypicalValuesLeaveStartAndConstructorValuesAlone) {
    R s{R::Transient{}};
    InitSettings(&s);
    s.lightColour[0] = 0.5f;
    s.predefinedAnimation = 5;
    s.reservedColours[3] = 7;
    s.renderQuality = 2;
    s.SetTypicalValues();
    EXPECT_EQ(s.lightColour[0], 0.5f);
    EXPECT_EQ(s.predefinedAnimation, 5);
    EXPECT_EQ(s.reservedColours[3], 7);
    EXPECT_EQ(s.renderQuality, 15);
}

TEST_F(ViewSettingsTest, TransientRecordsNeitherLoadNorSave) {
    { R stored; stored.renderQuality = 20; }
    {
        R transient{R::Transient{}};
        EXPECT_EQ(transient.renderQuality, 15);
        EXPECT_EQ(transient.loaded, 0);
        transient.renderQuality = 3;
    }
    R s;
    EXPECT_EQ(s.renderQuality, 20);
}

TEST_F(ViewSettingsTest, CopiesTakeFieldsAndHeaderButNotPersistence) {
    R persistent;
    R transient{R::Transient{}};
    transient.renderQuality = 4;
    transient.isoColour[2] = Vector(0.1, 0.2, 0.3);
    persistent = transient;
    EXPECT_TRUE(persistent.persistent);
    EXPECT_EQ(persistent.renderQuality, 4);
    EXPECT_DOUBLE_EQ(persistent.isoColour[2].z, 0.3);
    EXPECT_EQ(persistent.loaded, 0);  // the header came along too
    EXPECT_STREQ(persistent.name, "");

    R loaded;
    loaded.renderQuality = 25;
    {
        R snapshot(loaded);
        EXPECT_FALSE(snapshot.persistent);
        EXPECT_EQ(snapshot.renderQuality, 25);
        EXPECT_STREQ(snapshot.name, "class C3DViewSettings");
        snapshot.renderQuality = 9;  // a snapshot's changes never reach the store
    }
    loaded.persistent = false;
    persistent.persistent = false;
    R fresh;
    EXPECT_EQ(fresh.renderQuality, 15);
}

}  // namespace
}  // namespace zelvor
