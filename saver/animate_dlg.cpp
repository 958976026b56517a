#include "saver/animate_dlg.h"

#include <chrono>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "model/dravik_doc.h"
#include "render/dravik_gl_view.h"
#include "saver/oscillate_dlg.h"
#include "saver/playlist.h"
#include "scrivel/scrivel_setup.h"

namespace zelvor {

/// The engine's document and view: the document through the base, the view and the dialog's controls here.
class CAnimateDlg::Target final : public CDocAnimationTarget {
public:
    Target(CAnimateDlg& dialog, CDravikDoc& doc, CDravikGLView* view)
        : CDocAnimationTarget(doc), dialog_(dialog), view_(view) {}

    bool GovernorRunning() const override { return view_ && view_->IsGovernorRunning(); }
    int FrameRateLimit() const override { return view_ ? view_->FrameRateLimit() : 0; }
    void FrameShown(const std::string& text) override { dialog_.ShowFrameNumber(std::atoi(text.c_str())); }
    void ViewOscillated() override { dialog_.RefreshCameraPage(); }
    void ViewTurned() override {
        if (view_) view_->OnAnimationStep();
    }
    void PrepareScene() override {
        if (view_) view_->PrepareScene();
    }

private:
    CAnimateDlg& dialog_;
    CDravikGLView* view_;
};

namespace {

using Handler = void (CAnimateDlg::*)();

/// The check-box and button handlers of each parameter, in the order of OscillatedParameter.
constexpr Handler kCheckHandlers[OSC_COUNT] = {
    &CAnimateDlg::OnAimchkx,  &CAnimateDlg::OnAimchky,   &CAnimateDlg::OnAimchkz,  &CAnimateDlg::OnPoschkx,
    &CAnimateDlg::OnPoschky,  &CAnimateDlg::OnPoschkz,   &CAnimateDlg::OnPhichk,   &CAnimateDlg::OnPsichk,
    &CAnimateDlg::OnThetachk, &CAnimateDlg::OnOpaquechk, &CAnimateDlg::OnVdwchk,   &CAnimateDlg::OnClip1chk,
    &CAnimateDlg::OnClip2chk, &CAnimateDlg::OnClip3chk,  &CAnimateDlg::OnClip4chk, &CAnimateDlg::OnClip5chk,
    &CAnimateDlg::OnClip6chk};
constexpr Handler kButtonHandlers[OSC_COUNT] = {
    &CAnimateDlg::OnAimxbtn,  &CAnimateDlg::OnAimybtn,   &CAnimateDlg::OnAimzbtn,    &CAnimateDlg::OnPosxbtn,
    &CAnimateDlg::OnPosybtn,  &CAnimateDlg::OnPoszbtn,   &CAnimateDlg::OnPhibtn,     &CAnimateDlg::OnPsibtn,
    &CAnimateDlg::OnThetabtn, &CAnimateDlg::OnOpaquebtn, &CAnimateDlg::OnVdwscaling, &CAnimateDlg::OnClip1btn,
    &CAnimateDlg::OnClip2btn, &CAnimateDlg::OnClip3btn,  &CAnimateDlg::OnClip4btn,   &CAnimateDlg::OnClip5btn,
    &CAnimateDlg::OnClip6btn};

QString IdName(int id) { return QString::number(id); }

}  // namespace

// --- construction -------------------------------------------------------------------------------

CAnimateDlg::CAnimateDlg(CDravikGLView* view, CDravikDoc* doc, QWidget* parent) : QWidget(parent) {
    BuildControls();
    SetView(view, doc);
    OnInitDialog();
    hide();  // explicitly, so that a shown parent does not show it either
}

CAnimateDlg::CAnimateDlg(QWidget* parent) : QWidget(parent) {
    BuildControls();
    OnInitDialog();
}

CAnimateDlg::~CAnimateDlg() { OnDestroy(); }

void CAnimateDlg::BuildControls() {
    setObjectName(IdName(IDD));
    setWindowTitle(QString::fromLatin1(CAPTION));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Predefined settings:"), this));
    predefined_ = new QComboBox(this);
    predefined_->setObjectName(IdName(IDC_CBPREDEFINED));
    // activated, not currentIndexChanged: selecting "Custom" from the code must not apply anything.
    connect(predefined_, &QComboBox::activated, this, &CAnimateDlg::OnSelchangeCbpredefined);
    top->addWidget(predefined_, 1);
    layout->addLayout(top);

    auto* group = new QGroupBox(QStringLiteral("Oscillations"), this);
    auto* grid = new QGridLayout(group);
    for (int p = 0; p < OSC_COUNT; ++p) {
        const OscillationLayout& l = LayoutOf(p);
        checks_[p] = new QCheckBox(QString::fromLatin1(l.checkText), group);
        checks_[p]->setObjectName(IdName(l.checkId));
        buttons_[p] = new QPushButton(QStringLiteral("..."), group);
        buttons_[p]->setObjectName(IdName(l.buttonId));
        buttons_[p]->setToolTip(QString::fromLatin1(l.caption));
        // clicked, not toggled: UpdateUI sets the boxes without running the handlers.
        connect(checks_[p], &QCheckBox::clicked, this, kCheckHandlers[p]);
        connect(buttons_[p], &QPushButton::clicked, this, kButtonHandlers[p]);
        const int row = p % 9, column = (p / 9) * 2;
        grid->addWidget(checks_[p], row, column);
        grid->addWidget(buttons_[p], row, column + 1);
    }
    layout->addWidget(group);

    auto* frames = new QHBoxLayout;
    frames->addWidget(new QLabel(QStringLiteral("Frame:"), this));
    // The spin box is both the frame edit and its spin control.
    frameSpin_ = new QSpinBox(this);
    frameSpin_->setObjectName(IdName(IDC_FRAMESPIN));
    frameSpin_->setRange(0, 0);
    frameEdit_ = frameSpin_->findChild<QLineEdit*>();
    if (frameEdit_) frameEdit_->setObjectName(IdName(IDC_FRAMEEDIT));
    connect(frameSpin_, &QSpinBox::valueChanged, this, &CAnimateDlg::OnChangeFrameedit);
    frames->addWidget(frameSpin_);
    play_ = new QPushButton(QStringLiteral("Play"), this);
    play_->setObjectName(IdName(IDC_PLAY));
    connect(play_, &QPushButton::clicked, this, &CAnimateDlg::OnPlay);
    frames->addWidget(play_);
    layout->addLayout(frames);

    speedScroller_ = CreateScrivel(this, IDC_FRAMESPEEDSCROLL);
    if (speedScroller_) {
        QObject::connect(speedScroller_, SIGNAL(NewValue(double)), this, SLOT(OnNewValueFramespeedscroll(double)));
        layout->addWidget(speedScroller_);
    }
    layout->addStretch(1);
}

bool CAnimateDlg::OnInitDialog() {
    predefined_->clear();
    for (int a = 0; a < ANIMATION_COUNT; ++a) predefined_->addItem(QString::fromLatin1(PredefinedAnimationName(a)), a);

    if (timerId_ == 0) timerId_ = startTimer(TIMER_INTERVAL_MS);
    ControlEnabling(1);
    playing_ = true;
    if (engine_) engine_->TogglePlay(1);

    // While the saver runs a calculation, the calculation supplies the frames.
    numberCrunching_ = CPlaylist::NumberCrunchingConfigured();
    frameSpin_->setEnabled(!numberCrunching_);
    if (speedScroller_) speedScroller_->setEnabled(!numberCrunching_);

    play_->setText(QStringLiteral("Stop"));
    UpdateUI();
    return true;
}

void CAnimateDlg::OnDestroy() {
    if (timerId_ != 0) killTimer(timerId_);
    timerId_ = 0;
    for (COscillateDlg*& dialog : oscillations_) {
        delete dialog;
        dialog = nullptr;
    }
}

void CAnimateDlg::SetView(CDravikGLView* view, CDravikDoc* doc) {
    // The oscillation dialogs edit fields of the old view's settings.
    if (view != view_)
        for (COscillateDlg*& dialog : oscillations_) {
            delete dialog;
            dialog = nullptr;
        }
    engine_.reset();
    target_.reset();
    view_ = view;
    doc_ = doc;
    if (view_ && doc_) {
        target_ = std::make_unique<Target>(*this, *doc_, view_);
        // The animation keeps its pace in time however many ticks the frame-rate limit lets it draw.
        engine_ = std::make_unique<CAnimationEngine>(*view_->Get3DViewSettings(), *target_, [] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        });
        engine_->TogglePlay(playing_ ? 1 : 0);
    }
    UpdateUI();
}

