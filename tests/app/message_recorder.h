#pragma once
/// Records what the message stream shows, instead of showing it.
#include <mutex>
#include <string>
#include <vector>

#include "app/gui_stream.h"

namespace zelvor::test {

struct ShownMessage {
    WindowHandle owner = 0;
    std::string text;
    std::string caption;
};

/// Installs itself as the message presenter for its lifetime.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    std::vector<ShownMessage> Shown() const;
    std::vector<std::string> Texts() const;

private:
    mutable std::mutex mutex_;
    std::vector<ShownMessage> shown_;
};

}  // namespace zelvor::test
