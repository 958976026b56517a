// The document's frame store, element assignment, selection, lifecycle and document types.
#include <gtest/gtest.h>

#include <cctype>

#include "model/doc_template.h"
#include "model/dravik_doc.h"
#include "model_fixtures.h"

namespace zelvor {
namespace {

using test::FillFrame;
using test::TestAtom;

class RecordingView : public CDocObserver {
public:
    void OnUpdate(int hint) override { hints.push_back(hint); }
    void CompileDisplayList(int onlyIfChanged) override { compiles.push_back(onlyIfChanged); }
    std::vector<int> hints, compiles;
};

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override { test::UseTestElements(); }
    void TearDown() override { ResetElementTable(); }
    CDravikDoc doc;
};

TEST_F(DocumentTest, SetFrameNrWrapsAroundTheFrameCountAndIgnoresNegativeOrEmpty) {
    doc.SetFrameNr(3);
    EXPECT_EQ(doc.GetFrameNr(), 0) << "empty document";
    for (int f = 0; f < 5; ++f) FillFrame(doc, f, {{"C", 0, 0, 0}});
    doc.SetFrameNr(7);
    EXPECT_EQ(doc.GetFrameNr(), 2);
    doc.SetFrameNr(-1);
    EXPECT_EQ(doc.GetFrameNr(), 2);
    doc.SetFrameNr(4);
    EXPECT_EQ(doc.GetFrameNr(), 4);
}

TEST_F(DocumentTest, LabelsMatchSymbolsExactlyOrWithUnderscore) {
    Atom atom;
    EXPECT_EQ(doc.SetAtomData(atom, "C", -1), 1);
    EXPECT_STREQ(atom.element->symbol, "C");
    EXPECT_EQ(doc.SetAtomData(atom, "C_", -1), 1);
    EXPECT_EQ(atom.element, &ElementTable()[5]);
    EXPECT_EQ(doc.SetAtomData(atom, "O_", -1), 1);
    EXPECT_EQ(atom.element, &ElementTable()[7]);

    for (const char* label : {"c", "C__", "C_x", "Ca", "", "_"}) {
        EXPECT_EQ(doc.SetAtomData(atom, label, -1), 0) << label;
        EXPECT_EQ(atom.element, &ElementTable()[FALLBACK_ELEMENT]) << label;
    }
    EXPECT_EQ(doc.SetAtomData(atom, nullptr, -1), 0);
}

TEST_F(DocumentTest, AtomicNumberModeIgnoresTheLabel) {
    Atom atom;
    atom.position = Vector(1, 2, 3);
    EXPECT_EQ(doc.SetAtomData(atom, "H", 8), 1);
    EXPECT_STREQ(atom.element->symbol, "O");
    EXPECT_EQ(atom.position.z, 3.0) << "position untouched";
    EXPECT_EQ(doc.SetAtomData(atom, "C", 0), 0) << "no record has atomic number 0";
    EXPECT_EQ(atom.element, &ElementTable()[FALLBACK_ELEMENT]);
    // The default records all carry 108: the first of them is taken.
    EXPECT_EQ(doc.SetAtomData(atom, "", 108), 1);
    EXPECT_EQ(atom.element, &ElementTable()[1]);
}

TEST_F(DocumentTest, MaxCellWidthOfAFrameOutsideTheCountIsThatOfTheCurrentFrame) {
    FillFrame(doc, 0, {{"C", 0, 0, 0}});
    FillFrame(doc, 1, {{"C", 0, 0, 0}});
    doc.GetFrame(1).cellA = Vector(20, 0, 0);
    doc.SetMaxCellWidth();
    doc.SetFrameNr(1);
    EXPECT_DOUBLE_EQ(doc.GetMaxCellWidth(0), 8.0);
    EXPECT_DOUBLE_EQ(doc.GetMaxCellWidth(1), 23.0);
    EXPECT_DOUBLE_EQ(doc.GetMaxCellWidth(2), 23.0);
    EXPECT_DOUBLE_EQ(doc.GetMaxCellWidth(-1), 23.0);
}

TEST_F(DocumentTest, FirstFrameWasReadTellsTheViewsAndSetsCorrelationDefaults) {
    RecordingView view;
    doc.AddObserver(&view);
    FillFrame(doc, 0, {{"C", -3, 0, 0}, {"C", 3, 0, 0}});
    doc.CalcCellSizeRcutoff(0, 3.0);
    doc.FirstFrameWasRead();
    EXPECT_TRUE(doc.IsFirstFrameRead());
    EXPECT_FALSE(doc.IsNewDoc());
    EXPECT_EQ(view.hints, std::vector<int>{HINT_NEW_DATA});
    EXPECT_DOUBLE_EQ(doc.GetCorrFuncSettings().radialCutoff, 3.0);
    EXPECT_DOUBLE_EQ(doc.GetCorrFuncSettings().secondRange, 10.0);
    EXPECT_EQ(doc.GetCorrFuncSettings().points1, 50);
    EXPECT_EQ(doc.GetCorrFuncSettings().points2, 50);
    doc.RemoveObserver(&view);
    doc.UpdateAllViews(HINT_FRAME_CHANGED);
    EXPECT_EQ(view.hints.size(), 1u);
}

TEST_F(DocumentTest, SelectionIsCopiedToEveryFrameThatHasTheAtom) {
    RecordingView view;
    doc.AddObserver(&view);
    FillFrame(doc, 0, {{"C", 0, 0, 0}, {"H", 1, 0, 0}, {"H", 2, 0, 0}});
    FillFrame(doc, 1, {{"C", 0, 0, 0}, {"H", 1, 0, 0}});  // a smaller model, as in PDB files
    FillFrame(doc, 2, {{"C", 0, 0, 0}, {"H", 1, 0, 0}, {"H", 2, 0, 0}});

    doc.ToggleAtomSelection(3);
    EXPECT_TRUE(doc.GetFrame(0).atoms[3].selected);
    EXPECT_TRUE(doc.GetFrame(2).atoms[3].selected);
    doc.ToggleAtomSelection(1);
    for (int f = 0; f < 3; ++f) EXPECT_TRUE(doc.GetFrame(f).atoms[1].selected) << f;
    EXPECT_EQ(view.compiles, (std::vector<int>{0, 0})) << "forced recompiles";

    doc.ToggleAtomSelection(0);
    doc.ToggleAtomSelection(4);
    doc.ToggleAtomSelection(-2);
    EXPECT_EQ(view.compiles.size(), 2u) << "atom numbers outside the frame change nothing";

    doc.ToggleAtomSelection(1);
    EXPECT_FALSE(doc.GetFrame(1).atoms[1].selected);
    doc.ToggleAtomSelection(1);
    doc.DeselectAtoms();
    for (int f = 0; f < 3; ++f)
        for (int i = 1; i <= doc.GetFrame(f).atomCount; ++i) EXPECT_FALSE(doc.GetFrame(f).atoms[i].selected);
    EXPECT_EQ(view.compiles.back(), 0);
}

TEST_F(DocumentTest, DeleteContentsEmptiesTheDocument) {
    for (int f = 0; f < 3; ++f) FillFrame(doc, f, {{"C", 0, 0, 0}, {"C", 1.4, 0, 0}});
    doc.GetFrame(1).bondsDone = true;
    doc.GetFrame(2).voxels.nx = 1;
    doc.GetFrame(2).voxels.values.assign(1, 1.0f);
    doc.SetFrameNr(2);
    doc.DeleteContents();
    EXPECT_EQ(doc.GetFrameCount(), 0);
    EXPECT_EQ(doc.GetFrameNr(), 0);
    EXPECT_EQ(doc.GetLoadResult(), -1);
    EXPECT_EQ(doc.PercentageLoaded(), 0);
    EXPECT_EQ(doc.GetBondedFrameCount(), 0);
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(doc.GetFrame(f).atoms, nullptr);
        EXPECT_EQ(doc.GetFrame(f).atomCount, 0);
        EXPECT_FALSE(doc.GetFrame(f).bondsDone);
        EXPECT_TRUE(doc.GetFrame(f).voxels.Empty());
        EXPECT_DOUBLE_EQ(doc.GetFrame(f).maxCellWidth, 50.0);
    }
}

