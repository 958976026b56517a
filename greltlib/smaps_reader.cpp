#include "greltlib/smaps_reader.h"

#include "greltlib/proc_text.h"

namespace zelvor::grelt {

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool StartsWith(const char* p, const char* end, const char* prefix) {
    for (; *prefix; ++p, ++prefix)
        if (p >= end || *p != *prefix) return false;
    return true;
}

// "start-end perms offset dev inode   path"
bool ParseHeader(char* line, char* end, Mapping& m) {
    const char* p = line;
    if (!ParseHex(p, end, m.start) || p >= end || *p++ != '-') return false;
    if (!ParseHex(p, end, m.end) || m.end < m.start) return false;
    SkipSpaces(p, end);
    if (end - p < 4) return false;
    m.flags = 0;
    if (p[0] == 'r') m.flags |= Mapping::Readable;
    if (p[1] == 'w') m.flags |= Mapping::Writable;
    if (p[2] == 'x') m.flags |= Mapping::Executable;
    if (p[3] == 's') m.flags |= Mapping::Shared;
    p += 4;
    SkipSpaces(p, end);
    if (!ParseHex(p, end, m.fileOffset)) return false;
    SkipSpaces(p, end);
    std::uint64_t ignored = 0;  // device "major:minor"
    if (!ParseHex(p, end, ignored) || p >= end || *p++ != ':' || !ParseHex(p, end, ignored)) return false;
    SkipSpaces(p, end);
    if (!ParseDecimal(p, end, m.inode)) return false;
    SkipSpaces(p, end);
    m.path = p;
    m.pathLength = static_cast<std::uint32_t>(end - p);
    m.anonymousBytes = 0;
    m.dumpStart = m.start;
    m.dumpLength = 0;
    m.isStack = false;
    return true;
}

// "Key:   123 kB" for the counters the writer needs, "VmFlags: rd wr ... dd" for the ones it must obey.
void ParseField(const char* p, const char* end, Mapping& m) {
    if (StartsWith(p, end, "Anonymous:") || StartsWith(p, end, "Swap:")) {
        while (p < end && *p != ':') ++p;
        ++p;
        SkipSpaces(p, end);
        std::uint64_t kiB = 0;
        if (ParseDecimal(p, end, kiB)) m.anonymousBytes += kiB * 1024;
    } else if (StartsWith(p, end, "VmFlags:")) {
        for (p += 8; p + 1 < end; ++p) {
            if (p[-1] != ' ' || (p + 2 < end && p[2] != ' ')) continue;
            if ((p[0] == 'd' && p[1] == 'd') || (p[0] == 'i' && p[1] == 'o') || (p[0] == 'p' && p[1] == 'f'))
                m.flags |= Mapping::DontDump;
        }
    }
}

}  // namespace

bool Mapping::Named(const char* name) const {
    std::uint32_t i = 0;
    for (; name[i]; ++i)
        if (i >= pathLength || path[i] != name[i]) return false;
    return i == pathLength;
}

std::size_t ParseSmaps(char* text, std::size_t length, Mapping* mappings, std::size_t capacity) {
    std::size_t count = 0;
    bool open = false;  // a header was parsed and its block has not ended yet
    char* p = text;
    char* const textEnd = text + length;
    while (p < textEnd) {
        char* lineEnd = p;
        while (lineEnd < textEnd && *lineEnd != '\n') ++lineEnd;
        if (lineEnd == textEnd) break;  // a line cut off by the end of the buffer
        *lineEnd = '\0';
        // Field names start with a capital letter; block headers with a lower-case hexadecimal address.
        if (IsHexDigit(*p) && !(*p >= 'A' && *p <= 'F')) {
            if (open) ++count;
            open = count < capacity && ParseHeader(p, lineEnd, mappings[count]);
        } else if (open) {
            ParseField(p, lineEnd, mappings[count]);
            if (StartsWith(p, lineEnd, "VmFlags:")) {  // the last line of a block
                ++count;
                open = false;
            }
        }
        p = lineEnd + 1;
    }
    return count;  // a block without its VmFlags line was cut off and is dropped
}

}  // namespace zelvor::grelt
