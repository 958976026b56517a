// The saver's command line: the switches the system and XScreenSaver start it with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "saver/command_line.h"
#include "saver/frame_rate_meter.h"

namespace zelvor {
namespace {

ScreenSaverMode ModeOf(const std::vector<std::string>& args) {
    return RunModeForLetter(NormaliseCommandLine(args).modeLetter);
}

TEST(CommandLine, EverySpellingOfFullScreenSelectsFullScreen) {
    for (const char* arg : {"/S", "-s", "s", "/s"}) {
        const NormalisedCommandLine line = NormaliseCommandLine({arg});
        EXPECT_EQ(line.modeLetter, "s") << arg;
        EXPECT_EQ(line.modeArgument, "") << arg;
        EXPECT_EQ(ModeOf({arg}), FULL_SCREEN_MODE) << arg;
    }
}

TEST(CommandLine, AnyOtherLetterOrAFileNameSelectsFullScreen) {
    EXPECT_EQ(ModeOf({"/x"}), FULL_SCREEN_MODE);
    EXPECT_EQ(ModeOf({"molecule.xyz"}), FULL_SCREEN_MODE);
}

TEST(CommandLine, ConfigureWithAndWithoutParent) {
    EXPECT_EQ(ModeOf({}), CONFIGURE_MODE);
    EXPECT_EQ(NormaliseCommandLine({}).modeLetter, "");
    EXPECT_EQ(ModeOf({"/c"}), CONFIGURE_MODE);
    EXPECT_EQ(ReadWindowHandle(NormaliseCommandLine({"/c"}).modeArgument), 0u);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/c:5678"}, {"-c", "5678"}, {"/c", "5678"}}) {
        const NormalisedCommandLine line = NormaliseCommandLine(args);
        EXPECT_EQ(RunModeForLetter(line.modeLetter), CONFIGURE_MODE);
        EXPECT_EQ(ReadWindowHandle(line.modeArgument), 5678u) << args[0];
    }
    // The colon becomes a blank that stays in front of the argument.
    EXPECT_EQ(NormaliseCommandLine({"/c:1234"}).modeArgument, " 1234");
}

TEST(CommandLine, PreviewTakesTheWindowId) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/p", "5678"}, {"/p:5678"}, {"/P5678"}}) {
        const NormalisedCommandLine line = NormaliseCommandLine(args);
        EXPECT_EQ(RunModeForLetter(line.modeLetter), PREVIEW_MODE);
        EXPECT_EQ(ReadWindowHandle(line.modeArgument), 5678u);
    }
    EXPECT_EQ(NormaliseCommandLine({"/p", "1234"}).modeArgument, "1234");
    EXPECT_EQ(ReadWindowHandle(NormaliseCommandLine({"/p", "0x2A00004"}).modeArgument), 0x2A00004u);
    EXPECT_EQ(ReadWindowHandle(NormaliseCommandLine({"/p"}).modeArgument), 0u);
}

TEST(CommandLine, OverlongInputIsCutNotOverrun) {
    const std::string huge(100000, '7');
    const NormalisedCommandLine line = NormaliseCommandLine({"/p", huge, huge});
    EXPECT_EQ(line.modeLetter, "p");
    // Letter and the digits that fitted: the joined line never grows past its capacity.
    EXPECT_EQ(line.modeArgument, std::string(MAX_JOINED_COMMAND_LINE - 2, '7'));
    // Far too many digits for any window: not a window.
    EXPECT_EQ(ReadWindowHandle(line.modeArgument), 0u);

    std::vector<std::string> many(5000, "/");
    many.push_back("s");
    EXPECT_EQ(NormaliseCommandLine(many).modeLetter, "");  // the letter came after the capacity
}

TEST(WindowHandle, DecimalHexBlanksAndGarbage) {
    EXPECT_EQ(ReadWindowHandle("  42"), 42u);
    EXPECT_EQ(ReadWindowHandle("0x1f"), 31u);
    EXPECT_EQ(ReadWindowHandle("0X1F"), 31u);
    EXPECT_EQ(ReadWindowHandle("017"), 17u);  // decimal, never octal
    EXPECT_EQ(ReadWindowHandle("12ab"), 12u);
    EXPECT_EQ(ReadWindowHandle("abc"), 0u);
    EXPECT_EQ(ReadWindowHandle(""), 0u);
    EXPECT_EQ(ReadWindowHandle("0x"), 0u);
    EXPECT_EQ(ReadWindowHandle("99999999999999999999999"), 0u);
}

