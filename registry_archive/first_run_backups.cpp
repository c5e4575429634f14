// The first-run backups of the Native Instruments keys and their restore.
//
// Every operation here is a boundary: whatever throws below it (an allocation that fails, above
// all) becomes 1359 from the operation, or is contained per archive where the operation returns
// nothing, so that the Start page and the Preferences dialog never see an exception.
#include "registry_archive/first_run_backups.h"

#include "platform/file_ops.h"
#include "platform/text.h"  // path::Append
#include "registry_archive/registry_archive.h"

namespace tessaly {

namespace {

constexpr size_t kMaxPath = 260;

// A system that cannot tell counts as 32-bit Windows: the default-view archives are made and
// restored in any case.
bool RunsOn64BitWindows(System& system) noexcept {
  try {
    return system.Is64BitWindows();
  } catch (...) {
    return false;
  }
}

}  // namespace

ErrorCode GetBackupFolder(FileSystem& fs, System& system, std::wstring& out) noexcept {
  try {
    // A user whose Documents folder does not exist yet (a new profile, or one deleted by hand)
    // still gets the backups: the shell creates it, as it does for any program that saves there.
    std::wstring folder;
    if (system.GetSpecialFolder(csidl::Personal | csidl::FlagCreate, folder) != err::Success ||
        folder.empty())
      return err::InternalError;
    if (!path::Append(folder, L"Quillmoor", kMaxPath) ||
        !path::Append(folder, L"Tessaly Documents", kMaxPath))
      return err::InternalError;
    if (const ErrorCode made = CreateDirectoryTree(fs, folder); made != err::Success) return made;
    out = std::move(folder);
    return err::Success;
  } catch (...) {
    return err::InternalError;
  }
}

ErrorCode MakeFirstRunBackup(const BackupContext& context, RegRoot hive, bool force32Bit,
                             std::wstring_view name) noexcept {
  try {
    CRegistryArchive archive(context.registry, context.fs, context.system, hive, force32Bit);
    if (const ErrorCode captured = archive.Capture(); captured != err::Success) return captured;
    std::wstring folder;
    if (const ErrorCode found = GetBackupFolder(context.fs, context.system, folder);
        found != err::Success)
      return found;
    const std::wstring path = folder + L"\\" + std::wstring(name);
    if (const ErrorCode saved = archive.Save(path); saved != err::Success) return saved;
    if (!context.profile.WriteProfileString(kSettingsSection, name, path))
      return err::InternalError;
    return err::Success;
  } catch (...) {
    // Thrown before the settings value was written: the backup stays unrecorded.
    return err::InternalError;
  }
}

void MakeFirstRunBackups(const BackupContext& context) noexcept {
  // Each backup contains its own failures, so one that fails does not keep the next from running;
  // a backup that failed is simply not recorded.
  (void)MakeFirstRunBackup(context, RegRoot::LocalMachine, false, kBackupHklmDefault);
  if (RunsOn64BitWindows(context.system))
    (void)MakeFirstRunBackup(context, RegRoot::LocalMachine, true, kBackupHklm32Bit);
  (void)MakeFirstRunBackup(context, RegRoot::CurrentUser, false, kBackupHkcuDefault);
}

ErrorCode RestoreBackup(const BackupContext& context, std::wstring_view name) noexcept {
  try {
    const std::wstring path = context.profile.GetProfileString(kSettingsSection, name, nullptr);
    CRegistryArchive archive(context.registry, context.fs, context.system);
    if (const ErrorCode loaded = archive.Load(path); loaded != err::Success) return loaded;
    return archive.Restore();
  } catch (...) {
    return err::InternalError;
  }
}

void RestoreFirstRunBackups(const BackupContext& context) noexcept {
  // Each archive is restored whatever the others' results; the caller asks nothing of them.
  (void)RestoreBackup(context, kBackupHklmDefault);
  if (RunsOn64BitWindows(context.system)) (void)RestoreBackup(context, kBackupHklm32Bit);
  (void)RestoreBackup(context, kBackupHkcuDefault);
}

}  // namespace tessaly
