// grelt-dialog run as the crashed process runs it, answered through GRELT_DIALOG_ANSWER: its texts, exit
// statuses and the hand-off to a stub xdg-email that records its arguments. With the stub stack report on
// this branch no symbols are found, so the report stays the header and the dump is not compressed.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kReport =
    "Zelvor 1.0.0.1 crashed\r\nException: EXCEPTION_ACCESS_VIOLATION\r\nRIP 0000000000401000\r\n";

struct HelperResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class HelperRun : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = dir_.path().toStdString();
        log_ = zelvor::test::WriteFile(dir_, "zelvor.log", kReport);
        dump_ = zelvor::test::WriteFile(dir_, "zelvor.core", "not a core file");
        fs::create_directory(folder_ + "/bin");
        record_ = folder_ + "/mail-args";
    }

    // A stub mail program first on PATH: its arguments, NUL-separated, go to record_.
    void InstallMailStub(int exitStatus) {
        const std::string stub = folder_ + "/bin/xdg-email";
        std::ofstream(stub) << "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" << record_ << "'\nexit " << exitStatus
                            << "\n";
        chmod(stub.c_str(), 0755);
    }

    std::vector<std::string> Arguments(std::vector<std::string> extra = {}) const {
        std::vector<std::string> args = {zelvor::test::BinDir() + "/grelt-dialog", "--log", log_, "--dump", dump_,
                                         "--program", "Zelvor", "--recipient", "the Zelvor team", "--address",
                                         "crash@zelvor.test", "--executable", "/usr/bin/zelvor", "--thread", "4242"};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    // Runs the helper with the given environment changes (nullopt: unset) and waits at most a minute.
    HelperResult Start(const std::vector<std::string>& args,
                       const std::map<std::string, std::optional<std::string>>& env) {
        const std::string outPath = folder_ + "/out", errPath = folder_ + "/err";
        const pid_t child = fork();
        if (child == 0) {
            setenv("PATH", (folder_ + "/bin").c_str(), 1);
            for (const auto& [name, value] : env) {
                if (value)
                    setenv(name.c_str(), value->c_str(), 1);
                else
                    unsetenv(name.c_str());
            }
            if (!freopen(outPath.c_str(), "w", stdout) || !freopen(errPath.c_str(), "w", stderr)) _exit(120);
            std::vector<char*> argv;
            for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(121);
        }
        HelperResult run;
        const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
        pollfd ready{pidfd, POLLIN, 0};
        if (pidfd >= 0 && poll(&ready, 1, 60000) == 0) {
            ADD_FAILURE() << "grelt-dialog hangs";
            kill(child, SIGKILL);
        }
        if (pidfd >= 0) close(pidfd);
        int status = 0;
        waitpid(child, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = Slurp(outPath);
        run.err = Slurp(errPath);
        return run;
    }

    HelperResult Answer(const std::string& answer, std::vector<std::string> extra = {}) {
        return Start(Arguments(std::move(extra)), {{"GRELT_DIALOG_ANSWER", answer}});
    }

    std::vector<std::string> MailArguments() const {
        std::vector<std::string> args;
        std::istringstream in(Slurp(record_));
        for (std::string arg; std::getline(in, arg, '\0');) args.push_back(arg);
        return args;
    }

    QTemporaryDir dir_;
    std::string folder_, log_, dump_, record_;
};

TEST_F(HelperRun, OrdinaryCrashOffersMailAndAbort) {
    const HelperResult run = Answer("abort");
    EXPECT_EQ(run.status, 0);
    const std::string textA =
        "Zelvor has unfortunately encountered a problem and regrettably will now have to terminate. A technical "
        "report, '" + log_ + "',\r\nand a crash report, '" + dump_ + "',\r\nhave been generated. To help improving "
        "Zelvor you may want to email these reports to the Zelvor team. They may unintentionally contain "
        "sensitive or private data. But this will always be treated confidentially and anonymously. If this is a "
        "concern, you should not submit the reports.";
    EXPECT_NE(run.out.find("Zelvor ran into a problem!"), std::string::npos);
    EXPECT_NE(run.out.find(textA), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Press the left button to email the reports to the Zelvor team and abort the program. "
                           "Press the right button simply to abort the program."),
              std::string::npos);
    EXPECT_NE(run.out.find("[Send and abort] [abort]"), std::string::npos);
    EXPECT_NE(run.out.find(kReport), std::string::npos);
    EXPECT_FALSE(fs::exists(record_));
    // No symbols from this dump: it is neither compressed nor touched, and nothing was added to the report.
    EXPECT_EQ(Slurp(dump_), "not a core file");
    EXPECT_EQ(Slurp(log_), kReport);

    EXPECT_EQ(Answer("close").status, 0);
    const HelperResult wrong = Answer("ok");
    EXPECT_EQ(wrong.status, 0);
    EXPECT_NE(wrong.err.find("'ok'"), std::string::npos);
}

