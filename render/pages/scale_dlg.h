#pragma once
/// CScaleDlg: the camera page ("Resize"): camera position and aim, field of view, Euler angles, perspective.
#include <QWidget>

#include "render/pages/bound_scroller.h"
#include "render/pages/page_link.h"

class QCheckBox;
class QPushButton;

namespace zelvor {

class CDisplayPagesHost;
class CDravikGLView;

class CScaleDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int IDD = 200;
    static constexpr int IDC_EYEX = 1201;
    static constexpr int IDC_EYEY = 1202;
    static constexpr int IDC_EYEZ = 1203;
    static constexpr int IDC_AIMX = 1204;
    static constexpr int IDC_AIMY = 1205;
    static constexpr int IDC_AIMZ = 1206;
    static constexpr int IDC_FIELDOFVIEW = 1207;
    static constexpr int IDC_PSI = 1208;
    static constexpr int IDC_PHI = 1209;
    static constexpr int IDC_THETA = 1210;
    static constexpr int IDC_PERSPECTIVE = 1211;
    static constexpr int IDC_RESET = 1212;
    static constexpr int IDC_RESETANGLES = 1213;
    static constexpr const char* CAPTION = "Resize";

    /// Camera position and aim range over +-EYE_RANGE W and +-AIM_RANGE W, W the largest cell width of the
    /// frame shown: the camera is placed at 3 W, mouse zooms move it further out, and an aim beyond the
    /// cell looks past the molecule.
    static constexpr double EYE_RANGE = 10.0;
    static constexpr double AIM_RANGE = 2.0;

    explicit CScaleDlg(QWidget* parent = nullptr);
    ~CScaleDlg() override;

    /// The view whose settings the page edits (null: none; every control then does nothing). Set it to null
    /// before the view goes.
    void SetView(CDravikGLView* view);
    /// The sheet that hears of changes (may be null).
    void SetHost(CDisplayPagesHost* host) { link_.host = host; }
    /// Shows the settings in every control (after mouse moves, animation ticks, a new document).
    void UpdateDisplayValues();
    /// Enables the position and aim scrollers and the reset button (the animation overwrites them while it plays).
    void EnableCameraControls(bool enable);

public slots:
    void OnPerspective();
    /// Places the camera for the molecule again.
    void OnReset();
    /// Sets the three Euler angles to 0.
    void OnResetAngles();

private:
    enum Scroller { EYE_X, EYE_Y, EYE_Z, AIM_X, AIM_Y, AIM_Z, FIELD_OF_VIEW, PSI, PHI, THETA, SCROLLERS };

    CPageLink link_;
    CBoundScroller* scrollers_[SCROLLERS] = {};
    QCheckBox* perspective_ = nullptr;
    QPushButton* reset_ = nullptr;
    QPushButton* resetAngles_ = nullptr;
};

}  // namespace zelvor
