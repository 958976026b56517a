#pragma once
/// CModelFrames: the frames of a file whose atoms arrive one by one with no count announced (mmCIF), a
/// frame per model, each centred, given a made cell and published as soon as it is complete.
#include "model/io/reader_sink.h"

namespace zelvor {

class CModelFrames {
public:
    /// comment: what every frame shows as its comment (the document's title text).
    CModelFrames(CReaderSink& sink, const char* comment) : sink_(sink), comment_(comment) {}

    /// A model is being filled.
    bool Open() const { return open_; }
    /// Starts the frame of the next model; false when the frame store is full.
    bool StartModel();
    /// Appends an atom to the open model; false when the frame holds as many atoms as it can.
    bool AddAtom(const Vector& position, AtomData* element);
    /// The open model is complete: it is centred, gets its cell and is published.
    void FinishModel();
    /// The open model was cut short: its atoms go, the complete models stay.
    void DropModel();
    /// Models published so far.
    int CompleteModels() const { return complete_; }

private:
    CReaderSink& sink_;
    const char* comment_;
    bool open_ = false;
    int complete_ = 0;
    int atomsRead_ = 0;
    int room_ = 0;
    int previousAtoms_ = 0;
    Vector sum_;
};

}  // namespace zelvor
