#include "render/pages/atom_prop.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/qt_message_target.h"
#include "render/dravik_gl_view.h"
#include "render/pages/page_controls.h"
#include "render/pages/surface_dlg.h"

namespace zelvor {

namespace {

double& AtomScale(C3DViewSettings& s) { return s.atomScale; }
double& BondSize(C3DViewSettings& s) { return s.bondSize; }
double& MaxBondLength(C3DViewSettings& s) { return s.maxBondLength; }

constexpr SettingsField kFields[] = {AtomScale, BondSize, MaxBondLength};
constexpr int kIds[] = {CAtomProp::IDC_ATOMSCALE, CAtomProp::IDC_BONDSIZE, CAtomProp::IDC_MAXBONDLENGTH};

/// Point sizes, line widths and which bonds are drawn are compiled into the scene list.
const ChangeEffects kSceneChange{.scene = true};

}  // namespace

CAtomProp::CAtomProp(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(IDD));
    setWindowTitle(QString::fromLatin1(CAPTION));
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < SCROLLERS; ++i) scrollers_[i] = BindScroller(this, kIds[i], link_, kFields[i], kSceneChange);

    auto* grid = new QGridLayout;
    showAtoms_ = MakeButton<QCheckBox>(this, QStringLiteral("Draw atoms"), IDC_SHOWATOMS);
    spheres_ = MakeButton<QRadioButton>(this, QStringLiteral("Spheres"), IDC_SPHERES);
    dots_ = MakeButton<QRadioButton>(this, QStringLiteral("Dots"), IDC_DOTS);
    showBonds_ = MakeButton<QCheckBox>(this, QStringLiteral("Draw bonds"), IDC_SHOWBONDS);
    tubes_ = MakeButton<QRadioButton>(this, QStringLiteral("Tubes"), IDC_TUBES);
    lines_ = MakeButton<QRadioButton>(this, QStringLiteral("Lines"), IDC_LINES);
    showSurface_ = MakeButton<QCheckBox>(this, QStringLiteral("Draw surface"), IDC_SHOWSURFACE);
    surface_ = MakeButton<QPushButton>(this, QStringLiteral("Surface..."), IDC_SURFACE);
    // Two independent radio pairs.
    auto* atomKind = new QButtonGroup(this);
    atomKind->addButton(spheres_);
    atomKind->addButton(dots_);
    auto* bondKind = new QButtonGroup(this);
    bondKind->addButton(tubes_);
    bondKind->addButton(lines_);

    grid->addWidget(showAtoms_, 0, 0);
    grid->addWidget(spheres_, 0, 1);
    grid->addWidget(dots_, 0, 2);
    grid->addWidget(scrollers_[ATOM_SCALE]->Widget(), 1, 0, 1, 3);
    grid->addWidget(showBonds_, 2, 0);
    grid->addWidget(tubes_, 2, 1);
    grid->addWidget(lines_, 2, 2);
    grid->addWidget(scrollers_[BOND_SIZE]->Widget(), 3, 0, 1, 3);
    grid->addWidget(scrollers_[MAX_BOND_LENGTH]->Widget(), 4, 0, 1, 3);
    grid->addWidget(showSurface_, 5, 0);
    grid->addWidget(surface_, 5, 1);
    layout->addLayout(grid);
    layout->addStretch(1);

    // clicked, not toggled: showing the settings sets the buttons without running the handlers.
    connect(showAtoms_, &QCheckBox::clicked, this, &CAtomProp::OnShowAtoms);
    connect(showBonds_, &QCheckBox::clicked, this, &CAtomProp::OnShowBonds);
    connect(showSurface_, &QCheckBox::clicked, this, &CAtomProp::OnShowSurface);
    connect(spheres_, &QRadioButton::clicked, this, &CAtomProp::OnSpheres);
    connect(dots_, &QRadioButton::clicked, this, &CAtomProp::OnDots);
    connect(tubes_, &QRadioButton::clicked, this, &CAtomProp::OnTubes);
    connect(lines_, &QRadioButton::clicked, this, &CAtomProp::OnLines);
    connect(surface_, &QPushButton::clicked, this, &CAtomProp::OnSurface);
    UpdateDisplayValues();
}

