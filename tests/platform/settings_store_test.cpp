#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace zelvor {
namespace {

const std::string VERSION = "1,5,1962,2778";

TEST(SettingsStore, LivesUnderTheConfigHomeOfTheMoment) {
    test::ScopedConfigHome first;
    EXPECT_EQ(ConfigHome(), first.Path());
    EXPECT_EQ(SettingsStore::ForApplication("Cobrant", "Zelvor").FilePath(), first.Path() + "/Cobrant/Zelvor.conf");
    EXPECT_EQ(SettingsStore::ForProfileFile("Zelvor.ini").FilePath(), first.Path() + "/Zelvor.ini");
    {
        test::ScopedConfigHome second;
        EXPECT_EQ(ConfigHome(), second.Path());
    }
    EXPECT_EQ(ConfigHome(), first.Path());
}

TEST(SettingsStore, ValuesRoundTripUnderKeysWithCommasAndSpaces) {
    test::ScopedConfigHome home;
    SettingsStore store = SettingsStore::ForApplication("Cobrant", "Zelvor");
    const std::string section = VERSION + "/class CAppSettings/";
    const std::vector<std::string> texts = {"", "plain", "a, b; c", "\"quoted\" \\ back\\slash", "line\nbreak",
                                            "  padded  ", "@ByteArray(x)", "key=value", "Grüße ✓"};
    for (std::size_t i = 0; i < texts.size(); ++i)
        ASSERT_TRUE(store.WriteString(section + "Text" + std::to_string(i), texts[i]));
    std::vector<std::uint8_t> allBytes(256);
    for (int i = 0; i < 256; ++i) allBytes[i] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(store.WriteBinary(section + "Settings", allBytes));
    ASSERT_TRUE(store.WriteBinary(section + "Empty", {}));
    ASSERT_TRUE(store.WriteInt(section + "Number", -123456789012LL));

    // A second store on the same file sees everything, as a later run would.
    const SettingsStore again(store.FilePath());
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(again.ReadString(section + "Text" + std::to_string(i)), texts[i]) << i;
    EXPECT_EQ(again.ReadBinary(section + "Settings"), allBytes);
    EXPECT_EQ(again.ReadBinary(section + "Empty"), std::vector<std::uint8_t>{});
    EXPECT_EQ(again.ReadInt(section + "Number"), -123456789012LL);
    EXPECT_TRUE(std::filesystem::exists(home.Path() + "/Cobrant/Zelvor.conf"));
}

TEST(SettingsStore, MissingOrMistypedValuesReadAsAbsent) {
    test::ScopedConfigHome home;
    SettingsStore store = SettingsStore::ForApplication("Cobrant", "Zelvor");
    EXPECT_FALSE(store.ReadString("v/s/missing"));
    EXPECT_FALSE(store.ReadInt("v/s/missing"));
    EXPECT_FALSE(store.ReadBinary("v/s/missing"));
    ASSERT_TRUE(store.WriteString("v/s/word", "twelve"));
    EXPECT_FALSE(store.ReadInt("v/s/word"));
    EXPECT_FALSE(store.ReadBinary("v/s/word"));
    EXPECT_FALSE(store.ReadString("v/s"));  // a group is not a value
}

TEST(SettingsStore, GroupsExistOnlyWithValuesAndAreIsolatedByVersion) {
    test::ScopedConfigHome home;
    SettingsStore store = SettingsStore::ForApplication("Cobrant", "Zelvor");
    EXPECT_FALSE(store.GroupExists(VERSION));
    EXPECT_FALSE(store.GroupExists(""));
    ASSERT_TRUE(store.WriteInt(VERSION + "/Config/Files to show", 3));
    EXPECT_TRUE(store.GroupExists(VERSION));
    EXPECT_TRUE(store.GroupExists(VERSION + "/Config"));
    EXPECT_TRUE(store.GroupExists(""));
    EXPECT_FALSE(store.GroupExists("1,5,1962,2779"));
    EXPECT_FALSE(store.GroupExists("1,5,1962"));
    EXPECT_FALSE(store.ReadInt("1,5,1962,2779/Config/Files to show"));
}

TEST(SettingsStore, RemovingAGroupTakesEverythingBelowIt) {
    test::ScopedConfigHome home;
    SettingsStore store = SettingsStore::ForApplication("Cobrant", "Zelvor");
    ASSERT_TRUE(store.WriteInt(VERSION + "/A/x", 1));
    ASSERT_TRUE(store.WriteInt(VERSION + "/A/B/y", 2));
    ASSERT_TRUE(store.WriteInt(VERSION + "/A/B/C/z", 3));
    ASSERT_TRUE(store.WriteInt(VERSION + "/AB/kept", 4));
    EXPECT_EQ(store.RemoveGroup(VERSION + "/A"), SettingsStore::RemoveResult::Removed);
    EXPECT_FALSE(store.GroupExists(VERSION + "/A"));
    EXPECT_FALSE(store.ReadInt(VERSION + "/A/B/C/z"));
    EXPECT_EQ(store.ReadInt(VERSION + "/AB/kept"), 4);
    EXPECT_EQ(store.RemoveGroup(VERSION + "/A"), SettingsStore::RemoveResult::NotFound);
    EXPECT_EQ(store.RemoveGroup(""), SettingsStore::RemoveResult::Removed);
    EXPECT_FALSE(store.GroupExists(""));
    EXPECT_EQ(store.RemoveGroup(""), SettingsStore::RemoveResult::NotFound);

    ASSERT_TRUE(store.WriteInt("v/entry", 1));
    EXPECT_TRUE(store.RemoveValue("v/entry"));
    EXPECT_TRUE(store.RemoveValue("v/entry"));
    EXPECT_FALSE(store.ReadInt("v/entry"));
}

TEST(SettingsStore, AnUnreadableFileFailsInsteadOfPretending) {
    test::ScopedConfigHome home;
    SettingsStore store = SettingsStore::ForApplication("Cobrant", "Zelvor");
    std::filesystem::create_directories(store.FilePath());  // a folder where the file should be
    EXPECT_FALSE(store.WriteInt("v/s/e", 1));
    EXPECT_FALSE(store.ReadInt("v/s/e"));
    EXPECT_EQ(store.RemoveGroup("v"), SettingsStore::RemoveResult::OpenError);
}

}  // namespace
}  // namespace zelvor
