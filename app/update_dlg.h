#pragma once
/// CUpdateDlg: the "Updates" page of the settings (weekly check, what to do with a newer version, check now).
#include <QWidget>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace zelvor {

class CMyApp;

/// Shows and edits the update settings of app's CAppSettings; every click is stored at once.
class CUpdateDlg : public QWidget {
    Q_OBJECT
public:
    CUpdateDlg(CMyApp& app, QWidget* parent = nullptr);

    QCheckBox* WeeklyCheckBox() const { return weeklyCheck_; }
    QRadioButton* TellButton() const { return tellButton_; }
    QRadioButton* DownloadButton() const { return downloadButton_; }
    QPushButton* CheckNowButton() const { return checkNowButton_; }

private:
    /// The radio buttons count only while the weekly check is on.
    void EnableActionButtons();

    CMyApp& app_;
    QCheckBox* weeklyCheck_ = nullptr;
    QRadioButton* tellButton_ = nullptr;
    QRadioButton* downloadButton_ = nullptr;
    QPushButton* checkNowButton_ = nullptr;
};

}  // namespace zelvor
