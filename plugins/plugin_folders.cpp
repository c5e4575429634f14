// The duplicate finder's settings.
#include "plugins/plugin_folders.h"

#include "platform/file_ops.h"
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
  choice.modernFormats = settings.GetProfileInt(kSettingsSection, kSearchVst3Clap, 0) == 1;
  load(choice.folders32, kVstPaths32, false);
  if (choice.is64BitWindows) load(choice.folders64, kVstPaths64, true);
  return choice;
}

unsigned AddModernFormatFolders(System& system, FileSystem& files, PluginFolderChoice& choice) {
  unsigned added = 0;
  for (const int platform : {0, 1}) {
    if (platform == 1 && !choice.is64BitWindows) break;
    std::wstring commonFiles;
    if (GetCommonFilesFolder(system, platform == 1, commonFiles) != err::Success) continue;
    for (const wchar_t* sub : {L"VST3", L"CLAP"}) {
      std::wstring folder = commonFiles;
      if (!AppendPath(folder, sub, kPathCapacity) || !IsDirectory(files, folder)) continue;
      if (choice.FoldersOf(platform).Add(folder, false)) ++added;
    }
  }
  return added;
}

void StorePluginFolderChoice(CProfileStore& settings, const PluginFolderChoice& choice) {
  settings.WriteProfileInt(kSettingsSection, kSelectedPlatform, choice.platform);
  settings.WriteProfileInt(kSettingsSection, kSearchVst3Clap, choice.modernFormats ? 1 : 0);
  settings.WriteFolderList(kVstPaths32, choice.folders32);
  if (choice.is64BitWindows) settings.WriteFolderList(kVstPaths64, choice.folders64);
}

DupeSearchInputs LoadDupeSearchInputs(CProfileStore& settings) {
  DupeSearchInputs inputs;
  inputs.platform = static_cast<int>(settings.GetProfileInt(kSettingsSection, kSelectedPlatform, 0));
  inputs.modernFormats = settings.GetProfileInt(kSettingsSection, kSearchVst3Clap, 0) == 1;
  settings.ReadFolderList(inputs.platform != 0 ? kVstPaths64 : kVstPaths32, inputs.folders);
  return inputs;
}

}  // namespace tessaly
