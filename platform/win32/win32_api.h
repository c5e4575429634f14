// <windows.h> for the Win32 backend and the Windows tests, without the A/W macros that share a
// name with methods of the platform interfaces (DeleteFile, MoveFile, CopyFile, GetDriveType,
// GetFreeSpace, GetEnvironmentVariable). Code here calls the W functions by their full names.
#pragma once

#include <windows.h>

#undef DeleteFile
#undef MoveFile
#undef CopyFile
#undef GetDriveType
#undef GetFreeSpace
#undef GetEnvironmentVariable
