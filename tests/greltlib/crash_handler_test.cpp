// The crash handler as a program meets it: grelt_crash_demo binds libgreltlib.so and faults in the ways a
// program does; each run is a child process with its own report folder, and the dialog answers through
// GRELT_DIALOG_ANSWER. What it leaves behind is checked: exit status, report lines, the compressed dump opened
// by gdb, the dialog's texts and the mail hand-off.
#include <gtest/gtest.h>

#include "support/test_support.h"

#include <QTemporaryDir>

#include <csignal>
#include <dlfcn.h>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kProgramEnded = 214;  // exit code -42
constexpr const char* kName = "grelt_crash_demo";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

int CountOf(const std::string& text, const std::string& piece) {
    int n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

struct DemoRun {
    int status = -1;  // wait status; -1 when it had to be killed
    std::string out;  // standard output: the program's and the dialog helper's
    std::string err;
};

/// Runs the demo with a fresh environment of our choosing; with sendsSignal, sends it signal once it said
/// "waiting" (a fault signal from outside).
DemoRun RunDemo(const std::vector<std::string>& args, const std::map<std::string, std::string>& environment,
            const std::string& folder, bool sendsSignal = false, int signal = 0) {
    const std::string outPath = folder + "/stdout.txt", errPath = folder + "/stderr.txt";
    std::remove(outPath.c_str());  // an earlier run's "waiting" must not be taken for this one's
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        std::vector<std::string> argv{zelvor::test::BinDir() + "/" + kName};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> rawArgs;
        for (auto& a : argv) rawArgs.push_back(a.data());
        rawArgs.push_back(nullptr);
        std::vector<std::string> env;
        for (const auto& [name, value] : environment) env.push_back(name + "=" + value);
        std::vector<char*> rawEnv;
        for (auto& e : env) rawEnv.push_back(e.data());
        rawEnv.push_back(nullptr);
        execve(rawArgs[0], rawArgs.data(), rawEnv.data());
        _exit(127);
    }
    DemoRun run;
    bool signalled = !sendsSignal;
    for (int waited = 0; waited < 60000; waited += 5) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            run.status = status;
            break;
        }
        if (!signalled && ReadFile(outPath).find("waiting") != std::string::npos) {
            kill(child, signal);
            signalled = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (run.status == -1) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    return run;
}

class CrashHandler : public ::testing::Test {
protected:
    std::map<std::string, std::string> Environment(const std::string& answer = "close") const {
        std::map<std::string, std::string> env{{"HOME", Home()},
                                               {"PATH", stubs_.path().toStdString() + ":/usr/bin:/bin"},
                                               {"GRELT_DIALOG_ANSWER", answer},
                                               {"QT_QPA_PLATFORM", "offscreen"}};
        if (const char* asan = std::getenv("ASAN_OPTIONS")) env["ASAN_OPTIONS"] = asan;
        return env;
    }
    std::string Home() const { return home_.path().toStdString(); }
    void WriteStub(const std::string& name, const std::string& body) const {
        const std::string path = stubs_.path().toStdString() + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n" << body;
        chmod(path.c_str(), 0755);
    }
    std::string Log() const { return Home() + "/" + kName + "_Error.log"; }
    std::string Dump() const { return Home() + "/" + kName + "_minidump.dmp"; }
    DemoRun Crash(const std::vector<std::string>& args, const std::string& answer = "close") {
        return RunDemo(args, Environment(answer), work_.path().toStdString());
    }

    QTemporaryDir home_, work_, stubs_;
};

::testing::AssertionResult EndedWith(const DemoRun& run, int code) {
    if (run.status != -1 && WIFEXITED(run.status) && WEXITSTATUS(run.status) == code)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "wait status " << run.status << ", output:\n" << run.out << "\nerrors:\n"
                                         << run.err;
}

