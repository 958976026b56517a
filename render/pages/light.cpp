#include "render/pages/light.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "model/dravik_doc.h"
#include "render/dravik_gl_view.h"
#include "render/pages/colour_picker.h"
#include "render/pages/page_controls.h"

namespace zelvor {

namespace {

double& LightX(C3DViewSettings& s) { return s.lightPosition[0]; }
double& LightY(C3DViewSettings& s) { return s.lightPosition[1]; }
double& LightZ(C3DViewSettings& s) { return s.lightPosition[2]; }
double& Shininess(C3DViewSettings& s) { return s.shininess; }
double& Specular(C3DViewSettings& s) { return s.materialSpecular; }
double& Ambient(C3DViewSettings& s) { return s.ambientFactor; }
double& FarVisibility(C3DViewSettings& s) { return s.farVisibility; }

constexpr SettingsField kFields[] = {LightX, LightY, LightZ, Shininess, Specular, Ambient, FarVisibility};
constexpr int kIds[] = {CLight::IDC_LIGHTX,   CLight::IDC_LIGHTY,   CLight::IDC_LIGHTZ,       CLight::IDC_SHININESS,
                        CLight::IDC_SPECULAR, CLight::IDC_AMBIENT, CLight::IDC_FARVISIBILITY};

/// The light's position is compiled into the scene list.
const ChangeEffects kPositionChange{.scene = true};
/// Material, light model and fog are set when the view resizes, which hint 123 makes it do.
const ChangeEffects kLightingChange{.hint = HINT_FRAME_CHANGED};
const ChangeEffects kSwitchChange{.scene = true, .hint = HINT_FRAME_CHANGED};

}  // namespace

CLight::CLight(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(IDD));
    setWindowTitle(QString::fromLatin1(CAPTION));
    auto* layout = new QVBoxLayout(this);

    auto* kind = new QGroupBox(QStringLiteral("Light source"), this);
    auto* kindLayout = new QVBoxLayout(kind);
    positional_ = MakeButton<QRadioButton>(kind, QStringLiteral("Position"), IDC_POSITIONAL);
    directional_ = MakeButton<QRadioButton>(kind, QStringLiteral("Direction"), IDC_DIRECTIONAL);
    auto* group = new QButtonGroup(this);
    group->addButton(positional_);
    group->addButton(directional_);
    connect(positional_, &QRadioButton::clicked, this, &CLight::OnPositional);
    connect(directional_, &QRadioButton::clicked, this, &CLight::OnDirectional);
    kindLayout->addWidget(positional_);
    kindLayout->addWidget(directional_);
    for (int i = LIGHT_X; i <= LIGHT_Z; ++i) {
        scrollers_[i] = BindScroller(this, kIds[i], link_, kFields[i], kPositionChange);
        kindLayout->addWidget(scrollers_[i]->Widget());
    }
    layout->addWidget(kind);

    fixLight_ = MakeButton<QCheckBox>(this, QStringLiteral("Fix light to laboratory coordinate system"), IDC_FIXLIGHT);
    connect(fixLight_, &QCheckBox::clicked, this, &CLight::OnFixLight);
    layout->addWidget(fixLight_);

    for (int i = SHININESS; i < SCROLLERS; ++i) {
        scrollers_[i] = BindScroller(this, kIds[i], link_, kFields[i], kLightingChange);
        layout->addWidget(scrollers_[i]->Widget());
    }

    auto* colours = new QHBoxLayout;
    lightColour_ = MakeButton<QPushButton>(this, QStringLiteral("Light Colour..."), IDC_LIGHTCOLOUR);
    background_ = MakeButton<QPushButton>(this, QStringLiteral("Background..."), IDC_BACKGROUND);
    connect(lightColour_, &QPushButton::clicked, this, &CLight::OnLightColour);
    connect(background_, &QPushButton::clicked, this, &CLight::OnBackground);
    colours->addWidget(lightColour_);
    colours->addWidget(background_);
    colours->addStretch(1);
    layout->addLayout(colours);
    layout->addStretch(1);
    UpdateDisplayValues();
}

CLight::~CLight() = default;

void CLight::SetView(CDravikGLView* view) {
    link_.view = view;
    UpdateDisplayValues();
}

void CLight::UpdateDisplayValues() {
    const double w = link_.CellWidth();
    const ScrollerSetup setups[SCROLLERS] = {
        {-LIGHT_RANGE * w, LIGHT_RANGE * w, 0.1, 0.5, QStringLiteral(" x = "), QString(), 2},
        {-LIGHT_RANGE * w, LIGHT_RANGE * w, 0.1, 0.5, QStringLiteral(" y = "), QString(), 2},
        {-LIGHT_RANGE * w, LIGHT_RANGE * w, 0.1, 0.5, QStringLiteral(" z = "), QString(), 2},
        {0.0, 128.0, 1.0, 16.0, QStringLiteral(" Shininess = "), QString(), 3},
        {0.0, 1.0, 0.01, 0.1, QStringLiteral(" Specular = "), QString(), 2},
        {0.0, 1.0, 0.01, 0.1, QStringLiteral(" Ambient light: "), QString(), 2},
        {0.0, 1.0, 0.01, 0.1, QStringLiteral(" Visibility of the farthest objects: "), QString(), 2},
    };
    C3DViewSettings* s = link_.Settings();
    for (int i = 0; i < SCROLLERS; ++i) scrollers_[i]->Setup(setups[i], s ? kFields[i](*s) : setups[i].minimum);
    if (!s) return;
    (s->lightPosition[3] != 0.0 ? positional_ : directional_)->setChecked(true);
    fixLight_->setChecked(s->fixLightToLab == 1);
}

void CLight::SetLightKind(double w) {
    link_.Apply([w](C3DViewSettings& s) { s.lightPosition[3] = w; }, kSwitchChange);
}

void CLight::OnPositional() { SetLightKind(1.0); }
void CLight::OnDirectional() { SetLightKind(0.0); }

void CLight::OnFixLight() {
    const int on = fixLight_->isChecked() ? 1 : 0;
    link_.Apply([on](C3DViewSettings& s) { s.fixLightToLab = on; }, kSwitchChange);
}

void CLight::OnLightColour() {
    const C3DViewSettings* s = link_.Settings();
    if (!s) return;
    const std::optional<QColor> colour =
        PickColour(ColourFromComponents(s->lightColour[0], s->lightColour[1], s->lightColour[2]), this);
    if (!colour || !colour->isValid()) return;
    link_.Apply(
        [&](C3DViewSettings& t) {
            t.lightColour[0] = static_cast<float>(colour->redF());
            t.lightColour[1] = static_cast<float>(colour->greenF());
            t.lightColour[2] = static_cast<float>(colour->blueF());
        },
        kLightingChange);
}

void CLight::OnBackground() {
    const C3DViewSettings* s = link_.Settings();
    if (!s) return;
    const std::optional<QColor> colour =
        PickColour(ColourFromComponents(s->background[0], s->background[1], s->background[2]), this);
    if (!colour || !colour->isValid()) return;
    // The background is also the fog's colour, which the projection sets.
    link_.Apply(
        [&](C3DViewSettings& t) {
            t.background[0] = static_cast<float>(colour->redF());
            t.background[1] = static_cast<float>(colour->greenF());
            t.background[2] = static_cast<float>(colour->blueF());
        },
        kLightingChange);
}

}  // namespace zelvor
