// The element table file: reading, writing, the default file and the shipped table.
#include "model/elements.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <set>
#include <sstream>

#include "model/dravik_doc.h"
#include "model_fixtures.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

const std::string kHeader = ELEMENTS_FILE_HEADER;
const std::string kParseError = "Error parsing the elementsfile.\nDelete it and restart this program.\n";

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class ElementsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetElementTable(); }
    void TearDown() override { ResetElementTable(); }
    std::string Write(const std::string& text) { return test::WriteFile(dir, "Elements.dat", text); }
    QTemporaryDir dir;
    test::CapturedMessages messages;
};

TEST_F(ElementsTest, AMissingFileIsReportedAndWrittenWithTheDefaults) {
    const std::string path = dir.path().toStdString() + "/Elements.dat";
    CElements elements(path);
    EXPECT_EQ(elements.ElementsPath(), path);
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0], "The file,\n" + path +
                                       ",\nwas not found. A new one will be created from scratch.\nYou may want to "
                                       "edit it to your own liking.\n");
    const auto lines = Lines(path);
    ASSERT_EQ(lines.size(), 109u);
    EXPECT_EQ(lines[0] + "\n", kHeader);
    EXPECT_EQ(lines[1], "Zx \t 1 \t 128 \t 128 \t 128 \t 1 \t 1.5 \t 6 \t 0");
    EXPECT_EQ(lines[108], "Zx \t 108 \t 128 \t 128 \t 128 \t 1 \t 1.5 \t 6 \t 0");
    EXPECT_EQ(elements.ReadElementsData(path), 1) << "the written file reads back";
    EXPECT_STREQ(ElementTable()[0].symbol, "Zx");
    EXPECT_FLOAT_EQ(ElementTable()[0].red, 0.5f);
}

TEST_F(ElementsTest, AOneRowFileFillsTheFirstRecordOnly) {
    CElements elements(Write(kHeader + "H \t 1 \t 255 \t 0 \t 128 \t 1.2 \t 0.31 \t -3.739 \t 0\n"));
    EXPECT_TRUE(messages.Texts().empty());
    const AtomData& h = ElementTable()[0];
    EXPECT_STREQ(h.symbol, "H");
    EXPECT_EQ(h.atomicNumber, 1);
    EXPECT_FLOAT_EQ(h.red, 0.99609375f);
    EXPECT_FLOAT_EQ(h.green, 0.0f);
    EXPECT_FLOAT_EQ(h.blue, 0.5f);
    EXPECT_FLOAT_EQ(h.vdWRadius, 1.2f);
    EXPECT_FLOAT_EQ(h.covalentRadius, 0.31f);
    EXPECT_FLOAT_EQ(h.scatteringLength, -3.739f);
    EXPECT_STREQ(ElementTable()[1].symbol, "Zx");

    CDravikDoc doc;
    Atom atom;
    EXPECT_EQ(doc.SetAtomData(atom, "H", -1), 1);
    EXPECT_EQ(atom.element, &ElementTable()[0]);
    EXPECT_EQ(doc.SetAtomData(atom, "He", -1), 0);
    EXPECT_EQ(atom.element, &ElementTable()[FALLBACK_ELEMENT]);
    EXPECT_STREQ(atom.element->symbol, "Zx");
}

TEST_F(ElementsTest, SevenFieldRowsKeepTheDefaultScatteringLengthAndExtraValue) {
    CElements elements(Write(kHeader + "C 6 144 144 144 1.7 0.76\nN\t7\t48\t80\t248\t1.55\t0.71\t9.36\r\n"));
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_FLOAT_EQ(ElementTable()[0].scatteringLength, 6.0f);
    EXPECT_FLOAT_EQ(ElementTable()[0].extraValue, 0.0f);
    EXPECT_FLOAT_EQ(ElementTable()[1].scatteringLength, 9.36f) << "tabs and CRLF";
    EXPECT_FLOAT_EQ(ElementTable()[1].extraValue, 0.0f);
}

TEST_F(ElementsTest, ABrokenRowStopsReadingAndKeepsTheRowsBefore) {
    const std::string path =
        Write(kHeader + "H 1 255 255 255 1.2 0.31\nHe 2 217 255 x 1.4 0.28\nLi 3 204 128 255 1.82 1.28\n");
    CElements elements(path);
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0], kParseError);
    EXPECT_STREQ(ElementTable()[0].symbol, "H");
    EXPECT_STREQ(ElementTable()[1].symbol, "Zx");
    EXPECT_STREQ(ElementTable()[2].symbol, "Zx");
    ResetElementTable();
    EXPECT_EQ(elements.ReadElementsData(path), 0);
}

