// The relocation engine's benchmark (tessaly_bench.exe --relocate <measure>): 1 GB in 10,000 files
// of mixed sizes under C:\bench\relocate\Library, made once, copied by the engine and by the
// system's own copy commands. scripts/bench.sh --relocate runs one measure per call, in rounds,
// beside cp -r on the Linux side of the same disk, and prints the table.
#pragma once

#include <string>

namespace tessaly::bench {

// `measure`: "make" (the content, when it is missing or incomplete), "engine", "engine-sent",
// "engine-buffered", "xcopy" or "robocopy"; the diagnostics "plain", "plain-nobuffering" and
// "engine-nocopy" (relocate_bench.cpp says what each does). A copy goes to
// C:\bench\relocate\target\Library, which must not exist; it is checked against the source
// afterwards and left for the script to remove. Prints "ms <copy phase>" (and for the engine
// "run-ms <whole run>") as its last lines. Returns the exit code: 3 when the measure's tool does
// not work on this system (an "unavailable: <reason>" line says why); failures end through Fail().
int RunRelocateBench(const std::wstring& measure);

}  // namespace tessaly::bench
