#pragma once
/// Helpers of the document tests: a known element table, frames built by hand, captured messages.
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "model/atom.h"
#include "app/gui_stream.h"
#include "model/dravik_doc.h"
#include "model/model_reports.h"

namespace zelvor::test {

/// Fills one element record.
inline void SetElement(int index, const char* symbol, int number, float vdw, float red = 0.5f, float green = 0.5f,
                       float blue = 0.5f) {
    AtomData& e = ElementTable()[index];
    std::strncpy(e.symbol, symbol, sizeof e.symbol - 1);
    e.atomicNumber = number;
    e.vdWRadius = vdw;
    e.red = red;
    e.green = green;
    e.blue = blue;
}

/// Defaults everywhere, then H, C, O and Si with their Bondi radii at their usual rows.
inline void UseTestElements() {
    ResetElementTable();
    SetElement(0, "H", 1, 1.20f, 1.0f, 1.0f, 1.0f);
    SetElement(5, "C", 6, 1.70f, 0.5625f, 0.5625f, 0.5625f);
    SetElement(7, "O", 8, 1.52f, 1.0f, 0.05f, 0.05f);
    SetElement(13, "Si", 14, 2.10f);
}

struct TestAtom {
    const char* label;
    double x, y, z;
};

/// Makes frame f hold the atoms (elements by label) and publishes frames 0..f.
inline void FillFrame(CDravikDoc& doc, int f, const std::vector<TestAtom>& atoms) {
    Frame& frame = doc.GetFrame(f);
    frame.atoms = std::make_unique<Atom[]>(atoms.size() + 1);
    frame.atomCount = static_cast<int>(atoms.size());
    for (std::size_t i = 0; i < atoms.size(); ++i) {
        Atom& a = frame.atoms[i + 1];
        a.position = Vector(atoms[i].x, atoms[i].y, atoms[i].z);
        doc.SetAtomData(a, atoms[i].label, -1);
    }
    if (doc.GetFrameCount() < f + 1) doc.SetFrameCount(f + 1);
}

/// True when atom a of the frame lists atom b among its partners.
inline bool HasBond(const Frame& frame, int a, int b) {
    return frame.bonds.Has(a, b);
}

/// Collects the model's reports while alive, as the program shows them: through the message stream.
class CapturedMessages {
public:
    CapturedMessages() {
        SetModelReportHandler([](const std::string& text) { MessageStream() << text << std::endl; });
        SetMessagePresenter([this](WindowHandle, const std::string& text, const std::string&) {
            std::lock_guard lock(mutex_);
            texts_.push_back(text);
        });
    }
    ~CapturedMessages() {
        SetMessagePresenter({});
        SetModelReportHandler({});
    }
    std::vector<std::string> Texts() const {
        std::lock_guard lock(mutex_);
        return texts_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
};

}  // namespace zelvor::test
