#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "model/dravik_doc.h"
#include "reader_fixtures.h"

namespace zelvor::test {
namespace {

class ReadPdbTest : public ReaderTest {};

/// One ATOM/HETATM record in the standard columns; name is the 4-character field of columns 13-16.
std::string AtomLine(const char* name, double x, double y, double z, const char* element = "  ",
                     const char* record = "ATOM") {
    char line[96];
    std::snprintf(line, sizeof line, "%-6s%5d %-4s %3s %c%4d    %8.3f%8.3f%8.3f%6.2f%6.2f          %2s\n", record, 1,
                  name, "GLY", 'A', 1, x, y, z, 1.0, 0.0, element);
    return line;
}

std::string Model(int n, const std::string& atoms) {
    char line[32];
    std::snprintf(line, sizeof line, "MODEL     %4d\n", n);
    return line + atoms + "ENDMDL\n";
}

TEST_F(ReadPdbTest, ModelsBecomeFramesCentredWithCubicCells) {
    const std::string atoms = AtomLine(" N  ", 0, 0, 0, " N") + AtomLine(" CA ", 2, 0, 0, " C") +
                              AtomLine(" C  ", 4, 0, 0, " C");
    const std::string shifted = AtomLine(" N  ", 10, 0, 0, " N") + AtomLine(" CA ", 10, 3, 0, " C") +
                                AtomLine(" C  ", 10, 6, 0, " C");
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadPDBFile(Write("m.pdb", Model(1, atoms) + Model(2, shifted) + "END\n").c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 2);
    const Frame& a = doc.GetFrame(0);
    const Frame& b = doc.GetFrame(1);
    EXPECT_EQ(a.atomCount, 3);
    EXPECT_EQ(b.atomCount, 3);
    EXPECT_DOUBLE_EQ(a.atoms[1].position.x, -2.0);
    EXPECT_DOUBLE_EQ(a.cellA.x, 4.0);
    EXPECT_DOUBLE_EQ(b.atoms[3].position.y, 3.0);
    EXPECT_DOUBLE_EQ(b.cellB.y, 6.0);
    EXPECT_FALSE(b.cellGiven);
    EXPECT_EQ(Symbol(a, 1), "N");
    EXPECT_EQ(Symbol(b, 2), "C");
    // A notice after every finished frame; the progress ends at 100 %.
    EXPECT_EQ((Notices()), (std::vector<unsigned>{MSG_FIRST_FRAME_READ, MSG_FIRST_FRAME_READ}));
    EXPECT_EQ(LastProgress().wParam, 65536 + 100);
}

TEST_F(ReadPdbTest, WithoutModelsOneFrameHoldsTheAtomsUpToTheFirstEnd) {
    const std::string text = "HEADER    TEST\n" + AtomLine(" O  ", 0, 0, 0, " O") +
                             AtomLine("HOH ", 1, 0, 0, " O", "HETATM") + "END\n" + AtomLine(" C  ", 5, 5, 5, " C");
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadPDBFile(Write("a.pdb", text).c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 1);
    EXPECT_EQ(ElementCounts(doc.GetFrame(0)), (std::map<std::string, int>{{"O", 2}}));
}

TEST_F(ReadPdbTest, ElementsFromSymbolColumnsThenAtomNameIgnoringCase) {
    const std::string text = AtomLine(" CA ", 0, 0, 0, " C") +   // C-alpha with its element
                             AtomLine(" CA ", 1, 0, 0) +         // C-alpha, name columns " C"
                             AtomLine("CA  ", 2, 0, 0) +         // calcium ion, name columns "CA"
                             AtomLine("FE  ", 3, 0, 0, "FE") +   // upper-case symbol
                             AtomLine("CL  ", 4, 0, 0, "CL") +
                             AtomLine("HG21", 5, 0, 0) +         // four-character hydrogen name, not mercury
                             AtomLine("1HH3", 6, 0, 0) +         // digit first: hydrogen, not hafnium
                             AtomLine(" N  ", 7, 0, 0, "10") +   // no symbol in columns 77-78
                             AtomLine("QQ  ", 8, 0, 0, "XX") +   // nothing known at all
                             AtomLine("HG  ", 9, 0, 0, "  ");    // a real mercury ion
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadPDBFile(Write("e.pdb", text).c_str()), 1);
    const Frame& f = doc.GetFrame(0);
    const char* expected[] = {"C", "C", "Ca", "Fe", "Cl", "H", "H", "N", "Zx", "Hg"};
    ASSERT_EQ(f.atomCount, 10);
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(Symbol(f, i), expected[i - 1]) << "atom " << i;
}

TEST_F(ReadPdbTest, ModelsOfOtherSizes) {
    const std::string three = AtomLine(" N  ", 0, 0, 0, " N") + AtomLine(" C  ", 1, 0, 0, " C") +
                              AtomLine(" O  ", 2, 0, 0, " O");
    const std::string two = AtomLine(" N  ", 0, 0, 0, " N") + AtomLine(" C  ", 1, 0, 0, " C");
    const std::string four = three + AtomLine(" S  ", 50, 50, 50, " S");
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadPDBFile(Write("s.pdb", Model(1, three) + Model(2, two) + Model(3, four) + "END\n").c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 3);
    EXPECT_EQ(doc.GetFrame(1).atomCount, 2);  // no phantom atom at the origin
    EXPECT_DOUBLE_EQ(doc.GetFrame(1).cellA.x, 1.0);
    EXPECT_EQ(doc.GetFrame(2).atomCount, 3);  // atoms beyond the first model's count are ignored
    EXPECT_EQ(ElementCounts(doc.GetFrame(2)).count("S"), 0u);

    ASSERT_EQ(doc.ReadPDBFile(DataPath("biopython-1LCD.pdb").c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 3);
    EXPECT_EQ(doc.GetFrame(0).atomCount, 1137);
    EXPECT_EQ(doc.GetFrame(1).atomCount, 1125);
    EXPECT_EQ(doc.GetFrame(2).atomCount, 1122);
    EXPECT_EQ(ElementCounts(doc.GetFrame(0)),
              (std::map<std::string, int>{
                  {"C", 464}, {"H", 243}, {"N", 152}, {"Na", 1}, {"O", 255}, {"P", 20}, {"S", 2}}));
}

TEST_F(ReadPdbTest, TitleRecordsFormTheCommentOfEveryFrame) {
    const std::string text = "TITLE        ABC   \nTITLE    2  DEF\nKEYWDS    KEY\nJRNL        AUTH X\n"
                             "REMARK   1 NO\n" +
                             Model(1, AtomLine(" C  ", 0, 0, 0, " C")) + Model(2, AtomLine(" C  ", 1, 0, 0, " C"));
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadPDBFile(Write("t.pdb", text).c_str()), 1);
    EXPECT_STREQ(doc.GetTitleText(), "ABC\nDEF\nKEY\nAUTH X\n");
    EXPECT_EQ(doc.GetFrame(0).comment, doc.GetTitleText());
    EXPECT_EQ(doc.GetFrame(1).comment, doc.GetTitleText());

    std::string many;
    for (int i = 0; i < 300; ++i) many += "TITLE     " + std::string(62, 'x') + "\n";
    ASSERT_EQ(doc.ReadPDBFile(Write("long.pdb", many + AtomLine(" C  ", 0, 0, 0, " C")).c_str()), 1);
    EXPECT_EQ(std::strlen(doc.GetTitleText()), static_cast<std::size_t>(TITLE_SIZE - 1));
}

TEST_F(ReadPdbTest, ForeignCharactersInCoordinatesEndTheLoadWithTheAtomsBefore) {
    const std::string text = AtomLine(" N  ", 0, 0, 0, " N") + AtomLine(" CA ", 2, 0, 0, " C") +
                             "ATOM      3  C   GLY A   1       2.0O0   1.420   0.000  1.00  0.00           C\n" +
                             AtomLine(" O  ", 1, 2, 0, " O");
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadPDBFile(Write("bad.pdb", text).c_str()), 1);
    EXPECT_EQ(GetSharedMessage(), "Line 3 doesn't conform to the PDB specifications.");
    ASSERT_EQ(doc.GetFrameCount(), 1);
    EXPECT_EQ(doc.GetFrame(0).atomCount, 2);
    EXPECT_EQ((Notices()), (std::vector<unsigned>{MSG_SHOW_MESSAGE, MSG_FIRST_FRAME_READ}));

