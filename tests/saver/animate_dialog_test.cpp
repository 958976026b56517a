#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_profile.h"
#include "model/dravik_doc.h"
#include "model/elements.h"
#include "platform/app_message.h"
#include "platform/component.h"
#include "render/dravik_gl_view.h"
#include "saver/animate_dlg.h"
#include "saver/oscillate_dlg.h"
#include "scrivel/plain_scroller.h"
#include "scrivel/scrivel_interface.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

using test::BinDir;

/// Records what the dialog asks of the configuration sheet.
class FakeSheet : public CAnimateSheet {
public:
    int cameraRefreshes = 0;
    std::vector<bool> displayRefreshes;  // withLight of each call
    std::vector<bool> cameraEnabling;
    void RefreshCameraPage() override { ++cameraRefreshes; }
    void RefreshDisplayPages(bool withLight) override { displayRefreshes.push_back(withLight); }
    void EnableCameraControls(bool enable) override { cameraEnabling.push_back(enable); }
};

/// Records the document's update hints.
class HintRecorder : public CDocObserver {
public:
    std::vector<int> hints;
    void OnUpdate(int hint) override { hints.push_back(hint); }
};

/// Types text into a Scrivel control's edit box and presses Enter, as a user does.
void TypeInto(QWidget* scroller, const QString& text) {
    ASSERT_NE(scroller, nullptr);
    auto* edit = scroller->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

class AnimateDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        static CElements elements(BinDir() + "/Elements.dat");
        SetMainWindowTarget(&sink_);
        if (registerScrivel_) {
            ASSERT_TRUE(RegisterComponentLibrary(BinDir() + "/libscrivel.so"));
        }
        view_ = std::make_unique<CDravikGLView>(&doc_, true);
        view_->SetHost(&host_);
        doc_.AddObserver(&hints_);
    }
    void TearDown() override {
        doc_.RemoveObserver(&hints_);
        SetMainWindowTarget(nullptr);
    }

    /// Loads an xyz trajectory of `frames` water molecules and waits for the loader.
    void Load(int frames) {
        std::string text;
        for (int f = 0; f < frames; ++f)
            text += "3\nframe " + std::to_string(f) + "\nO 0 0 0\nH 0.76 0.59 0\nH -0.76 0.59 0\n";
        ASSERT_EQ(doc_.InitiateFile(test::WriteFile(dir_, "water" + std::to_string(frames) + ".xyz", text).c_str(),
                                    TEMPLATE_XYZ),
                  1);
        doc_.WaitForLoader();
        doc_.FirstFrameWasRead();
        ASSERT_EQ(doc_.GetLoadResult(), 1);
        ASSERT_EQ(doc_.GetFrameCount(), frames);
    }

    std::unique_ptr<CAnimateDlg> Hidden() { return std::make_unique<CAnimateDlg>(view_.get(), &doc_); }

    C3DViewSettings& S() { return *view_->Get3DViewSettings(); }

    template <class T>
    static T* Item(const CAnimateDlg& dlg, int id) {
        return qobject_cast<T*>(dlg.GetDlgItem(id));
    }

    bool registerScrivel_ = true;
    test::ScopedConfigHome home_;
    HeadlessMessageSink sink_;
    QTemporaryDir dir_;
    CDravikDoc doc_;
    HintRecorder hints_;
    /// Counts the view's repaint requests.
    struct CountingHost : CViewHost {
        void RequestRepaint() override { ++repaints; }
        int repaints = 0;
    } host_;
    int& repaints_ = host_.repaints;
    std::unique_ptr<CDravikGLView> view_;
};

// --- the oscillation dialogs ---------------------------------------------------------------------

/// The fields one oscillation edits.
struct Fields {
    std::int32_t* enable;
    double *amplitude, *frequency, *phase;
};

struct OscillationRow {
    int check, button;
    const char* caption;
    double frequencyMax, frequencyLarge;
    double amplitudeMax, amplitudeSmall, amplitudeLarge;
    short amplitudePrecision;
    const char* amplitudeUnitUtf8;
    std::function<Fields(C3DViewSettings&)> fields;
};

