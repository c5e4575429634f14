// The benchmark's output: printed, and mirrored line by line into the file that
// TESSALY_BENCH_PROGRESS names (a Windows path), which scripts/bench.sh shows while the benchmark
// runs, since Wine's output reaches the terminal only when the program ends.
#pragma once

#include <string>

namespace tessaly::bench {

// printf to stdout and to the progress file.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
// printf into a std::string.
std::string Str(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Reports the failure and ends the benchmark with exit code 2.
[[noreturn]] void Fail(const std::string& message);

}  // namespace tessaly::bench
