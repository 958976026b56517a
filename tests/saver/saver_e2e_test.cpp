// The zelvor program under a private X server: full-screen ending rules, drawing into a given window and
// the message without one. Input comes from xdotool, as from a user.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "app/app_profile.h"
#include "app/app_settings.h"
#include "crunch/number_crunch_settings.h"
#include "render/view_settings.h"
#include "support/test_support.h"
#include "x_session.h"
// Xlib last: its macros (Status, Bool, None) clash with the toolkit's headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace zelvor::test {
namespace {

constexpr int SCREEN_W = 640, SCREEN_H = 480;
/// Bounds of the waits: generous for a loaded machine, never reached when things work.
constexpr int START_MS = 8000, EXIT_MS = 5000;
/// The saver is expected to stay: how long a wrong exit gets to show itself.
constexpr int STAYS_MS = 500;
constexpr int SAVER_STATUS = 214;  // exit code -42

int DistinctColours(Display* display, Window window, int x, int y, int w, int h) {
    XImage* image = XGetImage(display, window, x, y, w, h, AllPlanes, ZPixmap);
    if (image == nullptr) return 0;
    std::set<unsigned long> colours;
    for (int j = 0; j < h; j += 2) {
        for (int i = 0; i < w; i += 2) colours.insert(XGetPixel(image, i, j));
    }
    XDestroyImage(image);
    return static_cast<int>(colours.size());
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

/// The saver's settings in configHome get the weekly online check switched off: tests never go online.
void SwitchOffOnlineCheck(const std::string& configHome) {
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(configHome));
    {
        CAppProfile profile;
        profile.SetRegistryKey("Cobrant");
        CAppSettings settings(true);
        settings.LoadSettings();
        settings.weeklyUpdateCheck = 0;
    }  // the record saves itself
    if (previous.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", previous);
}

class SaverEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (FindProgram("Xvfb").empty()) GTEST_SKIP() << "Xvfb is not installed";
        if (FindProgram("xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
        xvfb_ = std::make_unique<XvfbServer>(screenW_, screenH_);
        ASSERT_TRUE(xvfb_->Running());
        display_ = XOpenDisplay(xvfb_->Display().c_str());
        ASSERT_NE(display_, nullptr);
        root_ = DefaultRootWindow(display_);
    }

    void TearDown() override {
        if (display_ != nullptr) XCloseDisplay(display_);
    }

    /// xscreensaverWindow: the XSCREENSAVER_WINDOW value (empty: not set).
    std::unique_ptr<ChildProcess> StartZelvor(const std::vector<std::string>& args,
                                              const std::string& platform = "xcb",
                                              const std::string& xscreensaverWindow = {},
                                              const std::string& configHome = {}) {
        SwitchOffOnlineCheck(configHome.empty() ? home_.path().toStdString() : configHome);
        std::map<std::string, std::string> set{{"DISPLAY", xvfb_->Display()},
                                               {"QT_QPA_PLATFORM", platform},
                                               {"XDG_CONFIG_HOME", configHome.empty() ? home_.path().toStdString()
                                                                                      : configHome},
                                               {"XDG_RUNTIME_DIR", home_.path().toStdString()},
                                               // In sanitizer builds: the desktop libraries the toolkit
                                               // loads (D-Bus, the GL driver, unloaded plugins) leave
                                               // blocks behind at exit; memory errors still end the run.
                                               {"ASAN_OPTIONS", "detect_leaks=0"}};
        for (const auto& [name, value] : extraEnvironment_) set[name] = value;
        std::vector<std::string> unset;
        if (xscreensaverWindow.empty()) {
            unset.push_back("XSCREENSAVER_WINDOW");
        } else {
            set["XSCREENSAVER_WINDOW"] = xscreensaverWindow;
        }
        return std::make_unique<ChildProcess>(BinDir() + "/zelvor", args, set, unset, StderrPath());
    }

    /// Every step-th pixel of every step-th row of the whole screen.
    std::vector<unsigned long> ScreenPixels(int step) {
        std::vector<unsigned long> pixels;
        XImage* image = XGetImage(display_, root_, 0, 0, SCREEN_W, SCREEN_H, AllPlanes, ZPixmap);
        if (image == nullptr) return pixels;
        for (int j = 0; j < SCREEN_H; j += step)
            for (int i = 0; i < SCREEN_W; i += step) pixels.push_back(XGetPixel(image, i, j));
        XDestroyImage(image);
        return pixels;
    }

    /// Settings of the saver's private configuration, written before it starts.
    void WriteSetting(const std::string& section, const std::string& entry, const std::string& value) {
        const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", home_.path().toUtf8());
        {
            CAppProfile profile;
            profile.SetRegistryKey("Cobrant");
            profile.WriteProfileString(section, entry, value);
        }
        qputenv("XDG_CONFIG_HOME", previous);
    }

    /// The bottom band of the screen, where the overlay names the file shown.
    std::vector<unsigned long> ScreenImage() {
        std::vector<unsigned long> pixels;
        XImage* image = XGetImage(display_, root_, 0, SCREEN_H - 40, SCREEN_W, 40, AllPlanes, ZPixmap);
        if (image == nullptr) return pixels;
        for (int j = 0; j < 40; ++j) {
            for (int i = 0; i < SCREEN_W; ++i) pixels.push_back(XGetPixel(image, i, j));
        }
        XDestroyImage(image);
        return pixels;
    }

    Window CreateHostWindow(int x, int y, int w, int h) {
        const unsigned long white = WhitePixel(display_, DefaultScreen(display_));
        const Window host = XCreateSimpleWindow(display_, root_, x, y, w, h, 0, white, white);
        XMapWindow(display_, host);
        XSync(display_, False);
        return host;
    }

    /// The overlay's file name changes from a first file to a second and back, then a move ends the saver.
    void ExpectTwoFilesToAlternate(ChildProcess& saver) {
        // The file name in the overlay tells the two apart: a, then b, then a again.
        auto shown = [&] { return ScreenImage(); };
        auto named = [](const std::vector<unsigned long>& band) {
            return std::set<unsigned long>(band.begin(), band.end()).size() > 1;
        };
        // The first paints of a file still settle the depth range (and with it the fog): the band counts once it
        // stayed the same for a while.
        std::vector<unsigned long> first, second, candidate;
        auto since = std::chrono::steady_clock::now();
        ASSERT_TRUE(WaitFor(
            [&] {
                std::vector<unsigned long> now = shown();
                const auto at = std::chrono::steady_clock::now();
                if (now != candidate || !named(now)) {
                    candidate = std::move(now);
                    since = at;
                    return false;
                }
                first = candidate;
                return at - since >= std::chrono::milliseconds(250);
            },
            START_MS))
            << "the first file's band never stayed the same";
        ASSERT_TRUE(WaitFor([&] { second = shown(); return second != first && named(second); }, START_MS))
            << "the second file did not come";
        ASSERT_TRUE(WaitFor([&] { return shown() == first; }, START_MS)) << "the first file did not come back";
        ASSERT_TRUE(MoveMouseTo(200, 200));
        EXPECT_TRUE(saver.WaitForExit(EXIT_MS));
    }

    std::string StderrPath() const { return home_.path().toStdString() + "/stderr.txt"; }

    bool Xdotool(const std::vector<std::string>& args) {
        return RunToCompletion(FindProgram("xdotool"), args, {{"DISPLAY", xvfb_->Display()}}, EXIT_MS);
    }

    bool MoveMouseTo(int x, int y) { return Xdotool({"mousemove", std::to_string(x), std::to_string(y)}); }

    int screenW_ = SCREEN_W, screenH_ = SCREEN_H;
    QTemporaryDir home_;
    std::map<std::string, std::string> extraEnvironment_;
    std::unique_ptr<XvfbServer> xvfb_;
    Display* display_ = nullptr;
    Window root_ = 0;
};

TEST_F(SaverEndToEnd, FullScreenShowsTheDemoAndEndsOnlyOnAFarMove) {
    ASSERT_TRUE(MoveMouseTo(100, 100));
    auto saver = StartZelvor({"/s"});
    ASSERT_TRUE(saver->Started());
    // The demo molecule, shaded, in the middle of the screen that was black.
    ASSERT_TRUE(WaitFor([&] { return DistinctColours(display_, root_, 220, 190, 200, 100) > 8; }, START_MS))
        << ReadAll(StderrPath());

    // Moves of 5 pixels to and fro: when a busy saver gets several of them merged into one, the merged move
    // is still 5 pixels at most (a long one-way drift is checked in-process, where no move can merge).
    for (int step = 1; step <= 6; ++step) ASSERT_TRUE(MoveMouseTo(100 + 5 * (step % 2), 100));
    EXPECT_FALSE(saver->WaitForExit(STAYS_MS)) << "moves of 5 pixels ended the saver";

    ASSERT_TRUE(MoveMouseTo(112, 100));
    const std::optional<int> status = saver->WaitForExit(EXIT_MS);
    ASSERT_TRUE(status) << "a 12-pixel jump did not end the saver";
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), SAVER_STATUS);
}

