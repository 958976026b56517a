#include "scrivel/scrivel_ctrl.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <algorithm>

#include "scrivel/scrivel_popup.h"
#include "scrivel/scrivel_spin.h"
#include "scrivel/scrivel_values.h"

using scrivel::CScrivelPopup;
using scrivel::CScrivelSpin;

namespace {

void ShowWarningBox(QWidget* control, const QString& text) {
    QMessageBox::warning(control, QApplication::applicationName(), text);
}

std::atomic<CScrivelCtrl::WarningPresenter> warningPresenter{&ShowWarningBox};

constexpr int POPUP_MIN_WIDTH = 120;

/// The edit box shows its text without a caret: the value is edited as a whole, not by cursor position.
class HiddenCaretStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_TextCursorWidth) return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

}  // namespace

std::atomic<int> CScrivelCtrl::liveCount_{0};

CScrivelCtrl::WarningPresenter CScrivelCtrl::SetWarningPresenter(WarningPresenter presenter) {
    return warningPresenter.exchange(presenter ? presenter : &ShowWarningBox);
}

CScrivelCtrl::CScrivelCtrl(QWidget* parent)
    : QWidget(parent),
      m_edit(new QLineEdit(this)),
      m_spin(new CScrivelSpin(this)),
      m_button(new QToolButton(this)),
      m_popup(new CScrivelPopup(this, static_cast<int>(m_nTrackbarPositions))) {
    ++liveCount_;
    m_edit->setObjectName("edit");
    m_edit->setProperty("controlId", IDC_EDIT);
    auto* caretStyle = new HiddenCaretStyle;
    caretStyle->setParent(m_edit);  // deleted with the edit box, after it stopped using it
    m_edit->setStyle(caretStyle);
    m_spin->setObjectName("spin");
    m_spin->setProperty("controlId", IDC_SPIN);
    m_spin->SetRange(static_cast<int>(m_nSpinPositions));
    m_button->setObjectName("button");
    m_button->setProperty("controlId", IDC_BUTTON);
    m_button->setArrowType(Qt::DownArrow);
    m_button->setFocusPolicy(Qt::NoFocus);
    m_edit->installEventFilter(this);

    connect(m_spin, &CScrivelSpin::DeltaPos, this, &CScrivelCtrl::OnDeltaposSpin);
    connect(m_edit, &QLineEdit::returnPressed, this, &CScrivelCtrl::OnEditEnter);
    connect(m_button, &QToolButton::pressed, this, [this] { DropPopup(QCursor::pos()); });
    connect(m_popup, &CScrivelPopup::Scroll, this, &CScrivelCtrl::OnTrackbarScroll);
    connect(m_popup, &CScrivelPopup::TrackbarReleased, this, &CScrivelCtrl::ClosePopup);
    connect(m_popup, &CScrivelPopup::Closed, this, [this] { m_button->setDown(false); });

    setFixedHeight(TextHeight() + 5);
}

CScrivelCtrl::~CScrivelCtrl() { --liveCount_; }

int CScrivelCtrl::TextHeight() const { return QFontMetrics(font()).height(); }

QWidget* CScrivelCtrl::Popup() const { return m_popup; }

int CScrivelCtrl::SpinPosition() const { return m_spin->Pos(); }

int CScrivelCtrl::SpinIncrementAfter(qint64 elapsedMs) const { return m_spin->IncrementAfter(elapsedMs); }

int CScrivelCtrl::TrackbarPosition() const { return m_popup->Trackbar()->value(); }

void CScrivelCtrl::SetTrackbarPosition(int position) {
    // setValue, unlike setSliderPosition, reports no action back to this control.
    m_popup->Trackbar()->setValue(position);
}

void CScrivelCtrl::SetSpinPosition(int position) { m_spin->SetPos(position); }

void CScrivelCtrl::Warn(const QString& text) {
    if (WarningPresenter presenter = warningPresenter.load()) presenter(this, text);
}

// --- properties and methods ---

void CScrivelCtrl::SetDescription(const QString& description) {
    m_strDescription = description;
    if (m_bRangeSet) UpdateText(false);
}

