// Whether two folder paths name one folder: each path brought to the form the file system finally
// gives it (links followed, names as on disk, "..", "/", trailing dots and spaces and short names
// resolved), so that no spelling lets a relocation copy a folder onto itself.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tessaly {

// The path as Win32 reads it, without asking the file system: "/" as "\", doubled backslashes
// collapsed, "." and ".." resolved, trailing dots and spaces of each name dropped, no trailing
// backslash but on a root. A "\\?\" path and a relative path are returned as they are.
std::wstring NormalisedPath(std::wstring_view path);

// The final path of the folder or file `path` names: its longest existing part as the file system
// finally names it (GetFinalPath), with the rest of the normalised path after it. Where the file
// system cannot tell, the normalised path.
std::wstring FinalForm(FileSystem& fs, std::wstring_view path);

// The refusal of a relocation whose target is its source, lies inside it or holds it, however the
// two are spelt; empty when they are apart. The texts begin as the folder page's own checks do.
std::wstring SameFolderRefusal(FileSystem& fs, const std::wstring& source,
                               const std::wstring& target);

// The place `path` names, its last name not followed if it is a link: the final form of the
// folder that holds it, then its own name as on disk (or as written when it is missing).
std::wstring PlaceForm(FileSystem& fs, std::wstring_view path);

// The path with each existing name as its folder lists it (a short name "STRING~1" becomes its
// long name "Strings"), links not followed; the names after the first missing one as written.
std::wstring LongForm(FileSystem& fs, std::wstring_view path);

// The first folder link on the way to `path`, `path` itself included (the root excepted), or
// empty when it passes through none.
std::wstring FirstLinkOnTheWay(FileSystem& fs, std::wstring_view path);

// True when two final forms are one folder or one lies inside the other, by whole names.
bool FoldersOverlap(const std::wstring& a, const std::wstring& b);

// True for a full path that Win32 reads as written: a drive letter and a backslash, or a UNC
// share, with no "/", "." or "..", doubled backslash, trailing dot or space, or "\\?\".
bool IsPlainFullPath(std::wstring_view path);

}  // namespace tessaly
