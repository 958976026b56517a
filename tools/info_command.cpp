#include "tools/info_command.h"

#include <cstdio>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>

#include "model/dravik_doc.h"
#include "render/view_settings.h"
#include "tools/document_loader.h"

namespace zelvor {

using Json = nlohmann::ordered_json;

bool ParseInfoArguments(const std::vector<std::string>& args, InfoOptions& options, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--all-frames") {
            options.allFrames = true;
        } else if (a == "--no-bonds") {
            options.bonds = false;
        } else if (a == "--demo") {
            options.demo = true;
        } else if (a == "--elements") {
            if (i + 1 == args.size()) {
                error = "--elements needs a path";
                return false;
            }
            options.elementsPath = args[++i];
        } else if (!TakeFileArgument(a, options.file, error)) {
            return false;
        }
    }
    if (options.file.empty() != options.demo) {
        error = options.demo ? "--demo takes no FILE" : "no FILE given";
        return false;
    }
    return true;
}

namespace {

Json VectorJson(const Vector& v) { return Json::array({v.x, v.y, v.z}); }

/// Bonded pairs, each counted once, that the drawing code would show with the given length limit.
int CountDrawnBonds(const Frame& frame, double maxBondLength) {
    int pairs = 0;
    // A pair normally appears from both ends; count it from the lower atom, or from the higher one when the
    // lower atom's list was full and does not hold it.
    ForEachDrawnBond(frame, maxBondLength, [&](int a, int b) {
        if (b > a || !frame.bonds.Has(b, a)) ++pairs;
    });
    return pairs;
}

/// settings: the drawing settings whose bond length limit counts the bonds (null: no bond count).
Json FrameJson(const CDravikDoc& doc, int f, const C3DViewSettings* settings) {
    const Frame& frame = doc.GetFrame(f);
    Json j;
    j["index"] = f;
    j["atoms"] = frame.atomCount;
    j["comment"] = frame.comment ? frame.comment : "";
    j["cell"] = Json::array({VectorJson(frame.cellA), VectorJson(frame.cellB), VectorJson(frame.cellC)});
    j["cell_given"] = frame.cellGiven;
    j["max_cell_width"] = frame.maxCellWidth;
    std::map<std::string, int> elements;
    for (int i = 1; i <= frame.atomCount; ++i) {
        const AtomData* e = frame.atoms[i].element;
        ++elements[e ? e->symbol : "?"];
    }
    j["elements"] = elements;
    if (settings) j["bonds"] = CountDrawnBonds(frame, settings->maxBondLength);
    if (!frame.voxels.Empty()) {
        j["grid"] = Json::array({frame.voxels.nx, frame.voxels.ny, frame.voxels.nz});
        j["voxel_min"] = frame.voxels.min;
        j["voxel_max"] = frame.voxels.max;
        j["voxel_shell_min"] = frame.voxels.shellMin;
        j["voxel_shell_max"] = frame.voxels.shellMax;
    }
    return j;
}

}  // namespace

int RunInfoCommand(const InfoOptions& options) {
    const LoadRequest request{options.file, options.elementsPath, options.demo};
    DocTemplate docTemplate = TEMPLATE_NONE;
    if (const int status = CheckLoadRequest(request, docTemplate); status != 0) return status;

    const C3DViewSettings settings{C3DViewSettings::Transient{}};
    CDravikDoc doc;
    const std::vector<std::string> messages = LoadDocument(doc, request, docTemplate, options.bonds);

    const int frameCount = doc.GetFrameCount();
    Json out;
    out["file"] = options.demo ? "" : options.file;
    out["format"] = GetTemplateInfo(docTemplate).formatName;
    out["compressed"] = !options.demo && IsCompressedPath(options.file);
    out["load_result"] = doc.GetLoadResult();
    out["frame_count"] = frameCount;
    out["messages"] = messages;
    Json frames = Json::array();
    const C3DViewSettings* bondSettings = options.bonds ? &settings : nullptr;
    if (options.allFrames) {
        for (int f = 0; f < frameCount; ++f) frames.push_back(FrameJson(doc, f, bondSettings));
    } else if (frameCount > 0) {
        frames.push_back(FrameJson(doc, 0, bondSettings));
        if (frameCount > 1) frames.push_back(FrameJson(doc, frameCount - 1, bondSettings));
    }
    out["frames"] = std::move(frames);
    // Comments of broken files may hold invalid UTF-8: replace it rather than fail.
    std::cout << out.dump(2, ' ', false, Json::error_handler_t::replace) << std::endl;

    const int result = doc.GetLoadResult();
    doc.AdviseGracefullExit();
    return result == 1 ? 0 : 1;
}

}  // namespace zelvor
