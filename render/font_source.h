#pragma once
/// Font lookup by family name through fontconfig, and an owned FreeType face opened from the result.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <optional>
#include <string>

namespace zelvor {

/// The file fontconfig picks for a family name (the closest installed match, not necessarily that family).
struct FontMatch {
    std::string file;
    int index = 0;       ///< face index inside the file
    std::string family;  ///< the family actually matched
};

/// Best installed match for a family name; empty when fontconfig has no usable font file at all.
std::optional<FontMatch> MatchFontFamily(const std::string& family);

/// A FreeType library with one face; both released together.
class CFreeTypeFace {
public:
    CFreeTypeFace() = default;
    ~CFreeTypeFace();
    CFreeTypeFace(const CFreeTypeFace&) = delete;
    CFreeTypeFace& operator=(const CFreeTypeFace&) = delete;

    /// Opens the face of the file; false (and no face) when FreeType cannot read it.
    bool Open(const std::string& file, int index = 0);
    /// Opens the best match for a family name.
    bool OpenFamily(const std::string& family);
    /// Null until a face is open.
    FT_Face Face() const { return face_; }

private:
    void Close();
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
};

/// Unicode code point of a single-byte character code on the Western ANSI page (Windows-1252):
/// Latin-1 except 0x80-0x9F; codes that page leaves undefined map to themselves.
unsigned AnsiToUnicode(unsigned char code);

}  // namespace zelvor