    // A record cut inside the coordinates does not conform either.
    ASSERT_EQ(doc.ReadPDBFile(DataPath("adv-pdb-truncated-line.pdb").c_str()), 1);
    EXPECT_EQ(GetSharedMessage(), "Line 5 doesn't conform to the PDB specifications.");
    EXPECT_EQ(doc.GetFrame(0).atomCount, 4);
}

TEST_F(ReadPdbTest, RecordsCutBeforeTheCoordinatesAreIncomprehensible) {
    const std::string first = AtomLine(" N  ", 0, 0, 0, " N") + AtomLine(" C  ", 1, 0, 0, " C");
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadPDBFile(Write("a.pdb", AtomLine(" N  ", 0, 0, 0, " N") + "ATOM      2  C   GLY\n").c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), "Incomprehensible data in the 2. line \nin the 0. frames in the PDB file");
    EXPECT_EQ(doc.GetFrameCount(), 0);
    EXPECT_EQ(doc.PercentageLoaded(), 0);
    EXPECT_EQ((Notices()), (std::vector<unsigned>{MSG_FIRST_FRAME_READ, MSG_SHOW_MESSAGE}));

    // Cut at the first atom of a later model: that model is dropped and the load ends quietly.
    SetSharedMessage("");
    ASSERT_EQ(doc.ReadPDBFile(Write("b.pdb", Model(1, first) + "MODEL        2\nATOM      1  N\n").c_str()), 1);
    EXPECT_EQ(doc.GetFrameCount(), 1);
    EXPECT_EQ(GetSharedMessage(), "");
    EXPECT_EQ(doc.PercentageLoaded(), 100);
}

