// Reading the module list into the registry: the Calculation elements are selected by namespace, everything
// below them by literal element name.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <charconv>
#include <limits>
#include <memory>
#include <mutex>

#include "app/xml_handles.h"
#include "crunch/module_list_parser.h"

namespace zelvor {

namespace {

/// The element's name as written, prefix included: "bk:Page" is not "Page".
std::string LiteralName(const xmlNode* node) {
    std::string name = reinterpret_cast<const char*>(node->name);
    if (node->ns != nullptr && node->ns->prefix != nullptr)
        name = std::string(reinterpret_cast<const char*>(node->ns->prefix)) + ":" + name;
    return name;
}

bool Is(const xmlNode* node, const char* name) { return LiteralName(node) == name; }

/// An attribute without namespace; absent reads as "".
std::string Attribute(const xmlNode* node, const char* name) {
    return xml::TakeString(xmlGetNoNsProp(node, xml::Text(name)));
}

/// The whole text content of an element.
std::string Text(const xmlNode* node) { return xml::TakeString(xmlNodeGetContent(node)); }

/// Calls visit for each child element, in document order; text, comments and other nodes are skipped.
template <class Visit>
void ForEachChildElement(const xmlNode* node, Visit&& visit) {
    for (const xmlNode* child = node->children; child != nullptr; child = child->next)
        if (child->type == XML_ELEMENT_NODE) visit(child);
}

bool IsBlankText(const xmlNode* node) {
    if (node->type != XML_TEXT_NODE) return false;
    for (const xmlChar* c = node->content; c && *c; ++c)
        if (*c != ' ' && *c != '\t' && *c != '\n' && *c != '\r') return false;
    return true;
}

/// The first child node, whitespace between elements not counting as a node.
const xmlNode* FirstChildNode(const xmlNode* node) {
    const xmlNode* child = node->children;
    while (child != nullptr && IsBlankText(child)) child = child->next;
    return child;
}

const char* SkipBlanks(const std::string& text) {
    const char* c = text.c_str();
    while (*c == ' ' || *c == '\t' || *c == '\n' || *c == '\r') ++c;
    if (*c == '+') ++c;
    return c;
}

/// Decimal floating-point text as a number; text that does not start with one gives 0.
double ToDouble(const std::string& text) {
    const char* begin = SkipBlanks(text);
    double value = 0.0;
    const auto [end, error] = std::from_chars(begin, text.c_str() + text.size(), value);
    return error == std::errc() ? value : 0.0;
}

/// Decimal integer text as a number, held within the 32-bit range; text that does not start with one gives 0.
std::int32_t ToInt(const std::string& text) {
    const char* begin = SkipBlanks(text);
    long long value = 0;
    const auto [end, error] = std::from_chars(begin, text.c_str() + text.size(), value);
    if (error == std::errc::result_out_of_range)
        return *begin == '-' ? std::numeric_limits<std::int32_t>::min() : std::numeric_limits<std::int32_t>::max();
    if (error != std::errc()) return 0;
    if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

void ReadProperty(const xmlNode* property, ConfigData& config) {
    config.function = Attribute(property, "Function");
    config.unitType = Attribute(property, "Unittype");
    config.minimum = Attribute(property, "Min");
    config.maximum = Attribute(property, "Max");
    std::int32_t item = 0;
    ForEachChildElement(property, [&](const xmlNode* child) {
        if (Is(child, "Prompt")) {
            std::string prompt = Text(child);
            if (prompt.empty()) return;
            config.prompt = std::move(prompt);
            config.textboxSize = Attribute(child, "TextboxSize");
        } else if (Is(child, "Item")) {
            config.items[item++] = Text(child);
        }
    });
}

void ReadGraph(const xmlNode* element, GraphData& graph) {
    graph.function = Attribute(element, "Function");
    graph.notification = Attribute(element, "Notification");
    const xmlNode* first = FirstChildNode(element);
    if (first != nullptr && first->type == XML_ELEMENT_NODE && Is(first, "PointClick"))
        graph.pointClickFunctionName = Attribute(first, "Function");
}

void ReadTreeView(const xmlNode* treeView, CalcData& calc) {
    ForEachChildElement(treeView, [&](const xmlNode* child) {
        if (Is(child, "Result")) {
            TreeData& item = calc.treeItems[Attribute(child, "Name")];
            item.resultFunction = Attribute(child, "Function");
            item.resultUnitType = Attribute(child, "Unittype");
        } else if (Is(child, "Variable")) {
            const std::string name = Attribute(child, "Name");
            TreeData& item = calc.treeItems[name];
            item.getFunction = Attribute(child, "GetFunction");
            item.setFunction = Attribute(child, "SetFunction");
            item.slider.minimum = ToDouble(Attribute(child, "Min"));
            item.slider.maximum = ToDouble(Attribute(child, "Max"));
            item.slider.smallChange = ToDouble(Attribute(child, "MinStep"));
            item.slider.largeChange = ToDouble(Attribute(child, "MaxStep"));
            item.slider.precision = ToInt(Attribute(child, "Precision"));
            item.slider.description = name + " = ";
        }
    });
}

void ReadConfiguration(const xmlNode* configuration, CalcData& calc) {
    ForEachChildElement(configuration, [&](const xmlNode* child) {
        if (Is(child, "Page")) {
            PageData& page = calc.pages[Attribute(child, "Name")];
            ForEachChildElement(child, [&](const xmlNode* property) {
                if (Is(property, "Property")) ReadProperty(property, page[Attribute(property, "Name")]);
            });
        } else if (Is(child, "ExpectingStdInput")) {
            calc.stdInputFile = Attribute(child, "File");
            calc.exitCommand = Attribute(child, "ExitCommand");
            calc.expectsStdInput = true;
        } else if (Is(child, "Graph")) {
            ReadGraph(child, calc.graphs[Attribute(child, "Name")]);
        } else if (Is(child, "TreeView")) {
            ReadTreeView(child, calc);
        } else if (Is(child, "BeginCalculationFunction")) {
            calc.beginCalculationFunctionName = Attribute(child, "Name");
        } else if (Is(child, "SetCallBackFuncAddressesFunction")) {
            calc.setCallBacksFunctionName = Attribute(child, "Name");
        } else if (Is(child, "GetAddressesOfCalculationDataFunction")) {
            calc.getAddressesFunctionName = Attribute(child, "Name");
        }
    });
}

}  // namespace

int ParseModuleList(const std::string& path, std::map<std::string, std::string>& menuToFile,
                    std::map<std::string, std::string>& fileToMenu, std::map<std::string, CalcData>& calculations) {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });

