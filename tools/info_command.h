#pragma once
/// `zelvor-tool info`: loads a file through the document exactly as the program does and describes it as JSON.
#include <string>
#include <vector>

namespace zelvor {

struct InfoOptions {
    std::string file;          ///< empty with demo: the built-in molecule
    std::string elementsPath;  ///< empty: Elements.dat beside the executable, then the working directory
    bool allFrames = false;
    bool bonds = true;
    bool demo = false;
};

/// Parses the arguments after "info"; returns false with a message for the user on error.
bool ParseInfoArguments(const std::vector<std::string>& args, InfoOptions& options, std::string& error);

/// Runs the command, writes the JSON object to standard output; returns the exit status (0 when loaded).
int RunInfoCommand(const InfoOptions& options);

}  // namespace zelvor
