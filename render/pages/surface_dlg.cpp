#include "render/pages/surface_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "model/dravik_doc.h"
#include "platform/qt_message_target.h"
#include "render/dravik_gl_view.h"
#include "render/pages/colour_picker.h"
#include "render/pages/page_controls.h"

namespace zelvor {

namespace {

const char* const kOrdinals[] = {"1st", "2nd", "3rd", "4th", "5th", "6th"};
constexpr int kLevels = 6;

/// A change of the surface's look is compiled with the scene.
const ChangeEffects kSceneChange{.scene = true};

}  // namespace

CSurfaceDlg::CSurfaceDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(IDD));
    setWindowTitle(QString::fromLatin1(CAPTION));
    setModal(false);
    auto* layout = new QVBoxLayout(this);

    scrollers_[DISTANCE] = new CBoundScroller(this, IDC_DISTANCE);
    scrollers_[STEP] = new CBoundScroller(this, IDC_STEP);
    // Distance and step are edited here and take effect on Apply: each change would start a new surface.
    connect(scrollers_[DISTANCE], &CBoundScroller::Changed, this, [this](double value) {
        if (!link_.view) return;
        distance_ = value;
        EnableApply();
    });
    connect(scrollers_[STEP], &CBoundScroller::Changed, this, [this](double value) {
        if (!link_.view) return;
        step_ = value;
        EnableApply();
    });
    apply_ = MakeButton<QPushButton>(this, QStringLiteral("Apply"), IDC_APPLY);
    connect(apply_, &QPushButton::clicked, this, &CSurfaceDlg::OnApply);
    auto* molecular = new QGroupBox(QStringLiteral("Molecular surface"), this);
    auto* molecularLayout = new QVBoxLayout(molecular);
    molecularLayout->addWidget(scrollers_[DISTANCE]->Widget());
    molecularLayout->addWidget(scrollers_[STEP]->Widget());
    molecularLayout->addWidget(apply_, 0, Qt::AlignRight);
    layout->addWidget(molecular);

    scrollers_[OPAQUENESS] =
        BindScroller(this, IDC_OPAQUENESS, link_, [](C3DViewSettings& s) -> double& { return s.opaqueness; },
                     kSceneChange);
    layout->addWidget(scrollers_[OPAQUENESS]->Widget());

    auto* volumetric = new QGroupBox(QStringLiteral("Iso-contour surfaces"), this);
    auto* volumetricLayout = new QVBoxLayout(volumetric);
    levels_ = new QComboBox(volumetric);
    levels_->setObjectName(QString::number(IDC_LEVELLIST));
    for (const char* ordinal : kOrdinals) levels_->addItem(QString::fromLatin1(ordinal) + " iso-contour surface");
    connect(levels_, &QComboBox::activated, this, &CSurfaceDlg::OnSelchangeLevel);
    scrollers_[ISO_VALUE] = new CBoundScroller(this, IDC_ISOVALUE);
    // The iso-value edits the chosen level; the surfaces are built again for it.
    connect(scrollers_[ISO_VALUE], &CBoundScroller::Changed, this, [this](double value) {
        link_.Apply([&](C3DViewSettings& s) { s.isoLevel[level_] = value; }, {.surface = true});
    });
    showLevel_ = MakeButton<QCheckBox>(volumetric, QStringLiteral("Show this surface"), IDC_SHOWLEVEL);
    connect(showLevel_, &QCheckBox::clicked, this, &CSurfaceDlg::OnShowLevel);
    autoLevels_ = MakeButton<QCheckBox>(volumetric, QStringLiteral("Automatic iso-levels"), IDC_AUTOLEVELS);
    connect(autoLevels_, &QCheckBox::clicked, this, &CSurfaceDlg::OnAutoLevels);
    levelColour_ = MakeButton<QPushButton>(volumetric, QStringLiteral("Colour..."), IDC_LEVELCOLOUR);
    connect(levelColour_, &QPushButton::clicked, this, &CSurfaceDlg::OnLevelColour);
    volumetricLayout->addWidget(levels_);
    volumetricLayout->addWidget(scrollers_[ISO_VALUE]->Widget());
    auto* levelRow = new QHBoxLayout;
    levelRow->addWidget(showLevel_);
    levelRow->addWidget(levelColour_);
    volumetricLayout->addLayout(levelRow);
    volumetricLayout->addWidget(autoLevels_);
    layout->addWidget(volumetric);
    UpdateDisplayValues();
}

CSurfaceDlg::~CSurfaceDlg() = default;

void CSurfaceDlg::SetView(CDravikGLView* view) {
    link_.view = view;
    target_.Attach(view);
    UpdateDisplayValues();
}

