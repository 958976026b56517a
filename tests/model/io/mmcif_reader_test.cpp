#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "model/dravik_doc.h"
#include "model/io/mmcif_reader.h"
#include "reader_fixtures.h"

namespace zelvor::test {
namespace {

class ReadMmcifTest : public ReaderTest {
protected:
    std::string Bytes(const std::string& path) {
        QFile file(QString::fromStdString(path));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll().toStdString();
    }
};

/// An _atom_site table with the columns in the order the wwPDB writes them; rows are "symbol name x y z model".
std::string AtomTable(const std::string& rows) {
    return "loop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
           "_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\n_atom_site.pdbx_PDB_model_num\n" +
           rows + "#\n";
}

std::string Rows(int model, int count, double x0 = 0.0) {
    std::string rows;
    for (int i = 0; i < count; ++i)
        rows += "ATOM " + std::to_string(i + 1) + " C CA " + std::to_string(x0 + i) + " 0 0 " + std::to_string(model) + "\n";
    return rows;
}

using Counts = std::map<std::string, int>;

TEST_F(ReadMmcifTest, RealFilesGiveAFramePerModelWithTheAtomsAndTitleGemmiFinds) {
    // Counts from gemmi's own CIF reader (python3-gemmi) over the same files.
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadMmcifFile(DataPath("biopython-1LCD.cif.gz").c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 3);
    const Counts lcd[3] = {{{"C", 464}, {"H", 243}, {"N", 152}, {"Na", 1}, {"O", 255}, {"P", 20}, {"S", 2}},
                           {{"C", 464}, {"H", 235}, {"N", 152}, {"Na", 1}, {"O", 251}, {"P", 20}, {"S", 2}},
                           {{"C", 464}, {"H", 233}, {"N", 152}, {"Na", 1}, {"O", 250}, {"P", 20}, {"S", 2}}};
    const int lcdAtoms[3] = {1137, 1125, 1122};
    const std::string lcdTitle =
        "STRUCTURE OF THE COMPLEX OF LAC REPRESSOR HEADPIECE AND AN 11 BASE-PAIR HALF-OPERATOR DETERMINED BY "
        "NUCLEAR MAGNETIC RESONANCE SPECTROSCOPY AND RESTRAINED MOLECULAR DYNAMICS\n";
    EXPECT_EQ(doc.GetTitleText(), lcdTitle);
    for (int f = 0; f < 3; ++f) {
        const Frame& frame = doc.GetFrame(f);
        EXPECT_EQ(frame.atomCount, lcdAtoms[f]);
        EXPECT_EQ(ElementCounts(frame), lcd[f]) << "frame " << f;
        EXPECT_EQ(frame.comment, doc.GetTitleText());
        EXPECT_NEAR(Centroid(frame).x, 0.0, 1e-9);
        EXPECT_FALSE(frame.cellGiven);
        EXPECT_GT(frame.cellA.x, 10.0);
    }
    // Each model is published on its own; the progress ends at 100 %.
    EXPECT_EQ((Notices()), (std::vector<unsigned>(3, MSG_FIRST_FRAME_READ)));
    EXPECT_EQ(doc.PercentageLoaded(), 100);

    ASSERT_EQ(doc.ReadMmcifFile(DataPath("biopython-2BEG.cif.gz").c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 10);
    for (int f = 0; f < 10; ++f)
        EXPECT_EQ(ElementCounts(doc.GetFrame(f)), (Counts{{"C", 595}, {"H", 955}, {"N", 140}, {"O", 160}, {"S", 5}}));
    EXPECT_STREQ(doc.GetTitleText(), "3D Structure of Alzheimer's Abeta(1-42) fibrils\n");  // a text field

    ASSERT_EQ(doc.ReadMmcifFile(DataPath("biopython-1A8O.cif.gz").c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 1);
    EXPECT_EQ(ElementCounts(doc.GetFrame(0)), (Counts{{"C", 346}, {"N", 96}, {"O", 196}, {"S", 2}, {"Se", 4}}));
    EXPECT_STREQ(doc.GetTitleText(), "HIV CAPSID C-TERMINAL DOMAIN\n");  // a quoted value

    ASSERT_EQ(doc.ReadMmcifFile(DataPath("biopython-1SSU_mod.cif").c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 2);
    EXPECT_EQ(ElementCounts(doc.GetFrame(1)), (Counts{{"N", 2}}));
    EXPECT_STREQ(doc.GetTitleText(), "");  // no _struct.title: no title left from the file before
}

/// A frame's atoms as (element, position to 1e-4 Å), sorted: the same set whatever order a file lists them in.
std::vector<std::tuple<std::string, long, long, long>> AtomSet(const Frame& frame) {
    std::vector<std::tuple<std::string, long, long, long>> atoms;
    for (int i = 1; i <= frame.atomCount; ++i) {
        const Vector& r = frame.atoms[i].position;
        atoms.emplace_back(Symbol(frame, i), std::lround(r.x * 1e4), std::lround(r.y * 1e4), std::lround(r.z * 1e4));
    }
    std::sort(atoms.begin(), atoms.end());
    return atoms;
}

TEST_F(ReadMmcifTest, AgreesWithItsPdbTwinAtomForAtom) {
    // The two files list the waters in another order; the atoms, their elements and (after centring) their
    // positions are the same.
    CDravikDoc cif, pdb;
    ASSERT_EQ(cif.ReadMmcifFile(DataPath("biopython-1LCD.cif.gz").c_str()), 1);
    ASSERT_EQ(pdb.ReadPDBFile(DataPath("biopython-1LCD.pdb").c_str()), 1);
    ASSERT_EQ(cif.GetFrameCount(), pdb.GetFrameCount());
    for (int f = 0; f < cif.GetFrameCount(); ++f) {
        const Frame& a = cif.GetFrame(f);
        const Frame& b = pdb.GetFrame(f);
        ASSERT_EQ(a.atomCount, b.atomCount) << "frame " << f;
        EXPECT_TRUE(AtomSet(a) == AtomSet(b)) << "frame " << f;
        EXPECT_DOUBLE_EQ(a.cellA.x, b.cellA.x);
    }
}

TEST_F(ReadMmcifTest, CifSyntaxVariantsReadAsTheFileMeansThem) {
    // Tags in any case, the title in a loop, CRLF line ends, values with standard uncertainties, quoted
    // names, alternate locations (both kept), charges on symbols, symbols missing or unknown (the atom name
    // decides as in a PDB file), a save frame and a second data block that are not read.
    const std::string text =
        "data_x\r\n"
        "loop_\r\n_struct.entry_id\r\n_struct.title\r\nX 'A \"quoted\" title'\r\n#\r\n"
        "save_frame\r\nloop_\r\n_atom_site.Cartn_x\r\n_atom_site.Cartn_y\r\n_atom_site.Cartn_z\r\n9 9 9\r\nsave_\r\n"
        "loop_\r\n_ATOM_SITE.TYPE_SYMBOL\r\n_Atom_Site.Label_Atom_Id\r\n_atom_site.auth_atom_id\r\n"
        "_atom_site.label_alt_id\r\n_atom_site.CARTN_X\r\n_atom_site.cartn_y\r\n_atom_site.Cartn_z\r\n"
        "N N N A 1.5(3) 0 0\r\n"
        "N N N B 2.5 0 0\r\n"
        "FE2+ FE FE . 3 0 0\r\n"
        "? HG21 HG21 . 4 0 0\r\n"
        ". \"O5'\" O5' . 5 0 0\r\n"
        "XX CA CA . 6 -1e1 0\r\n"
        "\r\ndata_second\r\n_struct.title other\r\nloop_\r\n_atom_site.Cartn_x\r\n_atom_site.Cartn_y\r\n"
        "_atom_site.Cartn_z\r\n1 1 1\r\n";
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadMmcifFile(Write("v.cif", text).c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 1);  // no model column: one frame
    const Frame& f = doc.GetFrame(0);
    ASSERT_EQ(f.atomCount, 6);
    const char* expected[] = {"N", "N", "Fe", "H", "O", "C"};
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(Symbol(f, i), expected[i - 1]) << "atom " << i;
    EXPECT_STREQ(doc.GetTitleText(), "A \"quoted\" title\n");
    // x runs 1.5, 2.5, 3, 4, 5, 6 (mean 22/6); y is 0 but for the last atom, -10.
    EXPECT_NEAR(f.atoms[1].position.x, 1.5 - 22.0 / 6, 1e-12);
    EXPECT_NEAR(f.atoms[6].position.y, -10.0 + 10.0 / 6, 1e-12);
}

TEST_F(ReadMmcifTest, RefusedFilesLeaveNoFrameAndSayWhy) {
    CDravikDoc doc;
    const auto refused = [&](const std::string& path, const std::string& complaint) {
        // A file read before leaves its frames, which a refused file must not keep.
        ASSERT_EQ(doc.ReadMmcifFile(DataPath("biopython-1SSU_mod.cif").c_str()), 1);
        sink.Clear();
        EXPECT_EQ(doc.ReadMmcifFile(path.c_str()), 0) << path;
        EXPECT_EQ(doc.GetFrameCount(), 0) << path;
        const std::string message = GetSharedMessage();
        EXPECT_EQ(message.substr(0, SeemsCorrupt(path).size() + 1), SeemsCorrupt(path) + "\n") << message;
        EXPECT_NE(message.find(complaint), std::string::npos) << message;
        EXPECT_EQ(doc.PercentageLoaded(), 0);
    };
    refused(DataPath("biopython-1MOM_min.cif"), "The first data block has no atoms (_atom_site rows).");
    refused(DataPath("biopython-a_structure.cif.gz"), "biopython-a_structure.cif.gz:1:1: expected block header (data_)");
    refused(Write("empty.cif", "# nothing\n"), "no data block (data_) in the file");
    refused(Write("noxyz.cif", "data_a\nloop_\n_atom_site.type_symbol\n_atom_site.Cartn_x\nC 1\n"),
            "The _atom_site table has no Cartn_x, Cartn_y and Cartn_z columns.");
    // Model 1 resumes after model 2 began: its first frame was already shown, and goes again.
    refused(Write("mixed.cif", "data_m\n" + AtomTable(Rows(1, 2) + Rows(2, 2) + Rows(1, 1))),
            "Line 15: the atoms of model \"1\" continue after another model began.");
    // One value of 2 MB: the parser's window is bounded, so the token fails instead of growing with the file.
    refused(Write("huge.cif", "data_h\n_struct.title " + std::string(2 << 20, 'x') + "\n"),
            "huge.cif:2: a value or blank stretch longer than 1048576 bytes after this line");

    sink.Clear();
    const std::string missing = dir.path().toStdString() + "/missing.cif";
    EXPECT_EQ(doc.ReadMmcifFile(missing.c_str()), -1);
    EXPECT_EQ(GetSharedMessage(), "Error opening the file\n" + missing);
}

TEST_F(ReadMmcifTest, DamageAfterCompleteModelsKeepsThem) {
    CDravikDoc doc;
    // Cut inside the third model's rows: the two before are kept, the third goes.
    const std::string whole = "data_t\n" + AtomTable(Rows(1, 3) + Rows(2, 4) + Rows(3, 5));
    const std::string cut = whole.substr(0, whole.find("ATOM 3 C CA 2.000000 0 0 3") + 12);
    ASSERT_EQ(doc.ReadMmcifFile(Write("cut.cif", cut).c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 2);
    EXPECT_EQ(doc.GetFrame(1).atomCount, 4);
    EXPECT_EQ(GetSharedMessage().substr(0, 34), "Only 2 complete model(s) of the fi");
    EXPECT_NE(GetSharedMessage().find("Wrong number of values in the loop"), std::string::npos);

    // A coordinate that is no number ends the read at its model.
    std::string rows = Rows(1, 2) + Rows(2, 2);
    rows.replace(rows.rfind(" 0 0 2"), 2, " ?");
    ASSERT_EQ(doc.ReadMmcifFile(Write("q.cif", "data_q\n" + AtomTable(rows)).c_str()), 1);
    EXPECT_EQ(doc.GetFrameCount(), 1);
    EXPECT_NE(GetSharedMessage().find("Line 14 doesn't conform to the mmCIF format:\nthe coordinate \"?\" is not a number."),
              std::string::npos)
        << GetSharedMessage();

    // A compressed file cut short or damaged: zlib's words, and the complete models.
    const std::string gz = Bytes(DataPath("biopython-2BEG.cif.gz"));
    ASSERT_EQ(doc.ReadMmcifFile(Write("cut.cif.gz", gz.substr(0, gz.size() * 3 / 4)).c_str()), 1);
    EXPECT_GE(doc.GetFrameCount(), 5);
    EXPECT_LT(doc.GetFrameCount(), 10);
    for (int f = 0; f < doc.GetFrameCount(); ++f) EXPECT_EQ(doc.GetFrame(f).atomCount, 1855);
    EXPECT_NE(GetSharedMessage().find("cut.cif.gz: unexpected end of file"), std::string::npos) << GetSharedMessage();

    std::string damaged = gz;
    for (std::size_t i = gz.size() / 2; i < gz.size() / 2 + 64; ++i) damaged[i] = static_cast<char>(~damaged[i]);
    const int result = doc.ReadMmcifFile(Write("bad.cif.gz", damaged).c_str());
    EXPECT_EQ(result, doc.GetFrameCount() > 0 ? 1 : 0);
    EXPECT_LT(doc.GetFrameCount(), 10);
    // Garbage inflated before zlib notices it ends the read at the first value that makes no sense.
    EXPECT_NE(GetSharedMessage().find("bad.cif.gz"), std::string::npos) << GetSharedMessage();
    for (int f = 0; f < doc.GetFrameCount(); ++f) EXPECT_EQ(doc.GetFrame(f).atomCount, 1855);
}

TEST_F(ReadMmcifTest, FrameStoreHoldsAtMost5000Models) {
    std::string rows;
    for (int m = 1; m <= 5001; ++m) rows += Rows(m, 1, m % 7);
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadMmcifFile(Write("many.cif", "data_many\n" + AtomTable(rows)).c_str()), 0);
    EXPECT_EQ(doc.GetFrameCount(), 5000);
    EXPECT_EQ(GetSharedMessage(), kTooManyFrames);
}

/// A frame store that asks the reader to stop as soon as the first frame is published.
class AbortAfterFirstFrame : public CReaderSink {
public:
    void ClearFrames() override {
        for (Frame& f : frames) f.Clear();
        stored = 0;
    }
    int FrameCount() const override { return stored; }
    Frame& FrameAt(int f) override { return frames[f]; }
    void SetFrameCell(int, double) override {}
    void StoreFrames(int count) override {
        stored = count;
        ++publications;
    }
    char* TitleText() override { return title; }
    void SetVoxelStatistics(const VoxelGrid&) override {}
    void SetPercentLoaded(int) override {}
    void ShowLoadStatus(int, bool, const char*) override {}
    bool Aborted() const override { return stored > 0; }
    void FirstFrameRead() override {}
    void ShowMessage(const std::string& text) override { message = text; }

    std::vector<Frame> frames = std::vector<Frame>(MAX_FRAMES);
    int stored = 0;
    int publications = 0;
    char title[TITLE_SIZE] = {};
    std::string message;
};

TEST_F(ReadMmcifTest, AnAbortStopsTheReadAtTheNextRow) {
    AbortAfterFirstFrame store;
    EXPECT_EQ(ReadMmcifFile(DataPath("biopython-2BEG.cif.gz").c_str(), store), 0);
    EXPECT_EQ(store.publications, 1);
    EXPECT_EQ(store.frames[0].atomCount, 1855);
    EXPECT_EQ(store.message, "");
}

TEST_F(ReadMmcifTest, TheLoaderReadsCompressedMmcifByItsName) {
    CDravikDoc doc;
    ASSERT_EQ(doc.InitiateFile(DataPath("biopython-1LCD.cif.gz").c_str(), TEMPLATE_NONE), 1);
    doc.WaitForLoader();
    EXPECT_EQ(doc.GetLoadResult(), 1);
    ASSERT_EQ(doc.GetFrameCount(), 3);
    EXPECT_EQ(doc.GetFrame(2).atomCount, 1122);
}

}  // namespace
}  // namespace zelvor::test
