#pragma once
/// The document types: which reader a document runs is decided by the template that opened it.
#include <string>
#include <string_view>

namespace zelvor {

enum DocTemplate : long {
    TEMPLATE_NONE = 0,
    TEMPLATE_XYZ = 1,
    TEMPLATE_PDB = 2,
    TEMPLATE_CUBE = 3,
    TEMPLATE_MMCIF = 4,
};

struct DocTemplateInfo {
    DocTemplate id;
    const char* filterName;  ///< e.g. "XYZ Files (*.xyz)"
    const char* extensions;  ///< e.g. ".pdb;.ent"
    const char* formatName;  ///< short name: "xyz", "pdb", "cube", "mmcif"
};

const DocTemplateInfo& GetTemplateInfo(DocTemplate id);
/// The template whose extensions contain the path's extension (case-insensitive), that of the name before
/// ".gz" for a compressed file; TEMPLATE_NONE if none.
DocTemplate TemplateForPath(const std::string& path);
/// The path ends in ".gz" (any case): the file is gzip-compressed.
bool IsCompressedPath(std::string_view path);

}  // namespace zelvor