Fields Aim(C3DViewSettings& s, int i) {
    return {&s.animateAim[i], &s.aimAmplitude[i], &s.aimFrequency[i], &s.aimPhase[i]};
}
Fields Eye(C3DViewSettings& s, int i) {
    return {&s.animateEye[i], &s.eyeAmplitude[i], &s.eyeFrequency[i], &s.eyePhase[i]};
}
Fields Plane(C3DViewSettings& s, int k) {
    return {&s.oscillateClipPlane[k], &s.clipOscillation[k].amplitude, &s.clipOscillation[k].frequency,
            &s.clipOscillation[k].phase};
}

const char* const kCells = " × max cell width";
const char* const kDegrees = " °";
const char* const kPercent = " % of cell width";

const std::vector<OscillationRow>& Rows() {
    static const std::vector<OscillationRow> rows = {
        {1126, 1021, "X coordinate of aim", 0.5, 0.1, 2, 0.01, 0.2, 3, kCells, [](auto& s) { return Aim(s, 0); }},
        {1117, 1014, "Y coordinate of aim", 0.5, 0.1, 2, 0.01, 0.2, 3, kCells, [](auto& s) { return Aim(s, 1); }},
        {1118, 1119, "Z coordinate of aim", 0.5, 0.1, 2, 0.01, 0.2, 3, kCells, [](auto& s) { return Aim(s, 2); }},
        {1058, 1023, "Camera X coordinate", 1, 0.02, 3, 0.01, 0.2, 2, kCells, [](auto& s) { return Eye(s, 0); }},
        {1120, 1015, "Camera Y coordinate", 1, 0.02, 3, 0.01, 0.2, 2, kCells, [](auto& s) { return Eye(s, 1); }},
        {1121, 1122, "Camera Z coordinate", 1, 0.02, 3, 0.01, 0.2, 2, kCells, [](auto& s) { return Eye(s, 2); }},
        {1059, 1024, "Euler angle phi", 1, 0.02, 400, 0.5, 2, 4, kDegrees,
         [](auto& s) {
             return Fields{&s.animatePhi, &s.phiAmplitude, &s.phiFrequency, &s.phiPhase};
         }},
        {1123, 1016, "Euler angle psi", 1, 0.02, 400, 0.5, 2, 4, kDegrees,
         [](auto& s) {
             return Fields{&s.animatePsi, &s.psiAmplitude, &s.psiFrequency, &s.psiPhase};
         }},
        {1124, 1125, "Euler angle theta", 1, 0.02, 360, 0.5, 2, 4, kDegrees,
         [](auto& s) {
             return Fields{&s.animateTheta, &s.thetaAmplitude, &s.thetaFrequency, &s.thetaPhase};
         }},
        {1127, 1025, "Opaqueness", 1, 0.02, 1, 0.01, 0.1, 3, "",
         [](auto& s) {
             return Fields{&s.animateOpaqueness, &s.opaquenessAmplitude, &s.opaquenessFrequency, &s.opaquenessPhase};
         }},
        {1129, 1027, "Atom size", 1, 0.02, 1, 0.05, 0.2, 3, "",
         [](auto& s) {
             return Fields{&s.animateAtomScale, &s.atomScaleAmplitude, &s.atomScaleFrequency, &s.atomScalePhase};
         }},
        {1128, 1017, "Distance of 1st. Plane", 1, 0.02, 100, 0.1, 0.5, 4, kPercent,
         [](auto& s) { return Plane(s, 0); }},
        {1130, 1131, "Distance of 2nd. Plane", 1, 0.02, 100, 0.1, 0.5, 4, kPercent,
         [](auto& s) { return Plane(s, 1); }},
        {1137, 1018, "Distance of 3rd. Plane", 1, 0.02, 100, 0.1, 0.5, 4, kPercent,
         [](auto& s) { return Plane(s, 2); }},
        {1132, 1133, "Distance of 4th. Plane", 1, 0.02, 100, 0.1, 0.5, 4, kPercent,
         [](auto& s) { return Plane(s, 3); }},
        {1134, 1019, "Distance of 5th. Plane", 1, 0.02, 100, 0.1, 0.5, 4, kPercent,
         [](auto& s) { return Plane(s, 4); }},
        {1135, 1136, "Distance of 6th. Plane", 1, 0.02, 100, 0.1, 0.5, 4, kPercent,
         [](auto& s) { return Plane(s, 5); }},
    };
    return rows;
}

