#pragma once
/// CPlainScroller: what a dialog shows in place of the slider-scroller control when the control's library
/// cannot be loaded: description, a spin box and the unit, with the same interface and NewValue event.
#include <QString>
#include <QWidget>

#include "scrivel/scrivel_interface.h"

class QDoubleSpinBox;
class QLabel;

namespace zelvor {

class CPlainScroller : public QWidget, public IScrivel {
    Q_OBJECT
    Q_INTERFACES(IScrivel)

public:
    explicit CPlainScroller(QWidget* parent = nullptr);

    QString GetDescription() const override;
    void SetDescription(const QString& description) override;
    QString GetUnitDescription() const override;
    void SetUnitDescription(const QString& unitDescription) override;
    double GetLargeChange() const override { return largeChange_; }
    void SetLargeChange(double largeChange) override { largeChange_ = largeChange; }
    double GetSmallChange() const override;
    void SetSmallChange(double smallChange) override;
    double GetScrollValue() const override;
    /// Kept within the range; fires no NewValue.
    void SetScrollValue(double value) override;
    void SetRange(double dLowLimit, double dHighLimit) override;
    /// Decimals of the spin box.
    void SetPrecision(short digits) override;
    bool GetIdealSize(long* pcx, long* pcy) override;
    bool InitAllinOneGo(double min, double max, double minstep, double maxstep, const QString& description,
                        const QString& unitDescription, double value, const QFont& font, short precision) override;

signals:
    /// The user changed the value (never fired by the setters above).
    void NewValue(double dval);

private:
    QLabel* description_;
    QDoubleSpinBox* spin_;
    QLabel* unit_;
    double largeChange_ = 0.0;
    bool setting_ = false;
};

}  // namespace zelvor
