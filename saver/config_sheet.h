#pragma once
/// CDisplayPropSheet: configure mode's window. The display pages and the Animate page act on the live preview
/// of its companion dialog; OK keeps what was changed, Cancel (or Escape, or closing) restores it.
#include <QDialog>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

#include "render/pages/display_pages_host.h"
#include "render/view_settings.h"
#include "saver/animate_dlg.h"
#include "saver/saver_view.h"

class QPushButton;
class QTabWidget;
class QWindow;

namespace zelvor {

class CAtomProp;
class CConfigViewDlg;
class CDravikDoc;
class CLight;
class CRendering;
class CSaverApp;
class CScaleDlg;
class CUpdateDlg;

class CDisplayPropSheet : public QDialog, public CAnimateSheet, public CDisplayPagesHost, public CViewSheet {
    Q_OBJECT

public:
    static constexpr int ID_APP_ABOUT = 57664;
    static constexpr int ID_UPDATE_ONLINE = 54984;
    /// Index of the Animate page, shown when the preview starts.
    static constexpr int ANIMATE_PAGE = 2;

    /// The pages in their order and the companion with its preview of doc (the application's document).
    CDisplayPropSheet(const QString& caption, CSaverApp& app, CDravikDoc* doc, QWidget* parent = nullptr);
    ~CDisplayPropSheet() override;

    /// The window exists: the companion's preview starts, every page gets the view, the settings are saved
    /// for Cancel, and the sheet shows.
    void OnCreate();
    /// Shows the sheet over another program's window (the system's settings dialog) as its transient.
    void PlaceOver(std::uintptr_t parentWindow);

    /// OK: keeps the settings and the chosen playlist; the sheet ends with result 1.
    void OnOK();
    /// Cancel: the view gets the saved settings back; the sheet ends with result 0.
    void OnCancel();
    /// "About...": the animation stops while the About box is shown.
    void OnAppAbout();
    /// "Updates...": the update page, made the first time.
    void OnUpdateOnline();
    /// On: the Animate page's frame controls are disabled (a calculation supplies the frames).
    void PresentAsNumberCrunching(int on);
    /// Starts the animation and hides the sheet.
    void AutoAnimate();
    /// New files were chosen: the animation's oscillations start again from phase 0.
    void ResetAnimationClock();

    /// Loader notifications; the sheet is the main window in configure mode.
    void OnStatusProgress(std::intptr_t progress, const char* text);
    void OnFinishedLoadingFile();
    void OnFirstFrameRead();
    void OnThreadShowMessage();

    CConfigViewDlg* Companion() const { return companion_; }
    CSaverView* View() const { return view_; }
    CAnimateDlg* AnimatePage() override { return animate_; }
    QTabWidget* Pages() const { return tabs_; }
    CScaleDlg* ScalePage() const { return scale_; }
    CLight* LightPage() const { return light_; }
    CAtomProp* AtomPage() const { return atom_; }
    CRendering* RenderingPage() const { return rendering_; }
    /// The settings Cancel restores.
    const C3DViewSettings& SavedSettings() const { return saved_; }
    const std::string& LastStatusText() const { return lastStatus_; }

    // The Animate page's requests.
    void RefreshCameraPage() override;
    void RefreshDisplayPages(bool withLight) override;
    void EnableCameraControls(bool enable) override;
    // The display pages' requests.
    void SetCustomSettings() override;
    void ClipPlanesSwitched(bool on) override;
    // The preview's request.
    void OnViewStarted() override;

public slots:
    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildButtons();

    CSaverApp& app_;
    QTabWidget* tabs_ = nullptr;
    CScaleDlg* scale_ = nullptr;
    CLight* light_ = nullptr;
    CAnimateDlg* animate_ = nullptr;
    CAtomProp* atom_ = nullptr;
    CRendering* rendering_ = nullptr;
    CConfigViewDlg* companion_ = nullptr;
    CSaverView* view_ = nullptr;
    QDialog* updates_ = nullptr;
    /// Stands for the other program's window the sheet was placed over (deleting it leaves that window alone).
    QWindow* parentStandIn_ = nullptr;
    C3DViewSettings saved_{C3DViewSettings::Transient{}};
    std::string lastStatus_;
    bool ended_ = false;
};

}  // namespace zelvor
