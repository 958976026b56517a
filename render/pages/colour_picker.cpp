#include "render/pages/colour_picker.h"

#include <QColorDialog>
#include <algorithm>
#include <cmath>

namespace zelvor {

namespace {

ColourPicker& Picker() {
    static ColourPicker picker;
    return picker;
}

int Component(double c) {
    // A stored record may hold anything: NaN and values beyond 0..1 still give a valid colour.
    if (!std::isfinite(c)) return 0;
    return static_cast<int>(std::lround(std::clamp(c, 0.0, 1.0) * 255.0));
}

}  // namespace

void SetColourPicker(ColourPicker picker) { Picker() = std::move(picker); }

std::optional<QColor> PickColour(const QColor& current, QWidget* parent) {
    if (Picker()) return Picker()(current, parent);
    const QColor chosen = QColorDialog::getColor(current, parent);
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
}

QColor ColourFromComponents(double r, double g, double b) { return QColor(Component(r), Component(g), Component(b)); }

}  // namespace zelvor