TEST_F(SaverEndToEnd, FullScreenAnimatesTheCamera) {
    ASSERT_TRUE(MoveMouseTo(100, 100));
    auto saver = StartZelvor({"/s"});
    ASSERT_TRUE(WaitFor([&] { return DistinctColours(display_, root_, 220, 190, 200, 100) > 8; }, START_MS));
    // The picture keeps changing while nobody touches anything: the oscillations turn and move the molecule.
    const auto middle = [&] { return ScreenPixels(2); };
    const std::vector<unsigned long> first = middle();
    int changes = 0;
    std::vector<unsigned long> last = first;
    ASSERT_TRUE(WaitFor(
        [&] {
            std::vector<unsigned long> now = middle();
            if (now != last) ++changes;
            last = std::move(now);
            return changes >= 3;
        },
        START_MS))
        << "the picture changed " << changes << " times";
    ASSERT_TRUE(MoveMouseTo(200, 200));
    EXPECT_TRUE(saver->WaitForExit(EXIT_MS));
}

TEST_F(SaverEndToEnd, FullScreenEndsOnAKey) {
    ASSERT_TRUE(MoveMouseTo(10, 10));
    auto saver = StartZelvor({"-s"});
    ASSERT_TRUE(WaitFor([&] { return DistinctColours(display_, root_, 0, 0, SCREEN_W, SCREEN_H) > 8; }, START_MS));
    ASSERT_TRUE(Xdotool({"key", "space"}));
    const std::optional<int> status = saver->WaitForExit(EXIT_MS);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == SAVER_STATUS);
}

