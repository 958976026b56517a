// The display settings pages and their dialogs against a real view over a real file: every numeric control and
// switch as a user works it, the governor's notices, the limits and surface dialogs, and pages without a view.
// Each test runs with the real slider-scroller control (created through its registered library) and with the
// plain stand-in used when the library is missing.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "model/dravik_doc.h"
#include "model/elements.h"
#include "platform/component.h"
#include "platform/named_event.h"
#include "platform/qt_message_target.h"
#include "render/dravik_gl_view.h"
#include "render/governor.h"
#include "render/pages/atom_prop.h"
#include "render/pages/clip_plane_dlg.h"
#include "render/pages/colour_picker.h"
#include "render/pages/cpu_anti_hog_dlg.h"
#include "render/pages/display_pages_host.h"
#include "render/pages/light.h"
#include "render/pages/rendering.h"
#include "render/pages/scale_dlg.h"
#include "render/pages/surface_dlg.h"
#include "scrivel/scrivel_interface.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

using test::BinDir;

struct FakeSheet : CDisplayPagesHost {
    void SetCustomSettings() override { ++customs; }
    void ClipPlanesSwitched(bool on) override { clipSwitches.push_back(on); }
    int customs = 0;
    std::vector<bool> clipSwitches;
};

struct CountingWindow : CViewHost {
    void RequestRepaint() override { ++repaints; }
    int repaints = 0;
};

/// Counts the application messages delivered to the object it filters.
struct MessageCounter : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
        if (DecodeAppMessage(event)) ++count;
        return false;
    }
    int count = 0;
};

struct HintRecorder : CDocObserver {
    void OnUpdate(int hint) override { hints.push_back(hint); }
    bool Saw(int hint) const { return std::find(hints.begin(), hints.end(), hint) != hints.end(); }
    std::vector<int> hints;
};

/// The control fires NewValue with `value`, as it does for every change the user makes.
void FireNewValue(QWidget* control, double value) {
    ASSERT_TRUE(QMetaObject::invokeMethod(control, "NewValue", Qt::DirectConnection, Q_ARG(double, value)));
}

/// Enters `value` the way a user does: the stand-in's spin box, or the real control's edit box and Enter.
void Enter(QWidget* control, double value) {
    if (auto* spin = control->findChild<QDoubleSpinBox*>()) {
        spin->setValue(value);
        return;
    }
    auto* edit = control->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, QString::number(value, 'f', 2));
    QTest::keyClick(edit, Qt::Key_Return);
}

class DisplayPages : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        static CElements elements(BinDir() + "/Elements.dat");
        if (GetParam()) {
            ASSERT_TRUE(RegisterComponentLibrary(BinDir() + "/libscrivel.so"));
        }
        SetColourPicker([](const QColor&, QWidget*) -> std::optional<QColor> {
            ADD_FAILURE() << "no colour picker expected";
            return std::nullopt;
        });
    }
    void TearDown() override {
        SetColourPicker({});
        ClosePages();
        if (view_) doc_.RemoveObserver(&hints_);
    }

    /// Loads a file from tests/data and makes the view; the pages show it.
    void Load(const std::string& file, DocTemplate kind) {
        doc_.SetDocTemplate(kind);
        ASSERT_EQ(doc_.OnOpenDocument(test::DataPath(file).c_str()), 1);
        doc_.WaitForLoader();
        ASSERT_EQ(doc_.GetLoadResult(), 1);
        view_ = std::make_unique<CDravikGLView>(&doc_, true);
        view_->SetHost(&window_);
        view_->OnInitialUpdate();
        doc_.AddObserver(&hints_);
        w_ = doc_.GetMaxCellWidth(0);
        ASSERT_GT(w_, 0.0);
    }

    void OpenPages(CDravikGLView* view) {
        atom_ = std::make_unique<CAtomProp>();
        light_ = std::make_unique<CLight>();
        camera_ = std::make_unique<CScaleDlg>();
        rendering_ = std::make_unique<CRendering>();
        atom_->SetHost(&sheet_), light_->SetHost(&sheet_), camera_->SetHost(&sheet_), rendering_->SetHost(&sheet_);
        rendering_->SetAppSettings(&appSettings_);
        atom_->SetView(view), light_->SetView(view), camera_->SetView(view), rendering_->SetView(view);
        atom_->OnSurface();
        rendering_->OnClipPlanes();
        rendering_->OnCPUUsage();
        ASSERT_TRUE(atom_->SurfaceDialog() && rendering_->ClipPlaneDialog() && rendering_->CPUAntiHogDialog());
    }
    void ClosePages() { atom_.reset(), light_.reset(), camera_.reset(), rendering_.reset(); }
    void ShowSettingsInPages() {
        atom_->UpdateDisplayValues(), light_->UpdateDisplayValues(), camera_->UpdateDisplayValues();
        rendering_->UpdateDisplayValues();
    }
    std::vector<QWidget*> Pages() const { return {atom_.get(), light_.get(), camera_.get(), rendering_.get()}; }

    template <class T = QWidget>
    T* Control(int id) const {
        for (QWidget* page : Pages())
            if (T* control = page->findChild<T*>(QString::number(id))) return control;
        ADD_FAILURE() << "no control " << id;
        return nullptr;
    }
    C3DViewSettings& S() { return *view_->Get3DViewSettings(); }

    test::ScopedConfigHome home_;
    CDravikDoc doc_;
    HintRecorder hints_;
    CountingWindow window_;
    std::unique_ptr<CDravikGLView> view_;
    double w_ = 0.0;
    FakeSheet sheet_;
    CAppSettings appSettings_{true};
    std::unique_ptr<CAtomProp> atom_;
    std::unique_ptr<CLight> light_;
    std::unique_ptr<CScaleDlg> camera_;
    std::unique_ptr<CRendering> rendering_;
};

