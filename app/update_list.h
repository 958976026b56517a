#pragma once
/// The update list: an XML document in the namespace "urn:Cobrant" with one Application element per program,
/// its Name attribute naming the program and its text giving the version ("1,5,1962,2778").
#include <string>
#include <string_view>
#include <vector>

namespace zelvor {

/// The versions the list gives for programName, in document order. A document that does not parse, or that
/// declares entities, gives none.
std::vector<std::string> ListedVersions(std::string_view listText, const std::string& programName);

/// The number two versions are compared by, as a decimal digit string without leading zeros ("" is zero):
/// everything from the second comma on, commas removed, read as a decimal number ("1,5,1962,2778" gives
/// 19622778). Digit strings never overflow, whatever a server sends.
std::string VersionComparisonDigits(std::string_view version);

/// True when listed's comparison number is greater than own's.
bool IsNewerVersion(std::string_view listed, std::string_view own);

}  // namespace zelvor
