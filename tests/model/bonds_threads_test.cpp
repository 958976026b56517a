// Bond detection from several threads at once, as the loader and the view's list compile do.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "model/dravik_doc.h"
#include "model_fixtures.h"

namespace zelvor {
namespace {

TEST(BondsThreadsTest, ConcurrentCallersBondEveryFrameExactlyAsOneCallerWould) {
    test::UseTestElements();
    auto fill = [](CDravikDoc& doc) {
        for (int f = 0; f < 12; ++f) {
            std::vector<test::TestAtom> atoms;
            for (int i = 0; i < 200; ++i)
                atoms.push_back({i % 3 ? "H" : "C", 1.1 * (i % 10), 1.3 * (i / 10 % 5), 0.9 * (i / 50) + 0.05 * f});
            test::FillFrame(doc, f, atoms);
        }
    };
    CDravikDoc reference, shared;
    reference.WantBonds(true);
    shared.WantBonds(true);
    fill(reference);
    fill(shared);
    reference.EstablishBonds();

    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t) callers.emplace_back([&] { shared.EstablishBonds(); });
    for (std::thread& caller : callers) caller.join();

    EXPECT_EQ(shared.GetBondedFrameCount(), 12);
    for (int f = 0; f < 12; ++f) {
        const Frame& a = reference.GetFrame(f);
        const Frame& b = shared.GetFrame(f);
        ASSERT_TRUE(b.bondsDone) << f;
        for (int i = 1; i <= a.atomCount; ++i) {
            ASSERT_EQ(a.bonds.Count(i), b.bonds.Count(i)) << f << " " << i;
            for (int k = 0; k < a.bonds.Count(i); ++k) ASSERT_EQ(a.bonds.Of(i)[k], b.bonds.Of(i)[k]);
        }
    }
    ResetElementTable();
}

}  // namespace
}  // namespace zelvor