struct NumericRow {
    int id;
    std::function<double&(C3DViewSettings&)> field;
    double minimum, maximum, smallChange, largeChange;
    const char* descriptionUtf8;
    short decimals;
    bool scene;
    int hint;  // -1: none
};

#define FIELD(expr) [](C3DViewSettings& s) -> double& { return expr; }

TEST_P(DisplayPages, EveryNumericControlWritesItsFieldWithinItsRange) {
    Load("apbs-2-methylbutane.pdb", TEMPLATE_PDB);
    OpenPages(view_.get());
    // The clip-plane controls edit the plane chosen in the list.
    auto* planes = Control<QComboBox>(CClipPlaneDlg::IDC_PLANELIST);
    ASSERT_EQ(planes->count(), 6);
    EXPECT_EQ(planes->itemText(2), "3rd Clipping Plane");
    planes->setCurrentIndex(2);
    emit planes->activated(2);
    // Every control that depends on the atoms, bonds or surface being drawn is open to the user.
    S().showAtoms = S().showBonds = S().showSurface = 1;
    ShowSettingsInPages();

    const double w = w_;
    const int frame = HINT_FRAME_CHANGED;
    const std::vector<NumericRow> rows = {
        {CAtomProp::IDC_ATOMSCALE, FIELD(s.atomScale), 0, 1, 0.01, 0.1, "Multiply atomic van der Waal sizes with: ",
         3, true, -1},
        {CAtomProp::IDC_BONDSIZE, FIELD(s.bondSize), 0, 20, 0.5, 1, "Bond Width = ", 3, true, -1},
        {CAtomProp::IDC_MAXBONDLENGTH, FIELD(s.maxBondLength), 0, 3, 0.005, 0.02, "Max Length = ", 3, true, -1},
        {CLight::IDC_LIGHTX, FIELD(s.lightPosition[0]), -20 * w, 20 * w, 0.1, 0.5, " x = ", 2, true, -1},
        {CLight::IDC_LIGHTY, FIELD(s.lightPosition[1]), -20 * w, 20 * w, 0.1, 0.5, " y = ", 2, true, -1},
        {CLight::IDC_LIGHTZ, FIELD(s.lightPosition[2]), -20 * w, 20 * w, 0.1, 0.5, " z = ", 2, true, -1},
        {CLight::IDC_SHININESS, FIELD(s.shininess), 0, 128, 1, 16, " Shininess = ", 3, false, frame},
        {CLight::IDC_SPECULAR, FIELD(s.materialSpecular), 0, 1, 0.01, 0.1, " Specular = ", 2, false, frame},
        {CLight::IDC_AMBIENT, FIELD(s.ambientFactor), 0, 1, 0.01, 0.1, " Ambient light: ", 2, false, frame},
        {CLight::IDC_FARVISIBILITY, FIELD(s.farVisibility), 0, 1, 0.01, 0.1, " Visibility of the farthest objects: ",
         2, false, frame},
        {CScaleDlg::IDC_EYEX, FIELD(s.eye.x), -10 * w, 10 * w, 0.01 * w, 0.1 * w, " x = ", 3, true, frame},
        {CScaleDlg::IDC_EYEY, FIELD(s.eye.y), -10 * w, 10 * w, 0.01 * w, 0.1 * w, " y = ", 3, true, frame},
        {CScaleDlg::IDC_EYEZ, FIELD(s.eye.z), -10 * w, 10 * w, 0.01 * w, 0.1 * w, " z = ", 3, true, frame},
        {CScaleDlg::IDC_AIMX, FIELD(s.aim.x), -2 * w, 2 * w, 0.001 * w, 0.01 * w, " x = ", 3, false, frame},
        {CScaleDlg::IDC_AIMY, FIELD(s.aim.y), -2 * w, 2 * w, 0.001 * w, 0.01 * w, " y = ", 3, false, frame},
        {CScaleDlg::IDC_AIMZ, FIELD(s.aim.z), -2 * w, 2 * w, 0.001 * w, 0.01 * w, " z = ", 3, false, frame},
        {CScaleDlg::IDC_FIELDOFVIEW, FIELD(s.fieldOfView), 0, 160, 0.02, 0.5, "Field of view = ", 3, false, frame},
        {CScaleDlg::IDC_PSI, FIELD(s.psi), 0, 360, 0.25, 1, "ψ ", 3, false, frame},
        {CScaleDlg::IDC_PHI, FIELD(s.phi), 0, 360, 0.25, 1, "φ ", 3, false, frame},
        {CScaleDlg::IDC_THETA, FIELD(s.theta), 0, 180, 0.25, 1, "θ ", 3, false, frame},
        {CClipPlaneDlg::IDC_PLANEA, FIELD(s.clipPlane[2][0]), -1, 1, 0.01, 0.1, " x= ", 2, false, -1},
        {CClipPlaneDlg::IDC_PLANEB, FIELD(s.clipPlane[2][1]), -1, 1, 0.01, 0.1, " y= ", 2, false, -1},
        {CClipPlaneDlg::IDC_PLANEC, FIELD(s.clipPlane[2][2]), -1, 1, 0.01, 0.1, " z= ", 2, false, -1},
        {CClipPlaneDlg::IDC_PLANED, FIELD(s.clipPlane[2][3]), -w, w, 0.01 * w, 0.1 * w, " d= ", 2, false, -1},
        {CSurfaceDlg::IDC_OPAQUENESS, FIELD(s.opaqueness), 0, 1, 0.01, 0.1, "Opaqueness: ", 2, true, -1},
    };
    for (const NumericRow& row : rows) {
        SCOPED_TRACE(row.id);
        QWidget* control = Control(row.id);
        ASSERT_NE(control, nullptr);
        auto* scrivel = qobject_cast<IScrivel*>(control);
        ASSERT_NE(scrivel, nullptr);
        ASSERT_TRUE(control->isEnabled());
        EXPECT_EQ(scrivel->GetDescription(), QString::fromUtf8(row.descriptionUtf8));
        EXPECT_NEAR(scrivel->GetSmallChange(), row.smallChange, 1e-12);
        EXPECT_NEAR(scrivel->GetLargeChange(), row.largeChange, 1e-12);
        // The stand-in's spin box rounds to the decimals.
        const double shownWithin = 0.51 * std::pow(10.0, -row.decimals);
        EXPECT_NEAR(scrivel->GetScrollValue(), row.field(S()), shownWithin);
        if (auto* spin = control->findChild<QDoubleSpinBox*>()) {
            EXPECT_EQ(spin->decimals(), row.decimals);
        }

        // A value inside the range, entered as a user does, reaches the field and the picture.
        const double inside = std::round((row.minimum + 0.3 * (row.maximum - row.minimum)) * 100.0) / 100.0;
        S().sceneChanged = 0;
        hints_.hints.clear();
        const int customs = sheet_.customs, repaints = window_.repaints;
        Enter(control, inside);
        EXPECT_NEAR(row.field(S()), inside, 1e-9);
        EXPECT_EQ(S().sceneChanged, row.scene ? 1 : 0);
        if (row.hint >= 0) {
            EXPECT_TRUE(hints_.Saw(row.hint));
        }
        EXPECT_GT(sheet_.customs, customs);
        EXPECT_GT(window_.repaints, repaints);

        // Whatever the control reports, the field stays within the range.
        Enter(control, row.maximum + 1000.0 * (w + 1.0));
        EXPECT_DOUBLE_EQ(row.field(S()), row.maximum);
        FireNewValue(control, row.maximum + 1e9);
        EXPECT_DOUBLE_EQ(row.field(S()), row.maximum);
        FireNewValue(control, row.minimum - 1e9);
        EXPECT_DOUBLE_EQ(row.field(S()), row.minimum);
        FireNewValue(control, std::numeric_limits<double>::quiet_NaN());
        EXPECT_DOUBLE_EQ(row.field(S()), row.minimum);
    }

    // Moving the camera also moves the distance that mouse zooms keep.
    FireNewValue(Control(CScaleDlg::IDC_EYEZ), 4.0 * w);
    EXPECT_DOUBLE_EQ(S().homeEye.z, 4.0 * w);
    EXPECT_DOUBLE_EQ(S().homeEye.x, S().eye.x);
    // Another plane chosen: the controls show it, and edit it.
    S().clipPlane[4][1] = 0.5;
    planes->setCurrentIndex(4);
    emit planes->activated(4);
    EXPECT_DOUBLE_EQ(qobject_cast<IScrivel*>(Control(CClipPlaneDlg::IDC_PLANEB))->GetScrollValue(), 0.5);
    FireNewValue(Control(CClipPlaneDlg::IDC_PLANEB), -0.25);
    EXPECT_DOUBLE_EQ(S().clipPlane[4][1], -0.25);
    EXPECT_DOUBLE_EQ(S().clipPlane[2][1], -1.0);

    // The quality field: the view's quality, within what the tessellation knows, and "Draw" with the number.
    auto* quality = Control<QSlider>(CRendering::IDC_QUALITY);
    quality->setValue(7);
    EXPECT_EQ(view_->GetRenderQuality(), 7);
    EXPECT_EQ(Control<QWidget>(CRendering::IDC_QUALITYTEXT)->property("text").toString(), "Draw 7");
    quality->setValue(1000);
    EXPECT_EQ(view_->GetRenderQuality(), MAX_RENDER_QUALITY);
}

