// The product library over the real registry of a 64-bit system, as the 32-bit program sees it:
// products of both views, of the 32-bit view only, and writes that land in the record's own view.
#include <gtest/gtest.h>

#include <string>

#include "catalog/ni_library.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "tests/windows/registry_text.h"
#include "tests/support/products_key.h"

namespace tessaly {
namespace {

using testing::CreateRegistryKey;
using testing::GetRegistryText;
using testing::SetRegistryText;

using testing::ProductKey;

constexpr const wchar_t* kProducts = L"SOFTWARE\\Native Instruments";

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

class CatalogScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!system.Is64BitWindows()) GTEST_SKIP() << "needs 64-bit Windows (two registry views)";
    prefix = L"TessalyScanTest " + std::to_wstring(GetCurrentProcessId()) + L" ";
    const auto app = [&](const std::wstring& name, REGSAM view, const wchar_t* folder) {
      const std::wstring path = ProductKey(name);
      SetRegistryText(HKEY_LOCAL_MACHINE, path, view, L"InstallDir", folder);
      for (const wchar_t* value : {L"KEY", L"SNO", L"SYSTEMID"}) {
        SetRegistryText(HKEY_LOCAL_MACHINE, path, view, value, L"x");
      }
    };
    app(prefix + L"Both", KEY_WOW64_64KEY, L"C:\\Sixty-four");
    app(prefix + L"Both", KEY_WOW64_32KEY, L"C:\\Thirty-two");
    app(prefix + L"Only32", KEY_WOW64_32KEY, L"C:\\Old");
    app(prefix + L"Only64", KEY_WOW64_64KEY, L"C:\\New");
    // Kontakt's list values live in the user hive under the same key name.
    RegCloseKey(CreateRegistryKey(HKEY_CURRENT_USER, ProductKey(prefix + L"Only32"), 0));
  }

  void TearDown() override {
    for (const wchar_t* name : {L"Both", L"Only32", L"Only64"}) {
      for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, ProductKey(prefix + name).c_str(), view, 0);
      }
      RegDeleteKeyW(HKEY_CURRENT_USER, ProductKey(prefix + name).c_str());
    }
  }

  Win32Registry registry;
  Win32FileSystem files;
  Win32System system;
  std::wstring prefix;
};

TEST_F(CatalogScanTest, ReadsBothViewsAndWritesThroughTheRecordsView) {
  CNiLibrary library(registry, files, system);
  (void)library.Reset();
  ASSERT_EQ(library.Scan(nullptr, producttype::All, contentkind::All), 0u);

  CNiProduct* both = library.FindByName(prefix + L"both");
  CNiProduct* only32 = library.FindByName(prefix + L"Only32");
  CNiProduct* only64 = library.FindByName(prefix + L"Only64");
  ASSERT_NE(both, nullptr);
  ASSERT_NE(only32, nullptr);
  ASSERT_NE(only64, nullptr);
  EXPECT_FALSE(both->view32);
  EXPECT_EQ(both->installDir, L"C:\\Sixty-four");
  EXPECT_TRUE(only32->view32);
  EXPECT_EQ(only32->installDir, L"C:\\Old");
  EXPECT_FALSE(only64->view32);
  EXPECT_EQ(only32->GetType(), producttype::AppPlugin);
  // Listed once, and in order.
  size_t count = 0;
  for (size_t i = 0; i < library.Count(); ++i) {
    const CNiProduct& record = library.records()[i];
    if (record.keyName.rfind(prefix, 0) == 0) ++count;
    if (i > 0) {
      EXPECT_LE(CompareNoCase(library.records()[i - 1].keyName, record.keyName), 0);
    }
  }
  EXPECT_EQ(count, 3u);

  // Writes go through each record's own view and never make a key in the other one.
  ASSERT_EQ(only32->WriteValue(registry, valuekind::InstallDir, true, RegRoot::LocalMachine,
                               L"D:\\Moved"),
            0u);
  EXPECT_EQ(GetRegistryText(HKEY_LOCAL_MACHINE, ProductKey(prefix + L"Only32"), KEY_WOW64_32KEY,
                            L"InstallDir"),
            L"D:\\Moved");
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ProductKey(prefix + L"Only32"), KEY_WOW64_64KEY));
  ASSERT_EQ(
      both->WriteValue(registry, valuekind::InstallDir, true, RegRoot::LocalMachine, L"E:\\Both"),
      0u);
  EXPECT_EQ(GetRegistryText(HKEY_LOCAL_MACHINE, ProductKey(prefix + L"Both"), KEY_WOW64_64KEY,
                            L"InstallDir"),
            L"E:\\Both");
  EXPECT_EQ(GetRegistryText(HKEY_LOCAL_MACHINE, ProductKey(prefix + L"Both"), KEY_WOW64_32KEY,
                            L"InstallDir"),
            L"C:\\Thirty-two");
  // Into existing keys only: a product whose key is gone is not made again.
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, ProductKey(prefix + L"Only64").c_str(), KEY_WOW64_64KEY, 0);
  EXPECT_EQ(
      only64->WriteValue(registry, valuekind::InstallDir, true, RegRoot::LocalMachine, L"F:\\"),
      err::FileNotFound);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ProductKey(prefix + L"Only64"), KEY_WOW64_64KEY));

  // User values: into the user hive's existing key; a product without one fails.
  EXPECT_EQ(only32->WriteUserValue(registry, valuekind::UserListIndex, 4), 0u);
  EXPECT_EQ(both->WriteUserValue(registry, valuekind::UserListIndex, 4), err::FileNotFound);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ProductKey(prefix + L"Both"), 0));
  CNiProduct reread = *only32;
  ASSERT_EQ(reread.LoadFromRegistry(registry, RegRoot::CurrentUser, reread.keyName.c_str(), true),
            0u);
  EXPECT_EQ(reread.userValues, valuekind::UserListIndex);
  EXPECT_EQ(reread.userListIndex, 4u);
}

}  // namespace
}  // namespace tessaly
