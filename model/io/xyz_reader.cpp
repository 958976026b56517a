#include "model/io/xyz_reader.h"

#include <climits>

#include "model/builtin_molecules.h"
#include "model/element_cache.h"
#include "model/io/reader_support.h"
#include "model/io/text_scanner.h"
#include "platform/text_compare.h"

namespace zelvor {

namespace {

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

/// The cell in the program's own dialect: the words up to "La=" are free, then three numbers (cellA), a
/// word, three numbers (cellB), a word and three numbers (cellC).
CellOnComment ParseLaCell(std::string_view comment, Vector (&edges)[3]) {
    const char* p = comment.data();
    const char* end = p + comment.size();
    std::string_view word;
    do {
        if (!scan::ParseWord(p, end, word)) return CellOnComment::None;
    } while (word != "La=");
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && !scan::ParseWord(p, end, word)) return CellOnComment::Rubbish;
        if (!scan::ParseNumber(p, end, edges[i].x) || !scan::ParseNumber(p, end, edges[i].y) ||
            !scan::ParseNumber(p, end, edges[i].z))
            return CellOnComment::Rubbish;
    }
    return CellOnComment::Read;
}

/// The quoted value of the key Lattice (any case) of an extended XYZ comment line, as in
/// Lattice="a1 a2 a3 b1 b2 b3 c1 c2 c3" pbc="T T T"; false when the line has no such key.
bool FindLatticeValue(std::string_view comment, std::string_view& value) {
    constexpr std::string_view kKey = "lattice";
    for (std::size_t at = 0; at + kKey.size() <= comment.size(); ++at) {
        if (at > 0 && !scan::IsSpace(comment[at - 1])) continue;
        if (!EqualsIgnoringCase(comment.substr(at, kKey.size()), kKey)) continue;
        const char* p = comment.data() + at + kKey.size();
        const char* end = comment.data() + comment.size();
        scan::SkipSpaces(p, end);
        if (p == end || *p++ != '=') continue;
        scan::SkipSpaces(p, end);
        if (p == end || *p++ != '"') continue;
        const std::string_view rest(p, static_cast<std::size_t>(end - p));
        value = rest.substr(0, rest.find('"'));
        return true;
    }
    return false;
}

/// The cell of an extended XYZ comment line: nine numbers, the vectors a, b and c one after the other.
CellOnComment ParseLatticeCell(std::string_view comment, Vector (&edges)[3]) {
    std::string_view value;
    if (!FindLatticeValue(comment, value)) return CellOnComment::None;
    const char* p = value.data();
    const char* end = p + value.size();
    for (Vector& edge : edges)
        if (!scan::ParseNumber(p, end, edge.x) || !scan::ParseNumber(p, end, edge.y) ||
            !scan::ParseNumber(p, end, edge.z))
            return CellOnComment::Rubbish;
    scan::SkipSpaces(p, end);
    return p == end ? CellOnComment::Read : CellOnComment::Rubbish;
}

/// The cell given on a frame's comment line: "La=" first, else an extended XYZ Lattice.
CellOnComment ParseCommentCell(std::string_view comment, Frame& frame, bool& extended) {
    Vector edges[3];
    CellOnComment found = ParseLaCell(comment, edges);
    extended = found == CellOnComment::None;
    if (extended) found = ParseLatticeCell(comment, edges);
    if (found == CellOnComment::Read) {
        frame.cellA = edges[0];
        frame.cellB = edges[1];
        frame.cellC = edges[2];
    }
    return found;
}

/// Extended XYZ positions run from the cell's origin corner; the program's cells are centred on the
/// origin (fractional -0.5 to 0.5), so the atoms move by half the cell diagonal to sit inside it.
void ShiftIntoCentredCell(Frame& frame) {
    const Vector half = (frame.cellA + frame.cellB + frame.cellC) * 0.5;
    for (int i = 1; i <= frame.atomCount; ++i) frame.atoms[i].position = frame.atoms[i].position - half;
}

}  // namespace

int ReadXyzFile(const char* path, CReaderSink& sink) {
    CTextScanner in;
    const bool fromFile = reader::CanOpenForReading(path);
    const std::string shownPath = fromFile ? path : "";
    if (!fromFile) in.OpenMemory(BuiltinCoordinateFile(BUILTIN_MOLECULE));
    sink.ShowLoadStatus(0, true, nullptr);
    if (fromFile && !in.OpenFile(path)) {
        reader::ReportOpenFailure(sink, reader::Format(reader::kErrorOpeningFile, path));
        return -1;
    }
    sink.ClearFrames();
    if (in.AtEnd()) return 1;

    CElementCache elements;
    reader::CFrameSequence frames(sink, in, shownPath.c_str());
    // A frame that cannot be read: the reading check's message for it, and the load fails.
    const auto failed = [&](long line, int frame) {
        reader::IsFileReadingOK(sink, StreamState{true, in.Bad(), false}, shownPath.c_str(), line, frame);
        return 0;
    };
    for (;;) {
        const int f = sink.FrameCount();
        if (int result; !frames.NextFrame(f, result)) return result;
        long long count = 0;
        if (!in.ReadInteger(count) || count > INT_MAX || count < INT_MIN) {
            // Text after the last frame ends the file; a first count that cannot be read is no XYZ file.
            return f > 0 ? frames.EndOfInput(f) : failed(0, 0);
        }
        if (count < 0) {
            reader::ReportLoadFailure(sink, reader::Format(reader::kCellRubbish, f));
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
        // The input ends with a count line: keep the frames complete so far.
        if (!haveLine) return f > 0 ? frames.EndOfInput(f) : failed(0, 0);

        Frame& frame = sink.FrameAt(f);
        frame.Clear();
        frame.cellA = frame.cellB = frame.cellC = Vector();
        frame.commentBuffer = std::make_unique<char[]>(COMMENT_SIZE);
        reader::CopyCut(frame.commentBuffer.get(), COMMENT_SIZE, comment);
        frame.comment = frame.commentBuffer.get();
        bool extendedCell = false;
        if (ParseCommentCell(frame.comment, frame, extendedCell) == CellOnComment::Rubbish) {
            frame.Clear();
            reader::ReportLoadFailure(sink, reader::Format(reader::kCellRubbish, f));
            return 0;
        }

        // A count the rest of the input cannot hold is read through a scratch atom up to the line that
        // fails, so that it is reported like any short frame without allocating for it.
        const bool fits = CountFitsInput(n, in.Remaining());
        if (fits) {
            frame.atoms = MakeAtoms(n);
            frame.atomCount = n;
        }
        Atom scratch;
        Vector sum;
        for (int i = 1; i <= n; ++i) {
            Atom& atom = fits ? frame.atoms[i] : scratch;
            std::string_view line, label;
            if (!in.ReadLine(line) || !ParseAtomLine(line, label, atom.position)) {
                frame.Clear();
                return failed(i, f);
            }
            elements.Assign(atom, label);
            sum = sum + atom.position;
        }
        if (!fits) {  // only when the file grew while it was read
            frame.Clear();
            return failed(n, f);
        }

        const bool noCell = frame.cellA.x == 0.0 && frame.cellA.y == 0.0 && frame.cellA.z == 0.0;
        if (!noCell && extendedCell) ShiftIntoCentredCell(frame);
        const double h =
            noCell ? reader::MadeCellHalfExtent(reader::CentreOnMean(frame.atoms.get(), n, sum)) : 0.0;
        sink.SetFrameCell(f, h);
        if (!frames.Publish(f, f + 1)) return 0;
    }
}

}  // namespace zelvor
