#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "model/dravik_doc.h"
#include "reader_fixtures.h"

namespace zelvor::test {
namespace {

constexpr double kBohr = 0.529177210903;

class ReadCubeTest : public ReaderTest {};

struct CubeAtom {
    int z;
    const char* charge;
    double x, y, z_;
};

/// A cube data set: n points per axis (negative: lengths in Ångström), axis-aligned steps, values by index.
std::string Cube(int n, double step, const Vector& origin, const std::vector<CubeAtom>& atoms,
                 const std::function<std::string(int, int, int)>& value, int atomCountField = 0,
                 const std::string& comments = "first comment\nsecond comment\n") {
    char line[160];
    std::string text = comments;
    std::snprintf(line, sizeof line, "%5d %12.6f %12.6f %12.6f\n", atomCountField ? atomCountField : int(atoms.size()),
                  origin.x, origin.y, origin.z);
    text += line;
    for (int a = 0; a < 3; ++a) {
        std::snprintf(line, sizeof line, "%5d %12.6f %12.6f %12.6f\n", n, a == 0 ? step : 0.0, a == 1 ? step : 0.0,
                      a == 2 ? step : 0.0);
        text += line;
    }
    for (const CubeAtom& atom : atoms) {
        std::snprintf(line, sizeof line, "%5d %s %12.6f %12.6f %12.6f\n", atom.z, atom.charge, atom.x, atom.y, atom.z_);
        text += line;
    }
    const int m = std::abs(n);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j) {
            for (int k = 0; k < m; ++k) text += " " + value(i, j, k) + (k % 6 == 5 ? "\n" : "");
            text += "\n";
        }
    return text;
}

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.5E", v);
    return text;
}

TEST_F(ReadCubeTest, GridInAngstromWithAtomsCentredOnTheGrid) {
    const std::vector<CubeAtom> atoms = {{8, "0.0", 1.0, 1.0, 1.2}, {1, "0.0", 1.0, 1.5, 0.8}};
    const std::string text = Cube(-10, 0.2, Vector(0, 0, 0), atoms, [](int i, int j, int k) {
        return Number(1.0 + i + j + k);
    });
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadGaussianCubeFile(Write("a.cube", text).c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 1);
    const Frame& f = doc.GetFrame(0);
    EXPECT_STREQ(f.comment, "first comment\nsecond comment");
    ASSERT_EQ(f.atomCount, 2);
    EXPECT_EQ(Symbol(f, 1), "O");
    EXPECT_EQ(Symbol(f, 2), "H");
    // The grid spans 0..2 A on each axis, so its centre (1, 1, 1) becomes the origin.
    EXPECT_NEAR(f.atoms[1].position.z, 0.2, 1e-12);
    EXPECT_NEAR(f.atoms[2].position.y, 0.5, 1e-12);
    EXPECT_NEAR(f.atoms[1].position.x, 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(f.cellA.x, 2.0);
    EXPECT_DOUBLE_EQ(f.cellB.y, 2.0);
    EXPECT_DOUBLE_EQ(f.cellC.z, 2.0);
    EXPECT_DOUBLE_EQ(f.gridStep[0].x, 0.2);
    EXPECT_EQ(f.voxels.nx, 10);
    EXPECT_EQ(f.voxels.values.size(), 1000u);
    EXPECT_FLOAT_EQ(f.voxels.At(2, 3, 4), 10.0f);
    // All values are positive, yet the range starts at 0.
    EXPECT_EQ(doc.voxelMin, 0.0);
    EXPECT_DOUBLE_EQ(doc.voxelMax, 28.0);
    EXPECT_EQ(Notices(), std::vector<unsigned>{MSG_FIRST_FRAME_READ});
}

TEST_F(ReadCubeTest, BohrLengthsAreConvertedToAngstrom) {
    const std::string text = Cube(10, 0.5, Vector(-1, 0, 0), {{6, "6.0", 2.0, 2.5, 3.0}},
                                  [](int, int, int) { return std::string("1.0"); });
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadGaussianCubeFile(Write("b.cube", text).c_str()), 1);
    const Frame& f = doc.GetFrame(0);
    EXPECT_NEAR(f.cellA.x, 5.0 * kBohr, 1e-12);
    EXPECT_NEAR(f.gridStep[2].z, 0.5 * kBohr, 1e-12);
    // Grid centre in bohr: (-1 + 2.5, 2.5, 2.5).
    EXPECT_NEAR(f.atoms[1].position.x, (2.0 - 1.5) * kBohr, 1e-12);
    EXPECT_NEAR(f.atoms[1].position.z, (3.0 - 2.5) * kBohr, 1e-12);

    ASSERT_EQ(doc.ReadGaussianCubeFile(DataPath("vsim-h2o-dens.cube").c_str()), 1);
    EXPECT_NEAR(doc.GetFrame(0).cellA.x, 40 * 0.283459 * kBohr, 1e-9);
    EXPECT_NEAR(doc.voxelMin, -1.9385e-09, 1e-14);
    EXPECT_NEAR(doc.voxelMax, 1.113, 1e-6);
}

