// The product catalog's benchmark (tessaly_bench.exe --catalog): 2,000 product keys in both
// registry views of the benchmark's own Wine root, scanned by CNiLibrary, listed by reg query and
// enumerated by the least Win32 code that reads the same keys and values.
#pragma once

namespace tessaly {
class CNiLibrary;
}

namespace tessaly::bench {

// The product keys the catalog's benchmark makes, in both views together.
inline constexpr int kCatalogProductKeys = 2000;

// Makes the product keys and catalog entries when they are missing or incomplete (otherwise
// reuses them), `times` times as many for the scale runs (a larger layout's keys deleted); fails
// through Fail() when they cannot be made.
void EnsureCatalogKeys(int times = 1);

// Fails through Fail() unless `library` lists every product key made once, from the 64-bit view
// when it is there, with its type and content kinds.
void CheckCatalogProducts(const CNiLibrary& library, int times = 1);

// Makes the product keys when they are missing or incomplete, times the three measures over
// `rounds` rounds after a warm-up, checks what each of them found and prints the table. Returns
// the exit code; a failed check ends the program through Fail().
int RunCatalogBench(int rounds);

// The scale run: the engine and the floor at 1, 4 and 16 times the product keys (each size made
// in turn, the benchmark's own keys made again at the end), the time per key at each size.
int RunCatalogScale(int rounds);

}  // namespace tessaly::bench
