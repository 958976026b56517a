// Camera, angles and the mouse, driven with window coordinates.
#include <gtest/gtest.h>

#include <cmath>

#include "view_test_scene.h"

namespace zelvor {
namespace {

using test::ViewScene;

TEST(ViewCamera, PrepareScenePlacesTheEyeAtThreeCellWidths) {
    ViewScene scene("1\nC\nC 0 0 0\n");
    ASSERT_TRUE(scene.Ok());
    const double width = scene.Doc().GetMaxCellWidth(0);
    const C3DViewSettings& s = scene.Settings();
    EXPECT_DOUBLE_EQ(s.eye.z, 3.0 * width);
    EXPECT_EQ(s.homeEye.z, s.eye.z);
    EXPECT_NEAR(s.fieldOfView, 3 * std::atan2(0.5, 3.0) * 180 / M_PI, 1e-9);  // about 28.4 degrees
}

TEST(ViewCamera, AnglesAreNormalisedAndResolved) {
    EXPECT_DOUBLE_EQ(CViewCamera::NormaliseAngle(-0.01), 359.99);
    EXPECT_NEAR(CViewCamera::NormaliseAngle(720.5), 0.5, 1e-9);
    EXPECT_EQ(CViewCamera::NormaliseAngle(360.0), 0.0);
    EXPECT_EQ(CViewCamera::NormaliseAngle(std::nan("")), 0.0);
    EXPECT_NEAR(CViewCamera::ResolveAmbiguousAngle(0.0, 1.0), 90.0, 1e-9);
    EXPECT_NEAR(CViewCamera::ResolveAmbiguousAngle(0.0, -1.0), 270.0, 1e-9);
    EXPECT_NEAR(CViewCamera::ResolveAmbiguousAngle(-1.0, -1e-9), 180.0, 0.011);
    // Rounding just past 1 must not give NaN.
    EXPECT_EQ(CViewCamera::ResolveAmbiguousAngle(1.0000000001, 0.0), 0.0);
    EXPECT_NEAR(CViewCamera::ResolveAmbiguousAngle(-1.0000000001, 0.0), 180.0, 1e-9);
}

TEST(ViewCamera, UpVectorRules) {
    const Vector onZ = CViewCamera::UpVectorFor(Vector(0, 0, 10));
    EXPECT_EQ(onZ.y, 10.0);  // (eye.y, eye.z, eye.x)
    const Vector diagonal = CViewCamera::UpVectorFor(Vector(5, 5, 5));
    const double cosine = (diagonal * Vector(5, 5, 5)) / (std::sqrt(diagonal * diagonal) * std::sqrt(75.0));
    EXPECT_LT(cosine, 0.99);
}

TEST(ViewCamera, ThirtyPixelDragTurnsThirtyDegrees) {
    ViewScene scene("2\npair\nC 2 0 0\nO -2 0 0\n");
    ASSERT_TRUE(scene.Ok());
    scene.Paint();
    CDravikGLView& view = scene.View();
    view.OnLButtonDown(20, 32);
    view.OnMouseMove(50, 32, MOUSE_LEFT);
    EXPECT_DOUBLE_EQ(view.Camera().TrackballAngle(), 30.0);
    EXPECT_EQ(view.Camera().TrackballAxis().x, 0.0);
    EXPECT_GT(view.Camera().TrackballAxis().y, 0.0);
    view.OnLButtonUp(50, 32);
    const C3DViewSettings& s = scene.Settings();
    for (double a : {s.phi, s.theta, s.psi}) {
        EXPECT_GE(a, 0.0);
        EXPECT_LT(a, 360.0);
    }
    EXPECT_NEAR(s.theta, 30.0, 0.011);
    EXPECT_EQ(view.Camera().TrackballAngle(), 0.0);
    // The Euler angles now give a 30 degree turn about the vertical axis.
    scene.Paint();
    const double* m = view.Camera().RotationSet().modelview;
    EXPECT_NEAR(m[0], std::cos(M_PI / 6), 1e-3);
    EXPECT_NEAR(m[8], std::sin(M_PI / 6), 1e-3);
    EXPECT_NEAR(m[5], 1.0, 1e-3);
}

TEST(ViewCamera, RightDragByHalfTheHeightHalvesTheEye) {
    ViewScene scene("1\nC\nC 0 0 0\n");
    ASSERT_TRUE(scene.Ok());
    scene.Paint();
    const Vector eye = scene.Settings().eye;
    scene.View().OnRButtonDown(10, 10);
    scene.View().OnMouseMove(10, 42, MOUSE_RIGHT);
    scene.View().OnRButtonUp(10, 42);
    EXPECT_NEAR(scene.Settings().eye.z, eye.z / 2, 1e-9);
}

TEST(ViewCamera, ShiftDragMovesTheAim) {
    ViewScene scene("1\nC\nC 0 0 0\n");
    ASSERT_TRUE(scene.Ok());
    scene.Paint();
    scene.View().OnLButtonDown(32, 32, true);
    scene.View().OnMouseMove(42, 32, MOUSE_LEFT | MOUSE_SHIFT);
    // Dragging right moves the aim left, so the molecule follows the pointer.
    EXPECT_LT(scene.Settings().aim.x, 0.0);
    EXPECT_NEAR(scene.Settings().aim.y, 0.0, 1e-6);
}

TEST(ViewCamera, DoubleClickPicksTheFrontAtom) {
    // Atom 2 lies in front of atom 1 along the view axis, and they overlap.
    ViewScene scene("2\nstack\nC 0 0 0\nC 0 0 0.6\n");
    ASSERT_TRUE(scene.Ok());
    scene.Paint();
    const Frame& frame = scene.Doc().GetFrame(0);
    scene.View().OnLButtonDblClk(2, 2);
    EXPECT_FALSE(frame.atoms[1].selected);
    EXPECT_FALSE(frame.atoms[2].selected);
    scene.View().OnLButtonDblClk(32, 32);
    EXPECT_FALSE(frame.atoms[1].selected);
    EXPECT_TRUE(frame.atoms[2].selected);
    // Selection forces a scene rebuild with the brightened list.
    EXPECT_EQ(scene.View().Lists().Counts().sceneLists, 2);
}

TEST(ViewCamera, ZeroSizeChangesNothing) {
    ViewScene scene("1\nC\nC 0 0 0\n");
    ASSERT_TRUE(scene.Ok());
    scene.View().OnSize(0, 40);
    scene.View().OnSize(40, 0);
    EXPECT_EQ(scene.View().Camera().ClientWidth(), 64);
    EXPECT_EQ(scene.View().Camera().ClientHeight(), 64);
}

}  // namespace
}  // namespace zelvor
