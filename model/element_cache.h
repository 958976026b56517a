#pragma once
/// CElementCache: the element AssignElement gives each label, remembered for the length of one read.
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "model/elements.h"
#include "model/frame.h"

namespace zelvor {

/// Element assignment by label without walking the table for every atom. The table does not change
/// while a file is read, so the first AssignElement result for a label holds for all its later atoms;
/// a label seen for the first time goes through AssignElement (and its lock).
class CElementCache {
public:

    /// Gives the atom the element of label (at most LABEL_SIZE - 1 characters are significant).
    void Assign(Atom& atom, std::string_view label) {
        if (label.size() >= static_cast<std::size_t>(LABEL_SIZE)) label = label.substr(0, LABEL_SIZE - 1);
        if (label.size() <= sizeof(std::uint64_t) && !label.empty()) {
            std::uint64_t key = 0;  // built byte by byte: a short memcpy into it stalls the load after it
            for (std::size_t i = 0; i < label.size(); ++i)
                key |= static_cast<std::uint64_t>(static_cast<unsigned char>(label[i])) << (8 * i);
            Slot& slot = slots_[((key ^ label.size()) * 0x9E3779B97F4A7C15ULL) >> (64 - kSlotBits)];
            if (slot.length == label.size() && slot.key == key) {
                atom.element = slot.element;
                return;
            }
            atom.element = Lookup(atom, label);
            slot = {key, static_cast<std::uint32_t>(label.size()), atom.element};
            return;
        }
        atom.element = Lookup(atom, label);
    }

private:
    static constexpr int kSlotBits = 6;

    struct Slot {
        std::uint64_t key = 0;
        std::uint32_t length = 0;  ///< 0: empty
        AtomData* element = nullptr;
    };
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };

    AtomData* Lookup(Atom& atom, std::string_view label) {
        if (const auto it = known_.find(label); it != known_.end()) return it->second;
        char text[LABEL_SIZE];
        std::memcpy(text, label.data(), label.size());
        text[label.size()] = '\0';
        AssignElement(atom, text, -1);
        known_.emplace(std::string(label), atom.element);
        return atom.element;
    }

    std::array<Slot, (1 << kSlotBits)> slots_{};
    std::unordered_map<std::string, AtomData*, TextHash, std::equal_to<>> known_;
};

}  // namespace zelvor
