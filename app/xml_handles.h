#pragma once
/// Owning handles and small conversions for libxml2 documents, XPath contexts and results, shared by the
/// readers of the program's XML files (the update list, the module list).
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <string>

namespace zelvor::xml {

inline const xmlChar* Text(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

struct DocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct ContextDeleter {
    void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};
struct ObjectDeleter {
    void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};

/// True when the document declares entities of its own. Their references stay in the tree and are expanded
/// at every use when text is read, so a few kilobytes referenced thousands of times make gigabytes of text:
/// the program's lists never need them, and a list that declares any is refused.
inline bool DeclaresEntities(const xmlDoc* doc) {
    const xmlDtd* dtd = doc->intSubset;
    return dtd != nullptr && (dtd->entities != nullptr || dtd->pentities != nullptr);
}

/// A string libxml2 allocated, released with xmlFree.
inline std::string TakeString(xmlChar* text) {
    if (text == nullptr) return {};
    std::string result(reinterpret_cast<const char*>(text));
    xmlFree(text);
    return result;
}

}  // namespace zelvor::xml
