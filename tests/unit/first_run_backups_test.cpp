// The first-run backups: which archives are made on 64-bit and 32-bit Windows, where they go, how
// the settings record them, and what a restore puts back and leaves alone.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/settings/profile_store.h"
#include "registry_archive/first_run_backups.h"
#include "registry_archive/registry_archive.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"
#include "tests/unit/throwing_backends.h"

namespace tessaly {
namespace {

constexpr RegRoot kHklm = RegRoot::LocalMachine;
constexpr RegRoot kHkcu = RegRoot::CurrentUser;
const std::wstring kNi = L"SOFTWARE\\Native Instruments";
const std::wstring kFolder = L"C:\\Users\\Musician\\Documents\\Quillmoor\\Tessaly Documents";

class FirstRunBackupsTest : public ::testing::Test {
 protected:
  explicit FirstRunBackupsTest(bool is64Bit = true) : registry(is64Bit) {
    if (!is64Bit) system.UseWindows32Bit();
    system.CreateSpecialFolders(fs);
    system.disk = &fs;  // special folders must exist, or be created, as in the shell
  }
  std::wstring Setting(const wchar_t* name) {
    return profile.GetProfileString(kSettingsSection, name, nullptr);
  }

  FakeRegistry registry;
  FakeFileSystem fs;
  FakeSystem system;
  CProfileStore profile{registry};
  BackupContext context{registry, fs, system, profile};
};

class FirstRunBackups32Test : public FirstRunBackupsTest {
 protected:
  FirstRunBackups32Test() : FirstRunBackupsTest(false) {}
};

TEST_F(FirstRunBackupsTest, TheFolderIsCreatedBelowDocuments) {
  std::wstring folder;
  ASSERT_EQ(GetBackupFolder(fs, system, folder), 0u);
  EXPECT_EQ(folder, kFolder);
  EXPECT_TRUE(fs.IsFolder(kFolder));
  ASSERT_EQ(GetBackupFolder(fs, system, folder), 0u);  // an existing folder is fine

  system.specialFolders.erase(csidl::Personal);
  EXPECT_EQ(GetBackupFolder(fs, system, folder), err::InternalError);
  system.specialFolders[csidl::Personal] = L"C:\\" + std::wstring(240, L'd');
  EXPECT_EQ(GetBackupFolder(fs, system, folder), err::InternalError);
  system.specialFolders[csidl::Personal] = L"C:\\Users\\Other\\Documents";
  fs.AddFile(L"C:\\Users\\Other\\Documents\\Quillmoor", "a file in the way");
  EXPECT_EQ(GetBackupFolder(fs, system, folder), err::PathNotFound);
}

TEST_F(FirstRunBackupsTest, AMissingDocumentsFolderIsCreatedFirst) {
  const std::wstring documents = L"C:\\Users\\Newcomer\\Documents";
  const std::wstring folder = documents + L"\\Quillmoor\\Tessaly Documents";
  system.specialFolders[csidl::Personal] = documents;
  fs.InjectFailure(FakeFileSystem::Operation::CreateFolder, documents, err::AccessDenied, 1);
  std::wstring found;
  EXPECT_EQ(GetBackupFolder(fs, system, found), err::InternalError);
  EXPECT_FALSE(fs.Exists(documents));

  MakeFirstRunBackups(context);
  EXPECT_TRUE(fs.IsFolder(documents));
  EXPECT_EQ(fs.List(folder),
            (std::vector<std::wstring>{L"BackupHkcuDefault.xml", L"BackupHklm32Bit.xml",
                                       L"BackupHklmDefault.xml"}));
  for (const wchar_t* name : {kBackupHklmDefault, kBackupHklm32Bit, kBackupHkcuDefault})
    EXPECT_EQ(Setting(name), folder + L"\\" + name);
}

TEST_F(FirstRunBackupsTest, On64BitWindowsThreeArchivesAreMadeAndRecorded) {
  registry.SetString(kHklm, kNi + L"\\Massive", L"InstallDir", L"C:\\64\\", RegView::Key64);
  registry.SetString(kHklm, kNi + L"\\Massive", L"InstallDir", L"C:\\32\\", RegView::Key32);
  registry.SetString(kHkcu, kNi + L"\\Massive", L"User", L"yes");
  MakeFirstRunBackups(context);

  EXPECT_EQ(fs.List(kFolder),
            (std::vector<std::wstring>{L"BackupHkcuDefault.xml", L"BackupHklm32Bit.xml",
                                       L"BackupHklmDefault.xml"}));
  for (const wchar_t* name : {kBackupHklmDefault, kBackupHklm32Bit, kBackupHkcuDefault})
    EXPECT_EQ(Setting(name), kFolder + L"\\" + name);

  const std::string hklm = fs.ContentsText(kFolder + L"\\BackupHklmDefault.xml");
  const std::string hklm32 = fs.ContentsText(kFolder + L"\\BackupHklm32Bit.xml");
  const std::string hkcu = fs.ContentsText(kFolder + L"\\BackupHkcuDefault.xml");
  EXPECT_NE(hklm.find("<Force32>No</Force32>"), std::string::npos);
  EXPECT_NE(hklm.find("QwA6AFwANgA0AFwAAAA="), std::string::npos);  // C:\64\ in UTF-16LE
  EXPECT_NE(hklm32.find("<Force32>Yes</Force32>"), std::string::npos);
  EXPECT_NE(hklm32.find("QwA6AFwAMwAyAFwAAAA="), std::string::npos);  // C:\32\ in UTF-16LE
  EXPECT_NE(hkcu.find("<Hive>HKEY_CURRENT_USER</Hive>"), std::string::npos);
  EXPECT_NE(hkcu.find("name=\"User\""), std::string::npos);
}

TEST_F(FirstRunBackups32Test, On32BitWindowsTwoArchivesAreMadeAndRestored) {
  registry.SetString(kHklm, kNi + L"\\Massive", L"InstallDir", L"C:\\Old\\");
  MakeFirstRunBackups(context);
  EXPECT_EQ(fs.List(kFolder),
            (std::vector<std::wstring>{L"BackupHkcuDefault.xml", L"BackupHklmDefault.xml"}));
  EXPECT_EQ(Setting(kBackupHklm32Bit), L"");

  // Even a recorded 32-bit archive is not restored on 32-bit Windows.
  registry.SetString(kHkcu, kNi, L"Marker", L"before");
  ASSERT_EQ(MakeFirstRunBackup(context, kHkcu, false, L"Copy.xml"), 0u);
  ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kBackupHklm32Bit, Setting(L"Copy.xml")));
  registry.SetString(kHkcu, kNi, L"Marker", L"after");
  registry.SetString(kHklm, kNi + L"\\Massive", L"InstallDir", L"D:\\New\\");
  RestoreFirstRunBackups(context);
  EXPECT_EQ(registry.ReadString(kHklm, kNi + L"\\Massive", L"InstallDir"), L"C:\\Old\\");
  EXPECT_EQ(registry.ReadString(kHkcu, kNi, L"Marker"), L"after");
}

