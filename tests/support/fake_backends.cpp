// The in-memory fakes as contract-test backends: a 64-bit and a 32-bit machine's registry, and a
// file system that can do everything Windows can.
#include "tests/support/backends.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"

namespace tessaly::testing {

namespace {

class FakeRegistryHarness : public RegistryHarness {
 public:
  explicit FakeRegistryHarness(bool is64Bit) : registry_(is64Bit) {
    scratchPath = L"Software\\TessalyTests\\1";
    machineScratchPath = L"SOFTWARE\\TessalyTests\\1";
    is64BitMachine = is64Bit;
  }
  Registry& registry() override { return registry_; }

 private:
  FakeRegistry registry_;
};

class FakeFileSystemHarness : public FileSystemHarness {
 public:
  FakeFileSystemHarness() {
    scratch = L"C:\\TessalyTests";
    fs_.AddFolder(scratch);
  }
  FileSystem& fs() override { return fs_; }
  System& system() override { return system_; }
  std::unique_ptr<HeldFile> HoldOpen(const std::wstring& path) override {
    return fs_.HoldOpen(path);
  }

 private:
  FakeFileSystem fs_;
  FakeSystem system_;
};

}  // namespace

std::vector<RegistryBackend> FakeRegistryBackends() {
  return {
      {"Fake64", [] { return std::make_unique<FakeRegistryHarness>(true); }},
      {"Fake32", [] { return std::make_unique<FakeRegistryHarness>(false); }},
  };
}

std::vector<FileSystemBackend> FakeFileSystemBackends() {
  return {{"Fake", [] { return std::make_unique<FakeFileSystemHarness>(); }}};
}

}  // namespace tessaly::testing
