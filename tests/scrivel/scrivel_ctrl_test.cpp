#include "scrivel/scrivel_ctrl.h"

#include <gtest/gtest.h>

#include <QAbstractSlider>
#include <QImage>
#include <QSignalSpy>
#include <QSlider>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <limits>


namespace {

QStringList warnings;

void RecordWarning(QWidget*, const QString& text) { warnings << text; }

class ScrivelCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        warnings.clear();
        previous_ = CScrivelCtrl::SetWarningPresenter(&RecordWarning);
        ctrl_ = std::make_unique<CScrivelCtrl>();
        ctrl_->resize(200, ctrl_->height());
        spy_ = std::make_unique<QSignalSpy>(ctrl_.get(), &CScrivelCtrl::NewValue);
    }
    void TearDown() override {
        spy_.reset();
        ctrl_.reset();
        CScrivelCtrl::SetWarningPresenter(previous_);
    }

    /// Range 0..10, small change 0.5, large change 2, value 4: "Amplitude:4 A".
    void InitStandard() {
        ASSERT_TRUE(ctrl_->InitAllinOneGo(0, 10, 0.5, 2, "Amplitude:", " A", 4, ctrl_->font(), 3));
    }
    void Type(const QString& text) {
        ctrl_->Edit()->selectAll();
        QTest::keyClicks(ctrl_->Edit(), text);
        QTest::keyClick(ctrl_->Edit(), Qt::Key_Return);
    }
    void ClickSpin(const char* arrow) {
        auto* button = ctrl_->findChild<QToolButton*>(arrow);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QSlider* Trackbar() { return ctrl_->findChild<QSlider*>("trackbar"); }
    double LastEvent() const { return spy_->back().at(0).toDouble(); }

    CScrivelCtrl::WarningPresenter previous_ = nullptr;
    std::unique_ptr<CScrivelCtrl> ctrl_;
    std::unique_ptr<QSignalSpy> spy_;
};

TEST_F(ScrivelCtrlTest, WithoutRangeItShowsNothingAndIgnoresInput) {
    ctrl_->SetDescription("Amplitude:");
    ctrl_->SetScrollValue(3);
    EXPECT_EQ(ctrl_->Text(), "");
    long cx = 0, cy = 0;
    EXPECT_FALSE(ctrl_->GetIdealSize(&cx, &cy));

    ClickSpin("up");
    Type("5");
    Trackbar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(ctrl_->GetScrollValue(), 3);
    EXPECT_EQ(Trackbar()->value(), 0);
    EXPECT_EQ(spy_->count(), 0);
}

TEST_F(ScrivelCtrlTest, TheEditBoxHidesItsCaret) {
    EXPECT_EQ(ctrl_->Edit()->style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, ctrl_->Edit()), 0);
}

TEST_F(ScrivelCtrlTest, InitAllinOneGoSetsEverythingAndDerivesTheSteps) {
    InitStandard();
    EXPECT_EQ(ctrl_->Text(), "Amplitude:4 A");
    EXPECT_EQ(ctrl_->GetSmallChange(), 0.5);
    EXPECT_EQ(ctrl_->GetLargeChange(), 2);
    EXPECT_EQ(ctrl_->Precision(), 3);
    EXPECT_DOUBLE_EQ(ctrl_->SmallStepTrackbar(), 32767 * 0.5 / 10);
    EXPECT_DOUBLE_EQ(ctrl_->LargeStepTrackbar(), 32767 * 2.0 / 10);
    EXPECT_EQ(ctrl_->SpinSmallStep(), 1638);
    EXPECT_EQ(ctrl_->SpinLargeStep(), 6553);
    EXPECT_EQ(ctrl_->SpinPosition(), 13106);  // 4 * 32767 / 10, truncated
    EXPECT_EQ(ctrl_->TrackbarPosition(), 13106);
    EXPECT_EQ(spy_->count(), 0);
    EXPECT_TRUE(warnings.isEmpty());
}

TEST_F(ScrivelCtrlTest, PropertiesRedrawWithoutEvents) {
    InitStandard();
    ctrl_->SetScrollValue(7.25);
    EXPECT_EQ(ctrl_->Text(), "Amplitude:7.25 A");
    EXPECT_EQ(ctrl_->SpinPosition(), static_cast<int>(7.25 * 32767 / 10));
    EXPECT_EQ(ctrl_->TrackbarPosition(), static_cast<int>(7.25 * 32767 / 10));
    ctrl_->SetDescription("d = ");
    ctrl_->SetUnitDescription(" Hz");
    EXPECT_EQ(ctrl_->Text(), "d = 7.25 Hz");
    // Precision waits for the next text update.
    ctrl_->SetPrecision(2);
    EXPECT_EQ(ctrl_->Text(), "d = 7.25 Hz");
    ctrl_->SetScrollValue(7.25);
    EXPECT_EQ(ctrl_->Text(), "d = 7.2 Hz");
    // Through the property system too, as a program reaches it.
    EXPECT_TRUE(ctrl_->setProperty("ScrollValue", 1.5));
    EXPECT_EQ(ctrl_->GetScrollValue(), 1.5);
    EXPECT_EQ(spy_->count(), 0);
    EXPECT_FALSE(ctrl_->IsChangedByUser());
}

