#pragma once
/// The Gaussian cube reader: atoms plus a regular grid of values per data set, data sets back to back.
#include "model/io/reader_sink.h"

namespace zelvor {

/// Reads the cube file at path into the sink, one frame per data set and orbital. Returns 1 when read, 0
/// when refused or aborted, -1 when the file cannot be opened.
int ReadCubeFile(const char* path, CReaderSink& sink);

}  // namespace zelvor
