// CNumberCrunching's coordinate exchange: the module keeps its atoms in its own memory; the program asks once
// where they are and then copies them into frame 0 at every poll. There is no handshake per update, so a copy
// may mix values of two steps of the calculation.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <ostream>

#include "app/gui_stream.h"
#include "app/module_guard.h"
#include "crunch/number_crunching.h"
#include "model/locks.h"

namespace zelvor {

namespace {

/// Value i of a coordinate array as the module publishes it: level 1 an array of values, level 2 an array
/// of pointers to values; doubles or 4-byte floats.
double ValueAt(const void* data, int i, int level, bool doubles) {
    if (level == 2) {
        const void* value = static_cast<const void* const*>(data)[i];
        return doubles ? *static_cast<const double*>(value) : *static_cast<const float*>(value);
    }
    return doubles ? static_cast<const double*>(data)[i] : static_cast<const float*>(data)[i];
}

Vector CellVector(const void* data, int level, bool doubles) {
    if (data == nullptr) return {};
    return {ValueAt(data, 0, level, doubles), ValueAt(data, 1, level, doubles), ValueAt(data, 2, level, doubles)};
}

}  // namespace

std::string CNumberCrunching::FinishedText() const { return doc_.moduleLibraryName + " has now finished."; }

void CNumberCrunching::ModuleIsReady() {
    doc_.SetFrameCount(0);
    CalcData* cd = Calc();
    if (cd == nullptr || cd->getAddressesOfCalculationData == nullptr) return;
    std::string title;
    {
        std::unique_lock lock(ModuleLock());
        menuName_ = modules_.fileToMenu[doc_.moduleLibraryName];
        try {
            GuardedCall([&] {
                cd->getAddressesOfCalculationData(&atomCount_, &labels_, &title_, &x_, &y_, &z_, &cellA_, &cellB_,
                                                  &cellC_, &levelIndirection_, &spare_, &doublePrecision_);
            });
        } catch (const ModuleFault&) {
            lock.unlock();
            if (PromptModuleError("GetMDdataAddresses")) throw;
            lock.lock();
        }
        title = menuName_ + ": " + (title_ != nullptr ? std::string(title_) : std::string());
    }
    doc_.SetTitleText(title);
    // A count the module did not set, or set to nonsense, gives an empty frame rather than a wild read.
    if (atomCount_ < 0 || (atomCount_ > 0 && (x_ == nullptr || y_ == nullptr || z_ == nullptr))) atomCount_ = 0;
    {
        std::lock_guard lock(AtomLock());
        Frame& frame = doc_.GetFrame(0);
        frame.Clear();
        frame.atomCount = atomCount_;
        frame.atoms = MakeAtoms(atomCount_);
        frame.commentBuffer.reset(new char[COMMENT_SIZE]());
        frame.comment = frame.commentBuffer.get();
        frame.cellCorners = {};
    }
    dataTaken_ = true;
    doc_.SetLoadResult(1);
    doc_.SetPercentLoaded(100);
    doc_.SetFrameCount(1);
    if (hooks_.updatePollingFrequency) hooks_.updatePollingFrequency();
    UpdateNumberCrunchingCoordinates(true);
    doc_.SetDefaultCorrFuncSettings();
}

bool CNumberCrunching::ReadModuleData(bool first, double& extent) {
    Frame& frame = doc_.GetFrame(0);
    const bool doubles = doublePrecision_ != 0;
    const int level = levelIndirection_;
    Vector a, b, c;
    bool faulted = false;
    try {
        GuardedCall([&] {
            for (int i = 1; i <= atomCount_; ++i) {
                Atom& atom = frame.atoms[i];
                atom.position.x = ValueAt(x_, i - 1, level, doubles);
                atom.position.y = ValueAt(y_, i - 1, level, doubles);
                atom.position.z = ValueAt(z_, i - 1, level, doubles);
                extent = std::max({extent, std::fabs(atom.position.x), std::fabs(atom.position.y), std::fabs(atom.position.z)});
            }
            a = CellVector(cellA_, level, doubles);
            b = CellVector(cellB_, level, doubles);
            c = CellVector(cellC_, level, doubles);
        });
        if (first) {
            // The element comes from the first two characters of the label (fewer when it is shorter).
            for (int i = 1; i <= atomCount_; ++i) {
                char element[3] = {};
                GuardedCall([&] {
                    const char* label = labels_ != nullptr ? labels_[i - 1] : nullptr;
                    if (label == nullptr) return;
                    element[0] = label[0];
                    if (element[0] != '\0') element[1] = label[1];
                });
                doc_.SetAtomData(frame.atoms[i], element, -1);
            }
        }
    } catch (const ModuleFault&) {
        faulted = true;
    }
    if (faulted) return false;
    frame.cellA = a;
    frame.cellB = b;
    frame.cellC = c;
    return true;
}

void CNumberCrunching::UpdateNumberCrunchingCoordinates(bool first) {
    std::unique_lock lock(AtomLock());
    if (!IsNumberCrunching() || !dataTaken_) return;
    double extent = 0.0;
    // The document was emptied under the calculation (the program is ending): nothing to copy into.
    const Frame& target = doc_.GetFrame(0);
    if (target.atomCount != atomCount_ || (atomCount_ > 0 && !target.atoms)) return;
    if (levelIndirection_ != 1 && levelIndirection_ != 2) {
        MessageStream() << "Error. SETADDRESSESOFCALCULATIONDATA was passed the\nargument levelindirection ="
                        << levelIndirection_ << std::endl;
        return;
    }
    if (!ReadModuleData(first, extent)) {
        lock.unlock();
        // The module's memory could not be read: the calculation stops rather than the program.
        MessageStream() << "An error was encountered in " << menuName_ << " when " << appName_
                        << " attempted to read atom labels\nand/or atom coordinates and/or simulation cell vectors "
                           "from "
                        << menuName_ << "." << std::endl;
        dataTaken_ = false;
        AbortNumberCrunching();
        return;
    }
    const Frame& frame = doc_.GetFrame(0);
    auto sum = [](const Vector& v) { return v.x + v.y + v.z; };
    if (sum(frame.cellA) == 0.0 && sum(frame.cellB) == 0.0 && sum(frame.cellC) == 0.0) extent = 0.0;
    if (first) {
        doc_.CalcCellSizeRcutoff(0, extent);
        doc_.SetMaxCellWidth();
    }
    doc_.SetNewFrame();
    lock.unlock();
    if (first) {
        doc_.UpdateAllViews(HINT_NEW_DATA);
        if (hooks_.firstUpdate) hooks_.firstUpdate();
    } else {
        doc_.UpdateAllViews(HINT_FRAME_CHANGED);
    }
}

bool CNumberCrunching::Poll() {
    if (!IsNumberCrunching()) return false;
    if (doc_.GetLoadResult() != 0) UpdateNumberCrunchingCoordinates(false);
    return true;
}

}  // namespace zelvor
