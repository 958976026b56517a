// The configuration sheet as configure mode runs it: the real application object, the sheet and its
// companion with the live preview on a private X server, settings in a temporary folder.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_profile.h"
#include "crunch/options_dlg.h"
#include "model/dravik_doc.h"
#include "platform/component.h"
#include "render/pages/atom_prop.h"
#include "saver/config_sheet.h"
#include "saver/config_view_dlg.h"
#include "saver/saver_app.h"
#include "scrivel/scrivel_interface.h"
#include "support/test_support.h"

namespace zelvor::test {
extern bool HaveXServer;
}

namespace zelvor {
namespace {

using test::BinDir;
using test::DataPath;

constexpr int LOAD_MS = 20000;

/// Runs the event loop until condition holds or timeoutMs passed.
bool Pump(const std::function<bool()>& condition, int timeoutMs = LOAD_MS) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

int StoredInt(const char* entry) {
    CAppProfile profile;
    profile.SetRegistryKey("Cobrant");
    return profile.GetProfileInt("Config", entry, -1);
}

/// The view settings record as the next start reads it.
C3DViewSettings StoredViewSettings() {
    CAppProfile profile;
    profile.SetRegistryKey("Cobrant");
    C3DViewSettings stored;
    return C3DViewSettings(stored);  // a transient snapshot: it saves nothing when it goes
}

/// What the settings store says the playlist is.
std::vector<std::string> StoredPlaylist() {
    CAppProfile profile;
    profile.SetRegistryKey("Cobrant");
    std::vector<std::string> files;
    const int count = profile.GetProfileInt("Config", "Files to show", -1);
    for (int n = 0; n < count; ++n) files.push_back(profile.GetProfileString("Config", "XYZ file" + std::to_string(n), ""));
    return files;
}

void StorePlaylist(const std::vector<std::string>& files) {
    CAppProfile profile;
    profile.SetRegistryKey("Cobrant");
    for (std::size_t n = 0; n < files.size(); ++n)
        profile.WriteProfileString("Config", "XYZ file" + std::to_string(n), files[n]);
    profile.WriteProfileInt("Config", "Files to show", static_cast<int>(files.size()));
    CAppSettings settings(true);
    settings.LoadSettings();
    settings.shuffleFiles = 0;  // a fixed order to compare with
}

class ConfigSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveXServer) GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_TRUE(RegisterComponentLibrary(BinDir() + "/libscrivel.so"));
    }
    void TearDown() override { End(); }

    void Start(const std::vector<std::string>& args = {"/c"}) {
        app_ = std::make_unique<CSaverApp>(args);
        // Day 0: the weekly online check is not due, so no test reaches for the network.
        app_->currentTime = [] { return std::time_t{0}; };
        ASSERT_TRUE(app_->InitInstance());
        sheet_ = app_->ConfigurationSheet();
        ASSERT_NE(sheet_, nullptr);
        companion_ = sheet_->Companion();
        doc_ = companion_->Document();
    }
    /// The program's end: windows, documents, playlist write-back, settings records saved.
    void End() {
        if (!app_) return;
        app_->ExitInstance();
        app_.reset();
    }
    /// Waits until the preview's document has loaded path.
    bool Loaded(const std::string& path) {
        return Pump([&] { return doc_->GetPathName() == path && doc_->GetLoadResult() == 1; });
    }
    std::vector<std::string> ComboItems() const {
        auto* combo = qobject_cast<QComboBox*>(companion_->GetDlgItem(CConfigViewDlg::IDC_XYZCOMBO));
        std::vector<std::string> items;
        for (int i = 0; combo && i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
        return items;
    }
    QString ComboText() const {
        return qobject_cast<QComboBox*>(companion_->GetDlgItem(CConfigViewDlg::IDC_XYZCOMBO))->currentText();
    }

    test::ScopedConfigHome home_;
    std::unique_ptr<CSaverApp> app_;
    CDisplayPropSheet* sheet_ = nullptr;
    CConfigViewDlg* companion_ = nullptr;
    CDravikDoc* doc_ = nullptr;
};

