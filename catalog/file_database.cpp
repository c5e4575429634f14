// The file-database check that lets the product manager skip its locate page.
#include "catalog/file_database.h"

#include <string>

#include "platform/file_ops.h"

namespace tessaly {

ErrorCode CheckFileDatabase(CProfileStore& profile, FileSystem& fs, const wchar_t* path) {
  const std::wstring checked =
      path ? std::wstring(path)
           : profile.GetProfileString(kSettingsSection, kFileDatabasePath, kDefaultFileDatabasePath);
  if (checked.empty() || !PathExists(fs, checked)) return err::FileNotFound;
  return profile.WriteProfileString(kSettingsSection, kFileDatabasePath, checked) ? err::Success
                                                                                   : err::InternalError;
}

}  // namespace tessaly
