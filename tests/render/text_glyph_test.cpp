#include "render/font_source.h"
#include "render/glyph_mesh.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zelvor {
namespace {

// The outline area by the shoelace formula over the flattened contours, each with its own winding.
double OutlineArea(const GlyphMesh& mesh) {
    double sum = 0.0;
    for (const auto& contour : mesh.contours) sum += PolygonArea(contour);
    return std::abs(sum);
}

class GlyphTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(face_.OpenFamily("Arial")) << "no usable sans font installed"; }
    CFreeTypeFace face_;
};

TEST(FontSource, ArialResolvesToALoadableFace) {
    const auto match = MatchFontFamily("Arial");
    ASSERT_TRUE(match.has_value());
    EXPECT_FALSE(match->file.empty());
    // With fonts-liberation2 installed the metric-compatible substitute is chosen; otherwise any sans will do.
    if (match->file.find("LiberationSans") != std::string::npos) {
        EXPECT_EQ(match->family, "Liberation Sans");
    }
    CFreeTypeFace face;
    ASSERT_TRUE(face.Open(match->file, match->index));
    EXPECT_TRUE(FT_IS_SCALABLE(face.Face()));
}

TEST(FontSource, UnreadableFileGivesNoFace) {
    CFreeTypeFace face;
    EXPECT_FALSE(face.Open("/nonexistent/font.ttf"));
    EXPECT_EQ(face.Face(), nullptr);
}

TEST(FontSource, AnsiPageMapsTheWindowsRange) {
    EXPECT_EQ(AnsiToUnicode('A'), 0x41u);
    EXPECT_EQ(AnsiToUnicode(0x80), 0x20ACu);  // euro sign
    EXPECT_EQ(AnsiToUnicode(0x81), 0x81u);    // undefined on the page
    EXPECT_EQ(AnsiToUnicode(0xC5), 0xC5u);    // Latin-1 above 0x9F
}

TEST_F(GlyphTest, FilledAreaOfXEqualsItsOutlineArea) {
    const GlyphMesh x = TessellateGlyph(face_.Face(), 'X');
    ASSERT_FALSE(x.triangles.empty());
    EXPECT_EQ(x.triangles.size() % 3, 0u);
    const double outline = OutlineArea(x);
    EXPECT_GT(outline, 0.05);  // a capital covers a sizeable part of its em box
    EXPECT_NEAR(TriangleArea(x.triangles), outline, 0.01 * outline);
    // Em units: a capital stands well below one em and its advance is a fraction of it.
    double top = 0.0;
    for (const auto& p : x.triangles) top = std::max(top, p.y);
    EXPECT_GT(top, 0.5);
    EXPECT_LT(top, 1.0);
    EXPECT_GT(x.advance, 0.4);
    EXPECT_LT(x.advance, 1.0);
}

TEST_F(GlyphTest, OHasAHoleAndCurvesAreFlattenedFinely) {
    const GlyphMesh o = TessellateGlyph(face_.Face(), 'O');
    ASSERT_EQ(o.contours.size(), 2u);
    const double a = PolygonArea(o.contours[0]), b = PolygonArea(o.contours[1]);
    EXPECT_LT(a * b, 0.0) << "outer and inner contours wind opposite ways";
    const double expected = std::abs(std::abs(a) - std::abs(b));
    EXPECT_NEAR(TriangleArea(o.triangles), expected, 0.01 * expected);
    EXPECT_LT(TriangleArea(o.triangles), std::max(std::abs(a), std::abs(b)) * 0.9);
    // No contour repeats its start point at the end.
    for (const auto& contour : o.contours) {
        EXPECT_FALSE(contour.front().x == contour.back().x && contour.front().y == contour.back().y);
        EXPECT_GT(contour.size(), 16u);
    }
    // A coarser flatness gives fewer points on the same curves.
    const GlyphMesh coarse = TessellateGlyph(face_.Face(), 'O', 0.05);
    EXPECT_LT(coarse.contours[0].size(), o.contours[0].size());
}

TEST_F(GlyphTest, TrianglesFaceForward) {
    for (const char c : {'X', 'O', 'B', 'Z'}) {
        const GlyphMesh mesh = TessellateGlyph(face_.Face(), static_cast<unsigned char>(c));
        for (std::size_t i = 0; i + 2 < mesh.triangles.size(); i += 3)
            ASSERT_GT(PolygonArea({mesh.triangles[i], mesh.triangles[i + 1], mesh.triangles[i + 2]}), 0.0) << c;
    }
}

TEST_F(GlyphTest, SpaceHasAdvanceButNoShape) {
    const GlyphMesh space = TessellateGlyph(face_.Face(), ' ');
    EXPECT_TRUE(space.triangles.empty());
    EXPECT_TRUE(space.contours.empty());
    EXPECT_GT(space.advance, 0.1);
}

TEST(GlyphMeshTest, NoFaceGivesEmptyMesh) {
    const GlyphMesh mesh = TessellateGlyph(nullptr, 'X');
    EXPECT_TRUE(mesh.triangles.empty());
    EXPECT_EQ(mesh.advance, 0.0);
}

}  // namespace
}  // namespace zelvor
