#pragma once
/// The CIF grammar run over a byte source as a stream of events (blocks, tag-value pairs, loops and their
/// values), so that a reader keeps only what it needs and memory does not grow with the file.
#include <cstddef>
#include <string>
#include <string_view>

namespace zelvor {

class CByteSource;

/// A value as the file means it: quotes and text-field delimiters removed; null for the unquoted "?"
/// (unknown) and "." (not applicable). Valid only during the call that hands it over.
struct CifValue {
    std::string_view text;
    bool null = false;
    std::size_t line = 0;  ///< line of the file where the value starts
};

/// What the parser reports, in file order. A handler may throw to end the parse; the exception reaches the
/// caller of ParseCif.
class CCifHandler {
public:
    virtual ~CCifHandler() = default;
    /// A data block (data_NAME or global_) begins.
    virtual void BlockStarts() = 0;
    /// A save frame begins (true) or ends (false).
    virtual void SaveFrame(bool inside) = 0;
    virtual void PairTag(std::string_view tag) = 0;
    virtual void PairValue(const CifValue& value) = 0;
    virtual void LoopStarts() = 0;
    virtual void LoopTag(std::string_view tag) = 0;
    virtual void LoopValue(const CifValue& value) = 0;
    /// The loop is over; false when its last row is incomplete (the file is damaged or cut).
    virtual bool LoopEnds() = 0;
};

/// Longest token (a value, or the blanks and comments between two values) the parser holds: a longer one
/// fails the parse instead of growing memory with the file.
inline constexpr std::size_t kCifMaxToken = 1 << 20;

/// Parses the source to its end (name: the file's name for messages). Returns an empty string when the
/// input is CIF, else the complaint with its position ("name:line:column: what").
std::string ParseCif(CByteSource& source, const char* name, CCifHandler& handler);

}  // namespace zelvor
