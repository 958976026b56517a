#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "model/dravik_doc.h"
#include "reader_fixtures.h"

namespace zelvor::test {
namespace {

class ReadXyzTest : public ReaderTest {};

std::string Frames(int count, const std::string& frame) {
    std::string text;
    for (int i = 0; i < count; ++i) text += frame;
    return text;
}

TEST_F(ReadXyzTest, FramesWithoutCellAreCentredEachOnItsOwnMean) {
    CDravikDoc doc;
    const std::string path = Write("two.xyz", "2\nfirst\nC 0 0 0\nC 2 0 0\n2\nsecond\nH 10 10 10\nH 10 14 10\n");
    ASSERT_EQ(doc.ReadXYZCoordinates(path.c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 2);
    const Frame& a = doc.GetFrame(0);
    const Frame& b = doc.GetFrame(1);
    EXPECT_STREQ(a.comment, "first");
    EXPECT_STREQ(b.comment, "second");
    EXPECT_DOUBLE_EQ(a.atoms[1].position.x, -1.0);
    EXPECT_DOUBLE_EQ(a.atoms[2].position.x, 1.0);
    EXPECT_DOUBLE_EQ(a.cellA.x, 2.0);
    EXPECT_DOUBLE_EQ(a.cellC.z, 2.0);
    EXPECT_DOUBLE_EQ(b.atoms[1].position.y, -2.0);
    EXPECT_DOUBLE_EQ(b.atoms[2].position.y, 2.0);
    EXPECT_DOUBLE_EQ(b.atoms[1].position.x, 0.0);
    EXPECT_DOUBLE_EQ(b.cellB.y, 4.0);
    EXPECT_FALSE(b.cellGiven);
    EXPECT_DOUBLE_EQ(a.maxCellWidth, 8.0);
    EXPECT_EQ(Symbol(a, 1), "C");
    EXPECT_EQ(Symbol(b, 2), "H");
    // One first-frame notice, and the progress ends at 100 %.
    EXPECT_EQ(Notices(), std::vector<unsigned>{MSG_FIRST_FRAME_READ});
    EXPECT_EQ(LastProgress().wParam, 65536 + 100);
    EXPECT_EQ(doc.PercentageLoaded(), 100);
}

TEST_F(ReadXyzTest, FrameWithoutExtentGetsAMadeBoxNotAZeroCell) {
    CDravikDoc doc;
    const std::string path = Write("one.xyz", "1\nlone atom\nNa 3 4 5\n2\nsame point\nC 1 1 1\nC 1 1 1\n");
    ASSERT_EQ(doc.ReadXYZCoordinates(path.c_str()), 1);
    for (int f = 0; f < 2; ++f) {
        const Frame& frame = doc.GetFrame(f);
        EXPECT_FALSE(frame.cellGiven) << f;
        EXPECT_DOUBLE_EQ(frame.cellA.x, 2.0) << f;
        EXPECT_DOUBLE_EQ(frame.cellC.z, 2.0) << f;
        EXPECT_DOUBLE_EQ(frame.atoms[1].position.x, 0.0) << f;
    }
}

TEST_F(ReadXyzTest, CellOnCommentLineKeepsCoordinates) {
    CDravikDoc doc;
    const std::string path =
        Write("cell.xyz", "3\n#t= 0.052  La= 10 0 0 Lb= 0 10 0 Lc= 0 0 10 frame=1\nO 1 1 1\nH 2 1 1\nH 1 2 1\n");
    ASSERT_EQ(doc.ReadXYZCoordinates(path.c_str()), 1);
    const Frame& f = doc.GetFrame(0);
    EXPECT_DOUBLE_EQ(f.atoms[2].position.x, 2.0);
    EXPECT_DOUBLE_EQ(f.cellA.x, 10.0);
    EXPECT_DOUBLE_EQ(f.cellB.y, 10.0);
    EXPECT_DOUBLE_EQ(f.cellC.z, 10.0);
    EXPECT_TRUE(f.cellGiven);
    EXPECT_DOUBLE_EQ(f.maxCellWidth, 13.0);
}

TEST_F(ReadXyzTest, UnreadableCellFailsNamingTheFrame) {
    CDravikDoc doc;
    const std::string good = "1\nLa= 10 0 0 Lb= 0 10 0 Lc= 0 0 10\nH 0 0 0\n";
    const std::string bad = "1\nLa= 10 0 x Lb= 0 10 0 Lc= 0 0 10\nH 0 0 0\n";
    ASSERT_EQ(doc.ReadXYZCoordinates(Write("a.xyz", bad).c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), CellRubbish(0));
    EXPECT_EQ(doc.GetFrameCount(), 0);
    EXPECT_EQ((Notices()), (std::vector<unsigned>{MSG_FIRST_FRAME_READ, MSG_SHOW_MESSAGE}));
    EXPECT_EQ(LastProgress().wParam, 0);  // progress hidden
    EXPECT_EQ(doc.PercentageLoaded(), 0);

    // A partial cell (no third vector) fails too; frames read before stay.
    ASSERT_EQ(doc.ReadXYZCoordinates(Write("b.xyz", good + "1\nLa= 10 0 0 Lb= 0 10 0\nH 0 0 0\n").c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), CellRubbish(1));
    EXPECT_EQ(doc.GetFrameCount(), 1);
}

TEST_F(ReadXyzTest, CommentIsTextAfterTheCountElseTheNextLineEvenWhenEmpty) {
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadXYZCoordinates(Write("a.xyz", "2  after the count\nH 0 0 0\nH 0 0 0.74\n").c_str()), 1);
    EXPECT_STREQ(doc.GetFrame(0).comment, "after the count");
    EXPECT_EQ(doc.GetFrame(0).atomCount, 2);

    const std::string emptyComments = "2\n\nH 0 0 0\nH 0 0 0.74\n   2\n\nH 0 0 0\nH 0 0 0.8\n";
    ASSERT_EQ(doc.ReadXYZCoordinates(Write("b.xyz", emptyComments).c_str()), 1);
    EXPECT_EQ(doc.GetFrameCount(), 2);
    EXPECT_STREQ(doc.GetFrame(1).comment, "");

    // A path of images written with empty comment lines.
    ASSERT_EQ(doc.ReadXYZCoordinates(DataPath("qe-neb-Al001+H_bc3.xyz").c_str()), 1);
    EXPECT_EQ(doc.GetFrameCount(), 5);
    for (int f = 0; f < 5; ++f)
        EXPECT_EQ(ElementCounts(doc.GetFrame(f)), (std::map<std::string, int>{{"Al", 4}, {"H", 1}}));
}

TEST_F(ReadXyzTest, LongCommentsAndLabelsAreCut) {
    CDravikDoc doc;
    const std::string text = "2\n" + std::string(800, 'c') + "\n" + std::string(300, 'L') + " 0 0 0\nO_ 0 0 1\n";
    ASSERT_EQ(doc.ReadXYZCoordinates(Write("a.xyz", text).c_str()), 1);
    EXPECT_EQ(std::strlen(doc.GetFrame(0).comment), 499u);
    EXPECT_EQ(Symbol(doc.GetFrame(0), 1), "Zx");
    EXPECT_EQ(Symbol(doc.GetFrame(0), 2), "O");
}

TEST_F(ReadXyzTest, LabelsGetTheElementsSetAtomDataGives) {
    // Many distinct labels (and repeats) so that remembered answers are put to the test.
    const char* symbols[] = {"C", "O_", "c", "Fe", "CL", "Cl", "H", "Xx", "C_", "6", "He", "Hf"};
    std::string text;
    int n = 0;
    std::string atoms;
    for (int i = 0; i < 600; ++i) {
        const std::string label = i % 3 == 0 ? "X" + std::to_string(i % 97) : symbols[i % 12];
        atoms += label + " 0 0 " + std::to_string(i) + "\n";
        ++n;
    }
    text = std::to_string(n) + "\nlabels\n" + atoms;
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadXYZCoordinates(Write("labels.xyz", text).c_str()), 1);
    const Frame& f = doc.GetFrame(0);
    for (int i = 1; i <= n; ++i) {
        const std::string label = (i - 1) % 3 == 0 ? "X" + std::to_string((i - 1) % 97) : symbols[(i - 1) % 12];
        Atom expected;
        doc.SetAtomData(expected, label.c_str(), -1);
        ASSERT_EQ(f.atoms[i].element, expected.element) << label;
    }
    EXPECT_EQ(Symbol(f, 2), "O");    // "O_"
    EXPECT_EQ(Symbol(f, 3), "Zx");   // "c": labels match case-sensitively
    EXPECT_EQ(Symbol(f, 9), "C");    // "C_"
}

TEST_F(ReadXyzTest, AtomLineWithTwoNumbersFailsNamingLineAndFrame) {
    CDravikDoc doc;
    const std::string path = Write("a.xyz", "2\nc\nH 0 0 0\nH 0 0\n");
    ASSERT_EQ(doc.ReadXYZCoordinates(path.c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), LineCouldNotBeRead(2, path));
    EXPECT_EQ(Notices(), std::vector<unsigned>{MSG_SHOW_MESSAGE});
    EXPECT_EQ(LastProgress().wParam, 0);
    EXPECT_EQ(doc.GetFrameCount(), 0);

    const std::string later = Write("b.xyz", "1\nc\nH 0 0 0\n2\nc\nH 0 0 0\nH 0 0 x\n");
    ASSERT_EQ(doc.ReadXYZCoordinates(later.c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), IncomprehensibleData(2, 1, later));
    EXPECT_EQ(doc.GetFrameCount(), 1);
}

TEST_F(ReadXyzTest, CountLineRules) {
    CDravikDoc doc;
    // Text after the last frame ends the file successfully.
    ASSERT_EQ(doc.ReadXYZCoordinates(DataPath("chargemol-DDEC6_net_atomic_charges.xyz").c_str()), 1);
    EXPECT_EQ(doc.GetFrameCount(), 1);
    EXPECT_EQ(ElementCounts(doc.GetFrame(0)), (std::map<std::string, int>{{"O", 3}}));
    EXPECT_EQ(GetSharedMessage(), "");

    const std::string words = Write("words.xyz", "three\nc\nH 0 0 0\n");
    EXPECT_EQ(doc.ReadXYZCoordinates(words.c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), SeemsCorrupt(words));

    EXPECT_EQ(doc.ReadXYZCoordinates(Write("neg.xyz", "-3\nc\nH 0 0 0\n").c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), CellRubbish(0));

    // Counts the rest of the file cannot hold fail like a short frame, without allocating for them.
    const std::string big = Write("big.xyz", "2000000000\nc\nH 0 0 0\nH 0 0 1\nH 0 0 2\n");
    EXPECT_EQ(doc.ReadXYZCoordinates(big.c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), LineCouldNotBeRead(4, big));
    const std::string huge = Write("huge.xyz", "999999999999\nc\nH 0 0 0\n");
    EXPECT_EQ(doc.ReadXYZCoordinates(huge.c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), SeemsCorrupt(huge));

    // An input ending with a count line keeps the frames complete so far.
    EXPECT_EQ(doc.ReadXYZCoordinates(Write("end.xyz", "1\nc\nH 0 0 0\n1\n").c_str()), 1);
    EXPECT_EQ(doc.GetFrameCount(), 1);
}

TEST_F(ReadXyzTest, EmptyInputHasNoFrames) {
    CDravikDoc doc;
    EXPECT_EQ(doc.ReadXYZCoordinates(Write("empty.xyz", "").c_str()), 1);
    EXPECT_EQ(doc.ReadXYZCoordinates(Write("blank.xyz", " \n\n").c_str()), 1);
    EXPECT_EQ(doc.GetFrameCount(), 0);
}

TEST_F(ReadXyzTest, FrameStoreHoldsAtMost5000Frames) {
    CDravikDoc doc;
    const std::string frame = "1\n\nH 0 0 0\n";
    ASSERT_EQ(doc.ReadXYZCoordinates(Write("full.xyz", Frames(5000, frame)).c_str()), 1);
    EXPECT_EQ(doc.GetFrameCount(), 5000);
    EXPECT_EQ(GetSharedMessage(), "");

    sink.Clear();
    ASSERT_EQ(doc.ReadXYZCoordinates(Write("over.xyz", Frames(5001, frame)).c_str()), 0);
    EXPECT_EQ(doc.GetFrameCount(), 5000);
    EXPECT_EQ(GetSharedMessage(), kTooManyFrames);
    EXPECT_EQ((Notices()), (std::vector<unsigned>{MSG_FIRST_FRAME_READ, MSG_FIRST_FRAME_READ, MSG_SHOW_MESSAGE}));
    EXPECT_EQ(LastProgress().wParam, 0);
}

TEST_F(ReadXyzTest, CrlfAndByteOrderMarkReadLikeLf) {
    const std::string lf = "3\nLa= 5 0 0 Lb= 0 5 0 Lc= 0 0 5\nO 0 0 0.1173\nH 0 0.7572 -0.4692\nH 0 -0.7572 -0.4692\n"
                           "2\n\nC 0 0 0\nO 0 0 1.13\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    CDravikDoc a, b, c;
    ASSERT_EQ(a.ReadXYZCoordinates(Write("lf.xyz", lf).c_str()), 1);
    ASSERT_EQ(b.ReadXYZCoordinates(Write("crlf.xyz", crlf).c_str()), 1);
    ASSERT_EQ(c.ReadXYZCoordinates(Write("bom.xyz", "\xEF\xBB\xBF" + crlf).c_str()), 1);
    for (const CDravikDoc* other : {&b, &c}) {
        ASSERT_EQ(other->GetFrameCount(), 2);
        for (int f = 0; f < 2; ++f) {
            const Frame& x = a.GetFrame(f);
            const Frame& y = other->GetFrame(f);
            EXPECT_STREQ(x.comment, y.comment);
            EXPECT_DOUBLE_EQ(x.cellA.x, y.cellA.x);
            ASSERT_EQ(x.atomCount, y.atomCount);
            for (int i = 1; i <= x.atomCount; ++i) {
                EXPECT_EQ(x.atoms[i].element, y.atoms[i].element);
                EXPECT_DOUBLE_EQ(x.atoms[i].position.y, y.atoms[i].position.y);
                EXPECT_DOUBLE_EQ(x.atoms[i].position.z, y.atoms[i].position.z);
            }
        }
    }
}

TEST_F(ReadXyzTest, PathThatCannotBeOpenedShowsTheBuiltInMolecule) {
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadXYZCoordinates((dir.path().toStdString() + "/missing.xyz").c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 1);
    EXPECT_EQ(doc.GetFrame(0).atomCount, 47);
    EXPECT_STREQ(doc.GetFrame(0).comment, "Energy =     -20.32 kcal/mol");
    EXPECT_EQ(GetSharedMessage(), "");
}

TEST_F(ReadXyzTest, FolderIsAnOpeningError) {
    CDravikDoc doc;
    const std::string folder = dir.path().toStdString();
    EXPECT_EQ(doc.ReadXYZCoordinates(folder.c_str()), -1);
    EXPECT_EQ(GetSharedMessage(), "Error opening file " + folder);
    EXPECT_EQ((Notices()), (std::vector<unsigned>{MSG_FIRST_FRAME_READ, MSG_SHOW_MESSAGE}));
}

}  // namespace
}  // namespace zelvor::test
