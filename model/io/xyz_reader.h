#pragma once
/// The XYZ reader: frames of "count, comment, count atom lines", back to back.
#include "model/io/reader_sink.h"

namespace zelvor {

/// Reads the XYZ file at path into the sink; a path that cannot be opened shows the built-in molecule.
/// Returns 1 when read (the frames complete so far also stay when the file ends in a broken frame), 0 when
/// refused or aborted, -1 when the file cannot be opened.
int ReadXyzFile(const char* path, CReaderSink& sink);

}  // namespace zelvor
