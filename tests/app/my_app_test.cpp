#include "app/my_app.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "app/process_entry.h"
#include "app/program_random.h"
#include "message_recorder.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

using Strings = std::vector<std::string>;
constexpr std::time_t DAY = 86400;

/// An application whose start-up services record what happens, in order.
class RecordingApp : public CMyApp {
public:
    RecordingApp() {
        createSliderProbe = [this] {
            steps.push_back("probe");
            return probeSucceeds;
        };
        currentTime = [this] { return now; };
        startInstaller = [this](const std::string& path, const std::string& parameters, const std::string& folder) {
            installerCalls.push_back(path + "|" + parameters + "|" + folder);
        };
    }

    void CheckOnlineForUpdate(bool showDialog, WindowHandle parent) override {
        steps.push_back("update check");
        EXPECT_FALSE(showDialog);
        EXPECT_EQ(parent, 0u);
    }

    Strings steps;
    bool probeSucceeds = true;
    int performanceStatus = 1;
    std::time_t now = 100 * DAY;
    Strings installerCalls;
    // Seen by the performance step: what earlier steps had done by then.
    std::string keyAtPerformance;
    bool settingsLoadedAtPerformance = false;

protected:
    int InitialisePerformanceMonitor() override {
        steps.push_back("performance");
        keyAtPerformance = RegistryKey();
        settingsLoadedAtPerformance = appSettings.loaded != 0;
        return performanceStatus;
    }
};

TEST(CMyAppInitInstance, RunsItsStepsInOrderAfterSettingTheKeyAndLoadingTheSettings) {
    test::ScopedConfigHome home;
    test::MessageRecorder recorder;
    RecordingApp app;
    EXPECT_TRUE(app.InitInstance());
    EXPECT_EQ(app.steps, (Strings{"performance", "probe", "update check"}));
    EXPECT_EQ(app.keyAtPerformance, "Cobrant");
    EXPECT_TRUE(app.settingsLoadedAtPerformance);
    EXPECT_EQ(app.firstRun, 1);
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST(CMyAppInitInstance, PerformanceFailureIsReportedInHexAndEndsStartUp) {
    test::ScopedConfigHome home;
    test::MessageRecorder recorder;
    RecordingApp app;
    app.performanceStatus = static_cast<int>(0x80041003u);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.steps, Strings{"performance"});
    EXPECT_EQ(recorder.Texts(), Strings{"The performance module couldn't be initialised\nError code is:80041003\n"});
}

TEST(CMyAppInitInstance, ProbeFailureIsReportedAndEndsStartUpBeforeTheUpdateCheck) {
    test::ScopedConfigHome home;
    test::MessageRecorder recorder;
    RecordingApp app;
    app.probeSucceeds = false;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.steps, (Strings{"performance", "probe"}));
    EXPECT_EQ(recorder.Texts(),
              Strings{"The Scrivel ActiveX control can't be created.\nIs it properly registered on this system?\n"});
}

TEST(CMyAppInitInstance, WeeklyCheckRunsOnlyWhenMoreThanSevenDaysPassed) {
    test::ScopedConfigHome home;
    {
        // First start: no check made yet (day 0).
        RecordingApp app;
        ASSERT_TRUE(app.InitInstance());
        EXPECT_EQ(app.steps.back(), "update check");
        app.appSettings.lastUpdateCheckDay = 95;
    }
    {
        RecordingApp app;
        app.now = 102 * DAY + DAY - 1;  // day 102: 95 + 7 is not less than 102
        ASSERT_TRUE(app.InitInstance());
        EXPECT_EQ(app.steps.back(), "probe");
    }
    {
        RecordingApp app;
        app.now = 103 * DAY;
        ASSERT_TRUE(app.InitInstance());
        EXPECT_EQ(app.steps.back(), "update check");
        app.appSettings.weeklyUpdateCheck = 0;
    }
    RecordingApp app;
    app.now = 1000 * DAY;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.steps.back(), "probe");
}

TEST(CMyAppUpdateCheck, DayArithmetic) {
    EXPECT_EQ(CMyApp::DayNumber(0), 0);
    EXPECT_EQ(CMyApp::DayNumber(DAY - 1), 0);
    EXPECT_EQ(CMyApp::DayNumber(DAY), 1);
    EXPECT_EQ(CMyApp::DayNumber(-1), 0);  // truncated toward zero
    EXPECT_TRUE(CMyApp::IsUpdateCheckDue(true, 0, 8));
    EXPECT_FALSE(CMyApp::IsUpdateCheckDue(true, 0, 7));
    EXPECT_FALSE(CMyApp::IsUpdateCheckDue(false, 0, 20000));
    // The largest stored day does not overflow into a check.
    EXPECT_FALSE(CMyApp::IsUpdateCheckDue(true, std::numeric_limits<std::int32_t>::max(), 20000));
}

