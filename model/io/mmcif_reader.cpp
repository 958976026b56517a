#include "model/io/mmcif_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>

#include "model/io/byte_source.h"
#include "model/io/cif_parser.h"
#include "model/io/element_matching.h"
#include "model/io/model_frames.h"
#include "model/io/reader_support.h"
#include "model/io/text_scanner.h"
#include "platform/text_compare.h"

namespace zelvor {

namespace {

constexpr const char* kErrorOpeningTheFile = "Error opening the file\n%s";
constexpr const char* kNoAtoms = "The first data block has no atoms (_atom_site rows).";
constexpr const char* kNoCoordinates = "The _atom_site table has no Cartn_x, Cartn_y and Cartn_z columns.";
constexpr const char* kNotANumber = "Line %zu doesn't conform to the mmCIF format:\nthe coordinate \"%.*s\" is not a number.";
constexpr const char* kInterleaved = "Line %zu: the atoms of model \"%.*s\" continue after another model began.";
constexpr const char* kTooManyAtoms = "Line %zu: more atoms in one model than a frame can hold.";
constexpr const char* kCutShort = "Only %d complete model(s) of the file, %s,\ncould be read:\n%s";

/// Longest piece of a file's value quoted in a message.
constexpr int kQuoted = 40;

/// How a read ends before its input does.
struct ReadStop {
    enum Kind { kAborted, kTooManyFrames, kRefused, kCutShort } kind;
    std::string text;
};
/// The first data block is over: nothing after it is read.
struct FirstBlockDone {};

/// The columns of the atom table that are read.
enum Role : int { kSymbol, kLabelName, kAuthName, kX, kY, kZ, kModel, kRoles };
constexpr std::array<std::string_view, kRoles> kRoleTags = {"type_symbol", "label_atom_id", "auth_atom_id",
                                                           "Cartn_x",     "Cartn_y",       "Cartn_z",
                                                           "pdbx_PDB_model_num"};
constexpr std::string_view kAtomSite = "_atom_site.";
constexpr std::string_view kStructTitle = "_struct.title";

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

/// The column of an _atom_site tag, kRoles for one that is not read.
Role RoleOf(std::string_view tag) {
    if (!StartsWithIgnoringCase(tag, kAtomSite)) return kRoles;
    tag.remove_prefix(kAtomSite.size());
    for (int r = 0; r < kRoles; ++r)
        if (EqualsIgnoringCase(tag, kRoleTags[r])) return static_cast<Role>(r);
    return kRoles;
}

/// A coordinate: a number, optionally followed by its standard uncertainty in parentheses ("1.234(5)").
bool ParseCoordinate(const CifValue& value, double& x) {
    if (value.null) return false;
    const char* p = value.text.data();
    const char* end = p + value.text.size();
    if (p == end || scan::IsSpace(*p) || !scan::ParseNumber(p, end, x)) return false;
    if (p < end && *p == '(') {
        ++p;
        while (p < end && scan::IsDigit(*p)) ++p;
        if (p == end || *p != ')') return false;
        ++p;
    }
    return p == end;
}

/// Fixed-width fields for the element matcher: the atom name aligned as a PDB file writes it (a name
/// shorter than four characters that starts with a letter is a one-letter element's and starts in the
/// second column), and the element symbol without a charge ("FE2+" is iron).
void NameField(std::string_view name, char field[4]) {
    std::memset(field, ' ', 4);
    const std::size_t start = name.size() < 4 && !name.empty() && !scan::IsDigit(name[0]) ? 1 : 0;
    name.copy(field + start, 4 - start);
}

void SymbolField(std::string_view symbol, char field[2]) {
    while (symbol.size() > 1 && (scan::IsDigit(symbol.back()) || symbol.back() == '+' || symbol.back() == '-'))
        symbol.remove_suffix(1);
    std::memset(field, ' ', 2);
    if (symbol.size() <= 2) symbol.copy(field, symbol.size());
}

/// The share of the file read, given to the sink whenever the whole percentage changes.
class CByteProgress {
public:
    CByteProgress(CReaderSink& sink, const CByteSource& source) : sink_(sink), source_(source) {}
    void Update() {
        const std::uint64_t size = source_.FileSize();
        const int percent =
            size == 0 ? 100 : static_cast<int>(std::min<std::uint64_t>(100, source_.FilePosition() * 100 / size));
        if (percent == lastShown_) return;
        lastShown_ = percent;
        sink_.SetPercentLoaded(percent);
        sink_.ShowLoadStatus(percent, true, reader::kLoadingFile);
    }

private:
    CReaderSink& sink_;
    const CByteSource& source_;
    int lastShown_ = -1;
};

/// What the grammar's actions keep of the file: the title and the atom table of the first data block, its
/// rows turned into atoms as they arrive. Everything else is parsed and forgotten.
class CMmcifContent : public CCifHandler {
public:
    CMmcifContent(CReaderSink& sink, const CByteSource& source, char* title)
        : sink_(sink), frames_(sink, title), progress_(sink, source), title_(title) {}