TEST_F(CrashHandler, FaultsOfEachKindInTheMainThreadAreReportedAndEndTheProgram) {
    const std::pair<const char*, const char*> cases[] = {
        {"main-segv", "Exception code: C0000005 ACCESS_VIOLATION\r\n"},
        {"main-fpe", "Exception code: C0000094 INT_DIVIDE_BY_ZERO\r\n"},
        {"main-ill", "Exception code: C000001D ILLEGAL_INSTRUCTION\r\n"},
        {"main-bus", "Exception code: C0000006 IN_PAGE_ERROR\r\n"},
        {"main-abort", "Exception code: E0000006 abort signal (SIGABRT)"},
        {"main-trap", "Exception code: 80000003 BREAKPOINT\r\n"},
        {"main-overflow", "Exception code: C00000FD STACK_OVERFLOW\r\n"},
    };
    for (const auto& [scenario, line] : cases) {
        SCOPED_TRACE(scenario);
        const DemoRun run = Crash({scenario});
        EXPECT_TRUE(EndedWith(run, kProgramEnded));
        const std::string log = ReadFile(Log());
        EXPECT_EQ(log.rfind("Problem encountered with grelt_crash_demo, version 9,8,7,6\r\n", 0), 0u) << log;
        EXPECT_NE(log.find(line), std::string::npos) << log;
        EXPECT_NE(log.find("\r\nRegisters:\r\nRAX:"), std::string::npos);
        std::remove(Log().c_str());
    }
}

TEST_F(CrashHandler, FaultsInWorkerThreadsEndTheProgramWithOneReport) {
    {
        const DemoRun run = Crash({"worker-segv"});
        EXPECT_TRUE(EndedWith(run, kProgramEnded));
        EXPECT_NE(ReadFile(Log()).find("ACCESS_VIOLATION"), std::string::npos);
    }
    {
        // Without its alternate stack the thread would die on its own guard page with nothing written.
        const DemoRun run = Crash({"thread-overflow"});
        EXPECT_TRUE(EndedWith(run, kProgramEnded));
        EXPECT_NE(ReadFile(Log()).find("Exception code: C00000FD STACK_OVERFLOW\r\n"), std::string::npos);
        EXPECT_NE(run.out.find("STACK_OVERFLOW\n"), std::string::npos);
    }
    {
        // Both threads fault at once: the first reports, the second waits, and the program ends.
        const DemoRun run = Crash({"two-threads"});
        EXPECT_TRUE(EndedWith(run, kProgramEnded));
        EXPECT_EQ(CountOf(ReadFile(Log()), "Exception code:"), 1);
    }
}

TEST_F(CrashHandler, ADiagnosticThreadsFaultLeavesTheProgramRunning) {
    const DemoRun run = Crash({"diagnostic-segv"}, "ok");
    EXPECT_TRUE(EndedWith(run, 0));
    EXPECT_NE(run.out.find("still running"), std::string::npos) << run.out;
    EXPECT_NE(ReadFile(Log()).find("ACCESS_VIOLATION"), std::string::npos);
    EXPECT_NE(run.out.find("Press OK to continue. The offending thread of execution that generated this error will "
                           "however, remain suspended."),
              std::string::npos)
        << run.out;
}

TEST_F(CrashHandler, FaultSignalsSentFromOutsideAreReportedAsFaults) {
    for (const int signal : {SIGSEGV, SIGBUS}) {
        SCOPED_TRACE(signal);
        const DemoRun run = RunDemo({"wait"}, Environment(), work_.path().toStdString(), true, signal);
        EXPECT_TRUE(EndedWith(run, kProgramEnded));
        const std::string log = ReadFile(Log());
        EXPECT_NE(log.find(signal == SIGSEGV ? "C0000005 ACCESS_VIOLATION" : "C0000006 IN_PAGE_ERROR"),
                  std::string::npos)
            << log;
    }
}

TEST_F(CrashHandler, ReportsGoToHomeDriveAndPathThenHomeThenTmpdir) {
    QTemporaryDir drive;
    auto env = Environment();
    env["HOMEDRIVE"] = drive.path().toStdString();
    env["HOMEPATH"] = "/";
    EXPECT_TRUE(EndedWith(RunDemo({"main-segv"}, env, work_.path().toStdString()), kProgramEnded));
    EXPECT_TRUE(Exists(drive.path().toStdString() + "/" + kName + "_Error.log"));
    EXPECT_FALSE(Exists(Log()));

    QTemporaryDir tmp;
    env = Environment();
    env.erase("HOME");
    env["TMPDIR"] = tmp.path().toStdString();
    EXPECT_TRUE(EndedWith(RunDemo({"main-segv"}, env, work_.path().toStdString()), kProgramEnded));
    EXPECT_TRUE(Exists(tmp.path().toStdString() + "/" + kName + "_Error.log"));
    EXPECT_TRUE(Exists(tmp.path().toStdString() + "/" + kName + "_minidump.dmp") ||
                Exists(tmp.path().toStdString() + "/" + kName + "_minidump.dmp.gz"));
}

