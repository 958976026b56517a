#include "view_test_scene.h"

#include "model/elements.h"
#include "support/test_support.h"

namespace zelvor::test {

ViewScene::ViewScene(const std::string& xyz, int size) : context_(size, size), size_(size) {
    if (!context_.IsValid()) return;
    static CElements elements(BinDir() + "/Elements.dat");
    SetMainWindowTarget(&sink_);
    const std::string path = WriteFile(dir_, "scene.xyz", xyz);
    doc_.SetDocTemplate(TEMPLATE_XYZ);
    doc_.OnOpenDocument(path.c_str());
    doc_.WaitForLoader();
    if (sink_.Count(MSG_FIRST_FRAME_READ) > 0) doc_.FirstFrameWasRead();
    view_ = std::make_unique<CDravikGLView>(&doc_, true);
    view_->OnInitialUpdate();
    view_->OnSize(size, size);
    C3DViewSettings& s = *view_->Get3DViewSettings();
    s.showAxes = 0;
    s.showInfoText = 0;
    s.showSurface = 0;
    s.renderQuality = 8;
    ok_ = doc_.GetFrameCount() > 0;
}

ViewScene::~ViewScene() {
    context_.MakeCurrent();
    view_.reset();
    SetMainWindowTarget(nullptr);
}

void ViewScene::Paint() {
    Settings().sceneChanged = 1;
    view_->OnSize(size_, size_);
    view_->Paint();
    pixels_ = context_.ReadPixels();
}

Rgba ViewScene::Pixel(int x, int y) const {
    const std::size_t at = (static_cast<std::size_t>(y) * size_ + x) * 4;
    if (at + 3 >= pixels_.size()) return {-1, -1, -1, -1};
    return {pixels_[at], pixels_[at + 1], pixels_[at + 2], pixels_[at + 3]};
}

}  // namespace zelvor::test
