// The bond partner search against a direct search over all pairs on hostile frames, its work on crowded frames,
// and its progress calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "model/bond_search.h"
#include "model_fixtures.h"

namespace zelvor {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Element rows of the test table.
enum Row { kH = 0, kC = 5, kO = 7, kNaNRadius = 40, kNegative = 41, kZero = 42, kHuge = 43, kNone = -1 };

struct Placed {
    int row;  // element row, kNone for an atom without element (the fall-back record)
    double x, y, z;
};

class BondSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::UseTestElements();
        test::SetElement(kNaNRadius, "Xn", 90, std::numeric_limits<float>::quiet_NaN());
        test::SetElement(kNegative, "Xm", 91, -1.0f);
        test::SetElement(kZero, "Xz", 92, 0.0f);
        test::SetElement(kHuge, "Xh", 93, 1e30f);
    }
    void TearDown() override { ResetElementTable(); }

    /// Atom records 0..n (0 unused) for the placed atoms, numbered in the given order.
    static std::vector<Atom> Atoms(const std::vector<Placed>& placed) {
        std::vector<Atom> atoms(placed.size() + 1);
        for (std::size_t i = 0; i < placed.size(); ++i) {
            atoms[i + 1].position = Vector(placed[i].x, placed[i].y, placed[i].z);
            atoms[i + 1].element = placed[i].row == kNone ? nullptr : &ElementTable()[placed[i].row];
        }
        return atoms;
    }

    /// The partners by their definition: every pair tested, sorted by squared distance and atom number.
    static std::vector<std::vector<std::uint32_t>> Direct(const std::vector<Atom>& atoms) {
        const int n = static_cast<int>(atoms.size()) - 1;
        auto radius = [&](int i) {
            return static_cast<double>((atoms[i].element ? *atoms[i].element : ElementTable()[FALLBACK_ELEMENT]).vdWRadius);
        };
        auto finite = [&](int i) {
            const Vector& p = atoms[i].position;
            return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
        };
        std::vector<std::vector<std::uint32_t>> partners(n + 1);
        std::vector<std::pair<double, int>> within;
        for (int a = 1; a <= n; ++a) {
            if (!finite(a)) continue;
            within.clear();
            for (int b = 1; b <= n; ++b) {
                if (b == a || !finite(b)) continue;
                const double reach = 2.0 * std::max(radius(a), radius(b));
                const double dx = atoms[a].position.x - atoms[b].position.x;
                const double dy = atoms[a].position.y - atoms[b].position.y;
                const double dz = atoms[a].position.z - atoms[b].position.z;
                if (std::fabs(dx) > reach || std::fabs(dy) > reach || std::fabs(dz) > reach) continue;
                const double d2 = dx * dx + dy * dy + dz * dz;
                if (d2 <= reach * reach) within.push_back({d2, b});
            }
            std::sort(within.begin(), within.end());
            for (std::size_t k = 0; k < within.size() && k < MAX_BONDS; ++k)
                partners[a].push_back(static_cast<std::uint32_t>(within[k].second));
        }
        return partners;
    }

    /// How a frame is searched: crowded frames reach the tree, the others are scanned cell by cell. Checking it
    /// keeps both searches facing the hostile frames.
    enum class Search { kScan, kTree };

    /// Runs the search on the frame and compares every atom's list with the direct search.
    static void ExpectDirectResult(const std::string& name, const std::vector<Placed>& placed, Search search) {
        SCOPED_TRACE(name);
        const std::vector<Atom> atoms = Atoms(placed);
        const int n = static_cast<int>(placed.size());
        FrameBonds bonds;
        BondSearchCounts counts;
        int steps = 0;
        ASSERT_TRUE(FindBondPartners(atoms.data(), n, bonds, [&] { return ++steps > 0; }, counts));
        EXPECT_EQ(counts.nodeTests > 0, search == Search::kTree);
        EXPECT_EQ(steps, n);
        ASSERT_EQ(bonds.first.size(), static_cast<std::size_t>(n) + 2);
        EXPECT_EQ(bonds.first[n + 1], bonds.partner.size());
        const auto expected = Direct(atoms);
        for (int a = 1; a <= n; ++a) {
            const auto found = bonds.Of(a);
            ASSERT_EQ(std::vector<std::uint32_t>(found.begin(), found.end()), expected[a]) << "atom " << a;
        }
    }

    /// The atoms renumbered at random, so that atom number and place do not go together.
    static std::vector<Placed> Shuffled(std::vector<Placed> placed, unsigned seed) {
        std::mt19937 random(seed);
        std::shuffle(placed.begin(), placed.end(), random);
        return placed;
    }
};

