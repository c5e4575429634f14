// Change backups over the fakes: what is saved before a change (only the values named, both
// views and the user hive, values that did not exist), the undo that puts them back, the files
// refused before anything is written, the listing and the 50 kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "registry_archive/change_backups.h"
#include "tests/support/products_key.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"
#include "tests/unit/throwing_backends.h"

namespace tessaly {
namespace {

constexpr RegRoot kHklm = RegRoot::LocalMachine;
constexpr RegRoot kHkcu = RegRoot::CurrentUser;
constexpr RegView k64 = RegView::Key64;
constexpr RegView k32 = RegView::Key32;
const std::wstring kFolder = L"C:\\Users\\Musician\\Documents\\Quillmoor\\Tessaly Documents";

using testing::ProductKey;

class ChangeBackupsTest : public ::testing::Test {
 protected:
  ChangeBackupsTest() {
    system.CreateSpecialFolders(fs);
    system.disk = &fs;
    reg.SetString(kHklm, ProductKey(L"Strings"), L"ContentDir", L"C:\\Old64", k64);
    reg.SetString(kHklm, ProductKey(L"Strings"), L"Untouched", L"keep", k64);
    reg.SetString(kHklm, ProductKey(L"Piano"), L"ContentDir", L"C:\\Old32", k32);
    reg.SetDword(kHkcu, ProductKey(L"Strings"), L"UserListIndex", 4);
    reg.CreateKeyAt(kHkcu, ProductKey(L"Piano"));  // no UserRemoved yet
  }
  // The values a change of all four would write; the key of "Gone" does not exist.
  std::vector<ChangedValue> Values() const {
    return {{kHklm, false, ProductKey(L"Strings"), L"ContentDir"},
            {kHklm, true, ProductKey(L"Piano"), L"ContentDir"},
            {kHkcu, false, ProductKey(L"Strings"), L"UserListIndex"},
            {kHkcu, false, ProductKey(L"Piano"), L"UserRemoved"},
            {kHkcu, false, ProductKey(L"strings"), L"userlistindex"},  // named twice, saved once
            {kHklm, false, ProductKey(L"Gone"), L"ContentDir"}};
  }
  void MakeTheChange() {
    reg.SetString(kHklm, ProductKey(L"Strings"), L"ContentDir", L"E:\\New", k64);
    reg.SetString(kHklm, ProductKey(L"Piano"), L"ContentDir", L"E:\\New", k32);
    reg.SetDword(kHkcu, ProductKey(L"Strings"), L"UserListIndex", 1);
    reg.SetDword(kHkcu, ProductKey(L"Piano"), L"UserRemoved", 1);
  }
  std::vector<std::wstring> Files() const { return fs.List(kFolder); }

  FakeRegistry reg;
  FakeFileSystem fs;
  FakeSystem system;
  CProfileStore profile{reg};
  BackupContext context{reg, fs, system, profile};
};

TEST_F(ChangeBackupsTest, UndoPutsBackEveryValueAndDeletesThoseThatDidNotExist) {
  std::wstring path;
  ASSERT_EQ(SaveChangeBackup(context, L"Use for all Content library products: E:\\New", Values(),
                             &path),
            0u);
  EXPECT_EQ(path, kFolder + L"\\Change-20240305-143000-000-000.xml");
  const std::string saved = fs.ContentsText(path);
  EXPECT_EQ(saved.find("Untouched"), std::string::npos) << "only the values named are saved";
  EXPECT_EQ(saved.find("Gone"), std::string::npos);
  EXPECT_TRUE(reg.Exists(kHkcu, ProductKey(L"Piano")));

  MakeTheChange();
  reg.SetString(kHklm, ProductKey(L"Strings"), L"Untouched", L"changed later", k64);
  reg.ClearChanges();
  UndoCounts counts;
  ASSERT_EQ(UndoChangeBackup(context, path, counts), 0u);
  EXPECT_EQ(counts.restored, 4u);
  EXPECT_EQ(counts.failed, 0u);
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"Strings"), L"ContentDir", k64), L"C:\\Old64");
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"Piano"), L"ContentDir", k32), L"C:\\Old32");
  EXPECT_FALSE(reg.ValueExists(kHklm, ProductKey(L"Piano"), L"ContentDir", k64));
  EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(L"Strings"), L"UserListIndex"), 4u);
  EXPECT_FALSE(reg.ValueExists(kHkcu, ProductKey(L"Piano"), L"UserRemoved"));
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"Strings"), L"Untouched", k64), L"changed later");
  EXPECT_FALSE(reg.Exists(kHklm, ProductKey(L"Gone"), k64));
  EXPECT_EQ(reg.Changes().size(), 4u) << "one write per saved value, nothing else";

  // Undoing twice gives the same state; a value already gone counts as put back.
  ASSERT_EQ(UndoChangeBackup(context, path, counts), 0u);
  EXPECT_EQ(counts.restored, 4u);
  EXPECT_FALSE(reg.ValueExists(kHkcu, ProductKey(L"Piano"), L"UserRemoved"));
}

