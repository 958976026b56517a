// Fuzzing harness of the element table reader: the input is an Elements.dat; whatever it holds, the table is
// left usable, every lookup by symbol or number yields a record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "fuzz/fuzz_input_file.h"
#include "model/atom.h"
#include "model/elements.h"
#include "model/model_reports.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static zelvor::fuzz::CFuzzInputFile file;
    // Reports of a broken table would go to standard error once per run.
    static const bool quiet = (zelvor::SetModelReportHandler([](const std::string&) {}), true);
    (void)quiet;
    zelvor::ResetElementTable();
    zelvor::CElements elements(file.Write(data, size));
    zelvor::Atom atom;
    for (const char* label : {"C", "C_", "Zx", "", "_"}) {
        zelvor::AssignElement(atom, label, -1);
        if (atom.element == nullptr) std::abort();
    }
    for (int number : {0, 1, 6, 107, 1000}) {
        zelvor::AssignElement(atom, nullptr, number);
        if (atom.element == nullptr) std::abort();
    }
    return 0;
}
