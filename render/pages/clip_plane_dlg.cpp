#include "render/pages/clip_plane_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QVBoxLayout>
#include <algorithm>

#include "render/dravik_gl_view.h"
#include "render/pages/page_controls.h"

namespace zelvor {

namespace {

const char* const kOrdinals[] = {"1st", "2nd", "3rd", "4th", "5th", "6th"};
constexpr int kPlanes = 6;
constexpr int kIds[] = {CClipPlaneDlg::IDC_PLANEA, CClipPlaneDlg::IDC_PLANEB, CClipPlaneDlg::IDC_PLANEC,
                        CClipPlaneDlg::IDC_PLANED};

}  // namespace

CClipPlaneDlg::CClipPlaneDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(IDD));
    setWindowTitle(QString::fromLatin1(CAPTION));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    planes_ = new QComboBox(this);
    planes_->setObjectName(QString::number(IDC_PLANELIST));
    for (const char* ordinal : kOrdinals) planes_->addItem(QString::fromLatin1(ordinal) + " Clipping Plane");
    connect(planes_, &QComboBox::activated, this, &CClipPlaneDlg::OnSelchangePlane);
    layout->addWidget(planes_);
    for (int k = 0; k < 4; ++k) {
        coefficients_[k] = new CBoundScroller(this, kIds[k]);
        // The planes are set at every paint; which features they clip is compiled with the scene.
        connect(coefficients_[k], &CBoundScroller::Changed, this, [this, k](double value) {
            link_.Apply([&](C3DViewSettings& s) { s.clipPlane[plane_][k] = value; });
        });
        layout->addWidget(coefficients_[k]->Widget());
    }
    clipAtoms_ = MakeButton<QCheckBox>(this, QStringLiteral("Clip Atoms"), IDC_CLIPATOMS);
    clipBonds_ = MakeButton<QCheckBox>(this, QStringLiteral("Clip Bonds"), IDC_CLIPBONDS);
    clipSurface_ = MakeButton<QCheckBox>(this, QStringLiteral("Clip Surface"), IDC_CLIPSURFACE);
    fixPlane_ = MakeButton<QCheckBox>(this, QStringLiteral("Fix plane to laboratory coordinate system"), IDC_FIXPLANE);
    for (QCheckBox* check : {clipAtoms_, clipBonds_, clipSurface_, fixPlane_}) layout->addWidget(check);
    connect(clipAtoms_, &QCheckBox::clicked, this, &CClipPlaneDlg::OnClipAtoms);
    connect(clipBonds_, &QCheckBox::clicked, this, &CClipPlaneDlg::OnClipBonds);
    connect(clipSurface_, &QCheckBox::clicked, this, &CClipPlaneDlg::OnClipSurface);
    connect(fixPlane_, &QCheckBox::clicked, this, &CClipPlaneDlg::OnFixPlane);
    UpdateDisplayValues();
}

CClipPlaneDlg::~CClipPlaneDlg() = default;

void CClipPlaneDlg::SetView(CDravikGLView* view) {
    link_.view = view;
    UpdateDisplayValues();
}

void CClipPlaneDlg::UpdateDisplayValues() {
    const double w = link_.CellWidth();
    const ScrollerSetup setups[4] = {
        {-1.0, 1.0, 0.01, 0.1, QStringLiteral(" x= "), QString(), 2},
        {-1.0, 1.0, 0.01, 0.1, QStringLiteral(" y= "), QString(), 2},
        {-1.0, 1.0, 0.01, 0.1, QStringLiteral(" z= "), QString(), 2},
        {-D_RANGE * w, D_RANGE * w, 0.01 * w, 0.1 * w, QStringLiteral(" d= "), QString(), 2},
    };
    const C3DViewSettings* s = link_.Settings();
    for (int k = 0; k < 4; ++k) coefficients_[k]->Setup(setups[k], s ? s->clipPlane[plane_][k] : 0.0);
    planes_->setCurrentIndex(plane_);
    if (!s) return;
    clipAtoms_->setChecked(s->clipAtoms[plane_] == 1);
    clipBonds_->setChecked(s->clipBonds[plane_] == 1);
    clipSurface_->setChecked(s->clipSurface[plane_] == 1);
    fixPlane_->setChecked(s->clipPlaneFixed[plane_] == 1);
}

void CClipPlaneDlg::OnSelchangePlane(int plane) {
    plane_ = std::clamp(plane, 0, kPlanes - 1);
    UpdateDisplayValues();
}

void CClipPlaneDlg::Switch(QCheckBox* check, std::int32_t (C3DViewSettings::*field)[6], bool scene) {
    const int on = check->isChecked() ? 1 : 0;
    const int plane = plane_;
    link_.Apply([&](C3DViewSettings& s) { (s.*field)[plane] = on; }, {.scene = scene});
}

// Atoms and bonds are clipped inside the scene list; the surface and the planes' frames at every paint.
void CClipPlaneDlg::OnClipAtoms() { Switch(clipAtoms_, &C3DViewSettings::clipAtoms, true); }
void CClipPlaneDlg::OnClipBonds() { Switch(clipBonds_, &C3DViewSettings::clipBonds, true); }
void CClipPlaneDlg::OnClipSurface() { Switch(clipSurface_, &C3DViewSettings::clipSurface, false); }
void CClipPlaneDlg::OnFixPlane() { Switch(fixPlane_, &C3DViewSettings::clipPlaneFixed, false); }

}  // namespace zelvor
