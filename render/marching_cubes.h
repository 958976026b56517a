#pragma once
/// CMarchingCubes: turns the document's scalar field into ready-to-draw triangle arrays, per frame and level.
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "model/vector.h"
#include "render/surface_memory.h"

namespace zelvor {

class CDravikDoc;
class C3DViewSettings;

inline constexpr int ISO_LEVELS = 6;

/// The arrays of one iso-level of one frame: `count` vertices, tightly packed for glDrawArrays.
struct SurfaceArrays {
    int count = 0;
    SurfaceFloats vertices;  ///< 3 floats per vertex
    SurfaceFloats normals;   ///< 3 floats per vertex
    SurfaceFloats colours;   ///< 4 floats per vertex (r, g, b, alpha)
    double appliedAlpha = -1.0;   ///< opaqueness last written into the colours by the drawing code
    bool Empty() const { return count == 0; }
};

class CMarchingCubes {
public:
    CMarchingCubes();
    ~CMarchingCubes();

    /// Once only: remembers the document, the view's settings, the stop flag and the lock (may be null) that
    /// the view holds while it changes the settings.
    void Initialise(CDravikDoc* doc, C3DViewSettings* settings, std::atomic<bool>* stopFlag,
                    std::recursive_mutex* settingsLock = nullptr);
    bool IsInitialised() const;
    /// Builds the surfaces of one frame (worker thread); false when there is nothing to build.
    bool CreateIsoSurface(int frame);
    /// Automatic iso-levels for volumetric data from the document's voxel statistics.
    void SetCubeDefaultIsolevels();
    void CopyTriangles2VertexArray(int frame);
    void ClearThisVertexArray(int frame, int level);
    void ClearVertexArrays();
    /// Frees every array and waits for a running surface; the engine then needs Initialise again.
    void Release();

    /// Held while the arrays are drawn or replaced.
    std::recursive_mutex& SurfaceArrayLock() { return arrayLock_; }
    /// The arrays of a frame and level (call under SurfaceArrayLock()).
    SurfaceArrays& Arrays(int frame, int level);

    /// Grid steps N of the last molecular surface (-1 before the first); for diagnostics and tests.
    int LastGridSteps() const;
    /// The field scale K of the last surface: the surface distance, 1 for volumetric data.
    double LastSurfaceScale() const;
    /// Molecular sample grids beyond this many points (about 322 along each axis) are refused for the time they
    /// would take; they are sampled a few planes at a time, so memory is not what limits them.
    static constexpr double MAX_GRID_POINTS = 33554432.0;
    /// A frame whose surfaces would exceed this many vertices in total gets none (40 bytes each).
    static constexpr std::size_t MAX_SURFACE_VERTICES = 16u * 1024u * 1024u;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::recursive_mutex arrayLock_;
};

}  // namespace zelvor
