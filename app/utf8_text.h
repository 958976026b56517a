#pragma once
/// Cutting UTF-8 text to a byte limit without splitting a character.
#include <cstddef>
#include <string>

namespace zelvor {

/// Shortens text to at most maxBytes bytes, ending on a character boundary.
inline void CutUtf8(std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return;
    std::size_t end = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the character that doesn't fit.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
}

}  // namespace zelvor