TEST_F(ElementsTest, AnEmptyFileOrARowWithSixFieldsIsAParseError) {
    CElements empty(Write(""));
    CElements shortRow(Write(kHeader + "H 1 255 255 255 1.2\n"));
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{kParseError, kParseError}));
}

TEST_F(ElementsTest, WritingRenumbersTheRecordsAndRoundTrips) {
    CElements elements(Write(kHeader + "Fe 5 224 102 51 2.44 1.32 9.45 0.25\nO 99 255 13 13 1.52 0.66 5.803 0\n"));
    const std::string out = dir.path().toStdString() + "/written.dat";
    elements.WriteElementsData(out.c_str());
    const auto lines = Lines(out);
    ASSERT_EQ(lines.size(), 109u);
    EXPECT_EQ(lines[1], "Fe \t 1 \t 224 \t 102 \t 51 \t 2.44 \t 1.32 \t 9.45 \t 0.25");
    EXPECT_EQ(lines[2], "O \t 2 \t 255 \t 13 \t 13 \t 1.52 \t 0.66 \t 5.803 \t 0");
    EXPECT_EQ(lines[3], "Zx \t 3 \t 128 \t 128 \t 128 \t 1 \t 1.5 \t 6 \t 0");
    EXPECT_EQ(ElementTable()[1].atomicNumber, 2);

    ResetElementTable();
    EXPECT_EQ(elements.ReadElementsData(out), 1);
    EXPECT_EQ(ElementTable()[1].atomicNumber, 2);
    EXPECT_FLOAT_EQ(ElementTable()[0].extraValue, 0.25f);
    EXPECT_FLOAT_EQ(ElementTable()[0].red, 224.0f / 256.0f);
    EXPECT_EQ(ElementTable()[107].atomicNumber, 108);
}

TEST_F(ElementsTest, LinesBeyondTheTableAreIgnored) {
    std::ostringstream text;
    text << kHeader;
    for (int k = 1; k <= 110; ++k) text << "E" << k << " " << k << " 0 0 0 1 1 1 1\n";
    CElements elements(Write(text.str()));
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_STREQ(ElementTable()[107].symbol, "E108");
}

TEST_F(ElementsTest, TheShippedTableHoldsRealElementsAndTheFallBack) {
    CElements elements(test::BinDir() + "/Elements.dat");
    ASSERT_TRUE(messages.Texts().empty());
    const auto& table = ElementTable();
    std::set<std::string> symbols;
    for (int i = 0; i < ELEMENT_COUNT; ++i) {
        const AtomData& e = table[i];
        EXPECT_EQ(e.atomicNumber, i + 1) << e.symbol;
        EXPECT_TRUE(symbols.insert(e.symbol).second) << "duplicate " << e.symbol;
        EXPECT_GE(e.vdWRadius, 1.0f) << e.symbol;
        EXPECT_LT(e.vdWRadius, 3.6f) << e.symbol;
        EXPECT_GT(e.covalentRadius, 0.25f) << e.symbol;
        EXPECT_LT(e.covalentRadius, 2.7f) << e.symbol;
        for (float c : {e.red, e.green, e.blue}) {
            EXPECT_GE(c, 0.0f) << e.symbol;
            EXPECT_LT(c, 1.0f) << e.symbol;
        }
    }
    EXPECT_STREQ(table[0].symbol, "H");
    EXPECT_FLOAT_EQ(table[0].vdWRadius, 1.2f);
    EXPECT_FLOAT_EQ(table[0].scatteringLength, -3.739f);
    EXPECT_STREQ(table[5].symbol, "C");
    EXPECT_FLOAT_EQ(table[5].vdWRadius, 1.7f);
    EXPECT_FLOAT_EQ(table[5].covalentRadius, 0.76f);
    EXPECT_STREQ(table[7].symbol, "O");
    EXPECT_FLOAT_EQ(table[7].red, 255.0f / 256.0f);
    EXPECT_STREQ(table[16].symbol, "Cl");
    EXPECT_STREQ(table[25].symbol, "Fe");
    EXPECT_STREQ(table[106].symbol, "Bh");
    EXPECT_STREQ(table[107].symbol, "Zx");
    EXPECT_FLOAT_EQ(table[107].vdWRadius, 1.0f);
    EXPECT_FLOAT_EQ(table[107].covalentRadius, 1.5f);
    EXPECT_FLOAT_EQ(table[107].scatteringLength, 6.0f);
    EXPECT_FLOAT_EQ(table[107].red, 0.5f);

    // The shipped file is exactly what the program writes back.
    const std::string copy = dir.path().toStdString() + "/copy.dat";
    elements.WriteElementsData(copy.c_str());
    EXPECT_EQ(Lines(copy), Lines(test::BinDir() + "/Elements.dat"));
}

}  // namespace
}  // namespace zelvor
