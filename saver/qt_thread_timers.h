#pragma once
/// ThreadTimers on QTimer: the timers run on the thread that owns this object (the main thread).
#include <QTimer>
#include <map>
#include <memory>

#include "saver/thread_timer.h"

namespace zelvor {

/// QTimer-backed thread timers.
class QtThreadTimers : public ThreadTimers {
public:
    QtThreadTimers() = default;
    ~QtThreadTimers() override;
    QtThreadTimers(const QtThreadTimers&) = delete;
    QtThreadTimers& operator=(const QtThreadTimers&) = delete;

    TimerId SetTimer(unsigned milliseconds, Procedure procedure) override;
    void KillTimer(TimerId id) override;

private:
    std::map<TimerId, QTimer*> timers_;
    TimerId nextId_ = 1;
};

}  // namespace zelvor
