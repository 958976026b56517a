#pragma once
/// The three document types: which reader a document runs is decided by the template that opened it.
#include <string>

namespace zelvor {

enum DocTemplate : long { TEMPLATE_NONE = 0, TEMPLATE_XYZ = 1, TEMPLATE_PDB = 2, TEMPLATE_CUBE = 3 };

struct DocTemplateInfo {
    DocTemplate id;
    const char* filterName;  ///< e.g. "XYZ Files (*.xyz)"
    const char* extensions;  ///< e.g. ".pdb;.ent"
    const char* formatName;  ///< short name: "xyz", "pdb", "cube"
};

const DocTemplateInfo& GetTemplateInfo(DocTemplate id);
/// The template whose extensions contain the path's extension (case-insensitive); TEMPLATE_NONE if none.
DocTemplate TemplateForPath(const std::string& path);

}  // namespace zelvor
