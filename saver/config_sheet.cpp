#include "saver/config_sheet.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWindow>

#include "app/gui_stream.h"
#include "app/update_dlg.h"
#include "model/dravik_doc.h"
#include "platform/qt_message_target.h"
#include "platform/shared_message.h"
#include "render/pages/atom_prop.h"
#include "render/pages/light.h"
#include "render/pages/rendering.h"
#include "render/pages/scale_dlg.h"
#include "saver/config_view_dlg.h"
#include "saver/saver_app.h"
#include "saver/x11_window.h"

namespace zelvor {

CDisplayPropSheet::CDisplayPropSheet(const QString& caption, CSaverApp& app, CDravikDoc* doc, QWidget* parent)
    : QDialog(parent), app_(app) {
    setWindowTitle(caption);
    scale_ = new CScaleDlg;
    light_ = new CLight;
    animate_ = new CAnimateDlg;
    atom_ = new CAtomProp;
    rendering_ = new CRendering;
    // In configure mode the sheet has no view of its own: all pages act on the companion's preview.
    companion_ = new CConfigViewDlg(this, app_, doc, this);
    view_ = companion_->View();

    tabs_ = new QTabWidget(this);
    // Every page's caption stays readable: the sheet grows instead of scrolling its tabs.
    tabs_->setUsesScrollButtons(false);
    for (QWidget* page : std::initializer_list<QWidget*>{scale_, light_, animate_, atom_, rendering_})
        tabs_->addTab(page, page->windowTitle());
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        // The camera page follows the animation only while it is visible; it catches up when shown.
        if (tabs_->widget(index) == scale_) scale_->UpdateDisplayValues();
    });

    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(tabs_, 1);
    row->addWidget(companion_);
    layout->addLayout(row, 1);
    BuildButtons();
}

CDisplayPropSheet::~CDisplayPropSheet() {
    // The pages act on the view: they let go of it before it goes with the companion.
    scale_->SetView(nullptr);
    light_->SetView(nullptr);
    atom_->SetView(nullptr);
    rendering_->SetView(nullptr);
    animate_->SetView(nullptr, nullptr);
    if (view_) view_->SetSheet(nullptr);
    if (QWindow* own = windowHandle()) own->setTransientParent(nullptr);
    delete parentStandIn_;
}

void CDisplayPropSheet::BuildButtons() {
    auto* buttons = new QHBoxLayout;
    auto* about = new QPushButton(QStringLiteral("About..."), this);
    about->setObjectName(QString::number(ID_APP_ABOUT));
    auto* updates = new QPushButton(QStringLiteral("Updates..."), this);
    updates->setObjectName(QString::number(ID_UPDATE_ONLINE));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    connect(about, &QPushButton::clicked, this, &CDisplayPropSheet::OnAppAbout);
    connect(updates, &QPushButton::clicked, this, &CDisplayPropSheet::OnUpdateOnline);
    connect(ok, &QPushButton::clicked, this, &CDisplayPropSheet::OnOK);
    connect(cancel, &QPushButton::clicked, this, &CDisplayPropSheet::OnCancel);
    buttons->addWidget(about);
    buttons->addWidget(updates);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    // Enter belongs to the control that has the focus (a number being typed), never to a default button.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    static_cast<QVBoxLayout*>(layout())->addLayout(buttons);
}

void CDisplayPropSheet::OnCreate() {
    companion_->OnInitDialog();
    CDravikDoc* doc = view_->GetDocument();
    view_->SetSheet(this);
    scale_->SetView(view_);
    light_->SetView(view_);
    atom_->SetView(view_);
    rendering_->SetView(view_);
    scale_->SetHost(this);
    light_->SetHost(this);
    atom_->SetHost(this);
    rendering_->SetHost(this);
    rendering_->SetAppSettings(&app_.appSettings);
    animate_->SetSheet(this);
    animate_->SetView(view_, doc);
    // The animation already plays: the camera controls it overwrites are not offered meanwhile.
    EnableCameraControls(!animate_->IsPlaying());
    saved_ = *view_->Get3DViewSettings();
    tabs_->setCurrentIndex(ANIMATE_PAGE);
    show();
    view_->PostInit();
}

void CDisplayPropSheet::PlaceOver(std::uintptr_t parentWindow) {
    const X11WindowGeometry parent = QueryX11WindowGeometry(parentWindow);
    if (!parent.exists) return;
    winId();
    parentStandIn_ = QWindow::fromWinId(static_cast<WId>(parentWindow));
    if (QWindow* own = windowHandle(); own && parentStandIn_) own->setTransientParent(parentStandIn_);
    QRect frame(QPoint(0, 0), size().expandedTo(sizeHint()));
    frame.moveCenter(QPoint(parent.x + parent.width / 2, parent.y + parent.height / 2));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // Centred over the parent, but never off the screen.
        const QRect area = screen->availableGeometry();
        frame.moveLeft(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width())));
        frame.moveTop(std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height())));
    }
    move(frame.topLeft());
}