TEST_F(AnimateDialogTest, EveryOscillationDialogHasItsCaptionScrollersAndFields) {
    auto dlg = Hidden();
    S().showSurface = 1, S().useClipPlanes = 1;
    ASSERT_EQ(Rows().size(), static_cast<std::size_t>(OSC_COUNT));
    for (int p = 0; p < OSC_COUNT; ++p) {
        const OscillationRow& row = Rows()[p];
        SCOPED_TRACE(row.caption);
        const Fields f = row.fields(S());
        *f.enable = 1;
        dlg->UpdateUI();
        auto* check = Item<QCheckBox>(*dlg, row.check);
        auto* button = Item<QPushButton>(*dlg, row.button);
        ASSERT_TRUE(check && button);
        EXPECT_TRUE(check->isChecked());
        ASSERT_TRUE(button->isEnabled());
        button->click();
        COscillateDlg* osc = dlg->OscillationDialog(p);
        ASSERT_NE(osc, nullptr);
        EXPECT_TRUE(osc->isVisible());
        EXPECT_EQ(osc->windowTitle(), QString::fromUtf8(row.caption));

        struct Expected {
            int id;
            double min, max, small, large;
            const char* description;
            const char* unitUtf8;
            short precision;
            double* field;
        };
        const Expected scrollers[] = {
            {COscillateDlg::IDC_SINAMPL, 0, row.amplitudeMax, row.amplitudeSmall, row.amplitudeLarge,
             "Amplitude:", row.amplitudeUnitUtf8, row.amplitudePrecision, f.amplitude},
            {COscillateDlg::IDC_SINFREQ, 0, row.frequencyMax, 0.002, row.frequencyLarge, "Frequency:", " Hz", 3,
             f.frequency},
            {COscillateDlg::IDC_PHASE, -90, 90, 1, 10, "d =", kDegrees, 2, f.phase},
        };
        for (const Expected& e : scrollers) {
            SCOPED_TRACE(e.description);
            IScrivel* control = qobject_cast<IScrivel*>(osc->Scroller(e.id));
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(control->GetDescription(), QString::fromUtf8(e.description));
            EXPECT_EQ(control->GetUnitDescription(), QString::fromUtf8(e.unitUtf8));
            EXPECT_DOUBLE_EQ(control->GetSmallChange(), e.small);
            EXPECT_DOUBLE_EQ(control->GetLargeChange(), e.large);
            EXPECT_DOUBLE_EQ(control->GetScrollValue(), *e.field);
            EXPECT_EQ(osc->Setup(e.id).precision, e.precision);
            // The range as the user meets it: typed values beyond it are clamped, into the right field.
            S().predefinedAnimation = ANIMATION_TWISTER;
            TypeInto(osc->Scroller(e.id), QStringLiteral("100000"));
            EXPECT_DOUBLE_EQ(*e.field, e.max);
            TypeInto(osc->Scroller(e.id), QStringLiteral("-100000"));
            EXPECT_DOUBLE_EQ(*e.field, e.min);
            EXPECT_EQ(S().predefinedAnimation, ANIMATION_CUSTOM);
        }
    }
}

TEST_F(AnimateDialogTest, OscillationDialogIsMadeOnceAndFollowsTheSettings) {
    auto dlg = Hidden();
    dlg->OnPhibtn();
    COscillateDlg* first = dlg->OscillationDialog(OSC_PHI);
    ASSERT_NE(first, nullptr);
    first->hide();
    dlg->OnPhibtn();
    EXPECT_EQ(dlg->OscillationDialog(OSC_PHI), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->parent(), dlg.get());

    S().phiFrequency = 0.25;
    dlg->UpdateUI();
    EXPECT_DOUBLE_EQ(qobject_cast<IScrivel*>(first->Scroller(COscillateDlg::IDC_SINFREQ))->GetScrollValue(), 0.25);
}

