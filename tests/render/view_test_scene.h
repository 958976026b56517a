#pragma once
/// A small off-screen scene for the view tests: a context, the element table, a document loaded from XYZ
/// text and a view with transient settings.
#include <QTemporaryDir>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "model/dravik_doc.h"
#include "platform/app_message.h"
#include "render/dravik_gl_view.h"
#include "render/offscreen_context.h"

namespace zelvor::test {

using Rgba = std::array<int, 4>;

class ViewScene {
public:
    /// Loads the XYZ text and sets the view up for a size x size client; axes, text and surfaces off.
    explicit ViewScene(const std::string& xyz, int size = 64);
    ~ViewScene();

    bool Ok() const { return ok_; }
    CDravikGLView& View() { return *view_; }
    C3DViewSettings& Settings() { return *view_->Get3DViewSettings(); }
    CDravikDoc& Doc() { return doc_; }
    /// Marks the scene changed, paints and reads the picture back.
    void Paint();
    /// Pixel of the last paint, y from the top.
    Rgba Pixel(int x, int y) const;
    int Size() const { return size_; }

private:
    QTemporaryDir dir_;
    COffscreenGLContext context_;
    HeadlessMessageSink sink_;
    CDravikDoc doc_;
    std::unique_ptr<CDravikGLView> view_;
    std::vector<std::uint8_t> pixels_;
    int size_;
    bool ok_ = false;
};

}  // namespace zelvor::test