TEST_F(ConfigSheetTest, FirstStartShowsTheDemoAndTheAnimatePage) {
    // A module list that does not exist: no calculation can be offered.
    Start({"/c", "--modules", home_.Path() + "/absent/Modules.xml"});
    EXPECT_EQ(sheet_->windowTitle(), QStringLiteral("Configure Zelvor, Molecular Screensaver"));
    std::vector<QString> captions;
    for (int i = 0; i < sheet_->Pages()->count(); ++i) captions.push_back(sheet_->Pages()->tabText(i));
    EXPECT_EQ(captions, (std::vector<QString>{"Resize", "Light Properties", "Animate", "Bonds and Atoms", "Rendering"}));
    EXPECT_EQ(ComboItems(), std::vector<std::string>{"<Demo system. No files added>"});
    // The preview starts: the built-in demo system is loaded and the Animate page animates it.
    ASSERT_TRUE(Pump([&] { return doc_->GetLoadResult() == 1 && doc_->GetFrameCount() > 0; }));
    EXPECT_EQ(sheet_->Pages()->currentIndex(), CDisplayPropSheet::ANIMATE_PAGE);
    EXPECT_TRUE(sheet_->AnimatePage()->IsPlaying());
    EXPECT_EQ(app_->GetView(), sheet_->View());
    // The calculation rows stay hidden while no calculation module is loaded.
    EXPECT_TRUE(app_->CalculationMenuNames().empty());
    EXPECT_FALSE(companion_->GetDlgItem(CConfigViewDlg::IDC_MDRADIO)->isVisibleTo(companion_));
    // Once the load's end has been handled, the load button is back in the progress bar's place.
    EXPECT_TRUE(Pump([&] { return companion_->GetDlgItem(CConfigViewDlg::IDC_XYZFILE)->isVisibleTo(companion_); }));
}

TEST_F(ConfigSheetTest, ChosenFilesArePreviewedAndStoredByOK) {
    const std::string old = DataPath("garlic-phe.pdb");
    StorePlaylist({old});
    Start();
    ASSERT_TRUE(Loaded(old));
    EXPECT_EQ(ComboItems(), std::vector<std::string>{"garlic-phe.pdb"});

    const std::vector<std::string> chosen = {DataPath("xcrysden-anim.xyz"), DataPath("apbs-2-methylbutane.pdb"),
                                             DataPath("valid-cell-triclinic.xyz")};
    QString title;
    companion_->SetFileChooser([&](const QString& t, const QString&, const QString&) {
        title = t;
        return chosen;
    });
    companion_->OpenFile();
    EXPECT_EQ(title, QStringLiteral("Open a coordinate file"));
    EXPECT_EQ(ComboItems(),
              (std::vector<std::string>{"xcrysden-anim.xyz", "apbs-2-methylbutane.pdb", "valid-cell-triclinic.xyz"}));
    ASSERT_TRUE(Loaded(chosen[0]));
    EXPECT_EQ(ComboText(), QStringLiteral("xcrysden-anim.xyz"));
    // Choosing an item shows that file; the playlist stays as chosen.
    auto* combo = qobject_cast<QComboBox*>(companion_->GetDlgItem(CConfigViewDlg::IDC_XYZCOMBO));
    combo->setCurrentIndex(2);
    companion_->OnSelchangeXyzcombo();
    ASSERT_TRUE(Loaded(chosen[2])) << doc_->GetPathName() << " " << doc_->GetLoadResult();
    // Nothing is stored before the sheet's OK.
    EXPECT_EQ(StoredPlaylist(), std::vector<std::string>{old});

    QTest::mouseClick(sheet_->findChild<QPushButton*>(QStringLiteral("IDOK")), Qt::LeftButton);
    EXPECT_EQ(sheet_->result(), QDialog::Accepted);
    End();
    // The next start of the saver shows the chosen files.
    EXPECT_EQ(StoredPlaylist(), chosen);
}

