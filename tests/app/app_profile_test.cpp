#include "app/app_profile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "message_recorder.h"
#include "platform/settings_store.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

using Strings = std::vector<std::string>;

TEST(AppProfile, KeyNameAndVersionOfThisBuild) {
    test::ScopedConfigHome home;
    CAppProfile profile;
    EXPECT_EQ(profile.GetFileVersionNumber(), ZELVOR_FILE_VERSION);
    EXPECT_EQ(profile.AppName(), "Zelvor");
    profile.SetRegistryKey("Cobrant");
    EXPECT_EQ(profile.GetRegKeyName(), std::string("Cobrant\\Zelvor\\") + ZELVOR_FILE_VERSION);
    EXPECT_EQ(profile.ProfileName(), "Zelvor");
}

TEST(AppProfile, TheNewestProfileIsTheProcessWideOne) {
    CAppProfile& fallback = AppProfile();
    {
        CAppProfile outer("Zelvor", "1,0,0,1");
        EXPECT_EQ(&AppProfile(), &outer);
        {
            CAppProfile inner("Zelvor", "1,0,0,2");
            EXPECT_EQ(&AppProfile(), &inner);
        }
        EXPECT_EQ(&AppProfile(), &outer);
    }
    EXPECT_EQ(&AppProfile(), &fallback);
    EXPECT_TRUE(fallback.RegistryKey().empty());
}

TEST(AppProfile, FirstRunOfEachProgramVersion) {
    test::ScopedConfigHome home;
    {
        CAppProfile first("Zelvor", "1,5,1962,2778");
        first.SetRegistryKey("Cobrant");
        EXPECT_EQ(first.firstRun, 1);
        EXPECT_FALSE(first.IsAppRegistryKey());
        ASSERT_TRUE(first.WriteProfileInt("Config", "Files to show", 4));
        EXPECT_TRUE(first.IsAppRegistryKey());
    }
    CAppProfile second("Zelvor", "1,5,1962,2778");
    second.SetRegistryKey("Cobrant");
    EXPECT_EQ(second.firstRun, 0);
    EXPECT_EQ(second.GetProfileInt("Config", "Files to show", 1), 4);

    // A new version starts from defaults although the older one left settings.
    CAppProfile newer("Zelvor", "1,6,0,1");
    newer.SetRegistryKey("Cobrant");
    EXPECT_EQ(newer.firstRun, 1);
    EXPECT_EQ(newer.GetProfileInt("Config", "Files to show", 1), 1);
}

TEST(AppProfile, ProfileValuesRoundTripAndMissingOnesGiveDefaults) {
    test::ScopedConfigHome home;
    CAppProfile profile("Zelvor", "1,5,1962,2778");
    profile.SetRegistryKey("Cobrant");
    EXPECT_EQ(profile.GetProfileInt("Config", "Coordinate File Load Time", 60), 60);
    EXPECT_EQ(profile.GetProfileString("Config", "Type of NumberCrunching", "Ondrel"), "Ondrel");
    std::vector<std::uint8_t> data{1};
    EXPECT_FALSE(profile.GetProfileBinary("class CAppSettings", "Settings", data));
    EXPECT_TRUE(data.empty());

    ASSERT_TRUE(profile.WriteProfileInt("Config", "Coordinate File Load Time", -15));
    ASSERT_TRUE(profile.WriteProfileString("Config", "XYZ file0", "/home/user/My Files/water, ice.xyz"));
    const std::vector<std::uint8_t> bytes = {0, 1, 2, 0xFE, 0xFF, '\n', ','};
    ASSERT_TRUE(profile.WriteProfileBinary("class CAppSettings", "Settings", bytes));
    EXPECT_EQ(profile.GetProfileInt("Config", "Coordinate File Load Time", 60), -15);
    EXPECT_EQ(profile.GetProfileString("Config", "XYZ file0", ""), "/home/user/My Files/water, ice.xyz");
    ASSERT_TRUE(profile.GetProfileBinary("class CAppSettings", "Settings", data));
    EXPECT_EQ(data, bytes);
    // A string where a number is expected, or a number where binary is expected, reads as missing.
    EXPECT_EQ(profile.GetProfileInt("Config", "XYZ file0", 7), 7);
    EXPECT_FALSE(profile.GetProfileBinary("Config", "Coordinate File Load Time", data));

    EXPECT_TRUE(profile.DeleteProfileValue("Config", "XYZ file0"));
    EXPECT_EQ(profile.GetProfileString("Config", "XYZ file0", "gone"), "gone");

    // The values sit in the application's store, below the file version.
    const SettingsStore store(home.Path() + "/Cobrant/Zelvor.conf");
    EXPECT_EQ(store.ReadInt("1,5,1962,2778/Config/Coordinate File Load Time"), -15);
    EXPECT_FALSE(std::filesystem::exists(home.Path() + "/Zelvor.ini"));
}

