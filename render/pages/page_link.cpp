#include "render/pages/page_link.h"

#include <cmath>

#include "render/dravik_gl_view.h"
#include "render/pages/display_pages_host.h"

namespace zelvor {

C3DViewSettings* CPageLink::Settings() const { return view ? view->Get3DViewSettings() : nullptr; }

bool CPageLink::Apply(const std::function<void(C3DViewSettings&)>& change, const ChangeEffects& effects) const {
    if (!view) return false;
    C3DViewSettings& s = *view->Get3DViewSettings();
    view->ChangeDetailSettings([&] {
        change(s);
        if (effects.scene) s.sceneChanged = 1;
        if (effects.surface) s.surfaceChanged = 1;
        if (effects.recolour) s.surfaceRecolour = 1;
    });
    if (effects.custom && host) host->SetCustomSettings();
    Refresh(effects.hint);
    return true;
}

void CPageLink::Refresh(int hint) const {
    if (!view) return;
    if (hint >= 0)
        if (CDravikDoc* doc = view->GetDocument()) doc->UpdateAllViews(hint);
    view->Repaint();
}

double CPageLink::CellWidth() const {
    const double w = view ? view->ShownCellWidth() : 0.0;
    return std::isfinite(w) && w > 0.0 ? w : FALLBACK_CELL_WIDTH;
}

}  // namespace zelvor
