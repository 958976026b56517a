#pragma once
/// The spin (up-down) control of the Scrivel control: two arrow buttons with a position and an
/// acceleration table.
#include <QElapsedTimer>
#include <QWidget>
#include <array>

class QToolButton;

namespace scrivel {

/// Up-down arrows beside the edit box. A click asks the owner to move by the current increment through
/// DeltaPos; the owner decides the new position and sets it.
class CScrivelSpin : public QWidget {
    Q_OBJECT
public:
    /// One acceleration step: after holding an arrow this many seconds longer, this increment applies.
    struct Accel {
        int seconds = 0;
        int increment = 1;
    };
    static constexpr int ACCEL_COUNT = 6;

    explicit CScrivelSpin(QWidget* parent);

    void SetRange(int upper) { upper_ = upper; }
    int Upper() const { return upper_; }
    /// Sets the position, bounded to 0..upper.
    void SetPos(int position);
    int Pos() const { return position_; }
    void SetAccel(const std::array<Accel, ACCEL_COUNT>& table) { accel_ = table; }
    /// The increment that applies after an arrow has been held for elapsedMs milliseconds.
    int IncrementAfter(qint64 elapsedMs) const;

signals:
    /// The user asks to move by delta (positive: up).
    void DeltaPos(int delta);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Step(int direction);

    QToolButton* up_;
    QToolButton* down_;
    int upper_ = 100;
    int position_ = 0;
    std::array<Accel, ACCEL_COUNT> accel_{};
    QElapsedTimer held_;
};

}  // namespace scrivel
