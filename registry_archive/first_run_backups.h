// The first-run backups: archives of the Native Instruments keys made the first time the program
// runs for a user, recorded in the settings, and written back on request.
#pragma once

#include <string>
#include <string_view>

#include "app/settings/profile_store.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace tessaly {

// The platform objects and settings the backups work with.
struct BackupContext {
  Registry& registry;
  FileSystem& fs;
  System& system;
  CProfileStore& profile;
};

// The operations below never throw: whatever fails inside them, an allocation included, is
// 1359 from the operation (or, where it returns nothing, a backup or restore that did not happen).

// (Documents)\Quillmoor\Tessaly Documents, each folder created if missing, the documents folder
// included. 1359 when the documents folder is unknown or cannot be created or the path grows too
// long, otherwise the error of creating the folders.
[[nodiscard]] ErrorCode GetBackupFolder(FileSystem& fs, System& system, std::wstring& out) noexcept;

// Captures SOFTWARE\Native Instruments of `hive` into (backup folder)\`name` and records the path
// in the settings value `name`. The first failing step's error; the value is written only after
// the file was saved.
[[nodiscard]] ErrorCode MakeFirstRunBackup(const BackupContext& context, RegRoot hive,
                                           bool force32Bit, std::wstring_view name) noexcept;

// HKLM (default view), HKLM (32-bit view, only on 64-bit Windows) and HKCU, each whatever the
// others' results.
void MakeFirstRunBackups(const BackupContext& context) noexcept;

// Loads the archive whose path the settings value `name` holds and restores it: the error of
// loading (87 when no path is recorded, 2 when the file is gone) or of restoring.
[[nodiscard]] ErrorCode RestoreBackup(const BackupContext& context,
                                      std::wstring_view name) noexcept;

// Restores the archives MakeFirstRunBackups made, ignoring their results.
void RestoreFirstRunBackups(const BackupContext& context) noexcept;

}  // namespace tessaly