TEST(CMyAppPromptModuleError, AsksWithTheExactTextAndReturnsTheAnswer) {
    CMyApp app;
    std::string asked;
    std::string caption;
    SetQuestionPresenter([&](const std::string& text, const std::string& title) {
        asked = text;
        caption = title;
        return QuestionAnswer::Yes;
    });
    EXPECT_EQ(app.PromptModuleError("SetCallBackFuncAddresses", "Ondrel"), QuestionAnswer::Yes);
    SetQuestionPresenter({});
    EXPECT_EQ(asked,
              "A programming bug was encountered in the function \"SetCallBackFuncAddresses\"\n"
              "in the module \"Ondrel\". Debug this module to fix the problem before\n"
              "using it. Press Yes for generating an error report and continue. Press\n"
              "No simply to continue. Beware that Zelvor might now be unstable\n"
              "and therefore could behave unpredictably. Do you want an error report?");
    EXPECT_EQ(caption, "Zelvor");
    // Without a presenter nobody can answer: No.
    testing::internal::CaptureStderr();
    EXPECT_EQ(app.PromptModuleError("f", "m"), QuestionAnswer::No);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("in the module \"m\""), std::string::npos);
}

TEST(CMyAppTeardown, StartsADownloadedInstallerOnlyForDownloadAndInstallWithAnExistingFile) {
    test::ScopedConfigHome home;
    QTemporaryDir dir;
    const std::string installer = test::WriteFile(dir, "setup.sh", "#!/bin/sh\n");
    Strings calls;
    auto runApp = [&](std::int32_t action, const std::string& path) {
        RecordingApp app;
        ASSERT_TRUE(app.InitInstance());
        app.appSettings.updateAction = action;
        app.installerPath = path;
        app.startInstaller = [&](const std::string& p, const std::string& parameters, const std::string& folder) {
            calls.push_back(p + "|" + parameters + "|" + folder);
        };
    };
    runApp(0, installer);
    runApp(1, "");
    runApp(1, installer + ".missing");
    EXPECT_TRUE(calls.empty());
    runApp(1, installer);
    EXPECT_EQ(calls, Strings{installer + "|update|" + TempFolder()});
}

TEST(CMyAppTeardown, InstallerRunsWithItsParameterInTheGivenFolder) {
    QTemporaryDir dir;
    QTemporaryDir work;
    const std::string report = dir.path().toStdString() + "/report.txt";
    const std::string installer =
        test::WriteFile(dir, "setup.sh", "#!/bin/sh\necho \"$1 $(pwd)\" > '" + report + "'\n");
    chmod(installer.c_str(), 0755);
    const int child = StartInstallerProcess(installer, "update", work.path().toStdString());
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::ifstream in(report);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "update " + std::filesystem::canonical(work.path().toStdString()).string());
    EXPECT_EQ(StartInstallerProcess(installer + ".missing", "update", work.path().toStdString()), 0);
}

TEST(CMyAppTeardown, TerminateAtExitEndsTheProcessWithMinusTen) {
    EXPECT_EXIT(
        {
            CMyApp app;
            app.terminateAtExit = 1;
        },
        testing::ExitedWithCode(246), "");
}

TEST(CMyAppTeardown, JoinsTheUpdateCheckBeforeGoing) {
    bool finished = false;
    {
        CMyApp app;
        app.updateCheckThread = std::thread([&] { finished = true; });
    }
    EXPECT_TRUE(finished);
}

TEST(RunApplication, ExitCodeComesFromExitInstanceWithTheLoopsResult) {
    test::ScopedConfigHome home;
    RecordingApp app;
    bool looped = false;
    EXPECT_EQ(RunApplication(app, [&] {
                  looped = true;
                  return -42;
              }),
              -42);
    EXPECT_TRUE(looped);

    test::MessageRecorder recorder;
    RecordingApp failing;
    failing.probeSucceeds = false;
    looped = false;
    EXPECT_EQ(RunApplication(failing, [&] {
                  looped = true;
                  return 5;
              }),
              0);
    EXPECT_FALSE(looped);
}

TEST(CPerformance, MeasuresTheOwnProcess) {
    CPerformance performance;
    EXPECT_EQ(performance.MeasurePerformance(), -1.0);
    ASSERT_EQ(performance.Initialise(), 1);
    volatile double sink = 0;
    for (int i = 0; i < 2000000; ++i) sink = sink + i * 0.5;
    const double percent = performance.MeasurePerformance();
    EXPECT_GE(percent, 0.0);
    EXPECT_EQ(performance.LastStatus(), 1);
}

TEST(ProgramRandom, SeedGivesTheClassicFifteenBitSequence) {
    SeedProgramRandom(1);
    EXPECT_EQ(ProgramRandom(), 41);
    EXPECT_EQ(ProgramRandom(), 18467);
    EXPECT_EQ(ProgramRandom(), 6334);
    SeedProgramRandom(99);
    for (int i = 0; i < 1000; ++i) {
        const int value = ProgramRandom();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, PROGRAM_RANDOM_MAX);
    }
}

}  // namespace
}  // namespace zelvor
