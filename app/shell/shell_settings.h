// What the application shell's pages show and decide, read from and written to the settings, so
// that the pages receive their inputs and the program stores their decisions.
#pragma once

#include <string>

#include "app/settings/profile_store.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace tessaly {

// The Start page's inputs: the wizard last chosen and whether this is the user's first run.
struct StartPageInputs {
  int selection = 0;
  bool firstRun = true;
};
StartPageInputs LoadStartPage(CProfileStore& settings);
// What a closed Start page leaves behind: its selection, and FirstRun cleared for good.
void StoreStartPage(CProfileStore& settings, int selection);

// The Preferences dialog's fields.
struct PreferencesInputs {
  std::wstring host32;
  std::wstring host64;
  // "Backup created on: ..." when the first-run archive of the machine's keys can be dated;
  // empty otherwise, and Restore stays disabled.
  std::wstring backupDateLine;
};
PreferencesInputs LoadPreferences(CProfileStore& settings, Registry& registry, FileSystem& files,
                                  System& system);
// OK stores both hosts exactly as typed, empty ones too.
void StorePreferences(CProfileStore& settings, const std::wstring& host32,
                      const std::wstring& host64);

}  // namespace tessaly
