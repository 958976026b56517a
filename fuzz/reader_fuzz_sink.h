#pragma once
/// The frame store of the reader harnesses: a sink without a document or window that keeps the frames and,
/// after each read, checks what the document relies on in the frames a reader published.
#include <memory>
#include <string>

#include "model/io/reader_sink.h"

namespace zelvor::fuzz {

class CReaderFuzzSink : public CReaderSink {
public:
    void ClearFrames() override;
    int FrameCount() const override { return count_; }
    Frame& FrameAt(int f) override;
    void SetFrameCell(int f, double halfExtent) override;
    void StoreFrames(int count) override;
    char* TitleText() override { return title_.get(); }
    void SetVoxelStatistics(const VoxelGrid&) override {}
    void SetPercentLoaded(int percent) override;
    void ShowLoadStatus(int, bool, const char*) override {}
    bool Aborted() const override { return false; }
    void FirstFrameRead() override {}
    void ShowMessage(const std::string&) override {}

    /// Aborts (a finding for the fuzzer) unless every published frame is whole: atoms present for its count,
    /// each with an element, a voxel grid that holds exactly nx * ny * nz values, a terminated title.
    void CheckFrames() const;

private:
    std::unique_ptr<Frame[]> frames_{new Frame[MAX_FRAMES]};
    std::unique_ptr<char[]> title_{new char[TITLE_SIZE]()};
    int count_ = 0;
    int touched_ = 0;  ///< frames below this may hold data: only they are cleared
};

}  // namespace zelvor::fuzz
