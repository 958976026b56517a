#pragma once
/// Loading a file into a document without windows, as the program does, for the tool's commands.
#include <string>
#include <vector>

#include "model/doc_template.h"

namespace zelvor {

class CDravikDoc;

struct LoadRequest {
    std::string file;          ///< ignored with demo
    std::string elementsPath;  ///< empty: Elements.dat beside the executable, then the working directory
    bool demo = false;         ///< the built-in molecule
};

/// Takes an argument that is no known option of the command: the FILE the first time, an error for an
/// unknown option or a second FILE.
bool TakeFileArgument(const std::string& arg, std::string& file, std::string& error);

/// Checks that the file and the element table exist and that the file type is known; on failure prints
/// the reason and returns the exit status (0 when loading can start).
int CheckLoadRequest(const LoadRequest& request, DocTemplate& docTemplate);

/// Reads the element table, loads the file into doc with the given template and waits for the loader.
/// With bonds the frames get bonded as for a view that shows bonds. Returns the messages shown.
std::vector<std::string> LoadDocument(CDravikDoc& doc, const LoadRequest& request, DocTemplate docTemplate,
                                      bool bonds);

}  // namespace zelvor