void CAnimateDlg::SetSheet(CAnimateSheet* sheet) { sheet_ = sheet; }

C3DViewSettings* CAnimateDlg::Settings() const { return view_ ? view_->Get3DViewSettings() : nullptr; }

QWidget* CAnimateDlg::GetDlgItem(int id) const { return findChild<QWidget*>(IdName(id)); }

COscillateDlg* CAnimateDlg::OscillationDialog(int p) const {
    return p >= 0 && p < OSC_COUNT ? oscillations_[p] : nullptr;
}

// --- the tick -----------------------------------------------------------------------------------

void CAnimateDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timerId_)
        OnTimer();
    else
        QWidget::timerEvent(event);
}

void CAnimateDlg::OnTimer() {
    // The tick writes detail settings (atom size among them) that the governor thread saves and restores.
    if (view_ && engine_) view_->ChangeDetailSettings([this] { engine_->OnTick(); });
}

void CAnimateDlg::TurnView() {
    if (engine_) engine_->TurnView();
}

void CAnimateDlg::PlayFrames() {
    if (engine_) engine_->PlayFrames();
}

void CAnimateDlg::AdvanceFrameNr(int step) {
    if (engine_) engine_->AdvanceFrameNr(step);
}

void CAnimateDlg::RefreshCameraPage() {
    if (sheet_) sheet_->RefreshCameraPage();
}

