#pragma once
/// The drop-down popup of the Scrivel control: a frame holding the horizontal trackbar.
#include <QFrame>
#include <QSlider>

namespace scrivel {

/// The trackbar; tells when the mouse button is released on it (after the slider has handled the release).
class CScrivelTrackbar : public QSlider {
    Q_OBJECT
public:
    explicit CScrivelTrackbar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

signals:
    void Released();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

/// Popup window with a trackbar over 0..positions: a tick every tenth, a line step of a hundredth and a page
/// step of a twentieth of the range. It forwards the trackbar's actions through Scroll.
class CScrivelPopup : public QFrame {
    Q_OBJECT
public:
    CScrivelPopup(QWidget* owner, int positions);

    CScrivelTrackbar* Trackbar() const { return trackbar_; }

signals:
    /// A trackbar action (QAbstractSlider::SliderAction) with the slider's position after Qt applied it.
    void Scroll(int action, int position);
    /// The mouse button was released on the trackbar.
    void TrackbarReleased();
    /// The popup closed, by a release on the trackbar or by a click elsewhere.
    void Closed();

protected:
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    /// While the thumb is held, the mouse drags it wherever the pointer is, and a release anywhere ends it.
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ForwardToTrackbar(QMouseEvent* event);

    CScrivelTrackbar* trackbar_;
};

}  // namespace scrivel
