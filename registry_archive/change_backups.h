// Change backups: before the product manager or the Libraries-tab page writes into the registry,
// the values it is about to change are saved into a dated archive beside the first-run backups,
// so that Preferences can undo that one change later.
//
// A change backup holds one registry archive per hive and view that the change touches, inside a
// `RegistryChange` element that also carries the capture time and a one-line description:
//
//   <RegistryChange>
//     <Description>Use for all Content library products: E:\Libraries</Description>
//     <LocalLoadTime>...</LocalLoadTime>
//     <RegistryArchive> Hive, RootSubkey, LocalLoadTime, Force32, Subkey ... </RegistryArchive>
//   </RegistryChange>
//
// Each archive is of the ordinary format, holding only the keys and values the change writes.
// One extension, for these files only: a value that did not exist before the change is recorded
// as `<Value name="..." absent="Yes"/>`, and undoing the change deletes it.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "registry_archive/first_run_backups.h"

namespace tessaly {

// How many change backups are kept; the oldest beyond that go once a new one was saved.
inline constexpr size_t kKeptChangeBackups = 50;

// One value a change is about to write. `keyPath` is relative to the hive and lies below
// SOFTWARE\Native Instruments; `view32` chooses the 32-bit registry view.
struct ChangedValue {
  RegRoot hive = RegRoot::LocalMachine;
  bool view32 = false;
  std::wstring keyPath;
  std::wstring valueName;
};

// Saves the present state of `values` (duplicates count once) into a new file
// (backup folder)\Change-(date)-(time)-(n).xml with `description`, then removes the oldest change
// backups beyond kKeptChangeBackups. A key that does not exist is left out (nothing can be
// written into it). Value names are compared without regard to case, as the registry does.
// Errors: 87 for a key outside SOFTWARE\Native Instruments or a hive other than
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER; the registry's error when a key or value cannot be
// read; the backup folder's error; 1359 when the file cannot be written. On any error no file is
// left behind, and the caller must not make the change.
ErrorCode SaveChangeBackup(const BackupContext& context, std::wstring_view description,
                           std::span<const ChangedValue> values,
                           std::wstring* savedPath = nullptr) noexcept;

// What a page says when a change was not made because its backup could not be saved.
std::wstring ChangeBackupFailedMessage(ErrorCode error);

// A change backup as Preferences lists it.
struct ChangeBackupEntry {
  std::wstring path;
  std::wstring date;         // "date, time" in the user's formats
  std::wstring description;
};

// The change backups of the backup folder, newest first; files that cannot be read or carry no
// capture time are left out. 0 also when there are none; the backup folder's error otherwise.
ErrorCode ListChangeBackups(const BackupContext& context,
                            std::vector<ChangeBackupEntry>& out) noexcept;

struct UndoCounts {
  size_t restored = 0;  // values set back, or deleted because they did not exist before
  size_t failed = 0;
};

// Puts back every value of the change backup at `path`. Errors, each with nothing written: 87 for
// an empty path, 2 for a missing file, 1359 for a file that does not parse, is not a change
// backup, or names a hive, key or value type outside what a change backup may hold. Otherwise
// 0, with the values that could not be put back counted in `counts.failed`.
ErrorCode UndoChangeBackup(const BackupContext& context, std::wstring_view path,
                           UndoCounts& counts) noexcept;

}  // namespace tessaly
