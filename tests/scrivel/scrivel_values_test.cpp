#include "scrivel/scrivel_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace scrivel;

TEST(ScrivelValues, EqualLimitsGiveASpanOfOne) {
    EXPECT_EQ(Span(5.0, 5.0), 1.0);
    EXPECT_EQ(Span(-1.0, 3.0), 4.0);
}

TEST(ScrivelValues, FormatPrintsSignificantDigitsLikeTheStreamDefault) {
    EXPECT_EQ(FormatValue(3.14159, 2), "3.1");
    EXPECT_EQ(FormatValue(3.14159, 4), "3.142");
    EXPECT_EQ(FormatValue(2.0, 3), "2");
    EXPECT_EQ(FormatValue(1234567.0, 3), "1.23e+06");
    EXPECT_EQ(FormatValue(-0.000123, 2), "-0.00012");
    // Precision 0 prints one digit, as the stream does.
    EXPECT_EQ(FormatValue(47.0, 0), "5e+01");
}

TEST(ScrivelValues, TypedTextDropsDescriptionAndUnit) {
    EXPECT_EQ(ParseTypedText("Amplitude: 2.5 A", "Amplitude:", " A"), 2.5);
    EXPECT_EQ(ParseTypedText("Amplitude:-1e2", "Amplitude:", " A"), -100.0);
    // Without the description the whole text is the number.
    EXPECT_EQ(ParseTypedText(" 7", "Amplitude:", " A"), 7.0);
    // The unit is only removed where it is.
    EXPECT_EQ(ParseTypedText("Amplitude:3", "Amplitude:", " A"), 3.0);
}

TEST(ScrivelValues, TypedTextWithAnythingBesidesTheNumberIsRefused) {
    EXPECT_FALSE(ParseTypedText("3.5x", "", ""));
    EXPECT_FALSE(ParseTypedText("3.5 ", "", ""));
    EXPECT_FALSE(ParseTypedText("d = 3 Hz", "d = ", " °"));
    EXPECT_FALSE(ParseTypedText("", "", ""));
    EXPECT_FALSE(ParseTypedText("Amplitude:", "Amplitude:", ""));
    EXPECT_FALSE(ParseTypedText("abc", "", ""));
    EXPECT_FALSE(ParseTypedText("1e999", "", ""));
    EXPECT_FALSE(ParseTypedText("nan", "", ""));
    EXPECT_FALSE(ParseTypedText("0x10", "", ""));
}

TEST(ScrivelValues, PositionsAreBoundedWhateverTheDoubleHolds) {
    EXPECT_EQ(TruncateToPosition(12.9, 100), 12);
    EXPECT_EQ(TruncateToPosition(-3.0, 100), 0);
    EXPECT_EQ(TruncateToPosition(1e300, 100), 100);
    EXPECT_EQ(TruncateToPosition(std::numeric_limits<double>::quiet_NaN(), 100), 0);
    EXPECT_EQ(TruncateToPosition(std::numeric_limits<double>::infinity(), 100), 100);
}

TEST(ScrivelValues, StepsInPositions) {
    EXPECT_DOUBLE_EQ(*TrackbarStep(32767, 0.5, 10.0), 1638.35);
    EXPECT_FALSE(TrackbarStep(32767, 0.0, 10.0));
    EXPECT_FALSE(TrackbarStep(32767, 1.0, -10.0));
    EXPECT_FALSE(TrackbarStep(32767, std::numeric_limits<double>::quiet_NaN(), 1.0));
    EXPECT_EQ(*TrackbarStep(32767, 1.0, 1e-300), 32767.0);

    EXPECT_EQ(SpinStep(32767, 0.5, 10.0), 1638);
    EXPECT_EQ(SpinStep(32767, 1e-9, 10.0), 1);  // rounds to 0
    EXPECT_EQ(SpinStep(32767, -1.0, 10.0), 1);
    EXPECT_EQ(SpinStep(32767, 1.0, 1e-300), 32767);
    EXPECT_EQ(SpinStep(32767, std::numeric_limits<double>::quiet_NaN(), 1.0), 1);
}

TEST(ScrivelValues, PopupPutsTheThumbUnderTheMouse) {
    // Thumb at the middle of a 222-pixel trackbar: offset 100, then the fixed 13.
    EXPECT_EQ(PopupLeft(500, 50, 222, 100), 500 - 100 - 13);
    EXPECT_EQ(PopupLeft(500, 0, 222, 100), 487);
    EXPECT_EQ(PopupLeft(500, 32767, 122, 32767), 500 - 100 - 13);
    EXPECT_EQ(PopupLeft(500, 5, 122, 0), 487);
}
