#include "model/io/cube_reader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "model/elements.h"
#include "model/io/reader_support.h"
#include "model/io/text_scanner.h"

namespace zelvor {

namespace {

constexpr double kBohrInAngstrom = 0.529177210903;
/// The shell planes lie 3 voxels inside the faces; an axis needs 8 voxels for them to be distinct.
constexpr int kMinGridPoints = 8;
/// Memory the atom copies of molecular-orbital frames may take beyond that of their grids.
constexpr unsigned kAtomCopyAllowance = 64u << 20;
/// The shortest atom line: "1 0 0 0 0" and a line end.
constexpr std::uint64_t kMinAtomLineBytes = 10;

/// Header of one data set (lengths already in Ångström).
struct CubeHeader {
    int atomCount = 0;        ///< |n| of line 3
    bool orbitals = false;    ///< n < 0: an orbital line follows the atoms
    Vector origin;
    int points[3] = {0, 0, 0};
    Vector step[3];
    double unit = kBohrInAngstrom;
};

bool FitsInt(long long v) { return v >= -INT_MAX && v <= INT_MAX; }

/// Lines 3 to 6 after the atom count: origin (rest of line 3 skipped), then count and step of each axis.
/// Voxel counts are in bohr when positive and in Ångström when negative (Gaussian's convention).
bool ReadHeader(CTextScanner& in, long long atomCount, CubeHeader& header) {
    if (!FitsInt(atomCount)) return false;
    header.atomCount = static_cast<int>(atomCount < 0 ? -atomCount : atomCount);
    header.orbitals = atomCount < 0;
    Vector origin;
    std::string_view rest;
    if (!in.ReadNumber(origin.x) || !in.ReadNumber(origin.y) || !in.ReadNumber(origin.z) || !in.ReadLine(rest))
        return false;
    for (int axis = 0; axis < 3; ++axis) {
        long long points = 0;
        Vector& s = header.step[axis];
        if (!in.ReadInteger(points) || !FitsInt(points) || !in.ReadNumber(s.x) || !in.ReadNumber(s.y) ||
            !in.ReadNumber(s.z))
            return false;
        if (axis == 0 && points < 0) header.unit = 1.0;
        header.points[axis] = static_cast<int>(points < 0 ? -points : points);
        if (header.points[axis] < kMinGridPoints) return false;
    }
    header.origin = origin * header.unit;
    for (Vector& s : header.step) s = s * header.unit;
    return true;
}

/// A word made of digits only (orbital numbers).
bool IsPlainCount(std::string_view word, long long& value) {
    if (word.empty() || word.size() > 9) return false;
    value = 0;
    for (char c : word) {
        if (!scan::IsDigit(c)) return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

/// The orbital line of a molecular-orbital cube: the number of orbitals m, then m orbital numbers
/// (Gaussian wraps long lists onto further lines). Anything else, such as the first voxel values of a
/// file whose negative atom count announced a line that is not there, is refused.
bool ReadOrbitalLine(CTextScanner& in, int& orbitalCount) {
    std::string_view line, word;
    if (!in.ReadLine(line)) return false;
    const char* p = line.data();
    const char* end = p + line.size();
    long long m = 0;
    if (!scan::ParseWord(p, end, word) || !IsPlainCount(word, m) || m < 1) return false;
    long long listed = 0, number = 0;
    while (scan::ParseWord(p, end, word)) {
        if (!IsPlainCount(word, number) || ++listed > m) return false;
    }
    if (listed < m) {
        while (listed < m) {
            if (!in.ReadWord(word) || !IsPlainCount(word, number)) return false;
            ++listed;
        }
        std::string_view rest;
        in.ReadLine(rest);
        if (!reader::TrimLeft(rest).empty()) return false;
    }
    orbitalCount = static_cast<int>(m);
    return true;
}

/// One atom line: atomic number, charge (any word), x, y, z.
bool ParseCubeAtom(std::string_view line, long long& atomicNumber, std::string_view& charge, Vector& position) {
    const char* p = line.data();
    const char* end = p + line.size();
    return scan::ParseInteger(p, end, atomicNumber) && FitsInt(atomicNumber) && scan::ParseWord(p, end, charge) &&
           scan::ParseNumber(p, end, position.x) && scan::ParseNumber(p, end, position.y) &&
           scan::ParseNumber(p, end, position.z);
}

/// The value as stored in the grid: beyond the range of float it becomes an infinity (a plain conversion
/// would be undefined there).
inline float ToFloat(double v) {
    if (v > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
    if (v < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

/// Widens [lo, hi] by v; values that are not finite (nan, inf in a file) would make the range useless.
inline void Widen(double& lo, double& hi, float v) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, static_cast<double>(v));
    hi = std::max(hi, static_cast<double>(v));
}

/// The range of all values and of the six shell planes (index 3 and n - 4 on each axis), both from 0.
void VoxelStatistics(VoxelGrid& g) {
    g.min = g.max = g.shellMin = g.shellMax = 0.0;
    for (float v : g.values) Widen(g.min, g.max, v);
    for (int i : {3, g.nx - 4})
        for (int j = 0; j < g.ny; ++j)
            for (int k = 0; k < g.nz; ++k) Widen(g.shellMin, g.shellMax, g.At(i, j, k));
    for (int i = 0; i < g.nx; ++i)
        for (int j : {3, g.ny - 4})
            for (int k = 0; k < g.nz; ++k) Widen(g.shellMin, g.shellMax, g.At(i, j, k));
    for (int i = 0; i < g.nx; ++i)
        for (int j = 0; j < g.ny; ++j)
            for (int k : {3, g.nz - 4}) Widen(g.shellMin, g.shellMax, g.At(i, j, k));
}

}  // namespace

int ReadCubeFile(const char* path, CReaderSink& sink) {
    CTextScanner in;
    // A cube path that cannot be opened gets the opening message: the built-in molecule is XYZ text.
    if (!reader::CanOpenForReading(path)) {
        reader::ReportOpenFailure(sink, reader::Format(reader::kErrorOpeningFile, path ? path : ""));
        return -1;
    }
    sink.ShowLoadStatus(0, true, nullptr);
    if (!in.OpenFile(path)) {
        reader::ReportOpenFailure(sink, reader::Format(reader::kErrorOpeningFile, path));
        return -1;
    }
    sink.ClearFrames();
    if (in.AtEnd()) return 1;

    reader::CFrameSequence frames(sink, in, path);
    // Part of a data set cannot be read: the reading check's message for it, and the load fails.
    const auto failed = [&](long line, int frame) {
        reader::IsFileReadingOK(sink, StreamState{true, in.Bad(), false}, path, line, frame);
        return 0;
    };
    const auto refused = [&](int frame) {
        reader::ReportLoadFailure(sink, reader::Format(reader::kCellRubbish, frame));
        return 0;
    };
    for (;;) {
        const int f = sink.FrameCount();
        if (int result; !frames.NextFrame(f, result)) return result;

        // Two free text lines, joined with a line feed.
        char comment[COMMENT_SIZE];
        std::string_view line;
        in.ReadLine(line);
        reader::CopyCut(comment, COMMENT_SIZE, line);
        std::size_t length = std::strlen(comment);
        in.ReadLine(line);
        if (length < COMMENT_SIZE - 1) {
            comment[length++] = '\n';
            reader::CopyCut(comment + length, COMMENT_SIZE - length, line);
        }
        if (in.Bad()) return failed(0, 0);

        long long n = 0;
        if (!in.ReadInteger(n)) return f > 0 ? frames.EndOfInput(f) : failed(0, 0);
        CubeHeader header;
        if (!ReadHeader(in, n, header) ||
            static_cast<std::uint64_t>(header.atomCount) > (in.Remaining() + 1) / kMinAtomLineBytes)
            return refused(f);

        // Atoms, centred on the centre of the grid so that they sit where the data put them.
        const int atomCount = header.atomCount;
        std::unique_ptr<Atom[]> atoms = MakeAtoms(atomCount);
        for (int i = 1; i <= atomCount; ++i) {
            long long atomicNumber = 0;
            std::string_view charge;
            Atom& atom = atoms[i];
            in.SkipWhitespace();
            if (!in.ReadLine(line) || !ParseCubeAtom(line, atomicNumber, charge, atom.position))
                return failed(i, f);
            char label[LABEL_SIZE];
            reader::CopyCut(label, LABEL_SIZE, charge);
            AssignElement(atom, label, static_cast<int>(atomicNumber));
            atom.position = atom.position * header.unit;
        }
        const Vector cellA = header.step[0] * header.points[0];
        const Vector cellB = header.step[1] * header.points[1];
        const Vector cellC = header.step[2] * header.points[2];
        const Vector centre = header.origin + (cellA + cellB + cellC) * 0.5;
        for (int i = 1; i <= atomCount; ++i) atoms[i].position = atoms[i].position - centre;

        int orbitalCount = 1;
        if (header.orbitals && !ReadOrbitalLine(in, orbitalCount)) return refused(f);
        const std::uint64_t voxels = static_cast<std::uint64_t>(header.points[0]) * header.points[1] * header.points[2];
        // Every value needs a digit and a separator: a header announcing more than the input holds is refused
        // before anything is allocated for it. Each orbital frame carries its own copy of the atoms; real
        // files have few atoms next to their grids, so copies far beyond the grids' size are refused too.
        const unsigned __int128 values = static_cast<unsigned __int128>(voxels) * static_cast<unsigned>(orbitalCount);
        const int kept = std::min(orbitalCount, MAX_FRAMES - f);
        const unsigned __int128 atomCopyBytes =
            static_cast<unsigned __int128>(kept - 1) * (static_cast<unsigned>(atomCount) + 1) * sizeof(Atom);
        if (values > (in.Remaining() + 1) / 2 || atomCopyBytes > values * sizeof(float) + kAtomCopyAllowance)
            return refused(f);

        // One frame per orbital, all with the same atoms; the values of the orbitals are interleaved.
        const auto clearDataSet = [&]() {
            for (int o = 0; o < kept; ++o) sink.FrameAt(f + o).Clear();
        };
        std::vector<float*> grids(static_cast<std::size_t>(kept));
        for (int o = 0; o < kept; ++o) {
            Frame& frame = sink.FrameAt(f + o);
            frame.Clear();
            frame.atoms = MakeAtoms(atomCount);
            std::copy(atoms.get(), atoms.get() + atomCount + 1, frame.atoms.get());
            frame.atomCount = atomCount;
            frame.commentBuffer = std::make_unique<char[]>(COMMENT_SIZE);
            std::memcpy(frame.commentBuffer.get(), comment, COMMENT_SIZE);
            frame.comment = frame.commentBuffer.get();
            frame.cellA = cellA;
            frame.cellB = cellB;
            frame.cellC = cellC;
            for (int axis = 0; axis < 3; ++axis) frame.gridStep[axis] = header.step[axis];
            frame.voxels.nx = header.points[0];
            frame.voxels.ny = header.points[1];
            frame.voxels.nz = header.points[2];
            frame.voxels.values.assign(voxels, 0.0f);
            grids[static_cast<std::size_t>(o)] = frame.voxels.values.data();
        }
        const std::size_t plane = static_cast<std::size_t>(header.points[1]) * header.points[2];
        std::size_t index = 0;
        for (int i = 0; i < header.points[0]; ++i) {
            if (sink.Aborted()) {
                clearDataSet();
                return 0;
            }
            const std::size_t planeEnd = index + plane;
            bool ok = true;
            double value = 0.0;
            if (orbitalCount == 1) {
                float* grid = grids[0];
                for (; index < planeEnd && (ok = in.ReadNumber(value, true)); ++index)
                    grid[index] = ToFloat(value);
            } else {
                for (; ok && index < planeEnd; ++index)
                    for (int o = 0; o < orbitalCount && ok; ++o)
                        if ((ok = in.ReadNumber(value, true)) && o < kept) grids[o][index] = ToFloat(value);
            }
            if (!ok) {
                clearDataSet();
                return failed(0, 0);
            }
        }

        for (int o = 0; o < kept; ++o) {
            VoxelStatistics(sink.FrameAt(f + o).voxels);
            sink.SetFrameCell(f + o, -42.0);  // the grid's own cell
        }
        sink.SetVoxelStatistics(sink.FrameAt(f + kept - 1).voxels);
        if (!frames.Publish(f, f + kept)) return 0;
        if (kept < orbitalCount) {
            reader::ReportTooManyFrames(sink);
            return 0;
        }
    }
}

}  // namespace zelvor
