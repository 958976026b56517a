#include "render/pages/rendering.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "model/dravik_doc.h"
#include "render/dravik_gl_view.h"
#include "render/pages/clip_plane_dlg.h"
#include "render/pages/cpu_anti_hog_dlg.h"
#include "render/pages/display_pages_host.h"
#include "render/pages/page_controls.h"
#include "render/tessellation.h"

namespace zelvor {

namespace {

constexpr int kNoHint = -1;

}  // namespace

CRendering::CRendering(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(IDD));
    setWindowTitle(QString::fromLatin1(CAPTION));
    auto* layout = new QVBoxLayout(this);

    auto* mode = new QGroupBox(QStringLiteral("Drawing"), this);
    auto* modeLayout = new QHBoxLayout(mode);
    fill_ = MakeButton<QRadioButton>(mode, QStringLiteral("Ball and stick"), IDC_FILL);
    point_ = MakeButton<QRadioButton>(mode, QStringLiteral("Point"), IDC_POINT);
    wire_ = MakeButton<QRadioButton>(mode, QStringLiteral("Wire"), IDC_WIRE);
    auto* modes = new QButtonGroup(this);
    for (QRadioButton* button : {fill_, point_, wire_}) {
        modes->addButton(button);
        modeLayout->addWidget(button);
    }
    layout->addWidget(mode);
    connect(fill_, &QRadioButton::clicked, this, &CRendering::OnFill);
    connect(point_, &QRadioButton::clicked, this, &CRendering::OnPoint);
    connect(wire_, &QRadioButton::clicked, this, &CRendering::OnWire);

    cellBox_ = MakeButton<QCheckBox>(this, QStringLiteral("Draw the cell box"), IDC_CELLBOX);
    axes_ = MakeButton<QCheckBox>(this, QStringLiteral("Draw the coordinate axes"), IDC_AXES);
    infoText_ = MakeButton<QCheckBox>(this, QStringLiteral("Show information text"), IDC_INFOTEXT);
    useClipPlanes_ = MakeButton<QCheckBox>(this, QStringLiteral("Use Clip Planes"), IDC_USECLIPPLANES);
    smoothLines_ = MakeButton<QCheckBox>(this, QStringLiteral("Smooth lines and points"), IDC_SMOOTHLINES);
    optimise_ = MakeButton<QCheckBox>(
        this, QStringLiteral("Adjust tessellation to avoid taxing the CPU when animating"), IDC_OPTIMISE);
    for (QCheckBox* check : {cellBox_, axes_, infoText_, useClipPlanes_, smoothLines_, optimise_})
        layout->addWidget(check);
    // clicked, not toggled: showing the settings sets the boxes without running the handlers.
    connect(cellBox_, &QCheckBox::clicked, this, &CRendering::OnCellBox);
    connect(axes_, &QCheckBox::clicked, this, &CRendering::OnAxes);
    connect(infoText_, &QCheckBox::clicked, this, &CRendering::OnInfoText);
    connect(useClipPlanes_, &QCheckBox::clicked, this, &CRendering::OnUseClipPlanes);
    connect(smoothLines_, &QCheckBox::clicked, this, &CRendering::OnSmoothLines);
    connect(optimise_, &QCheckBox::clicked, this, &CRendering::OnOptimise);

    auto* qualityRow = new QHBoxLayout;
    qualityText_ = new QLabel(this);
    qualityText_->setObjectName(QString::number(IDC_QUALITYTEXT));
    quality_ = new QSlider(Qt::Horizontal, this);
    quality_->setObjectName(QString::number(IDC_QUALITY));
    // The slider offers exactly the qualities the tessellation knows.
    quality_->setRange(MIN_RENDER_QUALITY, MAX_RENDER_QUALITY);
    quality_->setPageStep(4);
    connect(quality_, &QSlider::valueChanged, this, &CRendering::OnQuality);
    qualityRow->addWidget(qualityText_);
    qualityRow->addWidget(quality_, 1);
    layout->addLayout(qualityRow);

