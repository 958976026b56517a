#include "render/offscreen_context.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>

namespace zelvor {
namespace {

TEST(OffscreenContext, ClearsAndReadsBackTopRowFirst) {
    COffscreenGLContext context(8, 6);
    ASSERT_TRUE(context.IsValid()) << context.Error();
    ASSERT_NE(glGetString(GL_VERSION), nullptr);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    // A green top half tells whether the rows come back flipped.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 3, 8, 3);
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);

    const auto pixels = context.ReadPixels();
    ASSERT_EQ(pixels.size(), 8u * 6u * 4u);
    EXPECT_EQ(pixels[0], 0);
    EXPECT_EQ(pixels[1], 255);
    const std::size_t lastRow = 5 * 8 * 4;
    EXPECT_EQ(pixels[lastRow + 0], 255);
    EXPECT_EQ(pixels[lastRow + 1], 0);
    EXPECT_EQ(pixels[lastRow + 3], 255);
}

TEST(OffscreenContext, WritesPngAndRefusesBadSize) {
    COffscreenGLContext context(4, 4);
    ASSERT_TRUE(context.IsValid()) << context.Error();
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/out.png";
    ASSERT_TRUE(context.WritePng(path));
    std::ifstream in(path, std::ios::binary);
    char signature[8] = {};
    in.read(signature, 8);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");
    EXPECT_FALSE(context.WritePng(dir.path().toStdString() + "/missing/out.png"));
    EXPECT_FALSE(context.Error().empty());

    COffscreenGLContext empty(0, 5);
    EXPECT_FALSE(empty.IsValid());
    EXPECT_TRUE(empty.ReadPixels().empty());
}

}  // namespace
}  // namespace zelvor
