// zelvor: the molecular screensaver.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/process_entry.h"
#include "saver/command_line.h"
#include "saver/message_box_presenter.h"
#include "saver/saver_app.h"

// The crash report names the program's version; the crash handler looks this up by name.
extern "C" __attribute__((visibility("default"))) const char GreltProgramVersion[] = ZELVOR_FILE_VERSION;

int main(int argc, char** argv) {
    // Help, version and wrong options are answered before any window, display or setting is touched.
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (const auto answer = zelvor::AnswerBeforeStart(args, ZELVOR_VERSION)) {
        std::fputs(answer->standardOutput.c_str(), stdout);
        std::fputs(answer->standardError.c_str(), stderr);
        return answer->exitCode;
    }
    QApplication application(argc, argv);
    // The saver decides itself when it ends (with its own exit code), not the last window that closes.
    application.setQuitOnLastWindowClosed(false);
    zelvor::InstallMessageBoxPresenter();

    zelvor::CSaverApp app(args);
    return zelvor::RunApplication(app, [] { return QApplication::exec(); });
}
