#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>

#include "app/app_profile.h"
#include "app/message_recorder.h"
#include "crunch/module_list_path.h"
#include "crunch/number_crunch_modules.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

const std::string RECORDING = std::string(CRUNCH_FIXTURE_DIR) + "/librecording_module.so";

class NumberCrunchSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { profile.SetRegistryKey("Cobrant"); }

    std::string ListOf(const std::string& file) {
        return test::WriteFile(dir, "Modules.xml",
                               "<m xmlns:bk=\"urn:Cobrant\"><bk:Calculation MenuName=\"Recording\"><FileName>" + file +
                                   "</FileName></bk:Calculation></m>");
    }

    test::ScopedConfigHome home;
    CAppProfile profile{"Zelvor", "1,5,1962,2778"};
    test::MessageRecorder messages;
    QTemporaryDir dir;
};

TEST_F(NumberCrunchSettingsTest, ThePollingIntervalAndTheCommandsOfListedModulesSurviveARun) {
    // Commands stored before any record exists are not read on a first run, and stay where they are.
    profile.WriteProfileString("precmdline", RECORDING, "echo stored");
    profile.WriteProfileString("postcmdline", "libgone.so", "echo gone");
    {
        CNumberCrunchModules modules;
        EXPECT_EQ(modules.settings.loaded, 0);  // loaded only once the list has been read
        ASSERT_TRUE(modules.LoadAndVerifyModules(ListOf(RECORDING), true));
        CNumberCrunchSettings& s = modules.settings;
        EXPECT_EQ(s.loaded, 1);
        EXPECT_EQ(s.loadFailed, 1);
        EXPECT_EQ(s.pollingInterval, 500.0);
        ASSERT_TRUE(s.preCommands && s.postCommands);
        EXPECT_TRUE(s.preCommands->empty());
        EXPECT_TRUE(s.postCommands->empty());

        s.pollingInterval = 1250.0;
        (*s.preCommands)[RECORDING] = "echo before";
        (*s.postCommands)[RECORDING] = "";
        // A second load keeps what was edited since the first.
        EXPECT_EQ(s.LoadSettings(), 0);
        EXPECT_EQ(s.pollingInterval, 1250.0);
        EXPECT_EQ(s.preCommands->at(RECORDING), "echo before");
    }  // saved here

    std::vector<std::uint8_t> stored;
    ASSERT_TRUE(profile.GetProfileBinary("class CNumberCrunchSettings", "Settings", stored));
    ASSERT_EQ(stored.size(), 160u);
    EXPECT_EQ(ByteImage(stored).Get<double>(144), 1250.0);
    EXPECT_EQ(ByteImage(stored).Get<std::uint64_t>(152), 0u);  // the map slots hold no addresses

    CNumberCrunchModules modules;
    ASSERT_TRUE(modules.LoadAndVerifyModules(ListOf(RECORDING), true));
    const CNumberCrunchSettings& s = modules.settings;
    EXPECT_EQ(s.loadFailed, 0);
    EXPECT_EQ(s.pollingInterval, 1250.0);
    // Commands of the listed calculations only; an empty command stays an empty string.
    EXPECT_EQ(*s.preCommands, (CNumberCrunchSettings::CommandMap{{RECORDING, "echo before"}}));
    EXPECT_EQ(*s.postCommands, (CNumberCrunchSettings::CommandMap{{RECORDING, ""}}));
    EXPECT_EQ(profile.GetProfileString("postcmdline", "libgone.so", "absent"), "echo gone");
    EXPECT_TRUE(messages.Texts().empty());
}

TEST(ModuleListPathTest, AnExplicitPathWinsThenTheShippedListThenTheUsersOwn) {
    std::vector<std::string> existing;
    ModuleListPlaces places{"", "/opt/zelvor/bin", "/home/u/.local/share",
                            [&](const std::string& path) {
                                return std::find(existing.begin(), existing.end(), path) != existing.end();
                            }};
    EXPECT_EQ(ModuleListPath(places), "");  // none: nothing to read, nothing to report

    existing = {"/home/u/.local/share/Cobrant/Zelvor/Modules.xml"};
    EXPECT_EQ(ModuleListPath(places), existing[0]);
    existing.push_back("/opt/zelvor/bin/modules/Modules.xml");
    EXPECT_EQ(ModuleListPath(places), "/opt/zelvor/bin/modules/Modules.xml");

    places.explicitPath = "/elsewhere/List.xml";  // taken even though it does not exist: the user asked for it
    EXPECT_EQ(ModuleListPath(places), "/elsewhere/List.xml");

    places = DefaultModuleListPlaces();
    EXPECT_EQ(places.executableFolder, test::BinDir());
}

}  // namespace
}  // namespace zelvor