TEST_F(AnimateDialogTest, AnotherViewClosesTheOscillationDialogsOfTheFirst) {
    auto dlg = Hidden();
    dlg->OnPsibtn();
    ASSERT_NE(dlg->OscillationDialog(OSC_PSI), nullptr);

    CDravikGLView other(&doc_, true);
    const double before = S().psiAmplitude;
    dlg->SetView(&other, &doc_);
    view_.reset();  // the old view's settings are gone: nothing may still point into them
    EXPECT_EQ(dlg->OscillationDialog(OSC_PSI), nullptr);
    dlg->OnPsibtn();
    TypeInto(dlg->OscillationDialog(OSC_PSI)->Scroller(COscillateDlg::IDC_SINAMPL), QStringLiteral("12.5"));
    EXPECT_DOUBLE_EQ(other.Get3DViewSettings()->psiAmplitude, 12.5);
    EXPECT_NE(before, 12.5);
    dlg.reset();
}

// --- check boxes and buttons ---------------------------------------------------------------------

TEST_F(AnimateDialogTest, CheckBoxesSwitchTheirFlagsAndButtonsAndMakeTheSettingsCustom) {
    auto dlg = Hidden();
    FakeSheet sheet;
    dlg->SetSheet(&sheet);
    auto* combo = Item<QComboBox>(*dlg, CAnimateDlg::IDC_CBPREDEFINED);
    auto* cameraZ = Item<QCheckBox>(*dlg, 1121);
    auto* cameraZButton = Item<QPushButton>(*dlg, 1122);
    ASSERT_TRUE(combo && cameraZ && cameraZButton);
    EXPECT_EQ(combo->currentText(), "Unveiler");  // the settings record's start value
    const double aimY = S().aimAmplitude[1];

    ASSERT_TRUE(cameraZ->isChecked());
    cameraZ->click();
    EXPECT_EQ(S().animateEye[2], 0);
    EXPECT_FALSE(cameraZButton->isEnabled());
    EXPECT_EQ(S().predefinedAnimation, ANIMATION_CUSTOM);
    EXPECT_EQ(combo->currentText(), "Custom");
    EXPECT_DOUBLE_EQ(S().aimAmplitude[1], aimY);  // "Custom" is applied to nothing
    EXPECT_EQ(sheet.displayRefreshes, std::vector<bool>{false});

    cameraZ->click();
    EXPECT_EQ(S().animateEye[2], 1);
    EXPECT_TRUE(cameraZButton->isEnabled());
}

TEST_F(AnimateDialogTest, AimZSwitchedOnOscillatesOnceItHasAnAmplitude) {
    Load(1);
    auto dlg = Hidden();
    auto* aimZ = Item<QCheckBox>(*dlg, 1118);
    ASSERT_FALSE(aimZ->isChecked());
    aimZ->click();
    ASSERT_EQ(S().animateAim[2], 1);
    dlg->OnTimer();
    EXPECT_DOUBLE_EQ(S().aim.z, 0.0);  // default amplitude 0

    dlg->OnAimzbtn();
    COscillateDlg* osc = dlg->OscillationDialog(OSC_AIM_Z);
    TypeInto(osc->Scroller(COscillateDlg::IDC_SINAMPL), QStringLiteral("1"));
    TypeInto(osc->Scroller(COscillateDlg::IDC_PHASE), QStringLiteral("90"));
    ASSERT_DOUBLE_EQ(S().aimAmplitude[2], 1.0);
    dlg->OnTimer();
    ASSERT_GT(doc_.GetMaxCellWidth(0), 0.0);
    EXPECT_GT(std::abs(S().aim.z), 0.5 * doc_.GetMaxCellWidth(0));
}

