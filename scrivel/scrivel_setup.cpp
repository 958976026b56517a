#include "scrivel/scrivel_setup.h"

#include <QWidget>

#include "platform/component.h"
#include "scrivel/plain_scroller.h"
#include "scrivel/scrivel_ids.h"
#include "scrivel/scrivel_interface.h"

namespace zelvor {

QWidget* CreateScrivel(QWidget* parent, int controlId) {
    QWidget* control = CreateComponent(scrivel::SCRIVEL_CLASS_ID, parent);
    // Without the control's library the dialogs still work, with a plain spin box.
    if (!control) control = new CPlainScroller(parent);
    control->setObjectName(QString::number(controlId));
    return control;
}

MetaData InitScrivel(QWidget* scroller, double minimum, double maximum, double smallChange, double largeChange,
                     const QString& description, const QString& unit, short precision, double* value) {
    MetaData record;
    record.minimum = minimum;
    record.maximum = maximum;
    record.smallChange = smallChange;
    record.largeChange = largeChange;
    record.description = description.toStdString();
    record.unitDescription = unit.toStdString();
    record.precision = precision;
    record.value = value;
    IScrivel* control = qobject_cast<IScrivel*>(scroller);
    if (!control) return record;
    record.fontFamily = scroller->font().family().toStdString();
    record.fontPointSize = scroller->font().pointSizeF();
    control->SetRange(minimum, maximum);
    control->SetSmallChange(smallChange);
    control->SetLargeChange(largeChange);
    control->SetDescription(description);
    control->SetPrecision(precision);
    control->SetScrollValue(value ? *value : minimum);
    control->SetUnitDescription(unit);
    return record;
}

}  // namespace zelvor
