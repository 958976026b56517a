#include "platform/load_status.h"

#include <cstdint>

#include "platform/app_message.h"

namespace zelvor {

void AdviseMainWndLoadStatus(int percent, int show, const char* text) {
    PostToMainWindow(MSG_LOAD_PROGRESS, static_cast<std::intptr_t>(show) * 65536 + percent,
                     reinterpret_cast<std::intptr_t>(text));
}

}  // namespace zelvor
