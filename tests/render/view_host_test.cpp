// What a view asks of the window that shows it, recorded by a fake host; no context is current.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/elements.h"
#include "platform/app_message.h"
#include "render/dravik_gl_view.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

struct RecordingHost : CViewHost {
    void RequestRepaint() override { calls.push_back("repaint"); }
    bool MakeContextCurrent() override {
        calls.push_back("context");
        return false;
    }
    void SetFrameWindowText(const std::string& text) override { calls.push_back("caption " + text); }
    bool IsAnimating() const override { return true; }
    std::optional<GovernorLimits> GovernorLimitsNow() const override { return GovernorLimits{5, 40, 1}; }
    void UpdatePollingFrequency() override { calls.push_back("polling"); }
    void ApplyPredefinedAnimation(int animation) override {
        calls.push_back("predefined " + std::to_string(animation));
    }
    void RefreshAnimationDialog() override { calls.push_back("animation dialog"); }
    void RefreshCameraPage() override { calls.push_back("camera page"); }

    /// The calls since the last Take.
    std::vector<std::string> Take() { return std::exchange(calls, {}); }
    std::vector<std::string> calls;
};

TEST(ViewHost, ReceivesTheViewsHooksAndGovernorQuestions) {
    static CElements elements(test::BinDir() + "/Elements.dat");
    QTemporaryDir dir;
    CDravikDoc doc;
    doc.SetDocTemplate(TEMPLATE_XYZ);
    doc.OnOpenDocument(test::WriteFile(dir, "pair.xyz", "2\npair\nC 0 0 0\nO 1.2 0 0\n").c_str());
    doc.WaitForLoader();
    HeadlessMessageSink sink;
    RecordingHost host;
    CDravikGLView view(&doc, true);
    view.SetHost(&host);
    view.SetMessageTarget(&sink);
    view.Get3DViewSettings()->optimiseTessellation = 1;
    view.Get3DViewSettings()->showSurface = 0;
    const std::string caption = "caption Zelvor, Molecular Screensaver";

    view.OnInitialUpdate();
    const std::string predefined = "predefined " + std::to_string(view.Get3DViewSettings()->predefinedAnimation);
    EXPECT_EQ(host.Take(), (std::vector<std::string>{predefined, "repaint", caption, "polling", caption}));
    view.OnSize(64, 64);
    EXPECT_EQ(host.Take(), (std::vector<std::string>{"context"})) << "no context was current";
    view.OnUpdate(HINT_FILE_LOADED);
    EXPECT_EQ(host.Take(), (std::vector<std::string>{caption, "animation dialog", "context", "repaint"}));
    view.OnRButtonDown(10, 10);
    view.OnRButtonUp(10, 10);
    EXPECT_EQ(host.Take(), (std::vector<std::string>{"context", "repaint", "camera page"}));

    // The paint asks whether the host animates and which limits apply: one pass, then the governor ends.
    view.Paint();
    EXPECT_EQ(host.Take(), (std::vector<std::string>{"context"}));
    view.Governor().Join();
    std::vector<int> kinds;
    for (const AppMessage& m : sink.Messages())
        if (m.code == MSG_TESSELLATION) kinds.push_back(static_cast<int>(m.wParam));
    EXPECT_EQ(kinds, (std::vector<int>{2, 2, -1}));
    view.SetHost(nullptr);
}

}  // namespace
}  // namespace zelvor
