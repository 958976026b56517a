#include "fuzz/reader_fuzz_sink.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zelvor::fuzz {

namespace {

[[noreturn]] void Broken(const char* what, int f) {
    std::fprintf(stderr, "reader left frame %d broken: %s\n", f, what);
    std::abort();
}

}  // namespace

void CReaderFuzzSink::ClearFrames() {
    for (int f = 0; f < touched_; ++f) frames_[f].Clear();
    count_ = 0;
    touched_ = 0;
}

Frame& CReaderFuzzSink::FrameAt(int f) {
    if (f < 0 || f >= MAX_FRAMES) Broken("frame number out of range", f);
    if (f >= touched_) touched_ = f + 1;
    return frames_[f];
}

void CReaderFuzzSink::SetFrameCell(int f, double) {
    if (f < 0 || f >= touched_) Broken("cell set for a frame never filled", f);
}

void CReaderFuzzSink::StoreFrames(int count) {
    if (count < count_ || count > touched_) Broken("stored count beyond the frames filled", count);
    count_ = count;
}

void CReaderFuzzSink::SetPercentLoaded(int percent) {
    if (percent < 0 || percent > 100) Broken("progress outside 0-100", percent);
}

void CReaderFuzzSink::CheckFrames() const {
    if (std::memchr(title_.get(), '\0', TITLE_SIZE) == nullptr) Broken("title not terminated", 0);
    for (int f = 0; f < count_; ++f) {
        const Frame& frame = frames_[f];
        if (frame.atomCount < 0) Broken("negative atom count", f);
        if (frame.atomCount > 0 && !frame.atoms) Broken("atoms missing", f);
        for (int i = 1; i <= frame.atomCount; ++i)
            if (frame.atoms[i].element == nullptr) Broken("atom without element", f);
        if (frame.comment == nullptr) Broken("no comment", f);
        const VoxelGrid& g = frame.voxels;
        if (!g.Empty() && static_cast<std::size_t>(g.nx) * g.ny * g.nz != g.values.size())
            Broken("voxel count differs from the grid", f);
    }
}

}  // namespace zelvor::fuzz
