#pragma once
/// The process entry around the application object.
#include <functional>

namespace zelvor {

class CMyApp;

/// Binds the crash handler, runs InitInstance, the message loop and ExitInstance, and unbinds the crash
/// handler. Returns the exit code: ExitInstance's result, also when InitInstance failed.
/// messageLoop runs the event loop and returns its exit code, which ExitInstance sees as app.exitCode.
int RunApplication(CMyApp& app, const std::function<int()>& messageLoop);

}  // namespace zelvor