TEST_F(FirstRunBackupsTest, AFailedStepLeavesTheSettingUnwritten) {
  fs.InjectFailure(FakeFileSystem::Operation::WriteFile, kFolder + L"\\BackupHklmDefault.xml",
                   err::AccessDenied);
  MakeFirstRunBackups(context);
  EXPECT_EQ(Setting(kBackupHklmDefault), L"");
  EXPECT_EQ(Setting(kBackupHkcuDefault), kFolder + L"\\BackupHkcuDefault.xml");
  EXPECT_EQ(RestoreBackup(context, kBackupHklmDefault), err::InvalidParameter);

  system.specialFolders.erase(csidl::Personal);
  EXPECT_EQ(MakeFirstRunBackup(context, kHkcu, false, L"Other.xml"), err::InternalError);
  EXPECT_EQ(Setting(L"Other.xml"), L"");
}

TEST_F(FirstRunBackupsTest, RestoreSetsChangedPathsBackAndKeepsNewerProducts) {
  const std::wstring massive = kNi + L"\\Massive";
  const std::wstring newer = kNi + L"\\Kontakt 7";
  registry.SetString(kHklm, massive, L"InstallDir", L"C:\\Program Files\\Massive\\",
                     RegView::Key64);
  registry.SetString(kHklm, massive, L"InstallDir", L"C:\\Program Files (x86)\\Massive\\",
                     RegView::Key32);
  registry.SetString(kHkcu, massive, L"ContentDir", L"C:\\Users\\Musician\\Massive\\");
  MakeFirstRunBackups(context);

  // A wizard moves the product; later a new product is installed.
  registry.SetString(kHklm, massive, L"InstallDir", L"E:\\Massive\\", RegView::Key64);
  registry.SetString(kHklm, massive, L"InstallDir", L"E:\\Massive (x86)\\", RegView::Key32);
  registry.SetString(kHkcu, massive, L"ContentDir", L"E:\\Content\\");
  registry.SetString(kHklm, newer, L"InstallDir", L"C:\\Kontakt\\", RegView::Key64);

  RestoreFirstRunBackups(context);
  EXPECT_EQ(registry.ReadString(kHklm, massive, L"InstallDir", RegView::Key64),
            L"C:\\Program Files\\Massive\\");
  EXPECT_EQ(registry.ReadString(kHklm, massive, L"InstallDir", RegView::Key32),
            L"C:\\Program Files (x86)\\Massive\\");
  EXPECT_EQ(registry.ReadString(kHkcu, massive, L"ContentDir"), L"C:\\Users\\Musician\\Massive\\");
  EXPECT_EQ(registry.ReadString(kHklm, newer, L"InstallDir", RegView::Key64), L"C:\\Kontakt\\");
  // The archives themselves are never changed by a restore.
  const std::string before = fs.ContentsText(kFolder + L"\\BackupHklmDefault.xml");
  RestoreFirstRunBackups(context);
  EXPECT_EQ(fs.ContentsText(kFolder + L"\\BackupHklmDefault.xml"), before);
}

