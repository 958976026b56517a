// A calculation that crashes under the real crash handler: its thread is a diagnostic one, so the report is
// written, the faulting thread stays parked and the program goes on; the module's frame is marked as the
// possible origin because loading it tagged it. Runs in a forked child, which ends without joining the parked
// thread.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "app/grelt_binding.h"
#include "app/app_profile.h"
#include "crunch/number_crunching.h"
#include "model/elements.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// The id of this process's thread named name, 0 when there is none.
pid_t ThreadNamed(const std::string& name) {
    DIR* tasks = opendir("/proc/self/task");
    pid_t found = 0;
    while (dirent* entry = tasks ? readdir(tasks) : nullptr) {
        if (entry->d_name[0] == '.') continue;
        std::string comm = ReadFile(std::string("/proc/self/task/") + entry->d_name + "/comm");
        if (!comm.empty() && comm.back() == '\n') comm.pop_back();
        if (comm == name) found = static_cast<pid_t>(std::atoi(entry->d_name));
    }
    if (tasks) closedir(tasks);
    return found;
}

// Child exit codes: what went wrong before the crash.
enum ChildResult { kWentOn = 0, kNoHandler = 10, kNoModule, kNotStarted, kNoThread, kNoReport };

[[noreturn]] void RunCrashingCalculation(const std::string& home, const std::string& moduleList) {
    setenv("HOME", home.c_str(), 1);
    setenv("GRELT_DIALOG_ANSWER", "ok", 1);
    const int out = open((home + "/stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, STDOUT_FILENO);
    alarm(60);

    GreltBinding crashHandler(test::BinDir());
    if (!crashHandler.IsInitialised()) _exit(kNoHandler);
    CAppProfile profile{"Zelvor", "1,0,0,1"};
    CElements elements{test::BinDir() + "/Elements.dat"};
    CNumberCrunchModules modules;  // loading a module tags it with the crash handler
    if (!modules.LoadAndVerifyModules(moduleList, true)) _exit(kNoModule);
    CDravikDoc doc;
    CNumberCrunching run{doc, modules, "Zelvor", nullptr};
    if (run.SetTypeOfNumberCrunching(std::string(CRUNCH_FIXTURE_DIR) + "/libfloat_module.so") != 1 ||
        !run.StartNumberCrunching())
        _exit(kNotStarted);
    pid_t calculation = 0;
    for (int i = 0; i < 5000 && (calculation = ThreadNamed("calculation")) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (calculation == 0) _exit(kNoThread);

    // An abort on the calculation thread, as a module's failed assertion would raise it.
    syscall(SYS_tgkill, getpid(), calculation, SIGABRT);
    // This thread is stopped while the report is written and let go afterwards.
    const std::string log = home + "/calculation_crash_tests_Error.log";
    for (int i = 0; i < 30000; ++i) {
        struct stat info {};
        if (stat(log.c_str(), &info) == 0) _exit(kWentOn);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    _exit(kNoReport);
}

TEST(CalculationCrash, ACrashingCalculationIsReportedAndTheProgramGoesOn) {
    QTemporaryDir home, lists;
    test::ScopedConfigHome config;
    const std::string list = test::WriteFile(
        lists, "Modules.xml",
        "<Modules xmlns:bk=\"urn:Cobrant\"><bk:Calculation MenuName=\"Floats\"><FileName>" +
            std::string(CRUNCH_FIXTURE_DIR) + "/libfloat_module.so</FileName><Configuration/></bk:Calculation></Modules>");
    const pid_t child = fork();
    if (child == 0) RunCrashingCalculation(home.path().toStdString(), list);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    ASSERT_EQ(WEXITSTATUS(status), kWentOn);

    const std::string folder = home.path().toStdString();
    const std::string log = ReadFile(folder + "/calculation_crash_tests_Error.log");
    EXPECT_NE(log.find("abort signal (SIGABRT)"), std::string::npos) << log;
    // The module's frame lies below the abort on the calculation thread's stack, and the module is tagged.
    EXPECT_NE(log.find("Possible origin of this exception!\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("libfloat_module.so"), std::string::npos);
    const std::string dialog = ReadFile(folder + "/stdout.txt");
    EXPECT_NE(dialog.find("Press OK to continue. The offending thread of execution that generated this error will "
                          "however, remain suspended."),
              std::string::npos)
        << dialog;
}

}  // namespace
}  // namespace zelvor
