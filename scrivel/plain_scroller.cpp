#include "scrivel/plain_scroller.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <algorithm>

namespace zelvor {

CPlainScroller::CPlainScroller(QWidget* parent)
    : QWidget(parent), description_(new QLabel(this)), spin_(new QDoubleSpinBox(this)), unit_(new QLabel(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(description_);
    layout->addWidget(spin_, 1);
    layout->addWidget(unit_);
    spin_->setKeyboardTracking(false);
    connect(spin_, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        if (!setting_) emit NewValue(value);
    });
}

QString CPlainScroller::GetDescription() const { return description_->text(); }
void CPlainScroller::SetDescription(const QString& description) { description_->setText(description); }
QString CPlainScroller::GetUnitDescription() const { return unit_->text(); }
void CPlainScroller::SetUnitDescription(const QString& unitDescription) { unit_->setText(unitDescription); }
double CPlainScroller::GetSmallChange() const { return spin_->singleStep(); }
void CPlainScroller::SetSmallChange(double smallChange) { spin_->setSingleStep(smallChange); }
double CPlainScroller::GetScrollValue() const { return spin_->value(); }

void CPlainScroller::SetScrollValue(double value) {
    setting_ = true;
    spin_->setValue(value);
    setting_ = false;
}

void CPlainScroller::SetRange(double dLowLimit, double dHighLimit) {
    setting_ = true;
    spin_->setRange(std::min(dLowLimit, dHighLimit), std::max(dLowLimit, dHighLimit));
    setting_ = false;
}

void CPlainScroller::SetPrecision(short digits) {
    setting_ = true;
    spin_->setDecimals(std::clamp<int>(digits, 0, 10));
    setting_ = false;
}

bool CPlainScroller::GetIdealSize(long* pcx, long* pcy) {
    const QSize size = sizeHint();
    if (pcx) *pcx = size.width();
    if (pcy) *pcy = size.height();
    return true;
}

bool CPlainScroller::InitAllinOneGo(double min, double max, double minstep, double maxstep,
                                    const QString& description, const QString& unitDescription, double value,
                                    const QFont& font, short precision) {
    setFont(font);
    SetRange(min, max);
    SetSmallChange(minstep);
    SetLargeChange(maxstep);
    SetDescription(description);
    SetUnitDescription(unitDescription);
    SetPrecision(precision);
    SetScrollValue(value);
    return true;
}

}  // namespace zelvor
