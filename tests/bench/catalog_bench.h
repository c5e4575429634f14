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
// reuses them); fails through Fail() when they cannot be made.
void EnsureCatalogKeys();

// Fails through Fail() unless `library` lists every product key made once, from the 64-bit view
// when it is there, with its type and content kinds.
void CheckCatalogProducts(const CNiLibrary& library);

// Makes the product keys when they are missing or incomplete, times the three measures over
// `rounds` rounds after a warm-up, checks what each of them found and prints the table. Returns
// the exit code; a failed check ends the program through Fail().
int RunCatalogBench(int rounds);

}  // namespace tessaly::bench
