#pragma once
/// CConfigViewDlg: the configuration window's companion: the live preview of the screensaver and the
/// controls that choose which coordinate files it shows, for how long each, and in which order.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QLineEdit;

namespace zelvor {

class CDisplayPropSheet;
class CDravikDoc;
class CNumberCrunching;
class COptions;
class CSaverApp;
class CSaverView;

class CConfigViewDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int IDD = 135;
    static constexpr int IDC_PREVIEW = 1001;
    static constexpr int IDC_XYZFILE = 1013;
    static constexpr int IDC_PRE = 1021;
    static constexpr int IDC_TEST = 1022;
    static constexpr int IDC_PROGRESS = 1048;
    static constexpr int IDC_MDRADIO = 1050;
    static constexpr int IDC_XYZRADIO = 1051;
    static constexpr int IDC_POST = 1052;
    static constexpr int IDC_CWD = 1053;
    static constexpr int IDC_CALCCOMBO = 1054;
    static constexpr int IDC_OPTIONS = 1055;
    static constexpr int IDC_LOADNEXT = 1061;
    static constexpr int IDC_LOADTIMESCROLLER = 1065;
    static constexpr int IDC_XYZCOMBO = 1066;
    static constexpr int IDC_INFO = 1068;
    static constexpr int IDC_SPIN1 = 1070;
    static constexpr int IDC_SHUFFLE = 1071;
    static constexpr int IDC_SETTINGS = 1073;
    static constexpr int IDC_POLLEDIT = 1079;

    static constexpr const char* DEMO_ITEM = "<Demo system. No files added>";
    static constexpr const char* CALCULATION_CHOICE = "Type of NumberCrunching";
    static constexpr const char* DEFAULT_CALCULATION = "Ondrel";
    static constexpr const char* OPEN_TITLE = "Open a coordinate file";

    /// Chooses coordinate files: (title, start folder, filters) -> chosen paths, empty on Cancel.
    using FileChooser =
        std::function<std::vector<std::string>(const QString& title, const QString& folder, const QString& filters)>;

    /// The companion of sheet, showing doc (the application's document) in its embedded view.
    CConfigViewDlg(CDisplayPropSheet* sheet, CSaverApp& app, CDravikDoc* doc, QWidget* parent = nullptr);
    ~CConfigViewDlg() override;

    /// Fills the controls from the settings and puts the preview in place. Returns true.
    bool OnInitDialog();
    /// "Load Coordinate file(s)": choose files, store them as the new playlist, open the first one.
    void OpenFile();
    /// Fills the file combo box from the settings store (also emptying the playlist) or from the playlist.
    void PopulateXYZCombo(bool fromRegistry);
    /// Seconds between two polls of a running calculation, as the polling spin says.
    double GetDisplayPollingFrequency() const;
    /// The playlist took fileName: the combo box shows it.
    void SelectFile(const std::string& fileName);
    /// Load progress at the sheet: show the progress bar in place of the load button while loading.
    void ShowProgress(bool loading, int percent);
    /// The loader's status text.
    void ShowInfoText(const QString& text);
    /// Stores and advises the embedded document to end its work.
    void OnClose();

    CSaverView* View() const { return view_; }
    CDravikDoc* Document() const { return doc_; }
    /// Replaces the file dialog (tests).
    void SetFileChooser(FileChooser chooser) { chooseFiles_ = std::move(chooser); }
    /// The control with this id (objectName is the decimal id), or null.
    QWidget* GetDlgItem(int id) const;

public slots:
    void OnXyzfile() { OpenFile(); }
    void OnSelchangeXyzcombo();
    void OnFileShuffleChk();
    void OnNewValueLoadtimescroller(double value);
    void OnDeltaposSpin1();
    void OnXyzradio();
    void OnMdradio();
    void OnSelchangeCalccombo();
    void OnSettings();
    // Buttons of the calculation rows that do nothing.
    void OnPrebtn() {}
    void OnPostbtn() {}
    void OnCwdbtn() {}
    void OnOptionbtn() {}
    void OnTestbtn() {}

private:
    void BuildControls();
    void HideCalculationControls();
    void EnableFileControls(bool enable);
    /// Opens playlist entry n in the preview; returns its path (empty when it has none).
    std::string OpenEntry(int n);
    /// Restarts the change-file timer over the playlist as it is now.
    void RestartChangeFileTimer();
    QString StartFolder() const;
    /// The calculation of the embedded document (made on first use; null without calculation modules).
    CNumberCrunching* Calculation();
    bool IsDocumentCalculating();

    CDisplayPropSheet* sheet_;
    CSaverApp& app_;
    CDravikDoc* doc_;
    CSaverView* view_ = nullptr;
    QWidget* preview_ = nullptr;
    std::string calculationName_;
    FileChooser chooseFiles_;

    QPushButton* loadButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QComboBox* fileCombo_ = nullptr;
    QLabel* info_ = nullptr;
    QCheckBox* shuffle_ = nullptr;
    QLabel* loadNext_ = nullptr;
    QWidget* loadTimeScroller_ = nullptr;
    QRadioButton* mdRadio_ = nullptr;
    QRadioButton* xyzRadio_ = nullptr;
    QComboBox* calcCombo_ = nullptr;
    QPushButton* options_ = nullptr;
    QLineEdit* pollEdit_ = nullptr;
    QSpinBox* pollSpin_ = nullptr;
    QWidget* calculationGroup_ = nullptr;
    double loadTime_ = 0.0;
    std::unique_ptr<CNumberCrunching> calculation_;
    QPointer<COptions> optionsPanel_;
};

}  // namespace zelvor
