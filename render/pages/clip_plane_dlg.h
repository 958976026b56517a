#pragma once
/// CClipPlaneDlg: the clip-plane window of the rendering page: the equation of each of the six planes and
/// what it clips.
#include <QDialog>
#include <cstdint>

#include "render/pages/bound_scroller.h"
#include "render/pages/page_link.h"
#include "render/view_settings.h"

class QCheckBox;
class QComboBox;

namespace zelvor {

class CDisplayPagesHost;
class CDravikGLView;

class CClipPlaneDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 240;
    static constexpr int IDC_PLANELIST = 1281;
    static constexpr int IDC_PLANEA = 1282;
    static constexpr int IDC_PLANEB = 1283;
    static constexpr int IDC_PLANEC = 1284;
    static constexpr int IDC_PLANED = 1285;
    static constexpr int IDC_CLIPATOMS = 1286;
    static constexpr int IDC_CLIPBONDS = 1287;
    static constexpr int IDC_CLIPSURFACE = 1288;
    static constexpr int IDC_FIXPLANE = 1289;
    static constexpr const char* CAPTION = "Clip Planes";

    /// The plane's distance d ranges over +-D_RANGE W, W the largest cell width of the frame shown: the
    /// oscillation moves it by at most half a cell width, and a normal of up to unit length in each
    /// component reaches every plane that cuts the cell.
    static constexpr double D_RANGE = 1.0;

    /// A modeless window of `parent` (the rendering page).
    explicit CClipPlaneDlg(QWidget* parent = nullptr);
    ~CClipPlaneDlg() override;

    /// The view whose settings the dialog edits (null: none; every control then does nothing).
    void SetView(CDravikGLView* view);
    /// The sheet that hears of changes (may be null).
    void SetHost(CDisplayPagesHost* host) { link_.host = host; }
    /// Shows the chosen plane's settings.
    void UpdateDisplayValues();
    /// The plane the controls edit (0..5).
    int CurrentPlane() const { return plane_; }

public slots:
    void OnSelchangePlane(int plane);
    void OnClipAtoms();
    void OnClipBonds();
    void OnClipSurface();
    void OnFixPlane();

private:
    void Switch(QCheckBox* check, std::int32_t (C3DViewSettings::*field)[6], bool scene);

    CPageLink link_;
    int plane_ = 0;
    QComboBox* planes_ = nullptr;
    CBoundScroller* coefficients_[4] = {};
    QCheckBox* clipAtoms_ = nullptr;
    QCheckBox* clipBonds_ = nullptr;
    QCheckBox* clipSurface_ = nullptr;
    QCheckBox* fixPlane_ = nullptr;
};

}  // namespace zelvor
