// Backends that the contract tests run against: the in-memory fakes in both builds and, in the
// Windows build, the real Win32 backend under Wine. A backend describes what its platform can do,
// so a test of something the platform lacks is reported as skipped with the reason.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace tessaly::testing {

// A registry with a scratch area. Everything a test writes lives under `scratchPath` in
// HKEY_CURRENT_USER and under `machineScratchPath` (below SOFTWARE) in HKEY_LOCAL_MACHINE; the
// harness deletes both when destroyed.
class RegistryHarness {
 public:
  virtual ~RegistryHarness() = default;
  virtual Registry& registry() = 0;
  std::wstring scratchPath;         // e.g. L"Software\\TessalyTests\\1234"
  std::wstring machineScratchPath;  // e.g. L"SOFTWARE\\TessalyTests\\1234"
  bool is64BitMachine = true;       // HKLM\SOFTWARE has two views
};

// A file that stays open without sharing until the object is destroyed.
class HeldFile {
 public:
  virtual ~HeldFile() = default;
};

// A file system with an empty scratch folder that the harness removes when destroyed.
class FileSystemHarness {
 public:
  virtual ~FileSystemHarness() = default;
  virtual FileSystem& fs() = 0;
  virtual System& system() = 0;
  // Opens `path` without sharing, so deleting, renaming or replacing it fails with 32.
  virtual std::unique_ptr<HeldFile> HoldOpen(const std::wstring& path) = 0;

  std::wstring scratch;  // an existing, empty folder, without a trailing backslash

  // What the platform can do. An empty text means "can"; otherwise it is the reason it cannot,
  // which the test hands to GTEST_SKIP.
  std::string noFolderLinks;     // CreateFolderLink makes a real directory link
  std::string noCopyProgress;    // CopyFile calls the progress routine and honours cancel
  std::string noReadOnlyWrites;  // writing over a read-only file fails with 5
};

struct RegistryBackend {
  std::string name;
  std::function<std::unique_ptr<RegistryHarness>()> make;
};

struct FileSystemBackend {
  std::string name;
  std::function<std::unique_ptr<FileSystemHarness>()> make;
};

// The fakes (tests/support/), in both builds.
std::vector<RegistryBackend> FakeRegistryBackends();  // a 64-bit and a 32-bit machine
std::vector<FileSystemBackend> FakeFileSystemBackends();

// The real Win32 backend (tests/windows/win32_backends.cpp), in the Windows build only.
std::vector<RegistryBackend> Win32RegistryBackends();
std::vector<FileSystemBackend> Win32FileSystemBackends();

// Every backend of this build, for INSTANTIATE_TEST_SUITE_P(..., ::testing::ValuesIn(...)).
inline std::vector<RegistryBackend> AllRegistryBackends() {
  std::vector<RegistryBackend> all = FakeRegistryBackends();
#ifdef TESSALY_WIN32_BACKEND
  for (auto& b : Win32RegistryBackends()) all.push_back(std::move(b));
#endif
  return all;
}
inline std::vector<FileSystemBackend> AllFileSystemBackends() {
  std::vector<FileSystemBackend> all = FakeFileSystemBackends();
#ifdef TESSALY_WIN32_BACKEND
  for (auto& b : Win32FileSystemBackends()) all.push_back(std::move(b));
#endif
  return all;
}

// gtest parameter names, and what gtest prints for a parameter.
inline void PrintTo(const RegistryBackend& b, std::ostream* os) { *os << b.name; }
inline void PrintTo(const FileSystemBackend& b, std::ostream* os) { *os << b.name; }
inline std::string BackendName(const RegistryBackend& b) { return b.name; }
inline std::string BackendName(const FileSystemBackend& b) { return b.name; }
struct BackendNamePrinter {
  template <class Info>
  std::string operator()(const Info& info) const {
    return BackendName(info.param);
  }
};

}  // namespace tessaly::testing
