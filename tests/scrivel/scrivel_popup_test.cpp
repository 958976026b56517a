#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <memory>

#include "scrivel/scrivel_ctrl.h"
#include "scrivel/scrivel_values.h"

namespace {

class ScrivelPopupTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = std::make_unique<QWidget>();
        window_->resize(400, 200);
        ctrl_ = new CScrivelCtrl(window_.get());
        ctrl_->setGeometry(150, 30, 200, ctrl_->height());
        window_->show();
        ASSERT_TRUE(ctrl_->InitAllinOneGo(0, 10, 0.5, 2, "", "", 5, ctrl_->font(), 3));
        trackbar_ = ctrl_->findChild<QSlider*>("trackbar");
        ASSERT_NE(trackbar_, nullptr);
    }

    std::unique_ptr<QWidget> window_;
    CScrivelCtrl* ctrl_ = nullptr;
    QSlider* trackbar_ = nullptr;
};

TEST_F(ScrivelPopupTest, DropsBelowWithTheThumbUnderTheMouse) {
    for (double value : {0.0, 5.0, 10.0}) {
        ctrl_->SetScrollValue(value);
        QSignalSpy spy(ctrl_, &CScrivelCtrl::NewValue);
        const QPoint mouse = ctrl_->Button()->mapToGlobal(QPoint(7, 5));
        ctrl_->DropPopup(mouse);
        QWidget* popup = ctrl_->Popup();
        ASSERT_TRUE(popup->isVisible());
        EXPECT_TRUE(ctrl_->Button()->isDown());
        const int left = scrivel::PopupLeft(mouse.x(), trackbar_->value(), trackbar_->contentsRect().width(),
                                            trackbar_->maximum() - trackbar_->minimum());
        EXPECT_EQ(popup->pos(), QPoint(left, ctrl_->mapToGlobal(QPoint(0, ctrl_->height())).y()));
        // The press caught the thumb: nothing moved yet, and a drag can start.
        EXPECT_TRUE(trackbar_->isSliderDown()) << value;
        EXPECT_EQ(ctrl_->GetScrollValue(), value);
        EXPECT_EQ(spy.count(), 0);

        QTest::mouseRelease(trackbar_, Qt::LeftButton, Qt::NoModifier, trackbar_->mapFromGlobal(mouse));
        EXPECT_FALSE(popup->isVisible());
        EXPECT_FALSE(ctrl_->Button()->isDown());
    }
}

TEST_F(ScrivelPopupTest, DraggingAfterTheDropMovesTheValue) {
    ctrl_->SetScrollValue(2);
    QSignalSpy spy(ctrl_, &CScrivelCtrl::NewValue);
    const QPoint mouse = ctrl_->Button()->mapToGlobal(QPoint(7, 5));
    ctrl_->DropPopup(mouse);
    ASSERT_TRUE(trackbar_->isSliderDown());
    const QPoint handle = trackbar_->mapFromGlobal(mouse);
    // The button stays held while the pointer moves; the popup hands the drag to the trackbar.
    const QPoint target = trackbar_->mapToGlobal(QPoint(handle.x() + 40, trackbar_->height() / 2));
    QMouseEvent move(QEvent::MouseMove, QPointF(ctrl_->Popup()->mapFromGlobal(target)), QPointF(target),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(ctrl_->Popup(), &move);
    ASSERT_GE(spy.count(), 1);
    EXPECT_GT(ctrl_->GetScrollValue(), 2);
    EXPECT_EQ(spy.back().at(0).toDouble(), ctrl_->GetScrollValue());
    QTest::mouseRelease(trackbar_, Qt::LeftButton, Qt::NoModifier, QPoint(handle.x() + 40, trackbar_->height() / 2));
    EXPECT_FALSE(ctrl_->Popup()->isVisible());
}

TEST(ScrivelPopup, StaysClosedWithoutRange) {
    CScrivelCtrl ctrl;
    ctrl.DropPopup(QPoint(10, 10));
    EXPECT_FALSE(ctrl.Popup()->isVisible());
    EXPECT_FALSE(ctrl.Button()->isDown());
}

}  // namespace
