#include "greltlib/helper/frame_locals.h"

#include "greltlib/helper/core_memory.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dwarf.h>
#include <elfutils/libdw.h>
#include <vector>

namespace zelvor::grelt {

namespace {

constexpr int kMaxMemberDepth = 8;       // nesting of structures shown
constexpr int kMaxMembers = 256;         // members shown of one structure
constexpr std::size_t kStringBytes = 32; // read behind a char pointer; at most 31 characters are shown

enum class Where { Memory, Register, OptimisedOut, NotInDump };

struct Location {
    Where where = Where::OptimisedOut;
    std::uint64_t address = 0;  // Memory: the variable's address; Register: the register's value, if known
    bool known = true;
};

struct Evaluation {
    const FrameState& frame;
    const CoreMemory& memory;
    Dwarf_Addr bias = 0;  // runtime address less the DWARF address
    std::optional<std::uint64_t> frameBase;
    std::optional<std::uint64_t> Cfa() const { return FrameCfa(frame); }
};

}  // namespace

std::optional<std::uint64_t> FrameCfa(const FrameState& frame) {
    if (frame.cfa) return frame.cfa;
    // No outer frame was unwound: the CFI's rule for this pc, when it is a register plus an offset.
    for (int eh = 0; eh < 2; ++eh) {
        Dwarf_Addr cfiBias = 0;
        Dwarf_CFI* cfi = eh ? dwfl_module_eh_cfi(frame.module, &cfiBias) : dwfl_module_dwarf_cfi(frame.module, &cfiBias);
        Dwarf_Frame* rule = nullptr;
        if (!cfi || dwarf_cfi_addrframe(cfi, frame.lookupPc - cfiBias, &rule) != 0) continue;
        Dwarf_Op* ops = nullptr;
        size_t count = 0;
        std::optional<std::uint64_t> cfa;
        if (dwarf_frame_cfa(rule, &ops, &count) == 0 && count == 1 && ops[0].atom >= DW_OP_breg0 &&
            ops[0].atom <= DW_OP_breg31)
            if (auto reg = frame.registers.Get(ops[0].atom - DW_OP_breg0))
                cfa = *reg + static_cast<std::uint64_t>(static_cast<std::int64_t>(ops[0].number));
        std::free(rule);
        if (cfa) return cfa;
    }
    return std::nullopt;
}

namespace {

// A DWARF location expression as far as a crash report needs it: addresses built from registers, the frame
// base, the CFA and constants. Values computed on the DWARF stack (DW_OP_stack_value, pieces, entry values)
// are not in memory and count as optimised out.
Location Evaluate(const Evaluation& e, const Dwarf_Op* ops, size_t count) {
    if (count == 0) return {};
    if (count == 1 && (ops[0].atom == DW_OP_regx || (ops[0].atom >= DW_OP_reg0 && ops[0].atom <= DW_OP_reg31))) {
        const unsigned regno = ops[0].atom == DW_OP_regx ? static_cast<unsigned>(ops[0].number) : ops[0].atom - DW_OP_reg0;
        const auto value = e.frame.registers.Get(regno);
        return {Where::Register, value.value_or(0), value.has_value()};
    }
    std::vector<std::uint64_t> stack;
    for (size_t i = 0; i < count; ++i) {
        const Dwarf_Op& op = ops[i];
        const auto offset = static_cast<std::uint64_t>(static_cast<std::int64_t>(op.number));
        if (op.atom >= DW_OP_breg0 && op.atom <= DW_OP_breg31) {
            const auto reg = e.frame.registers.Get(op.atom - DW_OP_breg0);
            if (!reg) return {};
            stack.push_back(*reg + offset);
        } else if (op.atom >= DW_OP_lit0 && op.atom <= DW_OP_lit31) {
            stack.push_back(op.atom - DW_OP_lit0);
        } else {
            switch (op.atom) {
            case DW_OP_bregx: {
                const auto reg = e.frame.registers.Get(static_cast<unsigned>(op.number));
                if (!reg) return {};
                stack.push_back(*reg + static_cast<std::uint64_t>(static_cast<std::int64_t>(op.number2)));
                break;
            }
            case DW_OP_fbreg:
                if (!e.frameBase) return {};
                stack.push_back(*e.frameBase + offset);
                break;
            case DW_OP_call_frame_cfa: {
                const auto cfa = e.Cfa();
                if (!cfa) return {};
                stack.push_back(*cfa);
                break;
            }
            case DW_OP_addr: stack.push_back(op.number + e.bias); break;
            case DW_OP_const1u: case DW_OP_const2u: case DW_OP_const4u: case DW_OP_const8u: case DW_OP_constu:
                stack.push_back(op.number);
                break;
            case DW_OP_const1s: case DW_OP_const2s: case DW_OP_const4s: case DW_OP_const8s: case DW_OP_consts:
                stack.push_back(offset);
                break;
            case DW_OP_plus_uconst:
                if (stack.empty()) return {};
                stack.back() += op.number;
                break;
            case DW_OP_plus: case DW_OP_minus: {
                if (stack.size() < 2) return {};
                const std::uint64_t b = stack.back();
                stack.pop_back();
                stack.back() = op.atom == DW_OP_plus ? stack.back() + b : stack.back() - b;
                break;
            }
            case DW_OP_deref: {
                if (stack.empty()) return {};
                std::uint64_t value = 0;
                if (!e.memory.Read(stack.back(), &value, sizeof value)) return {Where::NotInDump, 0};
                stack.back() = value;
                break;
            }
            default: return {};  // entry values, implicit values, pieces, TLS: nothing in memory to show
            }
        }
    }
    if (stack.empty()) return {};
    return {Where::Memory, stack.back()};
}

// The location that applies at the frame's pc.
Location LocationAt(const Evaluation& e, Dwarf_Die* die, unsigned attribute) {
    Dwarf_Attribute attr;
    if (!dwarf_attr_integrate(die, attribute, &attr)) return {};
    Dwarf_Op* ops = nullptr;
    size_t count = 0;
    if (dwarf_getlocation_addr(&attr, e.frame.lookupPc - e.bias, &ops, &count, 1) != 1) return {};
    return Evaluate(e, ops, count);
}

std::optional<Dwarf_Die> TypeOf(Dwarf_Die* die) {
    Dwarf_Attribute attr;
    Dwarf_Die type;
    if (!dwarf_attr_integrate(die, DW_AT_type, &attr) || !dwarf_formref_die(&attr, &type)) return std::nullopt;
    return type;
}

std::string Name(Dwarf_Die* die) {
    const char* name = dwarf_diename(die);
    return name ? name : "";
}

// The type as it was declared ("const char *", "Point", "unsigned int"); empty when it has no name.
std::string TypeName(Dwarf_Die* die, int depth = 0) {
    if (depth > 16) return {};
    auto inner = [&](const char* none) -> std::string {
        auto type = TypeOf(die);
        return type ? TypeName(&*type, depth + 1) : none;
    };
    auto qualified = [](const std::string& base, const char* qualifier) -> std::string {
        if (base.empty()) return {};
        if (base.back() == '*' || base.back() == '&') return base + " " + qualifier;
        return std::string(qualifier) + " " + base;
    };
    auto derived = [](const std::string& base, const char* suffix) -> std::string {
        if (base.empty()) return {};
        const char last = base.back();
        return base + (last == '*' || last == '&' ? "" : " ") + suffix;
    };
    switch (dwarf_tag(die)) {
    case DW_TAG_pointer_type: return derived(inner("void"), "*");
    case DW_TAG_reference_type: return derived(inner(""), "&");
    case DW_TAG_rvalue_reference_type: return derived(inner(""), "&&");
    case DW_TAG_const_type: return qualified(inner("void"), "const");
    case DW_TAG_volatile_type: return qualified(inner("void"), "volatile");
    case DW_TAG_array_type: return derived(inner(""), "[]");
    case DW_TAG_subroutine_type: return {};
    default: return Name(die);
    }
}

bool IsAggregate(int tag) {
    return tag == DW_TAG_structure_type || tag == DW_TAG_class_type || tag == DW_TAG_union_type;
}

std::optional<Dwarf_Die> Peeled(Dwarf_Die* type) {
    Dwarf_Die peeled;
    if (dwarf_peel_type(type, &peeled) != 0) return std::nullopt;
    return peeled;
}

bool IsCharPointer(Dwarf_Die* peeled) {
    if (dwarf_tag(peeled) != DW_TAG_pointer_type) return false;
    auto pointee = TypeOf(peeled);
    if (!pointee) return false;
    auto base = Peeled(&*pointee);
    Dwarf_Word size = 0, encoding = 0;
    Dwarf_Attribute attr;
    if (!base || dwarf_tag(&*base) != DW_TAG_base_type || dwarf_formudata(dwarf_attr(&*base, DW_AT_byte_size, &attr), &size) != 0 ||
        dwarf_formudata(dwarf_attr(&*base, DW_AT_encoding, &attr), &encoding) != 0)
        return false;
    return size == 1 && (encoding == DW_ATE_signed_char || encoding == DW_ATE_unsigned_char);
}

bool IsFloat(Dwarf_Die* peeled) {
    Dwarf_Attribute attr;
    Dwarf_Word encoding = 0;
    return dwarf_tag(peeled) == DW_TAG_base_type &&
           dwarf_formudata(dwarf_attr(peeled, DW_AT_encoding, &attr), &encoding) == 0 && encoding == DW_ATE_float;
}

std::string Format(const char* format, auto... values) {
    char text[128];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// The text a char pointer points at, when the dump holds it: the 32 bytes behind it, or fewer when a
// terminating zero comes before the end of the dumped memory. Control characters would break the report's
// lines and are shown as '.'.
std::optional<std::string> PointedText(const CoreMemory& memory, std::uint64_t pointer) {
    char bytes[kStringBytes] = {};
    const std::size_t readable = memory.ReadablePrefix(pointer, sizeof bytes);
    if (readable == 0 || !memory.Read(pointer, bytes, readable)) return std::nullopt;
    const std::size_t length = strnlen(bytes, readable);
    if (length == readable && readable < sizeof bytes) return std::nullopt;
    std::string text(bytes, std::min(length, kStringBytes - 1));
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '.';
    return text;
}

// " = value" of a scalar at address, by its size and base type; empty for other sizes.
std::string ValueText(Dwarf_Die* peeled, const CoreMemory& memory, std::uint64_t address) {
    Dwarf_Die type = *peeled;
    const Dwarf_Word size = [&] {
        Dwarf_Word s = 0;
        return dwarf_aggregate_size(&type, &s) == 0 ? s : 0;
    }();
    if (size != 1 && size != 2 && size != 4 && size != 8) return {};
    unsigned char bytes[8] = {};
    if (!memory.Read(address, bytes, size)) return " = <not in dump>";
    std::uint64_t raw = 0;
    std::memcpy(&raw, bytes, size);
    const bool charPointer = IsCharPointer(peeled);
    if (charPointer)
        if (auto text = PointedText(memory, raw)) return " = \"" + *text + "\"";
    switch (size) {
    case 4:
        if (IsFloat(peeled)) {
            float f = 0;
            std::memcpy(&f, bytes, sizeof f);
            return Format(" = %f", static_cast<double>(f));
        }
        return Format(" = %X", static_cast<unsigned>(raw));
    case 8:
        if (IsFloat(peeled)) {
            double d = 0;
            std::memcpy(&d, bytes, sizeof d);
            return Format(" = %lf", d);
        }
        return Format(" = %llX", static_cast<unsigned long long>(raw));
    default: return Format(" = %X", static_cast<unsigned>(raw));
    }
}

std::uint64_t MemberOffset(Dwarf_Die* member) {
    Dwarf_Attribute attr;
    Dwarf_Word offset = 0;
    if (dwarf_attr_integrate(member, DW_AT_data_member_location, &attr) && dwarf_formudata(&attr, &offset) == 0)
        return offset;
    return 0;  // union members, and expression-valued offsets of virtual bases (not followed)
}

void WriteValue(Dwarf_Die* type, const CoreMemory& memory, std::uint64_t address, int depth, std::string& out);

void WriteMembers(Dwarf_Die* aggregate, const CoreMemory& memory, std::uint64_t address, int depth, std::string& out) {
    Dwarf_Die child;
    if (dwarf_child(aggregate, &child) != 0) return;
    int shown = 0;
    do {
        const int tag = dwarf_tag(&child);
        if ((tag != DW_TAG_member && tag != DW_TAG_inheritance) || dwarf_hasattr(&child, DW_AT_declaration)) continue;
        if (++shown > kMaxMembers) {
            out.append(static_cast<std::size_t>(depth + 2), '\t').append("...\r\n");
            return;
        }
        auto type = TypeOf(&child);
        out.append(static_cast<std::size_t>(depth + 2), '\t');
        std::string typeName = type ? TypeName(&*type) : std::string();
        std::string name = Name(&child);
        out += typeName;
        if (!typeName.empty() && !name.empty()) out += ' ';
        out += name;
        if (!type || dwarf_hasattr(&child, DW_AT_bit_size)) {  // bit fields: no byte-sized value of their own
            out += "\r\n";
            continue;
        }
        WriteValue(&*type, memory, address + MemberOffset(&child), depth + 1, out);
    } while (dwarf_siblingof(&child, &child) == 0);
}

bool HasMembers(Dwarf_Die* peeled) {
    Dwarf_Die child;
    if (!IsAggregate(dwarf_tag(peeled)) || dwarf_child(peeled, &child) != 0) return false;
    do {
        const int tag = dwarf_tag(&child);
        if ((tag == DW_TAG_member || tag == DW_TAG_inheritance) && !dwarf_hasattr(&child, DW_AT_declaration)) return true;
    } while (dwarf_siblingof(&child, &child) == 0);
    return false;
}

// The value of an object of this type at address, ending its line; a structure's members follow on lines
// of their own (depth: the object's nesting, 0 for a variable).
void WriteValue(Dwarf_Die* type, const CoreMemory& memory, std::uint64_t address, int depth, std::string& out) {
    auto peeled = Peeled(type);
    if (!peeled) {
        out += "\r\n";
        return;
    }
    if (HasMembers(&*peeled)) {
        out += "\r\n";
        if (depth < kMaxMemberDepth) WriteMembers(&*peeled, memory, address, depth, out);
        return;
    }
    out += ValueText(&*peeled, memory, address);
    out += "\r\n";
}

void WriteVariable(const Evaluation& e, Dwarf_Die* variable, bool parameter, std::string& out) {
    if (dwarf_hasattr(variable, DW_AT_declaration)) return;  // an extern declared inside the function
    const Location location = LocationAt(e, variable, DW_AT_location);
    if (location.where == Where::Register) return;
    auto type = TypeOf(variable);
    out += parameter ? "\tParameter '" : "\tLocal '";
    out += Name(variable);
    out += '\'';
    if (type) {
        const std::string typeName = TypeName(&*type);
        if (!typeName.empty()) out += ' ' + typeName;
    }
    if (location.where == Where::OptimisedOut) {
        out += " = <optimised out>\r\n";
    } else if (location.where == Where::NotInDump || !type) {
        out += location.where == Where::NotInDump ? " = <not in dump>\r\n" : "\r\n";
    } else {
        WriteValue(&*type, e.memory, location.address, 0, out);
    }
}

void WriteChildren(const Evaluation& e, Dwarf_Die* scope, int wantedTag, std::string& out) {
    Dwarf_Die child;
    if (dwarf_child(scope, &child) != 0) return;
    do {
        if (dwarf_tag(&child) == wantedTag) WriteVariable(e, &child, wantedTag == DW_TAG_formal_parameter, out);
    } while (dwarf_siblingof(&child, &child) == 0);
}

}  // namespace

void WriteFrameLocals(const FrameState& frame, const CoreMemory& memory, std::string& out) {
    Evaluation e{frame, memory, 0, std::nullopt};
    Dwarf_Die* cu = dwfl_module_addrdie(frame.module, frame.lookupPc, &e.bias);
    if (!cu) return;
    Dwarf_Die* scopes = nullptr;
    const int count = dwarf_getscopes(cu, frame.lookupPc - e.bias, &scopes);
    if (count <= 0) return;
    // scopes[0] is the innermost; the function is the first subprogram or inlined call, and the frame base
    // comes from the subprogram that holds it.
    int function = -1, subprogram = -1;
    for (int i = 0; i < count; ++i) {
        const int tag = dwarf_tag(&scopes[i]);
        if (function < 0 && (tag == DW_TAG_subprogram || tag == DW_TAG_inlined_subroutine)) function = i;
        if (tag == DW_TAG_subprogram) {
            subprogram = i;
            break;
        }
    }
    if (function >= 0) {
        if (subprogram >= 0) {
            const Location base = LocationAt(e, &scopes[subprogram], DW_AT_frame_base);
            if (base.where == Where::Memory || (base.where == Where::Register && base.known)) e.frameBase = base.address;
        }
        WriteChildren(e, &scopes[function], DW_TAG_formal_parameter, out);
        for (int i = function; i >= 0; --i) WriteChildren(e, &scopes[i], DW_TAG_variable, out);
    }
    std::free(scopes);
}

}  // namespace zelvor::grelt