TEST(XScreenSaverConventions, RootWindowIdAndEnvironment) {
    XScreenSaverRequest r = ReadXScreenSaverConventions({"-root"}, nullptr);
    EXPECT_TRUE(r.applies);
    EXPECT_FALSE(r.embed);

    r = ReadXScreenSaverConventions({"-root"}, "0x400007");
    EXPECT_TRUE(r.applies);
    EXPECT_TRUE(r.embed);
    EXPECT_EQ(r.window, 0x400007u);

    r = ReadXScreenSaverConventions({"-window-id", "0x600002"}, "0x400007");
    EXPECT_TRUE(r.embed);
    EXPECT_EQ(r.window, 0x600002u);
    r = ReadXScreenSaverConventions({"-window-id", "123"}, nullptr);
    EXPECT_EQ(r.window, 123u);
    r = ReadXScreenSaverConventions({"-window-id"}, nullptr);
    EXPECT_TRUE(r.embed);
    EXPECT_EQ(r.window, 0u);  // no id: no usable window

    r = ReadXScreenSaverConventions({}, "0x400007");
    EXPECT_TRUE(r.embed);
    EXPECT_EQ(r.window, 0x400007u);

    // The Windows switches are not XScreenSaver's, even with the variable set.
    EXPECT_FALSE(ReadXScreenSaverConventions({"/s"}, "0x400007").applies);
    EXPECT_FALSE(ReadXScreenSaverConventions({"/p", "12"}, nullptr).applies);
    EXPECT_FALSE(ReadXScreenSaverConventions({}, nullptr).applies);
    EXPECT_FALSE(ReadXScreenSaverConventions({}, "").applies);
}

TEST(ViewFileArgument, OnlyTheViewOptionWithOneFile) {
    EXPECT_EQ(ReadViewFileArgument({"--view", "/tmp/a.xyz"}), "/tmp/a.xyz");
    EXPECT_EQ(ReadViewFileArgument({"--view"}), "");
    EXPECT_EQ(ReadViewFileArgument({"/tmp/a.xyz"}), "");
}

TEST(FpsFlag, IsTakenOutAndNeverChangesTheMode) {
    struct Case {
        std::vector<std::string> args, rest;
        ScreenSaverMode mode;
    };
    const Case cases[] = {{{"/s", "--fps"}, {"/s"}, FULL_SCREEN_MODE},
                          {{"-fps"}, {}, CONFIGURE_MODE},
                          {{"--fps", "/p", "12"}, {"/p", "12"}, PREVIEW_MODE},
                          {{"--view", "/tmp/a.xyz", "--fps"}, {"--view", "/tmp/a.xyz"}, FULL_SCREEN_MODE},
                          {{"/c", "--fps", "-fps"}, {"/c"}, CONFIGURE_MODE}};
    for (Case c : cases) {
        EXPECT_TRUE(TakeFpsFlag(c.args));
        EXPECT_EQ(c.args, c.rest);
        EXPECT_EQ(RunModeForLetter(NormaliseCommandLine(c.args).modeLetter), c.mode);
    }
    // Taken out, the flag leaves the XScreenSaver window and the shown file to the other arguments.
    std::vector<std::string> xscreensaver = {"-fps"};
    TakeFpsFlag(xscreensaver);
    EXPECT_TRUE(ReadXScreenSaverConventions(xscreensaver, "0x400007").embed);
    std::vector<std::string> view = {"--view", "/tmp/a.xyz", "-fps"};
    TakeFpsFlag(view);
    EXPECT_EQ(ReadViewFileArgument(view), "/tmp/a.xyz");
    std::vector<std::string> none = {"/s", "--fpsx"};
    EXPECT_FALSE(TakeFpsFlag(none));
    EXPECT_EQ(none.size(), 2u);
}