    CModelFrames& Frames() { return frames_; }

    // --- the structure around the items ------------------------------------------------------------------
    void BlockStarts() override {
        if (++blocks_ > 1) throw FirstBlockDone{};
    }
    void SaveFrame(bool inside) override { inSaveFrame_ = inside; }

    // --- tag-value pairs ------------------------------------------------------------------------------------
    void PairTag(std::string_view tag) override {
        pairIsTitle_ = false;
        pairRole_ = kRoles;
        if (inSaveFrame_) return;
        if (EqualsIgnoringCase(tag, kStructTitle)) {
            pairIsTitle_ = true;
        } else if (!atomTableDone_ && StartsWithIgnoringCase(tag, kAtomSite)) {
            // A table of one row may be written as pairs.
            atomPairs_ = true;
            pairRole_ = RoleOf(tag);
            if (pairRole_ != kRoles) hasRole_[pairRole_] = true;
        }
    }
    void PairValue(const CifValue& value) override {
        if (pairIsTitle_) SetTitle(value);
        if (pairRole_ != kRoles) Store(pairRole_, value);
    }

    // --- loops ----------------------------------------------------------------------------------------------
    void LoopStarts() override {
        loop_ = Loop::kOther;
        tags_ = 0;
        column_ = 0;
        rowsInLoop_ = 0;
        slotCount_ = 0;
        nextSlot_ = 0;
        titleColumn_ = -1;
    }
    void LoopTag(std::string_view tag) override {
        const long long column = tags_++;
        if (inSaveFrame_) return;
        if (column == 0) {
            if (!atomTableDone_ && !atomPairs_ && StartsWithIgnoringCase(tag, kAtomSite)) {
                loop_ = Loop::kAtoms;
                hasRole_.fill(false);
            } else if (StartsWithIgnoringCase(tag, "_struct.")) {
                loop_ = Loop::kStruct;
            }
        }
        if (loop_ == Loop::kAtoms) {
            const Role role = RoleOf(tag);
            if (role != kRoles && !hasRole_[role]) {
                hasRole_[role] = true;
                slots_[slotCount_++] = Slot{column, role};
            }
        } else if (loop_ == Loop::kStruct && titleColumn_ < 0 && EqualsIgnoringCase(tag, kStructTitle)) {
            titleColumn_ = column;
        }
    }
    void LoopValue(const CifValue& value) override {
        const long long column = column_;
        if (++column_ == tags_) column_ = 0;
        if ((++values_ & 0xfff) == 0) {
            // Long tables of other things are read too: the reader stays responsive there as well.
            if (sink_.Aborted()) throw ReadStop{ReadStop::kAborted, {}};
            progress_.Update();
        }
        if (loop_ == Loop::kOther) return;
        if (loop_ == Loop::kStruct) {
            if (rowsInLoop_ == 0 && column == titleColumn_) SetTitle(value);
            if (column_ == 0) ++rowsInLoop_;
            return;
        }
        if (column == 0 && rowsInLoop_ == 0) RequireCoordinates();
        if (nextSlot_ < slotCount_ && slots_[nextSlot_].column == column) Store(slots_[nextSlot_++].role, value);
        if (column_ == 0) {
            nextSlot_ = 0;
            ++rowsInLoop_;
            EndRow(value.line);
        }
    }
    bool LoopEnds() override {
        // A row left incomplete means the file was cut or damaged: the model being read is not complete.
        if (column_ != 0) return false;
        if (loop_ == Loop::kAtoms) {
            // Only the first atom table counts; a block holds one.
            atomTableDone_ = true;
            frames_.FinishModel();
        }
        loop_ = Loop::kOther;
        return true;
    }

