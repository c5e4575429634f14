// <windows.h> for the Win32 backend and the Windows tests, without the A/W macros that share a
// name with methods of the platform interfaces (DeleteFile, MoveFile, CopyFile, GetDriveType,
// GetFreeSpace, GetEnvironmentVariable) or of the settings store (GetProfileInt,
// GetProfileString, WriteProfileString). Code here calls the W functions by their full names.
#pragma once

#include <windows.h>

#undef DeleteFile
#undef MoveFile
#undef CopyFile
#undef GetDriveType
#undef GetFreeSpace
#undef GetEnvironmentVariable
#undef GetProfileInt
#undef GetProfileString
#undef WriteProfileString

#include "platform/types.h"

namespace tessaly {

// FILETIME <-> our FileTime (the same 100-ns count as one 64-bit number).
inline FileTime FromFiletime(const FILETIME& ft) {
  return (static_cast<FileTime>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
inline FILETIME ToFiletime(FileTime t) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(t);
  ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
  return ft;
}

}  // namespace tessaly