TEST_F(ReadPdbTest, FrameStoreHoldsAtMost5000Models) {
    std::string text;
    for (int m = 1; m <= 5001; ++m) text += Model(m, AtomLine(" C  ", m % 7, 0, 0, " C"));
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadPDBFile(Write("many.pdb", text).c_str()), 0);
    EXPECT_EQ(doc.GetFrameCount(), 5000);
    EXPECT_EQ(GetSharedMessage(), kTooManyFrames);
}

TEST_F(ReadPdbTest, ManySmallModelsAfterAHugeFirstCountStayWithinMemory) {
    // Models without ENDMDL: the first END comes only after 200,000 more records, so every model is
    // announced with that many atoms while each holds one. Allocating the announced count per model would
    // take 22 GB.
    std::string text;
    for (int m = 1; m <= 1001; ++m)
        text += "MODEL     " + std::to_string(m) + "\n" + AtomLine(" C  ", m % 5, 0, 0, " C");
    for (int i = 0; i < 200000; ++i) text += "ATOM\n";
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadPDBFile(Write("bomb.pdb", text + "END\n").c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), "Incomprehensible data in the 2. line \nin the 1000. frames in the PDB file");
    EXPECT_EQ(doc.GetFrameCount(), 1000);
    EXPECT_EQ(doc.GetFrame(999).atomCount, 1);
}

TEST_F(ReadPdbTest, FilesWithoutAtomsOrThatCannotBeOpenedFail) {
    CDravikDoc doc;
    const std::string remarks = Write("r.pdb", "REMARK   1 NOTHING HERE\nEND\n");
    EXPECT_EQ(doc.ReadPDBFile(remarks.c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), SeemsCorrupt(remarks));
    EXPECT_EQ(doc.GetFrameCount(), 0);

    sink.Clear();
    const std::string missing = dir.path().toStdString() + "/missing.pdb";
    EXPECT_EQ(doc.ReadPDBFile(missing.c_str()), -1);
    EXPECT_EQ(GetSharedMessage(), "Error opening the file\n" + missing);
    EXPECT_EQ((Notices()), (std::vector<unsigned>{MSG_FIRST_FRAME_READ, MSG_SHOW_MESSAGE}));
}

TEST_F(ReadPdbTest, CrlfFilesReadLikeLf) {
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadPDBFile(DataPath("adv-pdb-crlf-models.pdb").c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 2);
    for (int f = 0; f < 2; ++f) {
        const Frame& frame = doc.GetFrame(f);
        ASSERT_EQ(frame.atomCount, 4);
        EXPECT_EQ(Symbol(frame, 1) + Symbol(frame, 2) + Symbol(frame, 3) + Symbol(frame, 4), "NCCO");
    }
    // No element columns, CRLF: the atom names decide.
    ASSERT_EQ(doc.ReadPDBFile(DataPath("apbs-2-methylbutane.pdb").c_str()), 1);
    EXPECT_EQ(ElementCounts(doc.GetFrame(0)), (std::map<std::string, int>{{"C", 5}, {"H", 12}}));
}

}  // namespace
}  // namespace zelvor::test
