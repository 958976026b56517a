#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>

#include "app/app_profile.h"
#include "app/message_recorder.h"
#include "app/module_guard.h"
#include "crunch/cmd_line_dlg.h"
#include "crunch/module_inputs.h"
#include "crunch/number_crunch_modules.h"
#include "crunch/number_crunch_settings_sheet.h"
#include "crunch/options_dlg.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

const std::string RECORDING = std::string(CRUNCH_FIXTURE_DIR) + "/librecording_module.so";

class SettingsSheetTest : public ::testing::Test {
protected:
    /// A copy of the recording module of its own (its own record of calls) for each calculation.
    std::string Calculation(const std::string& menu, const std::string& file, const std::string& configuration) {
        std::filesystem::copy_file(RECORDING, dir.path().toStdString() + "/" + file);
        return "<bk:Calculation MenuName=\"" + menu + "\"><FileName>" + file + "</FileName><Configuration>" +
               configuration + "</Configuration></bk:Calculation>";
    }
    void Load(const std::string& calculations) {
        const std::string list = "<Modules xmlns:bk=\"urn:Cobrant\">" + calculations + "</Modules>";
        ASSERT_TRUE(modules.LoadAndVerifyModules(test::WriteFile(dir, "Modules.xml", list), true));
        ASSERT_TRUE(messages.Texts().empty()) << messages.Texts().front();
    }
    /// What the module of file has received since the last call.
    std::string NewCalls(const std::string& file) {
        const auto calls = modules.libraries.at(file)->Resolve<const char* (*)()>("RecordedCalls");
        std::string all = calls ? calls() : "";
        std::string& seen = seen_[file];
        std::string fresh = all.substr(seen.size());
        seen = all;
        return fresh;
    }
    static std::vector<QString> Tabs(QTabWidget* tabs) {
        std::vector<QString> titles;
        for (int i = 0; i < tabs->count(); ++i) titles.push_back(tabs->tabText(i));
        return titles;
    }

    test::ScopedConfigHome home;
    CAppProfile profile{"Zelvor", "1,0,0,1"};
    test::MessageRecorder messages;
    QTemporaryDir dir;
    CNumberCrunchModules modules;
    std::map<std::string, std::string> seen_;
};

const std::string RUN_PAGE = R"(
    <Page Name="Run">
      <Property Name="b" Function="SetStepCount" Unittype="integer" Min="1" Max="100">
        <Prompt>Steps</Prompt></Property>
      <Property Name="a" Function="SetTimeStep" Unittype="Real" Min="0.0" Max="2.0"/>
      <Property Name="c" Function="SetThermostat" Unittype="dropdownlist">
        <Item>none</Item><Item>Berendsen</Item><Item>Nose</Item></Property>
      <Property Name="d" Function="SetTitle" Unittype="string"><Prompt TextboxSize="line">Title</Prompt></Property>
      <Property Name="e" Function="SetTitle" Unittype="string"><Prompt TextboxSize="Word">Title</Prompt></Property>
    </Page>
    <Page Name="Other">
      <Property Name="z" Function="SetThermostat" Unittype="dropdownlist"><Item>x</Item><Item>y</Item></Property>
    </Page>)";

