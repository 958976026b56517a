#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/app_profile.h"
#include "app/message_recorder.h"
#include "crunch/number_crunch_modules.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

// The libraries named below do not exist: with verbose off they leave the menu silently, but what the list
// says about them stays in the records.
constexpr const char* FULL_LIST = R"(<?xml version="1.0"?>
<Modules xmlns:bk="urn:Cobrant" xmlns:other="urn:Other">
  <bk:Calculation MenuName="Dynamics">
    <FileName>libdynamics.so</FileName>
    <!-- a comment between elements is no element -->
    <Configuration>
      <Page Name="Run">
        <Property Name="Steps" Function="SetSteps" Unittype="Integer" Min="1" Max="1e6">
          <Prompt TextboxSize="word"></Prompt>
          <Prompt TextboxSize="paragraph">Number of steps</Prompt>
          <Item>first</Item>
        </Property>
        <Property Name="Method" Function="SetMethod" Unittype="dropdownlist">
          <Item>Verlet</Item>text between<Item>Leapfrog</Item>
        </Property>
      </Page>
      <Page Name="Analysis"><Property Name="Bins" Function="SetBins" Unittype="integer"><Item>ten</Item></Property></Page>
      <bk:Page Name="Prefixed"><Property Name="X" Function="SetX"/></bk:Page>
      <page Name="LowerCase"/>
      <ExpectingStdInput File="input.txt" ExitCommand="quit"/>
      <Graph Name="Energy" Function="EnergyGraph" Notification="EnergyReady">
        <PointClick Function="EnergyClicked"/>
      </Graph>
      <Graph Name="Late" Function="LateGraph"><Axis/><PointClick Function="NotFirst"/></Graph>
      <TreeView>
        <Result Name="Energy" Function="TotalEnergy" Unittype="real"/>
        <Variable Name="T" GetFunction="GetT" SetFunction="SetT" Min=" 1.5" Max="x9" MinStep="0.25" MaxStep="-2"
                  Precision="4"/>
      </TreeView>
      <BeginCalculationFunction Name="StartRun"/>
      <SetCallBackFuncAddressesFunction Name=""/>
    </Configuration>
  </bk:Calculation>
  <Calculation xmlns="urn:Cobrant" MenuName="Minimal"><FileName>libminimal.so</FileName></Calculation>
  <other:Calculation MenuName="Foreign"><FileName>libforeign.so</FileName></other:Calculation>
  <Calculation MenuName="NoNamespace"><FileName>libplain.so</FileName></Calculation>
  <bk:Calculation><FileName>libnomenu.so</FileName></bk:Calculation>
  <deep><bk:Calculation MenuName="Nested"><FileName>libnested.so</FileName></bk:Calculation></deep>
</Modules>
)";

class ModuleListTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text) { return test::WriteFile(dir, name, text); }

    test::ScopedConfigHome home;
    CAppProfile profile{"Zelvor", "1,0,0,1"};
    test::MessageRecorder messages;
    QTemporaryDir dir;
};

