// The shell pages' settings.
#include "app/shell/shell_settings.h"

#include "platform/text.h"
#include "registry_archive/first_run_backups.h"
#include "registry_archive/registry_archive.h"

namespace tessaly {

StartPageInputs LoadStartPage(CProfileStore& settings) {
  StartPageInputs inputs;
  inputs.selection =
      static_cast<int>(settings.GetProfileInt(kSettingsSection, kWizardSelection, 0));
  inputs.firstRun = settings.GetProfileInt(kSettingsSection, kFirstRun, kDefaultFirstRun) != 0;
  return inputs;
}

void StoreStartPage(CProfileStore& settings, int selection) {
  settings.WriteProfileInt(kSettingsSection, kWizardSelection, selection);
  settings.WriteProfileInt(kSettingsSection, kFirstRun, 0);
}

PreferencesInputs LoadPreferences(CProfileStore& settings, Registry& registry, FileSystem& files,
                                  System& system) {
  PreferencesInputs inputs;
  inputs.host32 = settings.GetProfileString(kSettingsSection, kVstHost32, L"");
  inputs.host64 = settings.GetProfileString(kSettingsSection, kVstHost64, L"");
  const std::wstring archive = settings.GetProfileString(kSettingsSection, kBackupHklmDefault, L"");
  CRegistryArchive reader(registry, files, system);
  std::wstring date;
  if (reader.ReadArchiveDate(archive, date) == err::Success) {
    inputs.backupDateLine = FormatText(L"Backup created on: %s", date.c_str());
  }
  return inputs;
}

void StorePreferences(CProfileStore& settings, const std::wstring& host32,
                      const std::wstring& host64) {
  settings.WriteProfileString(kSettingsSection, kVstHost32, host32);
  settings.WriteProfileString(kSettingsSection, kVstHost64, host64);
}

}  // namespace tessaly
