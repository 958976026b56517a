#include "saver/config_view_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWindow>
#include <cmath>
#include <cstdio>
#include <map>

#include "app/gui_stream.h"
#include "crunch/number_crunch_settings_sheet.h"
#include "crunch/number_crunching.h"
#include "crunch/options_dlg.h"
#include "model/dravik_doc.h"
#include "saver/config_sheet.h"
#include "saver/playlist.h"
#include "saver/saver_app.h"
#include "saver/saver_view.h"
#include "scrivel/scrivel_setup.h"

namespace zelvor {

namespace {

constexpr int PREVIEW_WIDTH = 320;
constexpr int PREVIEW_HEIGHT = 260;
constexpr double LOAD_TIME_MIN = 20.0;
constexpr double LOAD_TIME_MAX = 3600.0;
constexpr double POLLING_MIN_MS = 10.0;

QString IdName(int id) { return QString::number(id); }

/// The place of the preview: a native window of its own with the view's window inside it, following its size.
/// (Inside a window container the toolkit never shows the OpenGL window's pictures on X servers without a
/// compositor; as the child of a native window it draws as it does in a settings dialog's preview.)
class PreviewPlace : public QWidget {
public:
    PreviewPlace(QWindow* view, QWidget* parent) : QWidget(parent), view_(view) {
        setAttribute(Qt::WA_NativeWindow);
        winId();
        view_->setParent(windowHandle());
        view_->setGeometry(0, 0, std::max(width(), 1), std::max(height(), 1));
        view_->show();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        view_->setGeometry(0, 0, std::max(width(), 1), std::max(height(), 1));
    }

private:
    QWindow* view_;
};

/// The filters of the file dialog, in the toolkit's syntax (patterns separated by blanks).
const char* const kFileFilters =
    "Coordinate Files (*.xyz *.pdb *.ent *.cube *.cif *.mmcif *.xyz.gz *.pdb.gz *.ent.gz *.cube.gz *.cif.gz "
    "*.mmcif.gz);;XYZ Files (*.xyz *.xyz.gz);;Protein Data Bank Files (*.pdb *.ent *.pdb.gz *.ent.gz);;"
    "Gaussian Cube Files (*.cube *.cube.gz);;mmCIF Files (*.cif *.mmcif *.cif.gz *.mmcif.gz);;All Files (*)";

std::vector<std::string> ChooseWithFileDialog(QWidget* parent, const QString& title, const QString& folder,
                                              const QString& filters) {
    std::vector<std::string> paths;
    for (const QString& path : QFileDialog::getOpenFileNames(parent, title, folder, filters))
        paths.push_back(path.toStdString());
    return paths;
}

}  // namespace

CConfigViewDlg::CConfigViewDlg(CDisplayPropSheet* sheet, CSaverApp& app, CDravikDoc* doc, QWidget* parent)
    : QWidget(parent), sheet_(sheet), app_(app), doc_(doc) {
    setObjectName(IdName(IDD));
    chooseFiles_ = [this](const QString& title, const QString& folder, const QString& filters) {
        return ChooseWithFileDialog(this, title, folder, filters);
    };
    // The sheet's Animate page animates the preview: the view never makes an animation dialog of its own.
    view_ = new CSaverView(doc_, 1);
    view_->standAlone = 0;
    BuildControls();
}

CConfigViewDlg::~CConfigViewDlg() {
    // The calculation writes into the document: it ends first.
    calculation_.reset();
    OnClose();
    // The container owns the view's window and deletes it with itself.
}

QWidget* CConfigViewDlg::GetDlgItem(int id) const { return findChild<QWidget*>(IdName(id)); }

void CConfigViewDlg::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    // The view is an OpenGL window: it takes the place of the preview placeholder.
    preview_ = new PreviewPlace(view_, this);
    preview_->setObjectName(IdName(IDC_PREVIEW));
    preview_->setMinimumSize(PREVIEW_WIDTH, PREVIEW_HEIGHT);
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(2, 2, 2, 2);
    frameLayout->addWidget(preview_);
    layout->addWidget(frame, 1);