void CScrivelCtrl::SetUnitDescription(const QString& unitDescription) {
    m_strUnitDescription = unitDescription;
    if (m_bRangeSet) UpdateText(false);
}

void CScrivelCtrl::SetLargeChange(double largeChange) {
    if (largeChange == m_dLargeChange) return;
    m_dLargeChange = largeChange;
    if (m_bRangeSet) RecalcSteps();
}

void CScrivelCtrl::SetSmallChange(double smallChange) {
    if (smallChange == m_dSmallChange) return;
    m_dSmallChange = smallChange;
    if (m_bRangeSet) RecalcSteps();
}

void CScrivelCtrl::SetScrollValue(double value) {
    m_dValue = value;
    UpdateDisplay(false);
}

void CScrivelCtrl::SetRange(double dLowLimit, double dHighLimit) {
    m_dLowLimit = dLowLimit;
    m_dHighLimit = dHighLimit;
    m_bRangeSet = true;
    RecalcSteps();
}

void CScrivelCtrl::SetPrecision(short digits) { m_nPrecision = digits; }

bool CScrivelCtrl::GetIdealSize(long* pcx, long* pcy) {
    if (!m_bRangeSet) return false;
    const int textWidth = QFontMetrics(m_edit->font()).horizontalAdvance(m_edit->text());
    if (pcx) *pcx = textWidth + SPIN_WIDTH + BUTTON_WIDTH;
    if (pcy) *pcy = height();
    return true;
}

bool CScrivelCtrl::InitAllinOneGo(double min, double max, double minstep, double maxstep, const QString& description,
                                  const QString& unitDescription, double value, const QFont& font, short precision) {
    m_dLowLimit = min;
    m_dHighLimit = max;
    m_bRangeSet = true;
    if (minstep != m_dSmallChange) m_dSmallChange = minstep;
    if (maxstep != m_dLargeChange) m_dLargeChange = maxstep;
    m_strDescription = description;
    m_strUnitDescription = unitDescription;
    m_dValue = value;
    setFont(font);
    m_nPrecision = precision;
    RecalcSteps();
    UpdateDisplay(false);
    return true;
}

// --- algorithms ---

void CScrivelCtrl::RecalcSteps() {
    const double span = scrivel::Span(m_dLowLimit, m_dHighLimit);
    const QString warning = QStringLiteral("Warning: Parameter range too high");
    if (auto step = scrivel::TrackbarStep(m_nTrackbarPositions, m_dSmallChange, span)) {
        m_dSmallStepTrack = *step;
    } else {
        Warn(warning);
        m_dSmallStepTrack = 1.0;
    }
    if (auto step = scrivel::TrackbarStep(m_nTrackbarPositions, m_dLargeChange, span)) {
        m_dLargeStepTrack = *step;
    } else {
        Warn(warning);
        m_dLargeStepTrack = 1.0;
    }
    m_nSpinLargeStep = scrivel::SpinStep(m_nSpinPositions, m_dLargeChange, span);
    m_nSpinSmallStep = scrivel::SpinStep(m_nSpinPositions, m_dSmallChange, span);

    m_spin->SetRange(static_cast<int>(m_nSpinPositions));
    const int small = m_nSpinSmallStep;
    const int large = m_nSpinLargeStep;
    m_spin->SetAccel({{{3, small}, {3, 2 * small}, {3, 4 * small}, {3, large}, {3, 2 * large}, {3, 4 * large}}});
}

void CScrivelCtrl::UpdateText(bool byUser) {
    m_edit->setText(m_strDescription + QString::fromStdString(scrivel::FormatValue(m_dValue, m_nPrecision)) +
                    m_strUnitDescription);
    m_bChangedByUser = byUser;
    if (byUser) emit NewValue(m_dValue);
}

