#pragma once
/// Application messages (WM_APP + n) posted from any thread to a window-like target.
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace zelvor {

/// Codes of the application messages.
enum AppMessageCode : unsigned {
    MSG_LOAD_PROGRESS = 0x802A,      ///< wParam = show * 65536 + percent, lParam = const char* status text (static)
    MSG_OUTPUT_REFRESH = 0x802D,
    MSG_GRAPH_READY = 0x802E,
    MSG_VARIABLES_READY = 0x802F,
    MSG_SURFACE_DONE = 0x8031,
    MSG_FILE_LOADED = 0x8033,
    MSG_SHOW_MESSAGE = 0x8034,       ///< show the application's shared message string
    MSG_TESSELLATION = 0x8035,
    MSG_REFRESH_ATOM_PAGE = 0x8036,
    MSG_DOWNLOAD_PROGRESS = 0x8037,
    MSG_REFRESH_SURFACE_PAGE = 0x8038,
    MSG_FIRST_FRAME_READ = 0x8039,
};

struct AppMessage {
    unsigned code = 0;
    std::intptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

/// Something that accepts posted messages; Post must be callable from any thread and must not block
/// on the receiver's thread.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual void Post(const AppMessage& message) = 0;
};

/// A target without windows: records every message and hands it to an optional handler on the posting
/// thread (tests and the headless tool).
class HeadlessMessageSink : public MessageTarget {
public:
    using Handler = std::function<void(const AppMessage&)>;
    explicit HeadlessMessageSink(Handler handler = {}) : handler_(std::move(handler)) {}
    void Post(const AppMessage& message) override;
    /// Messages received so far, in order.
    std::vector<AppMessage> Messages() const;
    /// Number of messages with this code.
    int Count(unsigned code) const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<AppMessage> messages_;
    Handler handler_;
};

/// The application's main window as a message target (none: messages are dropped).
void SetMainWindowTarget(MessageTarget* target);
MessageTarget* MainWindowTarget();
/// Posts a message to the main window, if one is set.
void PostToMainWindow(unsigned code, std::intptr_t wParam = 0, std::intptr_t lParam = 0);

}  // namespace zelvor