TEST_F(FirstRunBackupsTest, WithoutProductsAtFirstRunARestoreLeavesLaterOnesAlone) {
  MakeFirstRunBackups(context);
  registry.SetString(kHklm, kNi + L"\\Massive", L"InstallDir", L"C:\\M\\", RegView::Key64);
  registry.SetString(kHkcu, kNi + L"\\Massive", L"ContentDir", L"C:\\C\\");
  registry.ClearChanges();
  RestoreFirstRunBackups(context);
  EXPECT_TRUE(registry.Changes().empty());
  EXPECT_EQ(RestoreBackup(context, kBackupHklmDefault), err::InternalError);
}

TEST_F(FirstRunBackupsTest, ADeletedArchiveIsSkipped) {
  registry.SetString(kHkcu, kNi, L"V", L"first");
  MakeFirstRunBackups(context);
  registry.SetString(kHkcu, kNi, L"V", L"second");
  ASSERT_EQ(fs.DeleteFile(kFolder + L"\\BackupHkcuDefault.xml"), 0u);
  EXPECT_EQ(RestoreBackup(context, kBackupHkcuDefault), err::FileNotFound);
  RestoreFirstRunBackups(context);
  EXPECT_EQ(registry.ReadString(kHkcu, kNi, L"V"), L"second");
}

