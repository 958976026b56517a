#pragma once
/// Automatic iso-levels of volumetric data from its value range and the range near the grid's faces.

namespace zelvor {

/// Range of a voxel grid: all values, and the planes a few voxels inside its faces (both include 0).
struct VoxelRange {
    double max = 0.0, min = 0.0, shellMax = 0.0, shellMin = 0.0;
};

/// Writes six levels and returns true, or returns false (levels untouched) when the range suggests none.
/// All positive: levels fall from the maximum (capped near the shell maximum) to the shell minimum.
/// Both signs: positive levels between the shell maximum and the maximum, negative ones between the minimum and
/// the shell minimum, shared out by the share of the range above the shell maximum.
bool DefaultIsoLevels(const VoxelRange& range, double levels[6]);

}  // namespace zelvor