TEST_F(SaverEndToEnd, FullScreenEndsWhenAnotherWindowTakesTheFocus) {
    ASSERT_TRUE(MoveMouseTo(100, 100));
    auto saver = StartZelvor({"/s"});
    ASSERT_TRUE(WaitFor([&] { return DistinctColours(display_, root_, 0, 0, SCREEN_W, SCREEN_H) > 8; }, START_MS));
    EXPECT_FALSE(saver->WaitForExit(0));
    const Window other = CreateHostWindow(SCREEN_W - 60, SCREEN_H - 60, 50, 50);
    XSetInputFocus(display_, other, RevertToParent, CurrentTime);
    XSync(display_, False);
    const std::optional<int> status = saver->WaitForExit(EXIT_MS);
    ASSERT_TRUE(status) << "the saver kept running without the focus";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == SAVER_STATUS);
}

TEST_F(SaverEndToEnd, PreviewDrawsInsideTheGivenWindowAndEndsWithIt) {
    const Window host = CreateHostWindow(50, 40, 240, 180);
    auto saver = StartZelvor({"/p", std::to_string(host)});
    ASSERT_TRUE(WaitFor([&] { return DistinctColours(display_, host, 0, 0, 240, 180) > 8; }, START_MS))
        << ReadAll(StderrPath());
    // Nothing outside the host.
    EXPECT_EQ(DistinctColours(display_, root_, 400, 300, 200, 150), 1);
    EXPECT_FALSE(saver->WaitForExit(0));

    XDestroyWindow(display_, host);
    XSync(display_, False);
    const std::optional<int> status = saver->WaitForExit(EXIT_MS);
    ASSERT_TRUE(status) << "the preview outlived its window";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == SAVER_STATUS);
}

