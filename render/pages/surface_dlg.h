#pragma once
/// CSurfaceDlg: the surface window of the atom page: distance and step of the molecular surface (applied on
/// request), opaqueness, and for volumetric data the six iso-levels with their values, switches and colours.
#include <QDialog>

#include "render/pages/bound_scroller.h"
#include "render/pages/page_link.h"
#include "render/pages/page_target.h"

class QCheckBox;
class QComboBox;
class QEvent;
class QPushButton;

namespace zelvor {

class CDisplayPagesHost;
class CDravikGLView;

class CSurfaceDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 250;
    static constexpr int IDC_DISTANCE = 1301;
    static constexpr int IDC_STEP = 1302;
    static constexpr int IDC_APPLY = 1303;
    static constexpr int IDC_OPAQUENESS = 1304;
    static constexpr int IDC_LEVELLIST = 1305;
    static constexpr int IDC_ISOVALUE = 1306;
    static constexpr int IDC_SHOWLEVEL = 1307;
    static constexpr int IDC_AUTOLEVELS = 1308;
    static constexpr int IDC_LEVELCOLOUR = 1309;
    static constexpr const char* CAPTION = "Surface";

    /// A modeless window of `parent` (the atom page).
    explicit CSurfaceDlg(QWidget* parent = nullptr);
    ~CSurfaceDlg() override;

    /// The view whose settings the dialog edits (null: none; every control then does nothing). The dialog
    /// registers with the view for the governor's notices.
    void SetView(CDravikGLView* view);
    /// The sheet that hears of changes (may be null).
    void SetHost(CDisplayPagesHost* host) { link_.host = host; }
    /// Shows the settings in every control; edits of distance and step not yet applied are dropped.
    void UpdateDisplayValues();
    /// The iso-level the level controls edit (0..5).
    int CurrentLevel() const { return level_; }

public slots:
    /// Copies the edited distance and step into the settings; the surface is computed again.
    void OnApply();
    void OnSelchangeLevel(int level);
    void OnShowLevel();
    void OnAutoLevels();
    void OnLevelColour();

protected:
    /// The governor's notice (0x8038): the dialog shows the step it changed.
    bool event(QEvent* event) override;

private:
    enum Scroller { DISTANCE, STEP, OPAQUENESS, ISO_VALUE, SCROLLERS };
    /// Apply is offered only while the edits differ from the settings.
    void EnableApply();
    /// Enables the controls that the document's kind and the automatic levels leave open.
    void ControlEnabling();
    ScrollerSetup IsoValueSetup() const;

    CPageLink link_;
    CPageTarget target_{this, CPageTarget::Kind::SURFACE_PAGE};
    CBoundScroller* scrollers_[SCROLLERS] = {};
    double distance_ = 0.0, step_ = 0.0;
    int level_ = 0;
    QPushButton* apply_ = nullptr;
    QComboBox* levels_ = nullptr;
    QCheckBox* showLevel_ = nullptr;
    QCheckBox* autoLevels_ = nullptr;
    QPushButton* levelColour_ = nullptr;
};

}  // namespace zelvor