TEST_F(AnimateDialogTest, UntickingHidesTheOscillationDialogWithoutDeletingIt) {
    auto dlg = Hidden();
    auto* theta = Item<QCheckBox>(*dlg, 1124);
    dlg->OnThetabtn();
    COscillateDlg* osc = dlg->OscillationDialog(OSC_THETA);
    ASSERT_TRUE(osc && osc->isVisible());
    theta->click();
    EXPECT_FALSE(osc->isVisible());
    EXPECT_EQ(dlg->OscillationDialog(OSC_THETA), osc);
    theta->click();
    EXPECT_FALSE(osc->isVisible());  // ticking enables the button; the window opens on the button only
    EXPECT_TRUE(Item<QPushButton>(*dlg, 1125)->isEnabled());
}

TEST_F(AnimateDialogTest, OpaquenessNeedsTheSurfaceAndPlanesNeedClipping) {
    auto dlg = Hidden();
    auto* opaque = Item<QCheckBox>(*dlg, 1127);
    auto* opaqueButton = Item<QPushButton>(*dlg, 1025);
    auto* plane3 = Item<QCheckBox>(*dlg, 1137);
    auto* plane3Button = Item<QPushButton>(*dlg, 1018);
    auto* phiButton = Item<QPushButton>(*dlg, 1024);

    S().animateOpaqueness = 1, S().showSurface = 0;
    S().oscillateClipPlane[2] = 1, S().useClipPlanes = 0;
    S().animatePhi = 0;
    dlg->UpdateUI();
    EXPECT_TRUE(opaque->isChecked());
    EXPECT_FALSE(opaque->isEnabled());
    EXPECT_FALSE(opaqueButton->isEnabled());
    EXPECT_TRUE(plane3->isChecked());
    EXPECT_FALSE(plane3->isEnabled());
    EXPECT_FALSE(plane3Button->isEnabled());
    EXPECT_FALSE(phiButton->isEnabled());

    S().showSurface = 1, S().useClipPlanes = 1, S().animatePhi = 1;
    dlg->UpdateUI();
    EXPECT_TRUE(opaque->isEnabled() && opaqueButton->isEnabled());
    EXPECT_TRUE(plane3->isEnabled() && plane3Button->isEnabled());
    EXPECT_TRUE(phiButton->isEnabled());

    S().animateOpaqueness = 0, S().oscillateClipPlane[2] = 0;
    dlg->UpdateUI();
    EXPECT_TRUE(opaque->isEnabled());
    EXPECT_FALSE(opaqueButton->isEnabled());
    EXPECT_TRUE(plane3->isEnabled());
    EXPECT_FALSE(plane3Button->isEnabled());
}

// --- predefined animations -----------------------------------------------------------------------

