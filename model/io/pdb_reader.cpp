#include "model/io/pdb_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>

#include "model/io/element_matching.h"
#include "model/io/reader_support.h"
#include "model/io/text_scanner.h"

namespace zelvor {

namespace {

constexpr const char* kErrorOpeningTheFile = "Error opening the file\n%s";
constexpr const char* kNotConforming = "Line %ld doesn't conform to the PDB specifications.";
constexpr const char* kIncomprehensible = "Incomprehensible data in the %d. line \nin the %d. frames in the PDB file";

/// Columns first..last (1-based, inclusive) of a line; shorter where the line ends earlier.
std::string_view Columns(std::string_view line, std::size_t first, std::size_t last) {
    if (line.size() < first) return {};
    return line.substr(first - 1, last - first + 1);
}

/// The record name (columns 1-6) equals name, with columns past the line end counting as blanks.
bool IsRecord(std::string_view line, std::string_view name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = i < line.size() ? line[i] : ' ';
        if (c != name[i]) return false;
    }
    return true;
}

bool IsAtomRecord(std::string_view line) { return IsRecord(line, "ATOM  ") || IsRecord(line, "HETATM"); }
bool IsTitleRecord(std::string_view line) {
    return IsRecord(line, "TITLE ") || IsRecord(line, "KEYWDS") || IsRecord(line, "JRNL  ");
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && scan::IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && scan::IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

/// One 8-column coordinate field: a number, blanks around it and nothing else. A field that holds no
/// number or foreign characters after it would be read as a wrong position, so it does not conform.
bool ReadCoordinate(std::string_view field, double& value) {
    const char* p = field.data();
    const char* end = p + field.size();
    if (!scan::ParseNumber(p, end, value)) return false;
    scan::SkipSpaces(p, end);
    return p == end;
}

bool ReadCoordinates(std::string_view line, Vector& position) {
    return ReadCoordinate(Columns(line, 31, 38), position.x) && ReadCoordinate(Columns(line, 39, 46), position.y) &&
           ReadCoordinate(Columns(line, 47, 54), position.z);
}

/// Element of a PDB atom from the atom name of columns 13-16 and the symbol of columns 77-78.
class CPdbElements {
public:
    AtomData* Resolve(std::string_view line) {
        char name[4], symbol[2];
        for (std::size_t i = 0; i < 4; ++i) name[i] = 12 + i < line.size() ? line[12 + i] : ' ';
        for (std::size_t i = 0; i < 2; ++i) symbol[i] = 76 + i < line.size() ? line[76 + i] : ' ';
        return matcher_.Resolve(name, symbol);
    }

private:
    CElementMatcher matcher_;
};

/// Room for atoms of a frame: a usable atom record holds its coordinates (54 columns) and a line end.
constexpr std::uint64_t kMinAtomRecordBytes = 55;
/// Room given at first to a model after the first one that was small.
constexpr int kInitialModelRoom = 64;

/// Gives the frame room for at least one more atom (up to limit), keeping the atoms read so far.
void GrowAtoms(Frame& frame, int& room, int atomsRead, int limit) {
    const int grown = std::min(limit, std::max(2 * room, kInitialModelRoom));
    std::unique_ptr<Atom[]> atoms = MakeAtoms(grown);
    std::copy(frame.atoms.get(), frame.atoms.get() + atomsRead + 1, atoms.get());
    frame.atoms = std::move(atoms);
    room = grown;
}

/// Appends columns 11-72 of a title record, trimmed and followed by a line feed, cut to the buffer.
void AppendTitle(char* title, std::size_t& length, std::string_view line) {
    const std::string_view text = Trim(Columns(line, 11, 72));
    const std::size_t room = TITLE_SIZE - 1 - length;
    const std::size_t n = std::min(text.size(), room);
    std::memcpy(title + length, text.data(), n);
    length += n;
    if (length < TITLE_SIZE - 1) title[length++] = '\n';
    title[length] = '\0';
}

}  // namespace

int ReadPdbFile(const char* path, CReaderSink& sink) {
    CTextScanner in;
    if (!reader::CanOpenForReading(path)) {
        reader::ReportOpenFailure(sink, reader::Format(kErrorOpeningTheFile, path ? path : ""));
        return -1;
    }
    sink.ShowLoadStatus(0, true, nullptr);
    if (!in.OpenFile(path)) {
        reader::ReportOpenFailure(sink, reader::Format(kErrorOpeningTheFile, path));
        return -1;
    }
    sink.ClearFrames();

    // First pass: the atoms of the first model (up to the first END record) give the frame size.
    std::string_view line;
    long lineNumber = 0;
    int n = 0;
    while (in.ReadLine(line)) {
        ++lineNumber;
        if (IsAtomRecord(line)) ++n;
        if (line.starts_with("END")) break;
    }
    if (in.Bad() || !in.Rewind()) {
        reader::IsFileReadingOK(sink, StreamState{true, true, false}, path, lineNumber, 0);
        return -1;
    }
    if (n == 0) {
        // Nothing to show: no atom record before the first END (or no text at all).
        reader::IsFileReadingOK(sink, StreamState{true, false, false}, path, 0, 0);
        return 0;
    }

    // Second pass.
    char* title = sink.TitleText();
    std::size_t titleLength = 0;
    title[0] = '\0';
    CPdbElements elements;
    int frameIndex = -1;
    int atomsRead = 0;
    int previousAtoms = n;  // atoms of the frame before
    int room = 0;           // atom records allocated for the frame being filled
    Vector sum;
    reader::CReadProgress progress(sink, in);
    lineNumber = 0;

    // Completes the frame being filled: its atom count becomes the atoms actually read, it is centred and
    // gets its cubic cell. A frame without atoms is dropped. Returns the number of complete frames.
    const auto finishFrame = [&]() {
        Frame& frame = sink.FrameAt(frameIndex);
        if (atomsRead == 0) {
            frame.Clear();
            return frameIndex;
        }
        frame.atomCount = atomsRead;
        const double h = reader::CentreOnMean(frame.atoms.get(), atomsRead, sum);
        sink.SetFrameCell(frameIndex, reader::MadeCellHalfExtent(h));
        return frameIndex + 1;
    };
    // Every model read is published with a first-frame notice of its own.
    const auto storeFrames = [&]() {
        sink.StoreFrames(finishFrame());
        sink.FirstFrameRead();
    };

    while (in.ReadLine(line)) {
        ++lineNumber;
        if (IsTitleRecord(line)) AppendTitle(title, titleLength, line);
        if (frameIndex < 0 || (atomsRead > 0 && IsRecord(line, "MODEL "))) {
            if (frameIndex >= 0) storeFrames();
            if (frameIndex + 1 >= MAX_FRAMES) {
                reader::ReportTooManyFrames(sink);
                return 0;
            }
            // Room for the first model's count, but never more than the rest of the file can hold, nor (after
            // a small model) more than the model before had: a file of many tiny models after one large
            // first model must not allocate the large count for each of them. A model that turns out
            // larger gets more room as its atoms arrive.
            if (frameIndex >= 0) previousAtoms = atomsRead;
            const std::uint64_t fits = (in.Remaining() + line.size() + 1) / kMinAtomRecordBytes + 1;
            const auto expected = static_cast<std::uint64_t>(std::max(previousAtoms, kInitialModelRoom));
            room = static_cast<int>(std::min({static_cast<std::uint64_t>(n), fits, expected}));
            reader::BeginModelFrame(sink.FrameAt(++frameIndex), room, title);
            sum = Vector();
            atomsRead = 0;
        }
        if (atomsRead < n && IsAtomRecord(line)) {
            if (line.size() < 30) {
                // Columns 7-30 are missing: a frame cut before its first atom is dropped quietly.
                Frame& frame = sink.FrameAt(frameIndex);
                frame.Clear();
                if (atomsRead == 0 && frameIndex > 0) {
                    sink.SetPercentLoaded(100);
                    return 1;
                }
                reader::ReportLoadFailure(sink, reader::Format(kIncomprehensible, atomsRead + 1, frameIndex));
                return 0;
            }
            if (atomsRead == room) GrowAtoms(sink.FrameAt(frameIndex), room, atomsRead, n);
            Atom& atom = sink.FrameAt(frameIndex).atoms[atomsRead + 1];
            if (!ReadCoordinates(line, atom.position)) {
                atom.position = Vector();
                sink.ShowMessage(reader::Format(kNotConforming, lineNumber));
                storeFrames();
                return 1;
            }
            atom.element = elements.Resolve(line);
            sum = sum + atom.position;
            ++atomsRead;
        }
        if (sink.Aborted()) return 0;
        progress.Update();
    }
    if (in.Bad() || frameIndex < 0) {
        if (frameIndex >= 0) sink.FrameAt(frameIndex).Clear();
        reader::IsFileReadingOK(sink, StreamState{true, true, false}, path, lineNumber, std::max(frameIndex, 0));
        return 0;
    }
    storeFrames();
    return 1;
}

}  // namespace zelvor
