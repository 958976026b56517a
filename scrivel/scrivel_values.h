#pragma once
/// The arithmetic of the Scrivel control, kept apart from its widgets: printing, reading typed text, steps
/// and positions. Every conversion to a position is bounded, whatever the doubles hold.
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

namespace scrivel {

/// high - low, or 1.0 when the limits are equal (so nothing divides by zero).
double Span(double low, double high);

/// The value as the stream's default format prints it at precision significant digits, first word only.
std::string FormatValue(double value, short precision);

/// The number in text typed into the edit box. When text begins with description, the description is dropped
/// from its start and unit from its end (when it ends with it). nullopt when no number can be read, when
/// anything follows it, or when it does not fit a double.
std::optional<double> ParseTypedText(const QString& text, const QString& description, const QString& unit);

/// x truncated toward zero, then bounded to 0..limit; NaN gives 0.
int TruncateToPosition(double x, int limit);

/// Trackbar step in positions: positions * change / span, at most positions; nullopt when it is not
/// greater than 0 (the caller warns and uses one position).
std::optional<double> TrackbarStep(unsigned positions, double change, double span);

/// Spin step in positions: positions * change / span rounded, at least 1 and at most positions.
int SpinStep(unsigned positions, double change, double span);

/// Left edge of the popup that puts the trackbar thumb under the mouse: mouseX minus the thumb's offset
/// (trackbarPosition * (trackbarClientWidth - 22) / trackbarRange) minus 13.
int PopupLeft(int mouseX, int trackbarPosition, int trackbarClientWidth, int trackbarRange);

}  // namespace scrivel