TEST_F(ConfigSheetTest, CancelKeepsTheStoredPlaylistAndRestoresTheViewSettings) {
    const std::vector<std::string> stored = {DataPath("garlic-phe.pdb"), DataPath("xcrysden-anim.xyz")};
    StorePlaylist(stored);
    Start();
    ASSERT_TRUE(Loaded(stored[0]));
    // The bond width: a setting that no animation changes.
    const double width = sheet_->SavedSettings().bondSize;
    companion_->SetFileChooser([](const QString&, const QString&, const QString&) {
        return std::vector<std::string>{DataPath("apbs-2-methylbutane.pdb")};
    });
    companion_->OpenFile();
    ASSERT_TRUE(Loaded(DataPath("apbs-2-methylbutane.pdb")));
    sheet_->View()->ChangeDetailSettings([&] { sheet_->View()->Get3DViewSettings()->bondSize = width + 1.5; });

    // Escape is Cancel.
    QTest::keyClick(sheet_, Qt::Key_Escape);
    EXPECT_EQ(sheet_->result(), QDialog::Rejected);
    EXPECT_DOUBLE_EQ(sheet_->View()->Get3DViewSettings()->bondSize, width);
    End();
    EXPECT_EQ(StoredPlaylist(), stored);
    EXPECT_DOUBLE_EQ(StoredViewSettings().bondSize, width);
}

TEST_F(ConfigSheetTest, PagesActOnThePreviewAndOKKeepsTheirSettings) {
    Start();
    ASSERT_TRUE(Pump([&] { return doc_->GetLoadResult() == 1; }));
    // The bond width on the "Bonds and Atoms" page, changed as the control reports a user's change.
    QWidget* bondWidth = sheet_->AtomPage()->findChild<QWidget*>(QString::number(CAtomProp::IDC_BONDSIZE));
    ASSERT_NE(bondWidth, nullptr);
    ASSERT_TRUE(QMetaObject::invokeMethod(bondWidth, "NewValue", Q_ARG(double, 7.25)));
    const C3DViewSettings& preview = *sheet_->View()->Get3DViewSettings();
    EXPECT_DOUBLE_EQ(preview.bondSize, 7.25);
    EXPECT_EQ(preview.sceneChanged, 1);
    // A hand-made change makes the animation "Custom".
    EXPECT_EQ(preview.predefinedAnimation, ANIMATION_CUSTOM);
    QTest::mouseClick(sheet_->findChild<QPushButton*>(QStringLiteral("IDOK")), Qt::LeftButton);
    End();
    EXPECT_DOUBLE_EQ(StoredViewSettings().bondSize, 7.25);
}

TEST_F(ConfigSheetTest, LoadTimeAndPollingControls) {
    Start();
    // The load-time scroller stores whole seconds.
    auto* scroller = companion_->GetDlgItem(CConfigViewDlg::IDC_LOADTIMESCROLLER);
    ASSERT_NE(scroller, nullptr);
    QMetaObject::invokeMethod(scroller, "NewValue", Q_ARG(double, 20.9));
    EXPECT_EQ(StoredInt("Coordinate File Load Time"), 20);
    EXPECT_EQ(app_->Playlist().changeFileTimer != 0, true);
    // Values beyond the control's range never reach the settings.
    QMetaObject::invokeMethod(scroller, "NewValue", Q_ARG(double, 1e9));
    EXPECT_EQ(StoredInt("Coordinate File Load Time"), 3600);

    // The polling spin is logarithmic: position 50 is one second.
    auto* spin = qobject_cast<QSpinBox*>(companion_->GetDlgItem(CConfigViewDlg::IDC_SPIN1));
    auto* edit = qobject_cast<QLineEdit*>(companion_->GetDlgItem(CConfigViewDlg::IDC_POLLEDIT));
    ASSERT_TRUE(spin && edit);
    // The default half second is shown at the position below it.
    EXPECT_EQ(spin->value(), 42);
    spin->setValue(50);
    EXPECT_EQ(edit->text(), QStringLiteral("1.000"));
    EXPECT_DOUBLE_EQ(app_->pollingInterval, 1000.0);
    spin->setValue(0);
    EXPECT_EQ(edit->text(), QStringLiteral("0.010"));
}

