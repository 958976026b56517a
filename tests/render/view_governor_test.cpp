#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "model/elements.h"
#include "platform/app_message.h"
#include "platform/performance.h"
#include "render/dravik_gl_view.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

struct AnimatingHost : CViewHost {
    bool IsAnimating() const override { return animating; }
    bool animating = true;
};

// A loaded two-atom document and a view without a window: the governor runs without measurements (no
// processor source), so its thread finishes at once, and its requests collect in the sink.
class ViewGovernor : public ::testing::Test {
protected:
    void SetUp() override {
        static CElements elements(test::BinDir() + "/Elements.dat");
        const std::string path = test::WriteFile(dir_, "pair.xyz", "2\npair\nC 0 0 0\nO 1.2 0 0\n");
        doc_.SetDocTemplate(TEMPLATE_XYZ);
        doc_.OnOpenDocument(path.c_str());
        doc_.WaitForLoader();
        view_ = std::make_unique<CDravikGLView>(&doc_, true);
        view_->SetHost(&host_);
        view_->SetMessageTarget(&sink_);
        view_->OnInitialUpdate();
        view_->Get3DViewSettings()->optimiseTessellation = 1;
        view_->Get3DViewSettings()->showSurface = 0;
        view_->SetGovernorLimits({5, 40, 1});
    }
    void TearDown() override { view_.reset(); }

    /// Waits for the thread and applies its requests as the window's thread would; returns their kinds.
    std::vector<int> RunRequests() {
        view_->Governor().Join();
        std::vector<int> kinds;
        for (const AppMessage& m : sink_.Messages()) {
            if (m.code != MSG_TESSELLATION) continue;
            kinds.push_back(static_cast<int>(m.wParam));
            view_->OnSetSceneTesselation(static_cast<int>(m.wParam), static_cast<int>(m.lParam));
        }
        sink_.Clear();
        return kinds;
    }

    QTemporaryDir dir_;
    CDravikDoc doc_;
    HeadlessMessageSink sink_;
    AnimatingHost host_;
    std::unique_ptr<CDravikGLView> view_;
};

TEST_F(ViewGovernor, StartsOnlyAfterTheFileIsLoadedAndWhileAnimating) {
    view_->SaveQualityForSpeed();
    EXPECT_TRUE(RunRequests().empty()) << "no surface state yet";
    view_->OnUpdate(HINT_FILE_LOADED);
    host_.animating = false;
    view_->SaveQualityForSpeed();
    EXPECT_TRUE(RunRequests().empty());
    host_.animating = true;
    view_->SaveQualityForSpeed();
    // Without a measurement every pass raises the detail until the passes run out.
    EXPECT_EQ(RunRequests(), (std::vector<int>{2, 2, -1}));
    EXPECT_TRUE(view_->Governor().IsFinished());
    EXPECT_EQ(view_->GetRenderQuality(), 12);
    EXPECT_EQ(view_->Governor().polygonEstimate.load(), 15 * 15 * 2) << "the quality before the start";
    // A finished governor waits for new contents.
    view_->SaveQualityForSpeed();
    EXPECT_TRUE(RunRequests().empty());
    view_->OnInitialUpdate();
    view_->SaveQualityForSpeed();
    EXPECT_EQ(RunRequests().back(), -1);
}

TEST_F(ViewGovernor, StoppedWhileContentsAreReplacedUntilTheNextInitialUpdate) {
    view_->OnUpdate(HINT_FILE_LOADED);
    view_->AbortGovernor();
    for (int paint = 0; paint < 3; ++paint) view_->SaveQualityForSpeed();
    EXPECT_TRUE(RunRequests().empty());
    EXPECT_TRUE(view_->Governor().MustOptiPolygonThreadAbort());
    view_->OnInitialUpdate();
    EXPECT_FALSE(view_->Governor().MustOptiPolygonThreadAbort());
    view_->SaveQualityForSpeed();
    EXPECT_EQ(RunRequests().back(), -1);
}

TEST_F(ViewGovernor, StatusTextOnlyInFullScreen) {
    view_->OnUpdate(HINT_FILE_LOADED);
    view_->SetGovernorLimits({5, 40, 1000});
    view_->OnSetSceneTesselation(GOVERNOR_TESSELLATION, -2);
    EXPECT_EQ(view_->GovernorStatusText(), "");
    view_->SetFullScreenMode(true);
    view_->OnSetSceneTesselation(GOVERNOR_ENDED, 0);
    EXPECT_EQ(view_->GovernorStatusText(), "Not optimised");
    view_->SetGovernorLimits({5, 40, 1});
    view_->SaveQualityForSpeed();
    RunRequests();
    EXPECT_EQ(view_->GovernorStatusText(), "");
}

TEST_F(ViewGovernor, NewContentsWhileTheGovernorMeasuresStopItBeforeItsEventsAreReplaced) {
    CPerformance performance;
    ASSERT_EQ(performance.Initialise(), 1);
    view_->SetPerformance(&performance);
    view_->OnUpdate(HINT_FILE_LOADED);
    view_->SaveQualityForSpeed();
    ASSERT_TRUE(view_->IsGovernorRunning());
    // Time to reach its first measurement, which reads the events. Only time: waiting on the governor would
    // order its reads before the view's writes and hide a race from the thread sanitizer.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // The saver loads the next file: the thread that measures for the old contents ends first.
    view_->OnInitialUpdate();
    EXPECT_FALSE(view_->IsGovernorRunning());
    EXPECT_FALSE(view_->Governor().MustOptiPolygonThreadAbort());
    view_->SetPerformance(nullptr);
    view_->SaveQualityForSpeed();
    EXPECT_EQ(RunRequests().back(), -1);
}

TEST(ViewGovernorLock, EachViewHasItsOwnAndItsGovernorTakesIt) {
    CDravikGLView first(nullptr, true), second(nullptr, true);
    std::promise<void> held, release;
    std::thread holder([&] {
        first.ChangeDetailSettings([&] {
            held.set_value();
            release.get_future().wait();
        });
    });
    held.get_future().wait();
    auto other = std::async(std::launch::async, [&] {
        second.SetRenderQuality(5);
        return second.GetRenderQuality();
    });
    EXPECT_EQ(other.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "another view waited";
    auto same = std::async(std::launch::async, [&] { return first.Governor().StatusText(); });
    EXPECT_EQ(same.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout)
        << "the governor of the changing view did not wait";
    release.set_value();
    holder.join();
    EXPECT_EQ(other.get(), 5);
    EXPECT_EQ(same.get(), "");
}

}  // namespace
}  // namespace zelvor
