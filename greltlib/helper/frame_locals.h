#pragma once
/// The parameters and local variables of one stack frame, read with the module's DWARF and the core's memory.
#include <array>
#include <cstdint>
#include <elfutils/libdwfl.h>
#include <optional>
#include <string>

namespace zelvor::grelt {

class CoreMemory;

/// x86-64 DWARF registers 0..16 (RAX..R15, RIP) of a frame as the unwinder restored them.
struct FrameRegisters {
    static constexpr unsigned kCount = 17;
    std::array<std::uint64_t, kCount> value{};
    std::uint32_t known = 0;  // bit n: register n was restored

    std::optional<std::uint64_t> Get(unsigned regno) const {
        if (regno >= kCount || !(known & (1u << regno))) return std::nullopt;
        return value[regno];
    }
};

struct FrameState {
    Dwfl_Module* module = nullptr;
    /// The address inside the frame's call or faulting instruction: a caller's return address less one.
    Dwarf_Addr lookupPc = 0;
    FrameRegisters registers;
    /// The canonical frame address (the caller's stack pointer before the call); unset: computed from the
    /// module's call frame information.
    std::optional<std::uint64_t> cfa;
};

/// The frame's CFA: frame.cfa, else the CFI's rule for the pc when it is a register plus an offset.
std::optional<std::uint64_t> FrameCfa(const FrameState& frame);

/// Appends one "\t...\r\n" line per parameter, then per local variable of the function and of every nested
/// block that holds the pc, outermost block first, innermost last. Variables that live in registers are left
/// out; structures list their members on further lines, indented one tab deeper per level.
void WriteFrameLocals(const FrameState& frame, const CoreMemory& memory, std::string& out);

}  // namespace zelvor::grelt
