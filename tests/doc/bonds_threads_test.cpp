// Bond detection from several threads at once, as the loader and the view's list compile do.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "doc/dravik_doc.h"
#include "model_fixtures.h"
#include "render/view_settings.h"

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
    C3DViewSettings settings{C3DViewSettings::Transient{}};
    settings.showBonds = 1;
    CDravikDoc reference, shared;
    reference.AttachViewSettings(&settings);
    shared.AttachViewSettings(&settings);
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
            ASSERT_EQ(a.atoms[i].bondCount, b.atoms[i].bondCount) << f << " " << i;
            for (int k = 0; k < a.atoms[i].bondCount; ++k)
                ASSERT_EQ(a.atoms[i].bonds[k] - a.atoms.get(), b.atoms[i].bonds[k] - b.atoms.get());
        }
    }
    ResetElementTable();
}

}  // namespace
}  // namespace zelvor
