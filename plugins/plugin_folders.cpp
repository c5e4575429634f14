// The duplicate finder's settings.
#include "plugins/plugin_folders.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/locations.h"
#include "platform/text.h"

namespace tessaly {

PluginFolderChoice LoadPluginFolderChoice(CProfileStore& settings, System& system,
                                          Registry& registry, FileSystem& files) {
  PluginFolderChoice choice;
  choice.is64BitWindows = system.Is64BitWindows();
  choice.platform =
      choice.is64BitWindows && settings.GetProfileInt(kSettingsSection, kSelectedPlatform, 0) == 1
          ? 1
          : 0;
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

namespace {

// The per-user plugin folders: %LOCALAPPDATA%\Programs\Common\VST3 and ...\CLAP, then each folder
// of CLAP_PATH (separated by ";", empty parts and surrounding spaces ignored), as named.
std::vector<std::wstring> PerUserFolders(System& system) {
  std::vector<std::wstring> folders;
  std::wstring localAppData;
  if (system.GetEnvironmentVariable(L"LOCALAPPDATA", localAppData) == err::Success &&
      !localAppData.empty()) {
    for (const wchar_t* sub : {L"VST3", L"CLAP"}) {
      std::wstring folder = localAppData;
      if (path::Append(folder, L"Programs\\Common", kPathCapacity) &&
          path::Append(folder, sub, kPathCapacity))
        folders.push_back(std::move(folder));
    }
  }
  std::wstring clapPath;
  if (system.GetEnvironmentVariable(L"CLAP_PATH", clapPath) == err::Success) {
    size_t start = 0;
    while (start <= clapPath.size()) {
      const size_t end = std::min(clapPath.find(L';', start), clapPath.size());
      std::wstring part = clapPath.substr(start, end - start);
      const size_t first = part.find_first_not_of(L' ');
      const size_t last = part.find_last_not_of(L' ');
      if (first != std::wstring::npos) {
        part = part.substr(first, last - first + 1);
        path::RemoveBackslash(part);
        if (part.size() < kPathCapacity) folders.push_back(std::move(part));
      }
      start = end + 1;
    }
  }
  return folders;
}

}  // namespace

unsigned AddModernFormatFolders(System& system, FileSystem& files, PluginFolderChoice& choice) {
  unsigned added = 0;
  const std::vector<std::wstring> perUser = PerUserFolders(system);
  for (const int platform : {0, 1}) {
    if (platform == 1 && !choice.is64BitWindows) break;
    std::wstring commonFiles;
    if (GetCommonFilesFolder(system, platform == 1, commonFiles) == err::Success) {
      for (const wchar_t* sub : {L"VST3", L"CLAP"}) {
        std::wstring folder = commonFiles;
        if (!path::Append(folder, sub, kPathCapacity) || !IsDirectory(files, folder)) continue;
        if (choice.FoldersOf(platform).Add(folder, false)) ++added;
      }
    }
    // A user's own plugins hold no platform in their folder's name: each list gets them.
    for (const std::wstring& folder : perUser) {
      if (IsDirectory(files, folder) && choice.FoldersOf(platform).Add(folder, false)) ++added;
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
  inputs.platform =
      static_cast<int>(settings.GetProfileInt(kSettingsSection, kSelectedPlatform, 0));
  inputs.modernFormats = settings.GetProfileInt(kSettingsSection, kSearchVst3Clap, 0) == 1;
  settings.ReadFolderList(inputs.platform != 0 ? kVstPaths64 : kVstPaths32, inputs.folders);
  return inputs;
}

}  // namespace tessaly
