// The online update check against a real HTTPS server on the loopback interface.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/download_thread.h"
#include "app/my_app.h"
#include "app/update_list.h"
#include "platform/app_message.h"
#include "platform/shared_message.h"
#include "support/test_support.h"
#include "tls_test_server.h"

namespace zelvor {
namespace {

using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

constexpr const char* OWN_VERSION = "1,5,1962,2778";
constexpr const char* LIST_PATH = "/development/Updates.xml";
constexpr const char* DOWNLOAD_PATH = "/development/UpdateFile.asp";
constexpr auto DEADLINE = std::chrono::seconds(20);

std::string UpdateList(const std::string& elements, const std::string& padding = "") {
    return "<?xml version=\"1.0\"?>\n<Updates xmlns=\"urn:Cobrant\">\n" + padding + elements + "</Updates>\n";
}

std::string Application(const std::string& name, const std::string& version) {
    return "  <Application Name=\"" + name + "\">" + version + "</Application>\n";
}

/// Bytes that differ from place to place, so that a misplaced piece shows.
std::string Installer(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 131 + i / 7) & 0xff);
    return body;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// A progress dialog that records what the check posts to it and closes as the real one does.
class FakeDialog : public CUpdateProgressDialog {
public:
    FakeDialog(const ProgressDialogRequest& request)
        : request(request), sink_([this](const AppMessage& message) { Received(message); }) {}

    MessageTarget& Target() override { return sink_; }
    void Present() override {}
    void ShowRunning() override {}
    bool WindowExists() const override { return open_; }
    void Close() override {
        request.cancel->Set();
        open_ = false;
    }

    /// wParam of each status message (progress with lParam 0), in order; -1 for each close message.
    std::vector<std::intptr_t> Steps() const {
        std::vector<std::intptr_t> steps;
        for (const AppMessage& m : sink_.Messages()) {
            if (m.code == MSG_CLOSE_DOWNLOAD_DIALOG) steps.push_back(-1);
            if (m.code == MSG_DOWNLOAD_PROGRESS && m.lParam == 0) steps.push_back(m.wParam);
        }
        return steps;
    }
    /// (bytes, total) of each progress message.
    std::vector<std::pair<std::intptr_t, std::intptr_t>> Progress() const {
        std::vector<std::pair<std::intptr_t, std::intptr_t>> progress;
        for (const AppMessage& m : sink_.Messages())
            if (m.code == MSG_DOWNLOAD_PROGRESS && m.lParam > 0) progress.emplace_back(m.wParam, m.lParam);
        return progress;
    }
    bool WaitForProgress() {
        std::unique_lock lock(mutex_);
        return progressed_.wait_for(lock, DEADLINE, [this] { return progressSeen_; });
    }

    ProgressDialogRequest request;

private:
    void Received(const AppMessage& message) {
        if (message.code == MSG_CLOSE_DOWNLOAD_DIALOG) Close();
        if (message.code == MSG_DOWNLOAD_PROGRESS && message.lParam > 0) {
            std::lock_guard lock(mutex_);
            progressSeen_ = true;
            progressed_.notify_all();
        }
    }

