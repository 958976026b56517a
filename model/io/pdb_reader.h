#pragma once
/// The PDB reader: fixed-column ATOM/HETATM records, one frame per MODEL.
#include "model/io/reader_sink.h"

namespace zelvor {

/// Reads the PDB file at path into the sink. Returns 1 when read (a record that does not conform ends the
/// file after the frames read so far), 0 when refused or aborted, -1 when the file cannot be opened.
int ReadPdbFile(const char* path, CReaderSink& sink);

}  // namespace zelvor
