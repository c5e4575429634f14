// A file's version resource read through the file-system interface, and the "FileVersion" text
// of its first translation.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/system.h"
#include "platform/types.h"
#include "platform/version_resource.h"

namespace tessaly {

// Reads the file's version resource (as GetFileVersionInfoW does) into `out`, which is emptied
// first. The caller decides about WOW64 redirection. 0; 1812 when the file has none (also for a
// file that is not a PE image); 574 when memory for it cannot be had (also when the file system
// reports 8 or 14 while reading); the file system's error (2 missing file, 3 missing folder, ...).
[[nodiscard]] ErrorCode ReadVersionResource(FileSystem& fs, std::wstring_view path,
                                            VersionResource& out);

// The text of the version value "FileVersion" of the file's first translation, read with WOW64
// file-system redirection off so that a path into the system folder reaches the 64-bit file.
// 21 for an empty path; the errors of ReadVersionResource; 1287 when the translation table is
// missing or empty; 1813 when the string is missing.
[[nodiscard]] ErrorCode GetFileVersionString(FileSystem& fs, System& system,
                                             const std::wstring& path, std::wstring& out);

}  // namespace tessaly