struct SwitchRow {
    int id;
    std::function<void(C3DViewSettings&, int)> set;
    std::function<int(const C3DViewSettings&)> get;
    int afterClick;
    bool scene;
    int hint;
};

#define SWITCH(expr) \
    [](C3DViewSettings& s, int v) { expr = v; }, [](const C3DViewSettings& s) { return static_cast<int>(expr); }

TEST_P(DisplayPages, SwitchesSetTheirFieldsAndRebuildWhatTheyChange) {
    Load("apbs-2-methylbutane.pdb", TEMPLATE_PDB);
    OpenPages(view_.get());
    auto* planes = Control<QComboBox>(CClipPlaneDlg::IDC_PLANELIST);
    planes->setCurrentIndex(3);
    emit planes->activated(3);
    const int frame = HINT_FRAME_CHANGED;
    const std::vector<SwitchRow> rows = {
        {CAtomProp::IDC_SHOWATOMS, SWITCH(s.showAtoms), 0, true, -1},
        {CAtomProp::IDC_SHOWBONDS, SWITCH(s.showBonds), 1, true, -1},
        {CAtomProp::IDC_SHOWSURFACE, SWITCH(s.showSurface), 0, true, -1},
        {CAtomProp::IDC_SPHERES, SWITCH(s.atomsAsSpheres), 1, true, -1},
        {CAtomProp::IDC_DOTS, SWITCH(s.atomsAsSpheres), 0, true, -1},
        {CAtomProp::IDC_TUBES, SWITCH(s.bondsAsTubes), 1, true, -1},
        {CAtomProp::IDC_LINES, SWITCH(s.bondsAsTubes), 0, true, -1},
        {CLight::IDC_POSITIONAL, SWITCH(s.lightPosition[3]), 1, true, frame},
        {CLight::IDC_DIRECTIONAL, SWITCH(s.lightPosition[3]), 0, true, frame},
        {CLight::IDC_FIXLIGHT, SWITCH(s.fixLightToLab), 0, true, frame},
        {CScaleDlg::IDC_PERSPECTIVE, SWITCH(s.perspective), 0, false, HINT_ROTATION_DONE},
        {CRendering::IDC_CELLBOX, SWITCH(s.showCellBox), 1, true, frame},
        {CRendering::IDC_AXES, SWITCH(s.showAxes), 0, false, -1},
        {CRendering::IDC_INFOTEXT, SWITCH(s.showInfoText), 0, false, -1},
        {CRendering::IDC_USECLIPPLANES, SWITCH(s.useClipPlanes), 1, true, -1},
        {CRendering::IDC_SMOOTHLINES, SWITCH(s.smoothLines), 0, false, frame},
        {CClipPlaneDlg::IDC_CLIPATOMS, SWITCH(s.clipAtoms[3]), 1, true, -1},
        {CClipPlaneDlg::IDC_CLIPBONDS, SWITCH(s.clipBonds[3]), 1, true, -1},
        {CClipPlaneDlg::IDC_CLIPSURFACE, SWITCH(s.clipSurface[3]), 1, false, -1},
        {CClipPlaneDlg::IDC_FIXPLANE, SWITCH(s.clipPlaneFixed[3]), 1, false, -1},
    };
    const std::pair<int, int> modes[] = {{CRendering::IDC_POINT, POLYGON_MODE_POINT},
                                         {CRendering::IDC_WIRE, POLYGON_MODE_LINE},
                                         {CRendering::IDC_FILL, POLYGON_MODE_FILL}};
    for (const SwitchRow& row : rows) {
        SCOPED_TRACE(row.id);
        auto* button = Control<QAbstractButton>(row.id);
        ASSERT_NE(button, nullptr);
        // Every control that depends on the atoms, bonds or surface being drawn is open for the click.
        S().showAtoms = S().showBonds = S().showSurface = 1;
        row.set(S(), 1 - row.afterClick);
        ShowSettingsInPages();
        ASSERT_TRUE(button->isEnabled());
        S().sceneChanged = 0;
        hints_.hints.clear();
        const int customs = sheet_.customs;
        button->click();
        EXPECT_EQ(row.get(S()), row.afterClick);
        EXPECT_EQ(S().sceneChanged, row.scene ? 1 : 0);
        if (row.hint >= 0) {
            EXPECT_TRUE(hints_.Saw(row.hint));
        }
        EXPECT_EQ(sheet_.customs, customs + 1);
    }
    for (const auto& [id, mode] : modes) {
        Control<QAbstractButton>(id)->click();
        EXPECT_EQ(S().polygonMode, mode);
    }
    EXPECT_EQ(sheet_.clipSwitches, std::vector<bool>{true});

    // The atom page opens only what the switches leave meaningful.
    S().showAtoms = 0, S().showBonds = 1, S().showSurface = 0;
    atom_->UpdateDisplayValues();
    EXPECT_FALSE(Control(CAtomProp::IDC_ATOMSCALE)->isEnabled());
    EXPECT_FALSE(Control(CAtomProp::IDC_DOTS)->isEnabled());
    EXPECT_TRUE(Control(CAtomProp::IDC_MAXBONDLENGTH)->isEnabled());
    EXPECT_FALSE(Control(CAtomProp::IDC_SURFACE)->isEnabled());
    Control<QAbstractButton>(CAtomProp::IDC_SHOWATOMS)->click();
    EXPECT_TRUE(Control(CAtomProp::IDC_ATOMSCALE)->isEnabled());

    // Colours: the picker starts from the current colour (components x 255) and its choice is stored.
    QColor offered;
    SetColourPicker([&](const QColor& current, QWidget*) -> std::optional<QColor> {
        offered = current;
        return QColor(51, 102, 255);
    });
    S().background[0] = 1.0f, S().background[1] = 0.5f, S().background[2] = 0.0f;
    Control<QAbstractButton>(CLight::IDC_BACKGROUND)->click();
    EXPECT_EQ(offered, QColor(255, 128, 0));
    EXPECT_FLOAT_EQ(S().background[1], 0.4f);
    Control<QAbstractButton>(CLight::IDC_LIGHTCOLOUR)->click();
    EXPECT_FLOAT_EQ(S().lightColour[2], 1.0f);
    EXPECT_FLOAT_EQ(S().lightColour[0], 0.2f);

    // Camera: the angles go back to 0; the reset places the camera for the molecule.
    S().psi = 30, S().phi = 40, S().theta = 50, S().eye = Vector(1, 2, 3);
    Control<QAbstractButton>(CScaleDlg::IDC_RESETANGLES)->click();
    EXPECT_EQ(S().psi + S().phi + S().theta, 0.0);
    Control<QAbstractButton>(CScaleDlg::IDC_RESET)->click();
    EXPECT_DOUBLE_EQ(S().eye.z, 3.0 * w_);
    EXPECT_NEAR(qobject_cast<IScrivel*>(Control(CScaleDlg::IDC_EYEZ))->GetScrollValue(), 3.0 * w_, 1e-3);
    camera_->EnableCameraControls(false);
    for (int id : {CScaleDlg::IDC_EYEX, CScaleDlg::IDC_AIMZ, CScaleDlg::IDC_RESET})
        EXPECT_FALSE(Control(id)->isEnabled()) << id;
    EXPECT_TRUE(Control(CScaleDlg::IDC_FIELDOFVIEW)->isEnabled());
    camera_->EnableCameraControls(true);
    EXPECT_TRUE(Control(CScaleDlg::IDC_AIMZ)->isEnabled());
}

