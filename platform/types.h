// Windows-shaped types of the portable core: error codes, attributes, find data, registry
// constants. Portable code never includes <windows.h>; these mirror the values Windows uses.
#pragma once

#include <cstdint>
#include <string>

namespace tessaly {

// A Windows system error code; 0 is success.
using ErrorCode = uint32_t;

namespace err {
constexpr ErrorCode Success = 0;
constexpr ErrorCode FileNotFound = 2;
constexpr ErrorCode PathNotFound = 3;
constexpr ErrorCode AccessDenied = 5;
constexpr ErrorCode InvalidHandle = 6;
constexpr ErrorCode NotEnoughMemory = 8;
constexpr ErrorCode BadFormat = 11;
constexpr ErrorCode InvalidAccess = 12;
constexpr ErrorCode InvalidData = 13;
constexpr ErrorCode OutOfMemory = 14;
constexpr ErrorCode InvalidDrive = 15;
constexpr ErrorCode NotReady = 21;
constexpr ErrorCode GenFailure = 31;
constexpr ErrorCode SharingViolation = 32;
constexpr ErrorCode HandleEof = 38;
constexpr ErrorCode NotSupported = 50;
constexpr ErrorCode FileExists = 80;
constexpr ErrorCode InvalidParameter = 87;
constexpr ErrorCode DiskFull = 112;
constexpr ErrorCode InsufficientBuffer = 122;
constexpr ErrorCode InvalidName = 123;
constexpr ErrorCode ProcNotFound = 127;
constexpr ErrorCode DirNotEmpty = 145;
constexpr ErrorCode AlreadyExists = 183;
constexpr ErrorCode EnvVarNotFound = 203;
constexpr ErrorCode FilenameExcedRange = 206;
constexpr ErrorCode MoreData = 234;
constexpr ErrorCode NoMoreItems = 259;
constexpr ErrorCode Directory = 267;
constexpr ErrorCode NotEnoughMemoryVersion = 574;  // allocation failure reading a version resource
constexpr ErrorCode RequestAborted = 1235;
constexpr ErrorCode Cancelled = 1223;
constexpr ErrorCode UnidentifiedError = 1287;
constexpr ErrorCode NotAllAssigned = 1300;
constexpr ErrorCode NoSuchPrivilege = 1313;
constexpr ErrorCode InternalError = 1359;
constexpr ErrorCode NotFound = 1168;
constexpr ErrorCode ResourceDataNotFound = 1812;
constexpr ErrorCode ResourceTypeNotFound = 1813;
constexpr ErrorCode ResourceNameNotFound = 1814;
constexpr ErrorCode ResourceLangNotFound = 1815;
constexpr ErrorCode PrivilegeNotHeld = 1314;
constexpr ErrorCode NotAReparsePoint = 4390;
}  // namespace err

// File attribute bits (FILE_ATTRIBUTE_*).
namespace attr {
constexpr uint32_t ReadOnly = 0x1;
constexpr uint32_t Hidden = 0x2;
constexpr uint32_t System = 0x4;
constexpr uint32_t Directory = 0x10;
constexpr uint32_t Archive = 0x20;
constexpr uint32_t Normal = 0x80;
constexpr uint32_t ReparsePoint = 0x400;
constexpr uint32_t Invalid = 0xFFFFFFFFu;
}  // namespace attr

// A FILETIME as one number: 100-nanosecond intervals since 1601-01-01 UTC.
using FileTime = uint64_t;
constexpr FileTime kFileTimeTicksPerSecond = 10'000'000;

// The portable counterpart of WIN32_FIND_DATAW.
struct FindData {
  uint32_t attributes = 0;
  FileTime creationTime = 0;
  FileTime lastAccessTime = 0;
  FileTime lastWriteTime = 0;
  uint64_t size = 0;
  uint32_t reparseTag = 0;  // dwReserved0 when attributes has ReparsePoint
  std::wstring name;
  std::wstring alternateName;

