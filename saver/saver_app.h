#pragma once
/// CSaverApp: the screensaver program. Reads its command line, then runs one of the three modes:
/// configure, preview inside a window it is given, or full screen until the user comes back.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/my_app.h"
#include "crunch/module_error_prompt.h"
#include "platform/named_event.h"
#include "saver/command_line.h"
#include "saver/playlist.h"
#include "saver/qt_thread_timers.h"

class QObject;
class QTimer;
class QWindow;

namespace zelvor {

class CInputWatch;
struct CalculationHooks;
class CNumberCrunchModules;
class CNumberCrunching;
class CRedirectStdIO;

class CDisplayPropSheet;
class CDravikDoc;
class CSaverView;
class CSaverWnd;
class QtMessageTarget;

class CSaverApp : public CMyApp, public PlaylistHost {
public:
    static constexpr const char* CONFIGURE_CAPTION = "Configure Zelvor, Molecular Screensaver";
    static constexpr const char* NO_PARENT_MESSAGE =
        "Parent window handle not supplied on commandline.\nZelvor terminates.";
    /// The configured calculation's menu name ("Config" section) and its default.
    static constexpr const char* CALCULATION_CHOICE = "Type of NumberCrunching";
    static constexpr const char* DEFAULT_CALCULATION = "Ondrel";
    /// How often a host window's size is read (foreign windows report no resizes).
    static constexpr int HOST_POLL_MS = 100;
    /// Once the host window is gone, the program ends within this time even if its teardown stalls.
    static constexpr int END_WITH_HOST_MS = 1500;

    /// args: the command-line arguments after the program name. A QGuiApplication must exist.
    explicit CSaverApp(std::vector<std::string> args);
    ~CSaverApp() override;

    /// Element table, base initialisation, command line, random seed, playlist timer, then the mode.
    bool InitInstance() override;
    /// Windows, documents, playlist write-back; returns the message loop's exit code.
    int ExitInstance() override;

    /// Fills mode letter and mode argument (and the XScreenSaver and --view requests) from the arguments.
    void ProcessCommandLine();
    ScreenSaverMode GetRunMode() const;
    bool ConfigureSaver();
    /// Preview mode: draws inside the window whose id is the mode argument.
    bool PropertiesSaver();
    /// Full-screen mode.
    bool RunSaver();
    /// Full-screen mode: the input that ends the saver is also watched on a thread of its own.
    void WatchInputOffTheMainThread(CSaverView& view);
    /// The view of the current mode (null when there is none).
    CSaverView* GetView() const;
    /// "Is ScreenSaver NumberCrunching" in "Config" is "Yes".
    bool IsNumberCrunching() override;
    /// The module file of the configured calculation ("Type of NumberCrunching", default "Ondrel"); empty
    /// when the module list holds no calculation of that menu name.
    std::string GetNumberCrunchModuleName() const;
    /// The calculation modules, read once at start-up (null before).
    CNumberCrunchModules* Modules() const { return modules_.get(); }
    /// Opens path as the program's single document and starts loading it in the background.
    void OpenDocumentFile(const std::string& path) override;
    /// The coordinate files the saver shows, with their change-file timer.
    CPlaylist& Playlist() { return *playlist_; }
    /// The window that receives the application messages (null before a mode has made one).
    QObject* MainWindow() const { return mainWindow_; }
    /// Configure mode's window (null in the other modes).
    CDisplayPropSheet* ConfigurationSheet() const { return sheet_; }
    /// Asks the user whether a fault in a module call should be reported (Yes lets it continue).
    ModuleErrorPrompt ModuleFaultPrompt();
    /// What a calculation shown by the view that view() returns (null: none) asks of the program.
    CalculationHooks HooksForCalculation(std::function<CSaverView*()> view);
    /// Menu names of the loaded calculation modules, in the module list's order.
    std::vector<std::string> CalculationMenuNames() const;

