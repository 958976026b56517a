// The update check's dialogs, on the offscreen Qt platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <chrono>

#include "app/download_thread_dlg.h"
#include "app/my_app.h"
#include "app/update_dialogs.h"
#include "app/update_dlg.h"
#include "platform/app_message.h"
#include "platform/shared_message.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

/// Records the checks the page asks for instead of going online.
class RecordingApp : public CMyApp {
public:
    void CheckOnlineForUpdate(bool showDialog, WindowHandle parent) override {
        checks.push_back(std::to_string(showDialog) + "," + std::to_string(parent));
    }
    std::vector<std::string> checks;
};

TEST(CUpdateDlg, RadiosFollowTheWeeklyCheckAndEveryClickIsStoredAtOnce) {
    test::ScopedConfigHome home;
    RecordingApp app;
    app.SetRegistryKey("Cobrant");
    app.WriteProfileString("Config", "Update Server", "https://mirror.example.org:8443/zelvor/");
    app.appSettings.weeklyUpdateCheck = 0;
    app.appSettings.updateAction = 1;
    CUpdateDlg page(app);
    EXPECT_EQ(page.WeeklyCheckBox()->text(),
              "Check online every week for a more recent version from mirror.example.org:8443");
    EXPECT_FALSE(page.WeeklyCheckBox()->isChecked());
    EXPECT_TRUE(page.DownloadButton()->isChecked());
    EXPECT_FALSE(page.TellButton()->isChecked());
    EXPECT_FALSE(page.TellButton()->isEnabled());
    EXPECT_FALSE(page.DownloadButton()->isEnabled());

    page.WeeklyCheckBox()->click();
    EXPECT_EQ(app.appSettings.weeklyUpdateCheck, 1);
    EXPECT_TRUE(page.TellButton()->isEnabled());
    EXPECT_TRUE(page.DownloadButton()->isEnabled());
    page.TellButton()->click();
    EXPECT_EQ(app.appSettings.updateAction, 0);
    EXPECT_FALSE(page.DownloadButton()->isChecked());
    page.DownloadButton()->click();
    EXPECT_EQ(app.appSettings.updateAction, 1);
    page.WeeklyCheckBox()->click();
    EXPECT_EQ(app.appSettings.weeklyUpdateCheck, 0);
    EXPECT_FALSE(page.TellButton()->isEnabled());
    EXPECT_EQ(app.appSettings.updateAction, 1);

    EXPECT_TRUE(app.checks.empty());
    page.CheckNowButton()->click();
    EXPECT_EQ(app.checks, std::vector<std::string>{"1,0"});
}

TEST(CDownloadThreadDlg, ShowsPostedStatusAndProgressAndAnyCloseCancels) {
    DownloadCancelFlag cancel;
    CDownloadThreadDlg dialog(nullptr, "Zelvor", "updates.example.org", cancel, true);
    dialog.Present();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.windowTitle(), "Download in Progress");
    EXPECT_EQ(dialog.StatusText(), "Downloading Zelvor from updates.example.org");
    auto post = [&](std::intptr_t wParam, std::intptr_t lParam) {
        dialog.Target().Post({MSG_DOWNLOAD_PROGRESS, wParam, lParam});
        QCoreApplication::sendPostedEvents(&dialog);
        return dialog.StatusText().toStdString();
    };
    EXPECT_EQ(post(4, 0), "Connecting to updates.example.org");
    EXPECT_EQ(post(3, 0), "Connection established");
    EXPECT_EQ(post(2, 0), "Inspecting version number");
    EXPECT_EQ(post(1, 0), "No update is available");
    EXPECT_EQ(post(7, 0), "No update is available");  // not a status: ignored
    EXPECT_EQ(post(500, 2000), "Downloading Zelvor from updates.example.org");
    EXPECT_EQ(dialog.BytesText(), "Bytes received: 500");
    EXPECT_EQ(dialog.ProgressValue(), 250);
    post(1999, 2000);  // 999.5 is truncated
    EXPECT_EQ(dialog.BytesText(), "Bytes received: 1999");
    EXPECT_EQ(dialog.ProgressValue(), 999);

    EXPECT_FALSE(cancel.IsSet());
    dialog.CancelButton()->click();
    EXPECT_TRUE(cancel.IsSet());
    EXPECT_FALSE(dialog.WindowExists());
    EXPECT_FALSE(dialog.isVisible());

    // The check's close message, to a hidden dialog that was never shown, closes and cancels as well.
    DownloadCancelFlag hiddenCancel;
    CDownloadThreadDlg hidden(nullptr, "Zelvor", "updates.example.org", hiddenCancel, false);
    hidden.Present();
    EXPECT_FALSE(hidden.isVisible());
    hidden.Target().Post({MSG_CLOSE_DOWNLOAD_DIALOG, 0, 0});
    QCoreApplication::sendPostedEvents(&hidden);
    EXPECT_FALSE(hidden.WindowExists());
    EXPECT_TRUE(hiddenCancel.IsSet());
}

TEST(InstallUpdateDialogs, ACheckOnRequestShowsTheRealDialogWhichTheFailedCheckCloses) {
    test::ScopedConfigHome home;
    HeadlessMessageSink mainWindow;
    SetMainWindowTarget(&mainWindow);
    {
        CMyApp app;
        app.SetRegistryKey("Cobrant");
        // Nothing listens on port 1 of the loopback interface: the check fails at once.
        app.WriteProfileString("Config", "Update Server", "https://127.0.0.1:1/");
        InstallUpdateDialogs(app);
        app.CheckOnlineForUpdate(true, 0);
        CDownloadThreadDlg* dialog = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<CDownloadThreadDlg*>(widget); found && found->isVisible()) dialog = found;
        ASSERT_NE(dialog, nullptr);
        app.WaitForUpdateCheck();
        QCoreApplication::sendPostedEvents(dialog);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(mainWindow.Count(MSG_SHOW_MESSAGE), 1);
        EXPECT_EQ(GetSharedMessage().rfind("ERROR!  ", 0), 0u) << GetSharedMessage();
    }
    SetMainWindowTarget(nullptr);
}

}  // namespace
}  // namespace zelvor
