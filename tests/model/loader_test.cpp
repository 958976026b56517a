#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>

#include "model/dravik_doc.h"
#include "io/reader_fixtures.h"

namespace zelvor::test {
namespace {

class LoaderTest : public ReaderTest {
protected:
    std::string Trajectory(int frames) {
        std::string text;
        for (int f = 0; f < frames; ++f)
            text += "3\nframe " + std::to_string(f) + "\nO 0 0 0\nH 0.76 0.59 0\nH -0.76 0.59 0\n";
        return Write("trajectory.xyz", text);
    }
};

TEST_F(LoaderTest, LoadsInTheBackgroundAndReportsTheEnd) {
    CDravikDoc doc;
    ASSERT_EQ(doc.InitiateFile(Trajectory(3).c_str(), TEMPLATE_XYZ), 1);
    EXPECT_TRUE(doc.IsNewDoc());
    doc.WaitForLoader();
    EXPECT_EQ(doc.GetLoadResult(), 1);
    EXPECT_EQ(doc.GetFrameCount(), 3);
    EXPECT_EQ((Notices()), (std::vector<unsigned>{MSG_FIRST_FRAME_READ, MSG_FILE_LOADED}));
    EXPECT_EQ(LastProgress().wParam, 0);  // hidden after a successful load
    doc.FirstFrameWasRead();
    EXPECT_FALSE(doc.IsNewDoc());
}

TEST_F(LoaderTest, TheTemplateChoosesTheReader) {
    CDravikDoc pdb;
    pdb.SetDocTemplate(TEMPLATE_PDB);
    ASSERT_EQ(pdb.OnOpenDocument(DataPath("garlic-phe.pdb").c_str()), 1);
    pdb.WaitForLoader();
    EXPECT_EQ(pdb.GetLoadResult(), 1);
    EXPECT_EQ(pdb.GetFrame(0).atomCount, 23);

    CDravikDoc cube;
    ASSERT_EQ(cube.InitiateFile(DataPath("valid-cube-angstrom-units.cube").c_str(), TEMPLATE_CUBE), 1);
    cube.WaitForLoader();
    EXPECT_EQ(cube.GetLoadResult(), 1);
    EXPECT_EQ(cube.GetFrame(0).voxels.nx, 10);
}

TEST_F(LoaderTest, LoadNotYetShownIsNotRestarted) {
    CDravikDoc doc;
    const std::string first = Trajectory(2);
    ASSERT_EQ(doc.InitiateFile(first.c_str(), TEMPLATE_XYZ), 1);
    doc.WaitForLoader();
    const std::size_t posted = sink.Messages().size();
    const std::string second = DataPath("xcrysden-anim.xyz");
    EXPECT_EQ(doc.InitiateFile(second.c_str(), TEMPLATE_XYZ), 1);  // the current load result
    doc.WaitForLoader();
    EXPECT_EQ(sink.Messages().size(), posted);
    EXPECT_EQ(doc.GetFrameCount(), 2);

    // Once the first frame has been shown the next file loads (the earlier thread is joined first).
    doc.FirstFrameWasRead();
    ASSERT_EQ(doc.InitiateFile(second.c_str(), TEMPLATE_XYZ), 1);
    doc.WaitForLoader();
    EXPECT_EQ(doc.GetFrameCount(), 5);
    EXPECT_EQ(doc.GetPathName(), second);

    // A load ended on purpose is no load in progress, even before its first frame was shown: the file the
    // user picks next loads (it used to be refused until a notice that never came for it).
    doc.AdviseGracefullExit();
    ASSERT_EQ(doc.InitiateFile(first.c_str(), TEMPLATE_XYZ), 1);
    doc.AdviseGracefullExit();
    ASSERT_EQ(doc.InitiateFile(second.c_str(), TEMPLATE_XYZ), 1);
    doc.WaitForLoader();
    EXPECT_EQ(doc.GetLoadResult(), 1);
    EXPECT_EQ(doc.GetFrameCount(), 5);
}

TEST_F(LoaderTest, AbortIsHonouredAfterTheFrameInProgress) {
    CDravikDoc doc;
    std::atomic<int> firstFrameNotices{0};
    HeadlessMessageSink aborting([&](const AppMessage& m) {
        // Runs on the loader thread: asks the load to end, as closing the window would.
        if (m.code == MSG_FIRST_FRAME_READ && firstFrameNotices++ == 0) doc.AdviseGracefullExit();
    });
    SetMainWindowTarget(&aborting);
    ASSERT_EQ(doc.InitiateFile(Trajectory(50).c_str(), TEMPLATE_XYZ), 1);
    doc.WaitForLoader();
    EXPECT_TRUE(doc.CloseBeforeLoaded());
    EXPECT_EQ(doc.GetLoadResult(), 0);
    EXPECT_EQ(doc.GetFrameCount(), 2);
    EXPECT_EQ(aborting.Count(MSG_FILE_LOADED), 1);
    EXPECT_EQ(aborting.Count(MSG_SHOW_MESSAGE), 0);
    SetMainWindowTarget(&sink);
}

TEST_F(LoaderTest, GracefulExitStopsTheLoaderAndEmptiesTheDocument) {
    CDravikDoc doc;
    ASSERT_EQ(doc.InitiateFile(Trajectory(3000).c_str(), TEMPLATE_XYZ), 1);
    doc.AdviseGracefullExit();
    EXPECT_EQ(doc.GetFrameCount(), 0);
    EXPECT_EQ(doc.GetLoadResult(), -1);
    EXPECT_EQ(sink.Count(MSG_FILE_LOADED), 1);  // the loader ended before the document was emptied
    EXPECT_EQ(LastProgress().wParam, 0);
}

TEST_F(LoaderTest, DocumentDestroyedWhileLoading) {
    auto doc = std::make_unique<CDravikDoc>();
    ASSERT_EQ(doc->InitiateFile(Trajectory(3000).c_str(), TEMPLATE_XYZ), 1);
    doc.reset();
    SUCCEED();
}

TEST_F(LoaderTest, MissingXyzFileShowsTheBuiltInMolecule) {
    CDravikDoc doc;
    ASSERT_EQ(doc.InitiateFile((dir.path().toStdString() + "/gone.xyz").c_str(), TEMPLATE_XYZ), 1);
    doc.WaitForLoader();
    EXPECT_EQ(doc.GetLoadResult(), 1);
    EXPECT_EQ(doc.GetFrame(0).atomCount, 47);
}

TEST_F(LoaderTest, FailureInTheLoaderIsReportedAsCriticalError) {
    CDravikDoc doc;
    std::atomic<bool> thrown{false};
    HeadlessMessageSink failing([&](const AppMessage& m) {
        if (m.code == MSG_FIRST_FRAME_READ && !thrown.exchange(true)) throw std::runtime_error("window gone");
    });
    SetMainWindowTarget(&failing);
    const std::string path = Trajectory(4);
    ASSERT_EQ(doc.InitiateFile(path.c_str(), TEMPLATE_XYZ), 1);
    doc.WaitForLoader();
    EXPECT_EQ(GetSharedMessage(), "A critical error happened when reading the file\n" + path +
                                      "\nAre you sure the file has not been corrupted?");
    const std::vector<AppMessage> messages = failing.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2].code, MSG_SHOW_MESSAGE);
    EXPECT_EQ(messages.back().code, MSG_FILE_LOADED);
    EXPECT_EQ(doc.GetLoadResult(), 0);
    SetMainWindowTarget(&sink);
}

}  // namespace
}  // namespace zelvor::test
