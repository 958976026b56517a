#include "saver/qt_thread_timers.h"

#include <climits>

namespace zelvor {

QtThreadTimers::~QtThreadTimers() {
    for (auto& [id, timer] : timers_) delete timer;
}

ThreadTimers::TimerId QtThreadTimers::SetTimer(unsigned milliseconds, Procedure procedure) {
    const TimerId id = nextId_++;
    if (nextId_ == 0) nextId_ = 1;
    auto* timer = new QTimer;
    timer->setTimerType(Qt::CoarseTimer);
    timer->setInterval(static_cast<int>(milliseconds > INT_MAX ? INT_MAX : milliseconds));
    QObject::connect(timer, &QTimer::timeout, [procedure = std::move(procedure), id] { procedure(id); });
    timers_[id] = timer;
    timer->start();
    return id;
}

void QtThreadTimers::KillTimer(TimerId id) {
    const auto found = timers_.find(id);
    if (found == timers_.end()) return;
    // The procedure may be the caller: the timer object goes once control is back in the event loop.
    found->second->stop();
    found->second->deleteLater();
    timers_.erase(found);
}

}  // namespace zelvor
