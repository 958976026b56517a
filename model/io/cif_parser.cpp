// Compiled as C++17: gemmi's document header, which its grammar comes with, does not compile as C++20 with
// clang 14 (its std::vector of a type still incomplete there).
#include "model/io/cif_parser.h"

#include <gemmi/cif.hpp>

#include <stdexcept>

#include "model/io/byte_source.h"

namespace zelvor {

namespace {

namespace pegtl = tao::pegtl;
namespace rules = gemmi::cif::rules;

/// Pulls bytes from the source as the grammar needs them.
class CByteSourceReader {
public:
    explicit CByteSourceReader(CByteSource& source) : source_(source) {}
    std::size_t operator()(char* buffer, std::size_t length) const { return source_.Read(buffer, length); }

private:
    CByteSource& source_;
};

/// Bytes read from the source at a time; the window also keeps up to this much already parsed.
constexpr std::size_t kChunk = 64 << 10;
using CifInput = pegtl::buffer_input<CByteSourceReader, pegtl::eol::lf_crlf, std::string, kChunk>;

/// The handler, and where the parse last handed something over (the parser's own position is rewound
/// when a rule fails).
struct ParseState {
    CCifHandler& handler;
    const char* name;
    std::size_t line = 1;
};

template <typename ActionInput>
CifValue Decode(const ActionInput& in) {
    std::string_view v(in.begin(), in.size());
    const std::size_t line = in.iterator().line;
    if (v.empty()) return {v, true, line};
    const char c = v.front();
    if (c == '\'' || c == '"') return {v.substr(1, v.size() - 2), false, line};
    if (c == ';' && in.iterator().column == 1) {
        // ";text\n;": the closing semicolon starts a line of its own.
        v.remove_prefix(1);
        v.remove_suffix(1);
        if (!v.empty() && v.back() == '\n') v.remove_suffix(1);
        if (!v.empty() && v.back() == '\r') v.remove_suffix(1);
        return {v, false, line};
    }
    return {v, v == "?" || v == ".", line};
}

template <typename ActionInput>
std::string_view Text(const ActionInput& in) {
    return std::string_view(in.begin(), in.size());
}

template <typename Rule>
struct CifAction : pegtl::nothing<Rule> {};

template <>
struct CifAction<rules::datablockname> {
    template <typename ActionInput>
    static void apply(const ActionInput& in, ParseState& s) {
        s.line = in.iterator().line;
        s.handler.BlockStarts();
    }
};
template <>
struct CifAction<rules::str_global> : CifAction<rules::datablockname> {};
template <>
struct CifAction<rules::framename> {
    template <typename ActionInput>
    static void apply(const ActionInput&, ParseState& s) { s.handler.SaveFrame(true); }
};
template <>
struct CifAction<rules::endframe> {
    template <typename ActionInput>
    static void apply(const ActionInput&, ParseState& s) { s.handler.SaveFrame(false); }
};
template <>
struct CifAction<rules::item_tag> {
    template <typename ActionInput>
    static void apply(const ActionInput& in, ParseState& s) {
        s.line = in.iterator().line;
        s.handler.PairTag(Text(in));
    }
};
template <>
struct CifAction<rules::item_value> {
    template <typename ActionInput>
    static void apply(const ActionInput& in, ParseState& s) {
        const CifValue value = Decode(in);
        s.line = value.line;
        s.handler.PairValue(value);
    }
};
template <>
struct CifAction<rules::str_loop> {
    template <typename ActionInput>
    static void apply(const ActionInput& in, ParseState& s) {
        s.line = in.iterator().line;
        s.handler.LoopStarts();
    }
};
template <>
struct CifAction<rules::loop_tag> {
    template <typename ActionInput>
    static void apply(const ActionInput& in, ParseState& s) {
        s.line = in.iterator().line;
        s.handler.LoopTag(Text(in));
    }
};
template <>
struct CifAction<rules::loop_value> {
    template <typename ActionInput>
    static void apply(const ActionInput& in, ParseState& s) {
        const CifValue value = Decode(in);
        s.line = value.line;
        s.handler.LoopValue(value);
    }
};
template <>
struct CifAction<rules::loop> {
    template <typename ActionInput>
    static void apply(const ActionInput&, ParseState& s) {
        if (!s.handler.LoopEnds())
            throw pegtl::parse_error("Wrong number of values in the loop", pegtl::position(0, s.line, 1, s.name));
    }
};

}  // namespace

std::string ParseCif(CByteSource& source, const char* name, CCifHandler& handler) {
    CifInput in(name, kCifMaxToken, source);
    ParseState state{handler, name};
    try {
        if (!pegtl::parse<rules::file, CifAction, gemmi::cif::Errors>(in, state))
            return std::string(name) + ": no data block (data_) in the file";
    } catch (const pegtl::parse_error& e) {
        return e.what();
    } catch (const std::overflow_error&) {
        return std::string(name) + ":" + std::to_string(state.line) + ": a value or blank stretch longer than " +
               std::to_string(kCifMaxToken) + " bytes after this line";
    }
    return {};
}

}  // namespace zelvor