void CAnimateDlg::Invalidate() {
    if (view_) view_->Repaint();
}

// --- playing and frames -------------------------------------------------------------------------

void CAnimateDlg::TogglePlay(int mode) {
    playing_ = mode < 0 ? !playing_ : mode != 0;
    if (engine_) engine_->TogglePlay(playing_ ? 1 : 0);
    play_->setText(playing_ ? QStringLiteral("Stop") : QStringLiteral("Play"));
    ControlEnabling(playing_ ? 1 : 0);
}

void CAnimateDlg::OnPlay() { TogglePlay(-1); }

void CAnimateDlg::ControlEnabling(int playing) {
    // The animation overwrites camera position and aim: the sheet must not offer to edit them meanwhile.
    if (sheet_) sheet_->EnableCameraControls(playing == 0);
}

bool CAnimateDlg::PostInit() {
    if (!doc_) return true;
    const int count = doc_->GetFrameCount();
    updatingFrame_ = true;
    // Frames are numbered 0 .. count - 1; the document wraps any larger number back to frame 0.
    frameSpin_->setRange(0, std::max(count - 1, 0));
    frameSpin_->setValue(doc_->GetFrameNr());
    updatingFrame_ = false;
    frameSpin_->setEnabled(count > 1 && !numberCrunching_);
    if (speedScroller_) speedScroller_->setEnabled(count > 2 && !numberCrunching_);
    return true;
}

void CAnimateDlg::ShowFrameNumber(int frame) {
    const bool wasUpdating = updatingFrame_;
    updatingFrame_ = true;
    if (frame > frameSpin_->maximum()) frameSpin_->setMaximum(frame);
    frameSpin_->setValue(frame);
    updatingFrame_ = wasUpdating;
}

void CAnimateDlg::OnChangeFrameedit() {
    if (updatingFrame_ || (engine_ && engine_->IsUpdatingFrame()) || !doc_) return;
    doc_->SetFrameNr(frameSpin_->value());
    doc_->UpdateAllViews(HINT_FRAME_CHOSEN);
}

