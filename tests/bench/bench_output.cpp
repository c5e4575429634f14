// The benchmark's output and its mirror in the progress file.
#include "tests/bench/bench_output.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "platform/win32/win32_api.h"

namespace tessaly::bench {
namespace {

// The progress file, opened for appending on first use; null when none is asked for.
HANDLE ProgressFile() {
  static const HANDLE file = [] {
    wchar_t path[1024];
    const DWORD n = GetEnvironmentVariableW(L"TESSALY_BENCH_PROGRESS", path, 1024);
    if (n == 0 || n >= 1024) return HANDLE(nullptr);
    HANDLE h = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? HANDLE(nullptr) : h;
  }();
  return file;
}

}  // namespace

void Log(const char* format, ...) {
  char buffer[2048];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n <= 0) return;
  const DWORD length =
      n < static_cast<int>(sizeof buffer) ? static_cast<DWORD>(n) : sizeof buffer - 1;
  std::fwrite(buffer, 1, length, stdout);
  if (HANDLE file = ProgressFile()) {
    DWORD written = 0;
    WriteFile(file, buffer, length, &written, nullptr);
  }
}

std::string Str(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

void Fail(const std::string& message) {
  Log("bench: %s\n", message.c_str());
  std::exit(2);
}

}  // namespace tessaly::bench