// A 64-bit machine with first-run values whose registry and file calls can be made to throw
// (`context`), and the same machine without throwing (`plain`) to set it up and look at it.
struct ThrowingMachine {
  explicit ThrowingMachine(testing::ThrowCountdown& countdown)
      : throwingRegistry(registry, countdown), throwingFs(fs, countdown) {
    system.CreateSpecialFolders(fs);
    system.disk = &fs;
    registry.SetString(kHklm, kNi + L"\\Massive", L"InstallDir", L"C:\\64\\", RegView::Key64);
    registry.SetString(kHkcu, kNi + L"\\Massive", L"User", L"first");
  }
  std::wstring Setting(const wchar_t* name) {
    return plainProfile.GetProfileString(kSettingsSection, name, nullptr);
  }

  FakeRegistry registry;
  FakeFileSystem fs;
  FakeSystem system;
  testing::ThrowingRegistry throwingRegistry;
  testing::ThrowingFileSystem throwingFs;
  CProfileStore profile{throwingRegistry};
  CProfileStore plainProfile{registry};
  BackupContext context{throwingRegistry, throwingFs, system, profile};
  BackupContext plain{registry, fs, system, plainProfile};
};

// Each registry and file call of a backup throws in turn, as an allocation failing below it
// would: the backup gives 1359 and records nothing, and in MakeFirstRunBackups the archives after
// the failed one are still made.
TEST(FirstRunBackupsFailureTest, AnExceptionFailsOnlyItsOwnBackup) {
  testing::ThrowCountdown countdown;
  std::optional<ThrowingMachine> machine;
  const int calls = testing::ThrowAtEachCall(
      countdown,
      [&] {
        machine.emplace(countdown);
        return MakeFirstRunBackup(machine->context, kHklm, false, kBackupHklmDefault);
      },
      [&](int) { EXPECT_EQ(machine->Setting(kBackupHklmDefault), L""); });
  EXPECT_EQ(machine->Setting(kBackupHklmDefault), kFolder + L"\\BackupHklmDefault.xml");

  for (int call = 1; call <= calls; ++call) {
    SCOPED_TRACE(call);
    machine.emplace(countdown);
    countdown.Arm(call);
    MakeFirstRunBackups(machine->context);
    EXPECT_TRUE(countdown.Fired());
    EXPECT_EQ(machine->Setting(kBackupHklmDefault), L"");
    EXPECT_EQ(machine->Setting(kBackupHklm32Bit), kFolder + L"\\BackupHklm32Bit.xml");
    EXPECT_EQ(machine->Setting(kBackupHkcuDefault), kFolder + L"\\BackupHkcuDefault.xml");
  }
  countdown.Disarm();
}

// The same for a restore: 1359 from RestoreBackup, and RestoreFirstRunBackups goes on with the
// next archive.
TEST(FirstRunBackupsFailureTest, AnExceptionFailsOnlyItsOwnRestore) {
  testing::ThrowCountdown countdown;
  std::optional<ThrowingMachine> machine;
  const auto changedSinceBackup = [&] {
    machine.emplace(countdown);
    MakeFirstRunBackups(machine->plain);
    machine->registry.SetString(kHklm, kNi + L"\\Massive", L"InstallDir", L"D:\\", RegView::Key64);
    machine->registry.SetString(kHkcu, kNi + L"\\Massive", L"User", L"later");
  };
  const int calls = testing::ThrowAtEachCall(
      countdown,
      [&] {
        changedSinceBackup();
        return RestoreBackup(machine->context, kBackupHklmDefault);
      },
      [](int) {});
  EXPECT_EQ(machine->registry.ReadString(kHklm, kNi + L"\\Massive", L"InstallDir", RegView::Key64),
            L"C:\\64\\");

  for (int call = 1; call <= calls; ++call) {
    SCOPED_TRACE(call);
    changedSinceBackup();
    countdown.Arm(call);
    RestoreFirstRunBackups(machine->context);
    EXPECT_TRUE(countdown.Fired());
    EXPECT_EQ(machine->registry.ReadString(kHkcu, kNi + L"\\Massive", L"User"), L"first");
  }
  countdown.Disarm();
}

}  // namespace
}  // namespace tessaly
