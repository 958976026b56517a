// The dump's compression against the system's gzip, and its failures on real files and folders.
#include "greltlib/helper/dump_compression.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using zelvor::grelt::CompressDump;
namespace fs = std::filesystem;

// 100 KB over several 16 KiB blocks: noise, runs and text, so both the copy loop and the run-length
// strategy have something to do.
std::string VariedBytes() {
    std::string bytes;
    std::uint32_t state = 12345;
    while (bytes.size() < 100 * 1024) {
        state = state * 1664525u + 1013904223u;
        const unsigned kind = (state >> 28) % 3;
        if (kind == 0)
            bytes.append(1 + (state >> 8) % 500, static_cast<char>(state >> 16));
        else if (kind == 1)
            bytes += "ELF note PRSTATUS frame " + std::to_string(state);
        else
            for (int i = 0; i < 64; ++i) bytes += static_cast<char>((state >> (i % 24)) ^ i);
    }
    return bytes;
}

TEST(DumpCompression, WritesAGzipThatRestoresTheDumpAndReplacesIt) {
    QTemporaryDir dir;
    const std::string original = VariedBytes();
    const std::string dump = zelvor::test::WriteFile(dir, "zelvor.core", original);
    const std::string copy = zelvor::test::WriteFile(dir, "copy.core", original);

    const auto result = CompressDump(dump);
    EXPECT_EQ(result.messages, "");
    EXPECT_EQ(result.dumpPath, dump + ".gz");
    EXPECT_FALSE(fs::exists(dump));
    EXPECT_LT(fs::file_size(dump + ".gz"), original.size());
    EXPECT_EQ(std::system(("gzip -t '" + dump + ".gz'").c_str()), 0);
    EXPECT_EQ(std::system(("gzip -dc '" + dump + ".gz' | cmp -s - '" + copy + "'").c_str()), 0);
}

TEST(DumpCompression, FailuresKeepTheDumpAndLeaveNoPartialArchive) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();

    const std::string missing = folder + "/missing.core";
    auto result = CompressDump(missing);
    EXPECT_EQ(result.messages, "can't fopen " + missing + "\n");
    EXPECT_EQ(result.dumpPath, missing);
    EXPECT_FALSE(fs::exists(missing + ".gz"));

    // Something that is no file stands where the archive would go.
    const std::string blocked = zelvor::test::WriteFile(dir, "blocked.core", VariedBytes());
    fs::create_directory(blocked + ".gz");
    result = CompressDump(blocked);
    EXPECT_EQ(result.messages, "can't gzopen " + blocked + ".gz\n");
    EXPECT_EQ(result.dumpPath, blocked);
    EXPECT_EQ(fs::file_size(blocked), VariedBytes().size());
    EXPECT_TRUE(fs::is_directory(blocked + ".gz"));

    // A folder opens for reading but every read fails.
    const std::string unreadable = folder + "/folder.core";
    fs::create_directory(unreadable);
    result = CompressDump(unreadable);
    EXPECT_EQ(result.messages, "can't fread " + unreadable + "\n");
    EXPECT_EQ(result.dumpPath, unreadable);
    EXPECT_TRUE(fs::is_directory(unreadable));
    EXPECT_FALSE(fs::exists(unreadable + ".gz"));
}

TEST(DumpCompression, ReadOnlyFolderGivesGzopenMessage) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    QTemporaryDir dir;
    const std::string dump = zelvor::test::WriteFile(dir, "zelvor.core", VariedBytes());
    chmod(dir.path().toLocal8Bit().constData(), 0500);
    const auto result = CompressDump(dump);
    chmod(dir.path().toLocal8Bit().constData(), 0700);
    EXPECT_EQ(result.messages, "can't gzopen " + dump + ".gz\n");
    EXPECT_EQ(result.dumpPath, dump);
    EXPECT_TRUE(fs::exists(dump));
}

}  // namespace