/// Names of the threads of process pid.
std::set<std::string> ThreadNames(pid_t pid) {
    std::set<std::string> names;
    const QDir tasks(QString::fromStdString("/proc/" + std::to_string(pid) + "/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        std::string name = ReadAll(tasks.filePath(task).toStdString() + "/comm");
        if (!name.empty() && name.back() == '\n') name.pop_back();
        names.insert(name);
    }
    return names;
}

TEST_F(SaverEndToEnd, FullScreenRunsTheDefaultCalculationAndEndsItOnAFarMove) {
    // Nothing else configured: the calculation is the default one, Ondrel, from the shipped module list.
    WriteSetting("Config", "Is ScreenSaver NumberCrunching", "Yes");
    ASSERT_TRUE(MoveMouseTo(100, 100));
    auto saver = StartZelvor({"/s"});
    ASSERT_TRUE(WaitFor([&] { return ThreadNames(saver->Pid()).count("calculation") == 1; }, START_MS))
        << ReadAll(StderrPath());
    ASSERT_TRUE(WaitFor([&] { return DistinctColours(display_, root_, 0, 0, SCREEN_W, SCREEN_H) > 8; }, START_MS));
    // The argon atoms move (and the camera with them): the picture keeps changing.
    auto picture = [&] { return ScreenPixels(4); };
    std::vector<unsigned long> last = picture();
    int changes = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            std::vector<unsigned long> now = picture();
            if (now != last) ++changes;
            last = std::move(now);
            return changes >= 3;
        },
        START_MS));
    EXPECT_FALSE(saver->WaitForExit(0));
    ASSERT_TRUE(MoveMouseTo(300, 300));
    const std::optional<int> status = saver->WaitForExit(EXIT_MS);
    ASSERT_TRUE(status) << "the saver kept running with its calculation";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == SAVER_STATUS);
}

TEST_F(SaverEndToEnd, AFaultOfTheRunningSaverIsReportedByTheCrashHandlerAndEndsIt) {
    // The report goes to HOME; the dialog answers by itself.
    extraEnvironment_ = {{"HOME", home_.path().toStdString()}, {"GRELT_DIALOG_ANSWER", "close"}};
    ASSERT_TRUE(MoveMouseTo(100, 100));
    auto saver = StartZelvor({"/s"});
    ASSERT_TRUE(WaitFor([&] { return DistinctColours(display_, root_, 0, 0, SCREEN_W, SCREEN_H) > 8; }, START_MS))
        << ReadAll(StderrPath());
    kill(saver->Pid(), SIGSEGV);
    const std::optional<int> status = saver->WaitForExit(30000);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == SAVER_STATUS) << *status;
    const std::string log = ReadAll(home_.path().toStdString() + "/zelvor_Error.log");
    EXPECT_EQ(log.rfind("Problem encountered with zelvor, version " ZELVOR_FILE_VERSION "\r\n", 0), 0u) << log;
    EXPECT_NE(log.find("Exception code: C0000005 ACCESS_VIOLATION"), std::string::npos);
    EXPECT_NE(log.find("Call stack:"), std::string::npos);
}

TEST_F(SaverEndToEnd, TheCalculationsCommandsRunThroughTheShellBeforeAndAfterIt) {
    const std::string pre = home_.path().toStdString() + "/pre.txt", post = home_.path().toStdString() + "/post.txt";
    WriteSetting("Config", "Is ScreenSaver NumberCrunching", "Yes");
    WriteSetting("precmdline", "libondrel.so", "echo before > " + pre);
    WriteSetting("postcmdline", "libondrel.so", "test -f " + pre + " && echo after > " + post);
    // The commands are read once the module settings have been stored by an earlier run.
    {
        const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", home_.path().toUtf8());
        { CAppProfile profile; profile.SetRegistryKey("Cobrant"); CNumberCrunchSettings stored; }
        qputenv("XDG_CONFIG_HOME", previous);
    }
    ASSERT_TRUE(MoveMouseTo(100, 100));
    auto saver = StartZelvor({"/s"});
    ASSERT_TRUE(WaitFor([&] { return ThreadNames(saver->Pid()).count("calculation") == 1; }, START_MS));
    EXPECT_EQ(ReadAll(pre), "before\n");
    EXPECT_EQ(ReadAll(post), "");
    ASSERT_TRUE(MoveMouseTo(300, 300));
    const std::optional<int> status = saver->WaitForExit(EXIT_MS);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == SAVER_STATUS);
    EXPECT_EQ(ReadAll(post), "after\n");
}

