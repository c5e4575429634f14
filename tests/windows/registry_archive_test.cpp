// The registry archive against the real registry: a scratch subtree of
// HKCU\SOFTWARE\Native Instruments captured to a file through Win32Registry, changed, and restored.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_registry.h"
#include "registry_archive/registry_archive.h"
#include "tests/support/backends.h"

namespace tessaly::testing {
namespace {

const wchar_t kNi[] = L"SOFTWARE\\Native Instruments";

class Win32RegistryArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files = Win32FileSystemBackends().front().make();
    HKEY existing = nullptr;
    niExisted = RegOpenKeyExW(HKEY_CURRENT_USER, kNi, 0, KEY_READ, &existing) == ERROR_SUCCESS;
    if (existing) RegCloseKey(existing);
    scratch = std::wstring(kNi) + L"\\TessalyArchiveTest" + std::to_wstring(GetCurrentProcessId());
    file = files->scratch + L"\\BackupHkcuDefault.xml";
  }
  void TearDown() override {
    // Only what the test created goes: the scratch key, and the vendor key if it made it.
    RegDeleteTreeW(HKEY_CURRENT_USER, niExisted ? scratch.c_str() : kNi);
    if (!niExisted) RegDeleteKeyW(HKEY_CURRENT_USER, kNi);
  }

  std::unique_ptr<RegistryKey> Create(const std::wstring& path, const wchar_t* keyClass = L"") {
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(registry.CreateKey(RegRoot::CurrentUser, path, keyClass, access::AllAccess, key), 0u);
    return key;
  }
  std::vector<uint8_t> Read(const std::wstring& path, const wchar_t* name, uint32_t* type) {
    std::unique_ptr<RegistryKey> key;
    std::vector<uint8_t> data;
    if (registry.OpenKey(RegRoot::CurrentUser, path, access::Read, key) != 0 ||
        key->QueryValue(name, type, &data) != 0)
      return {0xEE};
    return data;
  }

  Win32Registry registry;
  std::unique_ptr<FileSystemHarness> files;
  bool niExisted = false;
  std::wstring scratch;
  std::wstring file;
};

TEST_F(Win32RegistryArchiveTest, CapturesAndRestoresARealSubtree) {
  const std::vector<uint8_t> text = ToUtf16Bytes(L"default", true);
  const std::vector<uint8_t> multi = ToUtf16Bytes(std::wstring(L"a\0bc\0\0", 6), false);
  const std::vector<uint8_t> binary = {0, 1, 2, 0xFF};
  const std::wstring child = scratch + L"\\Child";
  {
    auto top = Create(scratch);
    auto sub = Create(child, L"ChildClass");
    ASSERT_TRUE(top && sub);
    ASSERT_EQ(top->SetValue(L"", regtype::Sz, text.data(), text.size()), 0u);
    ASSERT_EQ(top->SetValue(L"Multi", regtype::MultiSz, multi.data(), multi.size()), 0u);
    ASSERT_EQ(sub->SetValue(L"Bin", regtype::Binary, binary.data(), binary.size()), 0u);
    ASSERT_EQ(WriteDword(*sub, L"Count", 5), 0u);
  }

  CRegistryArchive archive(registry, files->fs(), files->system(), RegRoot::CurrentUser, false);
  ASSERT_EQ(archive.Capture(), 0u);
  ASSERT_EQ(archive.Save(file), 0u);
  std::wstring date;
  EXPECT_EQ(archive.ReadArchiveDate(file, date), 0u);
  EXPECT_NE(date.find(L", "), std::wstring::npos) << ToUtf8(date);

  // The file holds the child's class and the values under their type names.
  std::vector<uint8_t> saved;
  ASSERT_EQ(files->fs().ReadFile(file, 0, SIZE_MAX, saved), 0u);
  const std::string xml(saved.begin(), saved.end());
  EXPECT_EQ(xml.rfind("<?xml version=\"1.0\"?>", 0), 0u);
  EXPECT_NE(xml.find("<Class>ChildClass</Class>"), std::string::npos);
  EXPECT_NE(xml.find("type=\"REG_MULTI_SZ\" size=\"12\""), std::string::npos);

  // Change, delete and add, then restore.
  {
    auto top = Create(scratch);
    const std::vector<uint8_t> other = ToUtf16Bytes(L"other", true);
    ASSERT_EQ(top->SetValue(L"", regtype::Sz, other.data(), other.size()), 0u);
    ASSERT_EQ(top->DeleteValue(L"Multi"), 0u);
    ASSERT_EQ(WriteDword(*top, L"Added", 9), 0u);
  }
  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, child.c_str()), ERROR_SUCCESS);

  CRegistryArchive loaded(registry, files->fs(), files->system());
  ASSERT_EQ(loaded.Load(file), 0u);
  for (int pass = 0; pass < 2; ++pass) {  // restoring twice is restoring once
    SCOPED_TRACE(pass);
    ASSERT_EQ(loaded.Restore(), 0u);
    uint32_t type = 0;
    EXPECT_EQ(Read(scratch, L"", &type), text);
    EXPECT_EQ(type, regtype::Sz);
    EXPECT_EQ(Read(scratch, L"Multi", &type), multi);
    EXPECT_EQ(type, regtype::MultiSz);
    EXPECT_EQ(Read(child, L"Bin", &type), binary);
    EXPECT_EQ(type, regtype::Binary);
    EXPECT_EQ(Read(child, L"Count", &type), (std::vector<uint8_t>{5, 0, 0, 0}));
    EXPECT_EQ(Read(scratch, L"Added", &type), (std::vector<uint8_t>{9, 0, 0, 0}));
  }
}

TEST_F(Win32RegistryArchiveTest, ATamperedArchiveWritesNothing) {
  const std::string xml =
      "<?xml version=\"1.0\"?>\n<RegistryArchive><Hive>HKEY_CURRENT_USER</Hive>"
      "<RootSubkey>SOFTWARE\\TessalyArchiveTampered</RootSubkey><Force32>No</Force32>"
      "<Subkey name=\"x\"><Value name=\"V\" type=\"REG_DWORD\" size=\"4\">AQAAAA==</Value>"
      "</Subkey></RegistryArchive>";
  ASSERT_EQ(files->fs().WriteFile(file, reinterpret_cast<const uint8_t*>(xml.data()), xml.size()),
            0u);
  CRegistryArchive archive(registry, files->fs(), files->system());
  ASSERT_EQ(archive.Load(file), 0u);
  EXPECT_EQ(archive.Restore(), err::InternalError);
  HKEY key = nullptr;
  EXPECT_EQ(
      RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\TessalyArchiveTampered", 0, KEY_READ, &key),
      ERROR_FILE_NOT_FOUND);
  if (key) RegCloseKey(key);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\TessalyArchiveTampered");  // should it exist
}

}  // namespace
}  // namespace tessaly::testing
