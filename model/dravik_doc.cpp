#include "model/dravik_doc.h"

#include <uuid/uuid.h>

#include <algorithm>
#include <mutex>

#include "model/model_reports.h"
#include "model/locks.h"

namespace zelvor {

namespace {

/// "Zelvor_" and the text of a fresh UUID; empty when no UUID can be made.
std::string MakeCalculationLabel() {
    uuid_t id;
    uuid_generate(id);
    if (uuid_is_null(id)) return {};
    char text[37];
    uuid_unparse_lower(id, text);
    return std::string("Zelvor_") + text;
}

}  // namespace

CDravikDoc::CDravikDoc() : frames_(new Frame[MAX_FRAMES]), title_(new char[TITLE_SIZE]()) {
    guid_ = MakeCalculationLabel();
    if (guid_.empty()) ReportToMessageStream("Can't label calculation with a unique ID.");
}

CDravikDoc::~CDravikDoc() {
    // The loader writes into frames_: it must be stopped and joined before they go.
    SetAbortLoading(true);
    WaitForLoader();
}

void CDravikDoc::SetFrameNr(int n) {
    const int count = frameCount_.load();
    if (n >= 0 && count >= 1) frameNr_.store(n % count);
}

void CDravikDoc::SetFrameCount(int n) { frameCount_.store(std::clamp(n, 0, MAX_FRAMES)); }

double CDravikDoc::GetMaxCellWidth(int f) const {
    if (f >= 0 && f < frameCount_.load()) return frames_[f].maxCellWidth;
    return frames_[frameNr_.load()].maxCellWidth;
}

void CDravikDoc::FirstFrameWasRead() {
    firstFrameRead_.store(true);
    UpdateAllViews(HINT_NEW_DATA);
    SetDefaultCorrFuncSettings();
    isNewDoc_.store(false);
}

void CDravikDoc::SetDefaultCorrFuncSettings() {
    corrFunc_.radialCutoff = frames_[0].halfMinCell;
    corrFunc_.secondRange = 10.0;
    corrFunc_.points1 = 50;
    corrFunc_.points2 = 50;
}

void CDravikDoc::SetTitleText(const std::string& text) {
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(TITLE_SIZE - 1));
    std::copy_n(text.data(), n, title_.get());
    title_[n] = '\0';
}

bool CDravikDoc::OnNewDocument() {
    DeleteContents();
    percentLoaded_.store(0);
    return true;
}

void CDravikDoc::OnCloseDocument() {
    // The calculation writes into frame 0 until it has ended.
    if (calculation_ != nullptr) calculation_->ShutDownNumberCrunching();
    AdviseGracefullExit();
}

void CDravikDoc::FreeFrames() {
    // The view and the surface worker read atoms under the atom lock; never free them under their feet.
    std::lock_guard lock(AtomLock());
    ++contentGeneration_;
    frameCount_.store(0);
    for (int f = 0; f < MAX_FRAMES; ++f) {
        frames_[f].Clear();
    }
    bondedFrameCount_ = 0;
}

void CDravikDoc::DeleteContents() {
    std::lock_guard lock(AtomLock());
    ++contentGeneration_;
    frameCount_.store(0);
    // Frames of a PDB document point at the document's title instead of a buffer of their own; resetting
    // a frame releases only what the frame owns.
    for (int f = 0; f < MAX_FRAMES; ++f) frames_[f] = Frame{};
    title_[0] = '\0';
    corrFunc_ = CorrFuncSettings{};
    frameNr_.store(0);
    percentLoaded_.store(0);
    bondedFrameCount_ = 0;
    loadResult_.store(-1);
}

void CDravikDoc::ToggleAtomSelection(int i) {
    {
        std::lock_guard lock(AtomLock());
        const int count = frameCount_.load();
        if (count < 1 || i < 1 || i > frames_[0].atomCount) return;
        const bool selected = !frames_[0].atoms[i].selected;
        // Frames may differ in size (PDB models): only those that have atom i carry the flag.
        for (int f = 0; f < count; ++f)
            if (i <= frames_[f].atomCount) frames_[f].atoms[i].selected = selected;
    }
    if (!observers_.empty()) observers_.front()->CompileDisplayList(0);
}

void CDravikDoc::DeselectAtoms() {
    {
        std::lock_guard lock(AtomLock());
        const int count = frameCount_.load();
        if (count < 1) return;
        const int last = std::min(frames_[frameNr_.load()].atomCount, frames_[0].atomCount);
        for (int i = 1; i <= last; ++i) {
            frames_[0].atoms[i].selected = false;
            for (int f = 1; f < count; ++f)
                if (i <= frames_[f].atomCount) frames_[f].atoms[i].selected = false;
        }
    }
    if (!observers_.empty()) observers_.front()->CompileDisplayList(0);
}

void CDravikDoc::AddObserver(CDocObserver* view) {
    if (view && std::find(observers_.begin(), observers_.end(), view) == observers_.end()) observers_.push_back(view);
}

void CDravikDoc::RemoveObserver(CDocObserver* view) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), view), observers_.end());
}

void CDravikDoc::UpdateAllViews(int hint) {
    // A view may detach itself while handling the hint: iterate over a copy.
    const std::vector<CDocObserver*> views = observers_;
    for (CDocObserver* view : views) view->OnUpdate(hint);
}

}  // namespace zelvor
