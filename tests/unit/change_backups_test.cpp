// Change backups over the fakes: what is saved before a change (only the values named, both
// views and the user hive, values that did not exist), the undo that puts them back, the files
// refused before anything is written, the listing and the 50 kept.
#include <gtest/gtest.h>

#include <memory>
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

void DeleteUserValue(FakeRegistry& reg, const std::wstring& path, const wchar_t* name) {
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(reg.OpenKey(kHkcu, path, access::Write, key), 0u);
  ASSERT_EQ(key->DeleteValue(name), 0u);
}

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
    return {{kHklm, false, ProductKey(L"Strings"), L"ContentDir", TextValueData(L"E:\\New")},
            {kHklm, true, ProductKey(L"Piano"), L"ContentDir", TextValueData(L"E:\\New")},
            {kHkcu, false, ProductKey(L"Strings"), L"UserListIndex", DwordValueData(1)},
            {kHkcu, false, ProductKey(L"Piano"), L"UserRemoved", DwordValueData(1)},
            // named twice, saved once
            {kHkcu, false, ProductKey(L"strings"), L"userlistindex", DwordValueData(1)},
            {kHklm, false, ProductKey(L"Gone"), L"ContentDir", TextValueData(L"E:\\New")}};
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
  ASSERT_EQ(
      SaveChangeBackup(context, L"Use for all Content library products: E:\\New", Values(), &path),
      0u);
  EXPECT_EQ(path, kFolder + L"\\Change-0000000001-20240305T143000000Z.xml");
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
  reg.InjectFailure(kHkcu, ProductKey(L"Piano"), FakeRegistry::Operation::Delete,
                    err::AccessDenied);
  reg.DeleteTree(kHklm, ProductKey(L"Piano"), k32);  // a product removed since the change
  UndoCounts counts;
  ASSERT_EQ(UndoChangeBackup(context, path, counts), 0u);
  EXPECT_EQ(counts.restored, 1u);
  EXPECT_EQ(counts.failed, 3u);
  EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(L"Strings"), L"UserListIndex"), 4u);
  EXPECT_FALSE(reg.Exists(kHklm, ProductKey(L"Piano"), k32))
      << "a removed product is not recreated";
}

