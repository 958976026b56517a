#include "model/io/text_scanner.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <string>

#include "support/test_support.h"

namespace zelvor {
namespace {

using test::WriteFile;

std::vector<std::string> AllLines(CTextScanner& in) {
    std::vector<std::string> lines;
    std::string_view line;
    while (in.ReadLine(line)) lines.emplace_back(line);
    return lines;
}

TEST(TextScannerTest, LinesReadAlikeWithLfCrlfAndByteOrderMark) {
    const std::vector<std::string> expected = {"first", "", "  third", "last"};
    for (const std::string text : {"first\n\n  third\nlast", "first\r\n\r\n  third\r\nlast\r\n",
                                   "\xEF\xBB\xBF" "first\n\n  third\nlast\n"}) {
        CTextScanner in;
        in.OpenMemory(text);
        EXPECT_EQ(AllLines(in), expected);
    }
}

TEST(TextScannerTest, LongLinesAreCutAndTheRestSkippedAcrossRefills) {
    QTemporaryDir dir;
    // A 3 MiB line is longer than the buffer: the head is kept, the rest skipped through several refills.
    const std::string longLine = std::string(600, 'a') + std::string(3 << 20, 'b');
    const std::string path = WriteFile(dir, "long.txt", longLine + "\nnext line\n" + std::string(500, 'c'));
    CTextScanner in;
    ASSERT_TRUE(in.OpenFile(path.c_str()));
    const std::vector<std::string> lines = AllLines(in);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], std::string(MAX_LINE_CHARS, 'a'));
    EXPECT_EQ(lines[1], "next line");
    EXPECT_EQ(lines[2], std::string(MAX_LINE_CHARS, 'c'));
    EXPECT_EQ(in.Position(), in.Size());
}

TEST(TextScannerTest, TokensSpanningBufferRefillsAreReadWhole) {
    QTemporaryDir dir;
    std::string text;
    double expected = 0.0;
    for (int i = 0; i < 400000; ++i) {
        text += std::to_string(i) + ".25 ";
        expected += i + 0.25;
        if (i % 7 == 0) text += "\r\n";
    }
    const std::string path = WriteFile(dir, "numbers.txt", text);
    CTextScanner in;
    ASSERT_TRUE(in.OpenFile(path.c_str()));
    double sum = 0.0, value = 0.0;
    int count = 0;
    while (in.ReadNumber(value)) {
        sum += value;
        ++count;
    }
    EXPECT_EQ(count, 400000);
    EXPECT_EQ(sum, expected);
    EXPECT_TRUE(in.AtEnd());
}

TEST(TextScannerTest, WordsAreCutButConsumedWhole) {
    const std::string text = "  short " + std::string(700, 'w') + " after";
    CTextScanner in;
    in.OpenMemory(text);
    std::string_view word;
    ASSERT_TRUE(in.ReadWord(word));
    EXPECT_EQ(word, "short");
    ASSERT_TRUE(in.ReadWord(word));
    EXPECT_EQ(word.size(), MAX_LINE_CHARS);
    ASSERT_TRUE(in.ReadWord(word));
    EXPECT_EQ(word, "after");
    EXPECT_FALSE(in.ReadWord(word));
}

struct NumberCase {
    const char* text;
    bool ok;
    double value;
    const char* rest;  // what is left after the number
};

TEST(TextScannerTest, NumbersFollowStreamRulesOfTheClassicLocale) {
    const NumberCase cases[] = {
        {"  -12.34567 x", true, -12.34567, " x"},
        {"+3.5", true, 3.5, ""},
        {"1.95234E-09", true, 1.95234e-09, ""},
        {"7.", true, 7.0, ""},
        {".25", true, 0.25, ""},
        {"1.0-2.0", true, 1.0, "-2.0"},        // a stream reads the next number straight on
        {"2.0O0", true, 2.0, "O0"},            // and stops at the first foreign character
        {"12345678901234567890123", true, 12345678901234567890123.0, ""},
        {"0.1234567890123456789012", true, 0.1234567890123456789012, ""},
        {"1e-400", true, 0.0, ""},             // underflow reads as zero
        {"1e400", false, 0, ""},               // overflow is no number
        {"1e", false, 0, ""},
        {"O.757200", false, 0, ""},
        {".", false, 0, ""},
        {"-", false, 0, ""},
        {"nan", false, 0, ""},
        {"inf", false, 0, ""},
        {"", false, 0, ""},
    };
    for (const NumberCase& c : cases) {
        const char* p = c.text;
        const char* end = c.text + std::strlen(c.text);
        double value = -99.0;
        ASSERT_EQ(scan::ParseNumber(p, end, value), c.ok) << c.text;
        if (!c.ok) {
            EXPECT_EQ(p, c.text) << c.text;
            continue;
        }
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_STREQ(p, c.rest) << c.text;
    }
    // Voxel values may be nan or inf; the caller keeps them out of statistics.
    for (const char* text : {"nan", "-inf", "inf"}) {
        const char* p = text;
        double value = 0.0;
        ASSERT_TRUE(scan::ParseNumber(p, text + std::strlen(text), value, true)) << text;
        EXPECT_FALSE(std::isfinite(value)) << text;
    }
    const char* huge = "-1e400";
    double value = 0.0;
    EXPECT_FALSE(scan::ParseNumber(huge, huge + 6, value, true));
}

TEST(TextScannerTest, IntegersFollowStreamRules) {
    CTextScanner in;
    in.OpenMemory("  +5 -3 3.5 99999999999999999999 x");
    long long v = 0;
    ASSERT_TRUE(in.ReadInteger(v));
    EXPECT_EQ(v, 5);
    ASSERT_TRUE(in.ReadInteger(v));
    EXPECT_EQ(v, -3);
    ASSERT_TRUE(in.ReadInteger(v));
    EXPECT_EQ(v, 3);
    std::string_view rest;
    ASSERT_TRUE(in.ReadWord(rest));
    EXPECT_EQ(rest, ".5");
    EXPECT_FALSE(in.ReadInteger(v));  // beyond 64 bits
}

TEST(TextScannerTest, OnlyRegularFilesOpen) {
    QTemporaryDir dir;
    CTextScanner in;
    EXPECT_FALSE(in.OpenFile((dir.path().toStdString() + "/missing.xyz").c_str()));
    EXPECT_FALSE(in.OpenFile(dir.path().toStdString().c_str()));
    EXPECT_FALSE(in.OpenFile(nullptr));
}

TEST(TextScannerTest, RewindStartsAgainAfterTheByteOrderMark) {
    QTemporaryDir dir;
    const std::string path = WriteFile(dir, "bom.txt", "\xEF\xBB\xBF" "one\ntwo\n");
    CTextScanner in;
    ASSERT_TRUE(in.OpenFile(path.c_str()));
    EXPECT_EQ(AllLines(in).size(), 2u);
    ASSERT_TRUE(in.Rewind());
    EXPECT_EQ(AllLines(in), (std::vector<std::string>{"one", "two"}));
}

}  // namespace
}  // namespace zelvor
