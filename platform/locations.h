// Where plugins and Native Instruments software live on this machine: the program-files and
// common-files folders of either platform, the Service Center folder and the default VST folders.
#pragma once

#include <string>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/safe_lists.h"
#include "platform/system.h"
#include "platform/types.h"

namespace tessaly {

// The program-files folder for 64-bit (`want64`) or 32-bit programs. 87 when a 64-bit folder is
// asked for on 32-bit Windows; 3 when the system cannot give the folder; the environment's error
// when neither variable of the 64-bit folder can be read.
[[nodiscard]] ErrorCode GetProgramFilesFolder(System& system, bool want64, std::wstring& out);
// As GetProgramFilesFolder, for the common-files folder.
[[nodiscard]] ErrorCode GetCommonFilesFolder(System& system, bool want64, std::wstring& out);

// The Service Center's InstallDir from the 64-bit registry view: the registry's error, 13 for a
// value that is not text, 234 for one longer than 520 bytes.
[[nodiscard]] ErrorCode GetServiceCenterFolder(Registry& registry, std::wstring& out);

// Clears `list` and fills it with the default VST plugin folders of the platform that exist,
// each once; returns how many were added.
unsigned GetDefaultVstFolders(System& system, Registry& registry, FileSystem& fs, bool want64,
                              CSafeStringList& list);

}  // namespace tessaly
