#pragma once
/// CLoaderSink: the document's side of a read. The readers hand their frames, progress and messages to it;
/// it fills the document's frame store and tells the main window.
#include "model/io/reader_sink.h"

namespace zelvor {

class CDravikDoc;

class CLoaderSink : public CReaderSink {
public:
    explicit CLoaderSink(CDravikDoc& doc) : doc_(doc) {}

    void ClearFrames() override;
    int FrameCount() const override;
    Frame& FrameAt(int f) override;
    void SetFrameCell(int f, double halfExtent) override;
    void StoreFrames(int count) override;
    char* TitleText() override;
    void SetVoxelStatistics(const VoxelGrid& grid) override;
    void SetPercentLoaded(int percent) override;
    void ShowLoadStatus(int percent, bool show, const char* text) override;
    bool Aborted() const override;
    void FirstFrameRead() override;
    void ShowMessage(const std::string& text) override;

private:
    CDravikDoc& doc_;
};

}  // namespace zelvor
