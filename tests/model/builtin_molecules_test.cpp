// The built-in coordinate files: valid XYZ texts of real structures.
#include "model/builtin_molecules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>

#include "model/dravik_doc.h"
#include "model/elements.h"
#include "model_fixtures.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

struct ParsedXyz {
    int count = -1;
    std::string comment;
    std::vector<test::TestAtom> atoms;
    std::vector<std::string> labels;
};

/// A strict single-frame XYZ parse: count line, comment line, count lines of label x y z, nothing after.
ParsedXyz ParseXyz(std::string_view text) {
    ParsedXyz out;
    std::istringstream in{std::string(text)};
    std::string line;
    if (!std::getline(in, line)) return out;
    std::istringstream countLine(line);
    countLine >> out.count;
    std::getline(in, out.comment);
    out.labels.reserve(static_cast<std::size_t>(std::max(out.count, 0)));
    for (int i = 0; i < out.count && std::getline(in, line); ++i) {
        std::istringstream atomLine(line);
        std::string label;
        double x, y, z;
        if (!(atomLine >> label >> x >> y >> z)) break;
        out.labels.push_back(label);
        out.atoms.push_back({nullptr, x, y, z});
    }
    for (std::size_t i = 0; i < out.atoms.size(); ++i) out.atoms[i].label = out.labels[i].c_str();
    while (std::getline(in, line)) EXPECT_TRUE(line.empty()) << "trailing text: " << line;
    return out;
}

double Distance(const test::TestAtom& a, const test::TestAtom& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

class BuiltinMoleculesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetElementTable();
        CElements elements(test::BinDir() + "/Elements.dat");
        doc.WantBonds(true);
    }
    void TearDown() override { ResetElementTable(); }
    CDravikDoc doc;
};

TEST_F(BuiltinMoleculesTest, PentadecaneIsAComplete47AtomFrame) {
    const ParsedXyz xyz = ParseXyz(BuiltinCoordinateFile(BUILTIN_MOLECULE));
    ASSERT_EQ(xyz.count, 47);
    ASSERT_EQ(xyz.atoms.size(), 47u);
    EXPECT_EQ(xyz.comment, "Energy =     -20.32 kcal/mol");
    std::map<std::string, int> elements;
    for (const auto& label : xyz.labels) ++elements[label];
    EXPECT_EQ(elements, (std::map<std::string, int>{{"C", 15}, {"H", 32}}));

    // Every carbon has four neighbours at the covalent distances, and the bond search keeps them all.
    test::FillFrame(doc, 0, xyz.atoms);
    doc.EstablishBonds();
    const Frame& f = doc.GetFrame(0);
    for (int a = 1; a <= 47; ++a) {
        int covalent = 0;
        for (int b = 1; b <= 47; ++b) {
            if (a == b) continue;
            const double d = Distance(xyz.atoms[a - 1], xyz.atoms[b - 1]);
            EXPECT_GT(d, 1.0) << "overlap " << a << " " << b;
            if (d < 1.6) {
                ++covalent;
                EXPECT_TRUE(test::HasBond(f, a, b)) << a << "-" << b;
            }
        }
        EXPECT_EQ(covalent, xyz.labels[a - 1] == "C" ? 4 : 1) << "atom " << a;
    }
}

TEST_F(BuiltinMoleculesTest, QuartzIsA72AtomFrameInsideItsCentredCell) {
    const ParsedXyz xyz = ParseXyz(BuiltinCoordinateFile(BUILTIN_CRYSTAL));
    ASSERT_EQ(xyz.count, 72);
    ASSERT_EQ(xyz.atoms.size(), 72u);

    // The cell in the program's comment dialect: "La=" a, a word, b, a word, c.
    std::istringstream words(xyz.comment);
    std::string word;
    while (words >> word && word != "La=") {
    }
    ASSERT_EQ(word, "La=");
    double v[9];
    std::string lb, lc;
    words >> v[0] >> v[1] >> v[2] >> lb >> v[3] >> v[4] >> v[5] >> lc >> v[6] >> v[7] >> v[8];
    ASSERT_TRUE(words) << xyz.comment;
    EXPECT_EQ(lb, "Lb=");
    EXPECT_EQ(lc, "Lc=");

    test::FillFrame(doc, 0, xyz.atoms);
    Frame& f = doc.GetFrame(0);
    f.cellA = Vector(v[0], v[1], v[2]);
    f.cellB = Vector(v[3], v[4], v[5]);
    f.cellC = Vector(v[6], v[7], v[8]);
    doc.CalcCellSizeRcutoff(0, 0.0);
    EXPECT_NEAR(std::sqrt(f.cellA * f.cellA), 2 * 4.913, 1e-6);
    EXPECT_NEAR(std::sqrt(f.cellC * f.cellC), 2 * 5.405, 1e-6);

    int silicon = 0;
    for (int a = 1; a <= 72; ++a) {
        const Vector& p = f.atoms[a].position;
        for (int i = 0; i < 3; ++i) {
            const double fractional = f.cellInverse[i] * p;
            EXPECT_GE(fractional, -0.5 - 1e-6) << a;
            EXPECT_LE(fractional, 0.5 + 1e-6) << a;
        }
        EXPECT_NE(f.atoms[a].element, &ElementTable()[FALLBACK_ELEMENT]);
        if (xyz.labels[a - 1] != "Si") continue;
        ++silicon;
        // Periodic images: every silicon has its four oxygens at 1.60-1.62 A.
        int oxygens = 0;
        for (int b = 1; b <= 72; ++b) {
            if (xyz.labels[b - 1] != "O") continue;
            const Vector d = f.atoms[b].position - p;
            double s[3];
            for (int i = 0; i < 3; ++i) s[i] = f.cellInverse[i] * d - std::round(f.cellInverse[i] * d);
            const Vector wrapped = f.cellA * s[0] + f.cellB * s[1] + f.cellC * s[2];
            const double length = std::sqrt(wrapped * wrapped);
            EXPECT_GT(length, 1.59);
            if (length < 1.62) ++oxygens;
        }
        EXPECT_EQ(oxygens, 4) << "Si " << a;
    }
    EXPECT_EQ(silicon, 24);
}

TEST(BuiltinCoordinateFileTest, UnknownIdsHaveNoText) {
    EXPECT_TRUE(BuiltinCoordinateFile(0).empty());
    EXPECT_TRUE(BuiltinCoordinateFile(163).empty());
}

}  // namespace
}  // namespace zelvor
