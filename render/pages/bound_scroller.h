#pragma once
/// CBoundScroller: one slider-scroller of a display page (or the plain stand-in when the control's library is
/// missing), with its setup, passing on the user's changes only after keeping them within the range.
#include <QObject>
#include <QString>

#include "render/pages/page_link.h"

class QWidget;

namespace zelvor {

class C3DViewSettings;

/// Range, steps, texts and decimals of one slider-scroller, as InitScrivel takes them.
struct ScrollerSetup {
    double minimum = 0.0, maximum = 0.0, smallChange = 0.0, largeChange = 0.0;
    QString description, unit;
    short precision = 2;
    bool operator==(const ScrollerSetup&) const = default;
};

class CBoundScroller : public QObject {
    Q_OBJECT

public:
    /// Creates the control as a child of `parent`, its objectName the decimal `controlId`.
    CBoundScroller(QWidget* parent, int controlId);

    /// The control's widget (to lay out and enable).
    QWidget* Widget() const { return widget_; }
    /// Sets the control up and shows `value`; a setup equal to the current one only shows the value.
    void Setup(const ScrollerSetup& setup, double value);
    /// Shows `value`; fires nothing.
    void Show(double value);
    /// The setup given last.
    const ScrollerSetup& Current() const { return setup_; }
    /// `value` kept within the range; a value that is not a number becomes the minimum.
    double Clamp(double value) const;

signals:
    /// The user changed the value, already kept within the range.
    void Changed(double value);

private slots:
    void OnNewValue(double value);

private:
    QWidget* widget_;
    ScrollerSetup setup_;
    bool setUp_ = false;
};

/// Where a scroller's value lives in the view settings record.
using SettingsField = double& (*)(C3DViewSettings&);

/// A scroller whose (clamped) changes are written to `field` of the view's settings through `link`, with
/// `effects`; `link` must outlive the scroller (both belong to the same page).
CBoundScroller* BindScroller(QWidget* parent, int controlId, const CPageLink& link, SettingsField field,
                             const ChangeEffects& effects);

}  // namespace zelvor