TEST_P(DisplayPages, TessellationSwitchReleasesAWaitingGovernorAndLetsAFinishedOneStartAgain) {
    Load("apbs-2-methylbutane.pdb", TEMPLATE_PDB);
    OpenPages(view_.get());
    struct Animating : CViewHost {
        bool IsAnimating() const override { return true; }
    } animating;
    view_->SetHost(&animating);
    view_->SetGovernorLimits({5, 40, 1});
    S().optimiseTessellation = 1, S().showSurface = 0;
    view_->OnUpdate(HINT_FILE_LOADED);
    view_->SaveQualityForSpeed();
    view_->Governor().Join();
    ASSERT_TRUE(view_->Governor().IsFinished());
    rendering_->UpdateDisplayValues();

    auto* optimise = Control<QAbstractButton>(CRendering::IDC_OPTIMISE);
    const std::shared_ptr<NamedEvent> lists = NamedEvent::Open("DisplayListevent_" + doc_.GetGUIDstr());
    ASSERT_NE(lists, nullptr);
    lists->Reset();  // as while a compile runs: a measurement would wait
    optimise->click();
    EXPECT_EQ(S().optimiseTessellation, 0);
    EXPECT_TRUE(lists->IsSet());
    EXPECT_TRUE(view_->Governor().IsFinished());
    optimise->click();
    EXPECT_EQ(S().optimiseTessellation, 1);
    EXPECT_FALSE(view_->Governor().IsFinished());
    view_->SetHost(&window_);
}

