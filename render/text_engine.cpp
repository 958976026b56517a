#include "render/text_engine.h"

#include "render/font_source.h"
#include "render/text_layout.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

namespace zelvor {
namespace {

constexpr int kGlyphCount = 256;
constexpr int kBitmapPixelHeight = 10;
const char* const kTypeface = "Arial";

// FreeType rows run top-down with padded pitch; glBitmap wants bottom-up rows, byte-aligned.
std::vector<GLubyte> BottomUpBitmap(const FT_Bitmap& bitmap) {
    const unsigned rows = bitmap.rows, width = bitmap.width;
    const unsigned rowBytes = (width + 7) / 8;
    std::vector<GLubyte> packed(static_cast<std::size_t>(rowBytes) * rows, 0);
    if (!bitmap.buffer || rows == 0) return packed;
    const long pitch = bitmap.pitch;
    const unsigned char* top = pitch >= 0 ? bitmap.buffer : bitmap.buffer + (rows - 1) * static_cast<std::size_t>(-pitch);
    for (unsigned r = 0; r < rows; ++r) {
        const unsigned char* source = top + static_cast<long>(r) * pitch;
        GLubyte* target = &packed[static_cast<std::size_t>(rows - 1 - r) * rowBytes];
        if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
            for (unsigned b = 0; b < rowBytes; ++b) target[b] = source[b];
        } else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            for (unsigned x = 0; x < width; ++x)
                if (source[x] >= 128) target[x / 8] |= static_cast<GLubyte>(0x80u >> (x % 8));
        }
    }
    return packed;
}

// One glBitmap list per character code; a code the face cannot render becomes an empty list.
void CompileBitmapGlyphLists(GLuint base, FT_Face face) {
    const bool sized = FT_Set_Pixel_Sizes(face, 0, kBitmapPixelHeight) == 0;
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    for (int code = 0; code < kGlyphCount; ++code) {
        glNewList(base + code, GL_COMPILE);
        if (sized &&
            FT_Load_Char(face, AnsiToUnicode(static_cast<unsigned char>(code)),
                         FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
            const FT_GlyphSlot slot = face->glyph;
            const std::vector<GLubyte> data = BottomUpBitmap(slot->bitmap);
            const auto rows = static_cast<GLsizei>(slot->bitmap.rows);
            glBitmap(static_cast<GLsizei>(slot->bitmap.width), rows, static_cast<GLfloat>(-slot->bitmap_left),
                     static_cast<GLfloat>(rows - slot->bitmap_top), std::round(slot->advance.x / 64.0f), 0.0f,
                     data.empty() ? nullptr : data.data());
        }
        glEndList();
    }
    glPopClientAttrib();
}

}  // namespace

// The lists die with their context; the engine may outlive it, so it issues no GL call here.
CTextEngine::~CTextEngine() = default;

void CTextEngine::initialize(int width, int height, bool haveContext) {
    if (width == width_ && height == height_) return;
    if (haveContext_) killFont();
    haveContext_ = haveContext;
    width_ = width;
    height_ = height;
    if (haveContext_) buildFont();
}

void CTextEngine::buildFont() {
    killFont();
    const GLuint base = glGenLists(kGlyphCount);
    if (base == 0) return;  // no current context
    CFreeTypeFace face;
    if (!face.OpenFamily(kTypeface)) {
        glDeleteLists(base, kGlyphCount);
        return;
    }
    CompileBitmapGlyphLists(base, face.Face());
    firstList_ = base;
}

void CTextEngine::killFont() {
    if (firstList_ != 0) glDeleteLists(firstList_, kGlyphCount);
    firstList_ = 0;
}

void CTextEngine::ortho() {
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width_, height_, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void CTextEngine::perspective() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
}

void CTextEngine::Write2Dtxt(float x, float y, const char* text) {
    // Without lists, list base 0 would call whatever lists other code owns under names 0..255.
    if (firstList_ == 0) return;
    for (const TextPiece& piece : SplitTextLines(text)) {
        glPushAttrib(GL_LIST_BIT);
        glListBase(firstList_);
        glRasterPos2f(x, y + piece.dy);
        glCallLists(static_cast<GLsizei>(piece.length), GL_UNSIGNED_BYTE, piece.text);
        glPopAttrib();
    }
}

}  // namespace zelvor
