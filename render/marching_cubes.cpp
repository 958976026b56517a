#include "render/marching_cubes.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "platform/load_status.h"
#include "model/dravik_doc.h"
#include "model/locks.h"
#include "render/cube_march.h"
#include "render/iso_levels.h"
#include "render/molecule_grid_field.h"
#include "render/view_settings.h"

namespace zelvor {

namespace {

/// Posts a progress text, but only when the percentage moves (or the text changes).
class Progress {
public:
    void Report(int percent, const char* text) {
        if (percent == lastPercent_ && text == lastText_) return;
        lastPercent_ = percent;
        lastText_ = text;
        AdviseMainWndLoadStatus(percent, 1, text);
    }
    void Hide() { AdviseMainWndLoadStatus(0, 0, nullptr); }

private:
    int lastPercent_ = -1;
    const char* lastText_ = nullptr;
};

const char* const kGrabbing = "Grabbing memory";
const char* const kSampling = "Calculating distances on cubic grid points";
const char* const kMarching = "Identifying constituent triangles of surface(s)";
const char* const kLocating = "Locating atoms in cubic grid";
const char* const kReleasing = "Releasing memory";

bool Finite(const Vector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

/// Cell index of a coordinate on an axis of n cells spanning W, kept within 0..n-1 (NaN gives 0).
int CellIndex(double c, double W, int n) {
    const double v = std::trunc((c / W + 0.5) * (n - 1));
    if (!(v > 0)) return 0;
    if (v > n - 1) return n - 1;
    return static_cast<int>(v);
}

/// The cells along one axis that an atom's bounding box reaches when sampled from p - r to p + r in steps of s.
void CellsAlongAxis(double p, double r, double s, double W, int n, std::vector<int>& cells) {
    cells.clear();
    const double first = p - r;
    const double stepCount = std::floor(2 * r / s);
    if (n == 1 || s * (n - 1) <= W || stepCount > 1e6) {
        // Steps no longer than a cell reach every cell in between.
        const int lo = CellIndex(first, W, n), hi = CellIndex(first + stepCount * s, W, n);
        for (int c = lo; c <= hi; ++c) cells.push_back(c);
        return;
    }
    for (double m = 0; m <= stepCount; ++m) {
        const int c = CellIndex(first + m * s, W, n);
        if (cells.empty() || cells.back() != c) cells.push_back(c);
    }
}

/// Normals and colours are read at both ends of every edge whose ends lie on different sides of the level: marks
/// those points of plane `here` (points * points values; `before` and `after` its neighbours, null at the ends).
void MarkCrossedEdgeEnds(const float* before, const float* here, const float* after, int points, float atOrBelow,
                         std::uint8_t* wanted) {
    for (int j = 0; j < points; ++j)
        for (int k = 0; k < points; ++k) {
            const std::size_t p = static_cast<std::size_t>(j) * points + k;
            const bool below = here[p] <= atOrBelow;
            bool differs = before && (before[p] <= atOrBelow) != below;
            differs |= after && (after[p] <= atOrBelow) != below;
            differs |= j > 0 && (here[p - points] <= atOrBelow) != below;
            differs |= j + 1 < points && (here[p + points] <= atOrBelow) != below;
            differs |= k > 0 && (here[p - 1] <= atOrBelow) != below;
            differs |= k + 1 < points && (here[p + 1] <= atOrBelow) != below;
            wanted[p] = differs;
        }
}

}  // namespace

struct CMarchingCubes::Impl {
    CDravikDoc* doc = nullptr;
    C3DViewSettings* settings = nullptr;
    /// Held while the settings are read or written here: the view's other threads change them too.
    std::recursive_mutex* settingsLock = nullptr;
    std::unique_lock<std::recursive_mutex> LockSettings() const {
        return settingsLock ? std::unique_lock(*settingsLock) : std::unique_lock<std::recursive_mutex>();
    }
    std::atomic<bool>* stop = nullptr;
    std::atomic<bool> initialised{false};

    // Atom cells of the molecular field.
    std::unique_ptr<CCubeGrid> cells;

    // Samples of the molecular field on the few planes around the march: values, and the three neighbour
    // samples and the colour where the surface passes.
    struct PlaneDetails {
        std::vector<float> sx, sy, sz, red, green, blue;
    };
    std::vector<float> planeValues[4];
    PlaneDetails planeDetails[2];
    std::vector<std::uint8_t> wanted;

