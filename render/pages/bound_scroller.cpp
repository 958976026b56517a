#include "render/pages/bound_scroller.h"

#include <QWidget>

#include "render/view_settings.h"
#include "scrivel/scrivel_interface.h"
#include "scrivel/scrivel_setup.h"

namespace zelvor {

CBoundScroller::CBoundScroller(QWidget* parent, int controlId)
    : QObject(parent), widget_(CreateScrivel(parent, controlId)) {
    QObject::connect(widget_, SIGNAL(NewValue(double)), this, SLOT(OnNewValue(double)));
}

void CBoundScroller::Setup(const ScrollerSetup& setup, double value) {
    if (setUp_ && setup == setup_) {
        Show(value);
        return;
    }
    setup_ = setup;
    setUp_ = true;
    InitScrivel(widget_, setup.minimum, setup.maximum, setup.smallChange, setup.largeChange, setup.description,
                setup.unit, setup.precision, &value);
}

void CBoundScroller::Show(double value) {
    if (IScrivel* control = qobject_cast<IScrivel*>(widget_)) control->SetScrollValue(value);
}

double CBoundScroller::Clamp(double value) const {
    if (!(value >= setup_.minimum)) return setup_.minimum;
    return value > setup_.maximum ? setup_.maximum : value;
}

void CBoundScroller::OnNewValue(double value) {
    // The control keeps its own range, but whatever it reports reaches the settings record only within ours:
    // a control of another build, or one set up before the range changed, must not push a field out of range.
    if (!setUp_) return;
    emit Changed(Clamp(value));
}

CBoundScroller* BindScroller(QWidget* parent, int controlId, const CPageLink& link, SettingsField field,
                             const ChangeEffects& effects) {
    auto* scroller = new CBoundScroller(parent, controlId);
    QObject::connect(scroller, &CBoundScroller::Changed, scroller, [&link, field, effects](double value) {
        link.Apply([&](C3DViewSettings& s) { field(s) = value; }, effects);
    });
    return scroller;
}

}  // namespace zelvor