TEST_F(ModuleListTest, CalculationsAreSelectedByNamespaceAndTheirContentByLiteralNames) {
    CNumberCrunchModules modules;
    ASSERT_TRUE(modules.LoadAndVerifyModules(Write("Modules.xml", FULL_LIST), false));
    EXPECT_TRUE(messages.Texts().empty());
    // Every library is missing, so no calculation can be chosen; the records stay.
    EXPECT_TRUE(modules.menuToFile.empty());
    std::vector<std::string> files;
    for (const auto& [file, calc] : modules.calculations) files.push_back(file);
    EXPECT_EQ(files, (std::vector<std::string>{"libdynamics.so", "libminimal.so", "libnested.so"}));
    EXPECT_EQ(modules.fileToMenu.at("libnested.so"), "Nested");

    const CalcData& calc = modules.calculations.at("libdynamics.so");
    EXPECT_EQ(calc.menuName, "Dynamics");
    std::vector<std::string> pages;
    for (const auto& [name, page] : calc.pages) pages.push_back(name);
    EXPECT_EQ(pages, (std::vector<std::string>{"Analysis", "Run"}));  // name order; prefixed and misspelt ignored

    const PageData& run = calc.pages.at("Run");
    std::vector<std::string> properties;
    for (const auto& [name, config] : run) properties.push_back(name);
    EXPECT_EQ(properties, (std::vector<std::string>{"Method", "Steps"}));
    const ConfigData& steps = run.at("Steps");
    EXPECT_EQ(steps.function, "SetSteps");
    EXPECT_EQ(steps.unitType, "Integer");
    EXPECT_EQ(steps.minimum, "1");
    EXPECT_EQ(steps.maximum, "1e6");
    EXPECT_EQ(steps.prompt, "Number of steps");  // the empty prompt before it is ignored
    EXPECT_EQ(steps.textboxSize, "paragraph");
    EXPECT_EQ(steps.items, (std::map<std::int32_t, std::string>{{0, "first"}}));
    const ConfigData& method = run.at("Method");
    EXPECT_EQ(method.items, (std::map<std::int32_t, std::string>{{0, "Verlet"}, {1, "Leapfrog"}}));
    EXPECT_EQ(method.minimum, "");  // absent bounds are stored empty
    EXPECT_EQ(method.maximum, "");
    EXPECT_EQ(method.prompt, "");
    EXPECT_EQ(calc.pages.at("Analysis").at("Bins").items.at(0), "ten");  // items start again at 0

    EXPECT_EQ(calc.stdInputFile, "input.txt");
    EXPECT_EQ(calc.exitCommand, "quit");
    EXPECT_TRUE(calc.expectsStdInput);

    EXPECT_EQ(calc.graphs.at("Energy").function, "EnergyGraph");
    EXPECT_EQ(calc.graphs.at("Energy").notification, "EnergyReady");
    EXPECT_EQ(calc.graphs.at("Energy").pointClickFunctionName, "EnergyClicked");
    EXPECT_EQ(calc.graphs.at("Late").pointClickFunctionName, "");  // not the first child

    EXPECT_EQ(calc.treeItems.at("Energy").resultFunction, "TotalEnergy");
    EXPECT_EQ(calc.treeItems.at("Energy").resultUnitType, "real");
    const TreeData& t = calc.treeItems.at("T");
    EXPECT_EQ(t.getFunction, "GetT");
    EXPECT_EQ(t.setFunction, "SetT");
    EXPECT_EQ(t.slider.minimum, 1.5);
    EXPECT_EQ(t.slider.maximum, 0.0);  // unparsable
    EXPECT_EQ(t.slider.smallChange, 0.25);
    EXPECT_EQ(t.slider.largeChange, -2.0);
    EXPECT_EQ(t.slider.precision, 4);
    EXPECT_EQ(t.slider.description, "T = ");

    // Renamed entry points, an empty name included; the unnamed one keeps its default.
    EXPECT_EQ(calc.beginCalculationFunctionName, "StartRun");
    EXPECT_EQ(calc.setCallBacksFunctionName, "");
    EXPECT_EQ(calc.getAddressesFunctionName, "GetAddressesOfCalculationData");

    const CalcData& minimal = modules.calculations.at("libminimal.so");
    EXPECT_EQ(minimal.beginCalculationFunctionName, "BeginCalculation");
    EXPECT_EQ(minimal.setCallBacksFunctionName, "SetCallBackFuncAddresses");
    EXPECT_TRUE(minimal.expectsStdInput);
    EXPECT_TRUE(minimal.pages.empty());
}

TEST_F(ModuleListTest, AListThatCannotBeReadIsReportedAndChangesNothing) {
    CNumberCrunchModules modules;
    const std::string good = Write("Good.xml", R"(<m xmlns:bk="urn:Cobrant"><bk:Calculation MenuName="A">
        <FileName>liba.so</FileName></bk:Calculation></m>)");
    ASSERT_TRUE(modules.LoadAndVerifyModules(good, false));

    const std::string malformed = Write("Malformed.xml", R"(<m xmlns:bk="urn:Cobrant"><bk:Calculation MenuName="B">
        <FileName>libb.so</FileName></bk:Calculation>)");
    const std::string missing = dir.path().toStdString() + "/Missing.xml";
    const std::string empty = Write("Empty.xml", "");
    for (const std::string& path : {malformed, missing, empty}) {
        EXPECT_FALSE(modules.LoadAndVerifyModules(path, true));
        EXPECT_EQ(modules.moduleListPath, path);
    }
    const auto texts = messages.Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], "The module configuration file," + malformed +
                            ",\ncould not be loaded. Make sure it is properly formatted\n"
                            "and that there are no spelling mistakes in it.\n");
    EXPECT_NE(texts[1].find(missing), std::string::npos);
    EXPECT_EQ(modules.calculations.size(), 1u);
    EXPECT_TRUE(modules.calculations.contains("liba.so"));
}

TEST_F(ModuleListTest, AListThatDeclaresEntitiesIsRefused) {
    // A reference is expanded wherever its text is read: a small list could name a file of gigabytes.
    CNumberCrunchModules modules;
    const std::string list = Write("Entities.xml", R"(<?xml version="1.0"?>
<!DOCTYPE m [<!ENTITY lib "liba.so">]>
<m xmlns:bk="urn:Cobrant"><bk:Calculation MenuName="A"><FileName>&lib;</FileName></bk:Calculation></m>)");
    EXPECT_FALSE(modules.LoadAndVerifyModules(list, false));
    EXPECT_TRUE(modules.calculations.empty());
    ASSERT_EQ(messages.Texts().size(), 1u);
}

}  // namespace
}  // namespace zelvor
