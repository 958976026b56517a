#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>

#include "app/app_profile.h"
#include "app/message_recorder.h"
#include "crunch/number_crunch_modules.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

const std::string RECORDING = std::string(CRUNCH_FIXTURE_DIR) + "/librecording_module.so";
// The same library under another name: a calculation of its own.
const std::string BORROWED = std::string(CRUNCH_FIXTURE_DIR) + "/./librecording_module.so";
const std::string INCOMPLETE = std::string(CRUNCH_FIXTURE_DIR) + "/libincomplete_module.so";

std::string Calculation(const std::string& menu, const std::string& file, const std::string& configuration = "") {
    return "<bk:Calculation MenuName=\"" + menu + "\"><FileName>" + file + "</FileName><Configuration>" +
           configuration + "</Configuration></bk:Calculation>";
}

std::string List(const std::string& calculations) {
    return "<Modules xmlns:bk=\"urn:Cobrant\">" + calculations + "</Modules>";
}

class ModuleBindingTest : public ::testing::Test {
protected:
    std::string Write(const std::string& text) { return test::WriteFile(dir, "Modules.xml", text); }

    test::ScopedConfigHome home;
    CAppProfile profile{"Zelvor", "1,0,0,1"};
    test::MessageRecorder messages;
    QTemporaryDir dir;
};

TEST_F(ModuleBindingTest, AModuleBesideItsListIsBoundWithASetterOfEachKind) {
    // A bare file name is looked for beside the list first.
    std::filesystem::copy_file(RECORDING, dir.path().toStdString() + "/librecording.so");
    const std::string pages = R"(
        <Page Name="Run">
          <Property Name="a" Function="SetTimeStep" Unittype="REAL"/>
          <Property Name="b" Function="SetStepCount" Unittype="integer"/>
          <Property Name="c" Function="SetThermostat" Unittype="DropDownList"><Item>x</Item></Property>
          <Property Name="d" Function="SetTitle" Unittype="string"/>
        </Page>
        <TreeView>
          <Variable Name="T" GetFunction="GetTemperature" SetFunction="SetTemperature"/>
          <Result Name="E" Function="TotalEnergy" Unittype="real"/>
        </TreeView>
        <Graph Name="b" Function="EnergyGraph"><PointClick Function="EnergyClicked"/></Graph>
        <Graph Name="a" Function="EnergyGraph"/>
        <BeginCalculationFunction Name="StartRun"/>)";
    CNumberCrunchModules modules;
    ASSERT_TRUE(modules.LoadAndVerifyModules(
        Write(List(Calculation("Recording", "librecording.so", pages) + Calculation("Again", "librecording.so"))),
        true));
    EXPECT_TRUE(messages.Texts().empty());
    // Two menu names for one library: loaded once, both stay.
    EXPECT_EQ(modules.menuToFile, (std::map<std::string, std::string>{{"Again", "librecording.so"},
                                                                      {"Recording", "librecording.so"}}));
    EXPECT_EQ(modules.libraries.size(), 1u);
    EXPECT_TRUE(modules.IsNumberCrunchModulePresent("librecording.so"));
    EXPECT_FALSE(modules.IsNumberCrunchModulePresent("LIBRECORDING.SO"));

    CalcData& calc = modules.calculations.at("librecording.so");
    EXPECT_EQ(calc.stopRequested, 1);
    EXPECT_EQ(calc.pauseRequested, 0);
    ASSERT_TRUE(calc.beginCalculation && calc.setCallBackFuncAddresses && calc.getAddressesOfCalculationData);
    calc.beginCalculation();  // the renamed one
    calc.setCallBackFuncAddresses(nullptr, nullptr, nullptr, nullptr, nullptr);
    PageData& run = calc.pages.at("Run");
    ASSERT_TRUE(run.at("a").realSetter && run.at("b").integerSetter && run.at("c").integerSetter &&
                run.at("d").stringSetter);
    EXPECT_FALSE(run.at("a").integerSetter || run.at("a").stringSetter);
    run.at("a").realSetter(0.5);
    run.at("b").integerSetter(-7);
    run.at("c").integerSetter(1);
    run.at("d").stringSetter("water box");
    const auto recorded = modules.libraries.at("librecording.so")->Resolve<const char* (*)()>("RecordedCalls");
    ASSERT_NE(recorded, nullptr);
    EXPECT_STREQ(recorded(), "start run;callbacks;real 0.500000;integer -7;choice 1;string water box;");

    const TreeData& t = calc.treeItems.at("T");
    EXPECT_TRUE(t.variableGetter && t.variableSetter);
    EXPECT_TRUE(calc.treeItems.at("E").realResult);
    // Command numbers follow the graphs' name order within the library.
    EXPECT_EQ(calc.graphs.at("a").commandNumber, CNumberCrunchModules::FIRST_GRAPH_COMMAND);
    EXPECT_EQ(calc.graphs.at("b").commandNumber, CNumberCrunchModules::FIRST_GRAPH_COMMAND + 1);
    EXPECT_TRUE(calc.graphs.at("b").pointClickFunction);
}

