#pragma once
/// CTextScanner: the bounded, buffered line and number reader shared by the coordinate file readers.
#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "model/io/byte_source.h"

namespace zelvor {

/// The state flags of a read, as the reading check of the document judges them.
struct StreamState {
    bool fail = false;  ///< the last read did not deliver what was asked for
    bool bad = false;   ///< the input itself could not be read (I/O error)
    bool eof = false;   ///< the input ended during the read
};

/// Characters of one line the readers look at; the rest of a longer line is skipped.
inline constexpr std::size_t MAX_LINE_CHARS = 499;

namespace scan {

/// White space of the classic "C" locale (space, \t, \n, \v, \f, \r).
inline bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

inline void SkipSpaces(const char*& p, const char* end) {
    while (p < end && IsSpace(*p)) ++p;
}

/// A whitespace-delimited word starting at p (after skipping white space); false when none is left.
inline bool ParseWord(const char*& p, const char* end, std::string_view& word) {
    SkipSpaces(p, end);
    const char* start = p;
    while (p < end && !IsSpace(*p)) ++p;
    word = std::string_view(start, static_cast<std::size_t>(p - start));
    return p != start;
}

/// An integer as "stream >> int" reads it: optional sign, at least one digit, stopping at the first
/// other character. Values beyond the 64-bit range fail.
inline bool ParseInteger(const char*& p, const char* end, long long& value) {
    const char* s = p;
    SkipSpaces(s, end);
    bool negative = false;
    if (s < end && (*s == '+' || *s == '-')) negative = *s++ == '-';
    const char* digits = s;
    unsigned long long v = 0;
    while (s < end && IsDigit(*s)) {
        const unsigned d = static_cast<unsigned>(*s - '0');
        if (v > (9223372036854775808ULL - d) / 10) return false;  // beyond |LLONG_MIN|
        v = v * 10 + d;
        ++s;
    }
    if (s == digits) return false;
    if (!negative && v > 9223372036854775807ULL) return false;
    value = negative ? static_cast<long long>(0 - v) : static_cast<long long>(v);
    p = s;
    return true;
}

/// ParseNumber for everything beyond plain "digits.digits": exponents, long mantissas, nan and inf.
bool ParseNumberGeneral(const char* digits, const char* end, bool negative, bool allowNonFinite, double& value,
                        const char*& next);

/// A decimal number as "stream >> double" reads it in the classic locale: optional sign, digits with an
/// optional point, an optional exponent; stops at the first other character. Overflow fails; nan and inf
/// are accepted only when allowNonFinite is set (voxel values), never for coordinates.
[[gnu::always_inline]] inline bool ParseNumber(const char*& p, const char* end, double& value,
                                               bool allowNonFinite = false) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                        1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
    const char* s = p;
    SkipSpaces(s, end);
    const bool negative = s < end && *s == '-';
    if (s < end && (*s == '-' || *s == '+')) ++s;
    const char* digits = s;
    // Inline fast path for coordinates as they are written ("-12.34567"): up to 19 digits convert exactly
    // with one division by an exact power of ten, so the result is correctly rounded.
    std::uint64_t mantissa = 0;
    while (s < end && IsDigit(*s)) mantissa = mantissa * 10 + static_cast<unsigned>(*s++ - '0');
    std::ptrdiff_t digitCount = s - digits;
    std::ptrdiff_t fractionDigits = 0;
    if (s < end && *s == '.') {
        const char* fraction = ++s;
        while (s < end && IsDigit(*s)) mantissa = mantissa * 10 + static_cast<unsigned>(*s++ - '0');
        fractionDigits = s - fraction;
        digitCount += fractionDigits;
    }
    if (digitCount == 0 || digitCount > 19 || mantissa >= (1ULL << 53) || (s < end && (*s | 0x20) == 'e'))
        return ParseNumberGeneral(digits, end, negative, allowNonFinite, value, p);
    double v = static_cast<double>(mantissa);
    if (fractionDigits) v /= kPow10[fractionDigits];
    value = negative ? -v : v;
    p = s;
    return true;
}

}  // namespace scan

/// Reads a file (or a text in memory) through one bounded buffer: lines are cut at MAX_LINE_CHARS
/// characters, tokens never need more than a few hundred bytes, so memory stays fixed whatever the
/// input holds. A UTF-8 byte order mark at the start is skipped; "\r\n" reads like "\n".
class CTextScanner {
public:
    CTextScanner();
    ~CTextScanner();
    CTextScanner(const CTextScanner&) = delete;
    CTextScanner& operator=(const CTextScanner&) = delete;

