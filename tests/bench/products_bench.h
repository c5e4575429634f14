// The product manager's benchmark (tessaly_bench.exe --products): the page through the real UI on
// the catalog benchmark's 2,000 product keys, beside the catalog engine alone and beside all of
// the page worker's work without the UI.
#pragma once

namespace tessaly::bench {

// Makes the product keys when they are missing or incomplete, checks what each measure found,
// times them over `rounds` rounds after a warm-up and prints the table. Returns the exit code; a
// failed check ends the program through Fail().
int RunProductsBench(int rounds);

}  // namespace tessaly::bench
