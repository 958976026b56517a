#include "saver/saver_app.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "app/gui_stream.h"
#include "app/program_random.h"
#include "model/dravik_doc.h"
#include "model/elements.h"
#include "model/model_reports.h"
#include "app/update_dialogs.h"
#include "crunch/number_crunch_modules.h"
#include "crunch/number_crunching.h"
#include "crunch/redirect_stdio.h"
#include "platform/qt_message_target.h"
#include "saver/config_sheet.h"
#include "saver/config_view_dlg.h"
#include "saver/input_watch.h"
#include "saver/saver_view.h"
#include "saver/scrivel_probe.h"
#include "saver/saver_wnd.h"
#include "saver/x11_window.h"
#include "platform/thread_registration.h"

namespace zelvor {

namespace {

CSaverApp* runningApp = nullptr;

void QuitWithSaverExitCode() {
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(CSaverWnd::EXIT_CODE); }, Qt::QueuedConnection);
}

}  // namespace

CSaverApp* SaverApp() { return runningApp; }

CSaverApp::CSaverApp(std::vector<std::string> args)
    : args_(std::move(args)), playlist_(std::make_unique<CPlaylist>(*this, timers_)) {
    runningApp = this;
    createSliderProbe = ProbeScrivelControl;
    InstallUpdateDialogs(*this);
}

CSaverApp::~CSaverApp() {
    if (endWatch_.joinable()) {
        endWatchCancel_.Set();
        endWatch_.join();
    }
    playlist_->KillChangeFileTimer();
    // The check posts to the main window and its dialog: it ends before the windows go.
    StopUpdateCheck();
    DestroyWindows();
    if (runningApp == this) runningApp = nullptr;
}

bool CSaverApp::InitInstance() {
    // The model's reports (element table, document label) are shown like every other message.
    SetModelReportHandler([](const std::string& text) { MessageStream() << text << std::endl; });
    // The element table must be read before any document loads; its records outlive this object.
    CElements elements;
    if (!CMyApp::InitInstance()) return false;
    ProcessCommandLine();
    // Once, after the settings key is known: the list, the libraries and the module settings.
    LoadCalculationModules();
    SeedProgramRandom(static_cast<unsigned>(std::time(nullptr)));
    // A file shown on request stays: it is not replaced by the coordinate files.
    if (!viewFile_.empty()) return ShowInWindow("Zelvor - " + viewFile_);
    // The sheet edits the stored list: what the command line gives for one run applies to the saver modes.
    if (GetRunMode() != CONFIGURE_MODE) playlist_->OverrideForThisRun(runFile_, runLoadTime_);
    playlist_->UpdateXYZfileListTime();
    if (IsNumberCrunching()) RunCalculationCommand(true);

    if (xscreensaver_.applies && xscreensaver_.embed) return EmbedInto(xscreensaver_.window, true);
    switch (GetRunMode()) {
        case CONFIGURE_MODE: return ConfigureSaver();
        case PREVIEW_MODE: return PropertiesSaver();
        case FULL_SCREEN_MODE: return RunSaver();
    }
    return false;
}

void CSaverApp::ProcessCommandLine() {
    // --fps combines with every mode: the other arguments choose it as if it were not there.
    std::vector<std::string> args = args_;
    showFrameRate_ = TakeFpsFlag(args);
    modulesPath_ = TakeModulesArgument(args);
    viewFile_ = ReadViewFileArgument(args);
    runFile_ = TakeFileArgument(args);
    runLoadTime_ = TakeLoadTimeArgument(args);
    xscreensaver_ = ReadXScreenSaverConventions(args, std::getenv("XSCREENSAVER_WINDOW"));
    // XScreenSaver's options are the full-screen saver's.
    const NormalisedCommandLine line =
        xscreensaver_.applies ? NormaliseCommandLine({"/s"}) : NormaliseCommandLine(args);
    modeLetter = line.modeLetter;
    modeArgument = line.modeArgument;
}

