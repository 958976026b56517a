// Files as they come today: gzip-compressed twins of the test files, and extended XYZ cells.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "model/doc_template.h"
#include "model/io/byte_source.h"
#include "model/dravik_doc.h"
#include "reader_fixtures.h"

namespace zelvor::test {
namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// Writes text compressed, split over several gzip members back to back (as `cat a.gz b.gz` makes).
std::string WriteCompressed(const std::string& path, const std::string& text, int members = 1) {
    const std::size_t part = text.size() / static_cast<std::size_t>(members) + 1;
    for (int m = 0; m < members; ++m) {
        gzFile out = gzopen(path.c_str(), m == 0 ? "wb6" : "ab6");
        const std::string piece = text.substr(std::min(text.size(), part * static_cast<std::size_t>(m)), part);
        if (!piece.empty()) gzwrite(out, piece.data(), static_cast<unsigned>(piece.size()));
        gzclose(out);
    }
    return path;
}

int Read(CDravikDoc& doc, const std::string& path) {
    switch (TemplateForPath(path)) {
        case TEMPLATE_PDB: return doc.ReadPDBFile(path.c_str());
        case TEMPLATE_CUBE: return doc.ReadGaussianCubeFile(path.c_str());
        default: return doc.ReadXYZCoordinates(path.c_str());
    }
}

void ExpectSameDocument(const CDravikDoc& plain, const CDravikDoc& compressed) {
    ASSERT_EQ(plain.GetFrameCount(), compressed.GetFrameCount());
    for (int f = 0; f < plain.GetFrameCount(); ++f) {
        const Frame& a = plain.GetFrame(f);
        const Frame& b = compressed.GetFrame(f);
        ASSERT_EQ(a.atomCount, b.atomCount) << f;
        EXPECT_STREQ(a.comment, b.comment) << f;
        EXPECT_EQ(a.cellA.x, b.cellA.x) << f;
        EXPECT_EQ(a.cellC.z, b.cellC.z) << f;
        for (int i = 1; i <= a.atomCount; ++i) {
            ASSERT_EQ(a.atoms[i].element, b.atoms[i].element) << f << " " << i;
            ASSERT_EQ(a.atoms[i].position.x, b.atoms[i].position.x) << f << " " << i;
            ASSERT_EQ(a.atoms[i].position.z, b.atoms[i].position.z) << f << " " << i;
        }
        EXPECT_EQ(a.voxels.values, b.voxels.values) << f;
    }
}

class CompressedFileTest : public ReaderTest {};

/// A cube whose grid compresses about a thousandfold: its header announces far more text than the
/// compressed bytes the inflater has taken in when the header is checked.
std::string NearlyEmptyGrid() {
    std::string text = "sparse\ngrid\n    1    0.000000    0.000000    0.000000\n";
    for (const char* axis : {"  100    0.2 0.0 0.0\n", "  100    0.0 0.2 0.0\n", "  100    0.0 0.0 0.2\n"}) text += axis;
    text += "    1    0.000000   10.0   10.0   10.0\n";
    for (int i = 0; i < 100 * 100 * 100; ++i) text += i == 1000 ? " 0.12345E+00" : " 0.00000E+00";
    return text + "\n";
}

TEST_F(CompressedFileTest, CompressedTwinsGiveTheSameDocumentAsThePlainFiles) {
    const std::string sparse = Write("sparse.cube", NearlyEmptyGrid());
    for (const std::string& file :
         {DataPath("xcrysden-anim.xyz"), DataPath("biopython-1LCD.pdb"), DataPath("vsim-h2o-dens.cube"), sparse}) {
        SCOPED_TRACE(file);
        const std::string name = std::filesystem::path(file).filename().string();
        const std::string text = ReadWhole(file);
        for (int members : {1, 3}) {
            CDravikDoc plain, compressed;
            ASSERT_EQ(Read(plain, file), 1);
            const std::string gz = WriteCompressed(Write(name + std::string(".gz"), ""), text, members);
            SetSharedMessage("");
            ASSERT_EQ(Read(compressed, gz), 1) << members;
            EXPECT_EQ(GetSharedMessage(), "");
            EXPECT_EQ(compressed.PercentageLoaded(), 100);
            ExpectSameDocument(plain, compressed);
        }
    }
}

TEST_F(CompressedFileTest, LongStreamComesThroughWholeAtAnyReadingPace) {
    // Many inflated blocks, so that their memory is handed back and forth between the inflating thread
    // and the reader many times, read in large, page-sized and odd small pieces.
    std::mt19937 random(7);
    std::string text;
    while (text.size() < (12u << 20)) text += "C " + std::to_string(random() % 100000) + "\n";
    const std::string path = WriteCompressed(Write("long.txt.gz", ""), text);
    for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{4096}, std::size_t{97}}) {
        for (int run = 0; run < 3; ++run) {
            CByteSource source;
            ASSERT_TRUE(source.Open(path.c_str()));
            std::string read;
            read.reserve(text.size());
            std::vector<char> buffer(piece);
            while (const std::size_t n = source.Read(buffer.data(), buffer.size())) read.append(buffer.data(), n);
            ASSERT_FALSE(source.Failed()) << piece << ": " << source.Error();
            ASSERT_TRUE(read == text) << piece << ": " << read.size() << " of " << text.size() << " bytes";
        }
    }
}

