// The duplicate finder's settings: the plugin platform to search for and the folders to search,
// one list per platform, as the plugin folders page receives and leaves them and as the finder
// reads them.
#pragma once

#include "app/settings/profile_store.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/safe_lists.h"
#include "platform/system.h"

namespace tessaly {

inline constexpr const wchar_t* kSelectedPlatform = L"SelectedPlatform";
inline constexpr const wchar_t* kVstPaths32 = L"VstPaths32";
inline constexpr const wchar_t* kVstPaths64 = L"VstPaths64";
// 1 when the search also looks for VST3 and CLAP plugins; anything else (or nothing) is off.
inline constexpr const wchar_t* kSearchVst3Clap = L"SearchVst3Clap";

// What the plugin folders page shows and what it decided.
struct PluginFolderChoice {
  bool is64BitWindows = false;
  int platform = 0;            // 0 = 32-bit plugin files, 1 = 64-bit
  bool modernFormats = false;  // also VST3 and CLAP plugins
  CSafeStringList folders32;
  CSafeStringList folders64;  // used only on 64-bit Windows

  CSafeStringList& FoldersOf(int which) { return which == 1 ? folders64 : folders32; }
};

// The stored platform (anything but 1 reads as 0; always 0 on 32-bit Windows) and the stored
// folder lists; a platform without stored folders gets the default plugin folders instead.
PluginFolderChoice LoadPluginFolderChoice(CProfileStore& settings, System& system,
                                          Registry& registry, FileSystem& files);
// Adds the common-files "VST3" and "CLAP" folders of each platform (the 64-bit ones only on
// 64-bit Windows) that exist to that platform's list, after what it holds, then the per-user
// folders that exist to each list: %LOCALAPPDATA%\Programs\Common\VST3 and ...\CLAP, and the
// folders of the CLAP_PATH variable. Folders listed already are not added again. Returns how many
// were added.
unsigned AddModernFormatFolders(System& system, FileSystem& files, PluginFolderChoice& choice);

// Stores the platform, the VST3 and CLAP choice and the folder lists (the 64-bit list only on 64-bit Windows). A list too
// long to store leaves the stored one in place.
void StorePluginFolderChoice(CProfileStore& settings, const PluginFolderChoice& choice);

// What the duplicate finder searches: the stored platform and its stored folders (no defaults).
struct DupeSearchInputs {
  int platform = 0;
  bool modernFormats = false;
  CSafeStringList folders;
};
DupeSearchInputs LoadDupeSearchInputs(CProfileStore& settings);

}  // namespace tessaly
