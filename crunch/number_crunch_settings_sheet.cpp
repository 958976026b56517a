#include "crunch/number_crunch_settings_sheet.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <ostream>

#include "app/gui_stream.h"
#include "app/module_guard.h"
#include "crunch/module_inputs.h"
#include "crunch/number_crunch_modules.h"

namespace zelvor {

namespace {

bool SameText(const std::string& a, const char* b) {
    const std::string other(b);
    return a.size() == other.size() && std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsReal(const ConfigData& p) { return SameText(p.unitType, "real") && p.realSetter; }
bool IsInteger(const ConfigData& p) { return SameText(p.unitType, "integer") && p.integerSetter; }
bool IsDropDown(const ConfigData& p) { return SameText(p.unitType, "dropdownlist") && p.integerSetter; }
bool IsParagraph(const ConfigData& p) {
    return SameText(p.unitType, "string") && p.stringSetter && SameText(p.textboxSize, "paragraph");
}
bool IsWord(const ConfigData& p) {
    return SameText(p.unitType, "string") && p.stringSetter && SameText(p.textboxSize, "word");
}

bool NeedsTextInputPage(const CalcData& calc) { return calc.expectsStdInput && calc.stdInputFile.empty(); }

/// The scroller's bound: text that is not a number counts as 0.
double ScrollerBound(const std::string& text) {
    double bound = 0.0;
    return ParseEntryReal(text, bound) ? bound : 0.0;
}

/// Whether number lies within the property's bounds; a bound that is empty or not a number is no limit
/// (a list without Min and Max must not make every entry but 0 invalid).
bool WithinBounds(double number, const ConfigData& p) {
    double bound = 0.0;
    if (!p.minimum.empty() && ParseEntryReal(p.minimum, bound) && number < bound) return false;
    if (!p.maximum.empty() && ParseEntryReal(p.maximum, bound) && number > bound) return false;
    return true;
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CNumberCrunchSettingsSheet::CNumberCrunchSettingsSheet(CNumberCrunchModules& modules, const std::string& fileName,
                                                       const QString& caption, QWidget* parent,
                                                       const std::string& registrySection, int firstPage)
    : QDialog(parent),
      modules_(modules),
      fileName_(fileName),
      calc_(modules.calculations[fileName]),
      section_(registrySection),
      tabs_(new QTabWidget(this)) {
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CNumberCrunchSettingsSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CNumberCrunchSettingsSheet::reject);
    layout->addWidget(buttons);
    BuildPropertyPages(firstPage);
}

CNumberCrunchSettingsSheet::~CNumberCrunchSettingsSheet() { DestroyWindow(); }

void CNumberCrunchSettingsSheet::SetModuleErrorPrompt(ModuleErrorPrompt prompt) { prompt_ = std::move(prompt); }

QTabWidget* CNumberCrunchSettingsSheet::Pages() { return tabs_; }

QWidget* CNumberCrunchSettingsSheet::AddPage(const QString& title) {
    auto* page = new QWidget;
    // The inputs name their settings entries after the page's window title.
    page->setWindowTitle(title);
    new QVBoxLayout(page);
    tabs_->addTab(page, title);
    return page;
}

void CNumberCrunchSettingsSheet::BuildPropertyPages(int firstPage) {
    for (auto& [pageName, properties] : calc_.pages) {
        QWidget* page = AddPage(Text(pageName));
        auto* layout = static_cast<QVBoxLayout*>(page->layout());
        for (auto& [name, property] : properties)
            if (QWidget* input = CreateInput(page, name, property)) layout->addWidget(input);
        layout->addStretch(1);
    }
    if (NeedsTextInputPage(calc_)) {
        QWidget* page = AddPage(QString::fromLatin1(TEXT_INPUT_PAGE));
        auto* input = new CParagraphInput(
            page, STD_INPUT_FUNCTION, section_, calc_.stdInputText, QStringLiteral("Standard Input"),
            QStringLiteral("Enter text below that ") + Text(calc_.menuName) +
                QStringLiteral(" will read when it runs"));
        calc_.stdInputControl = input;
        page->layout()->addWidget(input);
    }
    if (firstPage > 0 && firstPage < tabs_->count()) tabs_->setCurrentIndex(firstPage);
}

QWidget* CNumberCrunchSettingsSheet::CreateInput(QWidget* page, const std::string& name, ConfigData& p) {
    const QString group = Text(name), prompt = Text(p.prompt);
    CInputDlg* input = nullptr;
    if (IsReal(p))
        input = new CRealInput(page, p.function, section_, p.value, group, prompt, ScrollerBound(p.minimum),
                               ScrollerBound(p.maximum));
    else if (IsInteger(p))
        input = new CIntegerInput(page, p.function, section_, p.value, group, prompt);
    else if (IsDropDown(p))
        input = new CComboInput(page, p.function, section_, p.value, group, prompt, p.items);
    else if (IsParagraph(p))
        input = new CParagraphInput(page, p.function, section_, p.value, group, prompt);
    else if (IsWord(p))
        input = new CWordInput(page, p.function, section_, p.value, group, prompt);
    p.control = input;
    return input;
}

bool CNumberCrunchSettingsSheet::ValidateEntries() {
    for (const auto& [pageName, properties] : calc_.pages)
        for (const auto& [name, p] : properties) {
            if (IsReal(p)) {
                double number = 0.0;
                if (!ParseEntryReal(p.value, number) || !WithinBounds(number, p)) return false;
            } else if (IsInteger(p)) {
                std::int32_t number = 0;
                if (!ParseEntryInteger(p.value, number) || !WithinBounds(number, p)) return false;
            }
        }
    return true;
}

bool CNumberCrunchSettingsSheet::CommitOne(const std::string& function, const std::function<void()>& call) {
    try {
        GuardedCall(call);
    } catch (...) {
        if (prompt_ && prompt_(function, fileName_)) throw;
    }
    return true;
}

bool CNumberCrunchSettingsSheet::CommitEntries() {
    for (auto& [pageName, properties] : calc_.pages)
        for (auto& [name, p] : properties) {
            // Read before the call: only module code runs inside the guard.
            if (IsReal(p)) {
                const double number = EntryReal(p.value);
                const RealSetterFn setter = p.realSetter;
                CommitOne(p.function, [setter, number] { setter(number); });
            } else if (IsInteger(p) || IsDropDown(p)) {
                const std::int32_t number = EntryInteger(p.value);
                const IntegerSetterFn setter = p.integerSetter;
                CommitOne(p.function, [setter, number] { setter(number); });
            } else if (IsParagraph(p) || IsWord(p)) {
                const std::string text = p.value;
                const StringSetterFn setter = p.stringSetter;
                CommitOne(p.function, [setter, &text] { setter(text.c_str()); });
            }
        }
    return true;
}

void CNumberCrunchSettingsSheet::DestroyWindow() {
    // Only inputs of this sheet: a second sheet for the same calculation has taken over the records' slots.
    const auto release = [this](void*& control) {
        auto* input = static_cast<CInputDlg*>(control);
        if (input == nullptr || !isAncestorOf(input)) return;
        delete input;
        control = nullptr;
    };
    for (auto& [pageName, properties] : calc_.pages)
        for (auto& [name, p] : properties) release(p.control);
    release(calc_.stdInputControl);
    while (tabs_->count() > 0) {
        QWidget* page = tabs_->widget(0);
        tabs_->removeTab(0);
        delete page;
    }
    hide();
}

void CNumberCrunchSettingsSheet::accept() {
    if (!ValidateEntries()) {
        MessageStream() << OUT_OF_RANGE << std::flush;
        return;
    }
    try {
        CommitEntries();
    } catch (...) {
        // An exception must not cross Qt's event loop: DoModal rethrows it once the loop has ended.
        pendingFault_ = std::current_exception();
        QDialog::reject();
        return;
    }
    QDialog::accept();
}

int CNumberCrunchSettingsSheet::DoModal() {
    pendingFault_ = nullptr;
    const int result = exec();
    if (pendingFault_) std::rethrow_exception(std::exchange(pendingFault_, nullptr));
    return result;
}

}  // namespace zelvor
