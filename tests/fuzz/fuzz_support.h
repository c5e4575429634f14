// What the catalog fuzz targets share: a check that stops the run with a message (libFuzzer then
// saves the input), and platform objects that count every call made of them, so a target can
// tell that code which should not reach the registry or the file system did not.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/text.h"

#define FUZZ_CHECK(condition, message)                                                       \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: check failed: %s (%s)\n", __FILE__, __LINE__, #condition, \
                   message);                                                                 \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)

namespace tessaly::fuzz {

// A registry without keys: every open and create fails with 2, and is counted.
class CountingRegistry : public Registry {
 public:
  ErrorCode OpenKey(RegRoot, std::wstring_view, uint32_t, std::unique_ptr<RegistryKey>&) override {
    ++calls;
    return err::FileNotFound;
  }
  ErrorCode CreateKey(RegRoot, std::wstring_view, std::wstring_view, uint32_t,
                      std::unique_ptr<RegistryKey>&, bool*) override {
    ++calls;
    return err::FileNotFound;
  }
  uint32_t calls = 0;
};

// A file system without files: every call fails with 2 (3 where a folder is meant), and is
// counted.
class CountingFileSystem : public FileSystem {
 public:
  ErrorCode FindFiles(std::wstring_view, const Visitor&) override {
    return Count(err::FileNotFound);
  }
  ErrorCode GetAttributes(std::wstring_view, uint32_t&) override {
    return Count(err::FileNotFound);
  }
  ErrorCode SetAttributes(std::wstring_view, uint32_t) override { return Count(err::FileNotFound); }
  ErrorCode SetLastWriteTime(std::wstring_view, FileTime) override {
    return Count(err::FileNotFound);
  }
  ErrorCode CreateFolder(std::wstring_view) override { return Count(err::PathNotFound); }
  ErrorCode RemoveFolder(std::wstring_view) override { return Count(err::FileNotFound); }
  ErrorCode DeleteFile(std::wstring_view) override { return Count(err::FileNotFound); }
  ErrorCode MoveFile(std::wstring_view, std::wstring_view, uint32_t) override {
    return Count(err::FileNotFound);
  }
  ErrorCode CopyFile(std::wstring_view, std::wstring_view, CopyProgressRoutine, void*, CancelToken,
                     uint32_t) override {
    return Count(err::FileNotFound);
  }
  ErrorCode CreateFolderLink(std::wstring_view, std::wstring_view) override {
    return Count(err::PathNotFound);
  }
  ErrorCode GetFreeSpace(std::wstring_view, uint64_t&, uint64_t&) override {
    return Count(err::PathNotFound);
  }
  uint32_t GetDriveType(std::wstring_view) override {
    ++calls;
    return 1;  // no root directory
  }
  ErrorCode ReadFile(std::wstring_view, uint64_t, size_t, std::vector<uint8_t>&) override {
    return Count(err::FileNotFound);
  }
  ErrorCode WriteFile(std::wstring_view, const uint8_t*, size_t) override {
    return Count(err::PathNotFound);
  }
  ErrorCode GetFinalPath(std::wstring_view, std::wstring& out) override {
    out.clear();
    return Count(err::FileNotFound);
  }
  uint32_t calls = 0;

 private:
  ErrorCode Count(ErrorCode e) {
    ++calls;
    return e;
  }
};

// UTF-16LE bytes as the catalog takes text: up to the first zero unit, an odd last byte
// dropped. Written out here rather than taken from platform/text so that the targets do not
// check the loaders against the very helper they use.
inline std::wstring TextOfUtf16(const std::vector<uint8_t>& bytes) {
  std::wstring text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const wchar_t unit = wchar_t(bytes[i] | bytes[i + 1] << 8);
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

// UTF-16LE bytes as the product record takes text, read into a zero-filled buffer: an odd last
// byte pairs with one of the buffer's zeros and is a character.
inline std::wstring TextOfZeroFilledUtf16(std::vector<uint8_t> bytes) {
  if (bytes.size() % 2 != 0) bytes.push_back(0);
  return TextOfUtf16(bytes);
}

inline bool HasNul(std::wstring_view text) { return text.find(L'\0') != std::wstring_view::npos; }

}  // namespace tessaly::fuzz