TEST_F(SaverEndToEnd, XScreenSaverWindowIsDrawnIntoAndEndsOnAFarMove) {
    for (int way = 0; way < 2; ++way) {
        const Window host = CreateHostWindow(0, 0, 320, 240);
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%lx", host);
        ASSERT_TRUE(MoveMouseTo(100, 100));
        auto saver = way == 0 ? StartZelvor({"-window-id", hex}) : StartZelvor({"-root"}, "xcb", hex);
        ASSERT_TRUE(WaitFor([&] { return DistinctColours(display_, host, 0, 0, 320, 240) > 8; }, START_MS))
            << "way " << way << ": " << ReadAll(StderrPath());
        ASSERT_TRUE(MoveMouseTo(103, 100));
        EXPECT_FALSE(saver->WaitForExit(STAYS_MS)) << "way " << way;
        ASSERT_TRUE(MoveMouseTo(140, 130));
        const std::optional<int> status = saver->WaitForExit(EXIT_MS);
        ASSERT_TRUE(status) << "way " << way;
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == SAVER_STATUS) << "way " << way;
        XDestroyWindow(display_, host);
        XSync(display_, False);
    }
}

/// The saver's settings in the child's settings store: playlist entries, interval and shuffle flag.
void WritePlaylistSettings(const std::vector<std::string>& files, int seconds, int shuffle) {
    CAppProfile profile;
    profile.SetRegistryKey("Cobrant");
    for (std::size_t i = 0; i < files.size(); ++i) {
        profile.WriteProfileString("Config", "XYZ file" + std::to_string(i), files[i]);
    }
    profile.WriteProfileInt("Config", "Files to show", static_cast<int>(files.size()));
    profile.WriteProfileInt("Config", "Coordinate File Load Time", seconds);
    CAppSettings settings(true);
    settings.LoadSettings();
    settings.shuffleFiles = shuffle;
}  // the record saves itself as it goes

TEST_F(SaverEndToEnd, ShuffledPlaylistIsWrittenBackAtExit) {
    test::ScopedConfigHome config;
    const std::string a = DataPath("valid-cell-triclinic.xyz"), b = DataPath("xcrysden-anim.xyz");
    WritePlaylistSettings({a, b, "/no/such/file.xyz"}, 180, 1);

    ASSERT_TRUE(MoveMouseTo(100, 100));
    auto saver = StartZelvor({"/s"}, "xcb", {}, config.Path());
    ASSERT_TRUE(WaitFor([&] { return DistinctColours(display_, root_, 0, 0, SCREEN_W, SCREEN_H) > 8; }, START_MS));
    ASSERT_TRUE(MoveMouseTo(200, 200));
    const std::optional<int> status = saver->WaitForExit(EXIT_MS);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == SAVER_STATUS);

    // The order in use was saved: the same entries, the missing file as the demo marker.
    CAppProfile profile;
    profile.SetRegistryKey("Cobrant");
    std::multiset<std::string> saved;
    for (int i = 0; i < 3; ++i) saved.insert(profile.GetProfileString("Config", "XYZ file" + std::to_string(i), ""));
    EXPECT_EQ(saved, (std::multiset<std::string>{a, b, "nonexistent.xyz"}));
    EXPECT_EQ(profile.GetProfileInt("Config", "Files to show", 0), 3);
}

/// Stored view settings under which nothing oscillates ("Custom" with every switch off), the detail stays as it
/// is (no tessellation governor) and no surface arrives late from its worker: a still picture.
void WriteStillViewSettings() {
    // Under the program's settings key, where it reads them (without the key they would go to a file it
    // never looks at, and the picture would keep turning).
    CAppProfile profile;
    profile.SetRegistryKey("Cobrant");
    C3DViewSettings view;
    std::fill(std::begin(view.animateAim), std::end(view.animateAim), 0);
    std::fill(std::begin(view.animateEye), std::end(view.animateEye), 0);
    view.animatePhi = view.animatePsi = view.animateTheta = 0;
    view.animateOpaqueness = view.animateAtomScale = 0;
    std::fill(std::begin(view.oscillateClipPlane), std::end(view.oscillateClipPlane), 0);
    view.predefinedAnimation = 7;
    view.optimiseTessellation = 0;
    view.showSurface = 0;
}  // the record saves itself

TEST_F(SaverEndToEnd, TwoPlaylistFilesAlternateAtTheInterval) {
    test::ScopedConfigHome config;
    WritePlaylistSettings({DataPath("valid-cell-triclinic.xyz"), DataPath("xcrysden-anim.xyz")}, 1, 0);
    // The file name in the overlay is compared pixel for pixel: the molecule must not move through it.
    WriteStillViewSettings();

    ASSERT_TRUE(MoveMouseTo(100, 100));
    auto saver = StartZelvor({"/s"}, "xcb", {}, config.Path());
    ExpectTwoFilesToAlternate(*saver);
}

