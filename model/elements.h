#pragma once
/// CElements: reads the element table file "Elements.dat" into the process-wide element table.
#include <string>

#include "model/atom.h"

namespace zelvor {

/// Header line of the element table file, written exactly like this.
inline constexpr const char* ELEMENTS_FILE_HEADER =
    "Element, \t red(0-255), \t green(0-255), \t blue(0-255), \t vdW radius/, \t Covalent radius/, \t "
    "Neutron Scattering Length \n";

/// The element of a label or atomic number, looked up in the element table under the atom lock: by atomic
/// number when it is 0 or more, else by symbol ("C", or "C_"). Unknown: the fall-back record and 0, else 1.
int AssignElement(Atom& atom, const char* label, int atomicNumber);

/// Loads the element table once at program start; writes a fresh file when none is found.
class CElements {
public:
    /// Reads Elements.dat from beside the running program, else from the working directory.
    CElements();
    /// Reads the given file instead (a missing file is reported and written with the defaults).
    explicit CElements(const std::string& path);
    virtual ~CElements() = default;

    /// Reads the file found beside the program or in the working directory: 1 read, 0 missing (and
    /// created) or unparsable.
    int ReadElementsData();
    /// Reads the file at path, with the same messages and results as ReadElementsData().
    int ReadElementsData(const std::string& path);
    /// Writes the header and all records to path, renumbering the records 1..108.
    void WriteElementsData(const char* path);

    /// Folder of the running program, ending in '/'.
    const std::string& ProgramDirectory() const { return programDirectory_; }
    /// The element file last looked for.
    const std::string& ElementsPath() const { return elementsPath_; }

private:
    int ReadOpenFile(std::istream& in);

    std::string programDirectory_;
    std::string elementsPath_;
};

}  // namespace zelvor