TEST_F(AnimateDialogTest, ComboBoxListsTheAnimationsAndAppliesTheChosenOne) {
    Load(1);
    auto dlg = Hidden();
    FakeSheet sheet;
    dlg->SetSheet(&sheet);
    auto* combo = Item<QComboBox>(*dlg, CAnimateDlg::IDC_CBPREDEFINED);
    const char* names[] = {"Twister", "Unveiler", "Flasher", "Bouncer", "Zoomer", "Skeleton", "Inner Self", "Custom"};
    ASSERT_EQ(combo->count(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(combo->itemText(i), names[i]);
        EXPECT_EQ(combo->itemData(i).toInt(), i);
    }

    S().background[0] = 0.5f, S().eye = Vector(1, 2, 3), S().showSurface = 0;
    const int repaints = repaints_;
    combo->setCurrentIndex(5);
    emit combo->activated(5);  // the user's choice
    EXPECT_EQ(S().predefinedAnimation, ANIMATION_SKELETON);
    EXPECT_DOUBLE_EQ(S().atomScale, 0.0);
    EXPECT_EQ(S().background[0], C3DViewSettings(C3DViewSettings::Transient{}).background[0]);
    EXPECT_DOUBLE_EQ(S().eye.z, 3.0 * doc_.GetMaxCellWidth(0));  // the view rebuilt its scene
    EXPECT_TRUE(Item<QCheckBox>(*dlg, 1127)->isEnabled());       // the controls show the new settings
    EXPECT_FALSE(Item<QCheckBox>(*dlg, 1127)->isChecked());
    EXPECT_EQ(sheet.displayRefreshes, std::vector<bool>{true});
    EXPECT_GT(repaints_, repaints);

    S().eye = Vector(1, 2, 3);
    dlg->SelectPredefined(ANIMATION_CUSTOM);
    EXPECT_EQ(combo->currentText(), "Custom");
    EXPECT_DOUBLE_EQ(S().eye.x, 1.0);
    EXPECT_DOUBLE_EQ(S().atomScale, 0.0);

    dlg->SelectPredefined(ANIMATION_BOUNCER);
    EXPECT_EQ(combo->currentText(), "Bouncer");
    EXPECT_DOUBLE_EQ(S().atomScale, 1.0);
    EXPECT_FALSE(Item<QCheckBox>(*dlg, 1058)->isChecked());  // camera x off

    dlg->SelectPredefined(42);  // a damaged record's number is taken as "Custom"
    EXPECT_EQ(combo->currentText(), "Custom");
    EXPECT_EQ(S().predefinedAnimation, ANIMATION_CUSTOM);
    EXPECT_DOUBLE_EQ(S().atomScale, 1.0);
}

// --- playing, the tick and the sheet -------------------------------------------------------------

TEST_F(AnimateDialogTest, PlayButtonTogglesItsCaptionAndTheSheetsCameraControls) {
    auto dlg = std::make_unique<CAnimateDlg>();
    FakeSheet sheet;
    dlg->SetSheet(&sheet);
    dlg->SetView(view_.get(), &doc_);
    auto* play = Item<QPushButton>(*dlg, CAnimateDlg::IDC_PLAY);
    ASSERT_NE(play, nullptr);
    EXPECT_TRUE(dlg->IsPlaying());
    EXPECT_EQ(play->text(), "Stop");

    play->click();
    EXPECT_FALSE(dlg->IsPlaying());
    EXPECT_EQ(play->text(), "Play");
    dlg->TogglePlay(0);
    EXPECT_FALSE(dlg->IsPlaying());
    dlg->TogglePlay(3);
    EXPECT_TRUE(dlg->IsPlaying());
    EXPECT_EQ(play->text(), "Stop");
    dlg->OnPlay();
    EXPECT_EQ(play->text(), "Play");
    EXPECT_EQ(sheet.cameraEnabling, (std::vector<bool>{true, true, false, true}));
}

TEST_F(AnimateDialogTest, TimerTicksWorkOnlyWhilePlayingALoadedDocument) {
    auto dlg = Hidden();
    dlg->OnTimer();
    EXPECT_DOUBLE_EQ(dlg->Engine()->PhaseClock(), 0.0);  // nothing loaded yet

    Load(1);
    dlg->OnTimer();
    EXPECT_DOUBLE_EQ(dlg->Engine()->PhaseClock(), CAnimationEngine::PHASE_STEP);
    dlg->TogglePlay(0);
    dlg->OnTimer();
    EXPECT_DOUBLE_EQ(dlg->Engine()->PhaseClock(), CAnimationEngine::PHASE_STEP);
    dlg->TogglePlay(1);
    dlg->OnTimer();
    EXPECT_DOUBLE_EQ(dlg->Engine()->PhaseClock(), 2 * CAnimationEngine::PHASE_STEP);
}

TEST_F(AnimateDialogTest, EveryOscillationStepRefreshesTheSheetsCameraPageButRepaintsOnlyALoadedView) {
    auto dlg = std::make_unique<CAnimateDlg>();
    FakeSheet sheet;
    dlg->SetSheet(&sheet);
    dlg->SetView(view_.get(), &doc_);
    dlg->TurnView();
    EXPECT_EQ(sheet.cameraRefreshes, 1);
    EXPECT_EQ(repaints_, 0);  // nothing loaded: no viewport to recompute

    Load(1);
    const int repaints = repaints_;
    S().eye = Vector(9, 9, 9);
    dlg->TurnView();
    EXPECT_EQ(sheet.cameraRefreshes, 2);
    EXPECT_EQ(repaints_, repaints + 1);
    EXPECT_NE(S().eye.x, 9.0);

    dlg->SetSheet(nullptr);  // the saver's hidden dialog has no sheet
    dlg->TurnView();
    EXPECT_EQ(sheet.cameraRefreshes, 2);
}

// --- frames --------------------------------------------------------------------------------------

TEST_F(AnimateDialogTest, PostInitSetsTheFrameRangeAndEnablesByFrameCount) {
    struct Case {
        int frames;
        bool edit, speed;
    };
    for (const Case c : {Case{1, false, false}, Case{2, true, false}, Case{3, true, true}}) {
        SCOPED_TRACE(c.frames);
        Load(c.frames);
        auto dlg = Hidden();
        doc_.SetFrameNr(c.frames - 1);
        hints_.hints.clear();
        EXPECT_TRUE(dlg->PostInit());
        auto* spin = Item<QSpinBox>(*dlg, CAnimateDlg::IDC_FRAMESPIN);
        EXPECT_EQ(spin->minimum(), 0);
        EXPECT_EQ(spin->maximum(), c.frames - 1);  // the last frame, not one past it
        EXPECT_EQ(spin->value(), c.frames - 1);
        EXPECT_EQ(spin->isEnabled(), c.edit);
        EXPECT_EQ(dlg->GetDlgItem(CAnimateDlg::IDC_FRAMESPEEDSCROLL)->isEnabled(), c.speed);
        EXPECT_TRUE(hints_.hints.empty());  // showing the frame is not a frame choice
    }
}

TEST_F(AnimateDialogTest, FramesShownByTheEngineDoNotComeBackAsUserChoices) {
    Load(3);
    auto dlg = Hidden();
    dlg->PostInit();
    S().frameSpeed = 20;
    hints_.hints.clear();
    auto* edit = Item<QLineEdit>(*dlg, CAnimateDlg::IDC_FRAMEEDIT);
    ASSERT_NE(edit, nullptr);

    dlg->OnTimer();
    EXPECT_EQ(doc_.GetFrameNr(), 1);
    EXPECT_EQ(edit->text(), "1");
    dlg->AdvanceFrameNr(1);
    dlg->AdvanceFrameNr(1);
    EXPECT_EQ(doc_.GetFrameNr(), 0);  // wrapped
    EXPECT_EQ(edit->text(), "0");
    EXPECT_EQ(hints_.hints, (std::vector<int>{HINT_FRAME_CHANGED, HINT_FRAME_CHANGED, HINT_FRAME_CHANGED}));

    hints_.hints.clear();
    edit->selectAll();
    QTest::keyClicks(edit, "2");
    EXPECT_EQ(doc_.GetFrameNr(), 2);
    EXPECT_EQ(hints_.hints, std::vector<int>{HINT_FRAME_CHOSEN});
}

TEST_F(AnimateDialogTest, SpeedScrollerEditsTheFrameSpeedWithinItsRange) {
    auto dlg = Hidden();
    S().frameSpeed = 7;
    dlg->UpdateUI();
    QWidget* speed = dlg->GetDlgItem(CAnimateDlg::IDC_FRAMESPEEDSCROLL);
    IScrivel* control = qobject_cast<IScrivel*>(speed);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->GetDescription(), "Speed: ");
    EXPECT_EQ(control->GetUnitDescription(), "");
    EXPECT_DOUBLE_EQ(control->GetSmallChange(), 0.2);
    EXPECT_DOUBLE_EQ(control->GetLargeChange(), 1.0);
    EXPECT_DOUBLE_EQ(control->GetScrollValue(), 7.0);
    TypeInto(speed, "12.5");
    EXPECT_DOUBLE_EQ(S().frameSpeed, 12.5);
    TypeInto(speed, "99");
    EXPECT_DOUBLE_EQ(S().frameSpeed, 20.0);
    EXPECT_EQ(S().predefinedAnimation, 1);  // the speed is no oscillation
}

