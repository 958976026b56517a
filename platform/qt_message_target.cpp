#include "platform/qt_message_target.h"

#include <QCoreApplication>
#include <mutex>

namespace zelvor {

QEvent::Type AppMessageEvent::Type() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

std::optional<AppMessage> DecodeAppMessage(const QEvent* event) {
    if (!event || event->type() != AppMessageEvent::Type()) return std::nullopt;
    return static_cast<const AppMessageEvent*>(event)->Message();
}

void QtMessageTarget::Post(const AppMessage& message) {
    if (!receiver_) return;
    // postEvent is thread-safe, but Qt's futex-based lock is invisible to ThreadSanitizer; serialising our
    // own posts costs nothing measurable and keeps the sanitizer runs meaningful.
    static std::mutex postMutex;
    std::lock_guard lock(postMutex);
    // The queue takes ownership; the event is handled on the receiver's thread.
    QCoreApplication::postEvent(receiver_, new AppMessageEvent(message));
}

}  // namespace zelvor
