#pragma once
/// CInputWatch: watches the X display for the input that ends the full-screen saver (a far pointer move, a
/// button, a key), on a thread and a connection of its own, so that the saver ends at once even while its
/// main thread spends seconds in one paint of a large system.
///
/// A move is far when the pointer lies the given distance or more from where the saver's window last saw it
/// (`PointerSeenAt`). A window that keeps up sees each small step of a slow move; a window that is busy sees the
/// steps queued meanwhile as one, and so does the watch.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace zelvor {

class CInputWatch {
public:
    /// What ended the watch.
    enum class Input { FarMove, Button, Key };
    /// Called once, on the watch's thread, at the first such input.
    using Action = std::function<void(Input input)>;

    /// Starts watching `displayName` (empty: $DISPLAY); a pointer step of `farMovePixels` or more counts.
    /// Without the display or its input extension nothing is watched (the main thread's input handling stays).
    CInputWatch(const std::string& displayName, int farMovePixels, Action onInput);
    /// Stops and joins the thread.
    ~CInputWatch();
    CInputWatch(const CInputWatch&) = delete;
    CInputWatch& operator=(const CInputWatch&) = delete;

    /// True when the watch listens (the display and XInput 2 were there).
    bool Watching() const { return watching_; }
    /// The saver's window saw the pointer at x, y (root coordinates); any thread.
    void PointerSeenAt(int x, int y) { seen_ = Pack(x, y); }

private:
    void Run();
    static std::int64_t Pack(int x, int y) {
        return static_cast<std::int64_t>(static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 32 |
                                         static_cast<std::uint32_t>(y));
    }

    void* display_ = nullptr;  // Display*, used by the watch's thread only once it runs
    int farMovePixels_;
    Action onInput_;
    std::atomic<std::int64_t> seen_{0};  // Pack(x, y): where the window last saw the pointer
    int opcode_ = 0;   // the input extension's major opcode: its events carry it
    int wakeFd_ = -1;  // an eventfd that ends the thread's wait
    bool watching_ = false;
    std::thread thread_;
};

}  // namespace zelvor
