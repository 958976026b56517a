#pragma once
/// CPageLink: what a display page or dialog acts on (the view whose settings it edits, the sheet that holds it)
/// and the one way a change of a setting reaches the picture.
#include <functional>

namespace zelvor {

class C3DViewSettings;
class CDisplayPagesHost;
class CDravikGLView;

/// What a change must renew besides the repaint.
struct ChangeEffects {
    bool scene = false;     ///< the scene list: sets sceneChanged
    bool surface = false;   ///< the iso-surfaces: sets surfaceChanged
    bool recolour = false;  ///< the iso-surface colours: sets surfaceRecolour
    int hint = -1;          ///< hint for updating every view of the document; -1 for none
    bool custom = true;     ///< the sheet hears SetCustomSettings
};

/// Stands in for the cell width while there is none (no document, no frame, or a degenerate one): the width the
/// camera is placed for without a document.
inline constexpr double FALLBACK_CELL_WIDTH = 50.0;

class CPageLink {
public:
    /// The view edited (null: nothing is edited) and the sheet told of changes (may be null).
    CDravikGLView* view = nullptr;
    CDisplayPagesHost* host = nullptr;

    /// The view's settings, or null without a view.
    C3DViewSettings* Settings() const;
    /// Writes `change` into the view's settings under its detail-settings lock (the governor thread and the
    /// surface worker read them), sets the flags `effects` names, tells the sheet, updates the document's views
    /// with the hint and repaints. Without a view nothing happens and false is returned.
    bool Apply(const std::function<void(C3DViewSettings&)>& change, const ChangeEffects& effects = {}) const;
    /// Updates every view of the document with `hint`, then repaints this view (only repaints without a document).
    void Refresh(int hint) const;
    /// The largest cell width W of the frame shown, which sizes the light and camera ranges; FALLBACK_CELL_WIDTH
    /// when there is none or it is not a positive finite number.
    double CellWidth() const;
};

}  // namespace zelvor
