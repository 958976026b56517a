#pragma once
/// The generated inputs of the module settings sheet: one child dialog per property, each editing the text of
/// one property value and remembering it in the settings store.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <map>
#include <string>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QVBoxLayout;

namespace zelvor {

/// Reads a whole entry as a decimal number; surrounding blanks are allowed, an empty entry reads as 0.
/// False when the text is not one number.
bool ParseEntryReal(const std::string& text, double& value);
bool ParseEntryInteger(const std::string& text, std::int32_t& value);
/// The number a setter receives: the leading number of the text, 0 when there is none.
double EntryReal(const std::string& text);
std::int32_t EntryInteger(const std::string& text);

/// Base of the five inputs: a group box with the property name, the prompt and one control. The value is
/// read from the settings store when the input is made and written back when it goes; in between every
/// change in the control reaches the value at once.
class CInputDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int IDC_GROUP = 1089;
    static constexpr int IDC_PROMPT = 1094;

    /// page's window title, function and templateId name the entry ("P_F_169") in section. value must outlive
    /// the input.
    CInputDlg(QWidget* page, const std::string& function, int templateId, std::string section, std::string& value);
    /// Stores the value under (section, entry).
    ~CInputDlg() override;
    CInputDlg(const CInputDlg&) = delete;
    CInputDlg& operator=(const CInputDlg&) = delete;

    const std::string& Section() const { return section_; }
    const std::string& Entry() const { return entry_; }
    const std::string& Value() const { return value_; }

protected:
    /// The group box (title group) with the prompt; the returned layout takes the control.
    QVBoxLayout* Frame(const QString& group, const QString& prompt);
    static constexpr int IDC_LINE_EDIT = 1016;
    /// The frame with a one-line edit (control 1016) that writes its text back to the value at once.
    QLineEdit* FramedLineEdit(const QString& group, const QString& prompt);

    std::string& value_;

private:
    std::string section_;
    std::string entry_;
};

/// A "real" property: a slider-scroller; the value is the chosen number in "%f" form.
class CRealInput : public CInputDlg {
    Q_OBJECT

public:
    static constexpr int IDD = 167;
    static constexpr int IDC_SCROLLER = 1069;
    static constexpr short PRECISION = 4;
    static constexpr double SMALL_CHANGE = 1.0;
    static constexpr double LARGE_CHANGE = 5.0;

    CRealInput(QWidget* page, const std::string& function, const std::string& section, std::string& value,
               const QString& group, const QString& prompt, double minimum, double maximum);
    QWidget* Scroller() const { return scroller_; }

private slots:
    void OnNewValue(double value);

private:
    QWidget* scroller_;
    double shown_ = 0.0;
};

/// An "integer" property: a one-line edit whose text is the value.
class CIntegerInput : public CInputDlg {
    Q_OBJECT

public:
    static constexpr int IDD = 169;
    static constexpr int IDC_EDIT = 1016;

    CIntegerInput(QWidget* page, const std::string& function, const std::string& section, std::string& value,
                  const QString& group, const QString& prompt);
    QLineEdit* Edit() const { return edit_; }

private:
    QLineEdit* edit_;
};

/// A "dropdownlist" property: the items in key order; the value is the chosen position in "%d" form, written
/// only when the user picks one.
class CComboInput : public CInputDlg {
    Q_OBJECT

public:
    static constexpr int IDD = 177;
    static constexpr int IDC_LIST = 1100;

    CComboInput(QWidget* page, const std::string& function, const std::string& section, std::string& value,
                const QString& group, const QString& prompt, const std::map<std::int32_t, std::string>& items);
    QComboBox* List() const { return list_; }

private:
    QComboBox* list_;
};

/// A "string" property with a "paragraph" text box (and the standard-input text): a multi-line edit.
class CParagraphInput : public CInputDlg {
    Q_OBJECT

public:
    static constexpr int IDD = 171;
    static constexpr int IDC_EDIT = 1005;
    static constexpr int MAX_CHARACTERS = 10240;

    CParagraphInput(QWidget* page, const std::string& function, const std::string& section, std::string& value,
                    const QString& group, const QString& prompt);
    QPlainTextEdit* Edit() const { return edit_; }

private:
    QPlainTextEdit* edit_;
};

/// A "string" property with a "word" text box: a one-line edit.
class CWordInput : public CInputDlg {
    Q_OBJECT

public:
    static constexpr int IDD = 170;
    static constexpr int IDC_EDIT = 1016;

    CWordInput(QWidget* page, const std::string& function, const std::string& section, std::string& value,
               const QString& group, const QString& prompt);
    QLineEdit* Edit() const { return edit_; }

private:
    QLineEdit* edit_;
};

}  // namespace zelvor