TEST_F(ModuleBindingTest, TheShippedListBindsOndrelWithEveryEntryPointAndSetter) {
    // The list and the library as the build puts them beside the program.
    CNumberCrunchModules modules;
    ASSERT_TRUE(modules.LoadAndVerifyModules(std::string(ZELVOR_BIN_DIR) + "/modules/Modules.xml", true));
    EXPECT_TRUE(messages.Texts().empty());
    ASSERT_EQ(modules.menuToFile.count("Ondrel"), 1u);
    CalcData& calc = modules.calculations.at(modules.menuToFile.at("Ondrel"));
    EXPECT_TRUE(calc.beginCalculation && calc.setCallBackFuncAddresses && calc.getAddressesOfCalculationData);
    int setters = 0;
    for (auto& [pageName, page] : calc.pages)
        for (auto& [name, property] : page) {
            EXPECT_TRUE(property.realSetter || property.integerSetter || property.stringSetter) << pageName << ": " << name;
            ++setters;
        }
    EXPECT_EQ(setters, 6);
}

TEST_F(ModuleBindingTest, UnusableLibrariesLeaveTheMenuAndMissingFunctionsAreReported) {
    const std::string missingFile = dir.path().toStdString() + "/libabsent.so";
    const std::string pages = R"(
        <Page Name="Run">
          <Property Name="a" Function="NoSuchSetter" Unittype="real"/>
          <Property Name="b" Function="SetStepCount" Unittype="integer"/>
          <Property Name="c" Function="SetTitle" Unittype="colour"/>
        </Page>
        <TreeView><Variable Name="T" SetFunction="NoSet"/><Result Name="E" Function="TotalEnergy" Unittype="Real"/></TreeView>
        <Graph Name="g" Function="NoGraph"/>
        <Graph Name="h" Function="EnergyGraph"><PointClick Function="NoClick"/></Graph>)";
    CNumberCrunchModules modules;
    ASSERT_TRUE(modules.LoadAndVerifyModules(
        Write(List(Calculation("Incomplete", INCOMPLETE) + Calculation("Incomplete too", INCOMPLETE) +
                   Calculation("Absent", missingFile) + Calculation("Pages", RECORDING, pages) +
                   Calculation("Borrowed", BORROWED,
                               "<BeginCalculationFunction Name=\"abort\"/>"))),
        true));

    const std::string pagesFile = RECORDING;
    const auto texts = messages.Texts();
    ASSERT_EQ(texts.size(), 9u);
    EXPECT_EQ(texts[0].rfind("Failed loading " + missingFile + ".\nGetLastError returned:\n", 0), 0u);
    EXPECT_NE(texts[0].find("libabsent.so"), std::string::npos);  // the loader's own reason follows
    // A library must define its entry points itself: the C library's abort does not count.
    EXPECT_EQ(texts[1], "Failed loading the abort function from the\nlibrary \"" + BORROWED +
                            "\". This library will be ignored.\n");
    EXPECT_EQ(texts[2], "Failed loading the GetAddressesOfCalculationData function from the\nlibrary \"" +
                            INCOMPLETE + "\". This library will be ignored.\n");
    // Reported once, not again for the second menu name of the same library.
    EXPECT_EQ(texts[3], "Failed loading the function \"NoSuchSetter\" from the module \"" + pagesFile +
                            "\".\nThe input UI for this function will therefore be absent.\n");
    EXPECT_EQ(texts[4], "Failed loading the function \"SetTitle\" from the module \"" + pagesFile +
                            "\".\nThe input UI for this function will therefore be absent.\n");
    EXPECT_EQ(texts[5], "Failed loading the function \"TotalEnergy\" from the module \"" + pagesFile +
                            "\".\nThe treeview item for this function will therefore be absent.\n");
    EXPECT_EQ(texts[6], "Failed loading the function \"NoSet\" from the module \"" + pagesFile +
                            "\".\nThe treeview item for this function will therefore be absent.\n");
    EXPECT_EQ(texts[7], "Failed loading the function \"NoGraph\" from the module \"" + pagesFile +
                            "\".\nThe graph for this function will therefore be absent.\n");
    EXPECT_EQ(texts[8], "Failed loading the function \"NoClick\" from the module \"" + pagesFile + "\n");

    // Only the calculation whose entry points are all there can be chosen.
    EXPECT_EQ(modules.menuToFile, (std::map<std::string, std::string>{{"Pages", RECORDING}}));
    // A library whose binding failed stays loaded, but keeps nothing of its binding.
    EXPECT_TRUE(modules.IsNumberCrunchModulePresent(INCOMPLETE));
    EXPECT_FALSE(modules.IsNumberCrunchModulePresent(missingFile));
    for (const std::string& file : {INCOMPLETE, BORROWED}) {
        const CalcData& failed = modules.calculations.at(file);
        EXPECT_FALSE(failed.beginCalculation || failed.setCallBackFuncAddresses ||
                     failed.getAddressesOfCalculationData)
            << file;
        EXPECT_EQ(failed.stopRequested, 0);
    }
    const PageData& run = modules.calculations.at(RECORDING).pages.at("Run");
    EXPECT_FALSE(run.at("a").HasSetter());
    EXPECT_TRUE(run.at("b").integerSetter);  // the page's other inputs are unaffected
    EXPECT_FALSE(run.at("c").HasSetter());
    EXPECT_EQ(modules.calculations.at(RECORDING).graphs.at("h").commandNumber,
              CNumberCrunchModules::FIRST_GRAPH_COMMAND);

    // Without verbose reports a missing library leaves the menu silently.
    test::MessageRecorder quiet;
    CNumberCrunchModules silent;
    ASSERT_TRUE(silent.LoadAndVerifyModules(Write(List(Calculation("Absent", missingFile))), false));
    EXPECT_TRUE(quiet.Texts().empty());
    EXPECT_TRUE(silent.menuToFile.empty());
}

}  // namespace
}  // namespace zelvor