  bool IsDirectory() const { return (attributes & attr::Directory) != 0; }
  bool IsReparsePoint() const { return (attributes & attr::ReparsePoint) != 0; }
};

// Reparse tags.
constexpr uint32_t kReparseTagSymlink = 0xA000000Cu;
constexpr uint32_t kReparseTagMountPoint = 0xA0000003u;

// CopyFileEx: flags, progress reasons and progress-routine results.
namespace copyflags {
constexpr uint32_t FailIfExists = 0x1;
constexpr uint32_t Restartable = 0x2;
constexpr uint32_t NoBuffering = 0x1000;
}  // namespace copyflags
constexpr uint32_t kCallbackChunkFinished = 0;
constexpr uint32_t kCallbackStreamSwitch = 1;
constexpr uint32_t kProgressContinue = 0;
constexpr uint32_t kProgressCancel = 1;
constexpr uint32_t kProgressStop = 2;
constexpr uint32_t kProgressQuiet = 3;

// What CopyFileExW hands its progress routine, without the handles.
struct CopyProgress {
  uint64_t totalFileSize = 0;
  uint64_t totalBytesTransferred = 0;
  uint64_t streamSize = 0;
  uint64_t streamBytesTransferred = 0;
  uint32_t streamNumber = 0;
  uint32_t callbackReason = 0;
};
using CopyProgressRoutine = uint32_t (*)(const CopyProgress& progress, void* userData);

// MoveFileEx flags.
namespace moveflags {
constexpr uint32_t ReplaceExisting = 0x1;
constexpr uint32_t CopyAllowed = 0x2;
}  // namespace moveflags

// GetDriveType results.
namespace drive {
constexpr uint32_t Unknown = 0;
constexpr uint32_t NoRootDir = 1;
constexpr uint32_t Removable = 2;
constexpr uint32_t Fixed = 3;
constexpr uint32_t Remote = 4;
constexpr uint32_t CdRom = 5;
constexpr uint32_t RamDisk = 6;
}  // namespace drive

// Registry: predefined roots, value types and access rights.
enum class RegRoot : uint32_t {
  ClassesRoot = 0x80000000u,
  CurrentUser = 0x80000001u,
  LocalMachine = 0x80000002u,
  Users = 0x80000003u,
};

namespace regtype {
constexpr uint32_t None = 0;
constexpr uint32_t Sz = 1;
constexpr uint32_t ExpandSz = 2;
constexpr uint32_t Binary = 3;
constexpr uint32_t Dword = 4;
constexpr uint32_t DwordBigEndian = 5;
constexpr uint32_t Link = 6;
constexpr uint32_t MultiSz = 7;
constexpr uint32_t ResourceList = 8;
constexpr uint32_t FullResourceDescriptor = 9;
constexpr uint32_t ResourceRequirementsList = 10;
constexpr uint32_t Qword = 11;
}  // namespace regtype

namespace access {
constexpr uint32_t QueryValue = 0x0001;
constexpr uint32_t SetValue = 0x0002;
constexpr uint32_t CreateSubKey = 0x0004;
constexpr uint32_t EnumerateSubKeys = 0x0008;
constexpr uint32_t Notify = 0x0010;
constexpr uint32_t Wow64_64Key = 0x0100;
constexpr uint32_t Wow64_32Key = 0x0200;
constexpr uint32_t Delete = 0x00010000;
constexpr uint32_t Read = 0x00020019;
constexpr uint32_t Write = 0x00020006;
constexpr uint32_t AllAccess = 0x000F003F;
}  // namespace access

// The registry view an access mask asks for.
enum class RegView { Default, Key64, Key32 };
inline RegView ViewOf(uint32_t accessMask) {
  if (accessMask & access::Wow64_64Key) return RegView::Key64;
  if (accessMask & access::Wow64_32Key) return RegView::Key32;
  return RegView::Default;
}

}  // namespace tessaly
