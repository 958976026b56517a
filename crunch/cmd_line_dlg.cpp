#include "crunch/cmd_line_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QVBoxLayout>
#include <utility>

namespace zelvor {

CCMDLineDlg::CCMDLineDlg(QString title, std::string& commands, QWidget* parent)
    : QDialog(parent), commands_(commands), edit_(new QPlainTextEdit(this)) {
    setObjectName(QString::number(IDD));
    setWindowTitle(std::move(title));
    auto* layout = new QVBoxLayout(this);
    auto* explanation = new QLabel(QString::fromLatin1(EXPLANATION), this);
    explanation->setTextFormat(Qt::PlainText);
    explanation->setWordWrap(true);
    layout->addWidget(explanation);
    edit_->setObjectName(QString::number(IDC_COMMANDS));
    edit_->setPlainText(QString::fromStdString(commands_).left(MAX_CHARACTERS));
    connect(edit_, &QPlainTextEdit::textChanged, this, [this] {
        // The edit has no length limit of its own: cut what was typed or pasted beyond it.
        if (edit_->document()->characterCount() - 1 <= MAX_CHARACTERS) return;
        const QSignalBlocker blocker(edit_);
        edit_->setPlainText(edit_->toPlainText().left(MAX_CHARACTERS));
        edit_->moveCursor(QTextCursor::End);
    });
    layout->addWidget(edit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCMDLineDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCMDLineDlg::reject);
    layout->addWidget(buttons);
}

void CCMDLineDlg::accept() {
    commands_ = edit_->toPlainText().toStdString();
    QDialog::accept();
}

}  // namespace zelvor
