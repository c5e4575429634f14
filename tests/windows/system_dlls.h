// The system DLLs that the Windows tier reads beside its fixtures, and what they depend on: the
// test program's own bitness (a 32-bit process sees SysWOW64 under the name system32 unless
// redirection is off; a 64-bit one never is redirected) and whether the prefix has Wine's 32-bit
// DLLs at all (a prefix made where 32-bit code cannot run has an empty SysWOW64).
#pragma once

#include <string>
#include <vector>

#include "platform/win32/win32_api.h"

namespace tessaly {

constexpr bool k32BitProcess = sizeof(void*) == 4;

// The 32-bit system DLLs, when the prefix holds them.
inline std::vector<std::wstring> Wow64SystemDlls() {
  std::vector<std::wstring> dlls;
  for (const wchar_t* path :
       {L"C:\\windows\\syswow64\\kernel32.dll", L"C:\\windows\\syswow64\\user32.dll"}) {
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) dlls.push_back(path);
  }
  return dlls;
}

// Why a test leaves out the 32-bit system DLLs; checked once every other case has passed.
constexpr char kNoWow64SystemDlls[] =
    "C:\\windows\\syswow64 holds no 32-bit system DLLs: this prefix was made by Wine's 64-bit "
    "loader on a machine that cannot run 32-bit code (every other case passed)";

}  // namespace tessaly