void CScrivelCtrl::UpdateDisplay(bool byUser) {
    if (!m_bRangeSet) return;
    const double span = scrivel::Span(m_dLowLimit, m_dHighLimit);
    const double offset = m_dValue - m_dLowLimit;
    SetTrackbarPosition(scrivel::TruncateToPosition(offset * m_nTrackbarPositions / span,
                                                    static_cast<int>(m_nTrackbarPositions)));
    // Positions are bounded to the spin's range: a value outside the limits pins the spin to an end.
    SetSpinPosition(scrivel::TruncateToPosition(offset * m_nSpinPositions / span, static_cast<int>(m_nSpinPositions)));
    UpdateText(byUser);
    update();
}

void CScrivelCtrl::OnDeltaposSpin(int change) {
    if (!m_bRangeSet || !m_bUserMode) return;
    const long long upper = m_nSpinPositions;
    const long long position = std::clamp<long long>(static_cast<long long>(m_spin->Pos()) + change, 0, upper);
    SetSpinPosition(static_cast<int>(position));
    const double fraction = static_cast<double>(position) / static_cast<double>(m_nSpinPositions);
    m_dValue = m_dLowLimit + fraction * (m_dHighLimit - m_dLowLimit);
    SetTrackbarPosition(
        scrivel::TruncateToPosition(fraction * m_nTrackbarPositions, static_cast<int>(m_nTrackbarPositions)));
    UpdateText(true);
}

void CScrivelCtrl::OnTrackbarScroll(int action, int t) {
    const int top = static_cast<int>(m_nTrackbarPositions);
    // The trackbar's own value is still the position before this action.
    int p = m_popup->Trackbar()->value();
    if (!m_bRangeSet) {
        SetTrackbarPosition(p);
        return;
    }
    const auto lineOrPage = [&](double change, double step, bool right) {
        if (!right) {
            if (m_dLowLimit + change >= m_dValue) {
                m_dValue = m_dLowLimit;
                p = 0;
            } else {
                m_dValue -= change;
                p = scrivel::TruncateToPosition(p - step, top);
            }
        } else {
            if (m_dValue < m_dHighLimit - change) {
                m_dValue += change;
                p = scrivel::TruncateToPosition(p + step, top);
            } else {
                m_dValue = m_dHighLimit;
                p = top;
            }
        }
    };
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: lineOrPage(m_dSmallChange, m_dSmallStepTrack, false); break;
    case QAbstractSlider::SliderSingleStepAdd: lineOrPage(m_dSmallChange, m_dSmallStepTrack, true); break;
    case QAbstractSlider::SliderPageStepSub: lineOrPage(m_dLargeChange, m_dLargeStepTrack, false); break;
    case QAbstractSlider::SliderPageStepAdd: lineOrPage(m_dLargeChange, m_dLargeStepTrack, true); break;
    // Home and End take the thumb to an end; they count as the thumb moved there.
    case QAbstractSlider::SliderToMinimum:
    case QAbstractSlider::SliderToMaximum:
    case QAbstractSlider::SliderMove:
        if (action == QAbstractSlider::SliderToMinimum) t = 0;
        if (action == QAbstractSlider::SliderToMaximum) t = top;
        if (t >= m_dSmallStepTrack) {
            m_dValue = m_dLowLimit + m_dSmallChange * (t / m_dSmallStepTrack);
            p = std::clamp(t, 0, top);
        } else {
            m_dValue = m_dLowLimit;
            p = 0;
        }
        break;
    default: return;
    }
    SetTrackbarPosition(p);
    const int ratio = static_cast<int>(m_nSpinPositions / m_nTrackbarPositions);
    SetSpinPosition(static_cast<int>(std::min<long long>(static_cast<long long>(p) * ratio, m_nSpinPositions)));
    UpdateText(true);
}

void CScrivelCtrl::OnEditEnter() { ReadTypedInput(); }

void CScrivelCtrl::OnKillfocusEdit() {
    if (m_edit->hasFocus()) {
        m_bChangedByUser = false;
        return;
    }
    ReadTypedInput();
}

