// The product manager's benchmark (tessaly_bench.exe --products): the page through the real UI on
// the catalog benchmark's 2,000 product keys, beside the catalog engine alone and beside all of
// the page worker's work without the UI.
#pragma once

namespace tessaly::bench {

// Makes the product keys when they are missing or incomplete, checks what each measure found,
// times them over `rounds` rounds after a warm-up and prints the table. Returns the exit code; a
// failed check ends the program through Fail().
int RunProductsBench(int rounds);

// The scale run: the page's engine and the page at 1, 4 and 16 times the product keys (the
// catalog benchmark's keys made at each size in turn, its own made again at the end), the time per
// record at each size.
int RunProductsScale(int rounds);

}  // namespace tessaly::bench