TEST_P(DisplayPages, GovernorNoticesRefreshTheAtomPageAndTheSurfaceDialogWhileTheyAreRegistered) {
    Load("apbs-2-methylbutane.pdb", TEMPLATE_PDB);
    OpenPages(view_.get());
    CSurfaceDlg* surface = atom_->SurfaceDialog();
    MessageCounter notices;
    atom_->installEventFilter(&notices);
    S().surfaceDistance = 1.0, S().surfaceStep = 0.8, S().bondSize = 8.0;
    ShowSettingsInPages();
    auto shown = [&](int id) { return qobject_cast<IScrivel*>(Control(id))->GetScrollValue(); };

    // The quality falls below 4: lines and points, thin bonds. The page learns of it from its notice.
    view_->OnSetSceneTesselation(GOVERNOR_TESSELLATION, -100);
    ASSERT_DOUBLE_EQ(S().bondSize, 1.0);
    EXPECT_DOUBLE_EQ(shown(CAtomProp::IDC_BONDSIZE), 8.0);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(notices.count, 1);
    EXPECT_DOUBLE_EQ(shown(CAtomProp::IDC_BONDSIZE), 1.0);
    EXPECT_TRUE(Control<QAbstractButton>(CAtomProp::IDC_DOTS)->isChecked());
    EXPECT_TRUE(Control<QAbstractButton>(CAtomProp::IDC_LINES)->isChecked());

    // A coarser surface: 0.8 + 2 x 0.1 x 0.8.
    view_->OnSetSceneTesselation(GOVERNOR_SURFACE_STEP, 2);
    QCoreApplication::sendPostedEvents();
    EXPECT_NEAR(S().surfaceStep, 0.96, 1e-12);
    EXPECT_NEAR(shown(CSurfaceDlg::IDC_STEP), 0.96, 1e-12);
    EXPECT_FALSE(Control(CSurfaceDlg::IDC_APPLY)->isEnabled());

    // A dialog that goes and a page turned to no view hear nothing more (and nothing dangles).
    delete surface;
    atom_->SetView(nullptr);
    S().bondSize = 3.0;
    const int heard = notices.count;
    view_->OnSetSceneTesselation(GOVERNOR_REFRESH, 0);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(notices.count, heard);
    atom_->SetView(view_.get());
    EXPECT_DOUBLE_EQ(shown(CAtomProp::IDC_BONDSIZE), 3.0);
}