TEST_F(ChangeBackupsTest, AFailedSaveLeavesNoFile) {
  struct Case {
    const char* name;
    std::vector<ChangedValue> values;
    ErrorCode expected;
    void (*prepare)(FakeRegistry&, FakeFileSystem&);
  } cases[] = {
      {"a key outside the Native Instruments keys",
       {{kHklm, false, L"SOFTWARE\\Other", L"X"}},
       err::InvalidParameter,
       nullptr},
      {"the products key itself",
       {{kHklm, false, L"SOFTWARE\\Native Instruments", L"X"}},
       err::InvalidParameter,
       nullptr},
      {"another hive",
       {{RegRoot::ClassesRoot, false, ProductKey(L"Strings"), L"ContentDir"}},
       err::InvalidParameter,
       nullptr},
      {"a key below a product key",
       {{kHklm, false, ProductKey(L"Strings") + L"\\Sub", L"ContentDir"}},
       err::InvalidParameter,
       nullptr},
      {"a value the program does not change",
       {{kHklm, false, ProductKey(L"Strings"), L"Untouched"}},
       err::InvalidParameter,
       nullptr},
      {"a user value in the machine hive",
       {{kHklm, false, ProductKey(L"Strings"), L"UserRemoved"}},
       err::InvalidParameter,
       nullptr},
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

// Each shape a save never writes, in a file that is otherwise sound: the whole file is refused
// before anything is written, and the refusal says what it held.
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
  auto value = [&](const std::string& attributes) {
    return change(archive, "<Subkey name=\"S\"><Value name=\"ContentDir\" " + attributes +
                               ">QQBCAA==</Value></Subkey>");
  };
  const struct {
    const char* name;
    std::string text;
    const wchar_t* said;  // a part of the refusal
  } cases[] = {
      {"not XML", "<RegistryChange><Description>", L"not XML"},
      {"a first-run archive", "<RegistryArchive>" + archive + "</RegistryArchive>",
       L"no change of Tessaly"},
      {"another hive",
       change("<Hive>HKEY_CLASSES_ROOT</Hive><RootSubkey>SOFTWARE\\Native "
              "Instruments</RootSubkey><Force32>No</Force32>",
              good),
       L"the hive \"HKEY_CLASSES_ROOT\""},
      {"another key",
       change("<Hive>HKEY_CURRENT_USER</Hive><RootSubkey>SOFTWARE\\Microsoft"
              "</RootSubkey><Force32>No</Force32>",
              good),
       L"the key \"SOFTWARE\\Microsoft\""},
      {"no view",
       change("<Hive>HKEY_CURRENT_USER</Hive><RootSubkey>SOFTWARE\\Native "
              "Instruments</RootSubkey>",
              good),
       L"without its view"},
      {"a key name that climbs",
       change(archive, "<Subkey name=\"..\\..\\Microsoft\"><Value "
                       "name=\"ContentDir\" absent=\"Yes\"/></Subkey>"),
       L"which is not a product key"},
      {"a key without a name",
       change(archive, "<Subkey><Value name=\"ContentDir\" absent=\"Yes\"/>"
                       "</Subkey>"),
       L"which is not a product key"},
      {"a key below a product key",
       change(archive, "<Subkey name=\"S\"><Subkey name=\"Deeper\"><Value name=\"ContentDir\" "
                       "absent=\"Yes\"/></Subkey></Subkey>"),
       L"deeper than Tessaly saves them"},
      {"a value of the vendor's key itself",
       change(archive, "<Value name=\"ContentDir\" absent=\"Yes\"/>"), L"itself"},
      {"a value the program never writes",
       change(archive,
              "<Subkey name=\"S\"><Value name=\"Run\" type=\"1\" size=\"4\">QQBCAA==</Value>"
              "</Subkey>"),
       L"the value \"Run\" of HKEY_LOCAL_MACHINE\\SOFTWARE\\Native Instruments\\S"},
      {"a user value in the machine hive",
       change(archive,
              "<Subkey name=\"S\"><Value name=\"UserListIndex\" absent=\"Yes\"/></Subkey>"),
       L"which Tessaly does not change"},
      {"an unknown type name", value("type=\"REG_SOMETHING\" size=\"4\""),
       L"the value type \"REG_SOMETHING\""},
      {"a type beyond 32 bits", value("type=\"4294967296\" size=\"4\""), L"4294967296"},
      {"no type", value("size=\"4\""), L"the value type \"\""},
      {"a size beyond its data", value("type=\"1\" size=\"9\""), L"beyond its data"},
      {"written data beyond its size",
       value("type=\"1\" size=\"4\" writtenType=\"1\" writtenSize=\"9\" written=\"QQBCAA==\""),
       L"what the change wrote"},
  };
  reg.SetString(kHkcu, ProductKey(L"Strings"), L"ContentDir", L"present");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring path = kFolder + L"\\Change-20240305-143000-000-000.xml";
    fs.AddFile(path, std::string_view(c.text));
    reg.ClearChanges();
    UndoCounts counts{7, 7};
    std::wstring refused;
    EXPECT_EQ(UndoChangeBackup(context, path, counts, &refused), err::InternalError);
    EXPECT_NE(refused.find(c.said), std::wstring::npos) << ToUtf8(refused);
    EXPECT_TRUE(reg.Changes().empty());
    EXPECT_EQ(counts.restored + counts.failed, 0u);
    UndoPreview preview;
    refused.clear();
    EXPECT_EQ(PreviewUndo(context, path, preview, &refused), err::InternalError);
    EXPECT_NE(refused.find(c.said), std::wstring::npos);
    EXPECT_EQ(Files().size(), 1u) << "no backup of an undo that did not happen";
  }
  EXPECT_EQ(UndoRefusedMessage(L"C:\\B\\Change.xml", err::InternalError, L"the hive \"X\""),
            L"The backup C:\\B\\Change.xml was not used, because it holds the hive \"X\". A backup "
            L"that Tessaly saved holds only the folders and Libraries-tab settings of products. "
            L"Nothing was changed.");
  EXPECT_EQ(UndoRefusedMessage(L"C:\\B\\Change.xml", err::FileNotFound, L""),
            L"The backup C:\\B\\Change.xml could not be read (error 2). Nothing was changed.");
  // The same file with both archives sound is undone: the check above is of the archives only.
  const std::wstring path = kFolder + L"\\Change-20240305-143000-000-001.xml";
  fs.AddFile(path, std::string_view(change(archive, good)));
  UndoCounts counts;
  EXPECT_EQ(UndoChangeBackup(context, path, counts), 0u);
  EXPECT_EQ(counts.restored, 2u);

  // A change whose keys were all gone holds no archive: there is nothing to put back.
  std::wstring empty;
  ASSERT_EQ(
      SaveChangeBackup(
          context, L"d",
          std::vector<ChangedValue>{{kHklm, false, ProductKey(L"Gone"), L"ContentDir"}}, &empty),
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
  EXPECT_EQ(list[0].path, kFolder + L"\\Change-0000000054-20240305T145200000Z.xml");
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

// A change backup of earlier versions: named by local time, types by name, no written values.
std::string OldBackup(const std::string& description, const std::string& localTime) {
  return "<RegistryChange><Description>" + description + "</Description><LocalLoadTime>" +
         localTime +
         "</LocalLoadTime><RegistryArchive><Hive>HKEY_LOCAL_MACHINE</Hive>"
         "<RootSubkey>SOFTWARE\\Native Instruments</RootSubkey><LocalLoadTime>" +
         localTime +
         "</LocalLoadTime><Force32>No</Force32><Subkey name=\"SOFTWARE\\Native Instruments\">"
         "<LastWrite>AAAAAAAAAAA=</LastWrite><Subkey name=\"Strings\"><LastWrite>AAAAAAAAAAA="
         "</LastWrite><Value name=\"ContentDir\" type=\"REG_EXPAND_SZ\" size=\"6\">QQBCAAAA</Value>"
         "</Subkey></Subkey></RegistryArchive></RegistryChange>";
}
// 2030-01-01 12:00 as a capture time (eight 16-bit fields, year first).
const std::string kLocalTime2030 = "7gcBAAIAAQAMAAAAAAAAAA==";

// The order of backups is the order they were made, whatever the clock did in between: 50 made
// under one clock, one more under another; the new one is listed first, is not removed as the
// oldest, and shows its local time.
TEST_F(ChangeBackupsTest, TheNewBackupIsTheNewestWhateverTheClockDid) {
  const struct {
    const char* name;
    LocalTime before;
    int offsetBefore;
    LocalTime after;
    int offsetAfter;
    const wchar_t* shown;
    bool oldNames;  // the 50 are backups of an earlier version named by their local time
  } cases[] = {
      {"the clock was ahead, then corrected",
       {2030, 1, 2, 1, 12, 0, 0, 0},
       0,
       {2024, 3, 2, 5, 14, 30, 0, 0},
       0,
       L"3/5/2024, 2:30:00 PM",
       false},
      {"a move west",
       {2024, 3, 2, 5, 14, 30, 0, 0},
       60,
       {2024, 3, 2, 5, 8, 31, 0, 0},
       -300,
       L"3/5/2024, 8:31:00 AM",
       false},
      {"the end of summer time",
       {2024, 10, 0, 27, 2, 50, 0, 0},
       120,
       {2024, 10, 0, 27, 2, 5, 0, 0},
       60,
       L"10/27/2024, 2:05:00 AM",
       false},
      {"backups of an earlier version made while the clock was ahead",
       {},
       0,
       {2024, 3, 2, 5, 14, 30, 0, 0},
       0,
       L"3/5/2024, 2:30:00 PM",
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::wstring& file : Files()) fs.DeleteFile(kFolder + L"\\" + file);
    system.localTime = c.before;
    system.utcOffsetMinutes = c.offsetBefore;
    for (int i = 0; i < 50; ++i) {
      if (c.oldNames) {
        fs.AddFile(kFolder + L"\\Change-20300101-1200" + (i < 10 ? L"0" : L"") +
                       std::to_wstring(i) + L"-000-000.xml",
                   std::string_view(OldBackup("old " + std::to_string(i), kLocalTime2030)));
        continue;
      }
      system.localTime.second = uint16_t(i);
      ASSERT_EQ(SaveChangeBackup(context, L"before " + std::to_wstring(i), Values()), 0u);
    }
    system.localTime = c.after;
    system.utcOffsetMinutes = c.offsetAfter;
    std::wstring path;
    ASSERT_EQ(SaveChangeBackup(context, L"the new one", Values(), &path), 0u);
    EXPECT_TRUE(fs.Exists(path)) << "the file just written is never removed";
    EXPECT_EQ(Files().size(), 50u);

    std::vector<ChangeBackupEntry> list;
    ASSERT_EQ(ListChangeBackups(context, list), 0u);
    ASSERT_EQ(list.size(), 50u);
    EXPECT_EQ(list[0].path, path);
    EXPECT_EQ(list[0].description, L"the new one");
    EXPECT_EQ(list[0].date, c.shown);
    // The oldest of the 50 went; the rest keep the order they were made in.
    const std::wstring prefix = c.oldNames ? L"old " : L"before ";
    EXPECT_EQ(list[1].description, prefix + L"49");
    EXPECT_EQ(list[49].description, prefix + L"1");
    if (c.oldNames) {
      EXPECT_EQ(list[1].date, L"1/1/2030, 12:00:00 PM") << "their local time, as they stored it";
      UndoCounts counts;
      ASSERT_EQ(UndoChangeBackup(context, list[1].path, counts), 0u);
      EXPECT_EQ(counts.restored, 1u);
    }
  }
}

// A backup of an earlier version: its type names are read, and it is undone without the
// comparison, which the question says it cannot make.
TEST_F(ChangeBackupsTest, ABackupOfAnEarlierVersionIsUndoneAndSaysItCannotCompare) {
  const std::wstring path = kFolder + L"\\Change-20240301-101500-000-000.xml";
  fs.AddFile(path, std::string_view(OldBackup("Use for Strings only: E:\\New", kLocalTime2030)));
  UndoPreview preview;
  ASSERT_EQ(PreviewUndo(context, path, preview), 0u);
  EXPECT_EQ(preview.notRecorded, 1u);
  EXPECT_TRUE(preview.changedSince.empty());
  const std::wstring question =
      UndoQuestion({path, L"1/1/2030, 12:00:00 PM", preview.description}, preview);
  EXPECT_NE(question.find(L"does not record what the change wrote"), std::wstring::npos);

  UndoCounts counts;
  ASSERT_EQ(UndoChangeBackup(context, path, counts), 0u);
  EXPECT_EQ(counts.restored, 1u);
  uint32_t type = 0;
  EXPECT_EQ(reg.ReadBytes(kHklm, ProductKey(L"Strings"), L"ContentDir", &type, k64),
            (std::vector<uint8_t>{'A', 0, 'B', 0, 0, 0}));
  EXPECT_EQ(type, regtype::ExpandSz);
}

// Types are kept by their number: a type the archive table does not name comes back as itself.
TEST_F(ChangeBackupsTest, EveryTypeComesBackAsItWas) {
  const uint32_t types[] = {
      regtype::None,  regtype::ExpandSz,       regtype::Binary, regtype::MultiSz,
      regtype::Qword, regtype::DwordBigEndian, regtype::Link,   0x20,
      0xFFFFFFFFu};
  for (const uint32_t type : types) {
    SCOPED_TRACE(type);
    const std::vector<uint8_t> bytes = {1, 2, 3, 4};
    reg.SetBytes(kHklm, ProductKey(L"Strings"), L"InstallDir", type, bytes, k64);
    std::wstring path;
    ASSERT_EQ(SaveChangeBackup(context, L"d",
                               std::vector<ChangedValue>{{kHklm, false, ProductKey(L"Strings"),
                                                          L"InstallDir", TextValueData(L"E:\\")}},
                               &path),
              0u);
    reg.SetString(kHklm, ProductKey(L"Strings"), L"InstallDir", L"E:\\", k64);
    UndoCounts counts;
    ASSERT_EQ(UndoChangeBackup(context, path, counts), 0u);
    uint32_t read = 0;
    EXPECT_EQ(reg.ReadBytes(kHklm, ProductKey(L"Strings"), L"InstallDir", &read, k64), bytes);
    EXPECT_EQ(read, type);
  }
}

// A value changed again after the change: the question names it, the undo overwrites it, and the
// undo is itself a change in the list that puts the later values back when undone.
TEST_F(ChangeBackupsTest, AValueChangedSinceIsNamedAndTheUndoCanBeUndone) {
  std::wstring path;
  ASSERT_EQ(
      SaveChangeBackup(context, L"Use for all Content library products: E:\\New", Values(), &path),
      0u);
  MakeTheChange();
  const struct {
    const char* name;
    void (*changeAgain)(FakeRegistry&);
    std::vector<std::wstring> named;
  } cases[] = {
      {"nothing changed since", [](FakeRegistry&) {}, {}},
      {"a folder changed again and a user value deleted",
       [](FakeRegistry& reg) {
         reg.SetString(kHklm, ProductKey(L"Piano"), L"ContentDir", L"F:\\Later", k32);
         DeleteUserValue(reg, ProductKey(L"Strings"), L"UserListIndex");
       },
       {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Native Instruments\\Piano\\ContentDir (32-bit view)",
        L"HKEY_CURRENT_USER\\SOFTWARE\\Native Instruments\\Strings\\UserListIndex"}},
      {"a value set back by hand to what it was before",
       [](FakeRegistry& reg) {
         reg.SetString(kHklm, ProductKey(L"Strings"), L"ContentDir", L"C:\\Old64", k64);
       },
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MakeTheChange();
    c.changeAgain(reg);
    UndoPreview preview;
    ASSERT_EQ(PreviewUndo(context, path, preview), 0u);
    EXPECT_EQ(preview.changedSince, c.named);
    EXPECT_EQ(preview.notRecorded, 0u);
    const std::wstring question =
        UndoQuestion({path, L"3/5/2024, 2:30:00 PM", preview.description}, preview);
    EXPECT_EQ(question.find(L"will be overwritten:") != std::wstring::npos, !c.named.empty());
    for (const std::wstring& value : c.named)
      EXPECT_NE(question.find(L"\n" + value), std::wstring::npos) << ToUtf8(value);
    EXPECT_EQ(question.find(L"earlier version"), std::wstring::npos);
  }

  // The last state: the 32-bit folder was changed again to F:\Later and a user value deleted.
  MakeTheChange();
  reg.SetString(kHklm, ProductKey(L"Piano"), L"ContentDir", L"F:\\Later", k32);
  DeleteUserValue(reg, ProductKey(L"Strings"), L"UserListIndex");
  system.localTime.minute = 45;
  UndoCounts counts;
  std::wstring undoPath;
  ASSERT_EQ(UndoChangeBackup(context, path, counts, nullptr, &undoPath), 0u);
  EXPECT_EQ(counts.restored, 4u);
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"Piano"), L"ContentDir", k32), L"C:\\Old32");
  EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(L"Strings"), L"UserListIndex"), 4u);

  std::vector<ChangeBackupEntry> list;
  ASSERT_EQ(ListChangeBackups(context, list), 0u);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].path, undoPath);
  EXPECT_EQ(list[0].description, L"Undo of: Use for all Content library products: E:\\New");

  // Undoing the undo brings back what the undo replaced, the later F:\Later included, and
  // removes the value it had recreated.
  UndoPreview preview;
  ASSERT_EQ(PreviewUndo(context, undoPath, preview), 0u);
  EXPECT_TRUE(preview.changedSince.empty());
  ASSERT_EQ(UndoChangeBackup(context, undoPath, counts), 0u);
  EXPECT_EQ(counts.restored, 4u);
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"Piano"), L"ContentDir", k32), L"F:\\Later");
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"Strings"), L"ContentDir", k64), L"E:\\New");
  EXPECT_FALSE(reg.ValueExists(kHkcu, ProductKey(L"Strings"), L"UserListIndex"));
  EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(L"Piano"), L"UserRemoved"), 1u);
  ASSERT_EQ(ListChangeBackups(context, list), 0u);
  EXPECT_EQ(list[0].description,
            L"Undo of: Undo of: Use for all Content library products: E:\\New");
}