    auto* files = new QHBoxLayout;
    loadButton_ = new QPushButton(QStringLiteral("Load Coordinate file(s)"), this);
    loadButton_->setObjectName(IdName(IDC_XYZFILE));
    loadButton_->setAutoDefault(false);
    connect(loadButton_, &QPushButton::clicked, this, &CConfigViewDlg::OnXyzfile);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(IdName(IDC_PROGRESS));
    progress_->hide();
    fileCombo_ = new QComboBox(this);
    fileCombo_->setObjectName(IdName(IDC_XYZCOMBO));
    fileCombo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    fileCombo_->setMinimumContentsLength(16);
    connect(fileCombo_, &QComboBox::activated, this, &CConfigViewDlg::OnSelchangeXyzcombo);
    files->addWidget(loadButton_);
    files->addWidget(progress_);
    files->addWidget(fileCombo_, 1);
    layout->addLayout(files);

    info_ = new QLabel(this);
    info_->setObjectName(IdName(IDC_INFO));
    info_->setWordWrap(true);
    layout->addWidget(info_);

    shuffle_ = new QCheckBox(QStringLiteral("Shuffle Coordinate Files"), this);
    shuffle_->setObjectName(IdName(IDC_SHUFFLE));
    connect(shuffle_, &QCheckBox::clicked, this, &CConfigViewDlg::OnFileShuffleChk);
    layout->addWidget(shuffle_);

    auto* loadTime = new QHBoxLayout;
    loadNext_ = new QLabel(QStringLiteral("Load next file after"), this);
    loadNext_->setObjectName(IdName(IDC_LOADNEXT));
    loadTimeScroller_ = CreateScrivel(this, IDC_LOADTIMESCROLLER);
    QObject::connect(loadTimeScroller_, SIGNAL(NewValue(double)), this, SLOT(OnNewValueLoadtimescroller(double)));
    loadTime->addWidget(loadNext_);
    loadTime->addWidget(loadTimeScroller_, 1);
    layout->addLayout(loadTime);