TEST_F(ChangeBackupsTest, ValuesThatCannotBePutBackAreCounted) {
  std::wstring path;
  ASSERT_EQ(SaveChangeBackup(context, L"d", Values(), &path), 0u);
  MakeTheChange();
  reg.InjectFailure(kHklm, ProductKey(L"Strings"), FakeRegistry::Operation::Set, err::AccessDenied);
  reg.InjectFailure(kHkcu, ProductKey(L"Piano"), FakeRegistry::Operation::Delete, err::AccessDenied);
  reg.DeleteTree(kHklm, ProductKey(L"Piano"), k32);  // a product removed since the change
  UndoCounts counts;
  ASSERT_EQ(UndoChangeBackup(context, path, counts), 0u);
  EXPECT_EQ(counts.restored, 1u);
  EXPECT_EQ(counts.failed, 3u);
  EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(L"Strings"), L"UserListIndex"), 4u);
  EXPECT_FALSE(reg.Exists(kHklm, ProductKey(L"Piano"), k32)) << "a removed product is not recreated";
}

TEST_F(ChangeBackupsTest, AFailedSaveLeavesNoFile) {
  struct Case {
    const char* name;
    std::vector<ChangedValue> values;
    ErrorCode expected;
    void (*prepare)(FakeRegistry&, FakeFileSystem&);
  } cases[] = {
      {"a key outside the Native Instruments keys", {{kHklm, false, L"SOFTWARE\\Other", L"X"}},
       err::InvalidParameter, nullptr},
      {"the products key itself", {{kHklm, false, L"SOFTWARE\\Native Instruments", L"X"}},
       err::InvalidParameter, nullptr},
      {"another hive", {{RegRoot::ClassesRoot, false, ProductKey(L"Strings"), L"X"}},
       err::InvalidParameter, nullptr},
      {"a value that cannot be read", Values(), err::AccessDenied,
       [](FakeRegistry& reg, FakeFileSystem&) {
         reg.InjectFailure(kHkcu, ProductKey(L"Strings"), FakeRegistry::Operation::Query,
                           err::AccessDenied);
       }},
      {"a key that cannot be opened", Values(), err::AccessDenied,
       [](FakeRegistry& reg, FakeFileSystem&) {
         reg.InjectFailure(kHklm, ProductKey(L"Piano"), FakeRegistry::Operation::Open,
                           err::AccessDenied, FakeRegistry::kForever, k32);
       }},
      {"a file that cannot be written", Values(), err::InternalError,
       [](FakeRegistry&, FakeFileSystem& fs) {
         fs.InjectFailure(FakeFileSystem::Operation::WriteFile, kFolder + L"\\*", err::DiskFull);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.prepare) c.prepare(reg, fs);
    EXPECT_EQ(SaveChangeBackup(context, L"d", c.values), c.expected);
    EXPECT_TRUE(Files().empty());
    reg.ClearFailures();
    fs.ClearFailures();
  }
}

TEST_F(ChangeBackupsTest, UndoRefusesFilesItDidNotMakeBeforeWritingAnything) {
  const std::string archive =
      "<Hive>HKEY_LOCAL_MACHINE</Hive><RootSubkey>SOFTWARE\\Native Instruments</RootSubkey>"
      "<LocalLoadTime>6AcDAAIABQAOAB4AAAAAAA==</LocalLoadTime><Force32>No</Force32>";
  const std::string good = "<Subkey name=\"Strings\"><Value name=\"ContentDir\" absent=\"Yes\"/>"
                           "</Subkey>";
  auto change = [&](const std::string& head, const std::string& keys) {
    return "<RegistryChange><Description>d</Description><RegistryArchive>" + head +
           "<Subkey name=\"SOFTWARE\\Native Instruments\">" + keys +
           "</Subkey></RegistryArchive><RegistryArchive>" + archive +
           "<Subkey name=\"SOFTWARE\\Native Instruments\">" + good +
           "</Subkey></RegistryArchive></RegistryChange>";
  };
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"not XML", "<RegistryChange><Description>"},
      {"a first-run archive", "<RegistryArchive>" + archive + "</RegistryArchive>"},
      {"another hive", change("<Hive>HKEY_CLASSES_ROOT</Hive><RootSubkey>SOFTWARE\\Native "
                              "Instruments</RootSubkey><Force32>No</Force32>", good)},
      {"another key", change("<Hive>HKEY_CURRENT_USER</Hive><RootSubkey>SOFTWARE\\Microsoft"
                             "</RootSubkey><Force32>No</Force32>", good)},
      {"no view", change("<Hive>HKEY_CURRENT_USER</Hive><RootSubkey>SOFTWARE\\Native "
                         "Instruments</RootSubkey>", good)},
      {"a key name that climbs", change(archive, "<Subkey name=\"..\\..\\Microsoft\"><Value "
                                                 "name=\"X\" absent=\"Yes\"/></Subkey>")},
      {"a key without a name", change(archive, "<Subkey><Value name=\"X\" absent=\"Yes\"/>"
                                               "</Subkey>")},
      {"a size beyond its data", change(archive, "<Subkey name=\"S\"><Value name=\"X\" "
                                                 "type=\"REG_SZ\" size=\"9\">QUI=</Value></Subkey>")},
  };
  reg.SetString(kHkcu, ProductKey(L"Strings"), L"ContentDir", L"present");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring path = kFolder + L"\\Change-20240305-143000-000-000.xml";
    fs.AddFile(path, std::string_view(c.text));
    reg.ClearChanges();
    UndoCounts counts{7, 7};
    EXPECT_EQ(UndoChangeBackup(context, path, counts), err::InternalError);
    EXPECT_TRUE(reg.Changes().empty());
    EXPECT_EQ(counts.restored + counts.failed, 0u);
  }
  // The same file with both archives sound is undone: the check above is of the archives only.
  const std::wstring path = kFolder + L"\\Change-20240305-143000-000-001.xml";
  fs.AddFile(path, std::string_view(change(archive, good)));
  UndoCounts counts;
  EXPECT_EQ(UndoChangeBackup(context, path, counts), 0u);
  EXPECT_EQ(counts.restored, 2u);

  // A change whose keys were all gone holds no archive: there is nothing to put back.
  std::wstring empty;
  ASSERT_EQ(SaveChangeBackup(context, L"d", std::vector<ChangedValue>{{kHklm, false, ProductKey(L"Gone"), L"X"}},
                             &empty),
            0u);
  reg.ClearChanges();
  EXPECT_EQ(UndoChangeBackup(context, empty, counts), 0u);
  EXPECT_EQ(counts.restored + counts.failed, 0u);
  EXPECT_TRUE(reg.Changes().empty());

  EXPECT_EQ(UndoChangeBackup(context, L"", counts), err::InvalidParameter);
  EXPECT_EQ(UndoChangeBackup(context, kFolder + L"\\Change-missing.xml", counts),
            err::FileNotFound);
}

