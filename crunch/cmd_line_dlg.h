#pragma once
/// CCMDLineDlg: edits the shell commands run before or after a calculation.
#include <QDialog>
#include <QString>
#include <string>

class QPlainTextEdit;

namespace zelvor {

class CCMDLineDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 160;
    static constexpr int IDC_COMMANDS = 1005;
    static constexpr int MAX_CHARACTERS = 10000;
    static constexpr const char* EXPLANATION =
        "Enter commands to be executed, e.g. \"move results.txt ..\\Results\\.\". Separate subsequent commands "
        "with an ampersand sign (&&).";

    /// Shows commands under title; OK stores the edited text back into commands, which must outlive the dialog.
    CCMDLineDlg(QString title, std::string& commands, QWidget* parent);
    QPlainTextEdit* Edit() const { return edit_; }

public slots:
    void accept() override;

private:
    std::string& commands_;
    QPlainTextEdit* edit_;
};

}  // namespace zelvor
