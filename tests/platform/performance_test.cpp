#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "platform/named_event.h"
#include "platform/performance.h"

namespace zelvor {
namespace {

void BurnProcessorMilliseconds(double ms) {
    const std::clock_t start = std::clock();
    volatile double sink = 0.0;
    while (static_cast<double>(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC < ms) sink = sink + 1.0;
}

TEST(CPerformanceMeasurement, WithoutInitialisationTouchesNothing) {
    CPerformance performance;
    NamedEvent measuring(NamedEvent::ResetMode::Manual, false);
    bool waited = false;
    std::vector<int> sleeps;
    EXPECT_EQ(performance.GetCPUPercent({[&] { waited = true; }}, {&measuring}, [&](int ms) { sleeps.push_back(ms); }),
              -1.0);
    EXPECT_FALSE(waited);
    EXPECT_TRUE(sleeps.empty());
    EXPECT_FALSE(measuring.IsSet());
}

// The events keep surface computations from starting during the measurement only; the waits come before
// the first pause, and the second of the two samples is the answer.
TEST(CPerformanceMeasurement, SignalsWaitsPausesAndResets) {
    CPerformance performance;
    ASSERT_EQ(performance.Initialise(), 1);
    NamedEvent first(NamedEvent::ResetMode::Manual, false);
    NamedEvent second(NamedEvent::ResetMode::Manual, false);
    std::vector<std::string> steps;
    const auto waitHandle = [&](const char* name) {
        return [&, name] {
            steps.push_back(std::string("wait ") + name + (first.IsSet() && second.IsSet() ? " measuring" : ""));
        };
    };
    const double percent = performance.GetCPUPercent(
        {waitHandle("lists"), waitHandle("surface")}, {&first, &second}, [&](int ms) {
            steps.push_back("sleep " + std::to_string(ms));
            // Busy instead of asleep: the processor time shows in the second sample.
            if (ms == 1000) BurnProcessorMilliseconds(40.0);
        });
    EXPECT_EQ(steps, (std::vector<std::string>{"wait lists measuring", "wait surface measuring", "sleep 250",
                                               "sleep 1000"}));
    EXPECT_FALSE(first.IsSet());
    EXPECT_FALSE(second.IsSet());
    EXPECT_GT(percent, 0.0);
    EXPECT_EQ(percent, performance.LastPercent());
}

}  // namespace
}  // namespace zelvor
