// The file database (FileDatabase.xml beside the program): whether the stored path names it.
#pragma once

#include <string_view>

#include "app/settings/profile_store.h"
#include "platform/file_system.h"
#include "platform/types.h"

namespace tessaly {

inline constexpr const wchar_t* kFileDatabasePath = L"FileDatabasePath";
inline constexpr const wchar_t* kDefaultFileDatabasePath = L"FileDatabase.xml";

// Checks `path`, or the setting FileDatabasePath when `path` is null (default
// "FileDatabase.xml", relative to the current folder): 2 when nothing exists there; otherwise
// stores the path as FileDatabasePath and returns 0, or 1359 when the setting cannot be written.
ErrorCode CheckFileDatabase(CProfileStore& profile, FileSystem& fs, const wchar_t* path);

}  // namespace tessaly
