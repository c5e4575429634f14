// Text values of the machine's registry, written and read directly through the Win32 calls, so
// that the code under test checks nothing about itself.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32_api.h"

namespace tessaly::testing {

// The key at `path` of `root` in `view` (KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0), made if missing;
// the caller closes it.
inline HKEY CreateRegistryKey(HKEY root, const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  return key;
}

inline void SetRegistryText(HKEY root, const std::wstring& path, REGSAM view, const wchar_t* name,
                            const std::wstring& text) {
  HKEY key = CreateRegistryKey(root, path, view);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           DWORD((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

// The text of a value, or "<error N>".
inline std::wstring GetRegistryText(HKEY root, const std::wstring& path, REGSAM view,
                                    const wchar_t* name) {
  HKEY key = nullptr;
  LONG e = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key);
  wchar_t buffer[512] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  if (e == ERROR_SUCCESS) {
    e = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
  }
  return e == ERROR_SUCCESS ? std::wstring(buffer) : L"<error " + std::to_wstring(e) + L">";
}

}  // namespace tessaly::testing
