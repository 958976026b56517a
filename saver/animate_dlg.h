#pragma once
/// CAnimateDlg: the "Animate" page. It drives the animation of one view every 20 ms and lets the user switch
/// and tune every oscillation, choose a predefined animation and play the frames of a multi-frame file.
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "saver/animation_engine.h"
#include "saver/oscillation_table.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimerEvent;

namespace zelvor {

class CDravikDoc;
class CDravikGLView;
class COscillateDlg;

/// What the animation dialog asks of the configuration sheet that holds it as a page.
class CAnimateSheet {
public:
    virtual ~CAnimateSheet() = default;
    /// The camera page ("Resize") shows the oscillated camera position, aim and Euler angles again.
    virtual void RefreshCameraPage() = 0;
    /// The atom-properties and rendering pages (and with withLight the light page) show the settings again,
    /// where their windows exist.
    virtual void RefreshDisplayPages(bool withLight) = 0;
    /// Enables or disables the camera page's position and aim scrollers and its "Reset" button.
    virtual void EnableCameraControls(bool enable) = 0;
};

/// The animation dialog: hidden and owned by the saver view, or a page of the configuration sheet.
/// OnInitDialog runs from the constructor, so the 20 ms timer runs and the animation plays from creation on.
class CAnimateDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int IDD = 137;
    static constexpr int IDC_FRAMEEDIT = 1020;
    static constexpr int IDC_PLAY = 1022;
    static constexpr int IDC_FRAMESPIN = 1070;
    static constexpr int IDC_FRAMESPEEDSCROLL = 1112;
    static constexpr int IDC_CBPREDEFINED = 1142;
    static constexpr int TIMER_INTERVAL_MS = 20;
    static constexpr const char* CAPTION = "Animate";

    /// The saver view's own dialog: animates view (whose document is doc) and is never shown.
    CAnimateDlg(CDravikGLView* view, CDravikDoc* doc, QWidget* parent = nullptr);
    /// A page of the configuration sheet; the view comes later through SetView.
    explicit CAnimateDlg(QWidget* parent = nullptr);
    ~CAnimateDlg() override;
    CAnimateDlg(const CAnimateDlg&) = delete;
    CAnimateDlg& operator=(const CAnimateDlg&) = delete;

    /// Fills the controls, starts the timer and the playing state. Returns true.
    bool OnInitDialog();
    /// Animates view from now on (null: nothing). A different view closes the oscillation dialogs.
    void SetView(CDravikGLView* view, CDravikDoc* doc);
    /// The configuration sheet this dialog is a page of (null: none).
    void SetSheet(CAnimateSheet* sheet);
    /// Frame controls for the loaded file: range, position and enabling by the frame count. Returns true.
    bool PostInit();
    /// Shows the settings in the controls.
    void UpdateUI();
    /// Negative toggles playing, 0 stops, positive plays.
    void TogglePlay(int mode);
    /// The camera page's controls that the animation overwrites are disabled while playing.
    void ControlEnabling(int playing);
    /// One oscillation step, one playing tick, a step of frames: the engine's, for this view.
    void TurnView();
    void PlayFrames();
    void AdvanceFrameNr(int step);
    /// Marks the settings as hand-made: "Custom" in the settings and in the combo box.
    void SetCustomSettings();
    /// Selects animation (item data of the combo box) and applies it as if the user had chosen it.
    void SelectPredefined(int animation);
    bool IsPlaying() const { return playing_; }
    /// Switches the flag as the check box says, shows or hides the button and the dialog accordingly.
    void CheckButtonDialog(COscillateDlg* dialog, QCheckBox* check, QPushButton* button, std::int32_t& flag);

    /// The control with this id (objectName is the decimal id), or null.
    QWidget* GetDlgItem(int id) const;
    /// The oscillation dialog of parameter p, null until its button was first used.
    COscillateDlg* OscillationDialog(int p) const;
    CAnimationEngine* Engine() const { return engine_.get(); }
    CDravikGLView* View() const { return view_; }

public slots:
    /// One 20 ms tick: plays while playing and the document has loaded something.
    void OnTimer();
    /// The Play button: toggles playing.
    void OnPlay();
    /// The user chose a predefined animation: applies it (a non-"Custom" one over the defaults).
    void OnSelchangeCbpredefined();
    /// The speed scroller changed: stores the frame speed.
    void OnNewValueFramespeedscroll(double value);
    /// The user edited the frame number: shows that frame.
    void OnChangeFrameedit();

    /// Check-box handlers: switch the parameter's oscillation on or off.
    void OnAimchkx();
    void OnAimchky();
    void OnAimchkz();
    void OnPoschkx();
    void OnPoschky();
    void OnPoschkz();
    void OnPhichk();
    void OnPsichk();
    void OnThetachk();
    void OnOpaquechk();
    void OnVdwchk();
    void OnClip1chk();
    void OnClip2chk();
    void OnClip3chk();
    void OnClip4chk();
    void OnClip5chk();
    void OnClip6chk();

    /// Button handlers: open the parameter's oscillation dialog, creating it on first use.
    void OnAimxbtn();
    void OnAimybtn();
    void OnAimzbtn();
    void OnPosxbtn();
    void OnPosybtn();
    void OnPoszbtn();
    void OnPhibtn();
    void OnPsibtn();
    void OnThetabtn();
    void OnOpaquebtn();
    void OnVdwscaling();
    void OnClip1btn();
    void OnClip2btn();
    void OnClip3btn();
    void OnClip4btn();
    void OnClip5btn();
    void OnClip6btn();

protected:
    void timerEvent(QTimerEvent* event) override;
    /// Stops the timer and deletes the oscillation dialogs.
    void OnDestroy();

private:
    class Target;

    void BuildControls();
    C3DViewSettings* Settings() const;
    void OnCheck(int p);
    void OnOscillationButton(int p);
    /// Writes the frame controls without their change notification acting on the document.
    void ShowFrameNumber(int frame);
    void SelectComboItem(int animation);
    void RefreshCameraPage();
    void Invalidate();

    CDravikGLView* view_ = nullptr;
    CDravikDoc* doc_ = nullptr;
    CAnimateSheet* sheet_ = nullptr;
    std::unique_ptr<Target> target_;
    std::unique_ptr<CAnimationEngine> engine_;

    QComboBox* predefined_ = nullptr;
    QCheckBox* checks_[OSC_COUNT] = {};
    QPushButton* buttons_[OSC_COUNT] = {};
    COscillateDlg* oscillations_[OSC_COUNT] = {};
    QSpinBox* frameSpin_ = nullptr;
    QLineEdit* frameEdit_ = nullptr;
    QPushButton* play_ = nullptr;
    QWidget* speedScroller_ = nullptr;

    bool updatingFrame_ = false;
    bool playing_ = false;
    bool numberCrunching_ = false;
    int timerId_ = 0;
};

}  // namespace zelvor