TEST_F(AnimateDialogTest, NumberCrunchingDisablesFrameEditAndSpeedEvenForMultiFrameFiles) {
    Load(3);
    ASSERT_TRUE(AppProfile().WriteProfileString("Config", "Is ScreenSaver NumberCrunching", "Yes"));
    auto dlg = Hidden();
    QWidget* spin = dlg->GetDlgItem(CAnimateDlg::IDC_FRAMESPIN);
    QWidget* speed = dlg->GetDlgItem(CAnimateDlg::IDC_FRAMESPEEDSCROLL);
    EXPECT_FALSE(spin->isEnabled());
    EXPECT_FALSE(speed->isEnabled());
    dlg->PostInit();
    EXPECT_FALSE(spin->isEnabled());
    EXPECT_FALSE(speed->isEnabled());

    ASSERT_TRUE(AppProfile().WriteProfileString("Config", "Is ScreenSaver NumberCrunching", "No"));
    auto page = Hidden();
    EXPECT_TRUE(page->GetDlgItem(CAnimateDlg::IDC_FRAMESPIN)->isEnabled());
    EXPECT_TRUE(page->GetDlgItem(CAnimateDlg::IDC_FRAMESPEEDSCROLL)->isEnabled());
}

// --- without a view or without the control -------------------------------------------------------

