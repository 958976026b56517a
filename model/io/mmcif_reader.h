#pragma once
/// The mmCIF reader: the atom table (_atom_site) of the first data block, a frame per model.
#include "model/io/reader_sink.h"

namespace zelvor {

/// Reads the mmCIF file at path (plain or gzip-compressed) into the sink. Returns 1 when read, 0 when
/// refused or aborted, -1 when the file cannot be opened. A file damaged after complete models keeps them
/// (1, with a message); one refused keeps no frame at all.
int ReadMmcifFile(const char* path, CReaderSink& sink);

}  // namespace zelvor