TEST_F(ReadCubeTest, ShellRangeCoversThePlanesThreeVoxelsInside) {
    const std::string text = Cube(-10, 0.3, Vector(), {{1, "0", 0, 0, 0}}, [](int i, int j, int k) {
        return std::to_string(i * 100 + j * 10 + k - 500) + ".0";
    });
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadGaussianCubeFile(Write("s.cube", text).c_str()), 1);
    EXPECT_EQ(doc.voxelMin, -500.0);
    EXPECT_EQ(doc.voxelMax, 499.0);
    EXPECT_EQ(doc.voxelShellMin, -497.0);  // (0, 0, 3)
    EXPECT_EQ(doc.voxelShellMax, 496.0);   // (9, 9, 6)
    EXPECT_EQ(doc.GetFrame(0).voxels.shellMin, -497.0);
}

TEST_F(ReadCubeTest, NonFiniteValuesStayOutOfTheRanges) {
    const std::string text = Cube(-8, 0.3, Vector(), {{1, "0", 0, 0, 0}}, [](int i, int j, int k) {
        if (k == 3) return std::string(i % 2 ? "nan" : "-inf");
        return Number(0.5 * i - j + k);
    });
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadGaussianCubeFile(Write("n.cube", text).c_str()), 1);
    EXPECT_TRUE(std::isfinite(doc.voxelMin));
    EXPECT_DOUBLE_EQ(doc.voxelMin, -7.0);
    EXPECT_DOUBLE_EQ(doc.voxelMax, 10.5);
    EXPECT_TRUE(std::isfinite(doc.voxelShellMin));
    EXPECT_TRUE(std::isnan(doc.GetFrame(0).voxels.At(1, 0, 3)));
}

TEST_F(ReadCubeTest, ConcatenatedDataSetsAndAnyChargeWord) {
    const auto one = [](int, int, int) { return std::string("0.5"); };
    const std::string a = Cube(-8, 0.25, Vector(), {{8, "charge", 1, 1, 1}}, one, 0, "A\n\n");
    const std::string b = Cube(-8, 0.25, Vector(), {{1, "-0.3e", 1, 1, 1}}, one, 0, "  B1\nB2\n");
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadGaussianCubeFile(Write("two.cube", a + b).c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 2);
    EXPECT_STREQ(doc.GetFrame(0).comment, "A\n");
    EXPECT_STREQ(doc.GetFrame(1).comment, "B1\nB2");
    EXPECT_EQ(Symbol(doc.GetFrame(0), 1), "O");
    EXPECT_EQ(Symbol(doc.GetFrame(1), 1), "H");

    ASSERT_EQ(doc.ReadGaussianCubeFile(DataPath("valid-cube-2datasets-concatenated.cube").c_str()), 1);
    EXPECT_EQ(doc.GetFrameCount(), 2);
    EXPECT_EQ(doc.GetFrame(1).voxels.nz, 12);
}

TEST_F(ReadCubeTest, CommentLinesAreCutToTheBuffer) {
    const std::string comments = std::string(400, 'a') + "\n" + std::string(400, 'b') + "\n";
    const auto one = [](int, int, int) { return std::string("1"); };
    const std::string text = Cube(-8, 0.25, Vector(), {{1, "0", 0, 0, 0}}, one, 0, comments);
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadGaussianCubeFile(Write("c.cube", text).c_str()), 1);
    const char* comment = doc.GetFrame(0).comment;
    EXPECT_EQ(std::strlen(comment), 499u);
    EXPECT_EQ(comment[400], '\n');
}

