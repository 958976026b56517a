#pragma once
/// Small OpenGL helpers shared by the scene list, the surface and the axes: a line and the clip-plane switches.
#include <cstdint>

#include "model/vector.h"

namespace zelvor {

/// One line from `from` to `to` in the current colour.
void DrawLine(const Vector& from, const Vector& to);
/// Enables clip plane i where switches[i] is 1 and clip planes are in use; disables the others.
void ClipFeatureWithEnabledPlanes(const std::int32_t switches[6], bool useClipPlanes);
/// Disables all six clip planes.
void DisableClipPlanes();

}  // namespace zelvor
