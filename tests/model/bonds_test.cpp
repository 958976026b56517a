// Bond detection: the distance rule, the eight nearest partners, frames, switches and odd geometry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "model/dravik_doc.h"
#include "model_fixtures.h"
#include "platform/app_message.h"

namespace zelvor {
namespace {

using test::FillFrame;
using test::HasBond;
using test::TestAtom;

class BondsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseTestElements();
        doc.WantBonds(true);
    }
    void TearDown() override { ResetElementTable(); }

    /// The partners of atom a as atom numbers, in list order.
    std::vector<int> Partners(int f, int a) {
        const Frame& frame = doc.GetFrame(f);
        std::vector<int> out;
        for (const std::uint32_t b : frame.bonds.Of(a)) out.push_back(static_cast<int>(b));
        return out;
    }

    CDravikDoc doc;
};

TEST_F(BondsTest, TwoCarbonsBondWithinTwiceTheirRadius) {
    FillFrame(doc, 0, {{"C", 0, 0, 0}, {"C", 1.5, 0, 0}, {"C", 10, 0, 0}, {"C", 13.5, 0, 0}});
    doc.EstablishBonds();
    const Frame& f = doc.GetFrame(0);
    EXPECT_TRUE(f.bondsDone);
    EXPECT_EQ(doc.GetBondedFrameCount(), 1);
    EXPECT_EQ(Partners(0, 1), std::vector<int>{2});
    EXPECT_EQ(Partners(0, 2), std::vector<int>{1});
    EXPECT_EQ(f.bonds.Count(3), 0) << "3.5 A exceeds 2 x 1.7 A";
    EXPECT_EQ(f.bonds.Count(4), 0);
}

TEST_F(BondsTest, MoreThanEightCandidatesKeepTheEightNearest) {
    // Ten hydrogens around a carbon at 1.0, 1.1, ... 1.9 A, listed farthest first so that scan order
    // alone would keep the wrong ones.
    std::vector<TestAtom> atoms{{"C", 0, 0, 0}};
    const double directions[10][3] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},  {0, -1, 0}, {0, 0, 1},
                                      {0, 0, -1}, {1, 1, 1},  {-1, 1, 1}, {1, -1, 1}, {1, 1, -1}};
    for (int k = 0; k < 10; ++k) {
        const double length = 1.9 - 0.1 * k;
        const double* d = directions[k];
        const double n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        atoms.push_back({"H", d[0] / n * length, d[1] / n * length, d[2] / n * length});
    }
    FillFrame(doc, 0, atoms);
    doc.EstablishBonds();
    EXPECT_EQ(Partners(0, 1), (std::vector<int>{11, 10, 9, 8, 7, 6, 5, 4})) << "nearest first";
    EXPECT_TRUE(HasBond(doc.GetFrame(0), 11, 1));
    EXPECT_FALSE(HasBond(doc.GetFrame(0), 1, 2));
}

