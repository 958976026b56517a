#include "scrivel/scrivel_values.h"

#include <algorithm>
#include <cmath>
#include <locale>
#include <sstream>

namespace scrivel {

double Span(double low, double high) { return low == high ? 1.0 : high - low; }

std::string FormatValue(double value, short precision) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(precision);
    out << value;
    std::istringstream words(out.str());
    std::string first;
    words >> first;
    return first;
}

std::optional<double> ParseTypedText(const QString& text, const QString& description, const QString& unit) {
    QString number = text;
    if (number.startsWith(description)) {
        number.remove(0, description.size());
        if (!unit.isEmpty() && number.endsWith(unit)) number.chop(unit.size());
    }
    std::istringstream in(number.toStdString());
    in.imbue(std::locale::classic());
    double value = 0;
    in >> value;
    // A failed read also covers numbers beyond the range of a double.
    if (in.fail()) return std::nullopt;
    if (in.peek() != std::char_traits<char>::eof()) return std::nullopt;
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

int TruncateToPosition(double x, int limit) {
    if (!(x > 0)) return 0;
    if (x >= limit) return limit;
    return static_cast<int>(x);
}

std::optional<double> TrackbarStep(unsigned positions, double change, double span) {
    const double step = positions * change / span;
    if (!(step > 0)) return std::nullopt;
    return std::min(step, static_cast<double>(positions));
}

int SpinStep(unsigned positions, double change, double span) {
    const double step = std::round(positions * change / span);
    if (!(step >= 1)) return 1;
    if (step >= positions) return positions > 0 ? static_cast<int>(positions) : 1;
    return static_cast<int>(step);
}

int PopupLeft(int mouseX, int trackbarPosition, int trackbarClientWidth, int trackbarRange) {
    const std::int64_t offset =
        trackbarRange > 0
            ? static_cast<std::int64_t>(trackbarPosition) * (trackbarClientWidth - 22) / trackbarRange
            : 0;
    return static_cast<int>(mouseX - offset - 13);
}

}  // namespace scrivel