TEST_F(SaverEndToEnd, AFolderGivenOnTheCommandLineIsShownAtTheGivenTimeInsteadOfThePlaylist) {
    test::ScopedConfigHome config;
    // The stored playlist has one file and a long interval: what alternates comes from the command line.
    WritePlaylistSettings({DataPath("xcrysden-anim.xyz")}, 180, 0);
    WriteStillViewSettings();
    QTemporaryDir folder;
    for (const char* name : {"valid-cell-triclinic.xyz", "xcrysden-anim.xyz"})
        ASSERT_TRUE(QFile::copy(QString::fromStdString(DataPath(name)), folder.filePath(name)));
    ASSERT_TRUE(MoveMouseTo(100, 100));
    auto saver = StartZelvor({"-root", "--file", folder.path().toStdString(), "--load-time", "1"}, "xcb", {},
                             config.Path());
    ExpectTwoFilesToAlternate(*saver);
}

TEST_F(SaverEndToEnd, PreviewWithoutAUsableWindowSaysSoAndEnds) {
    const std::string message = "Parent window handle not supplied on commandline.\nZelvor terminates.\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/p"}, {"/p", "0"}, {"/p", "0x7ffffff"}, {"/p:12ab"}}) {
        // Headless presentation: the message goes to standard error instead of a box that waits for a click.
        auto saver = StartZelvor(args, "offscreen");
        const std::optional<int> status = saver->WaitForExit(EXIT_MS);
        ASSERT_TRUE(status) << args[0];
        EXPECT_TRUE(WIFEXITED(*status)) << args[0];
        EXPECT_EQ(ReadAll(StderrPath()).find(message) != std::string::npos, true)
            << args[0] << ": " << ReadAll(StderrPath());
    }
}

/// The first window below `under` whose name is `name` (0 when there is none).
Window FindWindowNamed(Display* display, Window under, const std::string& name) {
    char* text = nullptr;
    if (XFetchName(display, under, &text) != 0 && text != nullptr) {
        const bool match = name == text;
        XFree(text);
        if (match) return under;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, under, &root, &parent, &children, &count) == 0) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) found = FindWindowNamed(display, children[i], name);
    if (children != nullptr) XFree(children);
    return found;
}

/// Configure mode needs a screen larger than its sheet, so that centring is not cut by the screen's edges.
class ConfigureEndToEnd : public SaverEndToEnd {
protected:
    ConfigureEndToEnd() { screenW_ = 1920, screenH_ = 1440; }
};

TEST_F(ConfigureEndToEnd, SheetIsCentredOverTheGivenWindowAndEscapeEndsIt) {
    const Window host = CreateHostWindow(760, 520, 400, 300);
    auto saver = StartZelvor({"/c", std::to_string(host)});
    const std::string caption = "Configure Zelvor, Molecular Screensaver";
    Window sheet = 0;
    XWindowAttributes attributes{};
    // Mapped and placed: the toolkit maps the window once its geometry is set.
    ASSERT_TRUE(WaitFor(
        [&] {
            sheet = FindWindowNamed(display_, root_, caption);
            return sheet != 0 && XGetWindowAttributes(display_, sheet, &attributes) != 0 &&
                   attributes.map_state == IsViewable;
        },
        START_MS))
        << ReadAll(StderrPath());
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display_, sheet, root_, 0, 0, &x, &y, &child);
    EXPECT_NEAR(x + attributes.width / 2, 760 + 200, 2);
    EXPECT_NEAR(y + attributes.height / 2, 520 + 150, 2);
    EXPECT_GT(attributes.width, 400);

    // Escape is Cancel, which ends configure mode.
    ASSERT_TRUE(Xdotool({"windowfocus", "--sync", std::to_string(sheet)}));
    ASSERT_TRUE(Xdotool({"key", "Escape"}));
    const std::optional<int> status = saver->WaitForExit(EXIT_MS);
    ASSERT_TRUE(status) << "the sheet did not end on Escape";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == SAVER_STATUS);
}

}  // namespace
}  // namespace zelvor::test
