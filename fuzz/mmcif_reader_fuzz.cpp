// Fuzzing harness of the mmCIF reader: the input is the file's content; the reader alone runs on it (no
// loader thread, no bond search), and every frame it publishes must be whole.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_input_file.h"
#include "fuzz/reader_fuzz_sink.h"
#include "model/io/mmcif_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static zelvor::fuzz::CFuzzInputFile file;
    static zelvor::fuzz::CReaderFuzzSink sink;
    zelvor::ReadMmcifFile(file.Write(data, size), sink);
    sink.CheckFrames();
    return 0;
}
