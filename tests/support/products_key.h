// The products key of the registry, and the key of one product or library below it, as the tests
// build them for the fakes and the real registry.
#pragma once

#include <string>

#include "platform/ni_installation.h"

namespace tessaly::testing {

// "SOFTWARE\Native Instruments\<name>".
inline std::wstring ProductKey(const std::wstring& name) {
  return std::wstring(ni::kProductsKey) + L"\\" + name;
}

}  // namespace tessaly::testing
