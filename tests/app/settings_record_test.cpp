#include "app/app_settings.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/app_profile.h"
#include "message_recorder.h"
#include "platform/settings_store.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

class AppSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { profile.SetRegistryKey("Cobrant"); }

    void StoreRaw(std::vector<std::uint8_t> bytes) {
        ASSERT_TRUE(profile.WriteProfileBinary("class CAppSettings", "Settings", bytes));
    }
    static void ExpectDefaults(const CAppSettings& s) {
        EXPECT_EQ(s.saveOutputToFile, 0);
        EXPECT_EQ(s.outputBufferSize, 20000);
        EXPECT_EQ(s.updateAction, 0);
        EXPECT_EQ(s.weeklyUpdateCheck, 1);
        EXPECT_EQ(s.minCPUUsage, 5);
        EXPECT_EQ(s.maxCPUUsage, 40);
        EXPECT_EQ(s.maxGovernorIterations, 10);
        EXPECT_EQ(s.lastUpdateCheckDay, 0);
        EXPECT_EQ(s.shuffleFiles, 1);
        EXPECT_STREQ(s.outputFile, "Zelvor.stdout.txt");
    }

    test::ScopedConfigHome home;
    CAppProfile profile{"Zelvor", "1,5,1962,2778"};
};

TEST_F(AppSettingsTest, FirstStartHasTheDefaultsAndReportsLoadFailed) {
    CAppSettings settings;
    ExpectDefaults(settings);
    EXPECT_EQ(settings.size, 436u);
    EXPECT_EQ(settings.loaded, 1);
    EXPECT_EQ(settings.loadFailed, 1);
    EXPECT_STREQ(settings.name, "class CAppSettings");
}

TEST_F(AppSettingsTest, DoNotLoadWaitsForLoadSettingsAndLoadsOnlyOnce) {
    StoreRaw([] {
        CAppSettings source(true);
        source.shuffleFiles = 0;
        return source.ToImage().Bytes();
    }());
    CAppSettings settings(true);
    EXPECT_EQ(settings.loaded, 0);
    EXPECT_EQ(settings.shuffleFiles, 1);
    EXPECT_EQ(settings.LoadSettings(), 1);
    EXPECT_EQ(settings.shuffleFiles, 0);
    EXPECT_EQ(settings.loadFailed, 0);
    settings.shuffleFiles = 5;
    EXPECT_EQ(settings.LoadSettings(), 0);  // a second call changes nothing
    EXPECT_EQ(settings.shuffleFiles, 5);
}

TEST_F(AppSettingsTest, EveryFieldSurvivesSaveAndLoad) {
    {
        CAppSettings settings;
        settings.saveOutputToFile = 1;
        settings.outputBufferSize = 100000;
        settings.updateAction = 1;
        settings.weeklyUpdateCheck = 0;
        settings.minCPUUsage = 12;
        settings.maxCPUUsage = 87;
        settings.maxGovernorIterations = 3;
        settings.lastUpdateCheckDay = 20000;
        settings.shuffleFiles = 0;
        std::memset(settings.outputFile, 0, sizeof settings.outputFile);
        std::string path(258, 'p');
        path.copy(settings.outputFile, path.size());
    }  // saved here
    CAppSettings settings;
    EXPECT_EQ(settings.loadFailed, 0);
    EXPECT_EQ(settings.saveOutputToFile, 1);
    EXPECT_EQ(settings.outputBufferSize, 100000);
    EXPECT_EQ(settings.updateAction, 1);
    EXPECT_EQ(settings.weeklyUpdateCheck, 0);
    EXPECT_EQ(settings.minCPUUsage, 12);
    EXPECT_EQ(settings.maxCPUUsage, 87);
    EXPECT_EQ(settings.maxGovernorIterations, 3);
    EXPECT_EQ(settings.lastUpdateCheckDay, 20000);
    EXPECT_EQ(settings.shuffleFiles, 0);
    EXPECT_EQ(std::string(settings.outputFile), std::string(258, 'p'));
}