CAtomProp::~CAtomProp() = default;

void CAtomProp::SetView(CDravikGLView* view) {
    link_.view = view;
    target_.Attach(view);
    if (surfaceDlg_) surfaceDlg_->SetView(view);
    UpdateDisplayValues();
}

void CAtomProp::SetHost(CDisplayPagesHost* host) {
    link_.host = host;
    if (surfaceDlg_) surfaceDlg_->SetHost(host);
}

void CAtomProp::UpdateDisplayValues() {
    const ScrollerSetup setups[SCROLLERS] = {
        {0.0, 1.0, 0.01, 0.1, QStringLiteral("Multiply atomic van der Waal sizes with: "), QString(), 3},
        {0.0, 20.0, 0.5, 1.0, QStringLiteral("Bond Width = "), QString(), 3},
        {0.0, 3.0, 0.005, 0.02, QStringLiteral("Max Length = "), QString(), 3},
    };
    C3DViewSettings* s = link_.Settings();
    for (int i = 0; i < SCROLLERS; ++i) scrollers_[i]->Setup(setups[i], s ? kFields[i](*s) : setups[i].minimum);
    if (s) {
        showAtoms_->setChecked(s->showAtoms == 1);
        showBonds_->setChecked(s->showBonds == 1);
        showSurface_->setChecked(s->showSurface == 1);
        (s->atomsAsSpheres == 1 ? spheres_ : dots_)->setChecked(true);
        (s->bondsAsTubes == 1 ? tubes_ : lines_)->setChecked(true);
    }
    ControlEnabling();
    if (surfaceDlg_) surfaceDlg_->UpdateDisplayValues();
}

void CAtomProp::ControlEnabling() {
    const bool atoms = showAtoms_->isChecked(), bonds = showBonds_->isChecked();
    scrollers_[ATOM_SCALE]->Widget()->setEnabled(atoms);
    spheres_->setEnabled(atoms);
    dots_->setEnabled(atoms);
    scrollers_[BOND_SIZE]->Widget()->setEnabled(bonds);
    scrollers_[MAX_BOND_LENGTH]->Widget()->setEnabled(bonds);
    tubes_->setEnabled(bonds);
    lines_->setEnabled(bonds);
    surface_->setEnabled(showSurface_->isChecked());
}

void CAtomProp::Switch(std::int32_t C3DViewSettings::*field, std::int32_t value) {
    link_.Apply([field, value](C3DViewSettings& s) { s.*field = value; }, kSceneChange);
    ControlEnabling();
}

void CAtomProp::OnShowAtoms() { Switch(&C3DViewSettings::showAtoms, showAtoms_->isChecked() ? 1 : 0); }
void CAtomProp::OnShowBonds() { Switch(&C3DViewSettings::showBonds, showBonds_->isChecked() ? 1 : 0); }
void CAtomProp::OnShowSurface() { Switch(&C3DViewSettings::showSurface, showSurface_->isChecked() ? 1 : 0); }
void CAtomProp::OnSpheres() { Switch(&C3DViewSettings::atomsAsSpheres, 1); }
void CAtomProp::OnDots() { Switch(&C3DViewSettings::atomsAsSpheres, 0); }
void CAtomProp::OnTubes() { Switch(&C3DViewSettings::bondsAsTubes, 1); }
void CAtomProp::OnLines() { Switch(&C3DViewSettings::bondsAsTubes, 0); }

void CAtomProp::OnSurface() {
    if (!surfaceDlg_) {
        surfaceDlg_ = new CSurfaceDlg(this);
        surfaceDlg_->SetHost(link_.host);
        surfaceDlg_->SetView(link_.view);
        surfaceDlg_->move(window()->geometry().center() - surfaceDlg_->rect().center());
    }
    surfaceDlg_->show();
    surfaceDlg_->raise();
}

bool CAtomProp::event(QEvent* event) {
    if (const std::optional<AppMessage> message = DecodeAppMessage(event)) {
        if (message->code == MSG_REFRESH_ATOM_PAGE) UpdateDisplayValues();
        return true;
    }
    return QWidget::event(event);
}

}  // namespace zelvor
