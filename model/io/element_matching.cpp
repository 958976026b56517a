#include "model/io/element_matching.h"

#include <cstring>
#include <mutex>

#include "model/io/text_scanner.h"
#include "model/locks.h"
#include "platform/text_compare.h"

namespace zelvor {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && scan::IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && scan::IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

AtomData* CElementMatcher::Resolve(const char* name, const char* symbol) {
    std::uint64_t key = 0;
    std::memcpy(&key, name, 4);
    std::memcpy(reinterpret_cast<char*>(&key) + 4, symbol, 2);
    if (key == lastKey_ && lastElement_) return lastElement_;
    AtomData*& known = known_[key];
    if (!known) known = Decide(std::string_view(name, 4), std::string_view(symbol, 2));
    lastKey_ = key;
    lastElement_ = known;
    return known;
}

AtomData* CElementMatcher::Decide(std::string_view name, std::string_view symbol) {
    std::lock_guard lock(AtomLock());
    if (AtomData* element = Match(Trim(symbol))) return element;
    const bool fourCharacterHydrogen = name[0] == 'H' && name.find(' ') == std::string_view::npos;
    const bool hydrogen = fourCharacterHydrogen || scan::IsDigit(name[0]);
    AtomData* element = hydrogen ? Match("H") : Match(Trim(name.substr(0, 2)));
    return element ? element : &ElementTable()[FALLBACK_ELEMENT];
}

AtomData* CElementMatcher::Match(std::string_view label) {
    if (label.empty()) return nullptr;
    for (AtomData& record : ElementTable()) {
        const std::string_view symbol(record.symbol, strnlen(record.symbol, sizeof record.symbol));
        if (EqualsIgnoringCase(symbol, label)) return &record;
    }
    return nullptr;
}

}  // namespace zelvor
