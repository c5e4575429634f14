// Text helpers shared by every subsystem: the A-Z-only case folding, UTF-16 byte conversion
// (wchar_t holds one UTF-16 code unit in both builds), and Windows path rules as pure functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tessaly {

// Folds only the letters A-Z to a-z, like the run-time library's wide case-insensitive compare.
constexpr wchar_t FoldCase(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c; }

// <0, 0, >0 after folding A-Z; then compared by character code.
int CompareNoCase(std::wstring_view a, std::wstring_view b);
inline bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}
bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix);
bool EndsWithNoCase(std::wstring_view text, std::wstring_view suffix);

// True if `a` sorts before `b` without regard to case (the ordering of every keyed collection).
bool LessNoCase(const std::wstring& a, const std::wstring& b);
struct LessNoCaseFn {
  using is_transparent = void;
  bool operator()(std::wstring_view a, std::wstring_view b) const {
    return CompareNoCase(a, b) < 0;
  }
};

// UTF-16LE bytes <-> text. Registry REG_SZ data and file contents use these.
std::vector<uint8_t> ToUtf16Bytes(std::wstring_view text, bool withTerminator);
// Stops at the first NUL code unit; an odd trailing byte is ignored.
std::wstring FromUtf16Bytes(const uint8_t* data, size_t size);
inline std::wstring FromUtf16Bytes(const std::vector<uint8_t>& bytes) {
  return FromUtf16Bytes(bytes.data(), bytes.size());
}

// UTF-8 <-> UTF-16 text (XML files, the Linux side of tests). Invalid input is replaced by U+FFFD.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// printf-style formatting into a wide string, checked while compiling: see FormatText below.
namespace format_text {

// What one conversion of a format asks for, read from "%[flags][width][.precision][length]type".
struct Conversion {
  bool leftAlign = false;  // '-'
  bool plusSign = false;   // '+'
  bool spaceSign = false;  // ' '
  bool alternate = false;  // '#': 0x before a hexadecimal value
  bool zeroPad = false;    // '0'
  size_t width = 0;
  bool hasPrecision = false;
  size_t precision = 0;
  unsigned bits = 32;  // none or 'l': 32 bits as in Windows; "ll" or "I64": 64 bits
  wchar_t type = 0;    // 's', 'd', 'i', 'u', 'x', 'X'; 0 when the conversion is not one of those
  const wchar_t* end = nullptr;  // just past the conversion
};

// Reads the conversion whose '%' is just before `p` (which is not "%%").
constexpr Conversion ReadConversion(const wchar_t* p) {
  Conversion c;
  for (;; ++p) {
    if (*p == L'-')
      c.leftAlign = true;
    else if (*p == L'+')
      c.plusSign = true;
    else if (*p == L' ')
      c.spaceSign = true;
    else if (*p == L'#')
      c.alternate = true;
    else if (*p == L'0')
      c.zeroPad = true;
    else
      break;
  }
  for (; *p >= L'0' && *p <= L'9'; ++p) c.width = c.width * 10 + size_t(*p - L'0');
  if (*p == L'.') {
    c.hasPrecision = true;
    for (++p; *p >= L'0' && *p <= L'9'; ++p) c.precision = c.precision * 10 + size_t(*p - L'0');
  }
  if (p[0] == L'l' && p[1] == L'l') {
    c.bits = 64;
    p += 2;
  } else if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
    c.bits = 64;
    p += 3;
  } else if (p[0] == L'l') {
    p += 1;
  }
  switch (*p) {
    case L's':
    case L'd':
    case L'i':
    case L'u':
    case L'x':
    case L'X':
      c.type = *p;
      c.end = p + 1;
      break;
    default: c.end = *p ? p + 1 : p; break;
  }
  return c;
}

enum class ArgKind : unsigned char { Text, Signed, Unsigned, Unsupported };

// Text arguments are wide strings and views; integers are any integer type but bool and the
// character types, whose printing as a number is almost always a slip.
template <class T>
constexpr ArgKind KindOf() {
  using U = std::remove_cv_t<std::decay_t<T>>;
  if constexpr (std::is_same_v<U, std::wstring> || std::is_same_v<U, std::wstring_view> ||
                std::is_same_v<U, const wchar_t*> || std::is_same_v<U, wchar_t*>) {
    return ArgKind::Text;
  } else if constexpr (std::is_integral_v<U> && !std::is_same_v<U, bool> &&
                       !std::is_same_v<U, char> && !std::is_same_v<U, wchar_t> &&
                       !std::is_same_v<U, char8_t> && !std::is_same_v<U, char16_t> &&
                       !std::is_same_v<U, char32_t>) {
    return std::is_signed_v<U> ? ArgKind::Signed : ArgKind::Unsigned;
  } else {
    return ArgKind::Unsupported;
  }
}

template <class T>
concept Formattable = KindOf<T>()
!= ArgKind::Unsupported;

struct ArgType {
  ArgKind kind;
  size_t size;  // bytes of an integer
};

// Never defined: a call to one of these while checking a format makes the compiler stop and
// name the fault.
void TooFewArgumentsForFormat();
void TooManyArgumentsForFormat();
void UnsupportedConversionInFormat();
void TextConversionGivenNonText();
void IntegerConversionGivenNonInteger();
void UnsignedConversionGivenSignedInteger();
void IntegerWiderThanConversion();

