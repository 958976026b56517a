// zelvor-tool render, run as users run it.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

int RunTool(const std::string& args) {
    const std::string command = zelvor::test::BinDir() + "/zelvor-tool render " + args + " 2>/dev/null";
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<png_byte> rgb;
};

Picture ReadPng(const std::string& path) {
    Picture p;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
    image.format = PNG_FORMAT_RGB;
    p.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr)) return p;
    p.width = static_cast<int>(image.width);
    p.height = static_cast<int>(image.height);
    return p;
}

TEST(RenderTool, WritesAPictureOfTheRequestedSize) {
    QTemporaryDir dir;
    const std::string out = dir.path().toStdString() + "/phe.png";
    ASSERT_EQ(RunTool("'" + zelvor::test::DataPath("garlic-phe.pdb") + "' -o '" + out +
                      "' --size 64x48 --bonds --no-surface --quality 4"),
              0);
    const Picture p = ReadPng(out);
    ASSERT_EQ(p.width, 64);
    ASSERT_EQ(p.height, 48);
    int lit = 0;
    for (std::size_t i = 0; i + 2 < p.rgb.size(); i += 3) lit += (p.rgb[i] | p.rgb[i + 1] | p.rgb[i + 2]) != 0;
    EXPECT_GT(lit, 20);
    // The corner stays background.
    EXPECT_EQ(p.rgb[0] | p.rgb[1] | p.rgb[2], 0);
}

TEST(RenderTool, RefusesBadArgumentsAndMissingFrames) {
    QTemporaryDir dir;
    const std::string out = " -o '" + dir.path().toStdString() + "/x.png'";
    const std::string file = "'" + zelvor::test::DataPath("garlic-phe.pdb") + "'";
    EXPECT_EQ(RunTool(file), 2);                        // no output
    EXPECT_EQ(RunTool(file + out + " --size 0x10"), 2);
    EXPECT_EQ(RunTool(file + out + " --size 10"), 2);
    EXPECT_EQ(RunTool(file + out + " --frame 7"), 1);    // one frame only
    EXPECT_EQ(RunTool("'" + dir.path().toStdString() + "/missing.xyz'" + out), 1);
}

}  // namespace
