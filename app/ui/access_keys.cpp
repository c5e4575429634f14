// Access keys of control captions.
#include "app/ui/access_keys.h"

namespace tessaly {

std::wstring WithoutAccessKeys(std::wstring_view caption) {
  std::wstring shown;
  shown.reserve(caption.size());
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == L'&') {
      if (i + 1 < caption.size() && caption[i + 1] == L'&') shown += caption[++i];
      continue;
    }
    shown += caption[i];
  }
  return shown;
}

wchar_t AccessKeyOf(std::wstring_view caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != L'&') continue;
    if (caption[i + 1] == L'&') {
      ++i;
      continue;
    }
    const wchar_t key = caption[i + 1];
    return key >= L'a' && key <= L'z' ? static_cast<wchar_t>(key - L'a' + L'A') : key;
  }
  return 0;
}

std::wstring EscapeAccessKeys(std::wstring_view text) {
  std::wstring escaped;
  escaped.reserve(text.size());
  for (const wchar_t c : text) {
    if (c == L'&') escaped += L'&';
    escaped += c;
  }
  return escaped;
}

}  // namespace tessaly
