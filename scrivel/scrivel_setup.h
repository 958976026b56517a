#pragma once
/// Creating slider-scroller controls by class id and setting them up the way every dialog of the program does.
#include <QFont>
#include <QString>

class QWidget;

namespace zelvor {

/// The settings InitScrivel gave one control.
struct MetaData {
    double minimum = 0.0;
    double maximum = 0.0;
    double smallChange = 0.0;
    double largeChange = 0.0;
    QString description;
    QString unit;
    short precision = 2;
    /// The edited field; the control shows its value.
    double* value = nullptr;
    QFont font;
};

/// A new Scrivel control as a child of parent, its objectName the decimal control id. When the control's
/// library is not registered or cannot create it, a CPlainScroller (same interface and event) instead.
QWidget* CreateScrivel(QWidget* parent, int controlId);

/// Sets up one control in this order: range, small change, large change, description, precision, current
/// value (read from *value), unit. A null scroller (or one without the control's interface) is left alone;
/// the record of the settings is returned either way.
MetaData InitScrivel(QWidget* scroller, double minimum, double maximum, double smallChange, double largeChange,
                     const QString& description, const QString& unit, short precision, double* value);

}  // namespace zelvor
