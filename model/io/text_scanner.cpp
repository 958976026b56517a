#include "model/io/text_scanner.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace zelvor {

namespace scan {

namespace {

/// Rough decimal exponent of the number whose digits start at p: negative means the value is below 1.
long DecimalMagnitude(const char* p, const char* end) {
    long integerDigits = 0, leadingFractionZeros = 0;
    bool seenNonZero = false;
    while (p < end && IsDigit(*p)) {
        if (*p != '0' || seenNonZero) {
            seenNonZero = true;
            ++integerDigits;
        }
        ++p;
    }
    if (p < end && *p == '.') {
        ++p;
        while (!seenNonZero && p < end && *p == '0') {
            ++leadingFractionZeros;
            ++p;
        }
        while (p < end && IsDigit(*p)) ++p;
    }
    long exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negative = false;
        if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
        while (p < end && IsDigit(*p)) {
            if (exponent < 1000000) exponent = exponent * 10 + (*p - '0');
            ++p;
        }
        if (negative) exponent = -exponent;
    }
    return (integerDigits > 0 ? integerDigits - 1 : -(leadingFractionZeros + 1)) + exponent;
}

}  // namespace

bool ParseNumberGeneral(const char* digits, const char* end, bool negative, bool allowNonFinite, double& value,
                        const char*& next) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    // Fast path: at most 19 digits and a power of ten up to 22 convert exactly with one multiplication or
    // division (both operands exact, so the result is correctly rounded).
    const char* s = digits;
    std::uint64_t mantissa = 0;
    while (s < end && IsDigit(*s)) mantissa = mantissa * 10 + static_cast<unsigned>(*s++ - '0');
    std::ptrdiff_t digitCount = s - digits;
    long exponent = 0;
    if (s < end && *s == '.') {
        const char* fraction = ++s;
        while (s < end && IsDigit(*s)) mantissa = mantissa * 10 + static_cast<unsigned>(*s++ - '0');
        digitCount += s - fraction;
        exponent = -(s - fraction);
    }
    if (s < end && (*s == 'e' || *s == 'E')) {
        const char* e = s + 1;
        bool expNegative = false;
        if (e < end && (*e == '+' || *e == '-')) expNegative = *e++ == '-';
        if (e >= end || !IsDigit(*e)) return false;  // "1e" is no number for a stream either
        long expValue = 0;
        while (e < end && IsDigit(*e)) {
            if (expValue < 100000) expValue = expValue * 10 + (*e - '0');
            ++e;
        }
        exponent += expNegative ? -expValue : expValue;
        s = e;
    }
    if (digitCount > 0 && digitCount <= 19 && mantissa < (1ULL << 53) && exponent >= -22 && exponent <= 22) {
        double v = static_cast<double>(mantissa);
        v = exponent < 0 ? v / kPow10[-exponent] : v * kPow10[exponent];
        value = negative ? -v : v;
        next = s;
        return true;
    }

    // The general conversion (long mantissas, large exponents, nan, inf).
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(digits, end, v, std::chars_format::general);
    if (ptr == digits) return false;
    if (ec == std::errc::result_out_of_range) {
        // Underflow reads as zero (as strtod gives); overflow is no number, as for a stream.
        if (DecimalMagnitude(digits, ptr) >= 0) return false;
        v = 0.0;
    } else if (ec != std::errc()) {
        return false;
    }
    if (!allowNonFinite && !std::isfinite(v)) return false;
    value = negative ? -v : v;
    next = ptr;
    return true;
}

}  // namespace scan

CTextScanner::CTextScanner() = default;

CTextScanner::~CTextScanner() { Close(); }

void CTextScanner::Close() {
    source_.Close();
    data_ = pos_ = end_ = nullptr;
    bufferOffset_ = size_ = 0;
    inputEnded_ = true;
}

bool CTextScanner::OpenFile(const char* path) {
    Close();
    memory_ = {};
    if (!source_.Open(path)) return false;
    size_ = source_.FileSize();
    // A small file gets a small buffer: a megabyte per read is wasted on it (and costs a fresh mapping each
    // time under the address sanitizer, which made fuzzing the readers crawl). A compressed file may
    // expand to any size.
    const std::size_t capacity =
        source_.Compressed() ? kBufferSize : std::clamp<std::uint64_t>(size_ + 1, kMinBufferSize, kBufferSize);
    if (!buffer_ || capacity_ != capacity) {
        buffer_ = std::make_unique_for_overwrite<char[]>(capacity);
        capacity_ = capacity;
    }
    return Rewind();
}

