#pragma once
/// The built-in coordinate files shown when a file cannot be opened.
#include <string_view>

namespace zelvor {

/// Resource ids of the built-in molecules.
inline constexpr int BUILTIN_MOLECULE = 161;  ///< n-pentadecane, the stand-in for a missing file
inline constexpr int BUILTIN_CRYSTAL = 162;   ///< alpha-quartz 2x2x2 supercell with its cell

/// The XYZ text of a built-in coordinate file; empty for an unknown id.
std::string_view BuiltinCoordinateFile(int id);

}  // namespace zelvor