TEST_F(DocumentTest, ANewDocumentStartsEmptyWithAUniqueCalculationLabel) {
    EXPECT_EQ(doc.GetFrameCount(), 0);
    EXPECT_EQ(doc.GetLoadResult(), -1);
    EXPECT_EQ(doc.moduleLibraryName, "<your.dll>");
    EXPECT_NE(doc.GetTitleText(), nullptr);
    EXPECT_DOUBLE_EQ(doc.GetFrame(MAX_FRAMES - 1).maxCellWidth, 50.0);
    // "Zelvor_" and the UUID text: 8-4-4-4-12 lower-case hexadecimal digits.
    const std::string& label = doc.GetGUIDstr();
    ASSERT_EQ(label.size(), 7u + 36u) << label;
    EXPECT_EQ(label.substr(0, 7), "Zelvor_");
    for (std::size_t i = 7; i < label.size(); ++i) {
        if (i == 7 + 8 || i == 7 + 13 || i == 7 + 18 || i == 7 + 23)
            EXPECT_EQ(label[i], '-') << label;
        else
            EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(label[i])) && !std::isupper(label[i])) << label;
    }
    CDravikDoc other;
    EXPECT_NE(other.GetGUIDstr(), doc.GetGUIDstr());
}

TEST(DocTemplateTest, TemplatesByExtensionIgnoringCase) {
    EXPECT_EQ(TemplateForPath("/a/b/water.xyz"), TEMPLATE_XYZ);
    EXPECT_EQ(TemplateForPath("WATER.XYZ"), TEMPLATE_XYZ);
    EXPECT_EQ(TemplateForPath("1abc.pdb"), TEMPLATE_PDB);
    EXPECT_EQ(TemplateForPath("1abc.Ent"), TEMPLATE_PDB);
    EXPECT_EQ(TemplateForPath("orbital.cube"), TEMPLATE_CUBE);
    EXPECT_EQ(TemplateForPath("notes.txt"), TEMPLATE_NONE);
    EXPECT_EQ(TemplateForPath("archive.xyz.GZ"), TEMPLATE_XYZ);
    EXPECT_EQ(TemplateForPath("1lcd.cif.gz"), TEMPLATE_MMCIF);
    EXPECT_EQ(TemplateForPath("notes.txt.gz"), TEMPLATE_NONE);
    EXPECT_EQ(TemplateForPath("dir.xyz/file.gz"), TEMPLATE_NONE);
    EXPECT_EQ(TemplateForPath("dir.xyz/file"), TEMPLATE_NONE);
    EXPECT_EQ(TemplateForPath("xyz"), TEMPLATE_NONE);
    EXPECT_EQ(TemplateForPath("file.pd"), TEMPLATE_NONE);

    EXPECT_STREQ(GetTemplateInfo(TEMPLATE_XYZ).filterName, "XYZ Files (*.xyz)");
    EXPECT_STREQ(GetTemplateInfo(TEMPLATE_PDB).filterName, "PDB Files (*.pdb; *.ent)");
    EXPECT_STREQ(GetTemplateInfo(TEMPLATE_PDB).extensions, ".pdb;.ent");
    EXPECT_STREQ(GetTemplateInfo(TEMPLATE_CUBE).filterName, "Gaussian Cube Files (*.cube)");
    EXPECT_STREQ(GetTemplateInfo(TEMPLATE_CUBE).extensions, ".cube");
}

}  // namespace
}  // namespace zelvor
