#include <algorithm>
#include <mutex>

#include "model/bond_search.h"
#include "model/dravik_doc.h"
#include "model/locks.h"
#include "platform/load_status.h"

namespace zelvor {

namespace {

/// Progress of one bonding run in whole percent of (atoms of frame 0) x (frame count) steps. Only a
/// change of the whole percentage is posted, so the main window gets at most about a hundred reports.
struct BondProgress {
    long long total = 0;
    long long processed = 0;
    int reported = 0;

    void Advance() {
        ++processed;
        if (total <= 0) return;
        const int percent = static_cast<int>(std::min<long long>(100, processed * 100 / total));
        if (percent > reported) {
            reported = percent;
            AdviseMainWndLoadStatus(reported, 1, "Assigning bonds to pairs of atoms");
        }
    }
};

}  // namespace

void CDravikDoc::EstablishBonds() {
    std::lock_guard lock(AtomLock());
    if (bondedFrameCount_ == 1 && loadResult_.load() != 1) return;
    const int frameCount = std::min(frameCount_.load(), MAX_FRAMES);
    if (bondedFrameCount_ == frameCount || !bondsWanted_.load()) return;
    bondedFrameCount_ = frameCount;

    BondProgress progress;
    progress.total = static_cast<long long>(frames_[0].atomCount) * frameCount;

    for (int f = 0; f < frameCount; ++f) {
        Frame& frame = frames_[f];
        if (frame.bondsDone) continue;
        // On abort this frame stays unbonded and without partners; the next run starts it again.
        const bool done = FindBondPartners(frame.atoms.get(), frame.atomCount, frame.bonds, [&] {
            progress.Advance();
            return !CloseBeforeLoaded();
        });
        if (!done) {
            frame.bonds.Clear();
            return;
        }
        frame.bondsDone = true;
    }
    AdviseMainWndLoadStatus(0, 0, nullptr);
}

}  // namespace zelvor
