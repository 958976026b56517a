#pragma once
/// CReaderSink: what a coordinate file reader hands its frames, progress and messages to. The document's
/// loader implements it, so that the readers know nothing of windows, messages or the document.
#include <string>

#include "model/frame.h"

namespace zelvor {

class CReaderSink {
public:
    virtual ~CReaderSink() = default;

    // --- the frame store: frames are filled in place; those below FrameCount() are complete ----------
    /// A new file starts: every frame is freed.
    virtual void ClearFrames() = 0;
    virtual int FrameCount() const = 0;
    /// Frame f (below MAX_FRAMES), to be filled.
    virtual Frame& FrameAt(int f) = 0;
    /// Cell geometry of frame f once its atoms are in place; halfExtent > 0 gives the frame the cube of edge
    /// 2 * halfExtent (the file had no cell and the reader centred the frame).
    virtual void SetFrameCell(int f, double halfExtent) = 0;
    /// Frames 0..count-1 are complete: they are published and every frame's box width is brought up to date.
    virtual void StoreFrames(int count) = 0;
    /// The document's title text (TITLE_SIZE bytes), which the frames of a PDB file share as their comment.
    virtual char* TitleText() = 0;
    /// The voxel ranges of the cube data set read last.
    virtual void SetVoxelStatistics(const VoxelGrid& grid) = 0;

    // --- progress and abort ---------------------------------------------------------------------------
    /// The percentage of the file read (0-100), as the document reports it.
    virtual void SetPercentLoaded(int percent) = 0;
    /// The progress display: percentage, shown or hidden, and a status text (a string literal, or null).
    virtual void ShowLoadStatus(int percent, bool show, const char* text) = 0;
    /// True once reading should stop (the document closes, or another file comes).
    virtual bool Aborted() const = 0;

    // --- notices --------------------------------------------------------------------------------------
    /// The first frame is there (or the load ended without one): the window stops waiting.
    virtual void FirstFrameRead() = 0;
    /// Shows a message to the user.
    virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace zelvor