TEST_P(DisplayPages, SurfaceDialogAppliesDistanceAndStepOnlyWhenTheyDiffer) {
    Load("apbs-2-methylbutane.pdb", TEMPLATE_PDB);
    OpenPages(view_.get());
    S().surfaceDistance = 1.0, S().surfaceStep = 0.8;
    ShowSettingsInPages();
    auto* apply = Control<QPushButton>(CSurfaceDlg::IDC_APPLY);
    QWidget* distance = Control(CSurfaceDlg::IDC_DISTANCE);
    QWidget* step = Control(CSurfaceDlg::IDC_STEP);
    EXPECT_TRUE(distance->isEnabled() && step->isEnabled());
    EXPECT_FALSE(Control(CSurfaceDlg::IDC_LEVELLIST)->isEnabled()) << "a molecule has no iso-levels";
    EXPECT_FALSE(apply->isEnabled());

    Enter(distance, 1.5);
    EXPECT_TRUE(apply->isEnabled());
    EXPECT_DOUBLE_EQ(S().surfaceDistance, 1.0) << "only Apply changes the settings";
    Enter(distance, 1.0);
    EXPECT_FALSE(apply->isEnabled());
    FireNewValue(step, 0.01);  // below its range: the step is kept at 0.05
    EXPECT_TRUE(apply->isEnabled());
    FireNewValue(distance, 7.0);
    S().sceneChanged = S().surfaceChanged = 0;
    const int customs = sheet_.customs;
    apply->click();
    EXPECT_DOUBLE_EQ(S().surfaceStep, 0.05);
    EXPECT_DOUBLE_EQ(S().surfaceDistance, 3.0);
    EXPECT_EQ(S().surfaceChanged, 1);
    EXPECT_EQ(S().sceneChanged, 1);
    EXPECT_EQ(sheet_.customs, customs + 1);
    EXPECT_FALSE(apply->isEnabled());
}