    /// Opens a regular file for reading, inflating a gzip-compressed one; false when it cannot be opened (or
    /// is a folder).
    bool OpenFile(const char* path);
    /// Reads the given text, which must outlive the scanner.
    void OpenMemory(std::string_view text);
    /// Starts again from the beginning of the input.
    bool Rewind();

    /// Size of the input in bytes as found when it was opened (of the file on disk when it is compressed).
    std::uint64_t Size() const { return size_; }
    /// Bytes of Size() consumed so far, the read's progress (compressed bytes inflated so far for a
    /// compressed file).
    std::uint64_t Position() const {
        return source_.Compressed() ? source_.FilePosition()
                                    : bufferOffset_ + static_cast<std::uint64_t>(pos_ - data_);
    }
    /// Most bytes of text not yet consumed: what is left for a plain input, a bound for a compressed one.
    std::uint64_t Remaining() const {
        if (source_.Compressed()) return static_cast<std::uint64_t>(end_ - pos_) + source_.MaxBytesLeft();
        return size_ > Position() ? size_ - Position() : 0;
    }
    /// The input ended early: an I/O error, or a damaged or truncated compressed file.
    bool Bad() const { return bad_; }

    /// True when no byte is left.
    bool AtEnd() {
        if (pos_ < end_) return false;
        Fill(1);
        return pos_ >= end_;
    }
    /// Skips white space, line ends included.
    void SkipWhitespace() {
        for (;;) {
            scan::SkipSpaces(pos_, end_);
            if (pos_ < end_ || !FillMore()) return;
        }
    }
    /// Reads the rest of the current line and moves to the start of the next one. The view holds at most
    /// MAX_LINE_CHARS characters without the line end and stays valid until the next call on the scanner.
    /// False when no byte was left.
    bool ReadLine(std::string_view& line) {
        constexpr std::ptrdiff_t kLook = MAX_LINE_CHARS + 2;  // the kept characters and "\r\n"
        if (end_ - pos_ >= kLook) {
            const char* start = pos_;
            if (const auto* newline = static_cast<const char*>(std::memchr(start, '\n', kLook))) {
                std::size_t length = std::min(static_cast<std::size_t>(newline - start), MAX_LINE_CHARS);
                pos_ = newline + 1;
                while (length > 0 && start[length - 1] == '\r') --length;
                line = std::string_view(start, length);
                return true;
            }
        }
        return ReadLineSlow(line);
    }
    /// Skips white space, then reads a whitespace-delimited word (at most MAX_LINE_CHARS characters are
    /// kept; a longer word is consumed whole). The view is valid until the next call.
    bool ReadWord(std::string_view& word);
    /// Skips white space, then reads an integer ("stream >> int" rules, 64-bit range).
    bool ReadInteger(long long& value) {
        SkipWhitespace();
        if (end_ - pos_ < kTokenWindow) Fill(kTokenWindow);
        return scan::ParseInteger(pos_, end_, value);
    }
    /// Skips white space, then reads a decimal number (see scan::ParseNumber).
    bool ReadNumber(double& value, bool allowNonFinite = false) {
        SkipWhitespace();
        if (end_ - pos_ < kTokenWindow) Fill(kTokenWindow);
        return scan::ParseNumber(pos_, end_, value, allowNonFinite);
    }

private:
    /// Bytes kept available ahead of a token so that no token is split by a refill.
    static constexpr std::ptrdiff_t kTokenWindow = 512;
    static constexpr std::size_t kBufferSize = 1 << 20;
    /// Smallest buffer: far more than a token window or a kept line needs.
    static constexpr std::size_t kMinBufferSize = 64 << 10;

    /// Makes at least want bytes available after pos_ unless the input ends first.
    void Fill(std::ptrdiff_t want);
    /// ReadLine near the end of the bytes held, at the end of the input, or for long lines.
    bool ReadLineSlow(std::string_view& line);
    /// Reads more input after the bytes held; false when nothing more came.
    bool FillMore();
    void SkipByteOrderMark();
    void Close();

    CByteSource source_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;  ///< bytes of buffer_
    const char* data_ = nullptr;  ///< start of the bytes held (buffer_ or the text in memory)
    const char* pos_ = nullptr;
    const char* end_ = nullptr;
    std::uint64_t bufferOffset_ = 0;  ///< input offset of data_
    std::uint64_t size_ = 0;
    bool inputEnded_ = true;
    bool bad_ = false;
    std::string_view memory_;
    char longLine_[MAX_LINE_CHARS + 1] = {};
};

}  // namespace zelvor
