#include "app/update_dlg.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/download_thread.h"
#include "app/my_app.h"

namespace zelvor {

CUpdateDlg::CUpdateDlg(CMyApp& app, QWidget* parent) : QWidget(parent), app_(app) {
    setWindowTitle(QStringLiteral("Updates"));
    const QString server = QString::fromStdString(app_.UpdateServer().ServerName());
    weeklyCheck_ = new QCheckBox(QStringLiteral("Check online every week for a more recent version from ") + server,
                                 this);
    tellButton_ = new QRadioButton(QStringLiteral("Tell me if a new version is present"), this);
    downloadButton_ = new QRadioButton(QStringLiteral("Download and install new version if present"), this);
    checkNowButton_ =
        new QPushButton(QStringLiteral("See if there is a more recent version available at this moment."), this);

    const CAppSettings& settings = app_.appSettings;
    weeklyCheck_->setChecked(settings.weeklyUpdateCheck != 0);
    downloadButton_->setChecked(settings.updateAction == UPDATE_ACTION_DOWNLOAD);
    tellButton_->setChecked(settings.updateAction != UPDATE_ACTION_DOWNLOAD);
    EnableActionButtons();

    connect(weeklyCheck_, &QCheckBox::clicked, this, [this](bool checked) {
        app_.appSettings.weeklyUpdateCheck = checked ? 1 : 0;
        EnableActionButtons();
    });
    connect(tellButton_, &QRadioButton::clicked, this, [this] { app_.appSettings.updateAction = 0; });
    connect(downloadButton_, &QRadioButton::clicked, this,
            [this] { app_.appSettings.updateAction = UPDATE_ACTION_DOWNLOAD; });
    connect(checkNowButton_, &QPushButton::clicked, this, [this] { app_.CheckOnlineForUpdate(true, 0); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(weeklyCheck_);
    layout->addWidget(tellButton_);
    layout->addWidget(downloadButton_);
    layout->addSpacing(12);
    layout->addWidget(checkNowButton_);
    layout->addStretch();
}

void CUpdateDlg::EnableActionButtons() {
    const bool on = weeklyCheck_->isChecked();
    tellButton_->setEnabled(on);
    downloadButton_->setEnabled(on);
}

}  // namespace zelvor
