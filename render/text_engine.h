#pragma once
/// Glyph text: 10-pixel bitmap text in window coordinates (CTextEngine) and the solid outline glyphs
/// of the axis letters. Both are display lists, one per character code 0..255, from the "Arial" face.

namespace zelvor {

class CTextEngine {
public:
    ~CTextEngine();
    /// Rebuilds the bitmap lists when the client size changed; haveContext stands for the device context
    /// (false: only remember the size).
    void initialize(int width, int height, bool haveContext);
    void buildFont();
    void killFont();
    /// Window coordinates: y grows downwards from the top-left corner, in pixels; no depth test.
    void ortho();
    /// Back from ortho().
    void perspective();
    /// Text at (x, y) in the current colour; lines 10 pixels apart, hard-wrapped at 80 characters.
    void Write2Dtxt(float x, float y, const char* text);
    unsigned FirstList() const { return firstList_; }

private:
    int width_ = 0, height_ = 0;
    unsigned firstList_ = 0;
    bool haveContext_ = false;
};

/// Compiles 256 outline glyph lists (solid, extruded by 0.1, 1 unit high) and returns the first name;
/// 0 when no context is current or the font cannot be found.
unsigned CompileOutlineGlyphLists();
/// Deletes the 256 lists starting at base.
void DeleteGlyphLists(unsigned base);

}  // namespace zelvor
