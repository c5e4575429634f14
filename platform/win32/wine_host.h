// Wine: whether the program runs under it, a Windows path as the host sees it and back, and the
// host's own commands, through which folder links are made and removed where Wine's kernel32
// cannot (its CreateSymbolicLinkW makes nothing, and every Win32 delete or rename of a host link
// acts on the link's target). None of this is used on Windows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace tessaly::wine {

// True when ntdll exports wine_get_version.
bool RunsUnderWine();

// The host path of a Windows path (wine_get_unix_file_name), as wide text in the host's code
// page. The path need not exist: folders missing at its end are appended as they are spelt.
// False outside Wine or when no part of the path maps to the host.
bool ToHostPath(std::wstring_view windowsPath, std::wstring& hostPath);

// The Windows path of a host path (wine_get_dos_file_name): "Z:\bin\sh" for "/bin/sh" when Z:
// is the host's root. False outside Wine.
bool ToWindowsPath(std::wstring_view hostPath, std::wstring& windowsPath);

// One argument of a command line as Wine splits it into the argv of a host program: always in
// double quotes, a quote as \", and backslashes doubled only where they come before a quote. So a
// name with spaces, quotes or a leading dash stays one argument, and never an option.
std::wstring QuoteArgument(std::wstring_view argument);

// Runs `script` with the host's /bin/sh, its arguments $1, $2, ... being `arguments` (never read
// as shell text), waits for it and gives its exit status in `status`. Wine starts a host program
// detached, with no process handle to wait on or ask for an exit code, so the script's status
// comes back through a file in the temporary folder that is written once the script has ended.
// Result: 0, CreateProcessW's error, or 1460 (timeout) when no status came within `timeoutMs`.
[[nodiscard]] ErrorCode RunHostScript(std::wstring_view script,
                                      const std::vector<std::wstring>& arguments, int& status,
                                      unsigned timeoutMs = 30000);

// A host symbolic link at `link` to the folder `target` (`ln -s`). The target must be an existing
// folder: Wine shows no link whose target is missing (3 then). 183 when `link` exists, 3 when its
// folder does not; 82 when the host command failed; 4390 when it reported success and no folder
// link is seen at `link`. Judged on disk after the command.
[[nodiscard]] ErrorCode MakeHostFolderLink(std::wstring_view link, std::wstring_view target);

// Removes the host symbolic link at `path` itself, never what it leads to (`rm` on the link, after
// the host confirmed that it is one). 0 when removed; 4390 when `path` is no host link (nothing
// is done then); 5 when the host command could not remove it.
[[nodiscard]] ErrorCode RemoveHostLink(std::wstring_view path);

// True when the host sees a symbolic link at `path` (one that leads nowhere included).
bool IsHostLink(std::wstring_view path);

}  // namespace tessaly::wine
