#include "crunch/options_dlg.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QPushButton>
#include <memory>
#include <utility>

#include "crunch/cmd_line_dlg.h"
#include "crunch/number_crunch_modules.h"

namespace zelvor {

COptions::COptions(CNumberCrunchModules& modules, std::function<std::string()> selectedMenuName,
                   std::function<std::string()> registrySection, QWidget* parent)
    : QDialog(parent),
      modules_(modules),
      selectedMenuName_(std::move(selectedMenuName)),
      registrySection_(std::move(registrySection)),
      more_(new QPushButton(QStringLiteral("More..."), this)),
      pre_(new QPushButton(QStringLiteral("Pre-Calculation..."), this)),
      post_(new QPushButton(QStringLiteral("Post-Calculation..."), this)) {
    setObjectName(QString::number(IDD));
    setWindowTitle(QString::fromLatin1(CAPTION));
    // A panel inside the configuration dialog, not a window of its own.
    setWindowFlags(Qt::Widget);
    auto* test = new QPushButton(QStringLiteral("Test"), this);
    auto* folder = new QPushButton(QStringLiteral("Working Folder..."), this);
    auto* layout = new QGridLayout(this);
    layout->addWidget(more_, 0, 0);
    layout->addWidget(test, 0, 1);
    layout->addWidget(pre_, 1, 0);
    layout->addWidget(post_, 1, 1);
    layout->addWidget(folder, 2, 0, 1, 2);
    connect(more_, &QPushButton::clicked, this, &COptions::OnMore);
    connect(pre_, &QPushButton::clicked, this, &COptions::OnPreCalculation);
    connect(post_, &QPushButton::clicked, this, &COptions::OnPostCalculation);
    connect(folder, &QPushButton::clicked, this, &COptions::OnWorkingFolder);
}

void COptions::SetModuleErrorPrompt(ModuleErrorPrompt prompt) { prompt_ = std::move(prompt); }

std::string COptions::SelectedFile(std::string& menuName) const {
    menuName = selectedMenuName_ ? selectedMenuName_() : std::string();
    // Looked up, never inserted: an unknown name must not add an empty calculation to the menu.
    const auto found = modules_.menuToFile.find(menuName);
    return found == modules_.menuToFile.end() ? std::string() : found->second;
}

void COptions::OnMore() {
    std::string menuName;
    const std::string file = SelectedFile(menuName);
    if (file.empty()) return;
    std::string section = registrySection_ ? registrySection_() : std::string();
    // Without a document the entries belong to the calculation itself.
    if (section.empty()) section = file;
    CNumberCrunchSettingsSheet sheet(modules_, file, QString::fromStdString(menuName), this, section);
    sheet.SetModuleErrorPrompt(prompt_);
    sheet.DoModal();
}

void COptions::EditCommands(bool before) {
    std::string menuName;
    const std::string file = SelectedFile(menuName);
    if (file.empty()) return;
    auto& map = before ? modules_.settings.preCommands : modules_.settings.postCommands;
    // Before the settings are loaded there is no map yet; what is edited now is saved with the record.
    if (!map) map = std::make_unique<CNumberCrunchSettings::CommandMap>();
    const QString title = QString::fromLatin1(before ? "Commands to execute before running "
                                                     : "Commands to execute after running ") +
                          QString::fromStdString(menuName);
    CCMDLineDlg dialog(title, (*map)[file], this);
    dialog.exec();
}

void COptions::OnPreCalculation() { EditCommands(true); }

void COptions::OnPostCalculation() { EditCommands(false); }

void COptions::OnWorkingFolder() {
    QString start = QDir::currentPath();
    if (start.size() > 1 && start.endsWith(QLatin1Char('/'))) start.chop(1);
    const QString folder =
        QFileDialog::getExistingDirectory(this, QString::fromLatin1(FOLDER_TITLE), start, QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty()) QDir::setCurrent(folder);
}

}  // namespace zelvor