    // The list comes from outside: no network access, no entity substitution, no DTD loading.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    std::unique_ptr<xmlDoc, xml::DocDeleter> doc(xmlReadFile(path.c_str(), nullptr, options));
    if (!doc || xmlDocGetRootElement(doc.get()) == nullptr || xml::DeclaresEntities(doc.get())) return 0;
    std::unique_ptr<xmlXPathContext, xml::ContextDeleter> context(xmlXPathNewContext(doc.get()));
    if (!context || xmlXPathRegisterNs(context.get(), xml::Text("bk"), xml::Text("urn:Cobrant")) != 0) return 0;
    context->node = xmlDocGetRootElement(doc.get());
    std::unique_ptr<xmlXPathObject, xml::ObjectDeleter> found(
        xmlXPathEvalExpression(xml::Text("//bk:Calculation"), context.get()));
    if (!found) return 0;
    if (found->nodesetval == nullptr) return 1;

    for (int i = 0; i < found->nodesetval->nodeNr; ++i) {
        const xmlNode* calculation = found->nodesetval->nodeTab[i];
        const std::string menuName = Attribute(calculation, "MenuName");
        if (menuName.empty()) continue;
        std::string fileName;
        ForEachChildElement(calculation, [&](const xmlNode* child) {
            if (Is(child, "FileName")) {
                std::string text = Text(child);
                if (text.empty()) return;
                fileName = std::move(text);
                menuToFile[menuName] = fileName;
                fileToMenu[fileName] = menuName;
                CalcData& calc = calculations[fileName];
                calc.fileName = fileName;
                calc.menuName = menuName;
            } else if (Is(child, "Configuration")) {
                ReadConfiguration(child, calculations[fileName]);
            }
        });
    }
    return 1;
}

}  // namespace zelvor