TEST(ModulesArgument, IsTakenOutWithItsPathAndNeverChangesTheMode) {
    std::vector<std::string> full = {"/s", "--modules", "/opt/m/Modules.xml", "--fps"};
    EXPECT_EQ(TakeModulesArgument(full), "/opt/m/Modules.xml");
    EXPECT_EQ(full, (std::vector<std::string>{"/s", "--fps"}));
    std::vector<std::string> preview = {"--modules=/a.xml", "/p", "12"};
    EXPECT_EQ(TakeModulesArgument(preview), "/a.xml");
    EXPECT_EQ(RunModeForLetter(NormaliseCommandLine(preview).modeLetter), PREVIEW_MODE);
    // Without its path the option is left for the others to judge.
    std::vector<std::string> dangling = {"/c", "--modules"};
    EXPECT_EQ(TakeModulesArgument(dangling), "");
    EXPECT_EQ(dangling.size(), 2u);
}

TEST(RunOptions, FileAndLoadTimeAreTakenOutAndBadSecondsCountAsNone) {
    std::vector<std::string> args = {"-root", "--file", "/data/films", "--load-time=45", "--fps"};
    EXPECT_EQ(TakeFileArgument(args), "/data/films");
    EXPECT_EQ(TakeLoadTimeArgument(args), 45);
    EXPECT_EQ(args, (std::vector<std::string>{"-root", "--fps"}));
    for (const char* bad : {"-5", "12s", "", "99999999999"}) {
        std::vector<std::string> one = {"--load-time", bad};
        EXPECT_EQ(TakeLoadTimeArgument(one), 0) << bad;
    }
}

TEST(AnswerBeforeStart, HelpVersionAndUnknownOptionsInEveryMode) {
    const auto help = AnswerBeforeStart({"/s", "--help"}, "1.2.3.4");
    ASSERT_TRUE(help);
    EXPECT_EQ(help->exitCode, 0);
    EXPECT_EQ(help->standardOutput.rfind("usage: zelvor", 0), 0u);
    const auto version = AnswerBeforeStart({"-window-id", "0x12", "--version"}, "1.2.3.4");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->standardOutput, "zelvor 1.2.3.4\n");
    // A mistyped option must not start the full-screen saver.
    const auto unknown = AnswerBeforeStart({"--fullscreen"}, "1.2.3.4");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->exitCode, 2);
    EXPECT_EQ(unknown->standardError.rfind("zelvor: unknown option '--fullscreen'\nusage:", 0), 0u);
    // Known options, their values (even when they look like options) and the single-dash switches start.
    EXPECT_FALSE(AnswerBeforeStart({"/s", "--fps", "--file", "--odd-name.xyz", "--load-time=5"}, "1"));
    EXPECT_FALSE(AnswerBeforeStart({"-root", "-fps", "--modules=/m.xml"}, "1"));
    EXPECT_FALSE(AnswerBeforeStart({"--view", "/a.xyz"}, "1"));
    EXPECT_FALSE(AnswerBeforeStart({"--root", "--window-id", "0x400007"}, "1"));  // XScreenSaver's own spellings
}

TEST(FrameRateMeter, ReportsOnceASecondFromFramesAndProcessorTime) {
    double now = 100.0, cpu = 7.0;
    CFrameRateMeter meter([&] { return now; }, [&] { return cpu; });
    for (int i = 0; i < 30; ++i) meter.FrameDrawn();
    now += 0.9;
    EXPECT_FALSE(meter.Poll());  // not a second yet: the frames keep counting
    now += 0.6;
    cpu += 0.6;
    const std::optional<FrameRateReport> first = meter.Poll();
    ASSERT_TRUE(first);
    EXPECT_DOUBLE_EQ(first->framesPerSecond, 20.0);
    EXPECT_DOUBLE_EQ(first->cpuPercent, 40.0);
    EXPECT_EQ(meter.LastLine(), "fps 20.0 cpu 40%");
    // The next second starts afresh: no frames, a whole processor busy.
    now += 1.0;
    cpu += 1.0;
    EXPECT_EQ(meter.Poll()->Line(), "fps 0.0 cpu 100%");
}

}  // namespace
}  // namespace zelvor
