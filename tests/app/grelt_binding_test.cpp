#include "app/grelt_binding.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "fake_greltlib.h"
#include "platform/dynamic_library.h"

namespace zelvor {
namespace {

/// Keeps the fake library loaded past the binding's unload, so its counts stay readable.
class FakeGrelt {
public:
    explicit FakeGrelt(const std::string& folder) : library_(folder + "/libgreltlib.so") {
        auto counts = library_.Resolve<FakeGreltCalls* (*)()>("FakeGreltCallCounts");
        if (counts) calls = counts();
        if (calls) *calls = FakeGreltCalls{};
    }
    FakeGreltCalls* calls = nullptr;

private:
    DynamicLibrary library_;
};

TEST(GreltBinding, AllFiveExportsInitialiseTheHandlerAndStopItAtExit) {
    FakeGrelt fake(FAKE_GRELT_FULL_DIR);
    ASSERT_NE(fake.calls, nullptr);
    {
        GreltBinding binding(FAKE_GRELT_FULL_DIR);
        EXPECT_TRUE(binding.IsLoaded());
        EXPECT_TRUE(binding.IsInitialised());
        EXPECT_TRUE(GreltExports().AllResolved());
        EXPECT_EQ(fake.calls->initialise, 1);
        EXPECT_EQ(fake.calls->stopUsing, 0);
        EXPECT_EQ(fake.calls->recipientName, GreltBinding::RECIPIENT_NAME);
        EXPECT_EQ(fake.calls->recipientAddress, GreltBinding::RECIPIENT_ADDRESS);
        EXPECT_EQ(fake.calls->owner, nullptr);
    }
    EXPECT_EQ(fake.calls->initialise, 1);
    EXPECT_EQ(fake.calls->stopUsing, 1);
    EXPECT_EQ(GreltExports().StopUsingGreltHandler, nullptr);
}

TEST(GreltBinding, OneMissingExportMeansNoHandlerButStopIsStillCalled) {
    FakeGrelt fake(FAKE_GRELT_FOUR_DIR);
    ASSERT_NE(fake.calls, nullptr);
    {
        GreltBinding binding(FAKE_GRELT_FOUR_DIR);
        EXPECT_TRUE(binding.IsLoaded());
        EXPECT_FALSE(binding.IsInitialised());
        EXPECT_EQ(binding.EntryPoints().TagAs3rdPartyModule, nullptr);
        EXPECT_NE(GreltExports().SetDiagnosticGreltHandler, nullptr);
    }
    EXPECT_EQ(fake.calls->initialise, 0);
    EXPECT_EQ(fake.calls->stopUsing, 1);
}

TEST(GreltBinding, AbsentLibraryIsSilent) {
    QTemporaryDir empty;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    {
        GreltBinding binding(empty.path().toStdString());
        EXPECT_FALSE(binding.IsLoaded());
        EXPECT_FALSE(binding.IsInitialised());
        EXPECT_FALSE(GreltExports().AllResolved());
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(GreltBinding, ExecutableFolderIsWhereThisTestRuns) {
    const std::string folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '/');
    EXPECT_NE(folder.back(), '/');
}

}  // namespace
}  // namespace zelvor