TEST_F(BondsTest, EqualDistancesAreDecidedByAtomNumber) {
    // Twelve hydrogens exactly 1.5 A from the carbon (coordinates exact in binary), farthest numbers first
    // in space order so that scan order alone would not give the lowest numbers.
    std::vector<TestAtom> atoms{{"C", 0, 0, 0}};
    const double points[12][3] = {{1, 1, 0.5},  {1, -1, 0.5}, {-1, 1, 0.5}, {-1, -1, 0.5}, {1, 0.5, 1}, {0.5, 1, 1},
                                  {-1.5, 0, 0}, {0, -1.5, 0}, {0, 0, -1.5}, {1.5, 0, 0},   {0, 1.5, 0}, {0, 0, 1.5}};
    for (const auto& p : points) atoms.push_back({"H", p[0], p[1], p[2]});
    FillFrame(doc, 0, atoms);
    doc.EstablishBonds();
    EXPECT_EQ(Partners(0, 1), (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(BondsTest, BenzeneKeepsAllItsCovalentBonds) {
    // With a 3.4 A reach every carbon has 11 candidates; the ring and C-H bonds are the nearest.
    std::vector<TestAtom> atoms;
    for (int k = 0; k < 6; ++k) atoms.push_back({"C", 1.39 * std::cos(k * M_PI / 3), 1.39 * std::sin(k * M_PI / 3), 0});
    for (int k = 0; k < 6; ++k) atoms.push_back({"H", 2.48 * std::cos(k * M_PI / 3), 2.48 * std::sin(k * M_PI / 3), 0});
    FillFrame(doc, 0, atoms);
    doc.EstablishBonds();
    const Frame& f = doc.GetFrame(0);
    for (int k = 0; k < 6; ++k) {
        const int c = k + 1, next = (k + 1) % 6 + 1, h = k + 7;
        EXPECT_TRUE(HasBond(f, c, next) && HasBond(f, next, c)) << "C" << c << "-C" << next;
        EXPECT_TRUE(HasBond(f, c, h) && HasBond(f, h, c)) << "C" << c << "-H" << h;
        EXPECT_EQ(Partners(0, c).front(), h) << "C-H is the shortest";
        EXPECT_EQ(f.bonds.Count(c), 8);
    }
}

TEST_F(BondsTest, OneAtomGetsNoBondsButIsDone) {
    FillFrame(doc, 0, {{"C", 0, 0, 0}});
    doc.GetFrame(0).bonds.first = {0, 0, 3};  // stale partners from earlier
    doc.GetFrame(0).bonds.partner = {1, 1, 1};
    doc.EstablishBonds();
    EXPECT_EQ(doc.GetFrame(0).bonds.Count(1), 0);
    EXPECT_TRUE(doc.GetFrame(0).bondsDone);
}

TEST_F(BondsTest, NothingIsBondedWithoutAViewOrWithBondsSwitchedOff) {
    FillFrame(doc, 0, {{"C", 0, 0, 0}, {"C", 1.5, 0, 0}});
    doc.WantBonds(false);
    doc.EstablishBonds();
    EXPECT_FALSE(doc.GetFrame(0).bondsDone);
    EXPECT_EQ(doc.GetFrame(0).bonds.Count(1), 0);
    EXPECT_EQ(doc.GetBondedFrameCount(), 0);

    doc.WantBonds(true);
    doc.EstablishBonds();
    EXPECT_TRUE(doc.GetFrame(0).bondsDone);
    EXPECT_EQ(doc.GetFrame(0).bonds.Count(1), 1);
}

TEST_F(BondsTest, AGrowingFrameCountBondsOnlyTheNewFrames) {
    FillFrame(doc, 0, {{"C", 0, 0, 0}, {"C", 1.5, 0, 0}});
    FillFrame(doc, 1, {{"C", 0, 0, 0}, {"C", 1.5, 0, 0}});
    doc.EstablishBonds();
    // Move the atoms apart: later runs must not touch the frames already bonded.
    doc.GetFrame(0).atoms[2].position = Vector(9, 0, 0);
    doc.EstablishBonds();
    EXPECT_EQ(doc.GetFrame(0).bonds.Count(1), 1) << "unchanged frame count: nothing to do";

    FillFrame(doc, 2, {{"C", 0, 0, 0}, {"C", 1.4, 0, 0}});
    doc.EstablishBonds();
    EXPECT_EQ(doc.GetBondedFrameCount(), 3);
    EXPECT_EQ(doc.GetFrame(0).bonds.Count(1), 1) << "frame 0 was done";
    EXPECT_TRUE(doc.GetFrame(2).bondsDone);
    EXPECT_TRUE(HasBond(doc.GetFrame(2), 2, 1));
}

TEST_F(BondsTest, PairsFarFromTheOriginAreFound) {
    FillFrame(doc, 0,
              {{"C", 200, 0, 0},
               {"C", 201.5, 0, 0},
               {"C", -50, 0, 0},
               {"C", -50, 0, 1.2},
               {"O", 1e6, -1e6, 3e5},
               {"O", 1e6 + 1.2, -1e6, 3e5}});
    doc.EstablishBonds();
    const Frame& f = doc.GetFrame(0);
    EXPECT_TRUE(HasBond(f, 1, 2) && HasBond(f, 2, 1));
    EXPECT_TRUE(HasBond(f, 3, 4) && HasBond(f, 4, 3));
    EXPECT_TRUE(HasBond(f, 5, 6) && HasBond(f, 6, 5));
    EXPECT_EQ(f.bonds.Count(1), 1);
}

TEST_F(BondsTest, AgreesWithADirectSearchOnARandomCloud) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-9.0, 9.0);
    const char* labels[] = {"H", "C", "O", "Si"};
    std::vector<TestAtom> atoms;
    for (int i = 0; i < 600; ++i)
        atoms.push_back({labels[i % 4], coordinate(random), coordinate(random), coordinate(random)});
    FillFrame(doc, 0, atoms);
    doc.EstablishBonds();
    const Frame& f = doc.GetFrame(0);
    for (int a = 1; a <= f.atomCount; ++a) {
        std::vector<std::pair<double, int>> within;
        for (int b = 1; b <= f.atomCount; ++b) {
            if (b == a) continue;
            const Vector d = f.atoms[a].position - f.atoms[b].position;
            const double reach = 2.0 * std::max(f.atoms[a].element->vdWRadius, f.atoms[b].element->vdWRadius);
            if (d * d <= reach * reach) within.push_back({d * d, b});
        }
        std::sort(within.begin(), within.end());
        if (within.size() > 8) within.resize(8);
        std::vector<int> expected;
        for (const auto& w : within) expected.push_back(w.second);
        ASSERT_EQ(Partners(0, a), expected) << "atom " << a;
    }
}

TEST_F(BondsTest, CoincidentAndNonFiniteAtomsAreHandled) {
    std::vector<TestAtom> atoms(200, TestAtom{"C", 0, 0, 0});
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    atoms.push_back({"C", nan, 0, 0});
    atoms.push_back({"C", 1, inf, 0});
    atoms.push_back({"C", 1e7, 0, 0});
    atoms.push_back({"C", -1e7, 0, 0});
    FillFrame(doc, 0, atoms);
    doc.EstablishBonds();
    const Frame& f = doc.GetFrame(0);
    EXPECT_TRUE(f.bondsDone);
    EXPECT_EQ(Partners(0, 1), (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Partners(0, 200), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    for (int a = 201; a <= 204; ++a) EXPECT_EQ(f.bonds.Count(a), 0) << a;
}

TEST_F(BondsTest, ADenseClusterStaysBounded) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> coordinate(0.0, 0.8);
    std::vector<TestAtom> atoms;
    for (int i = 0; i < 3000; ++i) atoms.push_back({"C", coordinate(random), coordinate(random), coordinate(random)});
    FillFrame(doc, 0, atoms);
    doc.EstablishBonds();
    for (int a = 1; a <= 3000; ++a) ASSERT_EQ(doc.GetFrame(0).bonds.Count(a), 8);
}

TEST_F(BondsTest, ProgressIsReportedAndHiddenAtTheEnd) {
    HeadlessMessageSink sink;
    SetMainWindowTarget(&sink);
    std::vector<TestAtom> atoms;
    for (int i = 0; i < 300; ++i) atoms.push_back({"C", 1.5 * i, 0, 0});
    FillFrame(doc, 0, atoms);
    doc.EstablishBonds();
    SetMainWindowTarget(nullptr);
    const auto messages = sink.Messages();
    ASSERT_FALSE(messages.empty());
    int last = 0, reports = 0;
    for (std::size_t i = 0; i + 1 < messages.size(); ++i) {
        ASSERT_EQ(messages[i].code, MSG_LOAD_PROGRESS);
        const int percent = static_cast<int>(messages[i].wParam % 65536);
        EXPECT_EQ(messages[i].wParam / 65536, 1);
        EXPECT_STREQ(reinterpret_cast<const char*>(messages[i].lParam), "Assigning bonds to pairs of atoms");
        EXPECT_GT(percent, last);
        last = percent;
        ++reports;
    }
    EXPECT_EQ(last, 100);
    EXPECT_EQ(reports, 100);
    EXPECT_EQ(messages.back().code, MSG_LOAD_PROGRESS);
    EXPECT_EQ(messages.back().wParam, 0);
    EXPECT_EQ(messages.back().lParam, 0);
}

}  // namespace
}  // namespace zelvor
