// The example module of modules/orbit, through its own list and a document's calculation. Its atoms are read
// while it writes them, as the program does by design, so this test stays out of the thread-checked set.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "app/app_profile.h"
#include "app/message_recorder.h"
#include "crunch/number_crunching.h"
#include "model/elements.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

using namespace std::chrono_literals;

// Doubles in plain arrays, moving while the module runs.
TEST(ExampleModule, OrbitRunsFromItsListAndItsAtomsMoveBetweenPolls) {
    test::ScopedConfigHome home;
    CAppProfile profile{"Zelvor", "1,0,0,1"};
    test::MessageRecorder messages;
    CElements elements{test::BinDir() + "/Elements.dat"};
    CNumberCrunchModules modules;
    ASSERT_TRUE(modules.LoadAndVerifyModules(test::BinDir() + "/modules/orbit/Modules.xml", true))
        << ::testing::PrintToString(messages.Texts());
    CDravikDoc doc;
    CNumberCrunching run(doc, modules, "Zelvor");
    ASSERT_EQ(run.SetTypeOfNumberCrunching(modules.menuToFile.at("Orbit")), 1);
    ASSERT_TRUE(run.StartNumberCrunching());
    const Frame& frame = doc.GetFrame(0);
    ASSERT_EQ(frame.atomCount, 6);
    EXPECT_EQ(frame.atoms[2].element->atomicNumber, 8);
    EXPECT_NEAR(std::hypot(frame.atoms[1].position.x, frame.atoms[1].position.y), 4.0, 1e-9);
    const double x0 = frame.atoms[1].position.x;
    bool moved = false;
    for (int i = 0; i < 500 && !moved; ++i) {
        std::this_thread::sleep_for(2ms);
        ASSERT_TRUE(run.Poll());
        moved = frame.atoms[1].position.x != x0;
    }
    EXPECT_TRUE(moved);
    EXPECT_EQ(run.AbortNumberCrunching(), "Run Orbit");
    EXPECT_TRUE(messages.Texts().empty());
}

}  // namespace
}  // namespace zelvor
