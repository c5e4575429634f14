// FormatText's run-time half: a printf-style format applied to arguments whose kinds the
// compiler has already checked against it.
#include "platform/text.h"

namespace tessaly {

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
    magnitude = negative ? 0 - static_cast<uint64_t>(arg.signedValue)
                         : static_cast<uint64_t>(arg.signedValue);
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
  if (negative)
    prefix = L"-";
  else if (isSigned && c.plusSign)
    prefix = L"+";
  else if (isSigned && c.spaceSign)
    prefix = L" ";
  else if (c.alternate && base == 16 && magnitude != 0)
    prefix = c.type == L'X' ? L"0X" : L"0x";

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
    } else if (known && c.type != L's' &&
               (arg->kind == ArgKind::Signed || arg->kind == ArgKind::Unsigned)) {
      AppendInteger(out, c, *arg);
    } else {
      out.append(p - 1, c.end);
    }
    p = c.end;
  }
  return out;
}

}  // namespace format_text

}  // namespace tessaly
