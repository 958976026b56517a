#include "render/text_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace zelvor {
namespace {

std::string Piece(const TextPiece& piece) { return std::string(piece.text, piece.length); }

TEST(SplitTextLines, WrapsAfterEightyCharacters) {
    const std::string eighty(80, 'a');
    auto pieces = SplitTextLines(eighty.c_str());
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].length, 80u);
    EXPECT_EQ(pieces[0].dy, 0.0f);

    const std::string eightyOne = eighty + "b";
    pieces = SplitTextLines(eightyOne.c_str());
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(Piece(pieces[0]), eighty);
    EXPECT_EQ(Piece(pieces[1]), "b");
    EXPECT_EQ(pieces[1].dy, 10.0f);

    const std::string long200(200, 'c');
    pieces = SplitTextLines(long200.c_str());
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[2].length, 40u);
    EXPECT_EQ(pieces[2].dy, 20.0f);
}

TEST(SplitTextLines, NewlinesStartNewLines) {
    auto pieces = SplitTextLines("a\nb");
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(Piece(pieces[0]), "a");
    EXPECT_EQ(Piece(pieces[1]), "b");
    EXPECT_EQ(pieces[1].dy, 10.0f);

    pieces = SplitTextLines("one\n\nthree");
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(Piece(pieces[0]), "one");
    // The second newline now leads the rest, which is drawn as one piece.
    EXPECT_EQ(Piece(pieces[1]), "\nthree");
    EXPECT_EQ(pieces[1].dy, 10.0f);
}

TEST(SplitTextLines, LeadingNewlineIsDrawnAsOnePiece) {
    const auto pieces = SplitTextLines("\nab\ncd");
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(Piece(pieces[0]), "\nab\ncd");
    EXPECT_EQ(pieces[0].dy, 0.0f);
}

TEST(SplitTextLines, EmptyAndNullTextsDrawNothing) {
    EXPECT_TRUE(SplitTextLines(nullptr).empty());
    EXPECT_TRUE(SplitTextLines("").empty());
    const auto pieces = SplitTextLines("a\n");
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(Piece(pieces[0]), "a");
}

}  // namespace
}  // namespace zelvor