// Every conversion is one of the supported ones and takes an argument of its kind: text for %s;
// for %d and %i a signed integer that fits, or an unsigned one strictly narrower; for %u, %x and
// %X an unsigned integer that fits. The arguments are all used.
constexpr void CheckFormat(const wchar_t* format, const ArgType* args, size_t count) {
  size_t next = 0;
  for (const wchar_t* p = format; *p;) {
    if (*p++ != L'%') continue;
    if (*p == L'%') {
      ++p;
      continue;
    }
    const Conversion c = ReadConversion(p);
    p = c.end;
    if (c.type == 0) UnsupportedConversionInFormat();
    if (next == count) TooFewArgumentsForFormat();
    const ArgType arg = args[next++];
    const size_t bytes = c.bits / 8;
    if (c.type == L's') {
      if (arg.kind != ArgKind::Text) TextConversionGivenNonText();
    } else if (arg.kind != ArgKind::Signed && arg.kind != ArgKind::Unsigned) {
      IntegerConversionGivenNonInteger();
    } else if (c.type == L'd' || c.type == L'i') {
      if (arg.kind == ArgKind::Signed ? arg.size > bytes : arg.size >= bytes)
        IntegerWiderThanConversion();
    } else {
      if (arg.kind == ArgKind::Signed) UnsignedConversionGivenSignedInteger();
      if (arg.size > bytes) IntegerWiderThanConversion();
    }
  }
  if (next != count) TooManyArgumentsForFormat();
}

// A format string literal checked against the types of the arguments that follow it.
template <class... Args>
class Checked {
 public:
  template <size_t N>
  consteval Checked(const wchar_t (&text)[N]) : text_(text) {
    const ArgType types[] = {{KindOf<Args>(), sizeof(std::decay_t<Args>)}...,
                             {ArgKind::Unsupported, 0}};
    CheckFormat(text, types, sizeof...(Args));
  }
  const wchar_t* Text() const { return text_; }

 private:
  const wchar_t* text_;
};

// One argument as the formatting reads it.
struct Arg {
  ArgKind kind = ArgKind::Unsupported;
  std::wstring_view text;
  bool textIsNull = false;
  int64_t signedValue = 0;
  uint64_t unsignedValue = 0;
};

template <class T>
Arg MakeArg(const T& value) {
  Arg a;
  a.kind = KindOf<T>();
  if constexpr (KindOf<T>() == ArgKind::Text) {
    if constexpr (std::is_array_v<T>) {
      a.text = std::wstring_view(value);
    } else if constexpr (std::is_pointer_v<T>) {
      a.textIsNull = value == nullptr;
      if (value) a.text = value;
    } else {
      a.text = value;
    }
  } else if constexpr (KindOf<T>() == ArgKind::Signed) {
    a.signedValue = value;
  } else {
    a.unsignedValue = value;
  }
  return a;
}

std::wstring Format(const wchar_t* format, const Arg* args, size_t count);

}  // namespace format_text

// Formats like printf into a wide string, with Windows' conventions in both builds: "%s" takes
// text (a const wchar_t*, std::wstring or std::wstring_view), "%d", "%u", "%x" and "%X" take a
// 32-bit integer with or without 'l' ("%lu" for an ErrorCode), 64 bits with "ll" or "I64". Flags
// '-', '+', ' ', '#', '0', a width and a precision are read as printf reads them; "%%" is a
// percent sign. The format must be a literal: it is checked against the arguments while
// compiling, and a conversion without a matching argument, an argument of another kind, an
// integer too wide for its conversion or an argument too many does not compile.
template <class... Args>
requires(format_text::Formattable<Args>&&...) std::wstring
    FormatText(format_text::Checked<std::type_identity_t<Args>...> format, const Args&... args) {
  const format_text::Arg list[] = {format_text::MakeArg(args)..., format_text::Arg{}};
  return format_text::Format(format.Text(), list, sizeof...(Args));
}

namespace path {

// "X:" with a letter.
bool IsDriveSpec(std::wstring_view p);
// "X:\", "\", "\\server\share" or "\\server\share\" (PathIsRoot).
bool IsRoot(std::wstring_view p);
// Appends `part` with exactly one backslash between (PathAppend without canonicalisation).
// Fails, leaving `p` unchanged, when the result with its terminator would exceed `capacity`.
bool Append(std::wstring& p, std::wstring_view part, size_t capacity);
// Removes one trailing backslash unless `p` is a root (PathRemoveBackslash).
void RemoveBackslash(std::wstring& p);
// Removes all trailing backslashes unless what remains is a drive root such as C:\ .
void RemoveTrailingBackslashes(std::wstring& p);
// Offset of the file name after the last backslash or drive colon (PathFindFileName).
size_t FindFileName(std::wstring_view p);
// Removes the last component and its backslash, keeping a root (PathRemoveFileSpec).
bool RemoveFileSpec(std::wstring& p);
// Keeps only the root: "C:\", "\\server\share" (PathStripToRoot). False if there is none.
bool StripToRoot(std::wstring& p);
// Length of the longest common prefix by whole components, compared without regard to case
// (PathCommonPrefix): "C:\a\b" and "c:\A\bc" share "C:\a" (4).
size_t CommonPrefix(std::wstring_view a, std::wstring_view b);
// True when `inner` is `outer` or lies inside it, by whole components without regard to case
// (so D:\Library does not lie in D:\Lib); false for an empty `outer`.
bool IsWithin(std::wstring_view inner, std::wstring_view outer);
// The extension including its dot, or empty (PathFindExtension).
std::wstring_view Extension(std::wstring_view p);

}  // namespace path
}  // namespace tessaly