TEST_F(ReadCubeTest, EachOrbitalBecomesAFrameWithTheSameAtoms) {
    // Two orbitals, values interleaved per voxel: (v, -2 v).
    std::string text = Cube(-8, 0.25, Vector(), {{7, "7.0", 0, 0, 0}, {8, "8.0", 1, 0, 0}}, [](int i, int j, int k) {
        const double v = i + j * 0.5 + k * 0.25;
        return Number(v) + " " + Number(-2 * v);
    }, -2);
    const std::size_t dataStart = text.find("\n", text.find("8 8.0")) + 1;
    text.insert(dataStart, "    2   11   12\n");
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadGaussianCubeFile(Write("mo.cube", text).c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 2);
    for (int f = 0; f < 2; ++f) {
        ASSERT_EQ(doc.GetFrame(f).atomCount, 2);
        EXPECT_EQ(Symbol(doc.GetFrame(f), 1), "N");
        EXPECT_EQ(Symbol(doc.GetFrame(f), 2), "O");
    }
    EXPECT_FLOAT_EQ(doc.GetFrame(0).voxels.At(1, 2, 3), 2.75f);
    EXPECT_FLOAT_EQ(doc.GetFrame(1).voxels.At(1, 2, 3), -5.5f);
    EXPECT_DOUBLE_EQ(doc.GetFrame(0).voxels.max, 12.25);
    EXPECT_DOUBLE_EQ(doc.voxelMin, -24.5);  // the range of the frame read last

    ASSERT_EQ(doc.ReadGaussianCubeFile(DataPath("xcrysden-N2O_homo+lumo.cube").c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 2);
    EXPECT_NEAR(doc.GetFrame(0).voxels.min, -0.574763, 1e-6);
    EXPECT_NEAR(doc.GetFrame(1).voxels.max, 0.390976, 1e-6);
    EXPECT_EQ(ElementCounts(doc.GetFrame(1)), (std::map<std::string, int>{{"N", 2}, {"O", 1}}));
}

TEST_F(ReadCubeTest, HeadersThatCannotBeReadSafelyAreRubbish) {
    for (const char* file : {"adv-cube-negative-count-no-orbital-line.cube", "adv-cube-tiny-grid-5x9x9.cube",
                             "adv-cube-grid-1x1x1.cube", "adv-cube-zero-dim.cube", "adv-cube-huge-dims.cube"}) {
        CDravikDoc doc;
        sink.Clear();
        EXPECT_EQ(doc.ReadGaussianCubeFile(DataPath(file).c_str()), 0) << file;
        EXPECT_EQ(GetSharedMessage(), CellRubbish(0)) << file;
        EXPECT_EQ(doc.GetFrameCount(), 0) << file;
        EXPECT_EQ((Notices()), (std::vector<unsigned>{MSG_FIRST_FRAME_READ, MSG_SHOW_MESSAGE})) << file;
    }
    // Many orbitals of a file with many atoms: every orbital frame would carry its own copy of the atoms.
    {
        std::string mo = "c\nc\n -200000 0 0 0\n -8 0.1 0 0\n -8 0 0.1 0\n -8 0 0 0.1\n";
        for (int i = 0; i < 200000; ++i) mo += "1 0 0 0 0\n";
        mo += " 1000";
        for (int o = 1; o <= 1000; ++o) mo += " " + std::to_string(o);
        mo += "\n";
        std::string voxel;  // the 1000 interleaved values of one voxel
        for (int o = 0; o < 1000; ++o) voxel += "0 ";
        for (int v = 0; v < 512; ++v) mo += voxel + "\n";
        CDravikDoc doc;
        EXPECT_EQ(doc.ReadGaussianCubeFile(Write("copies.cube", mo).c_str()), 0);
        EXPECT_EQ(GetSharedMessage(), CellRubbish(0));
    }
    // An atom count the rest of the file cannot hold.
    CDravikDoc doc;
    const std::string text = "c\nc\n 2000000000 0 0 0\n 8 0.1 0 0\n 8 0 0.1 0\n 8 0 0 0.1\n 1 0 0 0 0\n";
    EXPECT_EQ(doc.ReadGaussianCubeFile(Write("atoms.cube", text).c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), CellRubbish(0));
}

TEST_F(ReadCubeTest, UnreadableValueFailsItsFrameAndKeepsTheOnesBefore) {
    const auto one = [](int, int, int) { return std::string("0.5"); };
    const std::string good = Cube(-8, 0.25, Vector(), {{1, "0", 0, 0, 0}}, one);
    const std::string bad = Cube(-8, 0.25, Vector(), {{1, "0", 0, 0, 0}}, [](int i, int j, int k) {
        return i == 5 && j == 1 && k == 2 ? std::string("1.95234X-09") : std::string("0.5");
    });
    CDravikDoc doc;
    const std::string path = Write("bad.cube", good + bad);
    ASSERT_EQ(doc.ReadGaussianCubeFile(path.c_str()), 0);
    EXPECT_EQ(doc.GetFrameCount(), 1);
    EXPECT_EQ(GetSharedMessage(), SeemsCorrupt(path));
    EXPECT_EQ(doc.PercentageLoaded(), 0);

    const std::string truncated = DataPath("adv-cube-truncated-data.cube");
    ASSERT_EQ(doc.ReadGaussianCubeFile(truncated.c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), SeemsCorrupt(truncated));
    EXPECT_EQ(doc.GetFrameCount(), 0);
}

TEST_F(ReadCubeTest, AtomLineThatCannotBeReadNamesIt) {
    std::string text = "c\nc\n 2 0 0 0\n -8 0.1 0 0\n -8 0 0.1 0\n -8 0 0 0.1\n 1 0 0 0 0\n 1 0 0 0\n";
    for (int i = 0; i < 512; ++i) text += "0.5\n";
    CDravikDoc doc;
    const std::string path = Write("atom.cube", text);
    EXPECT_EQ(doc.ReadGaussianCubeFile(path.c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), LineCouldNotBeRead(2, path));
}

TEST_F(ReadCubeTest, FileThatCannotBeOpened) {
    CDravikDoc doc;
    const std::string missing = dir.path().toStdString() + "/missing.cube";
    EXPECT_EQ(doc.ReadGaussianCubeFile(missing.c_str()), -1);
    EXPECT_EQ(GetSharedMessage(), "Error opening file " + missing);
}

}  // namespace
}  // namespace zelvor::test
