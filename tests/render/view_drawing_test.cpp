// Pictures drawn through the view into an off-screen context.
#include <gtest/gtest.h>

#include "view_test_scene.h"

namespace zelvor {
namespace {

using test::Rgba;
using test::ViewScene;

int Brightness(const Rgba& p) { return p[0] + p[1] + p[2]; }

TEST(ViewDrawing, LoneAtomShowsItsElementColourOnTheBackground) {
    ViewScene scene("1\nlone oxygen\nO 0 0 0\n");
    ASSERT_TRUE(scene.Ok());
    scene.Settings().farVisibility = 0.99;
    scene.Paint();
    const Rgba centre = scene.Pixel(32, 32);
    // Oxygen is red: a lit red sphere, brightest component red.
    EXPECT_GT(centre[0], 120);
    EXPECT_GT(centre[0], 3 * centre[1]);
    EXPECT_GT(centre[0], 3 * centre[2]);
    for (const Rgba& corner : {scene.Pixel(0, 0), scene.Pixel(63, 0), scene.Pixel(0, 63), scene.Pixel(63, 63)})
        EXPECT_EQ(Brightness(corner), 0);
}

TEST(ViewDrawing, FogDarkensWithLowFarVisibility) {
    ViewScene scene("1\ncarbon\nC 0 0 0\n");
    ASSERT_TRUE(scene.Ok());
    scene.Settings().farVisibility = 0.99;
    scene.Paint();
    const int clear = Brightness(scene.Pixel(32, 32));
    scene.Settings().farVisibility = 0.5;
    scene.Paint();
    const int fogged = Brightness(scene.Pixel(32, 32));
    EXPECT_GT(clear, 0);
    EXPECT_LT(fogged, clear * 9 / 10);
    EXPECT_GT(fogged, clear / 4);
}

TEST(ViewDrawing, FartherAtomIsDarkerInFog) {
    // Two carbons side by side, the right one 3 Å farther from the camera.
    ViewScene scene("2\npair\nC -1.5 0 1.5\nC 1.5 0 -1.5\n", 96);
    ASSERT_TRUE(scene.Ok());
    scene.Settings().farVisibility = 0.5;
    scene.Paint();
    int nearPeak = 0, farPeak = 0;
    for (int x = 0; x < 48; ++x) nearPeak = std::max(nearPeak, Brightness(scene.Pixel(x, 48)));
    for (int x = 48; x < 96; ++x) farPeak = std::max(farPeak, Brightness(scene.Pixel(x, 48)));
    EXPECT_GT(farPeak, 0);
    EXPECT_GT(nearPeak, farPeak);
}

TEST(ViewDrawing, ClipPlaneRemovesHalfTheMolecule) {
    ViewScene scene("2\npair\nC -2 0 0\nC 2 0 0\n", 96);
    ASSERT_TRUE(scene.Ok());
    scene.Paint();
    const auto halfBrightness = [&](int from, int to) {
        int sum = 0;
        for (int y = 0; y < 96; ++y)
            for (int x = from; x < to; ++x) sum += Brightness(scene.Pixel(x, y));
        return sum;
    };
    ASSERT_GT(halfBrightness(0, 48), 0);
    ASSERT_GT(halfBrightness(48, 96), 0);
    C3DViewSettings& s = scene.Settings();
    s.useClipPlanes = 1;
    s.clipAtoms[0] = 1;
    s.clipPlane[0][0] = 1.0;  // keeps x >= 0
    scene.Paint();
    EXPECT_EQ(halfBrightness(0, 48), 0);
    EXPECT_GT(halfBrightness(48, 96), 0);
}

TEST(ViewDrawing, LineBondsShowOneColourPerElement) {
    const auto bondColours = [](const char* xyz) {
        ViewScene scene(xyz, 96);
        EXPECT_TRUE(scene.Ok());
        C3DViewSettings& s = scene.Settings();
        s.showBonds = 1;
        s.bondsAsTubes = 0;
        s.showAtoms = 0;
        s.smoothLines = 0;
        s.farVisibility = 0.99;
        scene.Paint();
        // The bond spans about 9 pixels each side of the centre.
        return std::pair{scene.Pixel(44, 48), scene.Pixel(52, 48)};
    };
    const auto [cLeft, oRight] = bondColours("2\nCO\nC -0.6 0 0\nO 0.6 0 0\n");
    EXPECT_GT(Brightness(cLeft), 0);
    EXPECT_NEAR(cLeft[0], cLeft[2], 3);  // carbon grey
    EXPECT_GT(oRight[0], 3 * oRight[2]);  // oxygen red
    const auto [left, right] = bondColours("2\nCC\nC -0.7 0 0\nC 0.7 0 0\n");
    EXPECT_GT(Brightness(left), 0);
    EXPECT_EQ(left, right);
}

TEST(ViewDrawing, TubeBondJoinsTwoAtoms) {
    ViewScene scene("2\nCC\nC -0.75 0 0\nC 0.75 0 0\n", 96);
    ASSERT_TRUE(scene.Ok());
    C3DViewSettings& s = scene.Settings();
    s.atomScale = 0.05;  // small spheres leave the tube visible between them
    s.farVisibility = 0.99;
    scene.Paint();
    EXPECT_EQ(Brightness(scene.Pixel(48, 48)), 0);
    s.showBonds = 1;
    scene.Paint();
    EXPECT_GT(Brightness(scene.Pixel(48, 48)), 0);
    EXPECT_EQ(scene.Doc().GetFrame(0).displayedBonds, 2);  // met once from each end
}

TEST(ViewDrawing, CameraOnTheDiagonalStillShowsTheAtom) {
    ViewScene scene("1\nC\nC 0 0 0\n");
    ASSERT_TRUE(scene.Ok());
    scene.Settings().eye = Vector(20, 20, 20);
    scene.Settings().farVisibility = 0.99;
    scene.Paint();
    EXPECT_GT(Brightness(scene.Pixel(32, 32)), 0);
}

TEST(ViewDrawing, AxesAndTextDrawWithoutDisturbingTheScene) {
    ViewScene scene("1\nC comment\nC 0 0 0\n", 128);
    ASSERT_TRUE(scene.Ok());
    scene.Settings().farVisibility = 0.99;
    scene.Paint();
    const Rgba centre = scene.Pixel(64, 64);
    scene.Settings().showAxes = 1;
    scene.Settings().showInfoText = 1;
    scene.Paint();
    EXPECT_EQ(scene.Pixel(64, 64), centre);
    // The axes start at window point (50, 50) from the bottom-left corner.
    int lit = 0;
    for (int y = 60; y < 128; ++y)
        for (int x = 0; x < 64; ++x) lit += Brightness(scene.Pixel(x, y)) > 0;
    EXPECT_GT(lit, 0);
}

}  // namespace
}  // namespace zelvor
