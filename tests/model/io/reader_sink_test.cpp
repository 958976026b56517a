// The readers against a sink of their own, without a document or a window: what they hand over, in order.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "model/io/cube_reader.h"
#include "model/io/pdb_reader.h"
#include "model/io/xyz_reader.h"
#include "reader_fixtures.h"

namespace zelvor::test {
namespace {

/// Records every call as one line of a log, and keeps the frames in a store of its own.
class RecordingSink : public CReaderSink {
public:
    void ClearFrames() override {
        for (int f = 0; f < MAX_FRAMES; ++f) frames_[f].Clear();
        count_ = 0;
        log.push_back("clear");
    }
    int FrameCount() const override { return count_; }
    Frame& FrameAt(int f) override { return frames_[f]; }
    void SetFrameCell(int f, double h) override { log.push_back("cell " + std::to_string(f) + (h > 0 ? " made" : "")); }
    void StoreFrames(int count) override {
        count_ = count;
        log.push_back("store " + std::to_string(count));
    }
    char* TitleText() override { return title_.get(); }
    void SetVoxelStatistics(const VoxelGrid& grid) override { log.push_back("voxels " + std::to_string(grid.max)); }
    void SetPercentLoaded(int percent) override { percent_ = percent; }
    void ShowLoadStatus(int, bool show, const char*) override {
        if (!show) log.push_back("hide");
    }
    bool Aborted() const override { return abortAfter_ >= 0 && count_ >= abortAfter_; }
    void FirstFrameRead() override { log.push_back("first"); }
    void ShowMessage(const std::string& text) override { log.push_back("message " + text.substr(0, text.find('\n'))); }

    std::vector<std::string> log;
    int abortAfter_ = -1;  ///< frames after which reading is to stop (-1: never)
    int percent_ = -1;

private:
    std::unique_ptr<Frame[]> frames_{new Frame[MAX_FRAMES]};
    std::unique_ptr<char[]> title_{new char[TITLE_SIZE]()};
    int count_ = 0;
};

class ReaderSinkTest : public ::testing::Test {
protected:
    void SetUp() override { UseRealElementTable(); }
    std::string Write(const std::string& name, const std::string& text) { return WriteFile(dir, name, text); }
    QTemporaryDir dir;
    RecordingSink sink;
};

TEST_F(ReaderSinkTest, FramesAreFilledThenStoredOneByOneAndTheFirstIsAnnounced) {
    const std::string path = Write("three.xyz", "1\na\nC 0 0 0\n1\nb La= 5 0 0 x 0 5 0 y 0 0 5\nO 1 1 1\n1\nc\nH 2 2 2\n");
    ASSERT_EQ(ReadXyzFile(path.c_str(), sink), 1);
    EXPECT_EQ(sink.log, (std::vector<std::string>{"clear", "cell 0 made", "store 1", "first", "cell 1", "store 2",
                                                  "cell 2 made", "store 3"}));
    EXPECT_EQ(sink.percent_, 100);
    EXPECT_STREQ(sink.FrameAt(1).comment, "b La= 5 0 0 x 0 5 0 y 0 0 5");
    EXPECT_EQ(sink.FrameAt(2).atoms[1].element->symbol, std::string("H"));
}

TEST_F(ReaderSinkTest, AnAbortStopsTheReadAfterTheFrameInHand) {
    const std::string path = Write("three.xyz", "1\na\nC 0 0 0\n1\nb\nC 0 0 0\n1\nc\nC 0 0 0\n");
    sink.abortAfter_ = 1;
    EXPECT_EQ(ReadXyzFile(path.c_str(), sink), 0);
    EXPECT_EQ(sink.FrameCount(), 1);
    EXPECT_EQ(sink.log.back(), "store 1");
    EXPECT_EQ(sink.FrameAt(1).atomCount, 0) << "nothing of the next frame was read";
}

TEST_F(ReaderSinkTest, EveryReaderReportsFailuresThroughTheSinkOnly) {
    // No window is set: a reader that posted a message itself would leave nothing to see here.
    const std::string xyz = Write("bad.xyz", "2\nc\nC 0 0 0\nC x 0 0\n");
    EXPECT_EQ(ReadXyzFile(xyz.c_str(), sink), 0);
    EXPECT_EQ(sink.log, (std::vector<std::string>{"clear", "message Line 2 couldn't be read.",
                                                  "hide"}));

    sink.log.clear();
    const std::string pdb = Write("two.pdb",
                                  "MODEL        1\nATOM      1  C   GLY A   1       0.000   0.000   0.000\nENDMDL\n"
                                  "MODEL        2\nATOM      1  C   GLY A   1       1.000   0.000   0.000\nENDMDL\n");
    EXPECT_EQ(ReadPdbFile(pdb.c_str(), sink), 1);
    EXPECT_EQ(sink.log, (std::vector<std::string>{"clear", "cell 0 made", "store 1", "first", "cell 1 made", "store 2",
                                                  "first"}))
        << "each model is announced";

    sink.log.clear();
    EXPECT_EQ(ReadCubeFile(DataPath("adv-cube-zero-dim.cube").c_str(), sink), 0);
    EXPECT_EQ(sink.log, (std::vector<std::string>{"clear", "hide", "first",
                                                  "message Cell dimension in the 0. frame"}));
}

}  // namespace
}  // namespace zelvor::test
