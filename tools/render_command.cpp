#include "tools/render_command.h"

#include <cstdio>
#include <cstdlib>

#include "model/dravik_doc.h"
#include "render/dravik_gl_view.h"
#include "render/offscreen_context.h"
#include "tools/document_loader.h"

namespace zelvor {

namespace {

/// A whole decimal number within [low, high].
bool ParseInt(const std::string& text, int low, int high, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

bool ParseSize(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find('x');
    // Large enough for posters, small enough that the framebuffer stays within memory.
    return x != std::string::npos && ParseInt(text.substr(0, x), 1, 8192, width) &&
           ParseInt(text.substr(x + 1), 1, 8192, height);
}

}  // namespace

bool ParseRenderArguments(const std::vector<std::string>& args, RenderOptions& options, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](const char* what) -> const std::string* {
            if (i + 1 == args.size()) {
                error = a + " needs " + what;
                return nullptr;
            }
            return &args[++i];
        };
        if (a == "-o" || a == "--output") {
            const std::string* v = value("a path");
            if (!v) return false;
            options.output = *v;
        } else if (a == "--size") {
            const std::string* v = value("WxH");
            if (!v) return false;
            if (!ParseSize(*v, options.width, options.height)) {
                error = "--size wants WxH with 1 to 8192 pixels each, not '" + *v + "'";
                return false;
            }
        } else if (a == "--frame") {
            const std::string* v = value("a number");
            if (!v) return false;
            if (!ParseInt(*v, 0, MAX_FRAMES - 1, options.frame)) {
                error = "--frame wants a frame number, not '" + *v + "'";
                return false;
            }
        } else if (a == "--quality") {
            const std::string* v = value("a number");
            int q = 0;
            if (!v) return false;
            if (!ParseInt(*v, -1000000, 1000000, q)) {
                error = "--quality wants a number, not '" + *v + "'";
                return false;
            }
            options.quality = q;
        } else if (a == "--elements") {
            const std::string* v = value("a path");
            if (!v) return false;
            options.elementsPath = *v;
        } else if (a == "--bonds") {
            options.bonds = true;
        } else if (a == "--surface") {
            options.surface = true;
        } else if (a == "--no-surface") {
            options.surface = false;
        } else if (a == "--cell") {
            options.cell = true;
        } else if (a == "--no-axes") {
            options.axes = false;
        } else if (a == "--no-text") {
            options.text = false;
        } else if (!TakeFileArgument(a, options.file, error)) {
            return false;
        }
    }
    if (options.file.empty()) {
        error = "no FILE given";
        return false;
    }
    if (options.output.empty()) {
        error = "no output given (-o OUT.png)";
        return false;
    }
    return true;
}

int RunRenderCommand(const RenderOptions& options) {
    const LoadRequest request{options.file, options.elementsPath, false};
    DocTemplate docTemplate = TEMPLATE_NONE;
    if (const int status = CheckLoadRequest(request, docTemplate); status != 0) return status;

    COffscreenGLContext context(options.width, options.height);
    if (!context.IsValid()) {
        std::fprintf(stderr, "zelvor-tool: no off-screen OpenGL context: %s\n", context.Error().c_str());
        return 1;
    }
    int status = 0;
    {
        CDravikDoc doc;
        // Bonds are established with the view's record, attached when the view takes the document.
        const std::vector<std::string> messages = LoadDocument(doc, request, docTemplate, false);
        for (const std::string& m : messages) std::fprintf(stderr, "zelvor-tool: %s\n", m.c_str());
        if (doc.GetLoadResult() != 1 || doc.GetFrameCount() < 1) {
            std::fprintf(stderr, "zelvor-tool: %s: nothing to draw\n", options.file.c_str());
            doc.AdviseGracefullExit();
            return 1;
        }
        if (options.frame >= doc.GetFrameCount()) {
            std::fprintf(stderr, "zelvor-tool: %s has %d frames; --frame %d does not exist\n", options.file.c_str(),
                         doc.GetFrameCount(), options.frame);
            doc.AdviseGracefullExit();
            return 1;
        }
        doc.SetFrameNr(options.frame);

        CDravikGLView view(&doc, true);
        view.OnInitialUpdate();
        C3DViewSettings& s = *view.Get3DViewSettings();
        view.PrepareScene();
        s.showBonds = options.bonds ? 1 : 0;
        if (options.surface) s.showSurface = *options.surface ? 1 : 0;
        s.showCellBox = options.cell ? 1 : 0;
        if (options.quality) view.SetRenderQuality(*options.quality);
        s.showAxes = options.axes ? 1 : 0;
        s.showInfoText = options.text ? 1 : 0;
        s.sceneChanged = 1;
        view.OnSize(options.width, options.height);
        view.Paint();
        if (s.showSurface == 1 && view.IsSurfaceRunning()) {
            view.WaitForSurfaceWorker();
            view.Paint();
        }
        if (!context.WritePng(options.output)) {
            std::fprintf(stderr, "zelvor-tool: %s\n", context.Error().c_str());
            status = 1;
        }
        view.OnDestroy();
        doc.AdviseGracefullExit();
    }
    return status;
}

}  // namespace zelvor