void CScrivelCtrl::ReadTypedInput() {
    if (!m_bRangeSet || !m_bUserMode) return;
    // Only text the user edited counts: reading back the printed text would round the value to the
    // printed digits.
    if (!m_edit->isModified()) return;
    m_edit->setModified(false);
    const auto typed = scrivel::ParseTypedText(m_edit->text(), m_strDescription, m_strUnitDescription);
    if (!typed) return;
    const double value = std::max(m_dLowLimit, std::min(*typed, m_dHighLimit));
    if (value == m_dValue) return;
    m_dValue = value;
    UpdateDisplay(true);
}

// --- popup ---

void CScrivelCtrl::DropPopup(const QPoint& globalMouse) {
    if (!m_bRangeSet || !m_bUserMode) {
        m_button->setDown(false);
        return;
    }
    scrivel::CScrivelTrackbar* trackbar = m_popup->Trackbar();
    m_popup->resize(std::max(width(), POPUP_MIN_WIDTH), TextHeight() + 16);
    m_popup->ensurePolished();
    // Lay out now so the trackbar's client width is known before placing the popup.
    QResizeEvent resize(m_popup->size(), m_popup->size());
    QCoreApplication::sendEvent(m_popup, &resize);
    const int left = scrivel::PopupLeft(globalMouse.x(), trackbar->value(), trackbar->contentsRect().width(),
                                        trackbar->maximum() - trackbar->minimum());
    const QPoint below = mapToGlobal(QPoint(0, height()));
    m_popup->move(left, below.y());
    m_button->setDown(true);
    m_popup->show();
    // Pass the press on so the user can drag the thumb at once; the popup lies below the pointer, so the
    // press goes to the thumb's row.
    const QPointF local(trackbar->mapFromGlobal(QPointF(globalMouse)).x(), trackbar->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, local, QPointF(globalMouse), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(trackbar, &press);
}

void CScrivelCtrl::ClosePopup() {
    m_popup->hide();
    m_button->setDown(false);
    if (QWidget* top = window()) top->activateWindow();
}

// --- widget ---

bool CScrivelCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit) {
        if (event->type() == QEvent::FocusOut) {
            // A popup taking the focus leaves the edit box in charge; only the user flag is cleared.
            if (static_cast<QFocusEvent*>(event)->reason() == Qt::PopupFocusReason)
                m_bChangedByUser = false;
            else
                OnKillfocusEdit();
        } else if (event->type() == QEvent::KeyPress) {
            // The arrow keys work the spin control, as an up-down control does for its buddy.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                OnDeltaposSpin(key == Qt::Key_Up ? m_nSpinSmallStep : -m_nSpinSmallStep);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CScrivelCtrl::resizeEvent(QResizeEvent*) {
    const int w = width();
    const int h = height();
    const int editWidth = std::max(w - BUTTON_COLUMN_WIDTH - SPIN_WIDTH, 0);
    m_edit->setGeometry(0, 0, editWidth, h);
    m_spin->setGeometry(editWidth, 0, SPIN_WIDTH, h);
    m_button->setGeometry(std::max(w - BUTTON_WIDTH, 0), 0, BUTTON_WIDTH, h);
}

void CScrivelCtrl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) setFixedHeight(TextHeight() + 5);
    QWidget::changeEvent(event);
}

void CScrivelCtrl::SetUserMode(bool userMode) {
    m_bUserMode = userMode;
    for (QWidget* child : {static_cast<QWidget*>(m_edit), static_cast<QWidget*>(m_spin),
                           static_cast<QWidget*>(m_button)})
        child->setVisible(userMode);
    update();
}

void CScrivelCtrl::paintEvent(QPaintEvent*) {
    if (m_bUserMode) return;
    QPainter painter(this);
    const QRect area = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(area, Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(area);
    painter.drawEllipse(area);
    const QString name = windowTitle().isEmpty() ? QStringLiteral("Scrivel Control") : windowTitle();
    painter.drawText(area, Qt::AlignCenter, name);
}

QSize CScrivelCtrl::sizeHint() const {
    const int textWidth = QFontMetrics(m_edit->font()).horizontalAdvance(m_edit->text());
    return {std::max(textWidth + 8, 60) + SPIN_WIDTH + BUTTON_COLUMN_WIDTH, TextHeight() + 5};
}
