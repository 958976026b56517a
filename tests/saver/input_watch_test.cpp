// The input watch on a private X server, driven through XTest as a user's mouse and keyboard would be.
#include "saver/input_watch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>

#include "x_session.h"

// Last: the X headers define macros (None, Bool, ...) that clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace zelvor {
namespace {

using Input = CInputWatch::Input;

class InputWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        xvfb_ = std::make_unique<test::XvfbServer>(800, 600);
        if (!xvfb_->Running()) GTEST_SKIP() << "Xvfb is not available";
        display_ = XOpenDisplay(xvfb_->Display().c_str());
        ASSERT_NE(display_, nullptr);
        int event = 0, error = 0, major = 0, minor = 0;
        if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) GTEST_SKIP() << "no XTest";
        MovePointer(400, 300);
    }
    void TearDown() override {
        if (display_ != nullptr) XCloseDisplay(display_);
    }
    void MovePointer(int x, int y) {
        XTestFakeMotionEvent(display_, 0, x, y, 0);
        XSync(display_, False);
    }
    /// What ended a watch started now, after `act` (none within 10 s: nullopt).
    std::optional<Input> Watch(const std::function<void(CInputWatch&)>& act) {
        std::promise<Input> ended;
        std::future<Input> result = ended.get_future();
        CInputWatch watch(xvfb_->Display(), 10, [&ended](Input input) { ended.set_value(input); });
        EXPECT_TRUE(watch.Watching());
        act(watch);
        if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) return std::nullopt;
        return result.get();
    }

    std::unique_ptr<test::XvfbServer> xvfb_;
    Display* display_ = nullptr;
};

TEST_F(InputWatchTest, AFarStepAButtonOrAKeyEndsTheSaverSmallStepsDoNot) {
    // A move the window has already seen is the window's to judge: the key after it is what ends the watch.
    EXPECT_EQ(Watch([&](CInputWatch& watch) {
                  watch.PointerSeenAt(490, 300);
                  MovePointer(490, 300);
                  XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, XK_a), True, 0);
                  XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, XK_a), False, 0);
                  XSync(display_, False);
              }),
              Input::Key);
    // One step of 10 pixels is far (6 and 8 make 10).
    EXPECT_EQ(Watch([&](CInputWatch&) { MovePointer(490 + 6, 300 + 8); }), Input::FarMove);
    // Small steps that a busy window does not see add up to a far one.
    EXPECT_EQ(Watch([&](CInputWatch&) {
                  for (int i = 1; i <= 4; ++i) MovePointer(496 + 3 * i, 308);
              }),
              Input::FarMove);
    EXPECT_EQ(Watch([&](CInputWatch&) {
                  XTestFakeButtonEvent(display_, 1, True, 0);
                  XTestFakeButtonEvent(display_, 1, False, 0);
                  XSync(display_, False);
              }),
              Input::Button);
}

TEST_F(InputWatchTest, AWatchThatSawNothingEndsWithItsOwner) {
    // Constructed and destroyed without input: the thread is joined, the action never runs.
    bool called = false;
    { CInputWatch watch(xvfb_->Display(), 10, [&called](Input) { called = true; }); }
    EXPECT_FALSE(called);
    // No such display: nothing is watched and nothing fails.
    CInputWatch none(":9999", 10, [&called](Input) { called = true; });
    EXPECT_FALSE(none.Watching());
}

}  // namespace
}  // namespace zelvor