    auto* buttons = new QHBoxLayout;
    clipPlanes_ = MakeButton<QPushButton>(this, QStringLiteral("Clip Planes..."), IDC_CLIPPLANES);
    cpuUsage_ = MakeButton<QPushButton>(this, QStringLiteral("Processor Usage..."), IDC_CPUUSAGE);
    connect(clipPlanes_, &QPushButton::clicked, this, &CRendering::OnClipPlanes);
    connect(cpuUsage_, &QPushButton::clicked, this, &CRendering::OnCPUUsage);
    buttons->addWidget(clipPlanes_);
    buttons->addWidget(cpuUsage_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(1);
    UpdateDisplayValues();
}

CRendering::~CRendering() = default;

void CRendering::SetView(CDravikGLView* view) {
    link_.view = view;
    if (clipPlaneDlg_) clipPlaneDlg_->SetView(view);
    UpdateDisplayValues();
}

void CRendering::SetHost(CDisplayPagesHost* host) {
    link_.host = host;
    if (clipPlaneDlg_) clipPlaneDlg_->SetHost(host);
}

void CRendering::SetAppSettings(CAppSettings* settings) {
    appSettings_ = settings;
    if (cpuAntiHogDlg_) cpuAntiHogDlg_->SetAppSettings(settings);
}

void CRendering::UpdateDisplayValues() {
    if (const C3DViewSettings* s = link_.Settings()) {
        (s->polygonMode == POLYGON_MODE_POINT  ? point_
         : s->polygonMode == POLYGON_MODE_LINE ? wire_
                                               : fill_)
            ->setChecked(true);
        cellBox_->setChecked(s->showCellBox == 1);
        axes_->setChecked(s->showAxes == 1);
        infoText_->setChecked(s->showInfoText == 1);
        useClipPlanes_->setChecked(s->useClipPlanes == 1);
        smoothLines_->setChecked(s->smoothLines == 1);
        optimise_->setChecked(s->optimiseTessellation == 1);
        ShowQuality(link_.view->GetRenderQuality());
    } else {
        ShowQuality(quality_->value());
    }
    if (clipPlaneDlg_) clipPlaneDlg_->UpdateDisplayValues();
    if (cpuAntiHogDlg_) cpuAntiHogDlg_->UpdateDisplayValues();
}

void CRendering::ShowQuality(int quality) {
    showing_ = true;
    quality_->setValue(quality);
    showing_ = false;
    qualityText_->setText(QStringLiteral("Draw ") + QString::number(quality_->value()));
}

void CRendering::SetPolygonMode(int mode) {
    link_.Apply([mode](C3DViewSettings& s) { s.polygonMode = mode; });
}

void CRendering::OnFill() { SetPolygonMode(POLYGON_MODE_FILL); }
void CRendering::OnPoint() { SetPolygonMode(POLYGON_MODE_POINT); }
void CRendering::OnWire() { SetPolygonMode(POLYGON_MODE_LINE); }

void CRendering::Switch(QCheckBox* check, std::int32_t C3DViewSettings::*field, int hint, bool scene) {
    const int on = check->isChecked() ? 1 : 0;
    link_.Apply([field, on](C3DViewSettings& s) { s.*field = on; }, {.scene = scene, .hint = hint});
}

void CRendering::OnCellBox() { Switch(cellBox_, &C3DViewSettings::showCellBox, HINT_FRAME_CHANGED, true); }
void CRendering::OnAxes() { Switch(axes_, &C3DViewSettings::showAxes, kNoHint, false); }
void CRendering::OnInfoText() { Switch(infoText_, &C3DViewSettings::showInfoText, kNoHint, false); }
void CRendering::OnSmoothLines() { Switch(smoothLines_, &C3DViewSettings::smoothLines, HINT_FRAME_CHANGED, false); }

void CRendering::OnUseClipPlanes() {
    if (!link_.view) return;
    Switch(useClipPlanes_, &C3DViewSettings::useClipPlanes, kNoHint, true);
    if (link_.host) link_.host->ClipPlanesSwitched(useClipPlanes_->isChecked());
}

void CRendering::OnOptimise() {
    if (!link_.view) return;
    // The governor reads the switch under the detail lock; it learns of the change only after the write.
    Switch(optimise_, &C3DViewSettings::optimiseTessellation, kNoHint, false);
    link_.view->OnOptimiseTessellationSwitched(optimise_->isChecked());
}

void CRendering::OnQuality(int quality) {
    if (showing_) return;
    if (link_.view) {
        // The view keeps the quality within what the tessellation knows, under its detail lock.
        link_.view->SetRenderQuality(quality);
        link_.Apply([](C3DViewSettings&) {}, {.scene = true});
        quality = link_.view->GetRenderQuality();
    }
    ShowQuality(quality);
}

void CRendering::OnClipPlanes() {
    if (!clipPlaneDlg_) {
        clipPlaneDlg_ = new CClipPlaneDlg(this);
        clipPlaneDlg_->SetHost(link_.host);
        clipPlaneDlg_->SetView(link_.view);
        clipPlaneDlg_->move(window()->geometry().center() - clipPlaneDlg_->rect().center());
    }
    clipPlaneDlg_->show();
    clipPlaneDlg_->raise();
}

void CRendering::OnCPUUsage() {
    if (!cpuAntiHogDlg_) {
        cpuAntiHogDlg_ = new CCPUAntiHogDlg(this);
        cpuAntiHogDlg_->SetAppSettings(appSettings_);
        cpuAntiHogDlg_->move(window()->geometry().center() - cpuAntiHogDlg_->rect().center());
    }
    cpuAntiHogDlg_->show();
    cpuAntiHogDlg_->raise();
}

}  // namespace zelvor