TEST_F(ConfigSheetTest, TheShippedCalculationIsOfferedChosenAndItsPollingIntervalKept) {
    // The shipped module list lies beside the program (bin/modules/Modules.xml).
    Start();
    ASSERT_EQ(app_->CalculationMenuNames(), std::vector<std::string>{"Ondrel"});
    auto* md = qobject_cast<QRadioButton*>(companion_->GetDlgItem(CConfigViewDlg::IDC_MDRADIO));
    ASSERT_NE(md, nullptr);
    EXPECT_TRUE(md->isVisibleTo(companion_));
    auto* calc = qobject_cast<QComboBox*>(companion_->GetDlgItem(CConfigViewDlg::IDC_CALCCOMBO));
    EXPECT_EQ(calc->currentText(), QStringLiteral("Ondrel"));
    md->click();
    EXPECT_EQ(app_->GetProfileString("Config", "Is ScreenSaver NumberCrunching", ""), "Yes");
    EXPECT_EQ(doc_->moduleLibraryName, "libondrel.so");
    // "Settings" opens the calculation's settings panel.
    QTest::mouseClick(qobject_cast<QPushButton*>(companion_->GetDlgItem(CConfigViewDlg::IDC_SETTINGS)),
                      Qt::LeftButton);
    EXPECT_NE(companion_->findChild<COptions*>(), nullptr);
    qobject_cast<QSpinBox*>(companion_->GetDlgItem(CConfigViewDlg::IDC_SPIN1))->setValue(50);
    End();

    // The next run offers the calculation again, chosen, polling once a second.
    Start();
    EXPECT_TRUE(qobject_cast<QRadioButton*>(companion_->GetDlgItem(CConfigViewDlg::IDC_MDRADIO))->isChecked());
    EXPECT_EQ(qobject_cast<QSpinBox*>(companion_->GetDlgItem(CConfigViewDlg::IDC_SPIN1))->value(), 50);
    EXPECT_DOUBLE_EQ(app_->pollingInterval, 1000.0);
}

TEST_F(ConfigSheetTest, LoaderProgressTakesThePlaceOfTheLoadButton) {
    Start();
    auto* button = companion_->GetDlgItem(CConfigViewDlg::IDC_XYZFILE);
    auto* bar = qobject_cast<QProgressBar*>(companion_->GetDlgItem(CConfigViewDlg::IDC_PROGRESS));
    ASSERT_TRUE(button && bar);
    sheet_->OnStatusProgress((1 << 16) | 40, "Reading frame 2");
    EXPECT_TRUE(bar->isVisibleTo(companion_));
    EXPECT_FALSE(button->isVisibleTo(companion_));
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(bar->value(), 40);
    EXPECT_EQ(sheet_->LastStatusText(), "Reading frame 2");
    sheet_->OnStatusProgress(0, nullptr);
    EXPECT_FALSE(bar->isVisibleTo(companion_));
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(sheet_->LastStatusText(), "");
    // The playlist's change of file shows in the combo box.
    const std::vector<std::string> files = {DataPath("garlic-phe.pdb"), DataPath("xcrysden-anim.xyz")};
    companion_->SetFileChooser([&](const QString&, const QString&, const QString&) { return files; });
    companion_->OpenFile();
    app_->ShowEntryInConfiguration("XCRYSDEN-anim.xyz");
    EXPECT_EQ(ComboText(), QStringLiteral("xcrysden-anim.xyz"));
}

}  // namespace
}  // namespace zelvor
