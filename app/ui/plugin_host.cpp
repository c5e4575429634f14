// Choosing between opening a plugin in its host and offering Preferences.
#include "app/ui/plugin_host.h"

#include "platform/file_ops.h"
#include "platform/text.h"

namespace tessaly {

PluginHostLaunch PlanPluginHostLaunch(CProfileStore& profile, FileSystem& fs, bool is64Bit,
                                      std::wstring_view file) {
  PluginHostLaunch plan;
  plan.host = profile.GetProfileString(kSettingsSection, is64Bit ? kVstHost64 : kVstHost32, L"");
  if (plan.host.empty()) {
    plan.question = L"No plugin host path configured. Would you like to set one up in Preferences?";
    return plan;
  }
  FindData found;
  if (!PathExists(fs, plan.host, &found) || (found.attributes & attr::Directory) != 0) {
    plan.question = FormatText(L"Unable to find host %s. Would you like to check your preferences?",
                               plan.host.c_str());
    return plan;
  }
  plan.action = PluginHostLaunch::Action::Open;
  plan.parameters = L"\"" + std::wstring(file) + L"\"";
  return plan;
}

}  // namespace tessaly
