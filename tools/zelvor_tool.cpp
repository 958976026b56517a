// zelvor-tool: the headless companion of the screensaver.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/info_command.h"
#include "tools/render_command.h"

namespace {

const char* const USAGE =
    "usage: zelvor-tool info FILE [--elements PATH] [--all-frames] [--no-bonds]\n"
    "       zelvor-tool info --demo [--elements PATH] [--no-bonds]\n"
    "       zelvor-tool render FILE -o OUT.png [--size WxH] [--frame N] [--bonds] [--surface|--no-surface]\n"
    "                   [--cell] [--quality Q] [--no-axes] [--no-text] [--elements PATH]\n"
    "       zelvor-tool --help | --version\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    // Asked with any command: the answer is the same.
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(USAGE, stdout);
            return 0;
        }
        if (a == "--version") {
            std::printf("zelvor-tool %s\n", ZELVOR_VERSION);
            return 0;
        }
    }
    if (args[0] == "info") {
        zelvor::InfoOptions options;
        std::string error;
        if (!zelvor::ParseInfoArguments({args.begin() + 1, args.end()}, options, error)) {
            std::fprintf(stderr, "zelvor-tool: %s\n%s", error.c_str(), USAGE);
            return 2;
        }
        return zelvor::RunInfoCommand(options);
    }
    if (args[0] == "render") {
        zelvor::RenderOptions options;
        std::string error;
        if (!zelvor::ParseRenderArguments({args.begin() + 1, args.end()}, options, error)) {
            std::fprintf(stderr, "zelvor-tool: %s\n%s", error.c_str(), USAGE);
            return 2;
        }
        return zelvor::RunRenderCommand(options);
    }
    std::fprintf(stderr, "zelvor-tool: unknown command '%s'\n%s", args[0].c_str(), USAGE);
    return 2;
}
