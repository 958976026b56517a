#include "render/offscreen_context.h"

#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <png.h>

#include <cstdio>
#include <cstring>

namespace zelvor {

struct COffscreenGLContext::Impl {
    int width = 0, height = 0;
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint framebuffer = 0, colour = 0, depth = 0;
    std::string error;

    // glvnd exports the framebuffer entry points, but only a driver that supports them makes them work;
    // the EGL lookup tells the two apart.
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;

    bool Create();
    bool CreateFramebuffer();
    void Destroy();
};

namespace {

bool HasExtension(const char* list, const char* name) {
    if (list == nullptr) return false;
    const std::size_t n = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
        const bool startOk = p == list || p[-1] == ' ';
        const bool endOk = p[n] == '\0' || p[n] == ' ';
        if (startOk && endOk) return true;
    }
    return false;
}

template <typename T>
bool Resolve(T& fn, const char* name) {
    fn = reinterpret_cast<T>(eglGetProcAddress(name));
    return fn != nullptr;
}

/// Encodes the rows; libpng reports errors by longjmp, so this frame holds nothing that needs unwinding.
bool WritePngRows(png_structp png, png_infop info, std::FILE* file, int width, int height, png_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool COffscreenGLContext::Impl::Create() {
    if (width <= 0 || height <= 0) {
        error = "invalid framebuffer size";
        return false;
    }
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        error = "EGL has no surfaceless platform";
        return false;
    }
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr) {
        error = "eglGetPlatformDisplayEXT is missing";
        return false;
    }
    display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        display = EGL_NO_DISPLAY;
        error = "cannot initialise the surfaceless EGL display";
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = "EGL cannot bind desktop OpenGL";
        return false;
    }
    EGLConfig config = nullptr;
    if (!HasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_no_config_context")) {
        const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
        EGLint found = 0;
        if (!eglChooseConfig(display, configAttributes, &config, 1, &found) || found < 1) {
            error = "no EGL configuration renders desktop OpenGL";
            return false;
        }
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
        error = "cannot create a compatibility OpenGL context";
        return false;
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        error = "cannot make the OpenGL context current";
        return false;
    }
    return CreateFramebuffer();
}

bool COffscreenGLContext::Impl::CreateFramebuffer() {
    if (!Resolve(genFramebuffers, "glGenFramebuffers") || !Resolve(bindFramebuffer, "glBindFramebuffer") ||
        !Resolve(deleteFramebuffers, "glDeleteFramebuffers") || !Resolve(genRenderbuffers, "glGenRenderbuffers") ||
        !Resolve(bindRenderbuffer, "glBindRenderbuffer") ||
        !Resolve(deleteRenderbuffers, "glDeleteRenderbuffers") ||
        !Resolve(renderbufferStorage, "glRenderbufferStorage") ||
        !Resolve(framebufferRenderbuffer, "glFramebufferRenderbuffer") ||
        !Resolve(checkFramebufferStatus, "glCheckFramebufferStatus")) {
        error = "the OpenGL driver has no framebuffer objects";
        return false;
    }
    genRenderbuffers(1, &colour);
    bindRenderbuffer(GL_RENDERBUFFER, colour);
    renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    genRenderbuffers(1, &depth);
    bindRenderbuffer(GL_RENDERBUFFER, depth);
    renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    genFramebuffers(1, &framebuffer);
    bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    framebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
    if (checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        error = "the framebuffer object is incomplete";
        return false;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glViewport(0, 0, width, height);
    return true;
}

void COffscreenGLContext::Impl::Destroy() {
    if (display == EGL_NO_DISPLAY) return;
    if (context != EGL_NO_CONTEXT &&
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        if (framebuffer != 0) deleteFramebuffers(1, &framebuffer);
        if (colour != 0) deleteRenderbuffers(1, &colour);
        if (depth != 0) deleteRenderbuffers(1, &depth);
    }
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    // The display is shared by every context of the process (EGL hands out one per platform and device),
    // so it stays initialised; eglTerminate here would pull it from under the other contexts.
    context = EGL_NO_CONTEXT;
    display = EGL_NO_DISPLAY;
}

COffscreenGLContext::COffscreenGLContext(int width, int height) : impl_(new Impl) {
    impl_->width = width;
    impl_->height = height;
    if (!impl_->Create()) {
        const std::string why = impl_->error;
        impl_->Destroy();
        impl_->error = why;
    }
}

COffscreenGLContext::~COffscreenGLContext() {
    impl_->Destroy();
    delete impl_;
}

bool COffscreenGLContext::IsValid() const { return impl_->framebuffer != 0 && impl_->error.empty(); }

const std::string& COffscreenGLContext::Error() const { return impl_->error; }

bool COffscreenGLContext::MakeCurrent() {
    if (!IsValid()) return false;
    if (!eglMakeCurrent(impl_->display, EGL_NO_SURFACE, EGL_NO_SURFACE, impl_->context)) return false;
    impl_->bindFramebuffer(GL_FRAMEBUFFER, impl_->framebuffer);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    return true;
}

int COffscreenGLContext::Width() const { return impl_->width; }

int COffscreenGLContext::Height() const { return impl_->height; }

std::vector<std::uint8_t> COffscreenGLContext::ReadPixels() const {
    if (!IsValid()) return {};
    const std::size_t rowBytes = static_cast<std::size_t>(impl_->width) * 4;
    std::vector<std::uint8_t> bottomUp(rowBytes * static_cast<std::size_t>(impl_->height));
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, impl_->width, impl_->height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<std::uint8_t> topDown(bottomUp.size());
    for (int y = 0; y < impl_->height; ++y)
        std::memcpy(&topDown[static_cast<std::size_t>(y) * rowBytes],
                    &bottomUp[static_cast<std::size_t>(impl_->height - 1 - y) * rowBytes], rowBytes);
    return topDown;
}

bool COffscreenGLContext::WritePng(const std::string& path) {
    if (!IsValid()) return false;
    std::vector<std::uint8_t> pixels = ReadPixels();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        impl_->error = "cannot write " + path;
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(file);
        impl_->error = "cannot start the PNG encoder";
        return false;
    }
    // The window shows the colour whatever the alpha the drawing left behind, and so does the file.
    const std::size_t width = static_cast<std::size_t>(impl_->width);
    std::vector<std::uint8_t> rgb(width * static_cast<std::size_t>(impl_->height) * 3);
    for (std::size_t p = 0; p < rgb.size() / 3; ++p)
        for (int c = 0; c < 3; ++c) rgb[p * 3 + c] = pixels[p * 4 + c];
    std::vector<png_bytep> rows(static_cast<std::size_t>(impl_->height));
    for (int y = 0; y < impl_->height; ++y) rows[static_cast<std::size_t>(y)] = &rgb[static_cast<std::size_t>(y) * width * 3];
    bool ok = WritePngRows(png, info, file, impl_->width, impl_->height, rows.data());
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) ok = false;
    if (!ok) impl_->error = "cannot write " + path;
    return ok;
}

}  // namespace zelvor