TEST_F(CompressedFileTest, CutOrDamagedStreamKeepsTheFramesReadAndSaysSo) {
    // Big enough that the damage lies well past the first frames: 200 frames of 50 atoms.
    std::string text;
    for (int f = 0; f < 200; ++f) {
        text += "50\nframe " + std::to_string(f) + "\n";
        for (int i = 0; i < 50; ++i)
            text += "C " + std::to_string(i * 1.37 + f) + " " + std::to_string(i % 7 * 0.91) + " " +
                    std::to_string((i * 31 + f * 17) % 101 * 0.173) + "\n";
    }
    const std::string whole = ReadWhole(WriteCompressed(Write("film.xyz.gz", ""), text));
    ASSERT_GT(whole.size(), 20000u);

    for (const bool cut : {true, false}) {
        SCOPED_TRACE(cut ? "cut" : "damaged");
        std::string broken = whole;
        if (cut) {
            broken.resize(whole.size() / 2);
        } else {
            for (std::size_t i = whole.size() / 2; i < whole.size() / 2 + 64; ++i)
                broken[i] = static_cast<char>(~broken[i]);
        }
        const std::string path = Write(cut ? "cut.xyz.gz" : "damaged.xyz.gz", broken);
        CDravikDoc doc;
        SetSharedMessage("");
        EXPECT_EQ(doc.ReadXYZCoordinates(path.c_str()), 0);
        EXPECT_GT(doc.GetFrameCount(), 20);
        EXPECT_LT(doc.GetFrameCount(), 200);
        EXPECT_NE(GetSharedMessage().find(path), std::string::npos);
        // The frames kept are whole: the last one ends where the plain text's frame of that number ends.
        const Frame& last = doc.GetFrame(doc.GetFrameCount() - 1);
        EXPECT_EQ(last.atomCount, 50);
        EXPECT_EQ(std::string(last.comment), "frame " + std::to_string(doc.GetFrameCount() - 1));
    }
}

TEST_F(CompressedFileTest, ExtendedXyzLatticeGivesTheCellAndPutsTheAtomsInsideIt) {
    const std::string path = DataPath("ase-water-box-3frames.xyz");
    CDravikDoc doc;
    ASSERT_EQ(doc.ReadXYZCoordinates(path.c_str()), 1);
    ASSERT_EQ(doc.GetFrameCount(), 3);
    // The file's own numbers, read here independently of the reader.
    std::ifstream in(path);
    for (int f = 0; f < 3; ++f) {
        const Frame& frame = doc.GetFrame(f);
        EXPECT_TRUE(frame.cellGiven);
        EXPECT_EQ(frame.cellA.x, 10.0);
        EXPECT_EQ(frame.cellB.y, 11.0);
        EXPECT_EQ(frame.cellC.z, 12.0);
        EXPECT_EQ(frame.cellA.y, 0.0);
        EXPECT_EQ(ElementCounts(frame), (std::map<std::string, int>{{"H", 16}, {"O", 8}}));
        std::string line;
        std::getline(in, line);
        std::getline(in, line);
        // The cell runs from 0 to its edges in the file, from minus to plus half of them in the program:
        // every atom moves by half the cell diagonal.
        for (int i = 1; i <= frame.atomCount; ++i) {
            std::string label;
            double x, y, z;
            in >> label >> x >> y >> z;
            std::getline(in, line);
            const Vector& p = frame.atoms[i].position;
            EXPECT_DOUBLE_EQ(p.x, x - 5.0);
            EXPECT_DOUBLE_EQ(p.y, y - 5.5);
            EXPECT_DOUBLE_EQ(p.z, z - 6.0);
        }
    }

    // The program's own "La=" wins over Lattice, and keeps its coordinates; a Lattice of eight numbers is
    // as rubbish as a bad "La=" cell.
    CDravikDoc both;
    const std::string mixed = Write("mixed.xyz", "1\nLa= 4 0 0 b 0 4 0 c 0 0 4 Lattice=\"9 0 0 0 9 0 0 0 9\"\nC 1 1 1\n");
    ASSERT_EQ(both.ReadXYZCoordinates(mixed.c_str()), 1);
    EXPECT_EQ(both.GetFrame(0).cellA.x, 4.0);
    EXPECT_EQ(both.GetFrame(0).atoms[1].position.x, 1.0);
    CDravikDoc rubbish;
    const std::string eight = Write("eight.xyz", "1\nlattice = \"9 0 0 0 9 0 0 0\" pbc=\"T T T\"\nC 1 1 1\n");
    SetSharedMessage("");
    EXPECT_EQ(rubbish.ReadXYZCoordinates(eight.c_str()), 0);
    EXPECT_EQ(GetSharedMessage(), CellRubbish(0));
}

}  // namespace
}  // namespace zelvor::test
