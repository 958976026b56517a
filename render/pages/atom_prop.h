#pragma once
/// CAtomProp: the "Bonds and Atoms" page: what is drawn (atoms, bonds, surface) and how, atom and bond sizes,
/// and the surface dialog.
#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "render/pages/bound_scroller.h"
#include "render/pages/page_link.h"
#include "render/pages/page_target.h"
#include "render/pages/surface_dlg.h"
#include "render/view_settings.h"

class QCheckBox;
class QEvent;
class QPushButton;
class QRadioButton;

namespace zelvor {

class CDisplayPagesHost;
class CDravikGLView;

class CAtomProp : public QWidget {
    Q_OBJECT

public:
    static constexpr int IDD = 220;
    static constexpr int IDC_ATOMSCALE = 1241;
    static constexpr int IDC_BONDSIZE = 1242;
    static constexpr int IDC_MAXBONDLENGTH = 1243;
    static constexpr int IDC_SHOWATOMS = 1244;
    static constexpr int IDC_SHOWBONDS = 1245;
    static constexpr int IDC_SHOWSURFACE = 1246;
    static constexpr int IDC_SPHERES = 1247;
    static constexpr int IDC_DOTS = 1248;
    static constexpr int IDC_TUBES = 1249;
    static constexpr int IDC_LINES = 1250;
    static constexpr int IDC_SURFACE = 1251;
    static constexpr const char* CAPTION = "Bonds and Atoms";

    explicit CAtomProp(QWidget* parent = nullptr);
    ~CAtomProp() override;

    /// The view whose settings the page and its surface dialog edit (null: none; every control then does
    /// nothing). The page registers with the view for the governor's notices. Set it to null before the view goes.
    void SetView(CDravikGLView* view);
    /// The sheet that hears of changes (may be null).
    void SetHost(CDisplayPagesHost* host);
    /// Shows the settings in every control (and in the surface dialog).
    void UpdateDisplayValues();
    /// Enables the controls that mean something only with atoms, bonds or the surface shown.
    void ControlEnabling();
    /// The surface dialog, null until its button was first used.
    CSurfaceDlg* SurfaceDialog() const { return surfaceDlg_; }

public slots:
    void OnShowAtoms();
    void OnShowBonds();
    void OnShowSurface();
    void OnSpheres();
    void OnDots();
    void OnTubes();
    void OnLines();
    /// Opens the surface dialog, making it on first use.
    void OnSurface();

protected:
    /// The governor's notice (0x8036): the page shows the values it changed.
    bool event(QEvent* event) override;

private:
    enum Scroller { ATOM_SCALE, BOND_SIZE, MAX_BOND_LENGTH, SCROLLERS };
    void Switch(std::int32_t C3DViewSettings::*field, std::int32_t value);

    CPageLink link_;
    CPageTarget target_{this, CPageTarget::Kind::ATOM_PAGE};
    CBoundScroller* scrollers_[SCROLLERS] = {};
    QCheckBox* showAtoms_ = nullptr;
    QCheckBox* showBonds_ = nullptr;
    QCheckBox* showSurface_ = nullptr;
    QRadioButton* spheres_ = nullptr;
    QRadioButton* dots_ = nullptr;
    QRadioButton* tubes_ = nullptr;
    QRadioButton* lines_ = nullptr;
    QPushButton* surface_ = nullptr;
    /// A child window: Qt deletes it with the page, or earlier if someone closes it for good.
    QPointer<CSurfaceDlg> surfaceDlg_;
};

}  // namespace zelvor