// An undo whose own backup cannot be saved changes nothing.
TEST_F(ChangeBackupsTest, AnUndoWhoseBackupCannotBeSavedChangesNothing) {
  std::wstring path;
  ASSERT_EQ(SaveChangeBackup(context, L"d", Values(), &path), 0u);
  MakeTheChange();
  reg.ClearChanges();
  fs.InjectFailure(FakeFileSystem::Operation::WriteFile, kFolder + L"\\*", err::DiskFull);
  UndoCounts counts;
  EXPECT_EQ(UndoChangeBackup(context, path, counts), err::InternalError);
  EXPECT_TRUE(reg.Changes().empty());
  EXPECT_EQ(counts.restored + counts.failed, 0u);
}

// Thousands of nested keys are refused without walking them (reading recursed once).
TEST_F(ChangeBackupsTest, DeepNestingIsRefusedWithoutRecursion) {
  for (const int depth : {2, 100000}) {
    SCOPED_TRACE(depth);
    std::string keys;
    for (int i = 0; i < depth; ++i) keys += "<Subkey name=\"K\">";
    keys += "<Value name=\"ContentDir\" absent=\"Yes\"/>";
    for (int i = 0; i < depth; ++i) keys += "</Subkey>";
    const std::wstring path = kFolder + L"\\Change-0000000001-20240305T143000000Z.xml";
    fs.AddFile(
        path, std::string_view("<RegistryChange><Description>d</Description><RegistryArchive><Hive>"
                               "HKEY_LOCAL_MACHINE</Hive><RootSubkey>SOFTWARE\\Native Instruments"
                               "</RootSubkey><Force32>No</Force32><Subkey name=\"SOFTWARE\\Native "
                               "Instruments\">" +
                               keys + "</Subkey></RegistryArchive></RegistryChange>"));
    UndoCounts counts;
    std::wstring refused;
    EXPECT_EQ(UndoChangeBackup(context, path, counts, &refused), err::InternalError);
    EXPECT_NE(refused.find(L"deeper than Tessaly saves them"), std::wstring::npos);
    std::vector<ChangeBackupEntry> list;
    EXPECT_EQ(ListChangeBackups(context, list), 0u);
  }
}

