#include "render/font_source.h"
#include "render/glyph_mesh.h"
#include "render/offscreen_context.h"
#include "render/text_engine.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace zelvor {
namespace {

bool Lit(const std::vector<std::uint8_t>& pixels, int width, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 4;
    return pixels[i] > 128 && pixels[i + 1] > 128 && pixels[i + 2] > 128;
}

struct LitBox {
    int count = 0, left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
};

LitBox FindLit(const std::vector<std::uint8_t>& pixels, int width, int height) {
    LitBox box;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (Lit(pixels, width, x, y)) {
                ++box.count;
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

void ClearBlack(int width, int height) {
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 1.0f);
}

TEST(BitmapText, WritesInTheTopLeftBandAndBreaksLines) {
    const int w = 120, h = 30;
    COffscreenGLContext context(w, h);
    ASSERT_TRUE(context.IsValid()) << context.Error();
    CTextEngine text;
    text.initialize(w, h, true);
    ASSERT_NE(text.FirstList(), 0u);

    ClearBlack(w, h);
    text.ortho();
    glColor3ub(255, 255, 255);
    text.Write2Dtxt(5, 10, "Zelvor");
    text.perspective();
    LitBox box = FindLit(context.ReadPixels(), w, h);
    ASSERT_GT(box.count, 20);
    // The raster position is the baseline: capitals stand about 7 pixels above row 10, starting at column 5.
    EXPECT_GE(box.left, 4);
    EXPECT_LE(box.left, 7);
    EXPECT_GE(box.top, 1);
    EXPECT_LE(box.top, 4);
    EXPECT_LE(box.bottom, 10);
    EXPECT_GT(box.right, 25);  // six characters of about five pixels
    EXPECT_LT(box.right, 50);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));

    // The second line sits 10 pixels lower.
    ClearBlack(w, h);
    text.ortho();
    text.Write2Dtxt(5, 10, "Zelvor\nZelvor");
    text.perspective();
    box = FindLit(context.ReadPixels(), w, h);
    EXPECT_LE(box.top, 4);
    EXPECT_GT(box.bottom, 14);
    EXPECT_LE(box.bottom, 20);
}

TEST(BitmapText, UnchangedSizeKeepsListsAndChangedSizeRebuilds) {
    COffscreenGLContext context(64, 32);
    ASSERT_TRUE(context.IsValid()) << context.Error();
    CTextEngine text;
    text.initialize(64, 32, true);
    const unsigned base = text.FirstList();
    ASSERT_NE(base, 0u);
    text.initialize(64, 32, true);
    EXPECT_EQ(text.FirstList(), base);
    EXPECT_TRUE(glIsList(base + 'A'));

    // A new size without a device context drops the lists and only remembers the size.
    text.initialize(32, 32, false);
    EXPECT_EQ(text.FirstList(), 0u);
    EXPECT_FALSE(glIsList(base + 'A'));
    ClearBlack(64, 32);
    text.ortho();
    text.Write2Dtxt(5, 10, "Zelvor");  // no lists: draws nothing, calls no foreign list
    text.perspective();
    EXPECT_EQ(FindLit(context.ReadPixels(), 64, 32).count, 0);

    text.initialize(64, 32, true);
    ASSERT_NE(text.FirstList(), 0u);
    EXPECT_TRUE(glIsList(text.FirstList() + 255));
    text.killFont();
    EXPECT_EQ(text.FirstList(), 0u);
}

TEST(BitmapText, NoCurrentContextBuildsNothing) {
    unsigned textBase = 1, outlineBase = 1;
    std::thread([&] {
        CTextEngine text;
        text.initialize(100, 100, true);
        textBase = text.FirstList();
        outlineBase = CompileOutlineGlyphLists();
    }).join();
    EXPECT_EQ(textBase, 0u);
    EXPECT_EQ(outlineBase, 0u);
}

class OutlineGlyphs : public ::testing::Test {
protected:
    static constexpr int kSize = 64;
    void SetUp() override {
        ASSERT_TRUE(context_.IsValid()) << context_.Error();
        ASSERT_TRUE(face_.OpenFamily("Arial"));
        base_ = CompileOutlineGlyphLists();
        ASSERT_NE(base_, 0u);
    }
    void TearDown() override { DeleteGlyphLists(base_); }

    // Draws "X" through its list, centred in a one-unit orthographic window, with back faces culled.
    std::vector<std::uint8_t> DrawX(double turnDegrees) {
        const GlyphMesh x = TessellateGlyph(face_.Face(), 'X');
        double left = 1, right = 0, bottom = 1, top = 0;
        for (const auto& p : x.triangles) {
            left = std::min(left, p.x), right = std::max(right, p.x);
            bottom = std::min(bottom, p.y), top = std::max(top, p.y);
        }
        centreX_ = (left + right) / 2, centreY_ = (bottom + top) / 2, top_ = top;
        ClearBlack(kSize, kSize);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-0.5, 0.5, -0.5, 0.5, -1.0, 1.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRotated(turnDegrees, 0.0, 1.0, 0.0);
        glTranslated(-centreX_, -centreY_, 0.05);
        glListBase(base_);
        glCallLists(1, GL_UNSIGNED_BYTE, "X");
        glDisable(GL_CULL_FACE);
        return context_.ReadPixels();
    }

    COffscreenGLContext context_{kSize, kSize};
    CFreeTypeFace face_;
    unsigned base_ = 0;
    double centreX_ = 0, centreY_ = 0, top_ = 0;
};

TEST_F(OutlineGlyphs, XCoversTheCentreFromFrontAndBack) {
    for (const double turn : {0.0, 180.0}) {
        const auto pixels = DrawX(turn);
        EXPECT_TRUE(Lit(pixels, kSize, kSize / 2, kSize / 2)) << turn;
        EXPECT_TRUE(Lit(pixels, kSize, kSize / 2 - 1, kSize / 2 - 1)) << turn;
        EXPECT_FALSE(Lit(pixels, kSize, 0, 0)) << turn;
        // Between the two upper arms, just below the top of the glyph, is background.
        const int notchRow = static_cast<int>((0.5 - (top_ - centreY_) + 0.03) * kSize);
        EXPECT_FALSE(Lit(pixels, kSize, kSize / 2, notchRow)) << turn;
        const LitBox box = FindLit(pixels, kSize, kSize);
        EXPECT_GT(box.count, kSize * kSize / 8) << turn;
    }
}

TEST_F(OutlineGlyphs, SideWallsShowEdgeOnAndListsAdvance) {
    // Seen edge-on the glyph is a band 0.1 deep: only the walls (and no face) can cover it.
    const auto pixels = DrawX(90.0);
    const LitBox box = FindLit(pixels, kSize, kSize);
    EXPECT_GT(box.count, 0);
    EXPECT_LE(box.right - box.left + 1, static_cast<int>(0.1 * kSize) + 2);

    // Each list ends by moving the pen by the advance.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glCallList(base_ + ' ');
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    EXPECT_NEAR(m[12], TessellateGlyph(face_.Face(), ' ').advance, 1e-6);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace zelvor