void CAnimateDlg::OnNewValueFramespeedscroll(double value) {
    if (C3DViewSettings* s = Settings()) s->frameSpeed = value;
}

// --- settings in the controls -------------------------------------------------------------------

void CAnimateDlg::UpdateUI() {
    C3DViewSettings* s = Settings();
    if (!s) return;
    InitScrivel(speedScroller_, 0.0, 20.0, 0.2, 1.0, QStringLiteral("Speed: "), QString(), 2, &s->frameSpeed);
    for (int p = 0; p < OSC_COUNT; ++p) {
        const bool on = *FieldsOf(*s, p).enable != 0;
        bool checkEnabled = true, buttonEnabled = on;
        if (p == OSC_OPAQUENESS) {
            // Opaqueness only means something while the surface is shown.
            checkEnabled = s->showSurface == 1;
            buttonEnabled = on && checkEnabled;
        } else if (IsClipPlaneParameter(p)) {
            checkEnabled = s->useClipPlanes == 1;
            buttonEnabled = on && checkEnabled;
        }
        checks_[p]->setChecked(on);
        checks_[p]->setEnabled(checkEnabled);
        buttons_[p]->setEnabled(buttonEnabled);
    }
    for (COscillateDlg* dialog : oscillations_)
        if (dialog) dialog->UpdateUI();
    SelectComboItem(s->predefinedAnimation);
}

void CAnimateDlg::SelectComboItem(int animation) {
    int index = predefined_->findData(animation);
    if (index < 0) index = predefined_->findData(static_cast<int>(ANIMATION_CUSTOM));
    predefined_->setCurrentIndex(index);
}

void CAnimateDlg::SetCustomSettings() {
    if (C3DViewSettings* s = Settings()) s->predefinedAnimation = ANIMATION_CUSTOM;
    predefined_->setCurrentIndex(predefined_->count() - 1);
}

void CAnimateDlg::SelectPredefined(int animation) {
    SelectComboItem(animation);
    OnSelchangeCbpredefined();
}

void CAnimateDlg::OnSelchangeCbpredefined() {
    const QVariant data = predefined_->currentData();
    if (!data.isValid()) return;
    const int animation = data.toInt();
    // A reset rewrites the detail settings that a running governor thread saves and restores.
    if (view_)
        view_->ChangeDetailSettings([&] {
            if (engine_)
                engine_->SelectPredefined(animation);
            else
                view_->Get3DViewSettings()->predefinedAnimation = animation;
        });
    if (sheet_) sheet_->RefreshDisplayPages(true);
    UpdateUI();
    Invalidate();
}

// --- check boxes and buttons --------------------------------------------------------------------

void CAnimateDlg::CheckButtonDialog(COscillateDlg* dialog, QCheckBox* check, QPushButton* button,
                                    std::int32_t& flag) {
    if (!check->isChecked()) {
        button->setEnabled(false);
        flag = 0;
        if (dialog) dialog->hide();
    } else {
        button->setEnabled(true);
        flag = 1;
    }
    SetCustomSettings();
    if (sheet_) sheet_->RefreshDisplayPages(false);
}

void CAnimateDlg::OnCheck(int p) {
    if (C3DViewSettings* s = Settings())
        CheckButtonDialog(oscillations_[p], checks_[p], buttons_[p], *FieldsOf(*s, p).enable);
}

void CAnimateDlg::OnOscillationButton(int p) {
    C3DViewSettings* s = Settings();
    if (!s) return;
    COscillateDlg*& dialog = oscillations_[p];
    if (!dialog) {
        const OscillationLayout& l = LayoutOf(p);
        const OscillationFields f = FieldsOf(*s, p);
        using C = OscillationCommon;
        dialog = new COscillateDlg(this, QString::fromLatin1(l.caption));
        dialog->InitScrivels(
            {C::AMPLITUDE_MIN, l.amplitudeMax, l.amplitudeSmallChange, l.amplitudeLargeChange,
             QString::fromLatin1(C::AMPLITUDE_DESCRIPTION), l.amplitudePrecision, f.amplitude},
            QString::fromLatin1(l.amplitudeUnitLatin1),
            {C::FREQUENCY_MIN, l.frequencyMax, C::FREQUENCY_SMALL_CHANGE, l.frequencyLargeChange,
             QString::fromLatin1(C::FREQUENCY_DESCRIPTION), C::FREQUENCY_PRECISION, f.frequency},
            {C::PHASE_MIN, C::PHASE_MAX, C::PHASE_SMALL_CHANGE, C::PHASE_LARGE_CHANGE,
             QString::fromLatin1(C::PHASE_DESCRIPTION), C::PHASE_PRECISION, f.phase});
        dialog->move(window()->geometry().center() - dialog->rect().center());
    }
    dialog->show();
    dialog->raise();
}