TEST_F(CrashHandler, AFaultInATaggedModuleListsItsParametersAndLocalsAndNeverMails) {
    const std::string mailLog = stubs_.path().toStdString() + "/mail.txt";
    WriteStub("xdg-email", "echo called >> '" + mailLog + "'\n");
    const DemoRun run = Crash({"tagged", GRELT_FAULTY_MODULE}, "ok");
    EXPECT_TRUE(EndedWith(run, kProgramEnded));
    const std::string log = ReadFile(Log());
    const std::size_t origin = log.find("Possible origin of this exception!\r\n");
    ASSERT_NE(origin, std::string::npos) << log;
    const std::size_t frame = log.find("FaultyModuleEntry+", origin);
    const std::size_t mode = log.find("\tParameter 'mode' int = 1\r\n", frame);
    const std::size_t scale = log.find("\tParameter 'scale' double = 2.500000\r\n", frame);
    const std::size_t label = log.find("\tParameter 'label' const char * = \"tagged label\"\r\n", frame);
    const std::size_t counter = log.find("\tLocal 'counter' int = 7\r\n", frame);
    ASSERT_NE(frame, std::string::npos) << log;
    EXPECT_TRUE(mode < scale && scale < label && label < counter && counter != std::string::npos) << log;
    // The demo's own frames are not tagged: no locals after them.
    const std::size_t caller = log.find("main+", counter);
    ASSERT_NE(caller, std::string::npos) << log;
    EXPECT_EQ(log.find("\tLocal", caller), std::string::npos);

    EXPECT_NE(run.out.find("has unfortunately encountered a problem in a third partymodule."), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Press OK to terminate the program."), std::string::npos);
    EXPECT_FALSE(Exists(mailLog));
}

TEST_F(CrashHandler, TheCompressedDumpOpensInGdbAtTheFaultingFunction) {
    const DemoRun run = Crash({"worker-segv"});
    ASSERT_TRUE(EndedWith(run, kProgramEnded));
    // Only the compressed dump is left, and the dialog names it.
    EXPECT_FALSE(Exists(Dump()));
    ASSERT_TRUE(Exists(Dump() + ".gz")) << run.out << run.err;
    EXPECT_NE(run.out.find("'" + Dump() + ".gz'"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Send and abort"), std::string::npos);
    EXPECT_EQ(std::system(("gzip -t '" + Dump() + ".gz'").c_str()), 0);
    const std::string core = work_.path().toStdString() + "/core";
    ASSERT_EQ(std::system(("gzip -dc '" + Dump() + ".gz' > '" + core + "'").c_str()), 0);

    const std::string gdbOut = work_.path().toStdString() + "/gdb.txt";
    const std::string command = "gdb -batch -nx -ex 'thread apply all bt' '" + zelvor::test::BinDir() + "/" + kName +
                                "' '" + core + "' > '" + gdbOut + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string backtrace = ReadFile(gdbOut);
    EXPECT_NE(backtrace.find("signal SIGSEGV"), std::string::npos) << backtrace;
    EXPECT_NE(backtrace.find("CrashDemoNullWrite"), std::string::npos) << backtrace;
    EXPECT_GE(CountOf(backtrace, "\nThread "), 3) << backtrace;  // the faulting worker, the sleeper, main

    // The report's own call stack names the function too.
    EXPECT_NE(ReadFile(Log()).find("CrashDemoNullWrite"), std::string::npos);
}

TEST_F(CrashHandler, SendAndAbortHandsTheReportToTheMailClient) {
    const std::string mailLog = stubs_.path().toStdString() + "/mail.txt";
    WriteStub("xdg-email", "for a in \"$@\"; do printf '%s\\n--\\n' \"$a\" >> '" + mailLog + "'; done\n");
    {
        const DemoRun run = Crash({"main-segv"}, "abort");
        EXPECT_TRUE(EndedWith(run, kProgramEnded));
        EXPECT_FALSE(Exists(mailLog));  // "abort" sends nothing
    }
    const DemoRun run = Crash({"main-segv"}, "mail");
    EXPECT_TRUE(EndedWith(run, kProgramEnded));
    const std::string mail = ReadFile(mailLog);
    EXPECT_NE(mail.find("--subject\n--\ngrelt_crash_demo bug report\n--\n"), std::string::npos) << mail;
    EXPECT_NE(mail.find("--attach\n--\n" + Dump() + ".gz\n--\n"), std::string::npos) << mail;
    EXPECT_NE(mail.find("demo@example.invalid\n--\n"), std::string::npos) << mail;
    EXPECT_NE(mail.find("Exception code: C0000005 ACCESS_VIOLATION"), std::string::npos) << mail;

    // Without a mail client the user is told so.
    std::remove((stubs_.path().toStdString() + "/xdg-email").c_str());
    auto env = Environment("mail");
    env["PATH"] = stubs_.path().toStdString();  // no xdg-email anywhere
    const DemoRun without = RunDemo({"main-segv"}, env, work_.path().toStdString());
    EXPECT_TRUE(EndedWith(without, kProgramEnded));
    EXPECT_NE(without.out.find("Email programming interface, xdg-email, could not be loaded"), std::string::npos)
        << without.out;
}

// The exports' results, in this process: the tables' limits and the order of calls.
TEST(GreltExports, TablesHoldAHundredEntriesAndInitialisationHappensOnce) {
    void* library = dlopen((zelvor::test::BinDir() + "/libgreltlib.so").c_str(), RTLD_NOW);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto initialise = reinterpret_cast<void* (*)(const char*, const char*, void*)>(
        dlsym(library, "InitialiseGreltHandler"));
    const auto tag = reinterpret_cast<int (*)(const char*)>(dlsym(library, "TagAs3rdPartyModule"));
    const auto diagnostic = reinterpret_cast<int (*)(int)>(dlsym(library, "SetDiagnosticGreltHandler"));
    const auto use = reinterpret_cast<void* (*)()>(dlsym(library, "UseMyGreltHandler"));
    const auto stop = reinterpret_cast<void (*)()>(dlsym(library, "StopUsingGreltHandler"));
    ASSERT_TRUE(initialise && tag && diagnostic && use && stop);

    EXPECT_EQ(tag("/opt/early.so"), 0);  // nothing is stored before initialisation
    struct sigaction before {};
    sigaction(SIGSEGV, nullptr, &before);
    void* handler = initialise("first", "first@example.invalid", nullptr);
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(initialise("second", "second@example.invalid", nullptr), handler);

    for (int i = 1; i <= 100; ++i) ASSERT_EQ(tag(("/opt/module" + std::to_string(i) + ".so").c_str()), i);
    EXPECT_EQ(tag("/opt/one-too-many.so"), 100);
    for (int i = 1; i <= 100; ++i) ASSERT_EQ(diagnostic(100000 + i), 1);
    EXPECT_EQ(diagnostic(999999), 0);

    // Installing again hands back what was there (our own handler) without forgetting what to restore.
    struct sigaction installed {};
    sigaction(SIGSEGV, nullptr, &installed);
    EXPECT_EQ(use(), reinterpret_cast<void*>(installed.sa_sigaction));
    EXPECT_TRUE(installed.sa_flags & SA_ONSTACK);
    EXPECT_TRUE(installed.sa_flags & SA_NODEFER);
    stop();
    struct sigaction after {};
    sigaction(SIGSEGV, nullptr, &after);
    EXPECT_EQ(after.sa_sigaction, before.sa_sigaction);
    EXPECT_EQ(use(), reinterpret_cast<void*>(1));  // the error message's OK: not initialised any more
    EXPECT_EQ(tag("/opt/late.so"), 0);
    dlclose(library);
}

}  // namespace
