// Whether two folder paths name one folder.
#include "relocation/folder_identity.h"

#include <vector>

#include "platform/text.h"

namespace tessaly {
namespace {

// The root of a normalised path and the names after it; false for a path without a root.
bool Split(const std::wstring& path, std::wstring& root, std::vector<std::wstring>& names) {
  size_t rest = 0;
  if (path.size() >= 2 && path[1] == L':') {
    root = path.substr(0, 2) + L"\\";
    rest = 2;
  } else if (path.rfind(L"\\\\", 0) == 0) {
    const size_t server = path.find(L'\\', 2);
    if (server == std::wstring::npos || server == 2) return false;
    size_t share = path.find(L'\\', server + 1);
    if (share == std::wstring::npos) share = path.size();
    if (share == server + 1) return false;
    root = path.substr(0, share);
    rest = share;
  } else {
    return false;
  }
  names.clear();
  while (rest < path.size()) {
    size_t end = path.find(L'\\', rest);
    if (end == std::wstring::npos) end = path.size();
    std::wstring name = path.substr(rest, end - rest);
    rest = end + 1;
    if (name.empty() || name == L".") continue;
    if (name == L"..") {
      if (!names.empty()) names.pop_back();
      continue;
    }
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
    if (!name.empty()) names.push_back(std::move(name));
  }
  return true;
}

std::wstring Join(std::wstring root, const std::vector<std::wstring>& names, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (root.back() != L'\\') root.push_back(L'\\');
    root += names[i];
  }
  return root;
}

}  // namespace

std::wstring NormalisedPath(std::wstring_view path) {
  std::wstring p(path);
  if (p.rfind(L"\\\\?\\", 0) == 0) return p;
  for (wchar_t& c : p) {
    if (c == L'/') c = L'\\';
  }
  std::wstring root;
  std::vector<std::wstring> names;
  if (!Split(p, root, names)) return std::wstring(path);
  return Join(root, names, names.size());
}

std::wstring FinalForm(FileSystem& fs, std::wstring_view path) {
  const std::wstring normal = NormalisedPath(path);
  std::wstring root;
  std::vector<std::wstring> names;
  if (!Split(normal, root, names)) return normal;
  // The longest part that exists, then the missing names after it as they were written.
  for (size_t kept = names.size() + 1; kept-- > 0;) {
    std::wstring final;
    const ErrorCode e = fs.GetFinalPath(Join(root, names, kept), final);
    if (e == err::Success) {
      std::wstring result = final;
      for (size_t i = kept; i < names.size(); ++i) path::Append(result, names[i], 32768);
      path::RemoveBackslash(result);
      return result;
    }
    if (e != err::FileNotFound && e != err::PathNotFound) break;  // the system cannot tell
  }
  return normal;
}

std::wstring SameFolderRefusal(FileSystem& fs, const std::wstring& source,
                               const std::wstring& target) {
  const std::wstring from = FinalForm(fs, source);
  const std::wstring to = FinalForm(fs, target);
  if (EqualsNoCase(from, to)) {
    return FormatText(L"Source and target paths cannot be the same: \"%s\" and \"%s\" are "
                      L"both the folder %s.",
                      source.c_str(), target.c_str(), from.c_str());
  }
  if (path::IsWithin(to, from)) {
    return FormatText(L"Target directory can't be inside source directory: \"%s\" is %s, which "
                      L"lies inside %s.",
                      target.c_str(), to.c_str(), from.c_str());
  }
  if (path::IsWithin(from, to)) {
    return FormatText(L"Source directory can't be inside target directory: \"%s\" is %s, which "
                      L"lies inside %s.",
                      source.c_str(), from.c_str(), to.c_str());
  }
  return {};
}

std::wstring PlaceForm(FileSystem& fs, std::wstring_view path) {
  const std::wstring normal = NormalisedPath(path);
  std::wstring root;
  std::vector<std::wstring> names;
  if (!Split(normal, root, names) || names.empty()) return FinalForm(fs, normal);
  std::wstring place = FinalForm(fs, Join(root, names, names.size() - 1));
  // The name as the listing of its folder gives it (its long name, in its case).
  std::wstring name = names.back();
  fs.FindFiles(normal, [&name](const FindData& entry) {
    name = entry.name;
    return false;
  });
  path::Append(place, name, 32768);
  return place;
}

namespace {

// Calls `visit` with each existing prefix of the normalised `path` below its root and the find
// data of its last name, until `visit` returns false or a name is missing; returns the names that
// were visited and the root.
template <class Visit>
size_t WalkPrefixes(FileSystem& fs, std::wstring_view path, std::wstring& root,
                    std::vector<std::wstring>& names, Visit visit) {
  const std::wstring normal = NormalisedPath(path);
  if (!Split(normal, root, names)) return 0;
  std::wstring prefix = root;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i].find_first_of(L"*?") != std::wstring::npos) return i;
    path::Append(prefix, names[i], 32768);
    bool found = false;
    FindData entry;
    fs.FindFiles(prefix, [&](const FindData& e) {
      found = true;
      entry = e;
      return false;
    });
    if (!found || !visit(i, prefix, entry)) return i;
  }
  return names.size();
}

}  // namespace

std::wstring LongForm(FileSystem& fs, std::wstring_view path) {
  std::wstring root;
  std::vector<std::wstring> names;
  WalkPrefixes(fs, path, root, names, [&names](size_t i, const std::wstring&, const FindData& e) {
    names[i] = e.name;
    return true;
  });
  if (root.empty()) return std::wstring(path);
  return Join(root, names, names.size());
}

std::wstring FirstLinkOnTheWay(FileSystem& fs, std::wstring_view path) {
  std::wstring root, link;
  std::vector<std::wstring> names;
  WalkPrefixes(fs, path, root, names,
               [&link](size_t, const std::wstring& prefix, const FindData& e) {
                 if (!e.IsReparsePoint()) return true;
                 link = prefix;
                 return false;
               });
  return link;
}

bool FoldersOverlap(const std::wstring& a, const std::wstring& b) {
  return EqualsNoCase(a, b) || path::IsWithin(a, b) || path::IsWithin(b, a);
}

bool IsPlainFullPath(std::wstring_view path) {
  const std::wstring p(path);
  std::wstring root;
  std::vector<std::wstring> names;
  if (p.rfind(L"\\\\?\\", 0) == 0 || p.find(L'/') != std::wstring::npos) return false;
  if (!Split(p, root, names)) return false;
  if (p.size() >= 2 && p[1] == L':' && (p.size() < 3 || p[2] != L'\\')) return false;
  return NormalisedPath(p) == p;
}

}  // namespace tessaly
