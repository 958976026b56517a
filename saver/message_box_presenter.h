#pragma once
/// Shows the message stream's reports as message boxes when the program has a screen to show them on.

namespace zelvor {

/// With a real display, reports of the main thread become message boxes and those of other threads are
/// handed to the main window as the shared message; without one (offscreen, minimal) the default
/// presentation on standard error stays.
void InstallMessageBoxPresenter();

}  // namespace zelvor
