#include "render/font_source.h"

#include <fontconfig/fontconfig.h>

namespace zelvor {

std::optional<FontMatch> MatchFontFamily(const std::string& family) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return std::nullopt;
    std::optional<FontMatch> result;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
    if (pattern) {
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult status = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config, pattern, &status);
        if (match) {
            FcChar8* file = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
                FontMatch found;
                found.file = reinterpret_cast<const char*>(file);
                int index = 0;
                if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) found.index = index;
                FcChar8* matched = nullptr;
                if (FcPatternGetString(match, FC_FAMILY, 0, &matched) == FcResultMatch && matched)
                    found.family = reinterpret_cast<const char*>(matched);
                result = std::move(found);
            }
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    return result;
}

CFreeTypeFace::~CFreeTypeFace() { Close(); }

void CFreeTypeFace::Close() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
    face_ = nullptr;
    library_ = nullptr;
}

bool CFreeTypeFace::Open(const std::string& file, int index) {
    Close();
    if (FT_Init_FreeType(&library_) != 0) {
        library_ = nullptr;
        return false;
    }
    if (FT_New_Face(library_, file.c_str(), index, &face_) != 0) {
        face_ = nullptr;
        Close();
        return false;
    }
    return true;
}

bool CFreeTypeFace::OpenFamily(const std::string& family) {
    const auto match = MatchFontFamily(family);
    return match && Open(match->file, match->index);
}

unsigned AnsiToUnicode(unsigned char code) {
    // 0x80-0x9F of Windows-1252; 0 marks the five codes the page leaves undefined.
    static const unsigned short kHighControls[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
        0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (code >= 0x80 && code <= 0x9F) {
        const unsigned mapped = kHighControls[code - 0x80];
        return mapped ? mapped : code;
    }
    return code;
}

}  // namespace zelvor
