#pragma once
/// What the coordinate file readers share: their messages and failure reports, centring, progress, and the
/// walk over frames stored back to back.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "model/frame.h"
#include "model/io/reader_sink.h"
#include "model/io/text_scanner.h"

namespace zelvor::reader {

inline constexpr const char* kErrorOpeningFile = "Error opening file %s";
inline constexpr const char* kTooManyFrames = "More than %d frames in the coordinate file";
inline constexpr const char* kCellRubbish = "Cell dimension in the %d. frame\nin the coordinate file is rubbish!";
inline constexpr const char* kLoadingFile = "loading file";

/// Half edge of the cubic cell made for a frame without one. A single atom (or atoms all on one point)
/// has no extent; it still gets a 2 Å box instead of a zero cell that would count as given by the file.
inline double MadeCellHalfExtent(double h) { return h > 0.0 ? h : 1.0; }

/// True when the file can be opened for reading (the open that only takes its size for the progress).
bool CanOpenForReading(const char* path);

/// printf-style formatting into a string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// Copies text into a frame's comment buffer, cut to fit.
inline void CopyCut(char* buffer, std::size_t capacity, std::string_view text) {
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

/// The text without leading blanks (spaces and tabs).
inline std::string_view TrimLeft(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && scan::IsSpace(text[i])) ++i;
    return text.substr(i);
}

/// Empties frame f for a model whose atoms are still to come: room for `room` atoms, none counted yet (the
/// count is set once the model is complete), no cell, and the comment the frames of the file share.
inline void BeginModelFrame(Frame& frame, int room, const char* comment) {
    frame.Clear();
    frame.atoms = MakeAtoms(room);
    frame.atomCount = 0;
    frame.comment = comment;
    frame.cellA = frame.cellB = frame.cellC = Vector();
}

/// Moves atoms 1..count so that their mean (sum / count) is the origin; returns the largest absolute
/// coordinate afterwards, the half extent of the cell made for the frame.
double CentreOnMean(Atom* atoms, int count, const Vector& sum);

// --- failure reports --------------------------------------------------------------------------------

/// The reading check: true when the read was good or ended at the end of the input. Otherwise the message
/// that fits what is known (the line, and the frame from 1 on), the progress goes, and false.
bool IsFileReadingOK(CReaderSink& sink, const StreamState& s, const char* path, long line, int frame);
/// The reading check's words for a file refused without a line to blame.
std::string SeemsCorruptMessage(const char* path);
/// A file refused after reading began: the progress goes, the window stops waiting, the text is shown.
void ReportLoadFailure(CReaderSink& sink, const std::string& text);
/// A file that cannot be opened: the window stops waiting, the text is shown.
void ReportOpenFailure(CReaderSink& sink, const std::string& text);
/// The frame store is full: the frames read so far stay.
void ReportTooManyFrames(CReaderSink& sink);

// --- progress and frame sequences ---------------------------------------------------------------------

/// The share of one input read, given to the sink; only changes of the whole percentage are shown, so a
/// reader may report per line without flooding the window with identical progress messages.
class CReadProgress {
public:
    CReadProgress(CReaderSink& sink, const CTextScanner& in) : sink_(sink), in_(in) {}
    void Update();

private:
    CReaderSink& sink_;
    const CTextScanner& in_;
    int lastShown_ = -1;
};

/// Frames stored back to back until the input ends (XYZ and cube files): where the next one starts, the end
/// of the input, the frame limit, and the publishing of each frame read.
class CFrameSequence {
public:
    CFrameSequence(CReaderSink& sink, CTextScanner& in, const char* path)
        : sink_(sink), in_(in), path_(path), progress_(sink, in) {}

    /// Skips to the next frame, which becomes frame f. False when none may start: result then holds what
    /// the read returns (the input is over, or the frame store is full).
    bool NextFrame(int f, int& result);
    /// The input is over, or what follows frame f is no frame: 1, unless reading failed.
    int EndOfInput(int frame);
    /// Frames first..count-1 are read: progress, then they are published; false when loading was aborted.
    bool Publish(int first, int count);

private:
    CReaderSink& sink_;
    CTextScanner& in_;
    const char* path_;
    CReadProgress progress_;
};

}  // namespace zelvor::reader
