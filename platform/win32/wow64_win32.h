// 64-bit Windows from a 32-bit program: the WOW64 query, the file-system redirection scope,
// token privileges, directory symbolic links and the Vista version test.
#pragma once

#include "platform/win32/win32_api.h"

namespace tessaly {

// True if this process runs under WOW64, that is, on 64-bit Windows. `out`, if given, receives
// the same value. False where the system has no WOW64 query or the query fails.
bool IsWow64(bool* out = nullptr);

// True on 64-bit Windows, whatever the program's own bitness: a 64-bit process is there by
// definition; a 32-bit one asks IsWow64.
bool Is64BitWindows();

// Lets the calling thread see the 64-bit file system (system32 unredirected) until destroyed.
// Does nothing on 32-bit Windows, and in a 64-bit process, which is never redirected. Destroy on the thread that made it, in reverse order.
class CDisableFileRedirection {
 public:
  CDisableFileRedirection();
  virtual ~CDisableFileRedirection();
  CDisableFileRedirection(const CDisableFileRedirection&) = delete;
  CDisableFileRedirection& operator=(const CDisableFileRedirection&) = delete;

  bool IsDisabled() const { return disabled; }

 private:
  using DisableFunction = BOOL(WINAPI*)(PVOID*);
  using RevertFunction = BOOL(WINAPI*)(PVOID);

  bool disabled = false;
  PVOID oldValue = nullptr;
  DisableFunction disableFunction = nullptr;
  RevertFunction revertFunction = nullptr;
  HMODULE systemLibrary = nullptr;
  bool onWow64 = false;
};

// Enables or disables exactly one privilege of `token` (opened with TOKEN_ADJUST_PRIVILEGES).
// Returns the system's last error after the change: 0, or 1300 when the token lacks it.
DWORD SetPrivilege(HANDLE token, const wchar_t* name, bool enable);

// Creates a directory symbolic link at `link` pointing to `target` (which need not exist).
// 0 on success; 127 where the system has no symbolic links; 183 when `link` exists; 4390 when the
// system reported success and left no link. Under Wine, which makes no links itself, the link is
// a host symbolic link made by the host's `ln`, and its target must then be an existing folder
// (3 otherwise; see wine_host.h).
DWORD CreateFolderLink(const wchar_t* link, const wchar_t* target);

// True on Windows 6.0 (Vista) or later.
bool IsVistaOrLater();

}  // namespace tessaly
