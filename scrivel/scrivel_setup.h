#pragma once
/// Creating slider-scroller controls by class id and setting them up the way every dialog of the program does.
#include <QString>

#include "scrivel/meta_data.h"

class QWidget;

namespace zelvor {

/// A new Scrivel control as a child of parent, its objectName the decimal control id. When the control's
/// library is not registered or cannot create it, a CPlainScroller (same interface and event) instead.
QWidget* CreateScrivel(QWidget* parent, int controlId);

/// Sets up one control in this order: range, small change, large change, description, precision, current
/// value (read from *value), unit. A null scroller (or one without the control's interface) is left alone;
/// the record of the settings is returned either way.
MetaData InitScrivel(QWidget* scroller, double minimum, double maximum, double smallChange, double largeChange,
                     const QString& description, const QString& unit, short precision, double* value);

}  // namespace zelvor
