// The product catalog's benchmark (tessaly_bench.exe --catalog): 2,000 product keys in both
// registry views of the benchmark's own Wine root, scanned by CNiLibrary, listed by reg query and
// enumerated by the least Win32 code that reads the same keys and values.
#pragma once

namespace tessaly::bench {

// Makes the product keys when they are missing or incomplete, times the three measures over
// `rounds` rounds after a warm-up, checks what each of them found and prints the table. Returns
// the exit code; a failed check ends the program through Fail().
int RunCatalogBench(int rounds);

}  // namespace tessaly::bench