    /// The first data block is over: an atom table written as pairs becomes its one atom, and the last
    /// model is complete.
    void EndOfBlock() {
        if (atomPairs_ && !atomTableDone_) {
            atomTableDone_ = true;
            RequireCoordinates();
            EndRow(0);
        }
        frames_.FinishModel();
    }

private:
    enum class Loop { kOther, kAtoms, kStruct };
    struct Slot {
        long long column;
        Role role;
    };

    void SetTitle(const CifValue& value) {
        if (titleSet_ || value.null) return;
        titleSet_ = true;
        std::string_view text = value.text;
        while (!text.empty() && scan::IsSpace(text.front())) text.remove_prefix(1);
        while (!text.empty() && scan::IsSpace(text.back())) text.remove_suffix(1);
        const std::size_t n = std::min<std::size_t>(text.size(), TITLE_SIZE - 2);
        text.copy(title_, n);
        title_[n] = '\n';
        title_[n + 1] = '\0';
    }

    void RequireCoordinates() {
        if (!hasRole_[kX] || !hasRole_[kY] || !hasRole_[kZ]) throw ReadStop{ReadStop::kRefused, kNoCoordinates};
    }

    void Store(Role role, const CifValue& value) {
        switch (role) {
            case kX:
            case kY:
            case kZ:
                if (!ParseCoordinate(value, xyz_[role - kX]) && badLine_ == 0) {
                    badLine_ = value.line;
                    badValue_.assign(value.text.substr(0, kQuoted));
                }
                break;
            case kModel:
                if (value.text != model_) {
                    modelChanged_ = true;
                    nextModel_.assign(value.text);
                }
                break;
            case kSymbol: SymbolField(value.null ? std::string_view() : value.text, symbol_); break;
            case kLabelName: NameField(value.null ? std::string_view() : value.text, labelName_); break;
            case kAuthName: NameField(value.null ? std::string_view() : value.text, authName_); break;
            case kRoles: break;
        }
    }

    /// A complete row: an atom of the model it names.
    void EndRow(std::size_t line) {
        if (sink_.Aborted()) throw ReadStop{ReadStop::kAborted, {}};
        if (badLine_ != 0)
            throw ReadStop{ReadStop::kCutShort,
                           reader::Format(kNotANumber, badLine_, static_cast<int>(badValue_.size()), badValue_.data())};
        if (modelChanged_) {
            // A model starts when the model number changes. Rows of a model that resume after another model
            // began would be split over frames, or joined out of order: such a file is refused.
            modelChanged_ = false;
            if (frames_.Open()) {
                seenModels_.insert(model_);
                frames_.FinishModel();
            }
            if (seenModels_.count(nextModel_)) {
                const int n = static_cast<int>(std::min<std::size_t>(nextModel_.size(), kQuoted));
                throw ReadStop{ReadStop::kRefused, reader::Format(kInterleaved, line, n, nextModel_.data())};
            }
            model_.swap(nextModel_);
        }
        if (!frames_.Open() && !frames_.StartModel()) throw ReadStop{ReadStop::kTooManyFrames, {}};
        const char* name = hasRole_[kLabelName] ? labelName_ : authName_;
        if (!frames_.AddAtom(Vector(xyz_[0], xyz_[1], xyz_[2]), elements_.Resolve(name, symbol_)))
            throw ReadStop{ReadStop::kCutShort, reader::Format(kTooManyAtoms, line)};
    }

