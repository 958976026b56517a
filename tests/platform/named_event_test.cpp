#include "platform/named_event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace zelvor {
namespace {

using namespace std::chrono_literals;
using Mode = NamedEvent::ResetMode;

void AwaitWaiters(const NamedEvent& event, int count) {
    while (event.Waiters() != count) std::this_thread::yield();
}

TEST(NamedEvent, CreateOpensAnExistingEventAndNamesDieWithTheirEvents) {
    auto created = NamedEvent::Create("DisplayListevent_test", Mode::Manual, false);
    auto again = NamedEvent::Create("DisplayListevent_test", Mode::Automatic, true);
    EXPECT_EQ(created, again);
    EXPECT_FALSE(again->IsSet());  // the creator's state holds
    EXPECT_EQ(NamedEvent::Open("DisplayListevent_test"), created);
    EXPECT_EQ(NamedEvent::Open("CPUperformanceevent_test"), nullptr);
    created.reset();
    again.reset();
    EXPECT_EQ(NamedEvent::Open("DisplayListevent_test"), nullptr);
    auto unnamed = NamedEvent::Create("", Mode::Manual, true);
    EXPECT_TRUE(unnamed->IsSet());
    EXPECT_EQ(NamedEvent::Open(""), nullptr);
}

TEST(NamedEvent, ManualResetStaysSignalledUntilReset) {
    NamedEvent event(Mode::Manual, true);
    EXPECT_TRUE(event.Wait(0ms));
    EXPECT_TRUE(event.Wait(0ms));
    event.Reset();
    EXPECT_FALSE(event.Wait(0ms));
    event.Set();
    EXPECT_TRUE(event.IsSet());
}

TEST(NamedEvent, AutomaticResetReleasesOneWait) {
    NamedEvent event(Mode::Automatic, false);
    EXPECT_FALSE(event.Wait(0ms));
    event.Set();
    EXPECT_TRUE(event.Wait(0ms));
    EXPECT_FALSE(event.Wait(0ms));
}

TEST(NamedEvent, PulseWithoutWaitersLeavesItNonSignalled) {
    for (Mode mode : {Mode::Manual, Mode::Automatic}) {
        NamedEvent event(mode, true);
        event.Pulse();
        EXPECT_FALSE(event.IsSet());
        EXPECT_FALSE(event.Wait(0ms));
    }
}

TEST(NamedEvent, SetWakesAThreadWaitingWithoutLimit) {
    auto event = NamedEvent::Create("calculation start", Mode::Manual, false);
    std::thread waiter([] { NamedEvent::Open("calculation start")->Wait(); });
    AwaitWaiters(*event, 1);
    event->Set();
    waiter.join();
    EXPECT_TRUE(event->IsSet());
}

TEST(NamedEvent, ManualPulseReleasesEveryWaiterAndResets) {
    NamedEvent event(Mode::Manual, false);
    std::atomic<int> released{0};
    std::thread a([&] { released += event.Wait(1h); });
    std::thread b([&] { released += event.Wait(1h); });
    AwaitWaiters(event, 2);
    event.Pulse();
    a.join();
    b.join();
    EXPECT_EQ(released, 2);
    EXPECT_FALSE(event.IsSet());
}

TEST(NamedEvent, AutomaticPulseReleasesOneWaiter) {
    NamedEvent event(Mode::Automatic, false);
    std::atomic<int> released{0};
    std::thread a([&] { released += event.Wait(1h); });
    std::thread b([&] { released += event.Wait(1h); });
    AwaitWaiters(event, 2);
    event.Pulse();
    while (released != 1) std::this_thread::yield();
    EXPECT_EQ(event.Waiters(), 1);
    EXPECT_FALSE(event.IsSet());
    event.Set();  // the other one
    a.join();
    b.join();
    EXPECT_EQ(released, 2);
    EXPECT_FALSE(event.IsSet());
}

TEST(NamedEvent, TimedWaitGivesUp) {
    NamedEvent event(Mode::Manual, false);
    EXPECT_FALSE(event.Wait(2ms));
    EXPECT_EQ(event.Waiters(), 0);
}

}  // namespace
}  // namespace zelvor