TEST_F(SettingsSheetTest, PagesAndInputsFollowTheListInNameOrder) {
    Load(Calculation("Layout", "liblayout.so", RUN_PAGE) + Calculation("Bare", "libbare.so", "") +
         Calculation("Piped", "libpiped.so", "<ExpectingStdInput File=\"in.txt\"/>"));

    CNumberCrunchSettingsSheet sheet(modules, "liblayout.so", "Layout", nullptr, "liblayout.so");
    EXPECT_EQ(Tabs(sheet.Pages()), (std::vector<QString>{"Other", "Run", "Text Input"}));
    sheet.show();
    QWidget* run = sheet.Pages()->widget(1);
    sheet.Pages()->setCurrentWidget(run);
    QApplication::processEvents();
    PageData& properties = modules.calculations.at("liblayout.so").pages.at("Run");
    // "a" above "b" above "c" above "e", whatever order the list gave; the "line" text box has no input.
    EXPECT_EQ(properties.at("d").control, nullptr);
    int lastY = -1;
    for (const char* name : {"a", "b", "c", "e"}) {
        auto* input = static_cast<CInputDlg*>(properties.at(name).control);
        ASSERT_NE(input, nullptr) << name;
        EXPECT_EQ(input->parentWidget(), run);
        EXPECT_GT(input->height(), 0) << name;
        EXPECT_GT(input->geometry().top(), lastY) << name;
        lastY = input->geometry().bottom();
        EXPECT_EQ(input->findChild<QGroupBox*>("1089")->title(), QString(name));
    }
    EXPECT_EQ(dynamic_cast<CRealInput*>(static_cast<CInputDlg*>(properties.at("a").control))->objectName(), "167");
    auto* steps = dynamic_cast<CIntegerInput*>(static_cast<CInputDlg*>(properties.at("b").control));
    ASSERT_NE(steps, nullptr);
    EXPECT_EQ(steps->findChild<QLabel*>("1094")->text(), "Steps");
    auto* thermostat = dynamic_cast<CComboInput*>(static_cast<CInputDlg*>(properties.at("c").control));
    ASSERT_NE(thermostat, nullptr);
    EXPECT_EQ(thermostat->List()->count(), 3);
    EXPECT_EQ(thermostat->List()->itemText(2), "Nose");
    EXPECT_NE(dynamic_cast<CWordInput*>(static_cast<CInputDlg*>(properties.at("e").control)), nullptr);
    sheet.DestroyWindow();
    EXPECT_EQ(properties.at("a").control, nullptr);
    EXPECT_EQ(modules.calculations.at("liblayout.so").stdInputControl, nullptr);

    // Nothing declared and no input file: the standard-input page alone.
    CNumberCrunchSettingsSheet bare(modules, "libbare.so", "Bare", nullptr, "libbare.so");
    EXPECT_EQ(Tabs(bare.Pages()), std::vector<QString>{"Text Input"});
    auto* text = static_cast<CParagraphInput*>(modules.calculations.at("libbare.so").stdInputControl);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->findChild<QGroupBox*>("1089")->title(), "Standard Input");
    EXPECT_EQ(text->findChild<QLabel*>("1094")->text(), "Enter text below that Bare will read when it runs");
    EXPECT_EQ(text->Entry(), "Text Input_StdInput_171");

    // A file feeds the standard input: no page at all.
    CNumberCrunchSettingsSheet piped(modules, "libpiped.so", "Piped", nullptr, "libpiped.so");
    EXPECT_EQ(piped.Pages()->count(), 0);
}

TEST_F(SettingsSheetTest, AnUnseenSheetHandsTheRememberedEntriesToTheSettersAndStoresThemForTheDocument) {
    Load(Calculation("Layout", "liblayout.so", RUN_PAGE));
    // The document runs another library: its name keys the entries.
    const std::string section = "libdocument.so";
    profile.WriteProfileString(section, "Run_SetStepCount_169", "42");
    profile.WriteProfileString(section, "Run_SetTimeStep_167", "0.25");
    profile.WriteProfileString(section, "Run_SetThermostat_177", "2");
    profile.WriteProfileString(section, "Run_SetTitle_170", "water box");
    profile.WriteProfileString(section, "Run_SetTitle_171", "never read: a line has no input");

    {
        CNumberCrunchSettingsSheet sheet(modules, "liblayout.so", "Layout", nullptr, section);
        EXPECT_FALSE(sheet.isVisible());
        ASSERT_TRUE(sheet.CommitEntries());
        // "Other" before "Run"; its list was never opened and nothing was remembered: position 0.
        EXPECT_EQ(NewCalls("liblayout.so"), "choice 0;real 0.250000;integer 42;choice 2;string water box;");
        PageData& run = modules.calculations.at("liblayout.so").pages.at("Run");
        auto* steps = static_cast<CIntegerInput*>(run.at("b").control);
        steps->Edit()->setText("7");
        // The slider-scroller's stand-in reports a new value as the user's change does.
        auto* timeStep = static_cast<CRealInput*>(run.at("a").control);
        QDoubleSpinBox* spin = timeStep->Scroller()->findChild<QDoubleSpinBox*>();
        ASSERT_NE(spin, nullptr);
        EXPECT_DOUBLE_EQ(spin->value(), 0.25);
        EXPECT_DOUBLE_EQ(spin->maximum(), 2.0);
        spin->setValue(1.5);
        sheet.DestroyWindow();
    }
    EXPECT_EQ(profile.GetProfileString(section, "Run_SetStepCount_169", "?"), "7");
    EXPECT_EQ(profile.GetProfileString(section, "Run_SetThermostat_177", "?"), "2");
    EXPECT_EQ(profile.GetProfileString(section, "Run_SetTimeStep_167", "?"), "1.500000");
    EXPECT_EQ(profile.GetProfileString(section, "Other_SetThermostat_177", "?"), "");
    EXPECT_EQ(profile.GetProfileString(section, "Text Input_StdInput_171", "?"), "");
    EXPECT_EQ(profile.GetProfileString("liblayout.so", "Run_SetStepCount_169", "?"), "?");

    // The next run of the calculation hands over what the user typed.
    modules.calculations.at("liblayout.so").pages.at("Run").at("b").value.clear();
    CNumberCrunchSettingsSheet again(modules, "liblayout.so", "Layout", nullptr, section);
    again.CommitEntries();
    EXPECT_EQ(NewCalls("liblayout.so"), "choice 0;real 1.500000;integer 7;choice 2;string water box;");
}