    // The calculation rows: they stay hidden while no calculation module is loaded.
    calculationGroup_ = new QWidget(this);
    auto* calc = new QGridLayout(calculationGroup_);
    mdRadio_ = new QRadioButton(QStringLiteral("Molecular Dynamics Calculations"), calculationGroup_);
    mdRadio_->setObjectName(IdName(IDC_MDRADIO));
    xyzRadio_ = new QRadioButton(QStringLiteral("Display Coordinate Files"), calculationGroup_);
    xyzRadio_->setObjectName(IdName(IDC_XYZRADIO));
    connect(mdRadio_, &QRadioButton::clicked, this, &CConfigViewDlg::OnMdradio);
    connect(xyzRadio_, &QRadioButton::clicked, this, &CConfigViewDlg::OnXyzradio);
    calcCombo_ = new QComboBox(calculationGroup_);
    calcCombo_->setObjectName(IdName(IDC_CALCCOMBO));
    connect(calcCombo_, &QComboBox::activated, this, &CConfigViewDlg::OnSelchangeCalccombo);
    options_ = new QPushButton(QStringLiteral("Settings..."), calculationGroup_);
    options_->setObjectName(IdName(IDC_OPTIONS));
    connect(options_, &QPushButton::clicked, this, &CConfigViewDlg::OnOptionbtn);
    pollEdit_ = new QLineEdit(calculationGroup_);
    pollEdit_->setObjectName(IdName(IDC_POLLEDIT));
    pollEdit_->setReadOnly(true);
    pollSpin_ = new QSpinBox(calculationGroup_);
    pollSpin_->setObjectName(IdName(IDC_SPIN1));
    connect(pollSpin_, &QSpinBox::valueChanged, this, &CConfigViewDlg::OnDeltaposSpin1);
    auto* settings = new QPushButton(QStringLiteral("Settings"), calculationGroup_);
    settings->setObjectName(IdName(IDC_SETTINGS));
    connect(settings, &QPushButton::clicked, this, &CConfigViewDlg::OnSettings);
    const struct {
        int id;
        const char* text;
        void (CConfigViewDlg::*handler)();
    } idleButtons[] = {{IDC_PRE, "Pre-Calculation...", &CConfigViewDlg::OnPrebtn},
                       {IDC_POST, "Post-Calculation...", &CConfigViewDlg::OnPostbtn},
                       {IDC_CWD, "Working Folder...", &CConfigViewDlg::OnCwdbtn},
                       {IDC_TEST, "Test", &CConfigViewDlg::OnTestbtn}};
    calc->addWidget(new QLabel(QStringLiteral("Type of Screen Saving"), calculationGroup_), 0, 0, 1, 2);
    calc->addWidget(xyzRadio_, 1, 0);
    calc->addWidget(mdRadio_, 1, 1);
    calc->addWidget(calcCombo_, 2, 0);
    calc->addWidget(options_, 2, 1);
    calc->addWidget(
        new QLabel(QStringLiteral("Update the 3D View of atom coordinates roughly every"), calculationGroup_), 3, 0);
    auto* polling = new QHBoxLayout;
    polling->addWidget(pollEdit_);
    polling->addWidget(pollSpin_);
    polling->addWidget(new QLabel(QStringLiteral("seconds"), calculationGroup_));
    calc->addLayout(polling, 3, 1);
    int row = 4;
    for (const auto& b : idleButtons) {
        auto* button = new QPushButton(QString::fromLatin1(b.text), calculationGroup_);
        button->setObjectName(IdName(b.id));
        connect(button, &QPushButton::clicked, this, b.handler);
        calc->addWidget(button, row / 2 + 2, row % 2);
        ++row;
    }
    calc->addWidget(settings, row / 2 + 2, row % 2);
    layout->addWidget(calculationGroup_);

    for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(false);
}

bool CConfigViewDlg::OnInitDialog() {
    setWindowTitle(QStringLiteral("CConfigViewDlg window"));
    CAppProfile& profile = app_;

    // Calculation modules: their menu names, or the configured name alone while none are loaded.
    calcCombo_->clear();
    for (const std::string& name : app_.CalculationMenuNames()) calcCombo_->addItem(QString::fromStdString(name));
    const std::string chosen = profile.GetProfileString(CPlaylist::SECTION, CALCULATION_CHOICE, DEFAULT_CALCULATION);
    if (calcCombo_->count() == 0) calcCombo_->addItem(QString::fromStdString(chosen));
    calcCombo_->setCurrentIndex(std::max(calcCombo_->findText(QString::fromStdString(chosen)), 0));

    progress_->setRange(0, 100);

    // Polling spin: positions 0..100 span 0.01 s to 100 s logarithmically.
    pollSpin_->setRange(0, 100);
    const double interval = std::max(app_.pollingInterval, POLLING_MIN_MS);
    {
        const QSignalBlocker block(pollSpin_);
        pollSpin_->setValue(static_cast<int>((std::log10(interval) - 1.0) * 25.0));
    }
    pollEdit_->setText(QString::asprintf("%3.3f", GetDisplayPollingFrequency()));

    loadTime_ = profile.GetProfileInt(CPlaylist::SECTION, CPlaylist::LOAD_TIME, CPlaylist::DEFAULT_LOAD_TIME);
    loadTime_ = std::clamp(loadTime_, LOAD_TIME_MIN, LOAD_TIME_MAX);
    InitScrivel(loadTimeScroller_, LOAD_TIME_MIN, LOAD_TIME_MAX, 2, 10, QString(), QStringLiteral(" seconds"), 4,
                &loadTime_);

    calculationName_ = calcCombo_->currentText().toStdString();
    options_->setText(QStringLiteral("Settings..."));
    profile.WriteProfileString(CPlaylist::SECTION, CALCULATION_CHOICE, calculationName_);

    PopulateXYZCombo(true);

    shuffle_->setChecked(app_.appSettings.shuffleFiles == 1);
    if (app_.appSettings.shuffleFiles == 1) app_.Playlist().RandomiseFileList();

    if (!CPlaylist::NumberCrunchingConfigured()) {
        xyzRadio_->setChecked(true);
        OnXyzradio();
    } else {
        mdRadio_->setChecked(true);
        OnMdradio();
    }
    HideCalculationControls();
    return true;
}

