#include "app/update_list.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <climits>
#include <memory>
#include <mutex>

#include "app/xml_handles.h"

namespace zelvor {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::vector<std::string> ListedVersions(std::string_view listText, const std::string& programName) {
    // The parser's global state is set up once, before the first parse on any thread.
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
    if (listText.size() > static_cast<std::size_t>(INT_MAX)) return {};

    // No network access and no entity substitution: the list is data from outside.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    std::unique_ptr<xmlDoc, xml::DocDeleter> doc(
        xmlReadMemory(listText.data(), static_cast<int>(listText.size()), "Updates.xml", nullptr, options));
    if (!doc || xml::DeclaresEntities(doc.get())) return {};
    std::unique_ptr<xmlXPathContext, xml::ContextDeleter> context(xmlXPathNewContext(doc.get()));
    if (!context || xmlXPathRegisterNs(context.get(), xml::Text("bk"), xml::Text("urn:Cobrant")) != 0) return {};
    std::unique_ptr<xmlXPathObject, xml::ObjectDeleter> found(
        xmlXPathEvalExpression(xml::Text("//bk:Application"), context.get()));
    if (!found || found->nodesetval == nullptr) return {};

    std::vector<std::string> versions;
    for (int i = 0; i < found->nodesetval->nodeNr; ++i) {
        xmlNode* node = found->nodesetval->nodeTab[i];
        if (xml::TakeString(xmlGetNoNsProp(node, xml::Text("Name"))) != programName) continue;
        versions.push_back(xml::TakeString(xmlNodeGetContent(node)));
    }
    return versions;
}

std::string VersionComparisonDigits(std::string_view version) {
    const std::size_t first = version.find(',');
    const std::size_t second = first == std::string_view::npos ? first : version.find(',', first + 1);
    if (second == std::string_view::npos) return {};
    std::string digits;
    std::size_t i = second;
    // Commas are dropped; the number is the run of digits that follows (leading blanks skipped).
    while (i < version.size() && (version[i] == ',' || IsSpace(version[i]))) ++i;
    for (; i < version.size(); ++i) {
        if (version[i] == ',') continue;
        if (!IsDigit(version[i])) break;
        if (digits.empty() && version[i] == '0') continue;  // leading zeros do not count
        digits += version[i];
    }
    return digits;
}

bool IsNewerVersion(std::string_view listed, std::string_view own) {
    const std::string a = VersionComparisonDigits(listed);
    const std::string b = VersionComparisonDigits(own);
    return a.size() != b.size() ? a.size() > b.size() : a > b;
}

}  // namespace zelvor