TEST_F(SettingsSheetTest, AFaultingSetterAsksAndTheNextPropertyIsStillCommitted) {
    Load(Calculation("Faulty", "libfaulty.so", R"(<Page Name="P">
        <Property Name="a" Function="SetFaulty" Unittype="integer"/>
        <Property Name="b" Function="SetStepCount" Unittype="integer"/></Page>)"));
    profile.WriteProfileString("libfaulty.so", "P_SetStepCount_169", "3");
    CNumberCrunchSettingsSheet sheet(modules, "libfaulty.so", "Faulty", nullptr, "libfaulty.so");
    std::vector<std::string> asked;
    bool letContinue = false;
    sheet.SetModuleErrorPrompt([&](const std::string& function, const std::string& library) {
        asked.push_back(function + " in " + library);
        return letContinue;
    });
    EXPECT_TRUE(sheet.CommitEntries());
    EXPECT_EQ(asked, std::vector<std::string>{"SetFaulty in libfaulty.so"});
    EXPECT_EQ(NewCalls("libfaulty.so"), "integer 3;");

    // Yes: the fault goes on to the caller and nothing after it is called.
    letContinue = true;
    EXPECT_THROW(sheet.CommitEntries(), ModuleFault);
    EXPECT_EQ(NewCalls("libfaulty.so"), "");
    // From OK of the modal sheet the fault reaches the caller of DoModal, not Qt's event loop.
    QTimer::singleShot(0, &sheet, [&] { sheet.accept(); });
    EXPECT_THROW(sheet.DoModal(), ModuleFault);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(asked.size(), 3u);
}

TEST_F(SettingsSheetTest, OkWithAnEntryOutOfRangeKeepsTheSheetOpenUntilItIsCorrected) {
    Load(Calculation("Layout", "liblayout.so", RUN_PAGE));
    profile.WriteProfileString("liblayout.so", "Run_SetStepCount_169", "250");
    CNumberCrunchSettingsSheet sheet(modules, "liblayout.so", "Layout", nullptr, "liblayout.so");
    auto* steps = static_cast<CIntegerInput*>(modules.calculations.at("liblayout.so").pages.at("Run").at("b").control);
    EXPECT_FALSE(sheet.ValidateEntries());
    bool stayedOpen = false;
    QTimer::singleShot(0, &sheet, [&] {
        sheet.accept();
        stayedOpen = sheet.isVisible();
        steps->Edit()->setText("12x");  // not a number either
        sheet.accept();
        stayedOpen = stayedOpen && sheet.isVisible();
        steps->Edit()->setText(" 12 ");
        sheet.accept();
    });
    EXPECT_EQ(sheet.DoModal(), QDialog::Accepted);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>(2, "One or more entries appear to be out of range"));
    EXPECT_EQ(NewCalls("liblayout.so"), "choice 0;real 0.000000;integer 12;choice 0;string ;");
}

TEST_F(SettingsSheetTest, CommandEditorsStoreTheirTextOnlyOnOk) {
    Load(Calculation("Layout", "liblayout.so", RUN_PAGE));
    std::string commands = "echo before";
    {
        CCMDLineDlg dialog("Commands", commands, nullptr);
        EXPECT_EQ(dialog.Edit()->toPlainText(), "echo before");
        dialog.Edit()->setPlainText("rm -f out && echo again");
        dialog.reject();
    }
    EXPECT_EQ(commands, "echo before");
    {
        CCMDLineDlg dialog("Commands", commands, nullptr);
        dialog.Edit()->setPlainText(QString(12000, 'x'));
        dialog.accept();
    }
    EXPECT_EQ(commands, std::string(CCMDLineDlg::MAX_CHARACTERS, 'x'));

    // The settings panel edits the selected calculation's command in the module settings.
    std::string selected = "Layout";
    COptions options(modules, [&] { return selected; }, [] { return std::string("libdocument.so"); }, nullptr);
    QString title;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CCMDLineDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        dialog->Edit()->setPlainText("cp out.xyz ../results");
        dialog->accept();
    });
    options.OnPreCalculation();
    EXPECT_EQ(title, "Commands to execute before running Layout");
    ASSERT_TRUE(modules.settings.preCommands);
    EXPECT_EQ(modules.settings.preCommands->at("liblayout.so"), "cp out.xyz ../results");
    // An unknown selection opens nothing and adds nothing to the menu.
    selected = "Unknown";
    options.OnMore();
    options.OnPostCalculation();
    EXPECT_EQ(modules.menuToFile.count("Unknown"), 0u);
    EXPECT_EQ(modules.calculations.count(""), 0u);
}

}  // namespace
}  // namespace zelvor
