#include "greltlib/helper/crash_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <cstdlib>
#include <cstring>

namespace zelvor::grelt {

namespace {

bool Named(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// Labels break lines at "\n"; a stray "\r" would show as a box.
QString Shown(const std::string& text) {
    return QString::fromStdString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

QIcon ProgramIcon(const std::string& executablePath, const QStyle* style) {
    const QString name = QFileInfo(QString::fromStdString(executablePath)).completeBaseName();
    if (!name.isEmpty()) {
        const QIcon themed = QIcon::fromTheme(name);
        if (!themed.isNull()) return themed;
    }
    return style->standardIcon(QStyle::SP_MessageBoxWarning);
}

QLabel* TextLabel(const std::string& text, QWidget* parent) {
    auto* label = new QLabel(Shown(text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::WindowText);
    return label;
}

}  // namespace

bool DisplayConfigured() {
    if (const char* platform = std::getenv("QT_QPA_PLATFORM")) {
        if (std::strncmp(platform, "offscreen", 9) == 0 || std::strncmp(platform, "minimal", 7) == 0) return false;
    }
    return Named("DISPLAY") || Named("WAYLAND_DISPLAY");
}

std::unique_ptr<QApplication> OpenDisplay(int& argc, char** argv) {
    // Qt aborts when no platform plugin starts; with offscreen as the last choice it always starts, and
    // landing there means the display named could not be opened.
    std::string platforms;
    if (Named("QT_QPA_PLATFORM"))
        platforms = std::getenv("QT_QPA_PLATFORM");
    else
        platforms = Named("WAYLAND_DISPLAY") ? "wayland;xcb" : "xcb";
    platforms += ";offscreen";
    setenv("QT_QPA_PLATFORM", platforms.c_str(), 1);
    auto app = std::make_unique<QApplication>(argc, argv);
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return nullptr;
    return app;
}

DialogAnswer ShowCrashDialog(const DialogTexts& texts, const std::string& report, const std::string& executablePath) {
    QDialog dialog;
    // The crashed program may be a full-screen saver, frozen above everything: the dialog must come up over it.
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog.setWindowTitle(QString::fromStdString(texts.caption));
    dialog.setBackgroundRole(QPalette::Window);
    dialog.setAutoFillBackground(true);

    auto* icon = new QLabel(&dialog);
    const int iconSize = dialog.style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    icon->setPixmap(ProgramIcon(executablePath, dialog.style()).pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignTop);

    auto* reportView = new QPlainTextEdit(&dialog);
    reportView->setPlainText(Shown(report));
    reportView->setReadOnly(true);
    reportView->setTextInteractionFlags(Qt::NoTextInteraction);
    reportView->setLineWrapMode(QPlainTextEdit::NoWrap);
    reportView->setMinimumSize(560, 240);

    auto* textColumn = new QVBoxLayout;
    textColumn->addWidget(TextLabel(texts.message, &dialog));
    textColumn->addWidget(TextLabel(texts.instruction, &dialog));
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(textColumn, 1);

    DialogAnswer answer;
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (const auto& button : texts.buttons) {
        auto* push = new QPushButton(QString::fromStdString(button.label), &dialog);
        push->setAutoDefault(false);  // a stray Enter must not send mail
        QObject::connect(push, &QPushButton::clicked, &dialog, [&dialog, &answer, button] {
            answer = {button.result, button.mails};
            dialog.done(button.result);
        });
        buttons->addWidget(push);
    }

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(reportView, 1);
    layout->addLayout(top);
    layout->addLayout(buttons);

    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    dialog.exec();
    // Closing the window leaves the answer at its default: declined, no mail.
    return answer;
}

void ShowError(const std::string& text) {
    QMessageBox::critical(nullptr, QStringLiteral("Error"), QString::fromStdString(text));
}

}  // namespace zelvor::grelt