void CDisplayPropSheet::OnOK() {
    if (ended_) return;
    ended_ = true;
    CPlaylist& playlist = app_.Playlist();
    // The stored entries of the old list go now; the chosen list is written when the program ends.
    const int stored = app_.GetProfileInt(CPlaylist::SECTION, CPlaylist::FILES_TO_SHOW, 0);
    for (int n = static_cast<int>(playlist.fileList.size()); n < stored && n < CPlaylist::MAX_FILES_TO_SHOW; ++n)
        app_.DeleteProfileValue(CPlaylist::SECTION, CPlaylist::EntryKey(n));
    playlist.listChanged = 1;
    saved_ = *view_->Get3DViewSettings();
    companion_->OnClose();
    done(QDialog::Accepted);
}

void CDisplayPropSheet::OnCancel() {
    if (ended_) return;
    ended_ = true;
    // Neither a chosen nor a shuffled list replaces the stored one.
    app_.Playlist().listChanged = 0;
    view_->ChangeDetailSettings([this] {
        C3DViewSettings& settings = *view_->Get3DViewSettings();
        settings = saved_;
        settings.sceneChanged = 1;
    });
    companion_->OnClose();
    done(QDialog::Rejected);
}

void CDisplayPropSheet::OnAppAbout() {
    animate_->TogglePlay(0);
    QMessageBox::about(this, QStringLiteral("About Zelvor"),
                       QStringLiteral("Zelvor, Molecular Screensaver\nVersion ") +
                           QString::fromStdString(app_.GetFileVersionNumber()));
    animate_->TogglePlay(-1);
}

void CDisplayPropSheet::OnUpdateOnline() {
    if (updates_ == nullptr) {
        updates_ = new QDialog(this);
        updates_->setWindowTitle(QStringLiteral("Updates"));
        auto* layout = new QVBoxLayout(updates_);
        layout->addWidget(new CUpdateDlg(app_, updates_));
    }
    updates_->show();
    updates_->raise();
}

void CDisplayPropSheet::PresentAsNumberCrunching(int on) {
    for (int id : {CAnimateDlg::IDC_FRAMEEDIT, CAnimateDlg::IDC_FRAMESPIN, CAnimateDlg::IDC_FRAMESPEEDSCROLL})
        if (QWidget* control = animate_->GetDlgItem(id)) control->setEnabled(on == 0);
}

void CDisplayPropSheet::AutoAnimate() {
    animate_->TogglePlay(1);
    hide();
}

void CDisplayPropSheet::ResetAnimationClock() {
    if (CAnimationEngine* engine = animate_->Engine()) engine->SetPhaseClock(0.0);
}

void CDisplayPropSheet::OnStatusProgress(std::intptr_t progress, const char* text) {
    const int show = static_cast<int>((progress >> 16) & 0xFFFF);
    const int percent = static_cast<int>(progress & 0xFFFF);
    if (show == 1) companion_->ShowProgress(true, percent);
    if (show == 0) companion_->ShowProgress(false, percent);
    const std::string status = text != nullptr ? text : "";
    if (text != nullptr && status == lastStatus_) return;
    lastStatus_ = status;
    companion_->ShowInfoText(QString::fromStdString(lastStatus_));
}

void CDisplayPropSheet::OnFinishedLoadingFile() {
    if (view_->GetDocument() != nullptr) view_->OnFileLoaded();
}

void CDisplayPropSheet::OnFirstFrameRead() { view_->OnFirstFrameRead(); }

void CDisplayPropSheet::OnThreadShowMessage() {
    if (view_->GetDocument() != nullptr) MessageStream() << GetSharedMessage() << std::flush;
}

bool CDisplayPropSheet::event(QEvent* event) {
    if (const auto message = DecodeAppMessage(event)) {
        switch (message->code) {
            case MSG_LOAD_PROGRESS:
                OnStatusProgress(message->wParam, reinterpret_cast<const char*>(message->lParam));
                break;
            case MSG_FILE_LOADED: OnFinishedLoadingFile(); break;
            case MSG_FIRST_FRAME_READ: OnFirstFrameRead(); break;
            case MSG_SHOW_MESSAGE: OnThreadShowMessage(); break;
            default: break;
        }
        return true;
    }
    return QDialog::event(event);
}

void CDisplayPropSheet::keyPressEvent(QKeyEvent* event) {
    // Enter must not end the sheet: it stays with the control that has the focus.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDisplayPropSheet::RefreshCameraPage() {
    if (tabs_->currentWidget() == scale_) scale_->UpdateDisplayValues();
}

void CDisplayPropSheet::RefreshDisplayPages(bool withLight) {
    atom_->UpdateDisplayValues();
    rendering_->UpdateDisplayValues();
    scale_->UpdateDisplayValues();
    if (withLight) light_->UpdateDisplayValues();
}

void CDisplayPropSheet::EnableCameraControls(bool enable) { scale_->EnableCameraControls(enable); }

void CDisplayPropSheet::SetCustomSettings() { animate_->SetCustomSettings(); }

void CDisplayPropSheet::ClipPlanesSwitched(bool /*on*/) {
    // The Animate page enables its clip-plane oscillations by the settings' switch.
    animate_->UpdateUI();
}

void CDisplayPropSheet::OnViewStarted() { tabs_->setCurrentIndex(ANIMATE_PAGE); }

}  // namespace zelvor
