// Case folding, UTF-16 conversion and the Windows path rules.
#include "platform/text.h"


namespace tessaly {

int CompareNoCase(std::wstring_view a, std::wstring_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const wchar_t ca = FoldCase(a[i]);
    const wchar_t cb = FoldCase(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && CompareNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

bool EndsWithNoCase(std::wstring_view text, std::wstring_view suffix) {
  return text.size() >= suffix.size() &&
         CompareNoCase(text.substr(text.size() - suffix.size()), suffix) == 0;
}

bool LessNoCase(const std::wstring& a, const std::wstring& b) { return CompareNoCase(a, b) < 0; }

std::vector<uint8_t> ToUtf16Bytes(std::wstring_view text, bool withTerminator) {
  std::vector<uint8_t> bytes;
  bytes.reserve((text.size() + 1) * 2);
  for (wchar_t c : text) {
    const uint32_t u = static_cast<uint32_t>(c) & 0xFFFF;
    bytes.push_back(static_cast<uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  if (withTerminator) {
    bytes.push_back(0);
    bytes.push_back(0);
  }
  return bytes;
}

std::wstring FromUtf16Bytes(const uint8_t* data, size_t size) {
  std::wstring text;
  if (!data) return text;
  text.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2) {
    const wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = static_cast<uint32_t>(text[i]) & 0xFFFF;
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
      const uint32_t lo = static_cast<uint32_t>(text[i + 1]) & 0xFFFF;
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        ++i;
      } else {
        cp = 0xFFFD;
      }
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::wstring FromUtf8(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const uint8_t b = static_cast<uint8_t>(text[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      len = 4;
    }
    if (len > 1) {
      if (i + len > text.size()) {
        len = 1;
      } else {
        uint32_t v = b & (0x7F >> len);
        bool ok = true;
        for (size_t k = 1; k < len; ++k) {
          const uint8_t c = static_cast<uint8_t>(text[i + k]);
          if ((c & 0xC0) != 0x80) { ok = false; break; }
          v = (v << 6) | (c & 0x3F);
        }
        static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (ok && v >= kMin[len] && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
          cp = v;
        } else {
          len = 1;
        }
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(cp));
    }
    i += len;
  }
  return out;
}

namespace format_text {
namespace {

void Pad(std::wstring& out, size_t width, size_t used, wchar_t fill) {
  if (width > used) out.append(width - used, fill);
}

void AppendText(std::wstring& out, const Conversion& c, const Arg& arg) {
  std::wstring_view text = arg.textIsNull ? std::wstring_view(L"(null)") : arg.text;
  if (c.hasPrecision && text.size() > c.precision) text = text.substr(0, c.precision);
  if (!c.leftAlign) Pad(out, c.width, text.size(), L' ');
  out.append(text);
  if (c.leftAlign) Pad(out, c.width, text.size(), L' ');
}

void AppendInteger(std::wstring& out, const Conversion& c, const Arg& arg) {
  const bool isSigned = c.type == L'd' || c.type == L'i';
  bool negative = false;
  uint64_t magnitude = arg.unsignedValue;
  if (arg.kind == ArgKind::Signed) {
    negative = arg.signedValue < 0;
    // Negating in unsigned arithmetic keeps the most negative value exact.
    magnitude = negative ? 0 - static_cast<uint64_t>(arg.signedValue) : static_cast<uint64_t>(arg.signedValue);
  }

  const unsigned base = (c.type == L'x' || c.type == L'X') ? 16 : 10;
  const wchar_t* digitChars = c.type == L'X' ? L"0123456789ABCDEF" : L"0123456789abcdef";
  wchar_t buffer[24];
  size_t n = 0;
  for (uint64_t v = magnitude; v != 0; v /= base) buffer[n++] = digitChars[v % base];
  // printf writes no digit for a zero with a precision of zero, and at least one otherwise.
  if (n == 0 && !(c.hasPrecision && c.precision == 0)) buffer[n++] = L'0';
  const size_t digits = c.hasPrecision && c.precision > n ? c.precision : n;

  std::wstring_view prefix;
  if (negative) prefix = L"-";
  else if (isSigned && c.plusSign) prefix = L"+";
  else if (isSigned && c.spaceSign) prefix = L" ";
  else if (c.alternate && base == 16 && magnitude != 0) prefix = c.type == L'X' ? L"0X" : L"0x";

  const size_t used = prefix.size() + digits;
  const bool zeroFill = c.zeroPad && !c.leftAlign && !c.hasPrecision;
  if (!c.leftAlign && !zeroFill) Pad(out, c.width, used, L' ');
  out.append(prefix);
  if (zeroFill) Pad(out, c.width, used, L'0');
  out.append(digits - n, L'0');
  while (n != 0) out += buffer[--n];
  if (c.leftAlign) Pad(out, c.width, used, L' ');
}

}  // namespace

std::wstring Format(const wchar_t* format, const Arg* args, size_t count) {
  std::wstring out;
  size_t next = 0;
  for (const wchar_t* p = format; *p;) {
    const wchar_t* start = p;
    while (*p && *p != L'%') ++p;
    out.append(start, p);
    if (!*p) break;
    ++p;
    if (*p == L'%') {
      out += L'%';
      ++p;
      continue;
    }
    const Conversion c = ReadConversion(p);
    // The compile-time check has matched every conversion with an argument of its kind; should
    // an unchecked format get here anyway, what does not match is written as it stands.
    const bool known = c.type != 0 && next < count;
    const Arg* arg = known ? &args[next++] : nullptr;
    if (known && c.type == L's' && arg->kind == ArgKind::Text) {
      AppendText(out, c, *arg);
    } else if (known && c.type != L's' && (arg->kind == ArgKind::Signed || arg->kind == ArgKind::Unsigned)) {
      AppendInteger(out, c, *arg);
    } else {
      out.append(p - 1, c.end);
    }
    p = c.end;
  }
  return out;
}

}  // namespace format_text

namespace path {

bool IsDriveSpec(std::wstring_view p) {
  return p.size() == 2 && p[1] == L':' &&
         ((p[0] >= L'A' && p[0] <= L'Z') || (p[0] >= L'a' && p[0] <= L'z'));
}

namespace {
// Length of the root of `p`: 3 for "C:\", 2 for "C:", 1 for "\", the "\\server\share" part of a
// UNC path (without the backslash after it), 0 for a relative path.
size_t RootLength(std::wstring_view p) {
  if (p.size() >= 2 && p[0] == L'\\' && p[1] == L'\\') {
    size_t server = p.find(L'\\', 2);
    if (server == std::wstring_view::npos) return p.size();
    size_t share = p.find(L'\\', server + 1);
    return share == std::wstring_view::npos ? p.size() : share;
  }
  if (p.size() >= 2 && IsDriveSpec(p.substr(0, 2))) return (p.size() >= 3 && p[2] == L'\\') ? 3 : 2;
  if (!p.empty() && p[0] == L'\\') return 1;
  return 0;
}
}  // namespace

bool IsRoot(std::wstring_view p) {
  if (p.empty()) return false;
  if (p == L"\\") return true;
  if (p.size() == 3 && IsDriveSpec(p.substr(0, 2)) && p[2] == L'\\') return true;
  if (p.size() >= 2 && p[0] == L'\\' && p[1] == L'\\') {
    // "\\server", "\\server\share" or "\\server\share\"
    size_t server = p.find(L'\\', 2);
    if (server == std::wstring_view::npos) return p.size() > 2;
    size_t share = p.find(L'\\', server + 1);
    return share == std::wstring_view::npos || share == p.size() - 1;
  }
  return false;
}

bool Append(std::wstring& p, std::wstring_view part, size_t capacity) {
  while (!part.empty() && part.front() == L'\\') part.remove_prefix(1);
  const bool needSlash = !p.empty() && p.back() != L'\\' && !part.empty();
  const size_t length = p.size() + (needSlash ? 1 : 0) + part.size();
  if (length + 1 > capacity) return false;
  if (needSlash) p.push_back(L'\\');
  p.append(part);
  return true;
}

void RemoveBackslash(std::wstring& p) {
  if (!p.empty() && p.back() == L'\\' && !IsRoot(p)) p.pop_back();
}

void RemoveTrailingBackslashes(std::wstring& p) {
  while (!p.empty() && p.back() == L'\\') {
    if (p.size() == 3 && IsDriveSpec(std::wstring_view(p).substr(0, 2))) return;
    p.pop_back();
  }
}

size_t FindFileName(std::wstring_view p) {
  size_t pos = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    if ((p[i] == L'\\' || p[i] == L':') && i + 1 < p.size() && p[i + 1] != L'\\') pos = i + 1;
  }
  return pos;
}

bool RemoveFileSpec(std::wstring& p) {
  const size_t root = RootLength(p);
  if (p.size() <= root) return false;
  const size_t cut = p.rfind(L'\\');
  p.resize(cut == std::wstring::npos || cut < root ? root : cut);
  return true;
}

bool StripToRoot(std::wstring& p) {
  const size_t root = RootLength(p);
  if (root == 0) return false;
  p.resize(root);
  return true;
}

size_t CommonPrefix(std::wstring_view a, std::wstring_view b) {
  // Whole components only: the prefix ends at a backslash (or the end) in both texts.
  size_t common = 0;
  size_t i = 0;
  const size_t rootA = RootLength(a);
  for (;; ++i) {
    const bool endA = i == a.size(), endB = i == b.size();
    const bool sepA = endA || a[i] == L'\\';
    const bool sepB = endB || b[i] == L'\\';
    if (sepA && sepB) {
      common = i;
      // A drive root keeps its backslash ("C:\" of "C:\a" and "C:\b").
      if (!endA && !endB && i + 1 == rootA) common = i + 1;
      if (endA || endB) break;
      continue;
    }
    if (endA || endB || FoldCase(a[i]) != FoldCase(b[i])) break;
  }
  return common;
}

bool IsWithin(std::wstring_view inner, std::wstring_view outer) {
  return !outer.empty() && CommonPrefix(inner, outer) >= outer.size();
}

std::wstring_view Extension(std::wstring_view p) {
  const size_t name = FindFileName(p);
  const size_t dot = p.rfind(L'.');
  if (dot == std::wstring_view::npos || dot < name) return std::wstring_view();
  return p.substr(dot);
}

}  // namespace path
}  // namespace tessaly
