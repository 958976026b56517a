#include "render/pages/scale_dlg.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/dravik_doc.h"
#include "render/dravik_gl_view.h"
#include "render/pages/page_controls.h"

namespace zelvor {

namespace {

double& EyeX(C3DViewSettings& s) { return s.eye.x; }
double& EyeY(C3DViewSettings& s) { return s.eye.y; }
double& EyeZ(C3DViewSettings& s) { return s.eye.z; }
double& AimX(C3DViewSettings& s) { return s.aim.x; }
double& AimY(C3DViewSettings& s) { return s.aim.y; }
double& AimZ(C3DViewSettings& s) { return s.aim.z; }
double& FieldOfView(C3DViewSettings& s) { return s.fieldOfView; }
double& Psi(C3DViewSettings& s) { return s.psi; }
double& Phi(C3DViewSettings& s) { return s.phi; }
double& Theta(C3DViewSettings& s) { return s.theta; }

constexpr SettingsField kFields[] = {EyeX, EyeY, EyeZ, AimX, AimY, AimZ, FieldOfView, Psi, Phi, Theta};
constexpr int kIds[] = {CScaleDlg::IDC_EYEX, CScaleDlg::IDC_EYEY,  CScaleDlg::IDC_EYEZ,
                        CScaleDlg::IDC_AIMX, CScaleDlg::IDC_AIMY,  CScaleDlg::IDC_AIMZ,
                        CScaleDlg::IDC_FIELDOFVIEW, CScaleDlg::IDC_PSI, CScaleDlg::IDC_PHI, CScaleDlg::IDC_THETA};

/// The eye moves the projection's depth range and, with a light fixed to the laboratory, the light.
const ChangeEffects kEyeChange{.scene = true, .hint = HINT_FRAME_CHANGED};
const ChangeEffects kCameraChange{.hint = HINT_FRAME_CHANGED};

}  // namespace

CScaleDlg::CScaleDlg(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(IDD));
    setWindowTitle(QString::fromLatin1(CAPTION));
    auto* layout = new QVBoxLayout(this);

    for (int i = 0; i < SCROLLERS; ++i) {
        if (i <= EYE_Z) {
            // The eye's length is the viewing distance that mouse zooms keep: home follows the eye.
            scrollers_[i] = new CBoundScroller(this, kIds[i]);
            connect(scrollers_[i], &CBoundScroller::Changed, this, [this, field = kFields[i]](double value) {
                link_.Apply(
                    [&](C3DViewSettings& s) {
                        field(s) = value;
                        s.homeEye = s.eye;
                    },
                    kEyeChange);
            });
        } else {
            scrollers_[i] = BindScroller(this, kIds[i], link_, kFields[i], kCameraChange);
        }
    }
    auto* eye = new QGroupBox(QStringLiteral("Camera position"), this);
    auto* eyeLayout = new QVBoxLayout(eye);
    auto* aim = new QGroupBox(QStringLiteral("Aim"), this);
    auto* aimLayout = new QVBoxLayout(aim);
    auto* angles = new QGroupBox(QStringLiteral("Euler angles"), this);
    auto* anglesLayout = new QVBoxLayout(angles);
    for (int i = EYE_X; i <= EYE_Z; ++i) eyeLayout->addWidget(scrollers_[i]->Widget());
    for (int i = AIM_X; i <= AIM_Z; ++i) aimLayout->addWidget(scrollers_[i]->Widget());
    for (int i = PSI; i <= THETA; ++i) anglesLayout->addWidget(scrollers_[i]->Widget());
    layout->addWidget(eye);
    layout->addWidget(aim);
    layout->addWidget(scrollers_[FIELD_OF_VIEW]->Widget());
    layout->addWidget(angles);

    perspective_ = MakeButton<QCheckBox>(this, QStringLiteral("Display with perspective"), IDC_PERSPECTIVE);
    connect(perspective_, &QCheckBox::clicked, this, &CScaleDlg::OnPerspective);
    layout->addWidget(perspective_);

    auto* buttons = new QHBoxLayout;
    reset_ = MakeButton<QPushButton>(this, QStringLiteral("Reset"), IDC_RESET);
    connect(reset_, &QPushButton::clicked, this, &CScaleDlg::OnReset);
    resetAngles_ = MakeButton<QPushButton>(this, QStringLiteral("Reset Angles"), IDC_RESETANGLES);
    connect(resetAngles_, &QPushButton::clicked, this, &CScaleDlg::OnResetAngles);
    buttons->addWidget(reset_);
    buttons->addWidget(resetAngles_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(1);
    UpdateDisplayValues();
}

CScaleDlg::~CScaleDlg() = default;

void CScaleDlg::SetView(CDravikGLView* view) {
    link_.view = view;
    UpdateDisplayValues();
}

void CScaleDlg::UpdateDisplayValues() {
    const double w = link_.CellWidth();
    const QString degrees = QString::fromUtf8(" °");
    const ScrollerSetup setups[SCROLLERS] = {
        {-EYE_RANGE * w, EYE_RANGE * w, 0.01 * w, 0.1 * w, QStringLiteral(" x = "), QString(), 3},
        {-EYE_RANGE * w, EYE_RANGE * w, 0.01 * w, 0.1 * w, QStringLiteral(" y = "), QString(), 3},
        {-EYE_RANGE * w, EYE_RANGE * w, 0.01 * w, 0.1 * w, QStringLiteral(" z = "), QString(), 3},
        {-AIM_RANGE * w, AIM_RANGE * w, 0.001 * w, 0.01 * w, QStringLiteral(" x = "), QString(), 3},
        {-AIM_RANGE * w, AIM_RANGE * w, 0.001 * w, 0.01 * w, QStringLiteral(" y = "), QString(), 3},
        {-AIM_RANGE * w, AIM_RANGE * w, 0.001 * w, 0.01 * w, QStringLiteral(" z = "), QString(), 3},
        {0.0, 160.0, 0.02, 0.5, QStringLiteral("Field of view = "), degrees, 3},
        // The angles' descriptions are the Greek letters themselves.
        {0.0, 360.0, 0.25, 1.0, QString::fromUtf8("ψ "), degrees, 3},
        {0.0, 360.0, 0.25, 1.0, QString::fromUtf8("φ "), degrees, 3},
        {0.0, 180.0, 0.25, 1.0, QString::fromUtf8("θ "), degrees, 3},
    };
    C3DViewSettings* s = link_.Settings();
    for (int i = 0; i < SCROLLERS; ++i) scrollers_[i]->Setup(setups[i], s ? kFields[i](*s) : setups[i].minimum);
    if (s) perspective_->setChecked(s->perspective == 1);
}

void CScaleDlg::EnableCameraControls(bool enable) {
    for (int i = EYE_X; i <= AIM_Z; ++i) scrollers_[i]->Widget()->setEnabled(enable);
    reset_->setEnabled(enable);
}

void CScaleDlg::OnPerspective() {
    const int on = perspective_->isChecked() ? 1 : 0;
    link_.Apply([on](C3DViewSettings& s) { s.perspective = on; }, {.hint = HINT_ROTATION_DONE});
}

void CScaleDlg::OnReset() {
    if (!link_.view) return;
    link_.Apply([this](C3DViewSettings&) { link_.view->PrepareScene(); }, kEyeChange);
    UpdateDisplayValues();
}

void CScaleDlg::OnResetAngles() {
    if (!link_.Apply([](C3DViewSettings& s) { s.psi = s.phi = s.theta = 0.0; }, kCameraChange)) return;
    UpdateDisplayValues();
}

}  // namespace zelvor
