#pragma once
/// COptions: the "Settings" panel of the configuration dialog for the chosen calculation: its module settings
/// sheet, the commands run before and after it, and the working folder.
#include <QDialog>
#include <functional>
#include <string>

#include "crunch/number_crunch_settings_sheet.h"

class QPushButton;

namespace zelvor {

class CNumberCrunchModules;

class COptions : public QDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 164;
    static constexpr const char* CAPTION = "Settings";
    static constexpr const char* FOLDER_TITLE = "Select the Current Working Folder for this calculation";

    /// selectedMenuName gives the calculation chosen in the host's list, registrySection the library name under
    /// which the document keeps module entries; both are asked at each button press.
    COptions(CNumberCrunchModules& modules, std::function<std::string()> selectedMenuName,
             std::function<std::string()> registrySection, QWidget* parent);
    void SetModuleErrorPrompt(ModuleErrorPrompt prompt);

    QPushButton* MoreButton() const { return more_; }
    QPushButton* PreButton() const { return pre_; }
    QPushButton* PostButton() const { return post_; }

public slots:
    /// The calculation's settings sheet, modal.
    void OnMore();
    /// The command editors of the calculation.
    void OnPreCalculation();
    void OnPostCalculation();
    /// Makes a chosen folder the process's current directory (not remembered).
    void OnWorkingFolder();

private:
    /// The library file of the selected calculation; empty when nothing known is selected.
    std::string SelectedFile(std::string& menuName) const;
    void EditCommands(bool before);

    CNumberCrunchModules& modules_;
    std::function<std::string()> selectedMenuName_;
    std::function<std::string()> registrySection_;
    ModuleErrorPrompt prompt_;
    QPushButton* more_;
    QPushButton* pre_;
    QPushButton* post_;
};

}  // namespace zelvor
