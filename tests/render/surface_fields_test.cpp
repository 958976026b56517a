// The two scalar fields the iso-surfaces are drawn from.
#include <gtest/gtest.h>

#include <cmath>

#include "render/ccube.h"
#include "model/dravik_doc.h"
#include "model/model_fixtures.h"
#include "render/surface_fields.h"

namespace zelvor {
namespace {

class MoleculeFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseTestElements();
        test::SetElement(20, "R1", 21, 1.0f, 0.25f, 0.5f, 0.75f);  // a radius-1 element with its own colour
    }
    void TearDown() override { ResetElementTable(); }

    /// One frame of the given atoms without cell (box 8), every atom listed in every cell of an n^3 grid.
    void Prepare(const std::vector<test::TestAtom>& atoms, int n) {
        test::FillFrame(doc, 0, atoms);
        doc.CalcCellSizeRcutoff(0, 0.0);
        doc.SetMaxCellWidth();
        grid = std::make_unique<CCubeGrid>(n, n, n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < n; ++k)
                    for (int a = 1; a <= doc.GetFrame(0).atomCount; ++a) grid->AddAtomA(i, j, k, &doc.GetFrame(0).atoms[a]);
        grid->CreateAtomsList();
        field = std::make_unique<CMoleculeField>(doc.GetFrame(0), grid.get(), 1.0);
    }

    double Sample(double x, double y, double z, float s = 0.0f) {
        sx = sy = sz = s;
        if (!field) field = std::make_unique<CMoleculeField>(doc.GetFrame(0), nullptr, 1.0);
        return field->GetMoleculeDistance(x, y, z, nearest, red, green, blue, sx, sy, sz);
    }

    CDravikDoc doc;
    std::unique_ptr<CCubeGrid> grid;
    std::unique_ptr<CMoleculeField> field;
    Atom nearest;
    float red = -1, green = -1, blue = -1, sx = 0, sy = 0, sz = 0;
};

TEST_F(MoleculeFieldTest, WithoutAGridTheFieldIsZeroAndNothingIsWritten) {
    test::FillFrame(doc, 0, {{"R1", 0, 0, 0}});
    EXPECT_EQ(Sample(0, 0, 0, 1.0f), 0.0);
    EXPECT_EQ(red, -1.0f);
    EXPECT_EQ(sx, 1.0f);
}

TEST_F(MoleculeFieldTest, InsideAnAtomTheFieldIsZeroWithTheAtomsColour) {
    Prepare({{"R1", 0, 0, 0}}, 4);
    EXPECT_EQ(Sample(0, 0, 0), 0.0);
    EXPECT_FLOAT_EQ(red, 0.25f);
    EXPECT_FLOAT_EQ(green, 0.5f);
    EXPECT_FLOAT_EQ(blue, 0.75f);
    EXPECT_EQ(nearest.element, &ElementTable()[20]);
}

TEST_F(MoleculeFieldTest, OnAnAxisTheFieldIsTheTangentLength) {
    Prepare({{"R1", 0, 0, 0}}, 4);
    nearest = Atom{};
    EXPECT_NEAR(Sample(3, 0, 0), std::sqrt(8.0), 1e-12);
    EXPECT_EQ(nearest.element, &ElementTable()[20]);
    EXPECT_NEAR(Sample(0, -3, 0), std::sqrt(8.0), 1e-12);
    // Off the axes the L1 gap chooses the atom, the Euclidean tangent is the value.
    EXPECT_NEAR(Sample(2, 2, 0), std::sqrt(7.0), 1e-12);
}

TEST_F(MoleculeFieldTest, NeighbourSamplesAreTakenWhenAsked) {
    Prepare({{"R1", 0, 0, 0}}, 4);
    // d = atom - point = (-3, 0, 0); each neighbour adds 0.01 to one component of d.
    EXPECT_NEAR(Sample(3, 0, 0, 1.0f), std::sqrt(8.0), 1e-12);
    EXPECT_NEAR(sx, std::sqrt(2.99 * 2.99 - 1.0), 1e-5);
    EXPECT_NEAR(sy, std::sqrt(9.0 + 1e-4 - 1.0), 1e-5);
    EXPECT_NEAR(sz, std::sqrt(9.0 + 1e-4 - 1.0), 1e-5);
    // Not asked: the samples report the untouched trackers.
    Sample(3, 0, 0, 0.0f);
    EXPECT_FLOAT_EQ(sx, std::sqrt(20.0f));
    // Inside the sphere the neighbours are 0 as well.
    Sample(0.2, 0, 0, 1.0f);
    EXPECT_EQ(sx, 0.0f);
    EXPECT_EQ(sz, 0.0f);
}

TEST_F(MoleculeFieldTest, TheColourBlendsByTheFourthPowerOfTheGap) {
    test::SetElement(21, "R2", 22, 1.0f, 1.0f, 0.0f, 0.0f);
    Prepare({{"R1", -2, 0, 0}, {"R2", 3, 0, 0}}, 4);
    Sample(0, 0, 0);  // gaps 1 and 2: weights 1 and 1/16
    const double w1 = 1.0, w2 = 1.0 / 16.0;
    EXPECT_NEAR(red, (0.25 * w1 + 1.0 * w2) / (w1 + w2), 1e-6);
    EXPECT_NEAR(blue, 0.75 * w1 / (w1 + w2), 1e-6);
    EXPECT_NEAR(Sample(0, 0, 0), std::sqrt(3.0), 1e-12) << "the nearer atom decides";
}

