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

DocTemplate TemplateForPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return TEMPLATE_NONE;
    const std::string_view ext = std::string_view(path).substr(dot);
    for (const DocTemplateInfo& info : kTemplates)
        if (info.id != TEMPLATE_NONE && ListHasExtension(info.extensions, ext)) return info.id;
    return TEMPLATE_NONE;
}

}  // namespace zelvor
