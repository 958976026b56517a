#include "crunch/module_inputs.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QVBoxLayout>
#include <charconv>
#include <utility>

#include "app/app_profile.h"
#include "scrivel/scrivel_setup.h"

namespace zelvor {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

/// The text without leading blanks and a '+' that from_chars would refuse.
const char* NumberStart(const std::string& text) {
    const char* p = text.c_str();
    while (IsBlank(*p)) ++p;
    if (*p == '+' && p[1] != '-') ++p;
    return p;
}

bool OnlyBlanks(const char* p, const char* end) {
    for (; p != end; ++p)
        if (!IsBlank(*p)) return false;
    return true;
}

/// Parses the leading number of text; whole is set when nothing but blanks follows it.
template <typename T>
bool ParseLeading(const std::string& text, T& value, bool& whole) {
    const char* begin = NumberStart(text);
    const char* end = text.c_str() + text.size();
    const auto [stop, error] = std::from_chars(begin, end, value);
    whole = error == std::errc() && OnlyBlanks(stop, end);
    return error == std::errc();
}

template <typename T>
bool ParseWhole(const std::string& text, T& value) {
    if (OnlyBlanks(text.c_str(), text.c_str() + text.size())) {
        value = 0;
        return true;
    }
    bool whole = false;
    return ParseLeading(text, value, whole) && whole;
}

template <typename T>
T ParsePrefix(const std::string& text) {
    T value = 0;
    bool whole = false;
    return ParseLeading(text, value, whole) ? value : T(0);
}

/// "%f" without the locale: Qt applications run under the user's locale, the module expects a decimal point.
std::string FixedText(double value) {
    char text[400];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    return error == std::errc() ? std::string(text, end) : std::string("0.000000");
}

QString IdName(int id) { return QString::number(id); }

}  // namespace

bool ParseEntryReal(const std::string& text, double& value) { return ParseWhole(text, value); }
bool ParseEntryInteger(const std::string& text, std::int32_t& value) { return ParseWhole(text, value); }
double EntryReal(const std::string& text) { return ParsePrefix<double>(text); }
std::int32_t EntryInteger(const std::string& text) { return ParsePrefix<std::int32_t>(text); }

// --- CInputDlg ----------------------------------------------------------------------------------

CInputDlg::CInputDlg(QWidget* page, const std::string& function, int templateId, std::string section,
                     std::string& value)
    : QWidget(page),
      value_(value),
      section_(std::move(section)),
      entry_(page->windowTitle().toStdString() + "_" + function + "_" + std::to_string(templateId)) {
    setObjectName(IdName(templateId));
    value_ = AppProfile().GetProfileString(section_, entry_, value_);
}

CInputDlg::~CInputDlg() { AppProfile().WriteProfileString(section_, entry_, value_); }

QVBoxLayout* CInputDlg::Frame(const QString& group, const QString& prompt) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* box = new QGroupBox(group, this);
    box->setObjectName(IdName(IDC_GROUP));
    outer->addWidget(box);
    auto* inner = new QVBoxLayout(box);
    auto* label = new QLabel(prompt, box);
    label->setObjectName(IdName(IDC_PROMPT));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    inner->addWidget(label);
    return inner;
}

QLineEdit* CInputDlg::FramedLineEdit(const QString& group, const QString& prompt) {
    QVBoxLayout* layout = Frame(group, prompt);
    auto* edit = new QLineEdit(QString::fromStdString(value_), this);
    edit->setObjectName(IdName(IDC_LINE_EDIT));
    layout->addWidget(edit);
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { value_ = text.toStdString(); });
    return edit;
}

// --- the five inputs ----------------------------------------------------------------------------

CRealInput::CRealInput(QWidget* page, const std::string& function, const std::string& section, std::string& value,
                       const QString& group, const QString& prompt, double minimum, double maximum)
    : CInputDlg(page, function, IDD, section, value) {
    QVBoxLayout* layout = Frame(group, prompt);
    scroller_ = CreateScrivel(this, IDC_SCROLLER);
    layout->addWidget(scroller_);
    shown_ = EntryReal(value_);
    InitScrivel(scroller_, minimum, maximum, SMALL_CHANGE, LARGE_CHANGE, group + QStringLiteral(" = "), QString(),
                PRECISION, &shown_);
    QObject::connect(scroller_, SIGNAL(NewValue(double)), this, SLOT(OnNewValue(double)));
}

void CRealInput::OnNewValue(double value) {
    shown_ = value;
    value_ = FixedText(value);
}

CIntegerInput::CIntegerInput(QWidget* page, const std::string& function, const std::string& section,
                             std::string& value, const QString& group, const QString& prompt)
    : CInputDlg(page, function, IDD, section, value) {
    edit_ = FramedLineEdit(group, prompt);
}

CComboInput::CComboInput(QWidget* page, const std::string& function, const std::string& section,
                         std::string& value, const QString& group, const QString& prompt,
                         const std::map<std::int32_t, std::string>& items)
    : CInputDlg(page, function, IDD, section, value) {
    QVBoxLayout* layout = Frame(group, prompt);
    list_ = new QComboBox(this);
    list_->setObjectName(IdName(IDC_LIST));
    for (const auto& [key, text] : items) list_->addItem(QString::fromStdString(text));
    const std::int32_t position = EntryInteger(value_);
    list_->setCurrentIndex(position >= 0 && position < list_->count() ? position : -1);
    layout->addWidget(list_);
    // Only the user's choice is a new value: an unopened list keeps the remembered text as it is.
    connect(list_, &QComboBox::activated, this, [this](int index) { value_ = std::to_string(index); });
}

CParagraphInput::CParagraphInput(QWidget* page, const std::string& function, const std::string& section,
                                 std::string& value, const QString& group, const QString& prompt)
    : CInputDlg(page, function, IDD, section, value) {
    QVBoxLayout* layout = Frame(group, prompt);
    edit_ = new QPlainTextEdit(this);
    edit_->setObjectName(IdName(IDC_EDIT));
    edit_->setPlainText(QString::fromStdString(value_).left(MAX_CHARACTERS));
    layout->addWidget(edit_);
    connect(edit_, &QPlainTextEdit::textChanged, this, [this] {
        QString text = edit_->toPlainText();
        if (text.size() > MAX_CHARACTERS) {
            // The edit has no length limit of its own: cut what was typed or pasted beyond it.
            text.truncate(MAX_CHARACTERS);
            const QSignalBlocker blocker(edit_);
            edit_->setPlainText(text);
            edit_->moveCursor(QTextCursor::End);
        }
        value_ = text.toStdString();
    });
}

CWordInput::CWordInput(QWidget* page, const std::string& function, const std::string& section, std::string& value,
                       const QString& group, const QString& prompt)
    : CInputDlg(page, function, IDD, section, value) {
    edit_ = FramedLineEdit(group, prompt);
}

}  // namespace zelvor