TEST(AppProfile, PrivateProfileFallbackEncodesBinaryAsLetters) {
    test::ScopedConfigHome home;
    CAppProfile profile("Zelvor", "1,5,1962,2778");  // no company: the private profile file
    EXPECT_EQ(profile.ProfileName(), "Zelvor.ini");
    const std::vector<std::uint8_t> known = {0x00, 0x01, 0x10, 0xFF, 0xA5};
    ASSERT_TRUE(profile.WriteProfileBinary("class CAppSettings", "Settings", known));
    const SettingsStore file(home.Path() + "/Zelvor.ini");
    EXPECT_EQ(file.ReadString("class CAppSettings/Settings"), "AABAABPPFK");

    std::vector<std::uint8_t> all(256), back;
    for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(255 - i);
    ASSERT_TRUE(profile.WriteProfileBinary("Binary", "All", all));
    ASSERT_TRUE(profile.GetProfileBinary("Binary", "All", back));
    EXPECT_EQ(back, all);

    // A record is longer than a profile string may be; it still comes back whole.
    std::vector<std::uint8_t> record(3000, 0x5A);
    ASSERT_TRUE(profile.WriteProfileBinary("Binary", "Record", record));
    ASSERT_TRUE(profile.GetProfileBinary("Binary", "Record", back));
    EXPECT_EQ(back, record);

    // Damaged letter text is not binary data.
    ASSERT_TRUE(profile.WriteProfileString("Binary", "Odd", "AAB"));
    ASSERT_TRUE(profile.WriteProfileString("Binary", "Foreign", "AZ"));
    EXPECT_FALSE(profile.GetProfileBinary("Binary", "Odd", back));
    EXPECT_FALSE(profile.GetProfileBinary("Binary", "Foreign", back));
    EXPECT_FALSE(profile.GetProfileBinary("Binary", "Missing", back));
}

TEST(AppProfile, PrivateProfileNumbersAndStrings) {
    test::ScopedConfigHome home;
    CAppProfile profile("Zelvor", "1,5,1962,2778");
    ASSERT_TRUE(profile.WriteProfileInt("Config", "Negative", -42));
    EXPECT_EQ(profile.GetProfileInt("Config", "Negative", 0), -42);
    ASSERT_TRUE(profile.WriteProfileString("Config", "Leading", "  17 seconds"));
    EXPECT_EQ(profile.GetProfileInt("Config", "Leading", 0), 17);
    ASSERT_TRUE(profile.WriteProfileString("Config", "Word", "often"));
    EXPECT_EQ(profile.GetProfileInt("Config", "Word", 5), 5);
    EXPECT_EQ(profile.GetProfileInt("Config", "Missing", 9), 9);

    const std::string longText(5000, 'x');
    ASSERT_TRUE(profile.WriteProfileString("Config", "Long", longText));
    EXPECT_EQ(profile.GetProfileString("Config", "Long", ""), std::string(4096, 'x'));
    EXPECT_EQ(profile.GetProfileString("Config", "Missing", "default"), "default");
}

TEST(AppProfile, EncodingHelpersRoundTrip) {
    std::vector<std::uint8_t> data;
    EXPECT_EQ(EncodeProfileBinary({0x12, 0x34}), "CBED");
    EXPECT_TRUE(DecodeProfileBinary("CBED", data));
    EXPECT_EQ(data, (std::vector<std::uint8_t>{0x12, 0x34}));
    EXPECT_TRUE(DecodeProfileBinary("", data));
    EXPECT_TRUE(data.empty());
    EXPECT_FALSE(DecodeProfileBinary("QA", data));  // Q is past A + 15
    EXPECT_FALSE(DecodeProfileBinary("ABA", data));
}

class RegDelnodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        profile.SetRegistryKey("Cobrant");
        ASSERT_TRUE(profile.WriteProfileInt("Config", "Files to show", 2));
        ASSERT_TRUE(profile.WriteProfileInt("libondrel.so", "Steps", 100));
        ASSERT_TRUE(profile.WriteProfileInt("libondrel.so\\Page 1", "Cut-off", 9));
    }
    test::ScopedConfigHome home;
    test::MessageRecorder messages;
    CAppProfile profile{"Zelvor", "1,5,1962,2778"};
};

TEST_F(RegDelnodeTest, DeletesAKeyWithItsSubkeys) {
    ASSERT_TRUE(profile.RegDelnode(profile.GetRegKeyName() + "\\libondrel.so"));
    EXPECT_EQ(profile.GetProfileInt("libondrel.so", "Steps", -1), -1);
    EXPECT_EQ(profile.GetProfileInt("libondrel.so\\Page 1", "Cut-off", -1), -1);
    EXPECT_EQ(profile.GetProfileInt("Config", "Files to show", -1), 2);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(RegDelnodeTest, DeletesTheWholeProgramKey) {
    ASSERT_TRUE(profile.RegDelnode("Software\\" + profile.GetRegKeyName()));
    EXPECT_FALSE(profile.IsAppRegistryKey());
    EXPECT_EQ(profile.GetProfileInt("Config", "Files to show", -1), -1);
}

TEST_F(RegDelnodeTest, DeletesEveryApplicationOfACompany) {
    ASSERT_TRUE(profile.RegDelnode("Cobrant"));
    EXPECT_FALSE(profile.IsAppRegistryKey());
    EXPECT_FALSE(profile.RegDelnode("Cobrant"));
}

TEST_F(RegDelnodeTest, ReportsAMissingKey) {
    EXPECT_FALSE(profile.RegDelnode(profile.GetRegKeyName() + "\\No such section"));
    EXPECT_FALSE(profile.RegDelnode("Cobrant\\Other program"));
    EXPECT_FALSE(profile.RegDelnode("Nobody"));
    EXPECT_EQ(messages.Texts(), Strings(3, "Key not found.\n"));
    EXPECT_EQ(profile.GetProfileInt("Config", "Files to show", -1), 2);
}

TEST_F(RegDelnodeTest, ReportsAKeyThatCannotBeOpened) {
    EXPECT_FALSE(profile.RegDelnode(""));
    EXPECT_FALSE(profile.RegDelnode("Software"));
    std::filesystem::create_directories(home.Path() + "/Cobrant/Broken.conf");
    EXPECT_FALSE(profile.RegDelnode("Cobrant\\Broken\\1,0,0,0"));
    EXPECT_EQ(messages.Texts(), Strings(3, "Error opening key.\n"));
    EXPECT_EQ(profile.GetProfileInt("Config", "Files to show", -1), 2);
}

}  // namespace
}  // namespace zelvor
