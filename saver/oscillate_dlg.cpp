#include "saver/oscillate_dlg.h"

#include <QVBoxLayout>

#include "saver/animate_dlg.h"
#include "saver/oscillation_table.h"
#include "scrivel/scrivel_interface.h"

namespace zelvor {

namespace {
constexpr int kScrollerIds[] = {COscillateDlg::IDC_SINAMPL, COscillateDlg::IDC_SINFREQ, COscillateDlg::IDC_PHASE};
}  // namespace

COscillateDlg::COscillateDlg(CAnimateDlg* parent, const QString& caption) : QDialog(parent), owner_(parent) {
    setObjectName(QString::number(IDD));
    setWindowTitle(caption);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    const char* const handlers[SCROLLERS] = {SLOT(OnNewValueSinampl(double)), SLOT(OnNewValueSinfreq(double)),
                                             SLOT(OnNewValuePhase(double))};
    for (int i = 0; i < SCROLLERS; ++i) {
        scrollers_[i] = CreateScrivel(this, kScrollerIds[i]);
        if (!scrollers_[i]) continue;
        layout->addWidget(scrollers_[i]);
        QObject::connect(scrollers_[i], SIGNAL(NewValue(double)), this, handlers[i]);
    }
}

void COscillateDlg::InitScrivels(const ScrollerGroup& amplitude, const QString& amplitudeUnit,
                                 const ScrollerGroup& frequency, const ScrollerGroup& phase) {
    const ScrollerGroup* groups[SCROLLERS] = {&amplitude, &frequency, &phase};
    const QString units[SCROLLERS] = {amplitudeUnit, QString::fromLatin1(OscillationCommon::FREQUENCY_UNIT),
                                      QString::fromLatin1(OscillationCommon::PHASE_UNIT_LATIN1)};
    for (int i = 0; i < SCROLLERS; ++i) {
        const ScrollerGroup& g = *groups[i];
        setup_[i] = InitScrivel(scrollers_[i], g.minimum, g.maximum, g.smallChange, g.largeChange, g.description,
                                units[i], g.precision, g.value);
    }
    adjustSize();
}

void COscillateDlg::UpdateUI() {
    for (int i = 0; i < SCROLLERS; ++i) {
        IScrivel* control = qobject_cast<IScrivel*>(scrollers_[i]);
        if (control && setup_[i].value) control->SetScrollValue(*setup_[i].value);
    }
}

int COscillateDlg::IndexOf(int controlId) {
    for (int i = 0; i < SCROLLERS; ++i)
        if (kScrollerIds[i] == controlId) return i;
    return -1;
}

QWidget* COscillateDlg::Scroller(int controlId) const {
    const int i = IndexOf(controlId);
    return i < 0 ? nullptr : scrollers_[i];
}

const MetaData& COscillateDlg::Setup(int controlId) const {
    static const MetaData none;
    const int i = IndexOf(controlId);
    return i < 0 ? none : setup_[i];
}

void COscillateDlg::Store(int index, double value) {
    if (setup_[index].value) *setup_[index].value = value;
    if (owner_) owner_->SetCustomSettings();
}

void COscillateDlg::OnNewValueSinampl(double value) { Store(AMPLITUDE, value); }
void COscillateDlg::OnNewValueSinfreq(double value) { Store(FREQUENCY, value); }
void COscillateDlg::OnNewValuePhase(double value) { Store(PHASE, value); }

}  // namespace zelvor
