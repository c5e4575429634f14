// Text helpers shared by every subsystem: the A-Z-only case folding, UTF-16 byte conversion
// (wchar_t holds one UTF-16 code unit in both builds), and Windows path rules as pure functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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
  bool operator()(std::wstring_view a, std::wstring_view b) const { return CompareNoCase(a, b) < 0; }
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

// printf-style formatting into a wide string with Windows' conventions in both builds: "%s" takes
// a const wchar_t*, "%lu" (and %ld, %lx) a 32-bit value such as an ErrorCode.
std::wstring FormatText(const wchar_t* format, ...);

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
// The extension including its dot, or empty (PathFindExtension).
std::wstring_view Extension(std::wstring_view p);

}  // namespace path
}  // namespace tessaly
