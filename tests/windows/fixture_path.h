// Where the Windows tier finds the fixture DLLs that the build made.
#pragma once

#include <string>

#include "platform/win32/win32_api.h"

namespace tessaly {

// The fixture DLLs' folder (a Unix path in TESSALY_FIXTURES) as a Windows path on drive Z:,
// joined with `name`; empty when the variable is not set.
inline std::wstring Fixture(const wchar_t* name) {
  wchar_t buffer[4096];
  const DWORD n = GetEnvironmentVariableW(L"TESSALY_FIXTURES", buffer, 4096);
  if (n == 0 || n >= 4096) return std::wstring();
  std::wstring path = L"Z:" + std::wstring(buffer, n);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path + L"\\" + name;
}

}  // namespace tessaly
