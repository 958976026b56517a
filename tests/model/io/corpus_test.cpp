// Real files from other programs and hand-made hostile files: each loads with the expected frames or fails
// cleanly with a message.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "model/dravik_doc.h"
#include "reader_fixtures.h"

namespace zelvor::test {
namespace {

int Read(CDravikDoc& doc, const std::string& file) {
    const std::string path = DataPath(file);
    if (file.ends_with(".pdb")) return doc.ReadPDBFile(path.c_str());
    if (file.ends_with(".cube")) return doc.ReadGaussianCubeFile(path.c_str());
    return doc.ReadXYZCoordinates(path.c_str());
}

/// Whatever a reader returns, the frames it keeps must be safe to draw and bond.
void ExpectSaneFrames(const CDravikDoc& doc) {
    for (int f = 0; f < doc.GetFrameCount(); ++f) {
        const Frame& frame = doc.GetFrame(f);
        ASSERT_GE(frame.atomCount, 0);
        ASSERT_TRUE(frame.comment != nullptr);
        if (frame.atomCount > 0) {
            ASSERT_TRUE(frame.atoms != nullptr);
        }
        for (int i = 1; i <= frame.atomCount; ++i) {
            const Atom& atom = frame.atoms[i];
            ASSERT_TRUE(atom.element != nullptr) << "frame " << f << " atom " << i;
            ASSERT_TRUE(std::isfinite(atom.position.x) && std::isfinite(atom.position.y) &&
                        std::isfinite(atom.position.z));
        }
        ASSERT_TRUE(std::isfinite(frame.maxCellWidth));
        ASSERT_GE(frame.maxCellWidth, 8.0);
        if (!frame.voxels.Empty()) {
            ASSERT_EQ(frame.voxels.values.size(),
                      static_cast<std::size_t>(frame.voxels.nx) * frame.voxels.ny * frame.voxels.nz);
        }
    }
    ASSERT_TRUE(std::isfinite(doc.voxelMin) && std::isfinite(doc.voxelMax));
}

struct HostileFile {
    const char* name;
    int result;
    int frames;
};

void PrintTo(const HostileFile& f, std::ostream* os) { *os << f.name; }

class HostileFileTest : public ReaderTest, public ::testing::WithParamInterface<HostileFile> {};

TEST_P(HostileFileTest, LoadsOrFailsCleanly) {
    const HostileFile& file = GetParam();
    CDravikDoc doc;
    const int result = Read(doc, file.name);
    EXPECT_EQ(result, file.result);
    EXPECT_EQ(doc.GetFrameCount(), file.frames);
    if (result != 1) {
        EXPECT_FALSE(GetSharedMessage().empty());
        EXPECT_EQ(sink.Count(MSG_SHOW_MESSAGE), 1);
    }
    ExpectSaneFrames(doc);
}

// Every hand-made file of the collection, with what this program makes of it.
INSTANTIATE_TEST_SUITE_P(
    AdversarialCorpus, HostileFileTest,
    ::testing::Values(HostileFile{"adv-5001-frames.xyz", 0, 5000}, HostileFile{"adv-binary-after-header.xyz", 0, 0},
                      HostileFile{"adv-binary-garbage.cube", 0, 0}, HostileFile{"adv-binary-garbage.pdb", 0, 0},
                      HostileFile{"adv-binary-garbage.xyz", 0, 0}, HostileFile{"adv-cell-partial.xyz", 0, 0},
                      HostileFile{"adv-cell-rubbish.xyz", 0, 0}, HostileFile{"adv-cell-zero-volume.xyz", 1, 1},
                      HostileFile{"adv-count-huge.xyz", 0, 0}, HostileFile{"adv-count-negative.xyz", 0, 0},
                      HostileFile{"adv-count-too-large.xyz", 0, 0}, HostileFile{"adv-count-too-small.xyz", 1, 1},
                      HostileFile{"adv-count-trailing-text.xyz", 0, 0}, HostileFile{"adv-cr-only.xyz", 0, 0},
                      HostileFile{"adv-crlf.xyz", 1, 2}, HostileFile{"adv-cube-grid-1x1x1.cube", 0, 0},
                      HostileFile{"adv-cube-huge-dims.cube", 0, 0}, HostileFile{"adv-cube-letter-in-data.cube", 0, 0},
                      HostileFile{"adv-cube-nan.cube", 1, 1},
                      HostileFile{"adv-cube-negative-count-no-orbital-line.cube", 0, 0},
                      HostileFile{"adv-cube-tiny-grid-5x9x9.cube", 0, 0},
                      HostileFile{"adv-cube-truncated-data.cube", 0, 0}, HostileFile{"adv-cube-zero-dim.cube", 0, 0},
                      HostileFile{"adv-dense-cluster.xyz", 1, 1}, HostileFile{"adv-empty.cube", 1, 0},
                      HostileFile{"adv-empty.pdb", 0, 0}, HostileFile{"adv-empty.xyz", 1, 0},
                      HostileFile{"adv-far-apart.xyz", 1, 1}, HostileFile{"adv-letter-in-number.xyz", 0, 0},
                      HostileFile{"adv-long-lines.xyz", 1, 1}, HostileFile{"adv-nan-inf.xyz", 0, 0},
                      HostileFile{"adv-odd-elements.xyz", 1, 1}, HostileFile{"adv-pdb-bad-coordinate.pdb", 1, 1},
                      HostileFile{"adv-pdb-crlf-models.pdb", 1, 2}, HostileFile{"adv-pdb-endmdl-only.pdb", 1, 1},
                      HostileFile{"adv-pdb-long-remark.pdb", 1, 1}, HostileFile{"adv-pdb-model-no-endmdl.pdb", 1, 2},
                      HostileFile{"adv-pdb-truncated-line.pdb", 1, 1},
                      HostileFile{"adv-pdb-two-char-elements.pdb", 1, 1}, HostileFile{"adv-same-position.xyz", 1, 1},
                      HostileFile{"adv-truncated-atom-line.xyz", 0, 0}, HostileFile{"adv-utf8-bom-tabs.xyz", 0, 0},
                      HostileFile{"valid-cell-triclinic.xyz", 1, 1},
                      HostileFile{"valid-cell-waterbox-3frames.xyz", 1, 3},
                      HostileFile{"valid-cube-2datasets-concatenated.cube", 1, 2},
                      HostileFile{"valid-cube-angstrom-units.cube", 1, 1}));

struct KnownFile {
    const char* name;
    int frames;
    int firstAtoms;
    int lastAtoms;
    std::map<std::string, int> elements;  ///< frame 0
};

void PrintTo(const KnownFile& f, std::ostream* os) { *os << f.name; }

class KnownFileTest : public ReaderTest, public ::testing::WithParamInterface<KnownFile> {};

TEST_P(KnownFileTest, MatchesWhatOtherProgramsRead) {
    const KnownFile& file = GetParam();
    CDravikDoc doc;
    ASSERT_EQ(Read(doc, file.name), 1);
    EXPECT_EQ(GetSharedMessage(), "");
    ASSERT_EQ(doc.GetFrameCount(), file.frames);
    EXPECT_EQ(doc.GetFrame(0).atomCount, file.firstAtoms);
    EXPECT_EQ(doc.GetFrame(file.frames - 1).atomCount, file.lastAtoms);
    EXPECT_EQ(ElementCounts(doc.GetFrame(0)), file.elements);
    ExpectSaneFrames(doc);
}

// Frames, atoms and elements as ASE, gemmi and Open Babel read them (PDB elements as gemmi reads them: upper
// case symbols and hydrogen atom names are understood; cube orbitals count as frames here).
INSTANTIATE_TEST_SUITE_P(
    RealFiles, KnownFileTest,
    ::testing::Values(KnownFile{"qe-neb-Al001+H_bc3.xyz", 5, 5, 5, {{"Al", 4}, {"H", 1}}},
                      KnownFile{"xcrysden-anim.xyz", 5, 12, 12, {{"C", 6}, {"H", 6}}},
                      KnownFile{"chargemol-DDEC6_net_atomic_charges.xyz", 1, 3, 3, {{"O", 3}}},
                      KnownFile{"lammps-ipi_positions.xyz", 1, 960, 960, {{"C", 960}}},
                      KnownFile{"pymatgen-crest_rotamers_2.xyz", 223, 14, 14, {{"C", 4}, {"H", 10}}},
                      KnownFile{"valid-cell-waterbox-3frames.xyz", 3, 24, 24, {{"H", 16}, {"O", 8}}},
                      KnownFile{"biopython-1LCD.pdb", 3, 1137, 1122,
                                {{"C", 464}, {"H", 243}, {"N", 152}, {"Na", 1}, {"O", 255}, {"P", 20}, {"S", 2}}},
                      KnownFile{"pymol-1hpv.pdb", 1, 1631, 1631, {{"C", 1003}, {"N", 263}, {"O", 356}, {"S", 9}}},
                      KnownFile{"apbs-2-methylbutane.pdb", 1, 17, 17, {{"C", 5}, {"H", 12}}},
                      KnownFile{"garlic-phe.pdb", 1, 23, 23, {{"C", 9}, {"H", 11}, {"N", 1}, {"O", 2}}},
                      KnownFile{"adv-pdb-two-char-elements.pdb", 1, 6, 6,
                                {{"C", 1}, {"Ca", 1}, {"Cl", 1}, {"Fe", 1}, {"H", 2}}},
                      KnownFile{"vsim-h2o-dens.cube", 1, 3, 3, {{"H", 2}, {"O", 1}}},
                      KnownFile{"xcrysden-N2O_homo+lumo.cube", 2, 3, 3, {{"N", 2}, {"O", 1}}},
                      KnownFile{"valid-cube-angstrom-units.cube", 1, 3, 3, {{"H", 2}, {"O", 1}}}));

TEST_F(ReaderTest, CellsOfTheCellDialect) {
    CDravikDoc doc;
    ASSERT_EQ(Read(doc, "valid-cell-triclinic.xyz"), 1);
    const Frame& f = doc.GetFrame(0);
    EXPECT_DOUBLE_EQ(f.cellB.x, 2.5);
    EXPECT_DOUBLE_EQ(f.cellB.y, 4.33);
    EXPECT_DOUBLE_EQ(f.cellC.z, 6.0);
    EXPECT_TRUE(f.cellGiven);
    ASSERT_EQ(Read(doc, "adv-crlf.xyz"), 1);
    EXPECT_DOUBLE_EQ(doc.GetFrame(1).cellC.z, 6.2);
}

}  // namespace
}  // namespace zelvor::test
