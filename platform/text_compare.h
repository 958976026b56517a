#pragma once
/// Comparisons of text without regard to letter case (file extensions, element symbols, paths, keys).
#include <cctype>
#include <string_view>

namespace zelvor {

/// True when a and b hold the same letters, compared without regard to case.
inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

/// True when text begins with prefix, compared without regard to case.
inline bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return prefix.size() <= text.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace zelvor