void CTextScanner::OpenMemory(std::string_view text) {
    Close();
    memory_ = text;
    size_ = text.size();
    Rewind();
}

bool CTextScanner::Rewind() {
    bad_ = false;
    bufferOffset_ = 0;
    if (source_.IsOpen()) {
        if (!source_.Rewind()) {
            bad_ = true;
            return false;
        }
        data_ = pos_ = end_ = buffer_.get();
        inputEnded_ = false;
    } else {
        data_ = pos_ = memory_.data();
        end_ = memory_.data() + memory_.size();
        inputEnded_ = true;
    }
    SkipByteOrderMark();
    return true;
}

void CTextScanner::SkipByteOrderMark() {
    Fill(3);
    if (end_ - pos_ >= 3 && std::memcmp(pos_, "\xEF\xBB\xBF", 3) == 0) pos_ += 3;
}

void CTextScanner::Fill(std::ptrdiff_t want) {
    if (inputEnded_ || end_ - pos_ >= want) return;
    char* buffer = buffer_.get();
    const std::ptrdiff_t kept = end_ - pos_;
    if (pos_ != buffer) {
        bufferOffset_ += static_cast<std::uint64_t>(pos_ - data_);
        std::memmove(buffer, pos_, static_cast<std::size_t>(kept));
        data_ = pos_ = buffer;
        end_ = buffer + kept;
    }
    while (end_ - pos_ < want && !inputEnded_) {
        const std::size_t room = capacity_ - static_cast<std::size_t>(end_ - buffer);
        if (room == 0) break;
        const std::size_t n = source_.Read(const_cast<char*>(end_), room);
        end_ += n;
        if (n == 0) {
            inputEnded_ = true;
            bad_ = source_.Failed();
        }
    }
}

bool CTextScanner::FillMore() {
    const std::ptrdiff_t held = end_ - pos_;
    Fill(held + 1);
    return end_ - pos_ > held;
}

bool CTextScanner::ReadLineSlow(std::string_view& line) {
    constexpr std::ptrdiff_t kLook = MAX_LINE_CHARS + 2;  // the kept characters and "\r\n"
    if (end_ - pos_ < kTokenWindow) Fill(kTokenWindow);
    if (pos_ >= end_) return false;
    const std::ptrdiff_t held = end_ - pos_;
    const char* start = pos_;
    const auto* newline =
        static_cast<const char*>(std::memchr(start, '\n', static_cast<std::size_t>(std::min(held, kLook))));
    std::size_t length;
    if (newline) {
        length = static_cast<std::size_t>(newline - start);
        pos_ = newline + 1;
    } else if (held < kLook) {
        // Last line of the input, without a line end.
        length = static_cast<std::size_t>(held);
        pos_ = end_;
    } else {
        // A long line: keep its head, skip the rest however long it is.
        std::memcpy(longLine_, start, MAX_LINE_CHARS);
        start = longLine_;
        length = MAX_LINE_CHARS;
        pos_ += MAX_LINE_CHARS;
        for (;;) {
            const auto* lineEnd =
                static_cast<const char*>(std::memchr(pos_, '\n', static_cast<std::size_t>(end_ - pos_)));
            if (lineEnd) {
                pos_ = lineEnd + 1;
                break;
            }
            pos_ = end_;
            if (!FillMore()) break;
        }
    }
    length = std::min(length, MAX_LINE_CHARS);
    while (length > 0 && start[length - 1] == '\r') --length;
    line = std::string_view(start, length);
    return true;
}

bool CTextScanner::ReadWord(std::string_view& word) {
    SkipWhitespace();
    if (end_ - pos_ < kTokenWindow) Fill(kTokenWindow);
    const char* start = pos_;
    const char* limit = std::min(end_, pos_ + MAX_LINE_CHARS);
    while (pos_ < limit && !scan::IsSpace(*pos_)) ++pos_;
    if (pos_ == start) return false;
    if (pos_ < limit || pos_ == end_) {
        word = std::string_view(start, static_cast<std::size_t>(pos_ - start));
        return true;
    }
    // A word longer than the kept characters: keep its head, consume the rest.
    std::memcpy(longLine_, start, MAX_LINE_CHARS);
    word = std::string_view(longLine_, MAX_LINE_CHARS);
    for (;;) {
        while (pos_ < end_ && !scan::IsSpace(*pos_)) ++pos_;
        if (pos_ < end_ || !FillMore()) break;
    }
    return true;
}

}  // namespace zelvor
