#pragma once
/// CRendering: the "Rendering" page: polygon mode, what else is drawn (cell box, axes, text), clip planes,
/// smoothing, the tessellation governor's switch, the render quality, and the clip-plane and processor-usage
/// dialogs.
#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "render/pages/clip_plane_dlg.h"
#include "render/pages/cpu_anti_hog_dlg.h"
#include "render/pages/page_link.h"
#include "render/view_settings.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;

namespace zelvor {

class CAppSettings;
class CDisplayPagesHost;
class CDravikGLView;

class CRendering : public QWidget {
    Q_OBJECT

public:
    static constexpr int IDD = 230;
    static constexpr int IDC_FILL = 1261;
    static constexpr int IDC_POINT = 1262;
    static constexpr int IDC_WIRE = 1263;
    static constexpr int IDC_CELLBOX = 1264;
    static constexpr int IDC_AXES = 1265;
    static constexpr int IDC_INFOTEXT = 1266;
    static constexpr int IDC_USECLIPPLANES = 1267;
    static constexpr int IDC_SMOOTHLINES = 1268;
    static constexpr int IDC_OPTIMISE = 1269;
    static constexpr int IDC_QUALITY = 1270;
    static constexpr int IDC_QUALITYTEXT = 1271;
    static constexpr int IDC_CLIPPLANES = 1272;
    static constexpr int IDC_CPUUSAGE = 1273;
    static constexpr const char* CAPTION = "Rendering";

    explicit CRendering(QWidget* parent = nullptr);
    ~CRendering() override;

    /// The view whose settings the page and its clip-plane dialog edit (null: none; every control then does
    /// nothing). Set it to null before the view goes.
    void SetView(CDravikGLView* view);
    /// The sheet that hears of changes (may be null).
    void SetHost(CDisplayPagesHost* host);
    /// The application settings whose processor-usage limits the limits dialog edits (null: none).
    void SetAppSettings(CAppSettings* settings);
    /// Shows the settings in every control (and in the dialogs).
    void UpdateDisplayValues();
    /// The dialogs, null until their buttons were first used.
    CClipPlaneDlg* ClipPlaneDialog() const { return clipPlaneDlg_; }
    CCPUAntiHogDlg* CPUAntiHogDialog() const { return cpuAntiHogDlg_; }

public slots:
    void OnFill();
    void OnPoint();
    void OnWire();
    void OnCellBox();
    void OnAxes();
    void OnInfoText();
    void OnUseClipPlanes();
    void OnSmoothLines();
    void OnOptimise();
    /// The quality field moved: the view's render quality follows.
    void OnQuality(int quality);
    /// Open the dialogs, making them on first use.
    void OnClipPlanes();
    void OnCPUUsage();

private:
    void SetPolygonMode(int mode);
    void Switch(QCheckBox* check, std::int32_t C3DViewSettings::*field, int hint, bool scene);
    void ShowQuality(int quality);

    CPageLink link_;
    CAppSettings* appSettings_ = nullptr;
    QRadioButton* fill_ = nullptr;
    QRadioButton* point_ = nullptr;
    QRadioButton* wire_ = nullptr;
    QCheckBox* cellBox_ = nullptr;
    QCheckBox* axes_ = nullptr;
    QCheckBox* infoText_ = nullptr;
    QCheckBox* useClipPlanes_ = nullptr;
    QCheckBox* smoothLines_ = nullptr;
    QCheckBox* optimise_ = nullptr;
    QSlider* quality_ = nullptr;
    QLabel* qualityText_ = nullptr;
    QPushButton* clipPlanes_ = nullptr;
    QPushButton* cpuUsage_ = nullptr;
    /// Child windows: Qt deletes them with the page, or earlier if someone closes them for good.
    QPointer<CClipPlaneDlg> clipPlaneDlg_;
    QPointer<CCPUAntiHogDlg> cpuAntiHogDlg_;
    bool showing_ = false;
};

}  // namespace zelvor