ScrollerSetup CSurfaceDlg::IsoValueSetup() const {
    // The data's own value range; without one (no volumetric data yet) a symmetric unit range.
    double low = -1.0, high = 1.0;
    if (const CDravikDoc* doc = link_.view ? link_.view->GetDocument() : nullptr) {
        if (std::isfinite(doc->voxelMin) && std::isfinite(doc->voxelMax) && doc->voxelMin < doc->voxelMax)
            low = doc->voxelMin, high = doc->voxelMax;
    }
    const double span = high - low;
    return {low, high, span / 1000.0, span / 100.0, QStringLiteral("Iso value: "), QString(), 4};
}

void CSurfaceDlg::UpdateDisplayValues() {
    const ScrollerSetup distance{0.0, 3.0, 0.001, 0.01, QStringLiteral("Distance = "), QString(), 3};
    const ScrollerSetup step{0.05, 2.0, 0.05, 0.2, QStringLiteral("Step size: "), QString(), 3};
    const ScrollerSetup opaqueness{0.0, 1.0, 0.01, 0.1, QStringLiteral("Opaqueness: "), QString(), 2};
    C3DViewSettings* s = link_.Settings();
    if (s) {
        distance_ = s->surfaceDistance;
        step_ = s->surfaceStep;
    }
    scrollers_[DISTANCE]->Setup(distance, distance_);
    scrollers_[STEP]->Setup(step, step_);
    scrollers_[OPAQUENESS]->Setup(opaqueness, s ? s->opaqueness : 0.0);
    scrollers_[ISO_VALUE]->Setup(IsoValueSetup(), s ? s->isoLevel[level_] : 0.0);
    levels_->setCurrentIndex(level_);
    if (s) {
        showLevel_->setChecked(s->showIsoLevel[level_] == 1);
        autoLevels_->setChecked(s->autoIsoLevels == 1);
    }
    ControlEnabling();
    EnableApply();
}

void CSurfaceDlg::ControlEnabling() {
    const bool volumetric = link_.view && link_.view->ShowsVolumetricData();
    scrollers_[DISTANCE]->Widget()->setEnabled(!volumetric);
    scrollers_[STEP]->Widget()->setEnabled(!volumetric);
    levels_->setEnabled(volumetric);
    scrollers_[ISO_VALUE]->Widget()->setEnabled(volumetric && !autoLevels_->isChecked());
    showLevel_->setEnabled(volumetric);
    autoLevels_->setEnabled(volumetric);
    levelColour_->setEnabled(volumetric);
}

void CSurfaceDlg::EnableApply() {
    const C3DViewSettings* s = link_.Settings();
    apply_->setEnabled(s && (distance_ != s->surfaceDistance || step_ != s->surfaceStep));
}

void CSurfaceDlg::OnApply() {
    const double distance = distance_, step = step_;
    link_.Apply(
        [&](C3DViewSettings& s) {
            s.surfaceDistance = distance;
            s.surfaceStep = step;
        },
        {.scene = true, .surface = true});
    EnableApply();
}

void CSurfaceDlg::OnSelchangeLevel(int level) {
    level_ = std::clamp(level, 0, kLevels - 1);
    UpdateDisplayValues();
}

void CSurfaceDlg::OnShowLevel() {
    const int on = showLevel_->isChecked() ? 1 : 0;
    link_.Apply([&](C3DViewSettings& s) { s.showIsoLevel[level_] = on; }, {.hint = HINT_FRAME_CHANGED});
}

void CSurfaceDlg::OnAutoLevels() {
    const int on = autoLevels_->isChecked() ? 1 : 0;
    if (!link_.Apply([on](C3DViewSettings& s) { s.autoIsoLevels = on; }, {.surface = true})) return;
    if (on) link_.view->SetCubeDefaultIsolevels();
    UpdateDisplayValues();
}

void CSurfaceDlg::OnLevelColour() {
    const C3DViewSettings* s = link_.Settings();
    if (!s) return;
    const Vector& c = s->isoColour[level_];
    const std::optional<QColor> colour = PickColour(ColourFromComponents(c.x, c.y, c.z), this);
    if (!colour || !colour->isValid()) return;
    const Vector chosen(colour->redF(), colour->greenF(), colour->blueF());
    link_.Apply([&](C3DViewSettings& t) { t.isoColour[level_] = chosen; }, {.recolour = true});
}

bool CSurfaceDlg::event(QEvent* event) {
    if (const std::optional<AppMessage> message = DecodeAppMessage(event)) {
        if (message->code == MSG_REFRESH_SURFACE_PAGE) UpdateDisplayValues();
        return true;
    }
    return QDialog::event(event);
}

}  // namespace zelvor
