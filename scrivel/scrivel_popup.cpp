#include "scrivel/scrivel_popup.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <algorithm>

namespace scrivel {

void CScrivelTrackbar::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    emit Released();
}

CScrivelPopup::CScrivelPopup(QWidget* owner, int positions)
    : QFrame(owner, Qt::Popup | Qt::FramelessWindowHint), trackbar_(new CScrivelTrackbar(this)) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    trackbar_->setObjectName("trackbar");
    trackbar_->setRange(0, positions);
    trackbar_->setTickPosition(QSlider::TicksBelow);
    trackbar_->setTickInterval(std::max(positions / 10, 1));
    trackbar_->setSingleStep(std::max(positions / 100, 1));
    trackbar_->setPageStep(std::max(positions / 20, 1));
    connect(trackbar_, &QSlider::actionTriggered, this,
            [this](int action) { emit Scroll(action, trackbar_->sliderPosition()); });
    connect(trackbar_, &CScrivelTrackbar::Released, this, &CScrivelPopup::TrackbarReleased);
}

void CScrivelPopup::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    emit Closed();
}

void CScrivelPopup::ForwardToTrackbar(QMouseEvent* event) {
    QMouseEvent forwarded(event->type(), trackbar_->mapFromGlobal(event->globalPosition()), event->globalPosition(),
                          event->button(), event->buttons(), event->modifiers());
    QCoreApplication::sendEvent(trackbar_, &forwarded);
}

void CScrivelPopup::mouseMoveEvent(QMouseEvent* event) {
    if (trackbar_->isSliderDown())
        ForwardToTrackbar(event);
    else
        QFrame::mouseMoveEvent(event);
}

void CScrivelPopup::mouseReleaseEvent(QMouseEvent* event) {
    if (trackbar_->isSliderDown())
        ForwardToTrackbar(event);
    else
        QFrame::mouseReleaseEvent(event);
}

void CScrivelPopup::resizeEvent(QResizeEvent*) { trackbar_->setGeometry(contentsRect().adjusted(2, 2, -2, -2)); }

}  // namespace scrivel