TEST_F(ScrivelCtrlTest, ValuesOutsideTheLimitsPinTheSpinAndTrackbar) {
    InitStandard();
    ctrl_->SetScrollValue(25);
    EXPECT_EQ(ctrl_->SpinPosition(), 32767);
    EXPECT_EQ(ctrl_->TrackbarPosition(), 32767);
    ctrl_->SetScrollValue(-1e300);
    EXPECT_EQ(ctrl_->SpinPosition(), 0);
    EXPECT_EQ(ctrl_->TrackbarPosition(), 0);
}

TEST_F(ScrivelCtrlTest, ChangingAStepRecomputesOnlyWithARange) {
    ctrl_->SetSmallChange(2);
    EXPECT_EQ(ctrl_->SpinSmallStep(), 1);
    ctrl_->SetRange(0, 32767);
    EXPECT_EQ(ctrl_->SpinSmallStep(), 2);
    ctrl_->SetLargeChange(100);
    EXPECT_EQ(ctrl_->SpinLargeStep(), 100);
    EXPECT_DOUBLE_EQ(ctrl_->LargeStepTrackbar(), 100);
}

TEST_F(ScrivelCtrlTest, StepsWithoutPositionsWarnOncePerStepAndUseOne) {
    ctrl_->SetSmallChange(0);
    ctrl_->SetRange(0, 10);
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_EQ(warnings[0], "Warning: Parameter range too high");
    EXPECT_EQ(ctrl_->SmallStepTrackbar(), 1.0);
    EXPECT_EQ(ctrl_->SpinSmallStep(), 1);

    // Reversed limits make both steps negative.
    warnings.clear();
    ctrl_->SetRange(10, 0);
    EXPECT_EQ(warnings.size(), 2);
    EXPECT_EQ(ctrl_->LargeStepTrackbar(), 1.0);
}

TEST_F(ScrivelCtrlTest, EqualLimitsDivideByASpanOfOne) {
    ASSERT_TRUE(ctrl_->InitAllinOneGo(5, 5, 0.25, 0.5, "", "", 5, ctrl_->font(), 2));
    EXPECT_TRUE(warnings.isEmpty());
    EXPECT_DOUBLE_EQ(ctrl_->SmallStepTrackbar(), 32767 * 0.25);
    EXPECT_EQ(ctrl_->SpinPosition(), 0);
    EXPECT_EQ(ctrl_->TrackbarPosition(), 0);
    EXPECT_EQ(ctrl_->Text(), "5");

    ClickSpin("up");
    EXPECT_EQ(ctrl_->GetScrollValue(), 5);
    Trackbar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(ctrl_->GetScrollValue(), 5);
    for (const QVariant& event : spy_->at(0)) EXPECT_TRUE(std::isfinite(event.toDouble()));
}

TEST_F(ScrivelCtrlTest, TypedValuesAreClampedToTheLimits) {
    InitStandard();
    Type("Amplitude:12 A");
    EXPECT_EQ(ctrl_->GetScrollValue(), 10);
    EXPECT_EQ(ctrl_->Text(), "Amplitude:10 A");
    ASSERT_EQ(spy_->count(), 1);
    EXPECT_EQ(LastEvent(), 10);
    EXPECT_TRUE(ctrl_->IsChangedByUser());
    EXPECT_EQ(ctrl_->SpinPosition(), 32767);

    Type("-3");
    EXPECT_EQ(ctrl_->GetScrollValue(), 0);
    ASSERT_EQ(spy_->count(), 2);
    EXPECT_EQ(LastEvent(), 0);

    Type("Amplitude:6.5 A");
    EXPECT_EQ(ctrl_->GetScrollValue(), 6.5);
    EXPECT_EQ(LastEvent(), 6.5);
    EXPECT_EQ(ctrl_->TrackbarPosition(), static_cast<int>(6.5 * 32767 / 10));
}