void CConfigViewDlg::HideCalculationControls() {
    // Calculations need their modules; until a module list is loaded there is nothing to choose.
    calculationGroup_->setVisible(!app_.CalculationMenuNames().empty());
}

void CConfigViewDlg::EnableFileControls(bool enable) {
    loadButton_->setEnabled(enable);
    fileCombo_->setEnabled(enable);
    loadTimeScroller_->setEnabled(enable);
    shuffle_->setEnabled(enable);
    calcCombo_->setEnabled(!enable);
    options_->setEnabled(!enable);
    pollEdit_->setEnabled(!enable);
    pollSpin_->setEnabled(!enable);
}

void CConfigViewDlg::PopulateXYZCombo(bool fromRegistry) {
    CPlaylist& playlist = app_.Playlist();
    int count = 0;
    if (fromRegistry) {
        count = std::clamp(app_.GetProfileInt(CPlaylist::SECTION, CPlaylist::FILES_TO_SHOW,
                                              CPlaylist::DEFAULT_FILES_TO_SHOW),
                           0, CPlaylist::MAX_FILES_TO_SHOW);
        playlist.fileList.clear();
    } else {
        count = static_cast<int>(playlist.fileList.size());
    }
    fileCombo_->clear();
    std::vector<QString> names;
    bool anyFile = false;
    for (int n = 0; n < count; ++n) {
        const std::string key = CPlaylist::EntryKey(n);
        std::string path;
        if (fromRegistry) {
            path = app_.GetProfileString(CPlaylist::SECTION, key, "");
            playlist.fileList[key] = path;
        } else {
            const auto entry = playlist.fileList.find(key);
            if (entry != playlist.fileList.end()) path = entry->second;
        }
        // Items stay in step with the entries: the selected item's index opens the entry of that index.
        names.push_back(QString::fromStdString(FileNameOfPath(path)));
        anyFile = anyFile || (!path.empty() && path != CPlaylist::DEMO_MARKER);
    }
    // A count without stored paths (the first start) is no list of files either.
    if (!anyFile) {
        fileCombo_->addItem(QString::fromLatin1(DEMO_ITEM));
        fileCombo_->setCurrentIndex(0);
        return;
    }
    for (const QString& name : names) fileCombo_->addItem(name);
}

QString CConfigViewDlg::StartFolder() const {
    // On the first start of this version the files that come with the program are offered first.
    if (app_.firstRun) {
        // Beside the program's folder as it was shipped, or where the Debian package puts its sample files.
        const QString shippedFolders[] = {QStringLiteral("/../Coordinate Files"),
                                          QStringLiteral("/../../share/zelvor/samples")};
        for (const QString& relative : shippedFolders) {
            const QDir shipped(QCoreApplication::applicationDirPath() + relative);
            if (shipped.exists()) return shipped.absolutePath();
        }
    }
    return QString();
}

