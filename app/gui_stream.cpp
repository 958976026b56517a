#include "app/gui_stream.h"

#include <cstdio>
#include <mutex>

#include "app/utf8_text.h"

namespace zelvor {

namespace {

// A window title is read into a buffer of 124 characters with its terminator.
constexpr std::size_t MAX_CAPTION = 123;

std::mutex hooksMutex;
MessagePresenter presenter;
MessageWindowHooks windowHooks;

void PresentOnStandardError(WindowHandle, const std::string& text, const std::string& caption) {
    std::string line = caption.empty() ? text : caption + ": " + text;
    if (line.empty() || line.back() != '\n') line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

void SetMessagePresenter(MessagePresenter newPresenter) {
    std::lock_guard lock(hooksMutex);
    presenter = std::move(newPresenter);
}

void SetMessageWindowHooks(MessageWindowHooks hooks) {
    std::lock_guard lock(hooksMutex);
    windowHooks = std::move(hooks);
}

GUIStreambuf::GUIStreambuf(const WindowHandle* owner, const std::string* caption) : owner_(owner), caption_(caption) {
    setp(buffer_, buffer_ + BUFFER_SIZE);
}

GUIStreambuf::~GUIStreambuf() { sync(); }

GUIStreambuf::int_type GUIStreambuf::overflow(int_type ch) {
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    ShowPending();
    *pptr() = traits_type::to_char_type(ch);
    pbump(1);
    return ch;
}

int GUIStreambuf::sync() {
    ShowPending();
    return 0;
}

void GUIStreambuf::ShowPending() {
    if (pptr() == pbase()) return;
    const std::string text(pbase(), pptr());
    setp(buffer_, buffer_ + BUFFER_SIZE);

    MessagePresenter show;
    MessageWindowHooks hooks;
    {
        std::lock_guard lock(hooksMutex);
        show = presenter;
        hooks = windowHooks;
    }
    WindowHandle owner = 0;
    if (owner_)
        owner = *owner_;
    else if (hooks.findProcessWindow)
        owner = hooks.findProcessWindow();
    std::string caption;
    if (caption_) {
        caption = *caption_;
    } else if (owner != 0 && hooks.windowText) {
        caption = hooks.windowText(owner);
        CutUtf8(caption, MAX_CAPTION);
    }
    // The presenter runs outside the lock: it blocks until the user closes the message.
    if (show)
        show(owner, text, caption);
    else
        PresentOnStandardError(owner, text, caption);
}

GUIStream::GUIStream(const WindowHandle* owner, const std::string* caption)
    : std::ostream(nullptr), buffer_(owner, caption) {
    rdbuf(&buffer_);
}

GUIStream& MessageStream() {
    thread_local GUIStream stream;
    return stream;
}

}  // namespace zelvor
