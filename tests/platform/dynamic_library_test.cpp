#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

namespace zelvor {
namespace {

TEST(DynamicLibrary, ResolvesAndCallsAnExportedFunction) {
    DynamicLibrary libm("libm.so.6");
    ASSERT_TRUE(libm.IsLoaded()) << libm.Error();
    auto cosine = libm.Resolve<double (*)(double)>("cos");
    ASSERT_NE(cosine, nullptr) << libm.Error();
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_TRUE(libm.Error().empty());

    DynamicLibrary moved(std::move(libm));
    EXPECT_FALSE(libm.IsLoaded());  // NOLINT(bugprone-use-after-move): moving leaves it empty
    EXPECT_TRUE(moved.IsLoaded());
    EXPECT_NE(moved.Symbol("sin"), nullptr);
}

TEST(DynamicLibrary, MissingSymbolAndLibraryGiveTheLoaderText) {
    DynamicLibrary libm("libm.so.6");
    ASSERT_TRUE(libm.IsLoaded());
    EXPECT_EQ(libm.Symbol("NoSuchExportAnywhere"), nullptr);
    EXPECT_NE(libm.Error().find("NoSuchExportAnywhere"), std::string::npos) << libm.Error();

    DynamicLibrary missing("/nonexistent/libGreltMissing.so");
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_NE(missing.Error().find("libGreltMissing.so"), std::string::npos) << missing.Error();
    EXPECT_EQ(missing.Symbol("cos"), nullptr);
    EXPECT_FALSE(missing.Error().empty());
}

}  // namespace
}  // namespace zelvor
