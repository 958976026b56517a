#pragma once
/// Delivery of application messages to a QObject through Qt's event queue (QtCore only).
#include <QEvent>
#include <optional>

#include "platform/app_message.h"

class QObject;

namespace zelvor {

/// The event that carries one AppMessage to its receiver's thread.
class AppMessageEvent : public QEvent {
public:
    explicit AppMessageEvent(const AppMessage& message) : QEvent(Type()), message_(message) {}
    /// The event type registered for application messages.
    static QEvent::Type Type();
    const AppMessage& Message() const { return message_; }

private:
    AppMessage message_;
};

/// The message an event carries, or nullopt when the event is not an application message. Receivers call it
/// from their event() override.
std::optional<AppMessage> DecodeAppMessage(const QEvent* event);

/// Posts each message as an AppMessageEvent to a receiver; safe from any thread. Clear the target (or
/// destroy it) before the receiver is destroyed.
class QtMessageTarget : public MessageTarget {
public:
    explicit QtMessageTarget(QObject* receiver) : receiver_(receiver) {}
    void Post(const AppMessage& message) override;

private:
    QObject* receiver_;
};

}  // namespace zelvor