TEST_F(ScrivelCtrlTest, StrayCharactersOrTheSameValueChangeNothing) {
    InitStandard();
    Type("Amplitude:6x A");
    EXPECT_EQ(ctrl_->GetScrollValue(), 4);
    EXPECT_EQ(spy_->count(), 0);
    // The refused text stays until the next update shows the value again.
    EXPECT_EQ(ctrl_->Text(), "Amplitude:6x A");
    ctrl_->SetScrollValue(4);
    EXPECT_EQ(ctrl_->Text(), "Amplitude:4 A");

    Type("4");
    EXPECT_EQ(spy_->count(), 0);
}

TEST_F(ScrivelCtrlTest, LeavingTheEditBoxReadsOnlyWhatTheUserTyped) {
    ASSERT_TRUE(ctrl_->InitAllinOneGo(0, 1, 0.01, 0.1, "", "", 0.123456, ctrl_->font(), 2));
    EXPECT_EQ(ctrl_->Text(), "0.12");
    // Passing through without typing keeps the full value instead of the printed digits.
    ctrl_->OnKillfocusEdit();
    EXPECT_EQ(ctrl_->GetScrollValue(), 0.123456);
    EXPECT_EQ(spy_->count(), 0);

    ctrl_->Edit()->selectAll();
    QTest::keyClicks(ctrl_->Edit(), "0.5");
    ASSERT_FALSE(ctrl_->Edit()->hasFocus());
    ctrl_->OnKillfocusEdit();
    EXPECT_EQ(ctrl_->GetScrollValue(), 0.5);
    EXPECT_EQ(spy_->count(), 1);
}

TEST_F(ScrivelCtrlTest, FocusLossWhileTheEditBoxHoldsTheFocusOnlyClearsTheUserFlag) {
    InitStandard();
    ctrl_->show();
    ctrl_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(ctrl_.get()));
    ctrl_->Edit()->setFocus();
    ASSERT_TRUE(ctrl_->Edit()->hasFocus());
    ClickSpin("up");
    ASSERT_TRUE(ctrl_->IsChangedByUser());
    const double value = ctrl_->GetScrollValue();
    ctrl_->Edit()->selectAll();
    QTest::keyClicks(ctrl_->Edit(), "7");
    ctrl_->OnKillfocusEdit();
    EXPECT_FALSE(ctrl_->IsChangedByUser());
    EXPECT_EQ(ctrl_->GetScrollValue(), value);
}

TEST_F(ScrivelCtrlTest, DesignModeDrawsAPlaceholder) {
    ctrl_->SetUserMode(false);
    EXPECT_FALSE(ctrl_->Edit()->isVisibleTo(ctrl_.get()));
    const QImage image = ctrl_->grab().toImage();
    EXPECT_EQ(image.pixelColor(3, 3), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black));
    ctrl_->SetUserMode(true);
    EXPECT_TRUE(ctrl_->Edit()->isVisibleTo(ctrl_.get()));
}

TEST_F(ScrivelCtrlTest, SpinArrowsStepAndStopAtTheEnds) {
    ASSERT_TRUE(ctrl_->InitAllinOneGo(0, 32767, 10, 100, "", "", 0, ctrl_->font(), 6));
    ClickSpin("down");
    EXPECT_EQ(ctrl_->SpinPosition(), 0);
    EXPECT_EQ(ctrl_->GetScrollValue(), 0);

    ClickSpin("up");
    EXPECT_EQ(ctrl_->SpinPosition(), 10);
    EXPECT_EQ(ctrl_->GetScrollValue(), 10);
    EXPECT_EQ(ctrl_->TrackbarPosition(), 10);
    EXPECT_EQ(ctrl_->Text(), "10");
    EXPECT_EQ(LastEvent(), 10);

    ctrl_->SetScrollValue(32767);
    ClickSpin("up");
    EXPECT_EQ(ctrl_->SpinPosition(), 32767);
    EXPECT_EQ(ctrl_->GetScrollValue(), 32767);

    // The arrow keys in the edit box work the spin control.
    QTest::keyClick(ctrl_->Edit(), Qt::Key_Down);
    EXPECT_EQ(ctrl_->GetScrollValue(), 32757);
}

TEST_F(ScrivelCtrlTest, HoldingAnArrowAcceleratesEveryThreeSeconds) {
    InitStandard();  // small 1638, large 6553 positions
    EXPECT_EQ(ctrl_->SpinIncrementAfter(0), 1638);
    EXPECT_EQ(ctrl_->SpinIncrementAfter(2999), 1638);
    EXPECT_EQ(ctrl_->SpinIncrementAfter(3000), 2 * 1638);
    EXPECT_EQ(ctrl_->SpinIncrementAfter(6000), 4 * 1638);
    EXPECT_EQ(ctrl_->SpinIncrementAfter(9000), 6553);
    EXPECT_EQ(ctrl_->SpinIncrementAfter(12000), 2 * 6553);
    EXPECT_EQ(ctrl_->SpinIncrementAfter(15000), 4 * 6553);
    EXPECT_EQ(ctrl_->SpinIncrementAfter(600000), 4 * 6553);
}

