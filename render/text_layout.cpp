#include "render/text_layout.h"

#include <cstring>

namespace zelvor {

std::vector<TextPiece> SplitTextLines(const char* text) {
    std::vector<TextPiece> pieces;
    if (!text) return pieces;
    float dy = 0.0f;
    for (;;) {
        const char* newline = std::strchr(text, '\n');
        if (!newline || newline == text) {
            const std::size_t length = std::strlen(text);
            if (length <= kTextLineWidth) {
                if (length > 0) pieces.push_back({text, length, dy});
                return pieces;
            }
            pieces.push_back({text, kTextLineWidth, dy});
            text += kTextLineWidth;
        } else {
            pieces.push_back({text, static_cast<std::size_t>(newline - text), dy});
            text = newline + 1;
        }
        dy += kTextLineHeight;
    }
}

}  // namespace zelvor
