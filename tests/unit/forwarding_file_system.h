// A FileSystem that hands every call to another one, for tests that watch or bend single calls:
// derive, override what the test is about, and forward the rest.
#pragma once

#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tessaly::testing {

class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& inner) : inner_(inner) {}

  ErrorCode FindFiles(std::wstring_view pattern, const Visitor& visit) override {
    return inner_.FindFiles(pattern, visit);
  }
  ErrorCode GetAttributes(std::wstring_view p, uint32_t& a) override {
    return inner_.GetAttributes(p, a);
  }
  ErrorCode SetAttributes(std::wstring_view p, uint32_t a) override {
    return inner_.SetAttributes(p, a);
  }
  ErrorCode SetLastWriteTime(std::wstring_view p, FileTime t) override {
    return inner_.SetLastWriteTime(p, t);
  }
  ErrorCode CreateFolder(std::wstring_view p) override { return inner_.CreateFolder(p); }
  ErrorCode RemoveFolder(std::wstring_view p) override { return inner_.RemoveFolder(p); }
  ErrorCode DeleteFile(std::wstring_view p) override { return inner_.DeleteFile(p); }
  ErrorCode MoveFile(std::wstring_view a, std::wstring_view b, uint32_t f) override {
    return inner_.MoveFile(a, b, f);
  }
  ErrorCode CopyFile(std::wstring_view a, std::wstring_view b, CopyProgressRoutine r, void* u,
                     CancelToken c, uint32_t f) override {
    return inner_.CopyFile(a, b, r, u, c, f);
  }
  ErrorCode CreateFolderLink(std::wstring_view l, std::wstring_view t) override {
    return inner_.CreateFolderLink(l, t);
  }
  ErrorCode GetFreeSpace(std::wstring_view f, uint64_t& a, uint64_t& t) override {
    return inner_.GetFreeSpace(f, a, t);
  }
  uint32_t GetDriveType(std::wstring_view r) override { return inner_.GetDriveType(r); }
  ErrorCode ReadFile(std::wstring_view p, uint64_t o, size_t n,
                     std::vector<uint8_t>& out) override {
    return inner_.ReadFile(p, o, n, out);
  }
  ErrorCode WriteFile(std::wstring_view p, const uint8_t* d, size_t n) override {
    return inner_.WriteFile(p, d, n);
  }
  ErrorCode GetFinalPath(std::wstring_view p, std::wstring& out) override {
    return inner_.GetFinalPath(p, out);
  }
  ErrorCode GetFullPath(std::wstring_view p, std::wstring& out) override {
    return inner_.GetFullPath(p, out);
  }
  ErrorCode GetItemIdentity(std::wstring_view p, ItemIdentity& out) override {
    return inner_.GetItemIdentity(p, out);
  }
  ErrorCode FlushFile(std::wstring_view p) override { return inner_.FlushFile(p); }

 protected:
  FileSystem& inner_;
};

}  // namespace tessaly::testing
