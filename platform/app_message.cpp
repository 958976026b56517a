#include "platform/app_message.h"

#include <atomic>

namespace zelvor {

void HeadlessMessageSink::Post(const AppMessage& message) {
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(message);
    }
    if (handler_) handler_(message);
}

std::vector<AppMessage> HeadlessMessageSink::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

int HeadlessMessageSink::Count(unsigned code) const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const auto& m : messages_) n += m.code == code;
    return n;
}

void HeadlessMessageSink::Clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
}

namespace {
std::atomic<MessageTarget*> mainWindowTarget{nullptr};
}

void SetMainWindowTarget(MessageTarget* target) { mainWindowTarget.store(target); }
MessageTarget* MainWindowTarget() { return mainWindowTarget.load(); }

void PostToMainWindow(unsigned code, std::intptr_t wParam, std::intptr_t lParam) {
    if (MessageTarget* target = mainWindowTarget.load()) target->Post({code, wParam, lParam});
}

}  // namespace zelvor
