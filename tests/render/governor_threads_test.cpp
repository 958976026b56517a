#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "render/governor.h"

namespace zelvor {
namespace {

// Requests queued by the governor thread, applied later on the test thread as the UI thread would.
struct Queue {
    std::mutex mutex;
    std::vector<std::pair<int, int>> posts;
    void Push(int kind, int amount) {
        std::lock_guard guard(mutex);
        posts.emplace_back(kind, amount);
    }
};

TEST(GovernorThread, RunsToTheEndAndIsJoined) {
    C3DViewSettings settings{C3DViewSettings::Transient{}};
    settings.optimiseTessellation = 1;
    settings.showSurface = 0;
    Queue queue;
    std::recursive_mutex settingsLock;
    CTessellationGovernor governor(
        settings, settingsLock, [] { return -1.0; }, [&](int k, int a) { queue.Push(k, a); });
    governor.SetLimits({5, 40, 1});
    ASSERT_TRUE(governor.Start());
    governor.Join();
    EXPECT_FALSE(governor.IsRunning());
    EXPECT_TRUE(governor.IsFinished());
    for (auto [kind, amount] : queue.posts) governor.OnSetSceneTesselation(kind, amount);
    ASSERT_EQ(queue.posts.size(), 3u);
    EXPECT_EQ(queue.posts.back().first, GOVERNOR_ENDED);
    EXPECT_EQ(settings.renderQuality, 12);
}

TEST(GovernorThread, AbortStopsAWaitingThread) {
    C3DViewSettings settings{C3DViewSettings::Transient{}};
    settings.optimiseTessellation = 1;
    settings.showSurface = 0;
    Queue queue;
    std::mutex mutex;
    std::condition_variable changed;
    bool waiting = false;
    bool released = false;
    std::recursive_mutex settingsLock;
    // The measurement blocks until the test releases it.
    CTessellationGovernor governor(
        settings, settingsLock,
        [&] {
            std::unique_lock lock(mutex);
            waiting = true;
            changed.notify_all();
            changed.wait(lock, [&] { return released; });
            return 20.0;
        },
        [&](int k, int a) { queue.Push(k, a); });
    governor.SetFullScreen(true);
    ASSERT_TRUE(governor.Start());
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return waiting; });
    }
    EXPECT_TRUE(governor.IsRunning());
    EXPECT_FALSE(governor.Start());
    governor.Abort();
    {
        std::lock_guard lock(mutex);
        released = true;
    }
    changed.notify_all();
    governor.Join();
    EXPECT_FALSE(governor.IsFinished());
    ASSERT_FALSE(queue.posts.empty());
    EXPECT_EQ(queue.posts.back().first, GOVERNOR_ENDED);
    governor.OnSetSceneTesselation(GOVERNOR_ENDED, 0);
    EXPECT_EQ(governor.StatusText(), "Not optimised");
}

}  // namespace
}  // namespace zelvor
