// The file-system interface: Windows paths and Windows semantics everywhere. The Win32 backend
// wraps kernel32; tests/support/fake_file_system.h is an in-memory NTFS-like volume set.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cancel.h"
#include "platform/types.h"

namespace tessaly {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Lists `pattern` ("C:\dir\*.*", "C:\dir\*.dll") like FindFirstFileW/FindNextFileW, calling
  // `visit` for each entry ("." and ".." included, as Windows lists them outside roots) until it
  // returns false. Result: 0, or the first call's error (2 no match, 3 missing folder).
  using Visitor = std::function<bool(const FindData&)>;
  [[nodiscard]] virtual ErrorCode FindFiles(std::wstring_view pattern, const Visitor& visit) = 0;

  [[nodiscard]] virtual ErrorCode GetAttributes(std::wstring_view path, uint32_t& attributes) = 0;
  [[nodiscard]] virtual ErrorCode SetAttributes(std::wstring_view path, uint32_t attributes) = 0;
  [[nodiscard]] virtual ErrorCode SetLastWriteTime(std::wstring_view path, FileTime time) = 0;

  // CreateDirectoryW (183 when it exists, 3 when the parent is missing).
  [[nodiscard]] virtual ErrorCode CreateFolder(std::wstring_view path) = 0;
  // RemoveDirectoryW: an empty folder, or a directory link itself (never its target).
  [[nodiscard]] virtual ErrorCode RemoveFolder(std::wstring_view path) = 0;
  [[nodiscard]] virtual ErrorCode DeleteFile(std::wstring_view path) = 0;
  [[nodiscard]] virtual ErrorCode MoveFile(std::wstring_view from, std::wstring_view to,
                                           uint32_t moveFlags) = 0;
  // CopyFileExW: `routine` may be null; the copy polls `cancel` while it runs. A cancelled or
  // failed copy leaves no target.
  [[nodiscard]] virtual ErrorCode CopyFile(std::wstring_view from, std::wstring_view to,
                                           CopyProgressRoutine routine, void* userData,
                                           CancelToken cancel, uint32_t copyFlags) = 0;
  // A directory symbolic link at `link` to `target` (CreateSymbolicLinkW with flag 1).
  [[nodiscard]] virtual ErrorCode CreateFolderLink(std::wstring_view link,
                                                   std::wstring_view target) = 0;

  // GetDiskFreeSpaceExW on a root or folder.
  [[nodiscard]] virtual ErrorCode GetFreeSpace(std::wstring_view folder, uint64_t& freeToCaller,
                                               uint64_t& totalBytes) = 0;
  // GetDriveTypeW on a root such as "C:\".
  virtual uint32_t GetDriveType(std::wstring_view root) = 0;

  // Reads up to `maxBytes` from `offset` (fewer at the end of the file).
  [[nodiscard]] virtual ErrorCode ReadFile(std::wstring_view path, uint64_t offset, size_t maxBytes,
                                           std::vector<uint8_t>& out) = 0;
  // Creates or replaces a file with `data` (fails with 5 on a read-only file).
  [[nodiscard]] virtual ErrorCode WriteFile(std::wstring_view path, const uint8_t* data,
                                            size_t size) = 0;

  // The path that `path` finally names, every folder link on the way followed and each name in
  // its on-disk case: "C:\Plugins\Real" for "c:\plugins\link" when link leads there; a
  // root gives "C:\". The file system's error for a missing path (2, 3). A file system that
  // cannot tell answers 50 (not supported).
  [[nodiscard]] virtual ErrorCode GetFinalPath(std::wstring_view path, std::wstring& out) {
    out.clear();
    return err::NotSupported;
  }

  // The full path that `path` names (GetFullPathNameW): a relative path is taken from the
  // process's current folder and "." and ".." are resolved; nothing need exist there, and the
  // names keep the case they were given in. A file system that cannot tell answers 50 (not
  // supported).
  [[nodiscard]] virtual ErrorCode GetFullPath(std::wstring_view path, std::wstring& out) {
    out.clear();
    return err::NotSupported;
  }

  // --- Identity and durability, for the relocation's deletions and its journal ---------------
  // What tells one file or folder from another: its volume's serial number, its file index on
  // that volume, and its attributes (a link has attr::ReparsePoint).
  struct ItemIdentity {
    uint32_t volumeSerial = 0;
    uint64_t fileIndex = 0;
    uint32_t attributes = 0;
    bool IsLink() const { return (attributes & attr::ReparsePoint) != 0; }
    bool SameItem(const ItemIdentity& other) const {
      return volumeSerial == other.volumeSerial && fileIndex == other.fileIndex;
    }
  };
  // The identity of the item at `path` itself, a link never followed (CreateFileW with
  // FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, GetFileInformationByHandle). The
  // file system's error for a missing path; a file system that cannot tell answers 50.
  [[nodiscard]] virtual ErrorCode GetItemIdentity(std::wstring_view path, ItemIdentity& out) {
    out = ItemIdentity();
    return err::NotSupported;
  }
  // Writes what the system still holds of the file's data to the disk (FlushFileBuffers). A
  // file system that cannot tell answers 50.
  [[nodiscard]] virtual ErrorCode FlushFile(std::wstring_view path) {
    (void)path;
    return err::NotSupported;
  }
};

}  // namespace tessaly
