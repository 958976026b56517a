#include "model/doc_template.h"

#include <string_view>

#include "platform/text_compare.h"
namespace zelvor {

namespace {

constexpr DocTemplateInfo kTemplates[] = {
    {TEMPLATE_NONE, "", "", ""},
    {TEMPLATE_XYZ, "XYZ Files (*.xyz)", ".xyz", "xyz"},
    {TEMPLATE_PDB, "PDB Files (*.pdb; *.ent)", ".pdb;.ent", "pdb"},
    {TEMPLATE_CUBE, "Gaussian Cube Files (*.cube)", ".cube", "cube"},
    {TEMPLATE_MMCIF, "mmCIF Files (*.cif; *.mmcif)", ".cif;.mmcif", "mmcif"},
};

/// True when ext (".xyz") is one of the ';'-separated entries of list.
bool ListHasExtension(std::string_view list, std::string_view ext) {
    while (!list.empty()) {
        const std::size_t end = list.find(';');
        if (EqualsIgnoringCase(list.substr(0, end), ext)) return true;
        if (end == std::string_view::npos) break;
        list.remove_prefix(end + 1);
    }
    return false;
}

}  // namespace

const DocTemplateInfo& GetTemplateInfo(DocTemplate id) {
    for (const DocTemplateInfo& info : kTemplates)
        if (info.id == id) return info;
    return kTemplates[0];
}

bool IsCompressedPath(std::string_view path) {
    return path.size() > 3 && EqualsIgnoringCase(path.substr(path.size() - 3), ".gz");
}

DocTemplate TemplateForPath(const std::string& path) {
    // A compressed file is read as the file inside it: "1lcd.cif.gz" is an mmCIF file.
    std::string_view name = path;
    if (IsCompressedPath(name)) name.remove_suffix(3);
    const std::size_t slash = name.find_last_of('/');
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return TEMPLATE_NONE;
    const std::string_view ext = name.substr(dot);
    for (const DocTemplateInfo& info : kTemplates)
        if (info.id != TEMPLATE_NONE && ListHasExtension(info.extensions, ext)) return info.id;
    return TEMPLATE_NONE;
}

}  // namespace zelvor