    CReaderSink& sink_;
    CModelFrames frames_;
    CByteProgress progress_;
    CElementMatcher elements_;
    char* title_;
    bool titleSet_ = false;
    int blocks_ = 0;
    bool inSaveFrame_ = false;
    bool pairIsTitle_ = false;
    Role pairRole_ = kRoles;
    bool atomPairs_ = false;      ///< the atom table is written as pairs
    bool atomTableDone_ = false;  ///< the atom table is read (later ones are ignored)

    // The loop being parsed.
    Loop loop_ = Loop::kOther;
    long long tags_ = 0;
    long long column_ = 0;  ///< column of the next value
    long rowsInLoop_ = 0;
    long long titleColumn_ = -1;
    std::array<Slot, kRoles> slots_{};  ///< the columns read, in column order
    int slotCount_ = 0;
    int nextSlot_ = 0;
    std::array<bool, kRoles> hasRole_{};

    // The row being read.
    double xyz_[3] = {};
    char symbol_[2] = {' ', ' '};
    char labelName_[4] = {' ', ' ', ' ', ' '};
    char authName_[4] = {' ', ' ', ' ', ' '};
    std::size_t badLine_ = 0;
    std::string badValue_;
    std::string model_;
    std::string nextModel_;
    bool modelChanged_ = false;
    std::unordered_set<std::string> seenModels_;
    long long values_ = 0;
};

/// The file is refused: no frame stays.
int Refuse(CReaderSink& sink, const char* path, const std::string& complaint) {
    sink.ClearFrames();
    reader::ReportLoadFailure(sink, reader::SeemsCorruptMessage(path) + "\n" + complaint);
    return 0;
}

}  // namespace

int ReadMmcifFile(const char* path, CReaderSink& sink) {
    if (!reader::CanOpenForReading(path)) {
        reader::ReportOpenFailure(sink, reader::Format(kErrorOpeningTheFile, path ? path : ""));
        return -1;
    }
    sink.ShowLoadStatus(0, true, nullptr);
    CByteSource source;
    if (!source.Open(path)) {
        reader::ReportOpenFailure(sink, reader::Format(kErrorOpeningTheFile, path));
        return -1;
    }
    sink.ClearFrames();
    char* title = sink.TitleText();
    title[0] = '\0';
    CMmcifContent content(sink, source, title);
    // Why the read ended early; empty when the first data block was read to its end.
    std::string complaint;
    try {
        try {
            complaint = ParseCif(source, path, content);
        } catch (const FirstBlockDone&) {
        }
        if (complaint.empty() && !source.Failed()) content.EndOfBlock();
    } catch (const ReadStop& stop) {
        switch (stop.kind) {
            case ReadStop::kAborted: return 0;
            case ReadStop::kTooManyFrames: reader::ReportTooManyFrames(sink); return 0;
            case ReadStop::kRefused: return Refuse(sink, path, stop.text);
            case ReadStop::kCutShort: complaint = stop.text; break;
        }
    }
    // A damaged compressed file looks cut short to the grammar: zlib's words say what happened.
    if (source.Failed()) complaint = std::string(path) + ": " + source.Error();

    CModelFrames& frames = content.Frames();
    if (!complaint.empty()) {
        // What is complete stays, as for a file cut short; the model being read goes.
        frames.DropModel();
        if (frames.CompleteModels() == 0) return Refuse(sink, path, complaint);
        sink.SetPercentLoaded(100);
        sink.ShowLoadStatus(0, false, nullptr);
        sink.ShowMessage(reader::Format(kCutShort, frames.CompleteModels(), path, complaint.c_str()));
        return 1;
    }
    if (frames.CompleteModels() == 0) return Refuse(sink, path, kNoAtoms);
    sink.SetPercentLoaded(100);
    return 1;
}

}  // namespace zelvor
