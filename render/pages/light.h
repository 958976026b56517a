#pragma once
/// CLight: the "Light Properties" page: kind and position of the light, material, fog and colours.
#include <QWidget>

#include "render/pages/bound_scroller.h"
#include "render/pages/page_link.h"

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace zelvor {

class CDisplayPagesHost;
class CDravikGLView;

class CLight : public QWidget {
    Q_OBJECT

public:
    static constexpr int IDD = 210;
    static constexpr int IDC_POSITIONAL = 1221;
    static constexpr int IDC_DIRECTIONAL = 1222;
    static constexpr int IDC_FIXLIGHT = 1223;
    static constexpr int IDC_LIGHTX = 1224;
    static constexpr int IDC_LIGHTY = 1225;
    static constexpr int IDC_LIGHTZ = 1226;
    static constexpr int IDC_SHININESS = 1227;
    static constexpr int IDC_SPECULAR = 1228;
    static constexpr int IDC_AMBIENT = 1229;
    static constexpr int IDC_FARVISIBILITY = 1230;
    static constexpr int IDC_LIGHTCOLOUR = 1231;
    static constexpr int IDC_BACKGROUND = 1232;
    static constexpr const char* CAPTION = "Light Properties";

    /// The light position ranges over +-LIGHT_RANGE W, W the largest cell width of the frame shown: a light
    /// far outside the molecule still lights it from a distinct side.
    static constexpr double LIGHT_RANGE = 20.0;

    explicit CLight(QWidget* parent = nullptr);
    ~CLight() override;

    /// The view whose settings the page edits (null: none; every control then does nothing). Set it to null
    /// before the view goes.
    void SetView(CDravikGLView* view);
    /// The sheet that hears of changes (may be null).
    void SetHost(CDisplayPagesHost* host) { link_.host = host; }
    /// Shows the settings in every control.
    void UpdateDisplayValues();

public slots:
    void OnPositional();
    void OnDirectional();
    void OnFixLight();
    /// The colour buttons: the colour picker starts from the current colour.
    void OnLightColour();
    void OnBackground();

private:
    enum Scroller { LIGHT_X, LIGHT_Y, LIGHT_Z, SHININESS, SPECULAR, AMBIENT, FAR_VISIBILITY, SCROLLERS };
    void SetLightKind(double w);

    CPageLink link_;
    CBoundScroller* scrollers_[SCROLLERS] = {};
    QRadioButton* positional_ = nullptr;
    QRadioButton* directional_ = nullptr;
    QCheckBox* fixLight_ = nullptr;
    QPushButton* lightColour_ = nullptr;
    QPushButton* background_ = nullptr;
};

}  // namespace zelvor
