// Which user input ends the saver: the view's ending rules, driven with synthetic events (no GL needed).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <memory>

#include "model/dravik_doc.h"
#include "saver/saver_view.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

class SaverViewInput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "saver_view_input_test";
            static char* argv[] = {name, nullptr};
            // Kept until the process ends: destroying it among the static objects crashes inside the toolkit.
            static QGuiApplication* app = new QGuiApplication(argc, argv);
            (void)app;
        }
    }

    void SetUp() override {
        view_ = std::make_unique<CSaverView>(&doc_, 0);
        view_->OnInitialUpdate();
        origin_ = view_->LastMousePosition();
        QObject::connect(view_.get(), &CSaverView::closeRequested, [this] { ++closeRequests_; });
    }

    void MoveBy(int dx, int dy) {
        const QPoint global = view_->LastMousePosition() + QPoint(dx, dy);
        QMouseEvent move(QEvent::MouseMove, QPointF(global), QPointF(global), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(view_.get(), &move);
    }

    void Press(Qt::MouseButton button) {
        const QPointF at(view_->LastMousePosition());
        QMouseEvent press(QEvent::MouseButtonPress, at, at, button, button, Qt::NoModifier);
        QCoreApplication::sendEvent(view_.get(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, at, button, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view_.get(), &release);
    }

    test::ScopedConfigHome config_;
    CDravikDoc doc_;
    std::unique_ptr<CSaverView> view_;
    QPoint origin_;
    int closeRequests_ = 0;
};

TEST_F(SaverViewInput, DriftBelowTenPixelsPerMoveNeverEndsHoweverFar) {
    view_->SetEndsOnInput(true);
    for (int i = 0; i < 200; ++i) MoveBy(6, 7);  // 85 squared pixels per move, 1800 pixels in all
    EXPECT_EQ(closeRequests_, 0);
    EXPECT_EQ(view_->LastMousePosition(), origin_ + QPoint(1200, 1400));
}

TEST_F(SaverViewInput, OneJumpOfTenPixelsEnds) {
    view_->SetEndsOnInput(true);
    MoveBy(9, 0);
    EXPECT_EQ(closeRequests_, 0);
    MoveBy(6, 8);  // exactly 10 pixels
    EXPECT_EQ(closeRequests_, 1);
    MoveBy(30, 0);
    EXPECT_EQ(closeRequests_, 1);  // one close request, however much input follows
}

TEST_F(SaverViewInput, ButtonsWheelAndKeysEnd) {
    for (int input = 0; input < 4; ++input) {
        SetUp();
        view_->SetEndsOnInput(true);
        switch (input) {
            case 0: Press(Qt::LeftButton); break;
            case 1: Press(Qt::RightButton); break;
            case 2: {
                const QPointF at(view_->LastMousePosition());
                QWheelEvent wheel(at, at, QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                                  Qt::NoScrollPhase, false);
                QCoreApplication::sendEvent(view_.get(), &wheel);
                break;
            }
            default: {
                QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
                QCoreApplication::sendEvent(view_.get(), &key);
                break;
            }
        }
        EXPECT_EQ(closeRequests_, 1) << "input " << input;
        closeRequests_ = 0;
    }
}

TEST_F(SaverViewInput, PreviewAndConfigureViewsNeverEnd) {
    MoveBy(50, 50);
    Press(Qt::LeftButton);
    Press(Qt::RightButton);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(view_.get(), &key);
    EXPECT_EQ(closeRequests_, 0);
}

TEST_F(SaverViewInput, StartupTimerStartsOnce) {
    EXPECT_EQ(view_->StartupTimerHandle(), 0);
    view_->PostInit();
    const int handle = view_->StartupTimerHandle();
    EXPECT_NE(handle, 0);
    view_->PostInit();
    EXPECT_EQ(view_->StartupTimerHandle(), handle);
}

}  // namespace
}  // namespace zelvor