TEST_F(ScrivelCtrlTest, NonFiniteLimitsAndValuesStayHarmless) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    ASSERT_TRUE(ctrl_->InitAllinOneGo(-1e308, 1e308, 1, 10, "", "", nan, ctrl_->font(), 2));
    EXPECT_EQ(warnings.size(), 2);  // the span overflows: no positions per step
    EXPECT_EQ(ctrl_->SpinPosition(), 0);
    ClickSpin("up");
    Trackbar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    Type("5");
    EXPECT_EQ(ctrl_->GetScrollValue(), 5);
    ctrl_->SetRange(nan, inf);
    ctrl_->SetScrollValue(inf);
    ClickSpin("down");
    Trackbar()->triggerAction(QAbstractSlider::SliderMove);
    EXPECT_GE(ctrl_->SpinPosition(), 0);
    EXPECT_LE(ctrl_->SpinPosition(), 32767);
}

TEST_F(ScrivelCtrlTest, TrackbarLineAndPageSteps) {
    InitStandard();
    QSlider* trackbar = Trackbar();
    const int start = ctrl_->TrackbarPosition();
    trackbar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(ctrl_->GetScrollValue(), 4.5);
    EXPECT_EQ(trackbar->value(), static_cast<int>(start + 32767 * 0.5 / 10));
    EXPECT_EQ(ctrl_->SpinPosition(), trackbar->value());
    EXPECT_EQ(LastEvent(), 4.5);

    trackbar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(ctrl_->GetScrollValue(), 2.5);
    trackbar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(ctrl_->GetScrollValue(), 0.5);
    // Within one step of the low limit the value snaps to it.
    trackbar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(ctrl_->GetScrollValue(), 0);
    EXPECT_EQ(trackbar->value(), 0);
    trackbar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(trackbar->value(), 0);

    ctrl_->SetScrollValue(9);
    trackbar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(ctrl_->GetScrollValue(), 10);
    EXPECT_EQ(trackbar->value(), 32767);
    EXPECT_EQ(ctrl_->SpinPosition(), 32767);
    EXPECT_EQ(ctrl_->Text(), "Amplitude:10 A");
    EXPECT_EQ(spy_->count(), 6);
}

TEST_F(ScrivelCtrlTest, TrackbarThumbMovesInWholeSmallChanges) {
    InitStandard();
    QSlider* trackbar = Trackbar();
    // Dragging the thumb: the slider reports each position as a move.
    trackbar->setSliderDown(true);
    trackbar->setSliderPosition(8192);
    EXPECT_DOUBLE_EQ(ctrl_->GetScrollValue(), 0.5 * (8192 / (32767 * 0.5 / 10)));
    EXPECT_EQ(trackbar->value(), 8192);
    EXPECT_EQ(LastEvent(), ctrl_->GetScrollValue());

    trackbar->setSliderPosition(1000);  // below one small step
    EXPECT_EQ(ctrl_->GetScrollValue(), 0);
    EXPECT_EQ(trackbar->value(), 0);
    trackbar->setSliderDown(false);

    trackbar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_DOUBLE_EQ(ctrl_->GetScrollValue(), 10);
    EXPECT_EQ(spy_->count(), 3);
}

TEST_F(ScrivelCtrlTest, IdealSizeIsTheTextPlusSpinAndButton) {
    InitStandard();
    long cx = 0, cy = 0;
    ASSERT_TRUE(ctrl_->GetIdealSize(&cx, &cy));
    const int textWidth = QFontMetrics(ctrl_->Edit()->font()).horizontalAdvance("Amplitude:4 A");
    EXPECT_EQ(cx, textWidth + CScrivelCtrl::SPIN_WIDTH + CScrivelCtrl::BUTTON_WIDTH);
    EXPECT_EQ(cy, ctrl_->height());
    EXPECT_EQ(ctrl_->height(), QFontMetrics(ctrl_->font()).height() + 5);
    EXPECT_TRUE(ctrl_->GetIdealSize(nullptr, nullptr));
}

TEST_F(ScrivelCtrlTest, LayoutLeavesTheRightColumnToTheButton) {
    ctrl_->resize(200, ctrl_->height());
    ctrl_->show();
    EXPECT_EQ(ctrl_->Button()->geometry(), QRect(185, 0, 15, ctrl_->height()));
    EXPECT_EQ(ctrl_->Edit()->geometry().right() + 1 + CScrivelCtrl::SPIN_WIDTH, 200 - 16);
}

}  // namespace
