#pragma once
/// IScrivel: the control's dispatch interface as programs see it. A program that created the control by class
/// id reaches it with qobject_cast<IScrivel*>(widget) and listens to the event with
/// QObject::connect(widget, SIGNAL(NewValue(double)), receiver, SLOT(...)).
#include <QFont>
#include <QObject>
#include <QString>

/// Properties and methods of the Scrivel control. Changes made through them fire no NewValue.
class IScrivel {
public:
    virtual ~IScrivel() = default;

    virtual QString GetDescription() const = 0;
    /// Text printed before the value; redraws the text.
    virtual void SetDescription(const QString& description) = 0;
    virtual QString GetUnitDescription() const = 0;
    /// Text printed after the value; redraws the text.
    virtual void SetUnitDescription(const QString& unitDescription) = 0;
    virtual double GetLargeChange() const = 0;
    /// Page step of the trackbar; a different value recomputes the steps once a range is set.
    virtual void SetLargeChange(double largeChange) = 0;
    virtual double GetSmallChange() const = 0;
    /// Step of the spin control and line step of the trackbar.
    virtual void SetSmallChange(double smallChange) = 0;
    virtual double GetScrollValue() const = 0;
    /// Moves spin and trackbar and redraws the text.
    virtual void SetScrollValue(double value) = 0;

    /// Sets both limits, marks the range set and recomputes the steps.
    virtual void SetRange(double dLowLimit, double dHighLimit) = 0;
    /// Significant digits of the printed value, from the next text update on.
    virtual void SetPrecision(short digits) = 0;
    /// Width the current text needs plus spin and button, and the control's height; false before a range is set.
    virtual bool GetIdealSize(long* pcx, long* pcy) = 0;
    /// Sets everything at once and redraws; returns true.
    virtual bool InitAllinOneGo(double min, double max, double minstep, double maxstep, const QString& description,
                                const QString& unitDescription, double value, const QFont& font,
                                short precision) = 0;
};

#define IScrivel_iid "{5D0E2C1A-3B7F-4C5E-9A61-0F2B8D4E7C13}"
Q_DECLARE_INTERFACE(IScrivel, IScrivel_iid)