TEST_F(AppSettingsTest, StoredFormKeepsTheBaseLayoutAndFieldOffsets) {
    CAppSettings settings;
    settings.outputBufferSize = 4000;
    settings.shuffleFiles = 0;
    const ByteImage image = settings.ToImage();
    ASSERT_EQ(image.Size(), 436u);
    EXPECT_EQ(image.Get<std::uint32_t>(0), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.Bytes().data()) + 4), "class CAppSettings");
    EXPECT_EQ(image.Get<std::uint32_t>(128), 436u);
    EXPECT_EQ(image.Get<std::int32_t>(132), 1);
    EXPECT_EQ(image.Get<std::int32_t>(136), 1);
    EXPECT_EQ(image.Get<std::int32_t>(144), 4000);
    EXPECT_EQ(image.Get<std::int32_t>(156), 5);
    EXPECT_EQ(image.Get<std::int32_t>(172), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.Bytes().data()) + 176), "Zelvor.stdout.txt");
}

TEST_F(AppSettingsTest, AStoredValueOfAnotherSizeIsIgnored) {
    CAppSettings source(true);
    source.maxCPUUsage = 99;
    for (int delta : {-1, +1}) {
        std::vector<std::uint8_t> bytes = source.ToImage().Bytes();
        bytes.resize(bytes.size() + delta, 0);
        StoreRaw(bytes);
        CAppSettings settings(true);
        EXPECT_EQ(settings.LoadSettings(), 0) << delta;
        EXPECT_EQ(settings.loadFailed, 1);
        ExpectDefaults(settings);
        EXPECT_EQ(settings.LoadSettings(), 0);
    }
}

TEST_F(AppSettingsTest, ASuccessfulLoadIsNotMarkedFailedByTheRunThatSavedIt) {
    { CAppSettings firstRun; }  // load fails, then saves with the failure flag set
    CAppSettings settings;
    EXPECT_EQ(settings.loadFailed, 0);
    EXPECT_EQ(settings.loaded, 1);
}

TEST_F(AppSettingsTest, AStoredOutputFileWithoutTerminatorIsCutToTheField) {
    CAppSettings source(true);
    std::vector<std::uint8_t> bytes = source.ToImage().Bytes();
    std::fill(bytes.begin() + 176, bytes.end(), 'x');
    StoreRaw(bytes);
    CAppSettings settings;
    EXPECT_EQ(std::string(settings.outputFile), std::string(259, 'x'));
}

TEST_F(AppSettingsTest, ARecordThatWasNeverLoadedIsNotSaved) {
    StoreRaw([] {
        CAppSettings source(true);
        source.maxCPUUsage = 77;
        return source.ToImage().Bytes();
    }());
    { CAppSettings unused(true); }
    CAppSettings settings;
    EXPECT_EQ(settings.maxCPUUsage, 77);
}

class ThrowingProfile : public CAppProfile {
public:
    ThrowingProfile() : CAppProfile("Zelvor", "1,5,1962,2778") {}
    bool GetProfileBinary(const std::string&, const std::string&, std::vector<std::uint8_t>&) const override {
        throw std::runtime_error("store unreadable");
    }
};

TEST(SettingsRecord, AFaultWhileReadingIsReportedAndKeepsTheDefaults) {
    test::ScopedConfigHome home;
    test::MessageRecorder messages;
    ThrowingProfile profile;
    profile.SetRegistryKey("Cobrant");
    CAppSettings settings(true);
    EXPECT_EQ(settings.LoadSettings(), 0);
    EXPECT_EQ(settings.loadFailed, 1);
    EXPECT_EQ(settings.loaded, 1);
    EXPECT_EQ(settings.outputBufferSize, 20000);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Exception caught in GetRegEntry()\n"});
}

TEST(SettingsRecord, ByteImageRefusesFieldsOutsideTheRecord) {
    ByteImage image(8);
    image.Put<std::int32_t>(4, 7);
    EXPECT_EQ(image.Get<std::int32_t>(4), 7);
    EXPECT_THROW(image.Put<std::int32_t>(5, 1), std::out_of_range);
    EXPECT_THROW(image.Get<double>(1), std::out_of_range);
    EXPECT_THROW(image.Get<std::int32_t>(SIZE_MAX - 1), std::out_of_range);
}

}  // namespace
}  // namespace zelvor
