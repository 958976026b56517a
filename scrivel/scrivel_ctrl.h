#pragma once
/// CScrivelCtrl: edits one floating-point value within a range through an edit box, a spin control and a
/// drop-down trackbar.
#include <QFont>
#include <QLineEdit>
#include <QString>
#include <QToolButton>
#include <QWidget>
#include <atomic>

#include "scrivel/scrivel_interface.h"

namespace scrivel {
class CScrivelSpin;
class CScrivelPopup;
}  // namespace scrivel

#if defined(SCRIVEL_BUILDING)
#define SCRIVEL_EXPORT Q_DECL_EXPORT
#else
#define SCRIVEL_EXPORT Q_DECL_IMPORT
#endif

/// The slider-scroller control. Until SetRange or InitAllinOneGo it shows nothing and ignores input; every
/// change the user makes afterwards fires NewValue.
class SCRIVEL_EXPORT CScrivelCtrl : public QWidget, public IScrivel {
    Q_OBJECT
    Q_INTERFACES(IScrivel)
    Q_PROPERTY(QString Description READ GetDescription WRITE SetDescription)
    Q_PROPERTY(QString UnitDescription READ GetUnitDescription WRITE SetUnitDescription)
    Q_PROPERTY(double LargeChange READ GetLargeChange WRITE SetLargeChange)
    Q_PROPERTY(double SmallChange READ GetSmallChange WRITE SetSmallChange)
    Q_PROPERTY(double ScrollValue READ GetScrollValue WRITE SetScrollValue)
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)

public:
    /// Child ids of the edit box, the spin control and the button.
    static constexpr int IDC_EDIT = 102;
    static constexpr int IDC_SPIN = 103;
    static constexpr int IDC_BUTTON = 104;
    /// Widths of the button's column and of the spin control, in pixels.
    static constexpr int BUTTON_COLUMN_WIDTH = 16;
    static constexpr int BUTTON_WIDTH = 15;
    static constexpr int SPIN_WIDTH = 16;
    static constexpr unsigned DEFAULT_POSITIONS = 32767;

    /// Where warnings go; the default shows a message box.
    using WarningPresenter = void (*)(QWidget* control, const QString& text);
    /// Replaces the presenter and returns the previous one (null restores the message box).
    static WarningPresenter SetWarningPresenter(WarningPresenter presenter);

    explicit CScrivelCtrl(QWidget* parent = nullptr);
    ~CScrivelCtrl() override;

    /// Number of controls alive in this process.
    static int LiveCount() { return liveCount_.load(); }

    QString GetDescription() const override { return m_strDescription; }
    void SetDescription(const QString& description) override;
    QString GetUnitDescription() const override { return m_strUnitDescription; }
    void SetUnitDescription(const QString& unitDescription) override;
    double GetLargeChange() const override { return m_dLargeChange; }
    void SetLargeChange(double largeChange) override;
    double GetSmallChange() const override { return m_dSmallChange; }
    void SetSmallChange(double smallChange) override;
    double GetScrollValue() const override { return m_dValue; }
    void SetScrollValue(double value) override;

    Q_INVOKABLE void SetRange(double dLowLimit, double dHighLimit) override;
    Q_INVOKABLE void SetPrecision(short digits) override;
    bool GetIdealSize(long* pcx, long* pcy) override;
    bool InitAllinOneGo(double min, double max, double minstep, double maxstep, const QString& description,
                        const QString& unitDescription, double value, const QFont& font, short precision) override;

    /// Handlers of the user's actions, also reachable directly.
    /// The spin control asks to move by change positions.
    void OnDeltaposSpin(int change);
    /// A trackbar action (QAbstractSlider::SliderAction) with the thumb at position t for moves.
    void OnTrackbarScroll(int action, int t);
    /// Enter in the edit box: reads the typed value.
    void OnEditEnter();
    /// The edit box lost the focus: reads the typed value unless it has the focus again.
    void OnKillfocusEdit();
    /// Drops the popup below the control with the thumb under globalMouse and passes a press on to the trackbar.
    void DropPopup(const QPoint& globalMouse);

    /// State for tests and hosts.
    double LowLimit() const { return m_dLowLimit; }
    double HighLimit() const { return m_dHighLimit; }
    short Precision() const { return m_nPrecision; }
    bool IsRangeSet() const { return m_bRangeSet; }
    bool IsChangedByUser() const { return m_bChangedByUser; }
    int SpinPosition() const;
    int TrackbarPosition() const;
    double SmallStepTrackbar() const { return m_dSmallStepTrack; }
    double LargeStepTrackbar() const { return m_dLargeStepTrack; }
    int SpinSmallStep() const { return m_nSpinSmallStep; }
    /// The spin control's increment once an arrow has been held for elapsedMs milliseconds.
    int SpinIncrementAfter(qint64 elapsedMs) const;
    int SpinLargeStep() const { return m_nSpinLargeStep; }
    QString Text() const { return m_edit->text(); }
    QLineEdit* Edit() const { return m_edit; }
    QToolButton* Button() const { return m_button; }
    QWidget* Popup() const;

    /// Design mode draws a placeholder instead of the children (hosts that lay out forms).
    void SetUserMode(bool userMode);
    bool UserMode() const { return m_bUserMode; }

    QSize sizeHint() const override;

signals:
    /// The user changed the value through the spin control, the trackbar or the edit box.
    void NewValue(double dval);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void RecalcSteps();
    void UpdateText(bool byUser);
    void UpdateDisplay(bool byUser);
    void ReadTypedInput();
    void SetTrackbarPosition(int position);
    void SetSpinPosition(int position);
    void Warn(const QString& text);
    void ClosePopup();
    int TextHeight() const;

    static std::atomic<int> liveCount_;

    double m_dLowLimit = 0;
    double m_dHighLimit = 0;
    double m_dValue = 0;
    double m_dSmallChange = 1.0;
    double m_dLargeChange = 1.0;
    short m_nPrecision = 2;
    QString m_strDescription;
    QString m_strUnitDescription;
    bool m_bRangeSet = false;
    bool m_bChangedByUser = false;
    bool m_bUserMode = true;
    unsigned m_nTrackbarPositions = DEFAULT_POSITIONS;
    unsigned m_nSpinPositions = DEFAULT_POSITIONS;
    double m_dSmallStepTrack = 1.0;
    double m_dLargeStepTrack = 1.0;
    int m_nSpinSmallStep = 1;
    int m_nSpinLargeStep = 1;

    QLineEdit* m_edit;
    scrivel::CScrivelSpin* m_spin;
    QToolButton* m_button;
    scrivel::CScrivelPopup* m_popup;
};