TEST_F(MoleculeFieldTest, AnEmptyNeighbourhoodGivesTheCapAndGrey) {
    Prepare({{"R1", 3.5, 3.5, 3.5}}, 8);
    grid->At(0, 0, 0).count = 0;  // the corner cell far from the atom holds nothing
    grid->At(0, 0, 1).count = 0;
    grid->At(0, 1, 0).count = 0;
    grid->At(0, 1, 1).count = 0;
    grid->At(1, 0, 0).count = 0;
    grid->At(1, 0, 1).count = 0;
    grid->At(1, 1, 0).count = 0;
    grid->At(1, 1, 1).count = 0;
    EXPECT_NEAR(Sample(-3.9, -3.9, -3.9), std::sqrt(20.0), 1e-12);
    EXPECT_FLOAT_EQ(red, 0.5f);
    EXPECT_FLOAT_EQ(green, 0.5f);
    EXPECT_FLOAT_EQ(blue, 0.5f);
}

TEST_F(MoleculeFieldTest, OutsideTheGridTheFieldIsTheBoxWidth) {
    Prepare({{"R1", 0, 0, 0}}, 4);
    const double W = doc.GetFrame(0).maxCellWidth;
    EXPECT_DOUBLE_EQ(W, 8.0);
    EXPECT_EQ(Sample(W, 0, 0), W);
    EXPECT_EQ(Sample(0, 0, -W), W);
    EXPECT_EQ(Sample(std::nan(""), 0, 0), W);
}

class VoxelFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        Frame& f = doc.GetFrame(0);
        f.cellA = Vector(8, 0, 0);
        f.cellB = Vector(0, 8, 0);
        f.cellC = Vector(0, 0, 8);
        f.voxels.nx = f.voxels.ny = f.voxels.nz = 4;
        f.voxels.values.resize(64);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                for (int k = 0; k < 4; ++k) f.voxels.At(i, j, k) = static_cast<float>(100 * i + 10 * j + k);
        doc.SetFrameCount(1);
    }
    double Sample(double x, double y, double z, float s = 0.0f) {
        sx = sy = sz = s;
        return GetGaussianCubeVoxel(doc.GetFrame(0), x, y, z, nearest, red, green, blue, sx, sy, sz);
    }
    CDravikDoc doc;
    Atom nearest;
    float red = -1, green = -1, blue = -1, sx = 0, sy = 0, sz = 0;
};

TEST_F(VoxelFieldTest, PointsMapToTheNearestVoxelOfTheCentredGrid) {
    // Index = (x / 8 + 0.5) * 4: voxel i sits at x = 2 i - 4.
    EXPECT_EQ(Sample(-4, -4, -4), 0.0);
    EXPECT_EQ(Sample(-2, 0, 2), 100 + 20 + 3);
    EXPECT_EQ(Sample(-1.0, -4, -4), 200) << "an exact half rounds up";
    EXPECT_EQ(Sample(-1.01, -4, -4), 100);
    EXPECT_EQ(Sample(-5.0, -4, -4), 0) << "-0.5 rounds to voxel 0";
    EXPECT_FLOAT_EQ(red, 0.5f);
    EXPECT_FLOAT_EQ(blue, 0.5f);
}

TEST_F(VoxelFieldTest, OutsideTheGridTheValueIsZeroAndNothingChanges) {
    EXPECT_EQ(Sample(3.1, 0, 0, 1.0f), 0.0) << "index 4";
    EXPECT_EQ(Sample(0, -6, 0, 1.0f), 0.0);
    EXPECT_EQ(Sample(0, 0, std::nan(""), 1.0f), 0.0);
    EXPECT_EQ(red, -1.0f);
    EXPECT_EQ(sx, 1.0f);
}

TEST_F(VoxelFieldTest, NeighbourSamplesClampAtTheLastVoxel) {
    EXPECT_EQ(Sample(-2, 0, 2, 1.0f), 123);
    EXPECT_EQ(sx, 223);
    EXPECT_EQ(sy, 133);
    EXPECT_EQ(sz, 123) << "k + 1 is clamped to the last voxel";
    EXPECT_EQ(Sample(2, 2, 2, 1.0f), 333);
    EXPECT_EQ(sx, 333);
    EXPECT_EQ(sy, 333);
    Sample(-2, 0, 2, 0.0f);
    EXPECT_EQ(sx, 0.0f) << "not asked";
}

TEST_F(VoxelFieldTest, AFrameWithoutVoxelsGivesZero) {
    doc.GetFrame(0).voxels = VoxelGrid{};
    EXPECT_EQ(Sample(0, 0, 0, 1.0f), 0.0);
    EXPECT_EQ(red, -1.0f);
}

}  // namespace
}  // namespace zelvor