    Vector colour[ISO_LEVELS] = {Vector(1, 1, 1)};
    mc::TriangleLists lists[ISO_LEVELS];
    std::vector<SurfaceArrays> arrays = std::vector<SurfaceArrays>(static_cast<std::size_t>(MAX_FRAMES) * ISO_LEVELS);
    SurfaceArrays outOfRange;

    std::mutex computing;  // one surface at a time: the lists and the document's cell grid are shared
    std::atomic<int> lastGridSteps{-1};
    std::atomic<double> lastScale{0.0};
    std::uint64_t cellsGeneration = 0;  ///< the document's contents that the atom cells point into

    bool Stopped() const { return stop && stop->load(); }
    bool IsVolumetric(int frame) const {
        return doc->GetDocTemplate() == TEMPLATE_CUBE || !doc->GetFrame(frame).voxels.Empty();
    }
    void ClearLists() {
        for (auto& l : lists) l.Clear();
    }
    void FreeSamples() {
        for (auto& v : planeValues) v = {};
        for (auto& d : planeDetails) d = PlaneDetails{};
        wanted = {};
    }
    void FreeCells() { cells.reset(); }

    bool CreateVolumetric(CMarchingCubes& self, int frame, Progress& progress);
    bool CreateMolecular(CMarchingCubes& self, int frame, Progress& progress);
    void SortAtomsIntoCubes(int frame, double W, double d, double s, Progress& progress);
};

CMarchingCubes::CMarchingCubes() : impl_(std::make_unique<Impl>()) {}

CMarchingCubes::~CMarchingCubes() { Release(); }

void CMarchingCubes::Initialise(CDravikDoc* doc, C3DViewSettings* settings, std::atomic<bool>* stopFlag,
                                std::recursive_mutex* settingsLock) {
    if (impl_->initialised.load() || !doc || !settings) return;
    {
        std::lock_guard lock(arrayLock_);
        for (auto& a : impl_->arrays) a = SurfaceArrays{};
    }
    impl_->doc = doc;
    impl_->settings = settings;
    impl_->settingsLock = settingsLock;
    impl_->stop = stopFlag;
    settings->surfaceChanged = 1;
    impl_->initialised.store(true);
}

bool CMarchingCubes::IsInitialised() const { return impl_->initialised.load(); }

int CMarchingCubes::LastGridSteps() const { return impl_->lastGridSteps.load(); }

double CMarchingCubes::LastSurfaceScale() const { return impl_->lastScale.load(); }

bool CMarchingCubes::CreateIsoSurface(int frame) {
    if (!impl_->initialised.load()) return false;
    std::lock_guard computing(impl_->computing);
    if (frame < 0 || frame >= MAX_FRAMES || frame >= impl_->doc->GetFrameCount()) return false;

    Progress progress;
    impl_->ClearLists();
    bool result = false;
    try {
        result = impl_->IsVolumetric(frame) ? impl_->CreateVolumetric(*this, frame, progress)
                                            : impl_->CreateMolecular(*this, frame, progress);
    } catch (const std::bad_alloc&) {
        result = false;  // a grid the machine cannot hold: no surface rather than a crash
    }
    progress.Report(0, kReleasing);
    impl_->ClearLists();
    impl_->FreeCells();
    impl_->FreeSamples();
    progress.Hide();
    return result;
}

bool CMarchingCubes::Impl::CreateVolumetric(CMarchingCubes& self, int frame, Progress& progress) {
    lastScale.store(1.0);
    const Frame& f = doc->GetFrame(frame);
    const VoxelGrid& voxels = f.voxels;
    if (voxels.Empty() || voxels.nx <= 0 || voxels.ny <= 0 || voxels.nz <= 0 ||
        voxels.values.size() < static_cast<std::size_t>(voxels.nx) * voxels.ny * voxels.nz)
        return false;

    // The grid as the document places it: steps from the file, centred on the origin.
    mc::ScalarGrid grid;
    grid.values = voxels.values.data();
    grid.n[0] = voxels.nx;
    grid.n[1] = voxels.ny;
    grid.n[2] = voxels.nz;
    for (int a = 0; a < 3; ++a) grid.step[a] = f.gridStep[a];
    grid.origin = (grid.step[0] * voxels.nx + grid.step[1] * voxels.ny + grid.step[2] * voxels.nz) * -0.5;

    // Gradients in index space become gradients in space through the reciprocal of the step vectors.
    const Vector& s0 = grid.step[0];
    const Vector& s1 = grid.step[1];
    const Vector& s2 = grid.step[2];
    const double det = s0 * Cross(s1, s2);
    if (!Finite(s0) || !Finite(s1) || !Finite(s2) || !std::isfinite(det) || det == 0.0) return false;
    const Vector reciprocal[3] = {Cross(s1, s2) / det, Cross(s2, s0) / det, Cross(s0, s1) / det};

    self.SetCubeDefaultIsolevels();
    double levels[ISO_LEVELS];
    float alpha = 1.0f;
    {
        auto lock = LockSettings();
        for (int l = 0; l < ISO_LEVELS; ++l) levels[l] = settings->isoLevel[l];
        alpha = static_cast<float>(settings->opaqueness);
    }
    {
        // The drawing code reads and clears this flag under the array lock.
        std::lock_guard lock(self.SurfaceArrayLock());
        settings->surfaceRecolour = 1;
    }
    float levelColour[ISO_LEVELS][4];
    for (int l = 0; l < ISO_LEVELS; ++l) {
        levelColour[l][0] = static_cast<float>(colour[l].x);
        levelColour[l][1] = static_cast<float>(colour[l].y);
        levelColour[l][2] = static_cast<float>(colour[l].z);
        levelColour[l][3] = alpha;
    }

    const int n[3] = {voxels.nx, voxels.ny, voxels.nz};
    // Difference of the field along one index axis: central inside, one-sided at the faces and beside
    // values that are not finite.
    const auto difference = [&](int i, int j, int k, int axis) -> double {
        int idx[3] = {i, j, k};
        const float centre = grid.values[grid.Index(i, j, k)];
        double ahead = centre, behind = centre;
        int span = 0;
        if (idx[axis] + 1 < n[axis]) {
            ++idx[axis];
            const float v = grid.values[grid.Index(idx[0], idx[1], idx[2])];
            --idx[axis];
            if (std::isfinite(v)) ahead = v, ++span;
        }
        if (idx[axis] > 0) {
            --idx[axis];
            const float v = grid.values[grid.Index(idx[0], idx[1], idx[2])];
            if (std::isfinite(v)) behind = v, ++span;
        }
        return span == 0 ? 0.0 : (ahead - behind) / span;
    };
    const auto normalAt = [&](int i, int j, int k, float out[3]) {
        const double gx = difference(i, j, k, 0), gy = difference(i, j, k, 1), gz = difference(i, j, k, 2);
        const Vector gradient = reciprocal[0] * gx + reciprocal[1] * gy + reciprocal[2] * gz;
        out[0] = static_cast<float>(-gradient.x);
        out[1] = static_cast<float>(-gradient.y);
        out[2] = static_cast<float>(-gradient.z);
    };
    const auto colourAt = [&](int level, int, int, int, float out[4]) {
        std::copy(levelColour[level], levelColour[level] + 4, out);
    };
    const int cubes[3] = {n[0] - 1, n[1] - 1, n[2] - 1};
    if (Stopped()) return true;
    const auto onPlane = [&](int i) {
        progress.Report(cubes[0] > 0 ? 100 * i / cubes[0] : 0, kMarching);
        return !Stopped();
    };
    const mc::MarchResult marched = mc::MarchCubes(grid, cubes, levels, ISO_LEVELS, lists,
                                                   MAX_SURFACE_VERTICES, normalAt, colourAt, onPlane);
    if (marched == mc::MarchResult::TooLarge) return false;
    if (marched == mc::MarchResult::Stopped || Stopped()) return true;
    self.CopyTriangles2VertexArray(frame);
    return true;
}

bool CMarchingCubes::Impl::CreateMolecular(CMarchingCubes& self, int frame, Progress& progress) {
    double d = 0.0, s = 0.0;
    float alpha = 1.0f;
    {
        auto lock = LockSettings();
        d = settings->surfaceDistance;
        s = settings->surfaceStep;
        alpha = static_cast<float>(settings->opaqueness);
    }
    lastScale.store(d);
    const double W = doc->GetFrame(frame).maxCellWidth;
    const double H = W / 2 + 2 * d;
    if (!(s > 0) || !std::isfinite(s) || !std::isfinite(H) || !(H > 0)) return false;
    const double steps = std::trunc(2 * H / s);
    const double side = steps + 2;
    if (!(side * side * side <= MAX_GRID_POINTS)) return false;
    const int N = static_cast<int>(steps);
    lastGridSteps.store(N);

    SortAtomsIntoCubes(frame, W, d, s, progress);
    if (Stopped()) return true;

    progress.Report(0, kGrabbing);
    const int points = N + 2;
    CMoleculeGridField field(doc->GetFrame(frame), *cells, d, -H, s, points, doc, cellsGeneration);
    if (field.Stale()) return true;
    {
        std::lock_guard lock(self.SurfaceArrayLock());
        settings->surfaceRecolour = 0;
    }
    const double level = d;
    const float atOrBelow = mc::FloatAtOrBelow(level);

    // The field is sampled a plane at a time just ahead of the march: values of the planes i - 1 .. i + 2,
    // normals and colours of the planes i and i + 1, and those only where the surface crosses an edge.
    const std::size_t plane = static_cast<std::size_t>(points) * points;
    for (auto& v : planeValues) v.assign(plane, 0.0f);
    for (auto& pd : planeDetails)
        for (auto* a : {&pd.sx, &pd.sy, &pd.sz, &pd.red, &pd.green, &pd.blue}) a->assign(plane, 0.0f);
    wanted.assign(plane, 0);
    const auto valuesOf = [&](int i) -> std::vector<float>& { return planeValues[i % 4]; };
    const auto detailsOf = [&](int i) -> PlaneDetails& { return planeDetails[i % 2]; };
    int sampled = 0;
    const auto sampleDetails = [&](int i) {
        while (sampled <= i + 1 && sampled < points) field.SampleValues(sampled, valuesOf(sampled).data()), ++sampled;
        MarkCrossedEdgeEnds(i > 0 ? valuesOf(i - 1).data() : nullptr, valuesOf(i).data(),
                            i + 1 < points ? valuesOf(i + 1).data() : nullptr, points, atOrBelow, wanted.data());
        PlaneDetails& pd = detailsOf(i);
        field.SampleDetails(i, wanted.data(), {pd.sx.data(), pd.sy.data(), pd.sz.data(), pd.red.data(),
                                               pd.green.data(), pd.blue.data()});
    };

    // Cubes whose lowest corner lies below H on every axis.
    int cubeCount = 0;
    while (cubeCount <= N && -H + cubeCount * s < H) ++cubeCount;
    const int cubes[3] = {cubeCount, cubeCount, cubeCount};
    const int n[3] = {points, points, points};
    const Vector step[3] = {Vector(s, 0, 0), Vector(0, s, 0), Vector(0, 0, s)};
    mc::PlaneMarcher marcher(n, cubes, Vector(-H, -H, -H), step, &level, 1);

    const auto normalAt = [&](int i, int j, int k, float out[3]) {
        const std::size_t p = static_cast<std::size_t>(j) * points + k;
        const float value = valuesOf(i)[p];
        const PlaneDetails& pd = detailsOf(i);
        out[0] = value - pd.sx[p];
        out[1] = value - pd.sy[p];
        out[2] = value - pd.sz[p];
    };
    const auto colourAt = [&](int, int i, int j, int k, float out[4]) {
        const std::size_t p = static_cast<std::size_t>(j) * points + k;
        const PlaneDetails& pd = detailsOf(i);
        out[0] = pd.red[p];
        out[1] = pd.green[p];
        out[2] = pd.blue[p];
        out[3] = alpha;
    };
    if (cubeCount > 0) sampleDetails(0);
    for (int i = 0; i < cubeCount; ++i) {
        progress.Report(100 * i / cubeCount, kSampling);
        // The cells point into the document's atoms: a new load makes this surface worthless.
        if (Stopped() || doc->ContentGeneration() != cellsGeneration) return true;
        sampleDetails(i + 1);
        const mc::MarchResult marched =
            marcher.March(i, valuesOf(i).data(), valuesOf(i + 1).data(), lists, MAX_SURFACE_VERTICES, normalAt,
                          colourAt);
        if (marched == mc::MarchResult::TooLarge) return false;
    }
    if (Stopped()) return true;
    self.CopyTriangles2VertexArray(frame);
    return true;
}

void CMarchingCubes::Impl::SortAtomsIntoCubes(int frame, double W, double d, double s, Progress& progress) {
    FreeCells();
    double cellsPerAxis = std::trunc(W / d);
    if (!(cellsPerAxis >= 1)) cellsPerAxis = 1;
    if (cellsPerAxis > 20) cellsPerAxis = 20;
    const int n = static_cast<int>(cellsPerAxis);
    cells = std::make_unique<CCubeGrid>(n, n, n);

    Frame& f = doc->GetFrame(frame);
    std::vector<int> cx, cy, cz;
    {
        std::lock_guard lock(AtomLock());  // element records may be edited while we read the radii
        cellsGeneration = doc->ContentGeneration();
        for (int a = 1; a <= f.atomCount; ++a) {
            if (a % 256 == 0) {
                if (Stopped()) break;
                progress.Report(static_cast<int>(100LL * a / f.atomCount), kLocating);
            }
            Atom& atom = f.atoms[a];
            const AtomData& e = atom.element ? *atom.element : ElementTable()[FALLBACK_ELEMENT];
            const double r = e.vdWRadius;
            if (!Finite(atom.position) || !std::isfinite(r) || r < 0) continue;
            CellsAlongAxis(atom.position.x, r, s, W, n, cx);
            CellsAlongAxis(atom.position.y, r, s, W, n, cy);
            CellsAlongAxis(atom.position.z, r, s, W, n, cz);
            for (int x : cx)
                for (int y : cy)
                    for (int z : cz) cells->AddAtomA(x, y, z, &atom);
        }
    }
    cells->CreateAtomsList();
}

void CMarchingCubes::SetCubeDefaultIsolevels() {
    if (!impl_->initialised.load()) return;
    auto lock = impl_->LockSettings();
    C3DViewSettings& settings = *impl_->settings;
    for (int l = 0; l < ISO_LEVELS; ++l) impl_->colour[l] = settings.isoColour[l];
    if (settings.autoIsoLevels != 1) return;
    const CDravikDoc& doc = *impl_->doc;
    const VoxelRange range{doc.voxelMax, doc.voxelMin, doc.voxelShellMax, doc.voxelShellMin};
    double levels[ISO_LEVELS];
    if (DefaultIsoLevels(range, levels)) std::copy(levels, levels + ISO_LEVELS, settings.isoLevel);
}

void CMarchingCubes::CopyTriangles2VertexArray(int frame) {
    if (!impl_->initialised.load() || frame < 0 || frame >= MAX_FRAMES) return;
    const int levels = impl_->IsVolumetric(frame) ? ISO_LEVELS : 1;
    // Built outside the array lock, so that a paint waits for the exchange only; the old arrays go after it.
    SurfaceArrays built[ISO_LEVELS];
    for (int l = 0; l < levels; ++l) {
        mc::TriangleLists& list = impl_->lists[l];
        built[l].count = static_cast<int>(list.VertexCount());
        // Room for one element beyond the last, as the drawing code has always had.
        list.TakeInto(built[l].vertices, built[l].normals, built[l].colours, 1);
    }
    std::lock_guard lock(arrayLock_);
    for (int l = 0; l < levels; ++l) std::swap(Arrays(frame, l), built[l]);
}

void CMarchingCubes::ClearThisVertexArray(int frame, int level) {
    if (frame < 0 || frame >= MAX_FRAMES || level < 0 || level >= ISO_LEVELS) return;
    std::lock_guard lock(arrayLock_);
    Arrays(frame, level) = SurfaceArrays{};
}

void CMarchingCubes::ClearVertexArrays() {
    std::lock_guard lock(arrayLock_);
    for (auto& a : impl_->arrays) a = SurfaceArrays{};
}

void CMarchingCubes::Release() {
    ClearVertexArrays();
    std::lock_guard computing(impl_->computing);
    impl_->ClearLists();
    if (impl_->doc) impl_->FreeCells();
    impl_->FreeSamples();
    // Back to the first state: the next Initialise may bring another document.
    impl_->initialised.store(false);
    TrimSurfaceMemory();
}

SurfaceArrays& CMarchingCubes::Arrays(int frame, int level) {
    if (frame < 0 || frame >= MAX_FRAMES || level < 0 || level >= ISO_LEVELS) {
        impl_->outOfRange = SurfaceArrays{};
        return impl_->outOfRange;
    }
    return impl_->arrays[static_cast<std::size_t>(frame) * ISO_LEVELS + level];
}

}  // namespace zelvor