TEST_F(ChangeBackupsTest, TheNewestAreListedFirstAndTheLast50Kept) {
  fs.AddFile(kFolder + L"\\Change-notes.xml", std::string_view("the user's own file"));
  fs.AddFile(kFolder + L"\\BackupHklmDefault.xml", std::string_view("<RegistryArchive/>"));
  for (int i = 0; i < 53; ++i) {
    system.localTime.minute = uint16_t(i);
    // Two in the same millisecond get names of their own.
    ASSERT_EQ(SaveChangeBackup(context, L"change " + std::to_wstring(i), Values()), 0u);
    if (i == 52) {
      ASSERT_EQ(SaveChangeBackup(context, L"change 52 again", Values()), 0u);
    }
  }
  fs.AddFile(kFolder + L"\\Change-20000101-000000-000-000.xml", std::string_view("not xml"));

  std::vector<ChangeBackupEntry> list;
  ASSERT_EQ(ListChangeBackups(context, list), 0u);
  ASSERT_EQ(list.size(), 50u);
  EXPECT_EQ(list[0].description, L"change 52 again");
  EXPECT_EQ(list[0].path, kFolder + L"\\Change-20240305-145200-000-001.xml");
  EXPECT_EQ(list[0].date, L"3/5/2024, 2:52:00 PM");
  EXPECT_EQ(list[1].description, L"change 52");
  EXPECT_EQ(list[49].description, L"change 4");
  // Files of other names stay; the unreadable change backup (added after the last save) is not
  // listed but stays until the next save removes it as the oldest.
  EXPECT_EQ(Files().size(), 53u);
  EXPECT_TRUE(fs.Exists(kFolder + L"\\Change-notes.xml"));
  EXPECT_TRUE(fs.Exists(kFolder + L"\\BackupHklmDefault.xml"));
  ASSERT_EQ(SaveChangeBackup(context, L"one more", Values()), 0u);
  EXPECT_FALSE(fs.Exists(kFolder + L"\\Change-20000101-000000-000-000.xml"));
  ASSERT_EQ(ListChangeBackups(context, list), 0u);
  EXPECT_EQ(list.size(), 50u);
  EXPECT_EQ(list.back().description, L"change 5");
}