TEST_F(AnimateDialogTest, PageWithoutViewDoesNothingHarmful) {
    CAnimateDlg page;
    EXPECT_EQ(page.windowTitle(), "Animate");
    EXPECT_EQ(page.Engine(), nullptr);
    page.OnTimer();
    page.OnPoschkx();
    page.OnPosxbtn();
    EXPECT_EQ(page.OscillationDialog(OSC_CAMERA_X), nullptr);
    page.SelectPredefined(ANIMATION_ZOOMER);
    EXPECT_TRUE(page.PostInit());
    page.SetView(view_.get(), &doc_);
    EXPECT_NE(page.Engine(), nullptr);
    EXPECT_TRUE(page.Engine()->IsPlaying());
}

class AnimateDialogWithoutScrivelTest : public AnimateDialogTest {
protected:
    AnimateDialogWithoutScrivelTest() { registerScrivel_ = false; }
};

TEST_F(AnimateDialogWithoutScrivelTest, PlainSpinBoxesStandInForTheSliderScrollers) {
    Load(3);
    auto dlg = Hidden();
    // The stand-in is a plain spin box, not the control, and edits the same field.
    QWidget* speed = dlg->GetDlgItem(CAnimateDlg::IDC_FRAMESPEEDSCROLL);
    ASSERT_NE(speed, nullptr);
    EXPECT_NE(qobject_cast<CPlainScroller*>(speed), nullptr);
    auto* spin = speed->findChild<QDoubleSpinBox*>();
    ASSERT_NE(spin, nullptr);
    dlg->PostInit();
    spin->setValue(7.5);
    EXPECT_DOUBLE_EQ(S().frameSpeed, 7.5);
    spin->setValue(25.0);  // beyond the range: kept at its maximum
    EXPECT_DOUBLE_EQ(S().frameSpeed, 20.0);
    dlg->OnVdwscaling();
    COscillateDlg* osc = dlg->OscillationDialog(OSC_ATOM_SIZE);
    ASSERT_NE(osc, nullptr);
    EXPECT_NE(osc->Scroller(COscillateDlg::IDC_SINAMPL), nullptr);
    EXPECT_EQ(osc->Setup(COscillateDlg::IDC_SINAMPL).value, &S().atomScaleAmplitude);
    dlg->UpdateUI();
    S().frameSpeed = 20;
    dlg->OnTimer();
    EXPECT_EQ(doc_.GetFrameNr(), 1);
}

}  // namespace
}  // namespace zelvor
