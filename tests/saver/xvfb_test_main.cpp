// Test entry point for tests of windows that hold an OpenGL preview: the toolkit runs on a private Xvfb
// (an OpenGL window cannot be shown on the offscreen platform). Without Xvfb the tests skip themselves.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "x_session.h"

// The desktop libraries an on-screen toolkit loads (D-Bus, the GLX driver and its compiler) keep blocks until
// exit that the leak checker cannot trace back (they are built without frame pointers), as in the end-to-end
// tests. Memory errors are still caught here; the program's own leaks are checked by the offscreen widget tests.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace zelvor::test {
/// True when the private X server runs and the toolkit uses it.
bool HaveXServer = false;
}  // namespace zelvor::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<zelvor::test::XvfbServer> xvfb;
    if (!::testing::GTEST_FLAG(list_tests)) {
        xvfb = std::make_unique<zelvor::test::XvfbServer>(1280, 1024);
        if (xvfb->Running()) {
            qputenv("DISPLAY", QByteArray::fromStdString(xvfb->Display()));
            qputenv("QT_QPA_PLATFORM", "xcb");
            zelvor::test::HaveXServer = true;
        }
    }
    if (!zelvor::test::HaveXServer) qputenv("QT_QPA_PLATFORM", "offscreen");
    int code = 0;
    {
        QApplication application(argc, argv);
        application.setQuitOnLastWindowClosed(false);
        code = RUN_ALL_TESTS();
    }
    return code;
}