// Each registry and file call of a save throws in turn, as an allocation failing below it would:
// a save that reports 1359 leaves no file behind, and one that reports success (a throw while the
// oldest backups are removed) has saved a backup that undoes the change.
TEST_F(ChangeBackupsTest, AnExceptionEitherFailsTheSaveWithoutAFileOrLeavesACompleteBackup) {
  testing::ThrowCountdown countdown;
  testing::ThrowingRegistry throwingRegistry(reg, countdown);
  testing::ThrowingFileSystem throwingFs(fs, countdown);
  const BackupContext throwing{throwingRegistry, throwingFs, system, profile};
  for (int call = 1;; ++call) {
    SCOPED_TRACE(call);
    countdown.Arm(call);
    std::wstring path;
    const ErrorCode saved = SaveChangeBackup(throwing, L"d", Values(), &path);
    const bool fired = countdown.Fired();
    countdown.Disarm();
    if (saved != err::Success) {
      EXPECT_TRUE(fired);
      EXPECT_EQ(saved, err::InternalError);
      EXPECT_TRUE(Files().empty());
      continue;
    }
    ASSERT_EQ(Files().size(), 1u);
    MakeTheChange();
    UndoCounts counts;
    ASSERT_EQ(UndoChangeBackup(context, path, counts), 0u);
    EXPECT_EQ(counts.restored, 4u);
    EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"Strings"), L"ContentDir", k64), L"C:\\Old64");
    EXPECT_FALSE(reg.ValueExists(kHkcu, ProductKey(L"Piano"), L"UserRemoved"));
    fs.DeleteFile(path);
    if (!fired) break;
  }
}

}  // namespace
}  // namespace tessaly
