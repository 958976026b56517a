// The XYZ reader: frames of "count, comment, count atom lines", back to back.
#include <algorithm>
#include <climits>
#include <cmath>

#include "model/builtin_molecules.h"
#include "model/dravik_doc.h"
#include "model/element_cache.h"
#include "model/io/reader_support.h"
#include "model/io/text_scanner.h"

namespace zelvor {

namespace {

/// The built-in molecule shown when the path cannot be opened.
constexpr int kFallbackMolecule = 161;

/// An atom line needs a label, a blank and three numbers (at least 7 characters) and a line end between
/// lines, so n atoms need at least 8 n - 1 bytes; a count beyond that cannot be satisfied by the input.
bool CountFitsInput(long long count, std::uint64_t remaining) {
    return static_cast<unsigned long long>(count) <= (remaining + 1) / 8;
}

/// "label x y z" at the start of an atom line; the rest of the line is ignored.
bool ParseAtomLine(std::string_view line, std::string_view& label, Vector& position) {
    const char* p = line.data();
    const char* end = p + line.size();
    return scan::ParseWord(p, end, label) && scan::ParseNumber(p, end, position.x) &&
           scan::ParseNumber(p, end, position.y) && scan::ParseNumber(p, end, position.z);
}

enum class CellOnComment { None, Read, Rubbish };

/// The cell of a comment line: the words up to "La=" are free, then three numbers (cellA), a word, three
/// numbers (cellB), a word and three numbers (cellC).
CellOnComment ParseCommentCell(std::string_view comment, Frame& frame) {
    const char* p = comment.data();
    const char* end = p + comment.size();
    std::string_view word;
    do {
        if (!scan::ParseWord(p, end, word)) return CellOnComment::None;
    } while (word != "La=");
    Vector edges[3];
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && !scan::ParseWord(p, end, word)) return CellOnComment::Rubbish;
        if (!scan::ParseNumber(p, end, edges[i].x) || !scan::ParseNumber(p, end, edges[i].y) ||
            !scan::ParseNumber(p, end, edges[i].z))
            return CellOnComment::Rubbish;
    }
    frame.cellA = edges[0];
    frame.cellB = edges[1];
    frame.cellC = edges[2];
    return CellOnComment::Read;
}

/// Moves the atoms' mean to the origin; returns the largest absolute coordinate afterwards.
double CentreOnMean(Atom* atoms, int count, const Vector& sum) {
    if (count <= 0) return 0.0;
    const Vector centre = sum / count;
    double h = 0.0;
    for (int i = 1; i <= count; ++i) {
        Vector& r = atoms[i].position;
        r = r - centre;
        h = std::max({h, std::fabs(r.x), std::fabs(r.y), std::fabs(r.z)});
    }
    return h;
}

}  // namespace

int CDravikDoc::ReadXYZCoordinates(const char* path) {
    CTextScanner in;
    const bool fromFile = reader::CanOpenForReading(path);
    const std::string shownPath = fromFile ? path : "";
    if (!fromFile) in.OpenMemory(BuiltinCoordinateFile(kFallbackMolecule));
    AdviseMainWndLoadStatus(0, 1, nullptr);
    if (fromFile && !in.OpenFile(path)) {
        reader::ReportOpenFailure(reader::Format(reader::kErrorOpeningFile, path));
        return -1;
    }
    FreeFrames();
    if (in.AtEnd()) return 1;

    CElementCache elements(*this);
    int lastShown = -1;
    // The input is over (or what follows the last frame is no frame): success, unless reading failed.
    const auto endOfInput = [&](int frame) {
        if (in.Bad()) return IsFileReadingOK(StreamState{true, true, false}, shownPath.c_str(), 0, frame) ? 1 : 0;
        percentLoaded_.store(100);
        return 1;
    };
    for (;;) {
        const int f = frameCount_.load();
        in.SkipWhitespace();
        if (in.AtEnd()) return endOfInput(f);
        if (f >= MAX_FRAMES) {
            reader::ReportTooManyFrames();
            return 0;
        }
        long long count = 0;
        if (!in.ReadInteger(count) || count > INT_MAX || count < INT_MIN) {
            // Text after the last frame ends the file; a first count that cannot be read is no XYZ file.
            if (f > 0) return endOfInput(f);
            IsFileReadingOK(StreamState{true, in.Bad(), false}, shownPath.c_str(), 0, 0);
            return 0;
        }
        if (count < 0) {
            ReportLoadFailure(reader::Format(reader::kCellRubbish, f));
            return 0;
        }
        const int n = static_cast<int>(count);

        // The comment is what follows the count on its line, else the next line, even an empty one.
        std::string_view comment;
        bool haveLine = in.ReadLine(comment);
        comment = reader::TrimLeft(comment);
        if (comment.empty()) {
            haveLine = in.ReadLine(comment);
            comment = reader::TrimLeft(comment);
        }
        if (!haveLine) {
            // The input ends with a count line: keep the frames complete so far.
            if (f > 0) return endOfInput(f);
            IsFileReadingOK(StreamState{true, in.Bad(), false}, shownPath.c_str(), 0, 0);
            return 0;
        }

        Frame& frame = frames_[f];
        frame.Clear();
        frame.cellA = frame.cellB = frame.cellC = Vector();
        frame.commentBuffer = std::make_unique<char[]>(COMMENT_SIZE);
        reader::CopyCut(frame.commentBuffer.get(), COMMENT_SIZE, comment);
        frame.comment = frame.commentBuffer.get();
        if (ParseCommentCell(frame.comment, frame) == CellOnComment::Rubbish) {
            frame.Clear();
            ReportLoadFailure(reader::Format(reader::kCellRubbish, f));
            return 0;
        }

        // A count the rest of the input cannot hold is read through a scratch atom up to the line that
        // fails, so that it is reported like any short frame without allocating for it.
        const bool fits = CountFitsInput(n, in.Remaining());
        if (fits) {
            frame.atoms.reset(new Atom[static_cast<std::size_t>(n) + 1]);
            frame.atomCount = n;
        }
        Atom scratch;
        Vector sum;
        for (int i = 1; i <= n; ++i) {
            Atom& atom = fits ? frame.atoms[i] : scratch;
            std::string_view line, label;
            if (!in.ReadLine(line) || !ParseAtomLine(line, label, atom.position)) {
                frame.Clear();
                IsFileReadingOK(StreamState{true, in.Bad(), false}, shownPath.c_str(), i, f);
                return 0;
            }
            elements.Assign(atom, label);
            sum = sum + atom.position;
        }
        if (!fits) {  // only when the file grew while it was read
            frame.Clear();
            IsFileReadingOK(StreamState{true, in.Bad(), false}, shownPath.c_str(), n, f);
            return 0;
        }

        const bool noCell = frame.cellA.x == 0.0 && frame.cellA.y == 0.0 && frame.cellA.z == 0.0;
        const double h =
            noCell ? reader::MadeCellHalfExtent(CentreOnMean(frame.atoms.get(), n, sum)) : 0.0;
        CalcCellSizeRcutoff(f, h);
        reader::ReportProgress(percentLoaded_, lastShown, in);
        frameCount_.store(f + 1);
        if (CloseBeforeLoaded()) return 0;
        SetMaxCellWidth();
        if (f == 0) PostToMainWindow(MSG_FIRST_FRAME_READ);
    }
}

}  // namespace zelvor