ScreenSaverMode CSaverApp::GetRunMode() const { return RunModeForLetter(modeLetter); }

bool CSaverApp::ConfigureSaver() {
    const std::uintptr_t parent = ReadWindowHandle(modeArgument);
    document_ = std::make_unique<CDravikDoc>();
    currentDocument = document_.get();
    sheet_ = new CDisplayPropSheet(QString::fromLatin1(CONFIGURE_CAPTION), *this, document_.get());
    // The loader reports to the sheet, which shows its progress beside the preview.
    SetMainWindow(sheet_);
    QObject::connect(sheet_, &QDialog::finished, sheet_, [this] { EndWindowed(); });
    QObject::connect(sheet_->View(), &CSaverView::showFilesRequested, sheet_, [this] { OnShowFilesRequested(); });
    // Given the system's settings window, the sheet sits over it; a window that is gone is no parent.
    if (parent != 0) sheet_->PlaceOver(parent);
    ShowFrameRateIfAsked(sheet_->View());
    sheet_->OnCreate();
    return sheet_->isVisible();
}

void CSaverApp::EndWindowed() {
    if (ending_) return;
    ending_ = true;
    if (sheet_ != nullptr) sheet_->hide();
    if (document_) document_->AdviseGracefullExit();
    QuitWithSaverExitCode();
}

void CSaverApp::ShowEntryInConfiguration(const std::string& fileName) {
    if (sheet_ != nullptr) sheet_->Companion()->SelectFile(fileName);
}

bool CSaverApp::PropertiesSaver() {
    const std::uintptr_t window = ReadWindowHandle(modeArgument);
    if (window == 0 || !QueryX11WindowSize(window).exists) {
        MessageStream() << NO_PARENT_MESSAGE << std::flush;
        return false;
    }
    return EmbedInto(window, false);
}

bool CSaverApp::RunSaver() {
    document_ = std::make_unique<CDravikDoc>();
    if (!document_->OnNewDocument()) return false;
    currentDocument = document_.get();
    frame_ = new CSaverWnd();
    auto* view = new CSaverView(document_.get(), 0);
    view->SetFullScreenMode(true);
    view->SetEndsOnInput(true);
    frame_->SetView(view);
    QObject::connect(view, &CSaverView::closeRequested, frame_, [this] {
        frame_->hide();
        frame_->PostClose();
    });
    QObject::connect(view, &CSaverView::showFilesRequested, view, [this] { OnShowFilesRequested(); });
    SetMainWindow(frame_);
    ShowFrameRateIfAsked(view);
    frame_->ShowFullScreen();
    view->PostInit();
    WatchInputOffTheMainThread(*view);
    return true;
}

void CSaverApp::WatchInputOffTheMainThread(CSaverView& view) {
    // One paint of a large system can keep the main thread for seconds; the user's move must end the saver
    // at once all the same. The watch asks the main thread for the ordinary end, and if that has not come
    // within 50 ms (a paint, a join of a busy worker) it ends the process itself: a full-screen saver holds
    // nothing that would be lost.
    inputWatch_ = std::make_unique<CInputWatch>(std::string(), CSaverView::FAR_MOVE_PIXELS, [](CInputWatch::Input) {
        QMetaObject::invokeMethod(
            qApp, [] { if (CSaverApp* app = SaverApp()) app->EndOnInput(); }, Qt::QueuedConnection);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (CSaverApp* app = SaverApp(); app != nullptr && !app->hardExitOnInput_.load()) return;
        std::_Exit(CSaverWnd::EXIT_CODE & 0xff);
    });
    // Moves the view has judged are the view's: the watch measures from where the view last saw the pointer.
    view.SetPointerObserver([watch = inputWatch_.get()](QPoint p) { watch->PointerSeenAt(p.x(), p.y()); });
}

void CSaverApp::EndOnInput() {
    if (document_) document_->AdviseGracefullExit();
    if (frame_ == nullptr) return;
    frame_->hide();
    frame_->PostClose();
}

