// An in-memory set of NTFS-like volumes with Windows' rules: case-insensitive names, wildcards,
// read-only files, directory symbolic links, files held open, free space and injected failures.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/backends.h"

namespace tessaly {

// Paths are Windows paths: "C:\dir\file", "\\server\share\dir" (after AddVolume of
// "\\server\share"), with "\\?\" and "\\?\UNC\" prefixes accepted, "/" taken as "\", doubled
// backslashes collapsed, "." and ".." resolved and, as Win32 does outside "\\?\" paths, the
// trailing dots and spaces of each name dropped. Relative paths start from the current folder
// (SetCurrentFolder); without one they fail with 3.
//
// Volume "C:" exists from the start (256 GiB, 128 GiB free); tests add others. Names compare
// without regard to case (upper-case folding, as NTFS) and keep their case. FindFiles lists in
// NTFS order (by upper-cased name), with "." and ".." first outside a root, and matches names
// with Windows' wildcard rules ("*.*" matches every name, "*." only names without a dot, "?"
// at the end or before a dot also matches nothing). There are no 8.3 names.
//
// Times come from a settable clock that moves only when told. New files get the Archive
// attribute. A directory symbolic link is an entry of its own (Directory | ReparsePoint, tag
// kReparseTagSymlink); paths through it reach its target; RemoveFolder removes the link only.
//
// The object is safe to use from several threads at once (a copy's progress routine may call
// back into it). Held-open tokens may outlive it.
class FakeFileSystem : public FileSystem {
 public:
  static constexpr uint32_t kForever = UINT32_MAX;
  static constexpr ErrorCode kNotSameDevice = 17;  // ERROR_NOT_SAME_DEVICE
  static constexpr uint64_t kCopyChunk = 64 * 1024;

  enum class Operation {
    FindFiles,
    GetAttributes,
    SetAttributes,
    SetLastWriteTime,
    CreateFolder,
    RemoveFolder,
    DeleteFile,
    MoveFile,
    CopyFile,
    CreateFolderLink,
    GetFreeSpace,
    ReadFile,
    WriteFile,
    GetFinalPath,
    GetItemIdentity,
    FlushFile
  };

  FakeFileSystem();
  ~FakeFileSystem() override;
  FakeFileSystem(const FakeFileSystem&) = delete;
  FakeFileSystem& operator=(const FakeFileSystem&) = delete;

  // --- FileSystem ----------------------------------------------------------------------------
  ErrorCode FindFiles(std::wstring_view pattern, const Visitor& visit) override;
  ErrorCode GetAttributes(std::wstring_view path, uint32_t& attributes) override;
  ErrorCode SetAttributes(std::wstring_view path, uint32_t attributes) override;
  ErrorCode SetLastWriteTime(std::wstring_view path, FileTime time) override;
  ErrorCode CreateFolder(std::wstring_view path) override;
  ErrorCode RemoveFolder(std::wstring_view path) override;
  ErrorCode DeleteFile(std::wstring_view path) override;
  ErrorCode MoveFile(std::wstring_view from, std::wstring_view to, uint32_t moveFlags) override;
  ErrorCode CopyFile(std::wstring_view from, std::wstring_view to, CopyProgressRoutine routine,
                     void* userData, CancelToken cancel, uint32_t copyFlags) override;
  ErrorCode CreateFolderLink(std::wstring_view link, std::wstring_view target) override;
  ErrorCode GetFreeSpace(std::wstring_view folder, uint64_t& freeToCaller,
                         uint64_t& totalBytes) override;
  uint32_t GetDriveType(std::wstring_view root) override;
  ErrorCode ReadFile(std::wstring_view path, uint64_t offset, size_t maxBytes,
                     std::vector<uint8_t>& out) override;
  ErrorCode WriteFile(std::wstring_view path, const uint8_t* data, size_t size) override;
  // Follows every folder link on the way ("C:\x" or "\\server\share\x" with on-disk names).
  ErrorCode GetFinalPath(std::wstring_view path, std::wstring& out) override;
  // The path made full from the current folder, its names as given; 3 for a relative path
  // without a current folder, 123 for an empty one.
  ErrorCode GetFullPath(std::wstring_view path, std::wstring& out) override;
  // Each item has a file index of its own, given when it is made and kept through renames;
  // each volume its own serial number. A link's attributes carry attr::ReparsePoint.
  ErrorCode GetItemIdentity(std::wstring_view path, ItemIdentity& out) override;
  // Records "FlushFile path"; 2 for a missing file.
  ErrorCode FlushFile(std::wstring_view path) override;

  // --- Volumes and clock ---------------------------------------------------------------------
  // `root` is "D:" (or "D:\") or "\\server\share"; `driveType` is what GetDriveType answers.
  // Adding an existing volume resets its sizes and keeps its content.
  void AddVolume(std::wstring_view root, uint64_t freeBytes, uint64_t totalBytes,
                 uint32_t driveType = drive::Fixed);
  void SetFreeSpace(std::wstring_view root, uint64_t freeBytes);
  uint64_t FreeSpace(std::wstring_view root) const;

