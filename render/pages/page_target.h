#pragma once
/// CPageTarget: a page's registration with a view for the governor's notices (0x8036 to the atom page,
/// 0x8038 to the surface page), delivered as events to the page's own thread.
#include "platform/qt_message_target.h"

class QObject;

namespace zelvor {

class CDravikGLView;

class CPageTarget {
public:
    enum class Kind { ATOM_PAGE, SURFACE_PAGE };

    CPageTarget(QObject* page, Kind kind) : target_(page), kind_(kind) {}
    /// Forgets itself at its view.
    ~CPageTarget() { Attach(nullptr); }
    CPageTarget(const CPageTarget&) = delete;
    CPageTarget& operator=(const CPageTarget&) = delete;

    /// Registers with `view` (null: with none) after forgetting itself at the previous one.
    void Attach(CDravikGLView* view);

private:
    QtMessageTarget target_;
    Kind kind_;
    CDravikGLView* view_ = nullptr;
};

}  // namespace zelvor
