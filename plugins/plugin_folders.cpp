// The duplicate finder's settings.
#include "plugins/plugin_folders.h"

#include "platform/locations.h"

namespace tessaly {

PluginFolderChoice LoadPluginFolderChoice(CProfileStore& settings, System& system,
                                          Registry& registry, FileSystem& files) {
  PluginFolderChoice choice;
  choice.is64BitWindows = system.Is64BitWindows();
  choice.platform =
      choice.is64BitWindows && settings.GetProfileInt(kSettingsSection, kSelectedPlatform, 0) == 1 ? 1 : 0;
  auto load = [&](CSafeStringList& list, const wchar_t* name, bool want64) {
    if (settings.ReadFolderList(name, list) == 0) {
      list.Clear();
      GetDefaultVstFolders(system, registry, files, want64, list);
    }
  };
  load(choice.folders32, kVstPaths32, false);
  if (choice.is64BitWindows) load(choice.folders64, kVstPaths64, true);
  return choice;
}

void StorePluginFolderChoice(CProfileStore& settings, const PluginFolderChoice& choice) {
  settings.WriteProfileInt(kSettingsSection, kSelectedPlatform, choice.platform);
  settings.WriteFolderList(kVstPaths32, choice.folders32);
  if (choice.is64BitWindows) settings.WriteFolderList(kVstPaths64, choice.folders64);
}

DupeSearchInputs LoadDupeSearchInputs(CProfileStore& settings) {
  DupeSearchInputs inputs;
  inputs.platform = static_cast<int>(settings.GetProfileInt(kSettingsSection, kSelectedPlatform, 0));
  settings.ReadFolderList(inputs.platform != 0 ? kVstPaths64 : kVstPaths32, inputs.folders);
  return inputs;
}

}  // namespace tessaly
