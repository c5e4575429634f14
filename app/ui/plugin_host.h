// Opening a plugin file in the user's plugin host: what to do for a file, decided from the
// settings and the file system, so the page only carries it out.
#pragma once

#include <string>
#include <string_view>

#include "app/settings/profile_store.h"
#include "platform/file_system.h"

namespace tessaly {

struct PluginHostLaunch {
  enum class Action {
    OfferPreferences,  // no usable host: ask `question` (Yes opens Preferences)
    Open,              // start `host` with `parameters`
  };
  Action action = Action::OfferPreferences;
  std::wstring question;
  std::wstring host;
  std::wstring parameters;  // the file path in double quotes
};

// The host of the platform (VstHost64 when `is64Bit`, else VstHost32) and what to do with it.
// A host path that names no file, or names a folder, counts as missing.
PluginHostLaunch PlanPluginHostLaunch(CProfileStore& profile, FileSystem& fs, bool is64Bit,
                                      std::wstring_view file);

}  // namespace tessaly
