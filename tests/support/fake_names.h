// Name comparison of the fakes: Windows compares registry and NTFS names after folding them to
// upper case with its Unicode table, not only A-Z. This covers ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic, which is all that tests use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly {

constexpr wchar_t UpcaseChar(wchar_t c) {
  const unsigned u = static_cast<unsigned>(c) & 0xFFFF;
  if (u >= 'a' && u <= 'z') return wchar_t(u - 32);
  if (u < 0xE0) return c;
  if (u <= 0xFE) return u == 0xF7 ? c : wchar_t(u - 32);
  if (u == 0xFF) return wchar_t(0x178);
  if (u >= 0x100 && u <= 0x17F) {
    // Pairs: upper at even codes up to U+0137 and from U+014A, at odd codes in between.
    if ((u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E))
      return (u % 2 == 0) ? wchar_t(u - 1) : c;
    if (u == 0x138 || u == 0x149 || u == 0x17F) return c;
    return (u % 2 == 1) ? wchar_t(u - 1) : c;
  }
  if (u >= 0x3B1 && u <= 0x3C9 && u != 0x3C2) return wchar_t(u - 32);
  if (u >= 0x430 && u <= 0x44F) return wchar_t(u - 32);
  if (u >= 0x450 && u <= 0x45F) return wchar_t(u - 80);
  return c;
}

inline int CompareUpcase(std::wstring_view a, std::wstring_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned ca = static_cast<unsigned>(UpcaseChar(a[i])) & 0xFFFF;
    const unsigned cb = static_cast<unsigned>(UpcaseChar(b[i])) & 0xFFFF;
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

inline bool EqualsUpcase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && CompareUpcase(a, b) == 0;
}

struct LessUpcaseFn {
  using is_transparent = void;
  bool operator()(std::wstring_view a, std::wstring_view b) const {
    return CompareUpcase(a, b) < 0;
  }
};

// 2024-03-05 12:00:00 UTC, the fakes' starting clock.
constexpr uint64_t kFakeEpoch = 133541136000000000ull;

}  // namespace tessaly
