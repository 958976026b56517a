#pragma once
/// Fixture of the reader tests: the real element table, a headless main window and helpers.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "platform/shared_message.h"
#include "model/dravik_doc.h"
#include "model/elements.h"
#include "platform/app_message.h"
#include "support/test_support.h"

namespace zelvor::test {

/// Loads Elements.dat from beside the test programs once per process.
inline void UseRealElementTable() {
    static CElements elements(BinDir() + "/Elements.dat");
}

/// Element symbol -> number of atoms of the frame.
inline std::map<std::string, int> ElementCounts(const Frame& frame) {
    std::map<std::string, int> counts;
    for (int i = 1; i <= frame.atomCount; ++i) ++counts[frame.atoms[i].element ? frame.atoms[i].element->symbol : "?"];
    return counts;
}

inline std::string Symbol(const Frame& frame, int i) { return frame.atoms[i].element->symbol; }

/// The mean of a frame's atom positions.
inline Vector Centroid(const Frame& frame) {
    Vector sum;
    for (int i = 1; i <= frame.atomCount; ++i) sum = sum + frame.atoms[i].position;
    return sum / frame.atomCount;
}

/// The texts the readers show, spelled out here so that a change to them fails a test.
inline std::string LineCouldNotBeRead(int line, const std::string& path) {
    return "Line " + std::to_string(line) + " couldn't be read.\nIf the file, " + path +
           ",\nactually is a coordinate file then it would appear\nto be corrupt and therefore won't be loaded.";
}
inline std::string IncomprehensibleData(int line, int frame, const std::string& path) {
    return "Incomprehensible data in the " + std::to_string(line) + ". line in the " + std::to_string(frame) +
           ". frame.\nIf the file, " + path +
           ",\nactually is a coordinate file then it would appear\nto be corrupt and therefore won't be loaded.";
}
inline std::string SeemsCorrupt(const std::string& path) {
    return "If the file, " + path +
           ",\nactually is a coordinate file then it would seem\nto be corrupt and therefore won't be loaded.";
}
inline std::string CellRubbish(int frame) {
    return "Cell dimension in the " + std::to_string(frame) + ". frame\nin the coordinate file is rubbish!";
}
inline const std::string kTooManyFrames = "More than 5000 frames in the coordinate file";

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseRealElementTable();
        SetMainWindowTarget(&sink);
        SetSharedMessage("");
    }
    void TearDown() override { SetMainWindowTarget(nullptr); }

    std::string Write(const std::string& name, const std::string& text) { return WriteFile(dir, name, text); }

    /// Codes of the posted messages other than progress, in order.
    std::vector<unsigned> Notices() const {
        std::vector<unsigned> codes;
        for (const AppMessage& m : sink.Messages())
            if (m.code != MSG_LOAD_PROGRESS) codes.push_back(m.code);
        return codes;
    }

    /// The last progress message: wParam is show * 65536 + percent.
    AppMessage LastProgress() const {
        AppMessage last;
        for (const AppMessage& m : sink.Messages())
            if (m.code == MSG_LOAD_PROGRESS) last = m;
        return last;
    }

    HeadlessMessageSink sink;
    QTemporaryDir dir;
};

}  // namespace zelvor::test
