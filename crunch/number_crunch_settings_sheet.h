#pragma once
/// CNumberCrunchSettingsSheet: the settings pages a module list declares for one calculation, as a sheet of
/// generated inputs whose entries reach the module's setter functions.
#include <QDialog>
#include <QString>
#include <exception>
#include <functional>
#include <string>

#include "crunch/module_error_prompt.h"

class QTabWidget;
class QWidget;

namespace zelvor {

class CNumberCrunchModules;
struct CalcData;
struct ConfigData;

/// One page per settings page of the calculation (in name order), and a "Text Input" page when the module
/// reads standard input that no file supplies. Built at construction, so the sheet also works unseen: the
/// screensaver constructs it, commits and destroys it to hand the remembered entries to the module.
class CNumberCrunchSettingsSheet : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* TEXT_INPUT_PAGE = "Text Input";
    static constexpr const char* STD_INPUT_FUNCTION = "StdInput";
    static constexpr const char* OUT_OF_RANGE = "One or more entries appear to be out of range";

    /// The sheet for calculations[fileName]; entries are kept in the settings store under section registrySection
    /// (the library name of the document's current calculation, which may differ from fileName).
    CNumberCrunchSettingsSheet(CNumberCrunchModules& modules, const std::string& fileName, const QString& caption,
                               QWidget* parent, const std::string& registrySection, int firstPage = 0);
    /// Stores the entries, as DestroyWindow does.
    ~CNumberCrunchSettingsSheet() override;
    CNumberCrunchSettingsSheet(const CNumberCrunchSettingsSheet&) = delete;
    CNumberCrunchSettingsSheet& operator=(const CNumberCrunchSettingsSheet&) = delete;

    /// Without a prompt a faulting setter is passed over.
    void SetModuleErrorPrompt(ModuleErrorPrompt prompt);
    /// Runs the sheet modally: QDialog::Accepted or Rejected. OK commits when the entries are valid; otherwise it
    /// reports them out of range and the sheet stays open. A fault the prompt lets continue is rethrown here.
    int DoModal();
    /// True when every real and integer entry is a number within its property's bounds (an empty or
    /// unreadable bound does not limit).
    bool ValidateEntries();
    /// Hands every entry to its setter, property by property in name order, each call guarded. True unless the
    /// prompt let a fault continue, which is then rethrown.
    bool CommitEntries();
    /// Destroys the inputs (each stores its entry in the settings store) and the pages; the sheet is hidden.
    void DestroyWindow();
    /// The pages (for tests and the configuration dialog).
    QTabWidget* Pages();

public slots:
    /// OK: validation first; an invalid sheet stays open.
    void accept() override;

private:
    void BuildPropertyPages(int firstPage);
    QWidget* AddPage(const QString& title);
    /// The input for one property, or null when its kind or its setter gives none.
    QWidget* CreateInput(QWidget* page, const std::string& name, ConfigData& property);
    /// Runs one setter call; a fault asks the prompt. False when the fault is to continue.
    bool CommitOne(const std::string& function, const std::function<void()>& call);

    CNumberCrunchModules& modules_;
    std::string fileName_;
    CalcData& calc_;
    std::string section_;
    ModuleErrorPrompt prompt_;
    QTabWidget* tabs_;
    std::exception_ptr pendingFault_;
};

}  // namespace zelvor
