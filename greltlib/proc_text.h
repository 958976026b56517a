#pragma once
/// Reading numbers out of /proc text in place, as a crashed process may: no allocation, no locale, no errno.
#include <cstdint>

namespace zelvor::grelt {

/// Reads a hexadecimal number at p, moving p past it; false when there is none.
inline bool ParseHex(const char*& p, const char* end, std::uint64_t& value) {
    value = 0;
    const char* begin = p;
    for (; p < end; ++p) {
        const char c = *p;
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else break;
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    return p != begin;
}

/// Reads a decimal number at p, moving p past it; false when there is none.
inline bool ParseDecimal(const char*& p, const char* end, std::uint64_t& value) {
    value = 0;
    const char* begin = p;
    while (p < end && *p >= '0' && *p <= '9') value = value * 10 + static_cast<std::uint64_t>(*p++ - '0');
    return p != begin;
}

/// Moves p past blanks and tabs.
inline void SkipSpaces(const char*& p, const char* end) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
}

}  // namespace zelvor::grelt
