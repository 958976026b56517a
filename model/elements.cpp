#include "model/elements.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <locale>
#include <mutex>
#include <sstream>

#include "model/atom.h"
#include "model/model_reports.h"
#include "model/dravik_doc.h"
#include "model/locks.h"

namespace zelvor {

namespace {

constexpr const char* kFileName = "Elements.dat";
constexpr std::size_t kLineLimit = 499;  // a line is read into 500 characters with its terminator
constexpr const char* kParseError = "Error parsing the elementsfile.\nDelete it and restart this program.";

std::string ExecutableDirectory() {
    std::array<char, 4096> buffer{};
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return {};
    const std::string path(buffer.data(), static_cast<std::size_t>(n));
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string WorkingDirectory() {
    std::array<char, 4096> buffer{};
    if (!getcwd(buffer.data(), buffer.size())) return ".";
    return buffer.data();
}

void ReportMissingFile(const std::string& path) {
    ReportToMessageStream("The file,\n" + path +
                          ",\nwas not found. A new one will be created from scratch.\nYou may want to edit it "
                          "to your own liking.");
}

/// Reads one line like getline into a 500-character buffer, but a longer line is cut instead of
/// failing the stream (only the first fields of a row matter).
bool ReadLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kLineLimit) line.resize(kLineLimit);
    return true;
}

}  // namespace

CElements::CElements() { ReadElementsData(); }

CElements::CElements(const std::string& path) { ReadElementsData(path); }

int CElements::ReadElementsData() {
    programDirectory_ = ExecutableDirectory();
    elementsPath_ = programDirectory_ + kFileName;
    std::ifstream in(elementsPath_);
    if (!in) {
        elementsPath_ = WorkingDirectory() + "/" + kFileName;
        in.open(elementsPath_);
    }
    if (!in) {
        ReportMissingFile(elementsPath_);
        WriteElementsData(elementsPath_.c_str());
        return 0;
    }
    return ReadOpenFile(in);
}

int CElements::ReadElementsData(const std::string& path) {
    programDirectory_ = ExecutableDirectory();
    elementsPath_ = path;
    std::ifstream in(elementsPath_);
    if (!in) {
        ReportMissingFile(elementsPath_);
        WriteElementsData(elementsPath_.c_str());
        return 0;
    }
    return ReadOpenFile(in);
}

int CElements::ReadOpenFile(std::istream& in) {
    std::string line;
    if (!ReadLine(in, line)) {
        ReportToMessageStream(kParseError);
        return 0;
    }
    std::lock_guard lock(AtomLock());
    for (AtomData& record : ElementTable()) {
        if (!ReadLine(in, line)) continue;  // fewer rows than records: the rest keep their values
        std::istringstream row(line);
        row.imbue(std::locale::classic());
        std::string symbol;
        int number = 0;
        double red = 0, green = 0, blue = 0, vdw = 0, covalent = 0;
        if (!(row >> symbol >> number >> red >> green >> blue >> vdw >> covalent)) {
            ReportToMessageStream(kParseError);
            return 0;
        }
        std::snprintf(record.symbol, sizeof record.symbol, "%s", symbol.c_str());
        record.atomicNumber = number;
        record.red = static_cast<float>(red / 256.0);
        record.green = static_cast<float>(green / 256.0);
        record.blue = static_cast<float>(blue / 256.0);
        record.vdWRadius = static_cast<float>(vdw);
        record.covalentRadius = static_cast<float>(covalent);
        double value = 0;
        if (row >> value) {
            record.scatteringLength = static_cast<float>(value);
            if (row >> value) record.extraValue = static_cast<float>(value);
        }
    }
    return 1;
}

void CElements::WriteElementsData(const char* path) {
    std::ofstream out(path, std::ios::trunc);
    if (!out) return;
    out.imbue(std::locale::classic());
    out << ELEMENTS_FILE_HEADER;
    std::lock_guard lock(AtomLock());
    int k = 1;
    for (AtomData& record : ElementTable()) {
        record.atomicNumber = k;
        out << record.symbol << " \t " << k << " \t " << record.red * 256 << " \t " << record.green * 256 << " \t "
            << record.blue * 256 << " \t " << record.vdWRadius << " \t " << record.covalentRadius << " \t "
            << record.scatteringLength << " \t " << record.extraValue << "\n";
        ++k;
    }
}

int CDravikDoc::SetAtomData(Atom& atom, const char* label, int atomicNumber) {
    return AssignElement(atom, label, atomicNumber);
}

int AssignElement(Atom& atom, const char* label, int atomicNumber) {
    std::lock_guard lock(AtomLock());
    auto& table = ElementTable();
    for (AtomData& record : table) {
        bool match;
        if (atomicNumber >= 0) {
            match = record.atomicNumber == atomicNumber;
        } else {
            match = false;
            if (label) {
                const std::size_t n = std::strlen(record.symbol);
                match = std::strcmp(record.symbol, label) == 0 ||
                        (std::strncmp(record.symbol, label, n) == 0 && label[n] == '_' && label[n + 1] == '\0');
            }
        }
        if (match) {
            atom.element = &record;
            return 1;
        }
    }
    atom.element = &table[FALLBACK_ELEMENT];
    return 0;
}

}  // namespace zelvor
