// Change backups against the real registry of a 64-bit system: a value of the same product key
// in each view, one that does not exist yet in the 32-bit view, and a user value, saved, changed
// behind the program's back, and put back by the undo, each in its own view.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "platform/calendar.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "tests/windows/registry_text.h"
#include "registry_archive/change_backups.h"

namespace tessaly {
namespace {

using testing::CreateRegistryKey;
using testing::GetRegistryText;
using testing::SetRegistryText;

const std::wstring kProducts = L"SOFTWARE\\Native Instruments";

class Win32ChangeBackupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!system.Is64BitWindows()) GTEST_SKIP() << "needs 64-bit Windows (two registry views)";
    key = kProducts + L"\\TessalyChangeTest " + std::to_wstring(GetCurrentProcessId());
    SetRegistryText(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY, L"InstallDir", L"C:\\Sixty-four");
    SetRegistryText(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY, L"InstallDir", L"C:\\Thirty-two");
    SetRegistryText(HKEY_CURRENT_USER, key, 0, L"UserListIndex", L"before");
  }
  void TearDown() override {
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
      RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), view, 0);
    RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    if (!path.empty()) DeleteFileW(path.c_str());
  }
  std::vector<std::wstring> State() const {
    return {GetRegistryText(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY, L"InstallDir"),
            GetRegistryText(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY, L"InstallDir"),
            GetRegistryText(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY, L"InstallVSTDir"),
            GetRegistryText(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY, L"InstallVSTDir"),
            GetRegistryText(HKEY_CURRENT_USER, key, 0, L"UserListIndex")};
  }

  Win32Registry registry;
  Win32FileSystem files;
  Win32System system;
  CProfileStore profile{registry};
  BackupContext context{registry, files, system, profile};
  std::wstring key;
  std::wstring path;
};

TEST_F(Win32ChangeBackupsTest, UndoPutsBackEachViewsValues) {
  const std::vector<std::wstring> before = State();
  ASSERT_EQ(before, (std::vector<std::wstring>{L"C:\\Sixty-four", L"C:\\Thirty-two", L"<error 2>",
                                               L"<error 2>", L"before"}));
  const std::vector<ChangedValue> values = {
      {RegRoot::LocalMachine, false, key, L"InstallDir"},
      {RegRoot::LocalMachine, true, key, L"InstallDir"},
      {RegRoot::LocalMachine, true, key, L"InstallVSTDir"},
      {RegRoot::CurrentUser, false, key, L"UserListIndex"},
  };
  ASSERT_EQ(SaveChangeBackup(context, L"Use for all App/plugin products: E:\\New", values, &path),
            0u);

  SetRegistryText(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY, L"InstallDir", L"E:\\New");
  SetRegistryText(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY, L"InstallDir", L"E:\\New");
  SetRegistryText(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY, L"InstallVSTDir", L"E:\\New");
  SetRegistryText(HKEY_CURRENT_USER, key, 0, L"UserListIndex", L"after");
  ASSERT_NE(State(), before);

  std::vector<ChangeBackupEntry> list;
  ASSERT_EQ(ListChangeBackups(context, list), 0u);
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list[0].path, path);
  EXPECT_EQ(list[0].description, L"Use for all App/plugin products: E:\\New");
  UndoCounts counts;
  ASSERT_EQ(UndoChangeBackup(context, path, counts), 0u);
  EXPECT_EQ(counts.restored, 4u);
  EXPECT_EQ(counts.failed, 0u);
  EXPECT_EQ(State(), before);
  // The undo saved what it replaced: it is listed first and can be undone in turn.
  ASSERT_EQ(ListChangeBackups(context, list), 0u);
  ASSERT_GE(list.size(), 2u);
  EXPECT_EQ(list[0].description, L"Undo of: Use for all App/plugin products: E:\\New");
  ASSERT_EQ(UndoChangeBackup(context, list[0].path, counts), 0u);
  EXPECT_EQ(GetRegistryText(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY, L"InstallVSTDir"),
            L"E:\\New");
  DeleteFileW(list[0].path.c_str());
  // The undo of the undo saved one more.
  ASSERT_EQ(ListChangeBackups(context, list), 0u);
  if (!list.empty() && list[0].description.starts_with(L"Undo of: Undo of:"))
    DeleteFileW(list[0].path.c_str());
}

// The clock change backups are named by: UTC now, shown in the local time of now.
TEST_F(Win32ChangeBackupsTest, TheUtcTimeInLocalTimeIsTheLocalTime) {
  const LocalTime local = system.GetLocalTime();
  LocalTime converted;
  ASSERT_EQ(system.UtcToLocalTime(system.GetUtcTime(), converted), 0u);
  const auto a = FileTimeFromCalendar(local), b = FileTimeFromCalendar(converted);
  ASSERT_TRUE(a && b);
  const FileTime apart = *a > *b ? *a - *b : *b - *a;
  EXPECT_LT(apart, 60 * kFileTimeTicksPerSecond);
}

}  // namespace
}  // namespace tessaly
