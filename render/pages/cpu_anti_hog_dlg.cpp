#include "render/pages/cpu_anti_hog_dlg.h"

#include <QFormLayout>
#include <QLineEdit>
#include <algorithm>
#include <climits>

#include "app/app_settings.h"

namespace zelvor {

namespace {

constexpr int kIds[] = {CCPUAntiHogDlg::IDC_MINCPU, CCPUAntiHogDlg::IDC_MAXCPU, CCPUAntiHogDlg::IDC_PASSES};
const char* const kLabels[] = {"Minimum processor usage in %:", "Maximum processor usage in %:",
                               "Maximum number of adjustment passes:"};

CCPUAntiHogDlg::Limits Normalised(CCPUAntiHogDlg::Limits l) {
    l.maximum = std::clamp(l.maximum, 0, 100);
    l.minimum = std::clamp(l.minimum, 0, l.maximum);
    l.passes = std::max(l.passes, 1);
    return l;
}

}  // namespace

CCPUAntiHogDlg::Limits CCPUAntiHogDlg::TypedLimits(Limits current, Field field, const QString& text) {
    Limits l = Normalised(current);
    bool ok = false;
    const long long typed = text.trimmed().toLongLong(&ok);
    if (!ok) return l;
    switch (field) {
        case Field::MINIMUM: l.minimum = static_cast<int>(std::clamp<long long>(typed, 0, l.maximum)); break;
        case Field::MAXIMUM: l.maximum = static_cast<int>(std::clamp<long long>(typed, l.minimum, 100)); break;
        case Field::PASSES: l.passes = static_cast<int>(std::clamp<long long>(typed, 1, INT_MAX)); break;
    }
    return l;
}

CCPUAntiHogDlg::CCPUAntiHogDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(IDD));
    setWindowTitle(QString::fromLatin1(CAPTION));
    setModal(false);
    auto* layout = new QFormLayout(this);
    for (int i = 0; i < 3; ++i) {
        const Field field = static_cast<Field>(i);
        edits_[i] = new QLineEdit(this);
        edits_[i]->setObjectName(QString::number(kIds[i]));
        // textEdited: the user's typing only, not the fields being filled from the settings.
        connect(edits_[i], &QLineEdit::textEdited, this, [this, field] { OnEdited(field, false); });
        connect(edits_[i], &QLineEdit::editingFinished, this, [this, field] { OnEdited(field, true); });
        layout->addRow(QString::fromLatin1(kLabels[i]), edits_[i]);
    }
    UpdateDisplayValues();
}

void CCPUAntiHogDlg::SetAppSettings(CAppSettings* settings) {
    settings_ = settings;
    UpdateDisplayValues();
}

QLineEdit* CCPUAntiHogDlg::Edit(Field field) const { return edits_[static_cast<int>(field)]; }

void CCPUAntiHogDlg::UpdateDisplayValues() {
    if (!settings_) {
        for (QLineEdit* edit : edits_) edit->clear();
        return;
    }
    Edit(Field::MINIMUM)->setText(QString::number(settings_->minCPUUsage));
    Edit(Field::MAXIMUM)->setText(QString::number(settings_->maxCPUUsage));
    Edit(Field::PASSES)->setText(QString::number(settings_->maxGovernorIterations));
}

void CCPUAntiHogDlg::OnEdited(Field field, bool show) {
    if (!settings_) return;
    const Limits typed = TypedLimits({settings_->minCPUUsage, settings_->maxCPUUsage, settings_->maxGovernorIterations},
                                     field, Edit(field)->text());
    settings_->minCPUUsage = typed.minimum;
    settings_->maxCPUUsage = typed.maximum;
    settings_->maxGovernorIterations = typed.passes;
    // While typing the field keeps what the user has typed so far ("1" on the way to "15"); once the focus
    // leaves every field shows what holds.
    if (show) UpdateDisplayValues();
}

}  // namespace zelvor