void CConfigViewDlg::OpenFile() {
    CPlaylist& playlist = app_.Playlist();
    playlist.KillChangeFileTimer();
    app_.currentDocument = doc_;
    if (doc_) doc_->AdviseGracefullExit();

    const std::vector<std::string> chosen =
        chooseFiles_(QString::fromLatin1(OPEN_TITLE), StartFolder(), QString::fromLatin1(kFileFilters));
    if (!chosen.empty()) {
        // The stored playlist is replaced only when the sheet's OK keeps the new one.
        playlist.fileList.clear();
        for (std::size_t n = 0; n < chosen.size(); ++n)
            playlist.fileList[CPlaylist::EntryKey(static_cast<int>(n))] = chosen[n];
        if (sheet_) sheet_->ResetAnimationClock();
        PopulateXYZCombo(false);
    }
    RestartChangeFileTimer();
    SelectFile(FileNameOfPath(OpenEntry(0)));
}

void CConfigViewDlg::SelectFile(const std::string& fileName) {
    std::vector<std::string> items;
    for (int i = 0; i < fileCombo_->count(); ++i) items.push_back(fileCombo_->itemText(i).toStdString());
    if (!items.empty()) fileCombo_->setCurrentIndex(static_cast<int>(MatchingComboItem(items, fileName)));
}

void CConfigViewDlg::RestartChangeFileTimer() {
    CPlaylist& playlist = app_.Playlist();
    playlist.UpdateXYZfileListTime();
    // That read the stored count, which is the old list's until the sheet's OK stores the chosen one.
    if (!playlist.fileList.empty()) playlist.filesToShow = static_cast<int>(playlist.fileList.size());
}

void CConfigViewDlg::OnSelchangeXyzcombo() {
    app_.currentDocument = doc_;
    if (doc_) doc_->AdviseGracefullExit();
    OpenEntry(fileCombo_->currentIndex());
}

std::string CConfigViewDlg::OpenEntry(int n) {
    const std::map<std::string, std::string>& files = app_.Playlist().fileList;
    const auto entry = files.find(CPlaylist::EntryKey(n));
    const std::string path = entry != files.end() ? entry->second : std::string();
    // An entry without a path shows the demo system, as the saver itself does.
    app_.OpenDocumentFile(path.empty() ? std::string(CPlaylist::DEMO_MARKER) : path);
    return path;
}

void CConfigViewDlg::OnFileShuffleChk() {
    app_.appSettings.shuffleFiles = shuffle_->isChecked() ? 1 : 0;
    if (shuffle_->isChecked()) {
        app_.Playlist().RandomiseFileList();
        app_.Playlist().listChanged = 1;
    }
}

void CConfigViewDlg::OnNewValueLoadtimescroller(double value) {
    loadTime_ = std::clamp(value, LOAD_TIME_MIN, LOAD_TIME_MAX);
    app_.WriteProfileInt(CPlaylist::SECTION, CPlaylist::LOAD_TIME, static_cast<int>(loadTime_));
    RestartChangeFileTimer();
}

double CConfigViewDlg::GetDisplayPollingFrequency() const {
    return 0.01 * std::pow(10.0, 0.04 * pollSpin_->value());
}

void CConfigViewDlg::OnDeltaposSpin1() {
    const double period = GetDisplayPollingFrequency();
    pollEdit_->setText(QString::asprintf("%3.3f", period));
    app_.pollingInterval = period * 1000.0;
    if (CNumberCrunchModules* modules = app_.Modules()) modules->settings.pollingInterval = app_.pollingInterval;
    if (view_ != nullptr) {
        view_->SetPollingInterval(app_.pollingInterval);
        if (view_->IsPolling()) view_->UpdatePollingFrequency();
    }
    if (doc_) doc_->UpdateAllViews(HINT_FRAME_CHANGED);
}

CNumberCrunching* CConfigViewDlg::Calculation() {
    if (!calculation_ && doc_ != nullptr && app_.Modules() != nullptr) {
        calculation_ = std::make_unique<CNumberCrunching>(*doc_, *app_.Modules(), app_.AppName());
        calculation_->SetHooks(app_.HooksForCalculation([this] { return view_; }));
    }
    return calculation_.get();
}

