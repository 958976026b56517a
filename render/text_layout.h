#pragma once
/// How a text is cut into drawn lines: at newlines and every 80 characters, lines 10 pixels apart.
#include <cstddef>
#include <vector>

namespace zelvor {

/// One line of a text: its characters (not zero-terminated) and its distance below the first line in pixels.
struct TextPiece {
    const char* text = nullptr;
    std::size_t length = 0;
    float dy = 0.0f;
};

inline constexpr std::size_t kTextLineWidth = 80;
inline constexpr float kTextLineHeight = 10.0f;

/// Splits at the first newline when it is not the first character (the newline itself is dropped);
/// otherwise takes the rest up to 80 characters. A text that starts with a newline is therefore drawn as one
/// piece (its newlines included) up to the wrap. Empty pieces are left out; a null text gives none.
std::vector<TextPiece> SplitTextLines(const char* text);

}  // namespace zelvor
