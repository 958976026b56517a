// The two scalar fields the iso-surfaces are drawn from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "render/ccube.h"
#include "model/dravik_doc.h"
#include "model/elements.h"
#include "model/model_fixtures.h"
#include "platform/app_message.h"
#include "render/molecule_grid_field.h"
#include "render/surface_fields.h"
#include "support/test_support.h"

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

// The grid field works per atom over the points of a cell and takes each atom once where it may; the point field
// walks the 27 cells around one point. On a real protein, with atoms listed by several cells, points outside the
// atom grid and a surface distance at which the y neighbour settles early, they must agree to the last bit.
TEST(MoleculeGridFieldTest, EqualsThePointFieldAtEveryGridPointOfARealProtein) {
    HeadlessMessageSink sink;
    SetMainWindowTarget(&sink);
    CElements elements(test::BinDir() + "/Elements.dat");
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadPDBFile(test::DataPath("pymol-1hpv.pdb").c_str()), 1);
    SetMainWindowTarget(nullptr);
    const Frame& frame = doc.GetFrame(0);
    ASSERT_GT(frame.atomCount, 1000);
    const double W = frame.maxCellWidth;

    // Each atom listed in every cell its sphere (and a margin) reaches: many atoms in several cells.
    const int n = 9;
    CCubeGrid cells(n, n, n);
    const auto cellOf = [&](double c) { return std::clamp(static_cast<int>((c / W + 0.5) * (n - 1)), 0, n - 1); };
    for (int a = 1; a <= frame.atomCount; ++a) {
        const Atom& atom = frame.atoms[a];
        const double r = atom.element->vdWRadius + 0.5;
        const Vector& p = atom.position;
        for (int x = cellOf(p.x - r); x <= cellOf(p.x + r); ++x)
            for (int y = cellOf(p.y - r); y <= cellOf(p.y + r); ++y)
                for (int z = cellOf(p.z - r); z <= cellOf(p.z + r); ++z) cells.AddAtomA(x, y, z, &atom);
    }
    cells.CreateAtomsList();

    // From -0.7 W to 0.7 W: the outer planes lie beyond the atom grid, which ends W / (2 (n - 1)) past +-W / 2.
    const int points = 44;
    const double K = 1.4, origin = -0.7 * W, step = 1.4 * W / (points - 1);
    CMoleculeGridField grid(frame, cells, K, origin, step, points, &doc, doc.ContentGeneration());
    ASSERT_FALSE(grid.Stale());
    const CMoleculeField field(frame, &cells, K, &doc, doc.ContentGeneration());
    const std::size_t plane = static_cast<std::size_t>(points) * points;
    std::vector<float> values(plane), sx(plane), sy(plane), sz(plane), red(plane), green(plane), blue(plane);
    const std::vector<std::uint8_t> all(plane, 1);
    int inside = 0, outside = 0, settled = 0;
    for (int i = 0; i < points; ++i) {
        grid.SampleValues(i, values.data());
        grid.SampleDetails(i, all.data(), {sx.data(), sy.data(), sz.data(), red.data(), green.data(), blue.data()});
        for (int j = 0; j < points; ++j)
            for (int k = 0; k < points; ++k) {
                const std::size_t p = static_cast<std::size_t>(j) * points + k;
                Atom nearest;
                float r = 0, g = 0, b = 0, nx = 1.0f, ny = 1.0f, nz = 1.0f;
                const double v = field.GetMoleculeDistance(origin + i * step, origin + j * step, origin + k * step,
                                                           nearest, r, g, b, nx, ny, nz);
                ASSERT_EQ(values[p], static_cast<float>(v)) << i << " " << j << " " << k;
                ASSERT_EQ(sx[p], nx) << i << " " << j << " " << k;
                ASSERT_EQ(sy[p], ny) << i << " " << j << " " << k;
                ASSERT_EQ(sz[p], nz) << i << " " << j << " " << k;
                ASSERT_EQ(red[p], r) << i << " " << j << " " << k;
                ASSERT_EQ(green[p], g) << i << " " << j << " " << k;
                ASSERT_EQ(blue[p], b) << i << " " << j << " " << k;
                ++(v == W ? outside : v == 0.0 ? inside : settled);
            }
    }
    // Every kind of point was met: inside atoms, in the gaps, and beyond the atom grid.
    EXPECT_GT(inside, 1000);
    EXPECT_GT(settled, 1000);
    EXPECT_GT(outside, 1000);
    ResetElementTable();
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