void CAnimateDlg::OnAimchkx() { OnCheck(OSC_AIM_X); }
void CAnimateDlg::OnAimchky() { OnCheck(OSC_AIM_Y); }
void CAnimateDlg::OnAimchkz() { OnCheck(OSC_AIM_Z); }
void CAnimateDlg::OnPoschkx() { OnCheck(OSC_CAMERA_X); }
void CAnimateDlg::OnPoschky() { OnCheck(OSC_CAMERA_Y); }
void CAnimateDlg::OnPoschkz() { OnCheck(OSC_CAMERA_Z); }
void CAnimateDlg::OnPhichk() { OnCheck(OSC_PHI); }
void CAnimateDlg::OnPsichk() { OnCheck(OSC_PSI); }
void CAnimateDlg::OnThetachk() { OnCheck(OSC_THETA); }
void CAnimateDlg::OnOpaquechk() { OnCheck(OSC_OPAQUENESS); }
void CAnimateDlg::OnVdwchk() { OnCheck(OSC_ATOM_SIZE); }
void CAnimateDlg::OnClip1chk() { OnCheck(OSC_PLANE_1); }
void CAnimateDlg::OnClip2chk() { OnCheck(OSC_PLANE_2); }
void CAnimateDlg::OnClip3chk() { OnCheck(OSC_PLANE_3); }
void CAnimateDlg::OnClip4chk() { OnCheck(OSC_PLANE_4); }
void CAnimateDlg::OnClip5chk() { OnCheck(OSC_PLANE_5); }
void CAnimateDlg::OnClip6chk() { OnCheck(OSC_PLANE_6); }

void CAnimateDlg::OnAimxbtn() { OnOscillationButton(OSC_AIM_X); }
void CAnimateDlg::OnAimybtn() { OnOscillationButton(OSC_AIM_Y); }
void CAnimateDlg::OnAimzbtn() { OnOscillationButton(OSC_AIM_Z); }
void CAnimateDlg::OnPosxbtn() { OnOscillationButton(OSC_CAMERA_X); }
void CAnimateDlg::OnPosybtn() { OnOscillationButton(OSC_CAMERA_Y); }
void CAnimateDlg::OnPoszbtn() { OnOscillationButton(OSC_CAMERA_Z); }
void CAnimateDlg::OnPhibtn() { OnOscillationButton(OSC_PHI); }
void CAnimateDlg::OnPsibtn() { OnOscillationButton(OSC_PSI); }
void CAnimateDlg::OnThetabtn() { OnOscillationButton(OSC_THETA); }
void CAnimateDlg::OnOpaquebtn() { OnOscillationButton(OSC_OPAQUENESS); }
void CAnimateDlg::OnVdwscaling() { OnOscillationButton(OSC_ATOM_SIZE); }
void CAnimateDlg::OnClip1btn() { OnOscillationButton(OSC_PLANE_1); }
void CAnimateDlg::OnClip2btn() { OnOscillationButton(OSC_PLANE_2); }
void CAnimateDlg::OnClip3btn() { OnOscillationButton(OSC_PLANE_3); }
void CAnimateDlg::OnClip4btn() { OnOscillationButton(OSC_PLANE_4); }
void CAnimateDlg::OnClip5btn() { OnOscillationButton(OSC_PLANE_5); }
void CAnimateDlg::OnClip6btn() { OnOscillationButton(OSC_PLANE_6); }

}  // namespace zelvor
