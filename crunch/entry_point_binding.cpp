// Binding the functions the module list names to the library just loaded.
#include <ostream>

#include "app/gui_stream.h"
#include "crunch/number_crunch_modules.h"
#include "platform/text_compare.h"

namespace zelvor {

namespace {

template <class Function>
Function Bind(DynamicLibrary& library, const std::string& name) {
    return reinterpret_cast<Function>(library.OwnSymbol(name));
}

void ReportMissingFunction(const std::string& function, const std::string& file, const char* ending) {
    MessageStream() << "Failed loading the function \"" << function << "\" from the module \"" << file << ending
                    << std::endl;
}

constexpr const char* INPUT_ABSENT = "\".\nThe input UI for this function will therefore be absent.";
constexpr const char* TREE_ITEM_ABSENT = "\".\nThe treeview item for this function will therefore be absent.";
constexpr const char* GRAPH_ABSENT = "\".\nThe graph for this function will therefore be absent.";

void BindSetter(DynamicLibrary& library, ConfigData& config) {
    if (EqualsIgnoringCase(config.unitType, "real"))
        config.realSetter = Bind<RealSetterFn>(library, config.function);
    else if (EqualsIgnoringCase(config.unitType, "integer") || EqualsIgnoringCase(config.unitType, "dropdownlist"))
        config.integerSetter = Bind<IntegerSetterFn>(library, config.function);
    else if (EqualsIgnoringCase(config.unitType, "string"))
        config.stringSetter = Bind<StringSetterFn>(library, config.function);
}

void BindTreeItem(DynamicLibrary& library, TreeData& item, const std::string& file) {
    if (!item.getFunction.empty()) item.variableGetter = Bind<ModuleFunction>(library, item.getFunction);
    if (!item.setFunction.empty()) {
        item.variableSetter = Bind<ModuleFunction>(library, item.setFunction);
        if (!item.variableSetter) ReportMissingFunction(item.setFunction, file, TREE_ITEM_ABSENT);
    }
    if (!item.resultFunction.empty()) {
        ModuleFunction* target = nullptr;
        if (item.resultUnitType == "integer")
            target = &item.integerResult;
        else if (item.resultUnitType == "real")
            target = &item.realResult;
        else if (item.resultUnitType == "string")
            target = &item.stringResult;
        if (target) *target = Bind<ModuleFunction>(library, item.resultFunction);
        if (!item.integerResult && !item.realResult && !item.stringResult)
            ReportMissingFunction(item.resultFunction, file, TREE_ITEM_ABSENT);
    }
}

}  // namespace

bool CNumberCrunchModules::AssignEntryPoints(std::map<std::string, CalcData>& calcs, const std::string& fileName) {
    DynamicLibrary& library = *libraries.at(fileName);
    CalcData& calc = calcs[fileName];

    // The three required entry points are taken together or not at all: a library that cannot run keeps
    // no half of its binding.
    const auto begin = Bind<BeginCalculationFn>(library, calc.beginCalculationFunctionName);
    const auto setCallBacks = Bind<SetCallBackFuncAddressesFn>(library, calc.setCallBacksFunctionName);
    const auto getAddresses = Bind<GetAddressesOfCalculationDataFn>(library, calc.getAddressesFunctionName);
    const std::string* missing = !begin          ? &calc.beginCalculationFunctionName
                                 : !setCallBacks ? &calc.setCallBacksFunctionName
                                 : !getAddresses ? &calc.getAddressesFunctionName
                                                 : nullptr;
    if (missing) {
        MessageStream() << "Failed loading the " << *missing << " function from the\nlibrary \"" << fileName
                        << "\". This library will be ignored." << std::endl;
        return false;
    }
    calc.beginCalculation = begin;
    calc.setCallBackFuncAddresses = setCallBacks;
    calc.getAddressesOfCalculationData = getAddresses;

    for (auto& [pageName, page] : calc.pages) {
        for (auto& [propertyName, config] : page) {
            BindSetter(library, config);
            if (!config.HasSetter()) ReportMissingFunction(config.function, fileName, INPUT_ABSENT);
        }
    }

    for (auto& [name, item] : calc.treeItems) BindTreeItem(library, item, fileName);

    std::int32_t nextCommand = FIRST_GRAPH_COMMAND;
    for (auto& [name, graph] : calc.graphs) {
        graph.graphFunction = Bind<ModuleFunction>(library, graph.function);
        if (!graph.graphFunction) {
            ReportMissingFunction(graph.function, fileName, GRAPH_ABSENT);
            continue;
        }
        graph.commandNumber = nextCommand++;
        if (graph.pointClickFunctionName.empty()) continue;
        graph.pointClickFunction = Bind<ModuleFunction>(library, graph.pointClickFunctionName);
        if (!graph.pointClickFunction) ReportMissingFunction(graph.pointClickFunctionName, fileName, "");
    }
    return true;
}

}  // namespace zelvor