bool CConfigViewDlg::IsDocumentCalculating() { return doc_ != nullptr && doc_->IsNumberCrunching() != 0; }

void CConfigViewDlg::OnXyzradio() {
    EnableFileControls(true);
    if (sheet_) sheet_->PresentAsNumberCrunching(0);
    app_.WriteProfileString(CPlaylist::SECTION, CPlaylist::NUMBER_CRUNCHING, "No");
    RestartChangeFileTimer();
    if (IsDocumentCalculating()) {
        Calculation()->AbortNumberCrunching();
        if (view_ != nullptr) view_->UpdatePollingFrequency();
        if (doc_->GetTitleText()[0] == '\0') {
            PopulateXYZCombo(false);
            OpenEntry(0);
        }
    }
}

void CConfigViewDlg::OnMdradio() {
    EnableFileControls(false);
    const std::string file = app_.GetNumberCrunchModuleName();
    CNumberCrunchModules* modules = app_.Modules();
    if (modules != nullptr) {
        const auto calc = modules->calculations.find(file);
        if (calc != modules->calculations.end() && calc->second.pages.empty()) options_->setEnabled(false);
    }
    if (sheet_) sheet_->PresentAsNumberCrunching(1);
    if (IsDocumentCalculating()) return;
    if (doc_) doc_->AdviseGracefullExit();
    app_.WriteProfileString(CPlaylist::SECTION, CPlaylist::NUMBER_CRUNCHING, "Yes");
    if (file.empty()) {
        MessageStream() << "Select a calculation first." << std::endl;
        xyzRadio_->setChecked(true);
        OnXyzradio();
        return;
    }
    if (doc_ == nullptr || Calculation() == nullptr) return;
    doc_->DeleteContents();
    if (Calculation()->SetTypeOfNumberCrunching(file) == 0) return;
    // Never shown: it hands the remembered entries to the module.
    CNumberCrunchSettingsSheet settings(*modules, file, QString::fromStdString(calculationName_), this,
                                        doc_->moduleLibraryName);
    settings.SetModuleErrorPrompt(app_.ModuleFaultPrompt());
    if (settings.CommitEntries()) settings.DestroyWindow();
}

void CConfigViewDlg::OnSelchangeCalccombo() {
    calculationName_ = calcCombo_->currentText().toStdString();
    options_->setText(QStringLiteral("Settings for ") + QString::fromStdString(calculationName_));
    app_.WriteProfileString(CPlaylist::SECTION, CALCULATION_CHOICE, calculationName_);
    if (IsDocumentCalculating()) Calculation()->AbortNumberCrunching();
    OnMdradio();
}

void CConfigViewDlg::OnSettings() {
    CNumberCrunchModules* modules = app_.Modules();
    if (modules == nullptr) return;
    if (optionsPanel_.isNull()) {
        optionsPanel_ = new COptions(
            *modules, [this] { return calculationName_; },
            [this] { return doc_ != nullptr ? doc_->moduleLibraryName : std::string(); }, this);
        optionsPanel_->SetModuleErrorPrompt(app_.ModuleFaultPrompt());
    }
    optionsPanel_->show();
    optionsPanel_->raise();
}

void CConfigViewDlg::ShowProgress(bool loading, int percent) {
    if (loading) {
        loadButton_->hide();
        progress_->show();
        progress_->setValue(std::clamp(percent, 0, 100));
    } else {
        progress_->hide();
        loadButton_->show();
    }
    loadButton_->setEnabled(!loading);
    mdRadio_->setEnabled(!loading);
    xyzRadio_->setEnabled(!loading);
}

void CConfigViewDlg::ShowInfoText(const QString& text) { info_->setText(text); }

void CConfigViewDlg::OnClose() {
    if (doc_) {
        app_.currentDocument = doc_;
        doc_->AdviseGracefullExit();
    }
}

}  // namespace zelvor
