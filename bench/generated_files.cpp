#include "bench/generated_files.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace zelvor::bench {

std::string TempPath(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/zelvor-bench-" + std::to_string(getpid()) + "-" + name;
}

/// 1000 frames of 3000 atoms in a 30 A box, about 100 MB.
void WriteXyz(const std::string& path) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    std::mt19937 random(42);
    std::uniform_real_distribution<double> coordinate(-15.0, 15.0);
    const char* labels[] = {"C", "H", "O", "N", "H", "C"};
    for (int f = 0; f < 1000; ++f) {
        std::fprintf(out, "3000\nframe %d\n", f);
        for (int i = 0; i < 3000; ++i)
            std::fprintf(out, "%-2s %9.5f %9.5f %9.5f\n", labels[i % 6], coordinate(random), coordinate(random),
                         coordinate(random));
    }
    std::fclose(out);
}

/// 10 models of 49,000 atoms in standard 80-column records, about 40 MB.
void WritePdb(const std::string& path) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-60.0, 60.0);
    const char* names[] = {" N  ", " CA ", " C  ", " O  ", " CB ", "HG21", "FE  ", " H  "};
    const char* elements[] = {" N", " C", " C", " O", " C", " H", "FE", " H"};
    std::fprintf(out, "TITLE     GENERATED BENCHMARK STRUCTURE\n");
    for (int m = 1; m <= 10; ++m) {
        std::fprintf(out, "MODEL     %4d\n", m);
        for (int i = 0; i < 49000; ++i) {
            const int k = i % 8;
            std::fprintf(out, "%-6s%5d %4s %3s %c%4d    %8.3f%8.3f%8.3f%6.2f%6.2f          %2s  \n",
                         k == 6 ? "HETATM" : "ATOM", i % 100000, names[k], "ALA", 'A', (i / 8) % 10000,
                         coordinate(random), coordinate(random), coordinate(random), 1.0, 20.0, elements[k]);
        }
        std::fprintf(out, "ENDMDL\n");
    }
    std::fprintf(out, "END\n");
    std::fclose(out);
}

/// A 120^3 grid in the layout Gaussian writes (six values of %13.5E per line), about 23 MB.
void WriteCube(const std::string& path) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    const int n = 120;
    std::fprintf(out, " Generated density\n SCF Total Density\n");
    std::fprintf(out, "%5d %11.6f %11.6f %11.6f\n", 3, -10.0, -10.0, -10.0);
    for (int a = 0; a < 3; ++a)
        std::fprintf(out, "%5d %11.6f %11.6f %11.6f\n", n, a == 0 ? 0.166 : 0.0, a == 1 ? 0.166 : 0.0,
                     a == 2 ? 0.166 : 0.0);
    std::fprintf(out, "%5d %11.6f %11.6f %11.6f %11.6f\n", 8, 8.0, 0.0, 0.0, 0.2);
    std::fprintf(out, "%5d %11.6f %11.6f %11.6f %11.6f\n", 1, 1.0, 1.4, 1.1, 0.2);
    std::fprintf(out, "%5d %11.6f %11.6f %11.6f %11.6f\n", 1, 1.0, -1.4, 1.1, 0.2);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            for (int k = 0; k < n; ++k) {
                const double x = (i - 60) * 0.1, y = (j - 60) * 0.1, z = (k - 60) * 0.1;
                std::fprintf(out, " %12.5E", std::exp(-(x * x + y * y + z * z)) - 0.01 * z);
                if (k % 6 == 5) std::fputc('\n', out);
            }
            std::fputc('\n', out);
        }
    std::fclose(out);
}

namespace {

constexpr double LATTICE_SPACING = 1.4;

const char* LatticeElement(int index) { return index % 7 == 3 ? "O" : index % 3 == 1 ? "H" : "C"; }

/// Calls write(index, element, x, y, z) for every lattice atom in file order.
template <class Write>
void ForEachLatticeAtom(int nx, int ny, int nz, Write&& write) {
    int index = 0;
    for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j)
            for (int k = 0; k < nz; ++k, ++index)
                write(index, LatticeElement(index), i * LATTICE_SPACING, j * LATTICE_SPACING, k * LATTICE_SPACING);
}

}  // namespace

bool WriteLatticeXyz(const std::string& path, int nx, int ny, int nz) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) return false;
    std::fprintf(out, "%d\nlattice of carbon, oxygen and hydrogen, 1.4 angstrom spacing\n", nx * ny * nz);
    ForEachLatticeAtom(nx, ny, nz, [&](int, const char* element, double x, double y, double z) {
        std::fprintf(out, "%s %.4f %.4f %.4f\n", element, x, y, z);
    });
    const bool failed = std::ferror(out) != 0;
    return std::fclose(out) == 0 && !failed;
}

bool WriteLatticePdb(const std::string& path, int nx, int ny, int nz) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) return false;
    std::fprintf(out, "TITLE     LATTICE OF CARBON, OXYGEN AND HYDROGEN\n");
    ForEachLatticeAtom(nx, ny, nz, [&](int index, const char* element, double x, double y, double z) {
        std::fprintf(out, "ATOM  %5d  %-3s LAT A%4d    %8.3f%8.3f%8.3f  1.00  0.00          %2s\n",
                     (index + 1) % 100000, element, (index / 10) % 10000 + 1, x, y, z, element);
    });
    std::fprintf(out, "END\n");
    const bool failed = std::ferror(out) != 0;
    return std::fclose(out) == 0 && !failed;
}

long FileSize(const std::string& path) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    std::fseek(in, 0, SEEK_END);
    const long size = std::ftell(in);
    std::fclose(in);
    return size;
}

}  // namespace zelvor::bench