bool CSaverApp::EmbedInto(std::uintptr_t window, bool endsOnInput) {
    const X11WindowSize size = QueryX11WindowSize(window);
    if (window == 0 || !size.exists) {
        MessageStream() << NO_PARENT_MESSAGE << std::flush;
        return false;
    }
    host_ = QWindow::fromWinId(static_cast<WId>(window));
    if (host_ == nullptr) {
        MessageStream() << NO_PARENT_MESSAGE << std::flush;
        return false;
    }
    hostId_ = window;
    document_ = std::make_unique<CDravikDoc>();
    currentDocument = document_.get();
    auto* view = new CSaverView(document_.get(), 0, host_);
    view->standAlone = 0;
    view->SetEndsOnInput(endsOnInput);
    view->SetFullScreenMode(endsOnInput);
    view->setGeometry(0, 0, std::max(size.width, 1), std::max(size.height, 1));
    QObject::connect(view, &CSaverView::closeRequested, view, [this] { EndEmbedded(); });
    QObject::connect(view, &CSaverView::showFilesRequested, view, [this] { OnShowFilesRequested(); });
    // Checked at every paint too, not only at the polling: the program ends at the first paint after the host.
    view->SetHostCheck([this] {
        if (QueryX11WindowSize(hostId_).exists) return true;
        QMetaObject::invokeMethod(qApp, [this] { EndEmbedded(); }, Qt::QueuedConnection);
        return false;
    });
    previewView = view;
    SetMainWindow(view);
    ShowFrameRateIfAsked(view);
    view->show();
    view->PostInit();

    // The toolkit neither reports the host's size nor its end: both are read from the X server.
    hostTimer_ = new QTimer();
    QObject::connect(hostTimer_, &QTimer::timeout, hostTimer_, [this] { FollowHostWindow(); });
    hostTimer_->start(HOST_POLL_MS);
    return true;
}

void CSaverApp::FollowHostWindow() {
    if (previewView == nullptr || ending_) return;
    const X11WindowSize size = QueryX11WindowSize(hostId_);
    if (!size.exists) {
        EndEmbedded();
        return;
    }
    if (size.width > 0 && size.height > 0 &&
        (size.width != previewView->width() || size.height != previewView->height())) {
        previewView->setGeometry(0, 0, size.width, size.height);
    }
}

void CSaverApp::EndEmbedded() {
    if (ending_) return;
    ending_ = true;
    // The window drawn into went with its host: the toolkit's teardown of it can wait on the X server for
    // seconds. The program ends all the same, soon after its host; it holds nothing that would be lost.
    if (hostId_ != 0 && !QueryX11WindowSize(hostId_).exists) {
        endWatch_ = std::thread([this] {
            RegisteredThread registered;
            if (!endWatchCancel_.Wait(std::chrono::milliseconds(END_WITH_HOST_MS)))
                std::_Exit(CSaverWnd::EXIT_CODE & 0xff);
        });
    }
    if (hostTimer_ != nullptr) hostTimer_->stop();
    if (previewView != nullptr) previewView->hide();
    if (document_) document_->OnCloseDocument();
    QuitWithSaverExitCode();
}

bool CSaverApp::ShowInWindow(const std::string& caption) {
    document_ = std::make_unique<CDravikDoc>();
    currentDocument = document_.get();
    windowView_ = new CSaverView(document_.get(), 0);
    windowView_->SetShowsSharedMessages(true);
    windowView_->setTitle(QString::fromStdString(caption));
    windowView_->resize(640, 480);
    QObject::connect(windowView_, &CSaverView::showFilesRequested, windowView_,
                     [this] { OnShowFilesRequested(); });
    SetMainWindow(windowView_);
    ShowFrameRateIfAsked(windowView_);
    windowView_->show();
    windowView_->PostInit();
    // Closing the window ends the program, as closing the configuration sheet does.
    QObject::connect(windowView_, &QWindow::visibleChanged, windowView_, [this](bool visible) {
        if (!visible) EndWindowed();
    });
    return true;
}

