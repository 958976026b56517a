#pragma once
/// Asking the user for a colour: the system colour dialog, replaceable where no one can answer it (tests).
#include <QColor>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace zelvor {

/// Asks for a colour starting from `current`; nullopt when the user cancels.
using ColourPicker = std::function<std::optional<QColor>(const QColor& current, QWidget* parent)>;

/// Replaces the picker the pages use; an empty one restores the system colour dialog.
void SetColourPicker(ColourPicker picker);
/// Asks with the current picker.
std::optional<QColor> PickColour(const QColor& current, QWidget* parent);

/// A colour of the settings record (components 0..1) as the picker shows it (components x 255).
QColor ColourFromComponents(double r, double g, double b);

}  // namespace zelvor
