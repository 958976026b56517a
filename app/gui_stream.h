#pragma once
/// The message stream: every completed report written to it is shown to the user as one message box.
#include <cstdint>
#include <functional>
#include <ostream>
#include <streambuf>
#include <string>

namespace zelvor {

/// An opaque window handle (0 = no window); the windowing layer decides what it means.
using WindowHandle = std::uintptr_t;

/// Shows one message with its owner window, text and caption, and returns when the user has closed it.
using MessagePresenter =
    std::function<void(WindowHandle owner, const std::string& text, const std::string& caption)>;
/// Installs the presenter; an empty function restores the default, which writes the text to standard error.
void SetMessagePresenter(MessagePresenter presenter);

/// What the message stream needs from the windowing layer. Without it no window is ever found.
struct MessageWindowHooks {
    /// The top-level window of this process that a message box should belong to (0 = none).
    std::function<WindowHandle()> findProcessWindow;
    /// The title text of a window.
    std::function<std::string(WindowHandle)> windowText;
};
void SetMessageWindowHooks(MessageWindowHooks hooks);

/// Stream buffer that collects text and shows it as a message at every flush, or in pieces of
/// BUFFER_SIZE characters when a report is longer than that.
class GUIStreambuf : public std::streambuf {
public:
    static constexpr std::size_t BUFFER_SIZE = 1024;

    /// owner and caption point at variables read when a message is shown (either may be null).
    explicit GUIStreambuf(const WindowHandle* owner = nullptr, const std::string* caption = nullptr);
    ~GUIStreambuf() override;
    GUIStreambuf(const GUIStreambuf&) = delete;
    GUIStreambuf& operator=(const GUIStreambuf&) = delete;

protected:
    int_type overflow(int_type ch) override;
    int sync() override;

private:
    void ShowPending();

    char buffer_[BUFFER_SIZE];
    const WindowHandle* owner_;
    const std::string* caption_;
};

/// An output stream over its own GUIStreambuf; std::endl or std::flush completes a message.
class GUIStream : public std::ostream {
public:
    explicit GUIStream(const WindowHandle* owner = nullptr, const std::string* caption = nullptr);

private:
    GUIStreambuf buffer_;
};

/// The program's message stream. Each thread writes into a stream of its own, so reports of two threads
/// never mix within one message.
GUIStream& MessageStream();

}  // namespace zelvor
