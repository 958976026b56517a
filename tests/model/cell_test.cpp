// Cell geometry of a frame: the made-up cube, inverse, reciprocal vectors, corners and the box width.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "model/dravik_doc.h"
#include "model_fixtures.h"

namespace zelvor {
namespace {

void ExpectVector(const Vector& v, double x, double y, double z, const char* what) {
    EXPECT_NEAR(v.x, x, 1e-12) << what;
    EXPECT_NEAR(v.y, y, 1e-12) << what;
    EXPECT_NEAR(v.z, z, 1e-12) << what;
}

class CellTest : public ::testing::Test {
protected:
    void SetUp() override { test::UseTestElements(); }
    void TearDown() override { ResetElementTable(); }
    CDravikDoc doc;
};

TEST_F(CellTest, AFrameWithoutCellGetsACubeTwiceItsHalfExtent) {
    test::FillFrame(doc, 0, {{"C", -4, 1, 0}, {"C", 4, -2, 3}});
    doc.CalcCellSizeRcutoff(0, 4.0);
    doc.SetMaxCellWidth();
    const Frame& f = doc.GetFrame(0);
    ExpectVector(f.cellA, 8, 0, 0, "a");
    ExpectVector(f.cellB, 0, 8, 0, "b");
    ExpectVector(f.cellC, 0, 0, 8, "c");
    EXPECT_FALSE(doc.IsCellGiven());
    EXPECT_FALSE(f.cellGiven);
    EXPECT_DOUBLE_EQ(f.halfMinCell, 4.0);
    EXPECT_DOUBLE_EQ(f.maxCellWidth, 11.0);
    EXPECT_DOUBLE_EQ(f.invMaxCellWidth, 1.0 / 11.0);
    ExpectVector(f.cellInverse[0], 0.125, 0, 0, "inverse row 0");
    ExpectVector(f.cellInverse[2], 0, 0, 0.125, "inverse row 2");
    ExpectVector(f.reciprocal[1], 0, 2 * std::numbers::pi / 8, 0, "reciprocal b");
}

TEST_F(CellTest, CornersFollowTheDrawingOrderAroundTheOrigin) {
    test::FillFrame(doc, 0, {{"C", 0, 0, 0}});
    Frame& f = doc.GetFrame(0);
    f.cellA = Vector(2, 0, 0);
    f.cellB = Vector(0, 4, 0);
    f.cellC = Vector(0, 0, 6);
    doc.CalcCellSizeRcutoff(0, 0.0);
    EXPECT_TRUE(doc.IsCellGiven());
    EXPECT_TRUE(f.cellGiven);
    const double expected[8][3] = {{1, 2, 3},   {1, -2, 3},   {1, -2, -3}, {-1, 2, 3},
                                   {-1, -2, 3}, {-1, -2, -3}, {1, 2, -3},  {-1, 2, -3}};
    for (int i = 0; i < 8; ++i)
        ExpectVector(f.cellCorners[i], expected[i][0], expected[i][1], expected[i][2], "corner");
    EXPECT_DOUBLE_EQ(f.halfMinCell, 1.0);
}

TEST_F(CellTest, ASmallCellStillGivesABoxOfEight) {
    test::FillFrame(doc, 0, {{"C", 0, 0, 0}});
    Frame& f = doc.GetFrame(0);
    f.cellA = Vector(1, 1, 1);
    f.cellB = Vector(0, 2, 0);
    f.cellC = Vector(0, 0, 2);
    doc.CalcCellSizeRcutoff(0, 0.0);
    doc.SetMaxCellWidth();
    EXPECT_DOUBLE_EQ(f.maxCellWidth, 8.0);
    f.cellB = Vector(-3, 4, -1);  // |x|+|y|+|z| = 8 rules over the lengths
    doc.SetMaxCellWidth();
    EXPECT_DOUBLE_EQ(f.maxCellWidth, 11.0);
}

TEST_F(CellTest, TriclinicInverseAndReciprocalVectors) {
    test::FillFrame(doc, 0, {{"C", 0, 0, 0}});
    Frame& f = doc.GetFrame(0);
    const Vector a(5, 0, 0), b(2.5, 4.33, 0), c(1, 1, 6);
    f.cellA = a;
    f.cellB = b;
    f.cellC = c;
    doc.CalcCellSizeRcutoff(0, 0.0);
    const Vector cell[3] = {a, b, c};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(f.cellInverse[i] * cell[j], i == j ? 1.0 : 0.0, 1e-12) << i << j;
            EXPECT_NEAR(f.reciprocal[i] * cell[j], i == j ? 2 * std::numbers::pi : 0.0, 1e-12) << i << j;
        }
    // The fractional point (0.5, -0.5, 0.5) of the second corner.
    ExpectVector(f.cellCorners[1], 0.5 * (a.x - b.x + c.x), 0.5 * (a.y - b.y + c.y), 0.5 * (a.z - b.z + c.z), "c1");
    EXPECT_DOUBLE_EQ(f.halfMinCell, 0.5 * std::sqrt(b * b)) << "b is the shortest edge";
}

TEST_F(CellTest, AFlatCellLeavesInverseAndReciprocalZero) {
    test::FillFrame(doc, 0, {{"C", 0, 0, 0}});
    Frame& f = doc.GetFrame(0);
    f.cellA = Vector(4, 0, 0);
    f.cellB = Vector(0, 4, 0);
    f.cellC = Vector(2, 2, 0);  // in the plane of a and b
    doc.CalcCellSizeRcutoff(0, 0.0);
    for (int i = 0; i < 3; ++i) {
        ExpectVector(f.cellInverse[i], 0, 0, 0, "inverse");
        ExpectVector(f.reciprocal[i], 0, 0, 0, "reciprocal");
    }
    // A one-atom frame without cell: all three vectors zero.
    test::FillFrame(doc, 1, {{"C", 0, 0, 0}});
    doc.CalcCellSizeRcutoff(1, 0.0);
    doc.SetMaxCellWidth();
    const Frame& g = doc.GetFrame(1);
    ExpectVector(g.cellInverse[0], 0, 0, 0, "inverse of a zero cell");
    EXPECT_DOUBLE_EQ(g.halfMinCell, 0.0);
    EXPECT_DOUBLE_EQ(g.maxCellWidth, 8.0);
}

}  // namespace
}  // namespace zelvor
