#pragma once
/// Reading the module list (XML) into the maps of the module registry. Only the document is read: no
/// library is loaded, so the reading can be checked on its own.
#include <map>
#include <string>

#include "crunch/calc_data.h"

namespace zelvor {

/// Reads the module list at path into the maps (menu name -> library file, library file -> menu name,
/// library file -> calculation), adding to what they hold: 1 when read, 0 when the list cannot be loaded
/// (nothing changed).
int ParseModuleList(const std::string& path, std::map<std::string, std::string>& menuToFile,
                    std::map<std::string, std::string>& fileToMenu, std::map<std::string, CalcData>& calculations);

}  // namespace zelvor