TEST_F(BondSearchTest, AgreesWithTheDirectSearchOnHostileFrames) {
    std::mt19937 random(17);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };

    // Groups of 25 coincident atoms 2 A apart (within reach of each other), numbers interleaved.
    std::vector<Placed> groups;
    const int rows[] = {kH, kC, kNone, kO};
    for (int i = 0; i < 1500; ++i) groups.push_back({rows[i % 4], 2.0 * (i % 60 % 4), 2.0 * (i % 60 / 4 % 5), 2.0 * (i % 60 / 20)});
    ExpectDirectResult("coincident groups", groups, Search::kTree);

    // 1100 atoms at one point (more than a cell list scans) in a halo of 300.
    std::vector<Placed> point(1100, Placed{kH, 1.5, -2.5, 0.25});
    for (int i = 0; i < 300; ++i) point.push_back({kC, uniform(-4, 6), uniform(-7, 2), uniform(-4, 4)});
    ExpectDirectResult("one crowded point", Shuffled(point, 1), Search::kTree);

    // Simple cubic lattices: six partners at one distance, then twelve more at the next, decided by number. The
    // 1 A lattice crowds every cell; the 1.2 A hydrogen lattice does not.
    std::vector<Placed> dense, sparse;
    for (int i = 0; i < 14 * 14 * 14; ++i) dense.push_back({kC, 1.0 * (i % 14), 1.0 * (i / 14 % 14), 1.0 * (i / 196)});
    for (int i = 0; i < 10 * 10 * 10; ++i) sparse.push_back({kH, 1.2 * (i % 10), 1.2 * (i / 10 % 10), 1.2 * (i / 100)});
    ExpectDirectResult("dense lattice", Shuffled(dense, 2), Search::kTree);
    ExpectDirectResult("sparse lattice", Shuffled(sparse, 3), Search::kScan);

    // 1300 distinct carbons within 1 A^3.
    std::vector<Placed> cluster;
    for (int i = 0; i < 1300; ++i) cluster.push_back({kC, uniform(0, 1), uniform(0, 1), uniform(0, 1)});
    ExpectDirectResult("dense cluster", cluster, Search::kTree);

    // Mixed, NaN, negative and zero radii and atoms without element, some of them coincident; then the same with
    // one atom whose radius reaches everything.
    std::vector<Placed> mixed;
    const int mixedRows[] = {kH, kC, kNaNRadius, kNegative, kZero, kNone, kO};
    for (int i = 0; i < 1400; ++i) {
        if (i % 9 == 8) {
            Placed twin = mixed[random() % mixed.size()];
            twin.row = mixedRows[random() % 7];
            mixed.push_back(twin);
        } else {
            mixed.push_back({mixedRows[random() % 7], uniform(0, 20), uniform(0, 20), uniform(0, 20)});
        }
    }
    ExpectDirectResult("mixed radii", mixed, Search::kScan);
    mixed[700].row = kHuge;
    ExpectDirectResult("mixed radii and a huge one", mixed, Search::kTree);

    // Carbon pairs exactly at their reach (and one ulp beyond) across the edges of cells of that width, where a
    // rounded cell index could part them by two cells.
    const double reach = 2.0 * static_cast<double>(1.7f);
    std::vector<Placed> edges{{kC, 0, 0, 0}};
    for (int k = 1; k < 130; ++k) {
        for (int ulps = 0; ulps < 4; ++ulps) {
            double x1 = k * reach;
            for (int u = 0; u < ulps; ++u) x1 = std::nextafter(x1, 0.0);
            double x2 = x1 + reach;
            while (x2 - x1 > reach) x2 = std::nextafter(x2, 0.0);
            while (std::nextafter(x2, kInf) - x1 <= reach) x2 = std::nextafter(x2, kInf);
            const double y = 10.0 * (4 * k + ulps);
            edges.push_back({kC, x1, y, 0});
            edges.push_back({kC, ulps == 3 ? std::nextafter(x2, kInf) : x2, y, 0});
            edges.push_back({kC, 0, y + 5, x1});
            edges.push_back({kC, 0, y + 5, x2});
        }
    }
    ExpectDirectResult("pairs at their reach", edges, Search::kScan);

    // Non-finite coordinates, far outliers and coordinates whose differences overflow, in a cloud small enough to
    // scan and in one that crowds.
    const double nan = kNaN, inf = kInf;
    const Placed outliers[] = {{kC, nan, 0, 0},    {kC, 0, inf, 0},    {kC, 0, 0, -inf},  {kC, 1e7, 0, 0},
                               {kC, 1e7 + 1, 0, 0}, {kC, -1e7, 1, 1},   {kHuge, 1e300, 0, 0}, {kC, -1e300, 0, 0},
                               {kHuge, -1e300, 0, 0}, {kC, 1e300, 1e300, 1e300}};
    for (const int size : {500, 1100}) {
        std::vector<Placed> wild;
        for (int i = 0; i < size; ++i) wild.push_back({rows[i % 4], uniform(-6, 6), uniform(-6, 6), uniform(-6, 6)});
        for (int k = 0; k < 10; ++k) wild.insert(wild.begin() + 37 * k, outliers[k]);
        ExpectDirectResult("non-finite and far atoms", wild, size < 1000 ? Search::kScan : Search::kTree);
    }
}