TEST_F(HelperRun, ThirdPartyVariantsOfferOnlyOk) {
    const std::string textA =
        "Zelvor has unfortunately encountered a problem in a third partymodule.\r\nA technical report, '" + log_ +
        "',\r\nand a crash dump, '" + dump_ + "',\r\nhave been generated. Examining the uncompressed dump file "
        "with gdb may help fixing the module that caused this bug.";
    InstallMailStub(0);
    const HelperResult going = Answer("ok", {"--diagnostic", "--tag", "/opt/plugin.so"});
    EXPECT_EQ(going.status, 1);
    EXPECT_NE(going.out.find(textA), std::string::npos) << going.out;
    EXPECT_NE(going.out.find("Press OK to continue. The offending thread of execution that generated this error "
                             "will however, remain suspended."),
              std::string::npos);
    EXPECT_NE(going.out.find("Buttons: [OK]\n"), std::string::npos);

    const HelperResult ending = Answer("close", {"--terminating", "--diagnostic"});
    EXPECT_EQ(ending.status, 0);
    EXPECT_NE(ending.out.find("Press OK to terminate the program."), std::string::npos);

    const HelperResult noMail = Answer("mail", {"--diagnostic"});
    EXPECT_EQ(noMail.status, 0);
    EXPECT_NE(noMail.err.find("'mail'"), std::string::npos);
    EXPECT_FALSE(fs::exists(record_));
}

TEST_F(HelperRun, MailHandsTheReportsToXdgEmail) {
    InstallMailStub(0);
    const HelperResult run = Answer("mail");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.find("Error:"), std::string::npos) << run.out;
    const std::vector<std::string> expected = {"--subject", "Zelvor bug report", "--body", kReport,
                                               "--attach",  dump_,               "crash@zelvor.test"};
    EXPECT_EQ(MailArguments(), expected);

    fs::remove(record_);
    InstallMailStub(4);
    const HelperResult failed = Answer("mail");
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.out.find("Error: Failed to email error reports\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(record_));

    fs::remove(folder_ + "/bin/xdg-email");
    const HelperResult missing = Answer("mail");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("Error: Email programming interface, xdg-email, could not be loaded\n"),
              std::string::npos);
}

// The kernel refuses a single argument over 128 KiB: a long report is cut at a line, with a pointer to the file.
TEST_F(HelperRun, LongReportIsCutToFitTheMailBody) {
    std::string longReport;
    for (int i = 0; longReport.size() < 300 * 1024; ++i) longReport += "local value " + std::to_string(i) + "\r\n";
    log_ = zelvor::test::WriteFile(dir_, "long.log", longReport);
    InstallMailStub(0);
    EXPECT_EQ(Answer("mail").status, 1);
    const auto args = MailArguments();
    ASSERT_EQ(args.size(), 7u);
    const std::string& body = args[3];
    const std::string note =
        "\r\n[The report is longer than a mail body can carry; it is in full in " + log_ + "]\r\n";
    ASSERT_GT(body.size(), note.size());
    EXPECT_LT(body.size(), 128u * 1024);
    EXPECT_EQ(body.substr(body.size() - note.size()), note);
    const std::string kept = body.substr(0, body.size() - note.size());
    EXPECT_EQ(longReport.compare(0, kept.size(), kept), 0);
    EXPECT_EQ(kept.substr(kept.size() - 2), "\r\n");
}

TEST_F(HelperRun, BadInputNeverCrashesOrHangs) {
    // No report file, no dump: an empty report, the dialog still answers.
    log_ = folder_ + "/absent.log";
    dump_ = folder_ + "/absent.core";
    HelperResult run = Answer("abort");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Report:\n\nAnswer: abort (0)"), std::string::npos) << run.out;

    // A FIFO where the report should be would block a plain open.
    log_ = folder_ + "/fifo.log";
    ASSERT_EQ(mkfifo(log_.c_str(), 0600), 0);
    EXPECT_EQ(Answer("close").status, 0);

    // A broken command line declines without showing or mailing anything.
    InstallMailStub(0);
    auto args = Arguments();
    args.resize(args.size() - 2);  // no --thread
    run = Start(args, {{"GRELT_DIALOG_ANSWER", "mail"}});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("--thread"), std::string::npos);
    EXPECT_EQ(run.out, "");
    run = Start(Arguments({"--thread", "x7"}), {{"GRELT_DIALOG_ANSWER", "mail"}});
    EXPECT_EQ(run.status, 0);
    EXPECT_FALSE(fs::exists(record_));
}

TEST_F(HelperRun, WithoutADisplayTheTextsGoToStandardError) {
    const HelperResult run = Start(Arguments({"--no-report"}), {{"GRELT_DIALOG_ANSWER", std::nullopt},
                                                       {"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Zelvor ran into a problem!"), std::string::npos);
    // --no-report: the file is not read even though it exists.
    EXPECT_EQ(run.err.find("EXCEPTION_ACCESS_VIOLATION"), std::string::npos);

    const HelperResult none = Start(Arguments(), {{"GRELT_DIALOG_ANSWER", std::nullopt},
                                         {"QT_QPA_PLATFORM", std::nullopt},
                                         {"DISPLAY", std::nullopt},
                                         {"WAYLAND_DISPLAY", std::nullopt}});
    EXPECT_EQ(none.status, 0);
    EXPECT_NE(none.err.find("EXCEPTION_ACCESS_VIOLATION"), std::string::npos);

    // A display is named but cannot be opened: Qt must not abort the helper.
    if (fs::exists("/tmp/.X11-unix/X9998")) GTEST_SKIP() << "display :9998 exists";
    const HelperResult unreachable = Start(Arguments(), {{"GRELT_DIALOG_ANSWER", std::nullopt},
                                                {"QT_QPA_PLATFORM", std::nullopt},
                                                {"DISPLAY", ":9998"},
                                                {"WAYLAND_DISPLAY", std::nullopt}});
    EXPECT_EQ(unreachable.status, 0) << unreachable.err;
    EXPECT_NE(unreachable.err.find("Zelvor ran into a problem!"), std::string::npos);
}

}  // namespace
