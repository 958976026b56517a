#include "scrivel/scrivel_spin.h"

#include <QToolButton>
#include <algorithm>

namespace scrivel {

CScrivelSpin::CScrivelSpin(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    up_->setObjectName("up");
    down_->setObjectName("down");
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {up_, down_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::pressed, this, [this] { held_.start(); });
    }
    connect(up_, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
}

void CScrivelSpin::SetPos(int position) { position_ = std::clamp(position, 0, std::max(upper_, 0)); }

int CScrivelSpin::IncrementAfter(qint64 elapsedMs) const {
    // Each entry takes over when the previous one has been in use for its number of seconds.
    qint64 threshold = 0;
    int increment = accel_[0].increment;
    for (std::size_t i = 1; i < accel_.size(); ++i) {
        threshold += std::max(accel_[i].seconds, 0) * qint64{1000};
        if (elapsedMs < threshold) break;
        increment = accel_[i].increment;
    }
    return increment;
}

void CScrivelSpin::Step(int direction) {
    const qint64 elapsed = held_.isValid() ? held_.elapsed() : 0;
    emit DeltaPos(direction * IncrementAfter(elapsed));
}

void CScrivelSpin::resizeEvent(QResizeEvent*) {
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

}  // namespace scrivel
