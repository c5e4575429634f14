// The Windows path rules: drive specs, roots, appending, file specs and common prefixes, with
// the shell's semantics and no look at the disk.
#include "platform/text.h"

namespace tessaly {

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