    HeadlessMessageSink sink_;
    std::atomic<bool> open_{true};
    std::mutex mutex_;
    std::condition_variable progressed_;
    bool progressSeen_ = false;
};

/// Points TMPDIR at a fresh folder inside a folder of its own, so that anything written beside it shows.
class ScopedTempFolder {
public:
    ScopedTempFolder() : path_(outer_.path().toStdString() + "/tmp") {
        fs::create_directory(path_);
        if (const char* old = std::getenv("TMPDIR")) previous_ = old;
        setenv("TMPDIR", path_.c_str(), 1);
    }
    ~ScopedTempFolder() {
        if (previous_)
            setenv("TMPDIR", previous_->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    const std::string& Path() const { return path_; }
    /// Names in the folder, and anything that appeared beside it.
    Strings Contents() const {
        Strings names;
        for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
        for (const auto& entry : fs::directory_iterator(outer_.path().toStdString()))
            if (entry.path() != path_) names.push_back("../" + entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void Empty() const {
        for (const auto& entry : fs::directory_iterator(path_)) fs::remove_all(entry.path());
    }

private:
    QTemporaryDir outer_;
    std::string path_;
    std::optional<std::string> previous_;
};

/// Records the shared message each time the main window is asked to show it.
class MainWindow : public MessageTarget {
public:
    MainWindow() { SetMainWindowTarget(this); }
    ~MainWindow() override { SetMainWindowTarget(nullptr); }
    void Post(const AppMessage& message) override {
        if (message.code != MSG_SHOW_MESSAGE) return;
        std::lock_guard lock(mutex_);
        shown_.push_back(GetSharedMessage());
    }
    Strings Shown() {
        std::lock_guard lock(mutex_);
        Strings shown;
        shown.swap(shown_);
        return shown;
    }

private:
    std::mutex mutex_;
    Strings shown_;
};

class UpdateCheck : public testing::Test {
protected:
    UpdateCheck() { Configure(app); }

    /// Points app at the test server, trusting its certificate, with the fake dialog.
    void Configure(CMyApp& target) {
        target.SetRegistryKey("Cobrant");
        target.WriteProfileString(UpdateEndpoint::UPDATE_SERVER_SECTION, UpdateEndpoint::UPDATE_SERVER_ENTRY,
                                  server.BaseUrl());
        target.updateTransferOptions.caFile = server.CaFile();
        target.createProgressDialog = [this](const ProgressDialogRequest& request) {
            auto created = std::make_unique<FakeDialog>(request);
            dialog = created.get();
            return created;
        };
    }

    /// Runs one visible check to its end.
    void RunCheck(int updateAction) {
        app.appSettings.updateAction = updateAction;
        app.CheckOnlineForUpdate(true, 0);
        app.WaitForUpdateCheck();
    }

    void AnswerDownload(const std::string& disposition, const std::string& body) {
        test::TestResponse answer;
        if (!disposition.empty()) answer.headers.push_back("Content-Disposition: " + disposition);
        answer.body = body;
        server.Answer(DOWNLOAD_PATH, answer);
    }

    // Made before TMPDIR is changed, so that their own temporary folders lie elsewhere.
    test::ScopedConfigHome home;
    test::TlsTestServer server;
    ScopedTempFolder temp;
    MainWindow mainWindow;
    CMyApp app{"Zelvor", OWN_VERSION};
    FakeDialog* dialog = nullptr;
};

TEST_F(UpdateCheck, OnlyANewerVersionOfThisProgramCountsAndAnAnswerIsReadToTenThousandBytesAtMost) {
    // The list cannot be had: the dialog closes, nothing is said.
    RunCheck(0);
    EXPECT_EQ(dialog->Steps(), (std::vector<std::intptr_t>{4, 3, -1}));
    EXPECT_TRUE(mainWindow.Shown().empty());
    EXPECT_EQ(dialog->request.serverName, "127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_TRUE(dialog->request.show);

    // Other programs, another namespace, another spelling, the same version and a "higher" third number whose
    // joined digits (19630) are smaller than 19622778: no update, one status 1 per matching element.
    server.Answer(LIST_PATH, {200, {}, UpdateList(Application("Zelvor Tools", "9,9,9999,9999") +
                                                  Application("Zelvor", OWN_VERSION) +
                                                  "<x:Other xmlns:x=\"urn:Other\"><x:Application Name=\"Zelvor\">"
                                                  "9,9,9999,9999</x:Application></x:Other>\n" +
                                                  Application("zelvor", "2,0,2000,0") +
                                                  Application("Zelvor", "1,5,1963,0"))});
    RunCheck(0);
    EXPECT_EQ(dialog->Steps(), (std::vector<std::intptr_t>{4, 3, 2, 1, 1}));
    EXPECT_TRUE(mainWindow.Shown().empty());

    // The same newer version, once inside the first 10000 bytes of the answer and once just beyond them.
    const std::string newer = Application("Zelvor", "1,5,1962,2779");
    const std::size_t frame = UpdateList(newer).size();
    for (const std::size_t total : {std::size_t{9990}, std::size_t{10010}}) {
        const std::string padding = "<!--" + std::string(total - frame - 8, ' ') + "-->\n";
        const std::string list = UpdateList(newer, padding);
        ASSERT_EQ(list.size(), total);
        server.Answer(LIST_PATH, {200, {}, list});
        RunCheck(0);
        EXPECT_EQ(mainWindow.Shown(),
                  total < UPDATE_LIST_MAX_BYTES ? Strings{"A newer version of Zelvor is available online!"} : Strings{})
            << total;
    }
    EXPECT_EQ(server.Requests(), Strings(4, LIST_PATH));
}

TEST_F(UpdateCheck, ANewerVersionIsDownloadedCompleteUnderItsOwnNameAndKeptForTheExit) {
    server.Answer(LIST_PATH, {200, {}, UpdateList(Application("Zelvor", "1,5,1962,2779"))});
    const std::string installer = Installer(100000);
    AnswerDownload("attachment; filename=\"ZelvorSetup 1.6.run\"", installer);
    RunCheck(UPDATE_ACTION_DOWNLOAD);

    const std::string path = temp.Path() + "/ZelvorSetup 1.6.run";
    EXPECT_EQ(mainWindow.Shown(), Strings{"Download of new version of Zelvor has completed.\nIt will "
                                          "prompt you to install it when you exit this program."});
    EXPECT_EQ(app.installerPath, path);
    EXPECT_EQ(temp.Contents(), Strings{"ZelvorSetup 1.6.run"});
    EXPECT_TRUE(ReadFile(path) == installer);
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    EXPECT_EQ(server.Requests(), (Strings{LIST_PATH, std::string(DOWNLOAD_PATH) + "?file=ZelvorInstaller.exe"}));
    // Progress in pieces of at most 16384 bytes, up to the whole length; the dialog stays open.
    const auto progress = dialog->Progress();
    ASSERT_GE(progress.size(), 100000u / 16384);
    std::intptr_t previous = 0;
    for (const auto& [bytes, total] : progress) {
        EXPECT_EQ(total, 100000);
        EXPECT_GT(bytes, previous);
        EXPECT_LE(bytes - previous, 16384);
        previous = bytes;
    }
    EXPECT_EQ(previous, 100000);
    EXPECT_TRUE(dialog->WindowExists());

    // "Tell me" only tells, and downloads nothing.
    RunCheck(0);
    EXPECT_EQ(mainWindow.Shown(), Strings{"A newer version of Zelvor is available online!"});
    EXPECT_EQ(dialog->Steps(), (std::vector<std::intptr_t>{4, 3, 2, -1}));
    EXPECT_EQ(server.Requests().size(), 3u);
}

TEST_F(UpdateCheck, TheServerNamesOnlyAPlainFileInsideTheTemporaryFolder) {
    server.Answer(LIST_PATH, {200, {}, UpdateList(Application("Zelvor", "1,5,1962,2779"))});
    const std::string installer = Installer(3000);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"attachment; filename=ZelvorSetup.run; size=3000", "ZelvorSetup.run"},
        {"attachment; filename=../../x", "x"},
        {"attachment; filename=\"/etc/passwd\"", "passwd"},
        {"attachment; filename=.hidden", "hidden"},
        {"attachment; filename=..", ""},
        {"attachment", ""},
        {"", ""},
    };
    for (const auto& [disposition, name] : cases) {
        SCOPED_TRACE(disposition);
        app.installerPath.clear();
        AnswerDownload(disposition, installer);
        RunCheck(UPDATE_ACTION_DOWNLOAD);
        const Strings shown = mainWindow.Shown();
        ASSERT_EQ(shown.size(), 1u);
        if (name.empty()) {
            EXPECT_EQ(shown[0], "ERROR!  The server named no usable file for the download");
            EXPECT_EQ(app.installerPath, "");
            EXPECT_EQ(temp.Contents(), Strings{});
            EXPECT_EQ(dialog->Steps().back(), -1);
        } else {
            EXPECT_EQ(app.installerPath, temp.Path() + "/" + name);
            EXPECT_EQ(temp.Contents(), Strings{name});
            EXPECT_TRUE(ReadFile(app.installerPath) == installer);
        }
        temp.Empty();
    }
}

TEST_F(UpdateCheck, AFailedOrShortDownloadIsReportedAndNeverOffered) {
    server.Answer(LIST_PATH, {200, {}, UpdateList(Application("Zelvor", "1,5,1962,2779"))});
    const std::string disposition = "Content-Disposition: attachment; filename=ZelvorSetup.run";
    auto runDownload = [&](test::TestResponse answer) {
        answer.headers.push_back(disposition);
        server.Answer(DOWNLOAD_PATH, answer);
        RunCheck(UPDATE_ACTION_DOWNLOAD);
        EXPECT_EQ(app.installerPath, "");
        EXPECT_EQ(temp.Contents(), Strings{});
        const Strings shown = mainWindow.Shown();
        return shown.size() == 1 ? shown[0] : "(" + std::to_string(shown.size()) + " messages)";
    };
    EXPECT_EQ(runDownload({500, {}, "busy"}), "ERROR!  The server answered the download with status 500");
    test::TestResponse unsized{200, {}, Installer(5000)};
    unsized.sendContentLength = false;
    EXPECT_EQ(runDownload(unsized), "ERROR!  The server did not say how large the download is");
    test::TestResponse empty{200, {}, ""};
    EXPECT_EQ(runDownload(empty), "ERROR!  The server did not say how large the download is");
    test::TestResponse shortened{200, {}, Installer(100000)};
    shortened.closeAfter = 30000;
    const std::string shortMessage = runDownload(shortened);
    EXPECT_EQ(shortMessage.rfind("ERROR!  ", 0), 0u) << shortMessage;

    // Certificates are checked: without the test's own trust anchor the server is refused.
    app.updateTransferOptions.caFile.clear();
    const std::string untrusted = runDownload({200, {}, "x"});
    EXPECT_NE(untrusted.find("ERROR!  SSL certificate problem"), std::string::npos) << untrusted;
    // Plain http goes to loopback hosts only; a remote one is refused before any connection.
    const int connections = server.Connections();
    app.WriteProfileString("Config", "Update Server", "http://updates.example.invalid/");
    EXPECT_EQ(runDownload({}), "ERROR!  The update server must be reached over https: "
                               "http://updates.example.invalid/development/Updates.xml");
    EXPECT_EQ(server.Connections(), connections);
}

TEST_F(UpdateCheck, CancelDuringTheDownloadRemovesThePartialFile) {
    server.Answer(LIST_PATH, {200, {}, UpdateList(Application("Zelvor", "1,5,1962,2779"))});
    test::TestResponse held{200, {"Content-Disposition: attachment; filename=ZelvorSetup.run"}, Installer(200000)};
    held.holdAfter = 40000;
    server.Answer(DOWNLOAD_PATH, held);
    app.appSettings.updateAction = UPDATE_ACTION_DOWNLOAD;
    app.CheckOnlineForUpdate(true, 0);
    ASSERT_TRUE(dialog->WaitForProgress());
    EXPECT_EQ(temp.Contents().size(), 1u);  // the partial download, under its temporary name
    dialog->Close();                        // as the dialog's Cancel does
    app.WaitForUpdateCheck();
    server.Release();

    EXPECT_EQ(mainWindow.Shown(), Strings{"Download cancelled"});
    EXPECT_EQ(app.installerPath, "");
    EXPECT_EQ(temp.Contents(), Strings{});
    EXPECT_LE(dialog->Progress().back().first, 40000);
}

TEST(UpdateVersions, NumbersOfAnyLengthCompareWithoutOverflow) {
    // 29 digits: more than any machine integer holds.
    EXPECT_TRUE(IsNewerVersion("1,5,99999999999999999999999999,9", OWN_VERSION));
    EXPECT_FALSE(IsNewerVersion(OWN_VERSION, "1,5,99999999999999999999999999,9"));
    EXPECT_FALSE(IsNewerVersion("1,5,0001962,2778", OWN_VERSION));  // leading zeros change nothing
    EXPECT_TRUE(IsNewerVersion(" 1,5,1962,2779 trailing", OWN_VERSION));
    EXPECT_FALSE(IsNewerVersion("1,5", OWN_VERSION));  // no second comma: zero
    EXPECT_FALSE(IsNewerVersion("1,5,x1962,2779", OWN_VERSION));
}

TEST(UpdateVersions, AListThatDeclaresEntitiesGivesNoVersion) {
    // Each reference is expanded where the text is read: 4 KB referenced 2000 times would be 8 MB of version.
    const std::string refs = [] {
        std::string r;
        for (int i = 0; i < 2000; ++i) r += "&e;";
        return r;
    }();
    const std::string plain = UpdateList(Application("Zelvor", "1,5,1962,2779"));
    ASSERT_EQ(ListedVersions(plain, "Zelvor"), std::vector<std::string>{"1,5,1962,2779"});
    const std::string declared = "<?xml version=\"1.0\"?>\n<!DOCTYPE Updates [<!ENTITY e \"" + std::string(4096, '9') +
                                 "\">]>\n<Updates xmlns=\"urn:Cobrant\">" + Application("Zelvor", "1,5,1962," + refs) +
                                 "</Updates>\n";
    EXPECT_TRUE(ListedVersions(declared, "Zelvor").empty());
    // A document type without entities is harmless and still read.
    const std::string typed = "<?xml version=\"1.0\"?>\n<!DOCTYPE Updates>\n" + plain.substr(plain.find('\n') + 1);
    EXPECT_EQ(ListedVersions(typed, "Zelvor"), std::vector<std::string>{"1,5,1962,2779"});
}

/// An application whose start-up needs no processor measurement.
class StartingApp : public CMyApp {
public:
    StartingApp() : CMyApp("Zelvor", OWN_VERSION) {}

protected:
    int InitialisePerformanceMonitor() override { return 1; }
};

TEST_F(UpdateCheck, StartUpNeverWaitsForASilentServerAndTheWeeklyFlagTurnsTheCheckOff) {
    server.Answer(LIST_PATH, {200, {}, "", true, std::string::npos, std::string::npos, true});
    {
        StartingApp starting;
        Configure(starting);
        const auto begin = Clock::now();
        ASSERT_TRUE(starting.InitInstance());
        EXPECT_LT(Clock::now() - begin, std::chrono::seconds(2));
        EXPECT_EQ(starting.appSettings.lastUpdateCheckDay, CMyApp::DayNumber(std::time(nullptr)));
        EXPECT_FALSE(dialog->request.show);
        EXPECT_TRUE(starting.updateCheckThread.joinable());
        while (server.Requests().empty() && Clock::now() - begin < DEADLINE) std::this_thread::yield();
        ASSERT_EQ(server.Requests().size(), 1u);
    }  // the application object goes while the server is still silent: the check is stopped, not waited out
    EXPECT_TRUE(mainWindow.Shown().empty());

    // Left alone, the check gives up by itself once nothing arrives for the low-speed time.
    app.updateTransferOptions.lowSpeedSeconds = 1;
    const auto begin = Clock::now();
    RunCheck(0);
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(10));
    const Strings shown = mainWindow.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("ERROR!  Operation too slow", 0), 0u) << shown[0];

    // The silent weekly check fails just as well, but shows no box over what the program shows.
    app.CheckOnlineForUpdate(false, 0);
    app.WaitForUpdateCheck();
    EXPECT_TRUE(mainWindow.Shown().empty());

    // With the weekly flag off, start-up does not go online at all.
    const int connections = server.Connections();
    StartingApp off;
    Configure(off);
    off.appSettings.LoadSettings();
    off.appSettings.weeklyUpdateCheck = 0;
    ASSERT_TRUE(off.InitInstance());
    EXPECT_FALSE(off.updateCheckThread.joinable());
    EXPECT_EQ(server.Connections(), connections);
}

}  // namespace
}  // namespace zelvor