    // What the playlist asks of the application.
    std::optional<std::string> CurrentDocumentPath() override;
    void AdviseGracefullExit() override;
    bool IsConfigureMode() override { return GetRunMode() == CONFIGURE_MODE; }
    int ShuffleFlag() override { return appSettings.shuffleFiles; }
    void ShowEntryInConfiguration(const std::string& fileName) override;

    /// The document that a view last worked on (the playlist replaces its contents).
    CDravikDoc* currentDocument = nullptr;
    std::string modeLetter;
    std::string modeArgument;
    CSaverView* previewView = nullptr;
    /// Milliseconds between two coordinate polls of a running calculation.
    double pollingInterval = 500.0;

private:
    /// Draws into a window of another program: the preview host or the XScreenSaver window.
    bool EmbedInto(std::uintptr_t window, bool endsOnInput);
    /// A view in a plain window of its own (--view).
    bool ShowInWindow(const std::string& caption);
    void SetMainWindow(QObject* window);
    /// --fps: the view shows frames/s and the processor share.
    void ShowFrameRateIfAsked(CSaverView* view);
    /// The configuration sheet or the --view window closed: the document stops, the program ends.
    void EndWindowed();
    void OnShowFilesRequested();
    void FollowHostWindow();
    /// The embedded view ends: document advised, message loop quits with the saver's exit code.
    void EndEmbedded();
    /// The input watch saw the input that ends the full-screen saver: the same end as the view's own.
    void EndOnInput();
    void DestroyWindows();

    // Calculations (saver_calculation.cpp).
    /// Reads the module list (--modules, else the usual places) and the module settings.
    void LoadCalculationModules();
    /// Runs the configured calculation's command before (or after) it through the shell, and waits.
    void RunCalculationCommand(bool before);
    /// Starts the configured calculation in the document of view; false when it cannot be chosen or started.
    bool StartConfiguredCalculation(CSaverView& view);
    /// Ends a running calculation before the windows go.
    void EndCalculation();
    /// Frees the calculation and the redirection of the standard handles, after the document closed.
    void ReleaseCalculation();

    std::vector<std::string> args_;
    QtThreadTimers timers_;
    std::unique_ptr<CPlaylist> playlist_;  // after the timers it runs on, so that it goes first
    XScreenSaverRequest xscreensaver_;
    std::string viewFile_;
    // --file and --load-time: this run's playlist instead of the stored one.
    std::string runFile_;
    int runLoadTime_ = 0;
    std::unique_ptr<CDravikDoc> document_;
    CSaverWnd* frame_ = nullptr;
    CDisplayPropSheet* sheet_ = nullptr;
    CSaverView* windowView_ = nullptr;  ///< configure and --view: the view in its own window
    QWindow* host_ = nullptr;           ///< foreign window the preview view lives in
    std::uintptr_t hostId_ = 0;
    QTimer* hostTimer_ = nullptr;
    QObject* mainWindow_ = nullptr;
    std::unique_ptr<QtMessageTarget> mainTarget_;
    bool ending_ = false;
    bool showFrameRate_ = false;
    std::string modulesPath_;
    std::unique_ptr<CNumberCrunchModules> modules_;
    std::unique_ptr<CRedirectStdIO> redirect_;
    /// The standard output and error the program started with, while a calculation has the standard handles.
    int programStdout_ = -1;
    int programStderr_ = -1;
    std::unique_ptr<CNumberCrunching> calculation_;  // after the redirection it writes to, so that it goes first
    /// The input watch ends the process itself when the main thread is slow to; not while a calculation runs,
    /// which must end and run its commands.
    std::atomic<bool> hardExitOnInput_{true};
    /// Ends the program when its host window went and the ordinary end stalls (see EndEmbedded).
    std::thread endWatch_;
    NamedEvent endWatchCancel_{NamedEvent::ResetMode::Manual, false};
    /// Last: its thread ends the program through the members above, so it is joined first.
    std::unique_ptr<CInputWatch> inputWatch_;
};

/// The running screensaver application (null when none).
CSaverApp* SaverApp();

}  // namespace zelvor