// A backup folder that cannot be listed is an error with the folder, not "nothing to undo".
TEST_F(ChangeBackupsTest, AnUnreadableBackupFolderIsAnError) {
  ASSERT_EQ(SaveChangeBackup(context, L"d", Values()), 0u);
  fs.InjectFailure(FakeFileSystem::Operation::FindFiles, kFolder + L"\\Change-*.xml",
                   err::AccessDenied);
  std::vector<ChangeBackupEntry> list;
  std::wstring folder;
  EXPECT_EQ(ListChangeBackups(context, list, &folder), err::AccessDenied);
  EXPECT_EQ(folder, kFolder);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(BackupFolderUnreadableMessage(folder, err::AccessDenied),
            L"The folder of Tessaly's backups, " + kFolder +
                L", cannot be read (error 5), so the changes that could be undone cannot be "
                L"listed.");
  EXPECT_EQ(BackupFolderUnreadableMessage(L"", err::InternalError),
            L"The folder of Tessaly's backups cannot be found or made (error 1359), so the changes "
            L"that could be undone cannot be listed.");
  fs.ClearFailures();
  // An empty folder is no error: there is nothing to undo.
  for (const std::wstring& file : Files()) fs.DeleteFile(kFolder + L"\\" + file);
  EXPECT_EQ(ListChangeBackups(context, list), 0u);
  EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace tessaly
