// Change backups: before the product manager or the Libraries-tab page writes into the registry,
// the values it is about to change are saved into an archive beside the first-run backups, so
// that Preferences can undo that one change later.
//
// A change backup holds one registry archive per hive and view that the change touches, inside a
// `RegistryChange` element that also carries the capture time and a one-line description:
//
//   <RegistryChange>
//     <Description>Use for all Content library products: E:\Libraries</Description>
//     <LocalLoadTime>...</LocalLoadTime>
//     <UtcTime>...</UtcTime>
//     <RegistryArchive> Hive, RootSubkey, LocalLoadTime, Force32, Subkey ... </RegistryArchive>
//   </RegistryChange>
//
// Each archive is of the ordinary format, holding only the product keys and values the change
// writes, with three differences, for these files only:
// - a value's `type` is the registry's type number ("1"), so that every type comes back as it
//   was; files of earlier versions name it ("REG_SZ"), and those names are still read;
// - a value that did not exist before the change is `<Value name="..." absent="Yes"/>`, and
//   undoing the change deletes it;
// - what the change writes stands beside what was there: `writtenType`, `writtenSize` and
//   `written` (Base64), or `writtenAbsent="Yes"` for a change that deletes the value. Files of
//   earlier versions lack them; they are undone all the same, without the comparison.
// `UtcTime` is the capture time as a file time (8 bytes, Base64); files of earlier versions have
// only `LocalLoadTime`.
//
// Backup files are named Change-(counter)-(UTC time).xml: the counter, ten digits, is one more
// than the highest of the folder, so the order of the names is the order the backups were made
// whatever the clock did. Files of earlier versions, Change-(local date)-(time)-(n).xml, are
// older than every counted one, and among themselves in the order of their names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "registry_archive/first_run_backups.h"

namespace tessaly {

// How many change backups are kept; the oldest beyond that go once a new one was saved.
inline constexpr size_t kKeptChangeBackups = 50;

// A value's type and bytes as the registry holds them.
struct RegistryValueData {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  bool operator==(const RegistryValueData&) const = default;
};
// A REG_SZ value as the program writes text (UTF-16LE with its terminator), and a REG_DWORD.
RegistryValueData TextValueData(std::wstring_view text);
RegistryValueData DwordValueData(uint32_t number);

// One value a change is about to write. `keyPath` is relative to the hive and is a product key,
// one level below SOFTWARE\Native Instruments; `view32` chooses the 32-bit registry view.
// `written` is what the change writes there, or `deletes` when it removes the value; with
// neither, the backup does not record it and an undo cannot tell whether it changed since.
struct ChangedValue {
  RegRoot hive = RegRoot::LocalMachine;
  bool view32 = false;
  std::wstring keyPath;
  std::wstring valueName;
  std::optional<RegistryValueData> written = std::nullopt;
  bool deletes = false;
};

// Whether a save writes, and an undo accepts, the value `name` of a product key of `hive`: in
// HKEY_LOCAL_MACHINE the folder values the product manager changes, in HKEY_CURRENT_USER the
// Libraries-tab values of Kontakt.
bool IsChangeableValue(RegRoot hive, std::wstring_view name);
// Saves the present state of `values` (duplicates count once) with what the change writes into
// a new file (backup folder)\Change-(counter)-(UTC time).xml with `description`, then removes
// the oldest change backups beyond kKeptChangeBackups, never the file just written. A key that
// does not exist is left out (nothing can be written into it). Value names are compared without
// regard to case, as the registry does.
// Every type is kept by its number, whatever it is. Errors: 87 for a value that
// IsChangeableValue refuses or a key that is not a product key; the registry's error when a key
// or value cannot be read; the backup folder's error; 1359 when the file cannot be written. On any
// error no file is left behind, and the caller must not make the change.
[[nodiscard]] ErrorCode SaveChangeBackup(const BackupContext& context,
                                         std::wstring_view description,
                                         std::span<const ChangedValue> values,
                                         std::wstring* savedPath = nullptr) noexcept;

// What a page says when a change was not made because its backup could not be saved.
std::wstring ChangeBackupFailedMessage(ErrorCode error);

// A change backup as Preferences lists it.
struct ChangeBackupEntry {
  std::wstring path;
  std::wstring date;  // "date, time" in the user's formats, in the present local time
  std::wstring description;
};

// The change backups of the backup folder, newest first; files that cannot be read or carry no
// capture time are left out. 0 also when there are none; the backup folder's error, or the
// error of listing it, otherwise (`folder` then names it when it is known).
[[nodiscard]] ErrorCode ListChangeBackups(const BackupContext& context,
                                          std::vector<ChangeBackupEntry>& out,
                                          std::wstring* folder = nullptr) noexcept;

// What an undo would do, told before it is asked for.
struct UndoPreview {
  std::wstring description;
  // The values the change wrote that hold something else now, which the undo overwrites (or
  // deletes): "HKEY_LOCAL_MACHINE\SOFTWARE\Native Instruments\Strings\ContentDir", with
  // " (32-bit view)" for the 32-bit view of HKEY_LOCAL_MACHINE.
  std::vector<std::wstring> changedSince;
  // Values whose written state the backup does not record (files of earlier versions): whether
  // they changed since cannot be told.
  size_t notRecorded = 0;
};

struct UndoCounts {
  size_t restored = 0;  // values set back, or deleted because they did not exist before
  size_t failed = 0;
};

// Reads the change backup at `path` and compares the registry with what the change wrote.
// Errors as for UndoChangeBackup (before it writes anything).
[[nodiscard]] ErrorCode PreviewUndo(const BackupContext& context, std::wstring_view path,
                                    UndoPreview& preview, std::wstring* refused = nullptr) noexcept;

// Puts back every value of the change backup at `path`, after saving the values it is about to
// write as a change backup of its own ("Undo of: (description)"), so that the undo can be undone
// in turn (its path in `undoPath`). Errors, each with nothing written: 87 for an empty path, 2
// for a missing file, 1359 for a file that does not parse, is not a change backup, or holds
// anything a save does not write (another hive or key, a key below a product key, a value
// IsChangeableValue refuses, a type that is neither a 32-bit number nor a name earlier
// versions wrote, a size beyond its data): `refused` then says what; SaveChangeBackup's error when the undo's own
// backup cannot be saved. Otherwise 0, with the values that could not be put back counted in
// `counts.failed`.
[[nodiscard]] ErrorCode UndoChangeBackup(const BackupContext& context, std::wstring_view path,
                                         UndoCounts& counts, std::wstring* refused = nullptr,
                                         std::wstring* undoPath = nullptr) noexcept;

// The texts of the undo: its question (naming the settings it overwrites, or saying that an
// older backup cannot tell), the refusal of a backup, and a backup folder that cannot be read.
std::wstring UndoQuestion(const ChangeBackupEntry& backup, const UndoPreview& preview);
std::wstring UndoRefusedMessage(std::wstring_view path, ErrorCode error, std::wstring_view refused);
std::wstring BackupFolderUnreadableMessage(std::wstring_view folder, ErrorCode error);

}  // namespace tessaly
