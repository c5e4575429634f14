// Saving and restoring the demo machine's state that tests change.
#include "tests/e2e/demo_state.h"

#include "platform/win32/win32_api.h"

namespace tessaly::e2e {
namespace {

constexpr const wchar_t* kProducts = L"SOFTWARE\\Native Instruments";
constexpr const wchar_t* kUserValues[] = {L"UserListIndex", L"UserRemoved"};

}  // namespace

SavedLibrariesTab::SavedLibrariesTab() {
  HKEY products = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kProducts, 0, KEY_READ, &products) != ERROR_SUCCESS) return;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(products, i, name, &length, nullptr, nullptr, nullptr, nullptr)) break;
    for (const wchar_t* value : kUserValues) {
      DWORD number = 0, size = sizeof number;
      const bool present =
          RegGetValueW(products, name, value, RRF_RT_REG_DWORD, nullptr, &number, &size) == 0;
      values_.push_back({name, value, present, number});
    }
  }
  RegCloseKey(products);
}

SavedLibrariesTab::~SavedLibrariesTab() {
  for (const Value& v : values_) {
    const std::wstring key = std::wstring(kProducts) + L"\\" + v.key;
    if (v.present) {
      const DWORD number = v.number;
      RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), v.name.c_str(), REG_DWORD, &number,
                      sizeof number);
    } else {
      RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), v.name.c_str());
    }
  }
}

}  // namespace tessaly::e2e
