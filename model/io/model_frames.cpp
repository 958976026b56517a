#include "model/io/model_frames.h"

#include <algorithm>

#include "model/io/reader_support.h"

namespace zelvor {

namespace {
/// Room given to a first model before its size is known; later models start with the size of the one before
/// (an NMR ensemble repeats it exactly), and a model that turns out larger doubles its room.
constexpr int kInitialRoom = 256;
/// Most atoms of one frame: far beyond any structure, well within the atom numbering of the frame store.
constexpr int kMaxAtoms = 1 << 28;
}  // namespace

bool CModelFrames::StartModel() {
    if (complete_ >= MAX_FRAMES) return false;
    room_ = std::max(previousAtoms_, kInitialRoom);
    reader::BeginModelFrame(sink_.FrameAt(complete_), room_, comment_);
    sum_ = Vector();
    atomsRead_ = 0;
    open_ = true;
    return true;
}

bool CModelFrames::AddAtom(const Vector& position, AtomData* element) {
    Frame& frame = sink_.FrameAt(complete_);
    if (atomsRead_ == room_) {
        if (room_ >= kMaxAtoms) return false;
        const int grown = std::min(kMaxAtoms, 2 * room_);
        std::unique_ptr<Atom[]> atoms = MakeAtoms(grown);
        std::copy(frame.atoms.get(), frame.atoms.get() + atomsRead_ + 1, atoms.get());
        frame.atoms = std::move(atoms);
        room_ = grown;
    }
    Atom& atom = frame.atoms[++atomsRead_];
    atom.position = position;
    atom.element = element;
    sum_ = sum_ + position;
    return true;
}

void CModelFrames::FinishModel() {
    if (!open_) return;
    open_ = false;
    Frame& frame = sink_.FrameAt(complete_);
    if (atomsRead_ == 0) {
        frame.Clear();
        return;
    }
    frame.atomCount = atomsRead_;
    const double h = reader::CentreOnMean(frame.atoms.get(), atomsRead_, sum_);
    sink_.SetFrameCell(complete_, reader::MadeCellHalfExtent(h));
    previousAtoms_ = atomsRead_;
    sink_.StoreFrames(++complete_);
    sink_.FirstFrameRead();
}

void CModelFrames::DropModel() {
    if (!open_) return;
    open_ = false;
    sink_.FrameAt(complete_).Clear();
}

}  // namespace zelvor
