#include "platform/shared_message.h"

#include <mutex>

#include "platform/app_message.h"

namespace zelvor {

namespace {
std::mutex sharedMutex;
std::string sharedText;
}  // namespace

void SetSharedMessage(const std::string& text) {
    std::lock_guard lock(sharedMutex);
    sharedText = text;
}

std::string GetSharedMessage() {
    std::lock_guard lock(sharedMutex);
    return sharedText;
}

void ShowSharedMessage(const std::string& text) {
    SetSharedMessage(text);
    PostToMainWindow(MSG_SHOW_MESSAGE);
}

}  // namespace zelvor
