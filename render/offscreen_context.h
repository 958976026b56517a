#pragma once
/// An OpenGL 1.x compatibility context without any display: EGL on Mesa's surfaceless platform drawing into
/// a framebuffer object. Used by zelvor-tool render, the rendering tests and the benchmarks.
#include <cstdint>
#include <string>
#include <vector>

namespace zelvor {

class COffscreenGLContext {
public:
    /// Creates the context and an RGBA8 + DEPTH24 framebuffer of this size, and makes it current.
    COffscreenGLContext(int width, int height);
    ~COffscreenGLContext();
    COffscreenGLContext(const COffscreenGLContext&) = delete;
    COffscreenGLContext& operator=(const COffscreenGLContext&) = delete;

    /// False when no context could be made; Error() says why.
    bool IsValid() const;
    const std::string& Error() const;
    /// Makes this context (and its framebuffer) current on the calling thread.
    bool MakeCurrent();
    int Width() const;
    int Height() const;
    /// The framebuffer as RGBA bytes, top row first.
    std::vector<std::uint8_t> ReadPixels() const;
    /// Writes the framebuffer's colours as an RGB PNG file; false with Error() set on failure.
    bool WritePng(const std::string& path);

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace zelvor