TEST_P(DisplayPages, VolumetricDataEditsItsIsoLevelsAndPlacesThemAutomatically) {
    Load("valid-cube-angstrom-units.cube", TEMPLATE_CUBE);
    ASSERT_TRUE(view_->ShowsVolumetricData());
    ASSERT_LT(doc_.voxelMin, doc_.voxelMax);
    OpenPages(view_.get());
    EXPECT_FALSE(Control(CSurfaceDlg::IDC_DISTANCE)->isEnabled());
    EXPECT_FALSE(Control(CSurfaceDlg::IDC_STEP)->isEnabled());
    auto* levels = Control<QComboBox>(CSurfaceDlg::IDC_LEVELLIST);
    EXPECT_EQ(levels->itemText(5), "6th iso-contour surface");
    levels->setCurrentIndex(4);
    emit levels->activated(4);

    auto* automatic = Control<QAbstractButton>(CSurfaceDlg::IDC_AUTOLEVELS);
    QWidget* value = Control(CSurfaceDlg::IDC_ISOVALUE);
    S().autoIsoLevels = 0;
    atom_->UpdateDisplayValues();
    ASSERT_TRUE(value->isEnabled());
    FireNewValue(value, doc_.voxelMax + 1.0);
    EXPECT_DOUBLE_EQ(S().isoLevel[4], doc_.voxelMax);
    FireNewValue(value, doc_.voxelMin - 1.0);
    EXPECT_DOUBLE_EQ(S().isoLevel[4], doc_.voxelMin);
    EXPECT_EQ(S().surfaceChanged, 1);

    Control<QAbstractButton>(CSurfaceDlg::IDC_SHOWLEVEL)->click();
    EXPECT_EQ(S().showIsoLevel[4], 0);
    EXPECT_EQ(S().showIsoLevel[3], 1);
    EXPECT_TRUE(hints_.Saw(HINT_FRAME_CHANGED));

    // Switched on, the levels are placed from the data again and the value is no longer the user's.
    for (double& level : S().isoLevel) level = 12345.0;
    automatic->click();
    EXPECT_EQ(S().autoIsoLevels, 1);
    EXPECT_FALSE(value->isEnabled());
    for (double level : S().isoLevel) {
        EXPECT_NE(level, 12345.0);
        EXPECT_TRUE(level >= doc_.voxelMin && level <= doc_.voxelMax) << level;
    }
    EXPECT_NEAR(qobject_cast<IScrivel*>(value)->GetScrollValue(), S().isoLevel[4], 1e-4);

    SetColourPicker([](const QColor&, QWidget*) -> std::optional<QColor> { return QColor(0, 255, 0); });
    S().surfaceRecolour = 0;
    Control<QAbstractButton>(CSurfaceDlg::IDC_LEVELCOLOUR)->click();
    EXPECT_EQ(S().isoColour[4].y, 1.0);
    EXPECT_EQ(S().isoColour[4].x, 0.0);
    EXPECT_EQ(S().surfaceRecolour, 1);
}