TEST_F(BondSearchTest, WorkPerAtomStaysBoundedOnCrowdedFrames) {
    // A scan of everything within reach would be n^2 = 20000 n here; the tree keeps each atom to a descent and a
    // few leaves.
    const int n = 20000;
    std::mt19937 random(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Placed> point(n, Placed{kH, 3, 2, 1}), cluster, reaching;
    for (int i = 0; i < n; ++i) {
        cluster.push_back({kC, unit(random), unit(random), unit(random)});
        reaching.push_back({i % 100 ? kO : kHuge, 25 * unit(random), 25 * unit(random), 30 * unit(random)});
    }
    const std::pair<const char*, const std::vector<Placed>*> frames[] = {
        {"one point", &point}, {"1 A^3", &cluster}, {"every 100th reaching all", &reaching}};
    for (const auto& [name, placed] : frames) {
        const std::vector<Atom> atoms = Atoms(*placed);
        FrameBonds bonds;
        BondSearchCounts counts;
        ASSERT_TRUE(FindBondPartners(atoms.data(), n, bonds, [] { return true; }, counts)) << name;
        EXPECT_EQ(bonds.partner.size(), static_cast<std::size_t>(n) * MAX_BONDS) << name;
        EXPECT_LT(counts.pairTests + counts.nodeTests, 300u * n) << name << ": " << counts.pairTests << " pairs, "
                                                                  << counts.nodeTests << " nodes";
    }
}

TEST_F(BondSearchTest, ProgressIsCalledOncePerAtomAndStopsTheSearch) {
    // Unplaced atoms, scanned cells and a crowded point: every kind of atom counts once.
    std::vector<Placed> placed(1100, Placed{kC, 0, 0, 0});
    for (int i = 0; i < 200; ++i) placed.push_back({kH, 10.0 + 1.1 * i, 0, 0});
    for (int i = 0; i < 5; ++i) placed.push_back({kO, kNaN, 0, 0});
    const std::vector<Atom> atoms = Atoms(Shuffled(placed, 4));
    const int n = static_cast<int>(placed.size());
    for (const int stopAt : {1, 3, 6, 150, 500, n}) {
        FrameBonds bonds;
        int steps = 0;
        EXPECT_FALSE(FindBondPartners(atoms.data(), n, bonds, [&] { return ++steps < stopAt; })) << stopAt;
        EXPECT_EQ(steps, stopAt);
    }
    FrameBonds bonds;
    int steps = 0;
    EXPECT_TRUE(FindBondPartners(atoms.data(), n, bonds, [&] { return ++steps > 0; }));
    EXPECT_EQ(steps, n);
    EXPECT_TRUE(FindBondPartners(atoms.data(), 0, bonds, [] { return false; }));
    EXPECT_TRUE(bonds.partner.empty());
}

}  // namespace
}  // namespace zelvor
