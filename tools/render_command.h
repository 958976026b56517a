#pragma once
/// `zelvor-tool render`: draws a file through the view into an off-screen context and writes a PNG.
#include <optional>
#include <string>
#include <vector>

namespace zelvor {

struct RenderOptions {
    std::string file;
    std::string output;
    std::string elementsPath;
    int width = 800, height = 600;
    int frame = 0;
    bool bonds = false;
    std::optional<bool> surface;  ///< unset: the view settings' default
    bool cell = false;
    std::optional<int> quality;
    bool axes = true;
    bool text = true;
};

/// Parses the arguments after "render"; returns false with a message for the user on error.
bool ParseRenderArguments(const std::vector<std::string>& args, RenderOptions& options, std::string& error);

/// Runs the command; returns the exit status (0 when the PNG was written).
int RunRenderCommand(const RenderOptions& options);

}  // namespace zelvor