TEST_P(DisplayPages, LimitsDialogKeepsTheLimitsWhateverIsTyped) {
    OpenPages(nullptr);
    CCPUAntiHogDlg* dialog = rendering_->CPUAntiHogDialog();
    auto* minimum = Control<QLineEdit>(CCPUAntiHogDlg::IDC_MINCPU);
    auto* maximum = Control<QLineEdit>(CCPUAntiHogDlg::IDC_MAXCPU);
    auto* passes = Control<QLineEdit>(CCPUAntiHogDlg::IDC_PASSES);
    CAppSettings& a = appSettings_;
    EXPECT_EQ(minimum->text(), "5");
    EXPECT_EQ(maximum->text(), "40");
    EXPECT_EQ(passes->text(), "10");
    // After every keystroke the limits hold.
    int checked = 0;
    for (QLineEdit* edit : {minimum, maximum, passes})
        QObject::connect(edit, &QLineEdit::textEdited, dialog, [&] {
            ++checked;
            EXPECT_TRUE(0 <= a.minCPUUsage && a.minCPUUsage <= a.maxCPUUsage && a.maxCPUUsage <= 100 &&
                        a.maxGovernorIterations >= 1)
                << a.minCPUUsage << " " << a.maxCPUUsage << " " << a.maxGovernorIterations;
        });
    auto type = [](QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    };
    auto leave = [](QLineEdit* edit) { QTest::keyClick(edit, Qt::Key_Return); };

    type(minimum, "50");
    EXPECT_EQ(a.minCPUUsage, 40) << "cut to the maximum";
    EXPECT_EQ(minimum->text(), "50") << "typing is not rewritten";
    leave(minimum);
    EXPECT_EQ(minimum->text(), "40");
    type(maximum, "500");
    EXPECT_EQ(a.maxCPUUsage, 100);
    type(maximum, "-7");
    EXPECT_EQ(a.maxCPUUsage, 40) << "raised to the minimum";
    type(minimum, "-3");
    EXPECT_EQ(a.minCPUUsage, 0);
    type(passes, "0");
    EXPECT_EQ(a.maxGovernorIterations, 1);
    type(passes, "7");
    type(passes, "abc");
    EXPECT_EQ(a.maxGovernorIterations, 7) << "letters change nothing";
    type(passes, "");
    EXPECT_EQ(a.maxGovernorIterations, 7);
    leave(passes);
    EXPECT_EQ(passes->text(), "7") << "an empty field shows the value again";
    type(passes, "99999999999999999999999");
    EXPECT_EQ(a.maxGovernorIterations, INT_MAX);
    type(minimum, "1e3 ");
    EXPECT_EQ(a.minCPUUsage, 1);
    EXPECT_GT(checked, 30);

    // A damaged store is brought back within the rules by the first keystroke.
    a.minCPUUsage = 80, a.maxCPUUsage = 120, a.maxGovernorIterations = -4;
    dialog->UpdateDisplayValues();
    type(passes, "3");
    EXPECT_EQ(a.maxCPUUsage, 100);
    EXPECT_EQ(a.minCPUUsage, 80);
    EXPECT_EQ(a.maxGovernorIterations, 3);
    a.minCPUUsage = 90, a.maxCPUUsage = 20;
    type(maximum, "x");
    EXPECT_EQ(a.minCPUUsage, 20);
    EXPECT_EQ(a.maxCPUUsage, 20);

    // Without settings typing changes nothing.
    rendering_->SetAppSettings(nullptr);
    type(minimum, "12");
    leave(minimum);
    EXPECT_EQ(a.minCPUUsage, 20);
}

TEST_P(DisplayPages, PagesWithoutAViewDoNothing) {
    Load("apbs-2-methylbutane.pdb", TEMPLATE_PDB);
    const C3DViewSettings before(S());
    for (CDravikGLView* view : {static_cast<CDravikGLView*>(nullptr), view_.get()}) {
        OpenPages(view);
        if (view) {
            // Turned away from their view, pages stop editing it.
            atom_->SetView(nullptr), light_->SetView(nullptr), camera_->SetView(nullptr), rendering_->SetView(nullptr);
        }
        const int repaints = window_.repaints;
        int scrollers = 0, buttons = 0;
        for (QWidget* page : Pages()) {
            for (QWidget* control : page->findChildren<QWidget*>()) {
                if (qobject_cast<IScrivel*>(control)) {
                    ++scrollers;
                    FireNewValue(control, 0.5);
                    FireNewValue(control, -1e9);
                } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                    ++buttons;
                    button->click();
                }
            }
        }
        Control<QSlider>(CRendering::IDC_QUALITY)->setValue(3);
        for (int level = 0; level < 6; ++level) atom_->SurfaceDialog()->OnSelchangeLevel(level);
        atom_->SurfaceDialog()->OnApply();
        atom_->SurfaceDialog()->OnAutoLevels();
        camera_->OnReset();
        EXPECT_EQ(scrollers, 3 + 7 + 10 + 4 + 4);
        EXPECT_GT(buttons, 30);
        EXPECT_EQ(sheet_.customs, 0);
        EXPECT_TRUE(sheet_.clipSwitches.empty());
        EXPECT_EQ(window_.repaints, repaints);
        ClosePages();
    }
    EXPECT_EQ(view_->GetRenderQuality(), before.renderQuality);
    EXPECT_EQ(S().atomScale, before.atomScale);
    EXPECT_EQ(S().eye.z, before.eye.z);
    EXPECT_EQ(S().showAtoms, before.showAtoms);
    EXPECT_EQ(S().perspective, before.perspective);
}

INSTANTIATE_TEST_SUITE_P(Controls, DisplayPages, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("ScrivelControl") : std::string("PlainStandIn");
                         });

}  // namespace
}  // namespace zelvor
