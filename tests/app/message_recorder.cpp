#include "message_recorder.h"

namespace zelvor::test {

MessageRecorder::MessageRecorder() {
    SetMessagePresenter([this](WindowHandle owner, const std::string& text, const std::string& caption) {
        std::lock_guard lock(mutex_);
        shown_.push_back({owner, text, caption});
    });
}

MessageRecorder::~MessageRecorder() { SetMessagePresenter({}); }

std::vector<ShownMessage> MessageRecorder::Shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

std::vector<std::string> MessageRecorder::Texts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const auto& m : shown_) texts.push_back(m.text);
    return texts;
}

}  // namespace zelvor::test
