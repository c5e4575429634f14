// The file-system interface over kernel32. Results are the system's own error codes.
#pragma once

#include "platform/file_system.h"

namespace tessaly {

class Win32FileSystem : public FileSystem {
 public:
  [[nodiscard]] ErrorCode FindFiles(std::wstring_view pattern, const Visitor& visit) override;
  [[nodiscard]] ErrorCode GetAttributes(std::wstring_view path, uint32_t& attributes) override;
  [[nodiscard]] ErrorCode SetAttributes(std::wstring_view path, uint32_t attributes) override;
  [[nodiscard]] ErrorCode SetLastWriteTime(std::wstring_view path, FileTime time) override;
  [[nodiscard]] ErrorCode CreateFolder(std::wstring_view path) override;
  [[nodiscard]] ErrorCode RemoveFolder(std::wstring_view path) override;
  [[nodiscard]] ErrorCode DeleteFile(std::wstring_view path) override;
  [[nodiscard]] ErrorCode MoveFile(std::wstring_view from, std::wstring_view to,
                                   uint32_t moveFlags) override;
  [[nodiscard]] ErrorCode CopyFile(std::wstring_view from, std::wstring_view to,
                                   CopyProgressRoutine routine, void* userData, CancelToken cancel,
                                   uint32_t copyFlags) override;
  [[nodiscard]] ErrorCode CreateFolderLink(std::wstring_view link,
                                           std::wstring_view target) override;
  [[nodiscard]] ErrorCode GetFreeSpace(std::wstring_view folder, uint64_t& freeToCaller,
                                       uint64_t& totalBytes) override;
  uint32_t GetDriveType(std::wstring_view root) override;
  [[nodiscard]] ErrorCode ReadFile(std::wstring_view path, uint64_t offset, size_t maxBytes,
                                   std::vector<uint8_t>& out) override;
  [[nodiscard]] ErrorCode WriteFile(std::wstring_view path, const uint8_t* data,
                                    size_t size) override;
  // GetFinalPathNameByHandleW (looked up at run time: 127 before Vista) on a handle opened with
  // backup semantics, without the "\\?\" or "\\?\UNC\" prefix it adds.
  [[nodiscard]] ErrorCode GetFinalPath(std::wstring_view path, std::wstring& out) override;
  // GetFullPathNameW.
  [[nodiscard]] ErrorCode GetFullPath(std::wstring_view path, std::wstring& out) override;

  // Identity and durability (the relocation's deletions and journal).
  [[nodiscard]] ErrorCode GetItemIdentity(std::wstring_view path, ItemIdentity& out) override;
  [[nodiscard]] ErrorCode FlushFile(std::wstring_view path) override;
};

}  // namespace tessaly
