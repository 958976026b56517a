#pragma once
/// Coordinate files the benchmarks generate: the same files for the in-process and whole-process figures.
#include <string>

namespace zelvor::bench {

/// A path in $TMPDIR (else /tmp) unique to this process.
std::string TempPath(const char* name);
/// 1000 frames of 3000 atoms in a 30 Å box, about 100 MB.
void WriteXyz(const std::string& path);
/// 10 models of 49,000 atoms in standard 80-column records, about 40 MB.
void WritePdb(const std::string& path);
/// A 120^3 grid in the layout Gaussian writes (six values of %13.5E per line), about 23 MB.
void WriteCube(const std::string& path);
/// A simple cubic lattice of nx * ny * nz atoms 1.4 Å apart (nearest neighbours bond): carbon with oxygen and
/// hydrogen in a fixed pattern, the same file on every run. False when it could not be written.
bool WriteLatticeXyz(const std::string& path, int nx, int ny, int nz);
/// The same lattice as PDB ATOM records (serial numbers 1..99999, element columns filled).
bool WriteLatticePdb(const std::string& path, int nx, int ny, int nz);
long FileSize(const std::string& path);

}  // namespace zelvor::bench