  // The process's current folder (it need not exist): "name" and "sub\name" lie below it,
  // "\name" at the root of its volume. None at first.
  void SetCurrentFolder(std::wstring_view folder);

  // The time new and changed files and folders get (default: 2024-03-05 12:00:00 UTC).
  void SetClock(FileTime now);
  void AdvanceClock(FileTime ticks);
  FileTime Clock() const;

  // --- Fault injection -----------------------------------------------------------------------
  // Makes `op` fail with `code`, `count` times, on every path that `pathPattern` matches with
  // the wildcard rules of FindFiles ("C:\\plugins\\*.dll", or an exact path); the comparison is
  // on the path as given (after "\\?\" is removed and "/" turned into "\"). For FindFiles the
  // pattern is compared with the listing pattern; for MoveFile and CopyFile with the source and
  // with the target. The failure happens before anything changes.
  void InjectFailure(Operation op, std::wstring_view pathPattern, ErrorCode code,
                     uint32_t count = kForever);
  // The next `count` copies from `source` fail with `code` after `bytes` bytes were copied (and
  // reported), and the partial target is removed.
  void FailCopyAfter(std::wstring_view source, uint64_t bytes, ErrorCode code, uint32_t count = 1);
  void ClearFailures();

  // --- Files held open -----------------------------------------------------------------------
  // Holds a file or folder open without sharing until the token is destroyed: deleting, moving
  // or overwriting the file (or reading or copying it) gives 32, replacing it by a rename gives 5,
  // and a held folder cannot be removed or moved (32). A folder holding a held item cannot be
  // renamed (5). Fails the current test and returns null if the path does not exist.
  std::unique_ptr<testing::HeldFile> HoldOpen(std::wstring_view path);

  // --- Record of what was asked --------------------------------------------------------------
  // One entry per changing call, in order, whether or not it succeeded, with the paths as given:
  //   L"CreateFolder C:\\a"        L"RemoveFolder C:\\a"         L"DeleteFile C:\\a\\b.dll"
  //   L"MoveFile C:\\a -> C:\\b"   L"CopyFile C:\\a -> D:\\a"    L"CreateFolderLink C:\\l -> D:\\t"
  //   L"SetAttributes C:\\a 0x20"  L"SetLastWriteTime C:\\a"     L"WriteFile C:\\a"
  std::vector<std::wstring> Operations() const;
  void ClearOperations();

  // --- Test conveniences ---------------------------------------------------------------------
  // Fixtures create missing parent folders and fail the current test if they cannot be made.
  // A file added by size holds generated bytes (byte i is (i * 7 + 3) mod 256), so a copy can be
  // checked without storing gigabytes. Files take their size from the volume's free space (down
  // to zero; fixtures never fail for want of space).
  void AddFolder(std::wstring_view path, uint32_t attributes = 0,
                 std::optional<FileTime> lastWriteTime = std::nullopt);
  void AddFile(std::wstring_view path, const std::vector<uint8_t>& bytes,
               uint32_t attributes = attr::Archive,
               std::optional<FileTime> lastWriteTime = std::nullopt);
  void AddFile(std::wstring_view path, std::string_view text, uint32_t attributes = attr::Archive,
               std::optional<FileTime> lastWriteTime = std::nullopt);
  void AddFile(std::wstring_view path, uint64_t size, uint32_t attributes = attr::Archive,
               std::optional<FileTime> lastWriteTime = std::nullopt);
  // A directory link; the target need not exist.
  void AddFolderLink(std::wstring_view link, std::wstring_view target);
  // Gives an existing item the 8.3 name `shortName` ("STRING~1"): paths and listing patterns
  // then reach it by either name, as on a volume that makes short names, and GetFinalPath and
  // listings give its long name.
  void SetShortName(std::wstring_view path, std::wstring_view shortName);

  bool Exists(std::wstring_view path) const;    // file, folder or link (not followed)
  bool IsFolder(std::wstring_view path) const;  // a folder, or a link to an existing folder
  bool IsFile(std::wstring_view path) const;
  bool IsLink(std::wstring_view path) const;
  std::wstring LinkTarget(std::wstring_view path) const;  // empty if not a link
  // The whole content of a file (fails the current test and returns nothing if there is none).
  std::vector<uint8_t> Contents(std::wstring_view path) const;
  std::string ContentsText(std::wstring_view path) const;
  uint64_t FileSize(std::wstring_view path) const;       // 0 if missing
  uint32_t Attributes(std::wstring_view path) const;     // attr::Invalid if missing
  FileTime LastWriteTime(std::wstring_view path) const;  // 0 if missing
  FileTime CreationTime(std::wstring_view path) const;   // 0 if missing
  // The names in a folder in listing order, without "." and "..". Empty if missing.
  std::vector<std::wstring> List(std::wstring_view folder) const;

  struct Node;
  struct State;

 private:
  std::shared_ptr<State> state_;
};

// The content of a file added by size: byte `index` of it.
constexpr uint8_t GeneratedByte(uint64_t index) { return uint8_t((index * 7 + 3) & 0xFF); }

}  // namespace tessaly
