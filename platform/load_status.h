#pragma once
/// Progress reports of long loads, posted to the main window as MSG_LOAD_PROGRESS.

namespace zelvor {

/// Posts MSG_LOAD_PROGRESS with wParam show * 65536 + percent and the status text (a string literal or null).
void AdviseMainWndLoadStatus(int percent, int show, const char* text);

}  // namespace zelvor
