#pragma once
/// The records the module list fills, one calculation at a time, and the entry points bound from its library.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "crunch/module_interface.h"
#include "scrivel/meta_data.h"

namespace zelvor {

/// One input of a settings page, bound to the module function that receives the entered value.
struct ConfigData {
    std::string function;
    /// "real", "integer", "dropdownlist" or "string", compared without regard to case.
    std::string unitType;
    std::string prompt;
    /// For a "string" input: "paragraph" (several lines) or "word" (one line).
    std::string textboxSize;
    /// Bounds of a numeric input as written in the list.
    std::string minimum = "0.0";
    std::string maximum = "10.0";
    std::string reservedText;
    /// The current entry as text.
    std::string value;
    IntegerSetterFn integerSetter = nullptr;
    RealSetterFn realSetter = nullptr;
    StringSetterFn stringSetter = nullptr;
    /// Choices of a "dropdownlist", numbered from 0 in file order.
    std::map<std::int32_t, std::string> items;
    /// The input control while the settings sheet shows this property.
    void* control = nullptr;

    /// True when one of the three setters is bound (the property gets an input).
    bool HasSetter() const { return integerSetter || realSetter || stringSetter; }
};

/// One settings page: property name -> property, so properties are offered in name order.
using PageData = std::map<std::string, ConfigData>;

/// One result or variable item of the tree view.
struct TreeData {
    std::string setFunction;
    std::string getFunction;
    std::string resultFunction;
    std::string resultUnitType;
    ModuleFunction integerResult = nullptr;
    ModuleFunction realResult = nullptr;
    ModuleFunction variableGetter = nullptr;
    ModuleFunction stringResult = nullptr;
    /// The variable's slider.
    MetaData slider;
    ModuleFunction variableSetter = nullptr;
};

/// One graph of a calculation.
struct GraphData {
    ModuleFunction graphFunction = nullptr;
    ModuleFunction pointClickFunction = nullptr;
    std::string notification;
    std::string function;
    std::string pointClickFunctionName;
    /// Assigned when the graph function is bound, counting from FIRST_GRAPH_COMMAND within one library.
    std::int32_t commandNumber = 0;
    std::vector<double> xValues;
    std::vector<double> yValues;
};

/// Everything known about one calculation; a plain value (copying copies every field and map).
struct CalcData {
    static constexpr std::size_t EVENT_NAME_SIZE = 100;

    std::string fileName;
    std::string menuName;
    /// File fed to the module's standard input at start; stdInputText is fed when it is empty.
    std::string stdInputFile;
    std::string stdInputText;
    /// Text written to the module's standard input to ask it to quit.
    std::string exitCommand;
    std::string getAddressesFunctionName = "GetAddressesOfCalculationData";
    std::string setCallBacksFunctionName = "SetCallBackFuncAddresses";
    std::string beginCalculationFunctionName = "BeginCalculation";
    /// The standard-input text control while a settings sheet for this calculation is open.
    void* stdInputControl = nullptr;
    /// The module reads standard input and reports readiness through the start-up event.
    bool expectsStdInput = true;
    BeginCalculationFn beginCalculation = nullptr;
    SetCallBackFuncAddressesFn setCallBackFuncAddresses = nullptr;
    GetAddressesOfCalculationDataFn getAddressesOfCalculationData = nullptr;
    /// 1 while the user has paused the calculation.
    std::int32_t pauseRequested = 0;
    /// 1 when the calculation must end or has ended.
    std::int32_t stopRequested = 0;
    char resumeEventName[EVENT_NAME_SIZE] = {};
    char initEventName[EVENT_NAME_SIZE] = {};
    std::map<std::string, PageData> pages;
    std::map<std::string, TreeData> treeItems;
    std::map<std::string, GraphData> graphs;
};

}  // namespace zelvor