void CSaverApp::OnShowFilesRequested() {
    if (!viewFile_.empty()) {
        OpenDocumentFile(viewFile_);
        return;
    }
    if (IsNumberCrunching() && !GetNumberCrunchModuleName().empty()) {
        // Configure mode only chooses the calculation; the screensaver modes run it.
        if (GetRunMode() == CONFIGURE_MODE || sheet_ != nullptr) return;
        CSaverView* view = GetView();
        if (view != nullptr && !StartConfiguredCalculation(*view)) {
            if (frame_ != nullptr) {
                frame_->hide();
                frame_->PostClose();
            } else {
                EndEmbedded();
            }
        }
        return;
    }
    playlist_->BuildPlaylist();
}

void CSaverApp::OpenDocumentFile(const std::string& path) {
    if (!document_) return;
    // Stops the view's surface worker and governor too: they read the frames about to be replaced.
    document_->AdviseGracefullExit();
    const DocTemplate docTemplate = TemplateForPath(path);
    document_->SetDocTemplate(docTemplate == TEMPLATE_NONE ? TEMPLATE_XYZ : docTemplate);
    currentDocument = document_.get();
    document_->OnOpenDocument(path.c_str());
}

std::optional<std::string> CSaverApp::CurrentDocumentPath() {
    if (currentDocument == nullptr) return std::nullopt;
    return currentDocument->GetPathName();
}

void CSaverApp::AdviseGracefullExit() {
    if (currentDocument != nullptr) currentDocument->AdviseGracefullExit();
}

CSaverView* CSaverApp::GetView() const {
    if (sheet_ != nullptr) return sheet_->View();
    if (frame_ != nullptr) return frame_->GetActiveView();
    if (previewView != nullptr) return previewView;
    return windowView_;
}

bool CSaverApp::IsNumberCrunching() { return CPlaylist::NumberCrunchingConfigured(); }

void CSaverApp::ShowFrameRateIfAsked(CSaverView* view) {
    if (showFrameRate_ && view != nullptr) view->ShowFrameRate();
}

void CSaverApp::SetMainWindow(QObject* window) {
    mainWindow_ = window;
    mainTarget_ = std::make_unique<QtMessageTarget>(window);
    SetMainWindowTarget(mainTarget_.get());
}

void CSaverApp::DestroyWindows() {
    if (hostTimer_ != nullptr) {
        hostTimer_->stop();
        delete hostTimer_;
        hostTimer_ = nullptr;
    }
    // The loader posts to the main window: it is stopped and joined before the target goes, and nothing
    // may post to a window that is going.
    if (document_) document_->AdviseGracefullExit();
    SetMainWindowTarget(nullptr);
    mainTarget_.reset();
    mainWindow_ = nullptr;
    delete sheet_;  // the preview goes with its companion
    sheet_ = nullptr;
    delete frame_;  // its view goes with it
    frame_ = nullptr;
    delete previewView;
    previewView = nullptr;
    delete windowView_;
    windowView_ = nullptr;
    // The host is a stand-in for another program's window: deleting it leaves that window alone.
    delete host_;
    host_ = nullptr;
}

int CSaverApp::ExitInstance() {
    playlist_->KillChangeFileTimer();
    EndCalculation();
    // A check still running is given up: its dialog and the main window it reports to are about to go.
    StopUpdateCheck();
    DestroyWindows();
    // Closing the document stops and joins its loader.
    if (document_) document_->OnCloseDocument();
    ReleaseCalculation();  // it fills the document: it goes first
    document_.reset();
    currentDocument = nullptr;
    if (GetRunMode() == FULL_SCREEN_MODE && IsNumberCrunching()) RunCalculationCommand(false);
    playlist_->WriteBack();  // only when the order or the entries changed
    return CMyApp::ExitInstance();
}

}  // namespace zelvor
