// The settings store over the registry: where values live, defaults for missing or mistyped
// values, the folder-list form of VstPaths32/VstPaths64, and the product-manager filter bits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "catalog/file_database.h"
#include "plugins/plugin_folders.h"
#include "product_manager/product_filters.h"
#include "relocation/relocation_settings.h"
#include "tests/support/fake_registry.h"

namespace tessaly {
namespace {

const wchar_t kKey[] = L"Software\\Quillmoor\\Tessaly\\Settings";
constexpr RegRoot kHkcu = RegRoot::CurrentUser;

class ProfileStoreTest : public ::testing::Test {
 protected:
  FakeRegistry registry;
  CProfileStore store{registry};
};

TEST_F(ProfileStoreTest, AFreshUserReadsTheDefaultsAndCreatesNothing) {
  EXPECT_EQ(store.GetProfileInt(kSettingsSection, kWizardSelection, 0), 0u);
  EXPECT_EQ(store.GetProfileInt(kSettingsSection, kFirstRun, kDefaultFirstRun), 1u);
  EXPECT_EQ(store.GetProfileInt(kSettingsSection, kCenterX, kDefaultCenter), 0xFFFFFFFFu);
  EXPECT_EQ(store.GetProfileString(kSettingsSection, kFileDatabasePath, kDefaultFileDatabasePath),
            L"FileDatabase.xml");
  EXPECT_EQ(store.GetProfileString(kSettingsSection, kVstHost32, nullptr), L"");
  EXPECT_EQ(ReadProductCheckboxes(store).ToBits(), 15u);
  EXPECT_EQ(ReadShowPathFlags(store).ToBits(), 3u);
  EXPECT_FALSE(registry.Exists(kHkcu, L"Software\\Quillmoor"));
}

TEST_F(ProfileStoreTest, WritesCreateTheKeyAndReadBack) {
  EXPECT_TRUE(store.WriteProfileInt(kSettingsSection, kCenterX, -1));
  EXPECT_TRUE(store.WriteProfileInt(kSettingsSection, kCenterY, 300));
  EXPECT_TRUE(store.WriteProfileString(kSettingsSection, kRelocateSource, L"D:\\Samples"));
  EXPECT_EQ(registry.ReadDword(kHkcu, kKey, kCenterX), 0xFFFFFFFFu);
  EXPECT_EQ(registry.ReadDword(kHkcu, kKey, kCenterY), 300u);
  EXPECT_EQ(registry.ReadString(kHkcu, kKey, kRelocateSource), L"D:\\Samples");
  EXPECT_EQ(store.GetProfileInt(kSettingsSection, kCenterY, kDefaultCenter), 300u);
  EXPECT_EQ(store.GetProfileString(kSettingsSection, kRelocateSource, nullptr), L"D:\\Samples");
  // Names compare without regard to case, like the registry's.
  EXPECT_EQ(store.GetProfileInt(kSettingsSection, L"centery", kDefaultCenter), 300u);
  EXPECT_TRUE(store.WriteProfileString(kSettingsSection, kRelocateSource, L""));
  EXPECT_EQ(store.GetProfileString(kSettingsSection, kRelocateSource, L"default"), L"");
}

TEST_F(ProfileStoreTest, TheKeyFollowsRegistryKeyAndApplicationName) {
  CProfileStore renamed(registry, L"Quillmoor", L"Tessaly2");
  EXPECT_TRUE(renamed.WriteProfileInt(kSettingsSection, kWizardSelection, 3));
  EXPECT_EQ(registry.ReadDword(kHkcu, L"Software\\Quillmoor\\Tessaly2\\Settings", kWizardSelection),
            3u);
  EXPECT_EQ(store.GetProfileInt(kSettingsSection, kWizardSelection, 0), 0u)
      << "a renamed program starts from an empty key";
  EXPECT_EQ(renamed.SectionPath(L"Other"), L"Software\\Quillmoor\\Tessaly2\\Other");
}

TEST_F(ProfileStoreTest, TheRelocationOptionsAreStoredWithTheFoldersAndReachTheEngine) {
  // Off by default: a fresh user's move compares sizes only.
  EXPECT_FALSE(LoadFolderChoice(store).compareContents);
  EXPECT_FALSE(LoadRelocationRequest(store).compareContents);
  FolderChoice choice{L"D:\\Samples\\Strings\\", L"E:\\Content", false, true, true};
  StoreFolderChoice(store, choice);
  EXPECT_EQ(registry.ReadDword(kHkcu, kKey, kCompareContents), 1u);
  EXPECT_EQ(registry.ReadDword(kHkcu, kKey, kCopyContentsOnly), 1u);
  const FolderChoice loaded = LoadFolderChoice(store);
  EXPECT_TRUE(loaded.compareContents);
  EXPECT_TRUE(loaded.differentName);
  EXPECT_FALSE(loaded.linkOnly);
  StoreConfirmedTarget(store, L"E:\\Content");
  const RelocationRequest request = LoadRelocationRequest(store);
  EXPECT_EQ(request.source, L"D:\\Samples\\Strings");
  EXPECT_EQ(request.target, L"E:\\Content");
  EXPECT_TRUE(request.compareContents);
  choice.compareContents = false;
  StoreFolderChoice(store, choice);
  EXPECT_FALSE(LoadRelocationRequest(store).compareContents);
}

TEST_F(ProfileStoreTest, AValueOfAnotherTypeReadsAsTheDefault) {
  registry.SetString(kHkcu, kKey, kWizardSelection, L"3");
  registry.SetBytes(kHkcu, kKey, kFirstRun, regtype::Binary, {0, 0, 0, 0});
  registry.SetBytes(kHkcu, kKey, kCenterX, regtype::Qword, {5, 0, 0, 0, 0, 0, 0, 0});
  registry.SetDword(kHkcu, kKey, kVstHost32, 7);
  registry.SetExpandString(kHkcu, kKey, kVstHost64, L"%ProgramFiles%\\Host.exe");
  EXPECT_EQ(store.GetProfileInt(kSettingsSection, kWizardSelection, 0), 0u);
  EXPECT_EQ(store.GetProfileInt(kSettingsSection, kFirstRun, kDefaultFirstRun), 1u);
  EXPECT_EQ(store.GetProfileInt(kSettingsSection, kCenterX, kDefaultCenter), 0xFFFFFFFFu);
  EXPECT_EQ(store.GetProfileString(kSettingsSection, kVstHost32, L"none"), L"none");
  EXPECT_EQ(store.GetProfileString(kSettingsSection, kVstHost64, nullptr), L"");
}

TEST_F(ProfileStoreTest, FailedWritesReportFalse) {
  registry.InjectFailure(kHkcu, kKey, FakeRegistry::Operation::Create, err::AccessDenied, 1);
  EXPECT_FALSE(store.WriteProfileString(kSettingsSection, kFileDatabasePath, L"C:\\db.xml"));
  registry.InjectFailure(kHkcu, kKey, FakeRegistry::Operation::Set, err::AccessDenied, 1);
  EXPECT_FALSE(store.WriteProfileInt(kSettingsSection, kFirstRun, 0));
  EXPECT_TRUE(store.WriteProfileInt(kSettingsSection, kFirstRun, 0));
  EXPECT_EQ(store.GetProfileInt(kSettingsSection, kFirstRun, kDefaultFirstRun), 0u);
}

TEST_F(ProfileStoreTest, FolderListsReadBackCleaned) {
  const struct {
    const wchar_t* stored;
    std::vector<std::wstring> folders;
  } cases[] = {
      {L"C:\\Plugins\\\\||D:\\VST\\|c:\\plugins", {L"C:\\Plugins", L"D:\\VST"}},
      {L"", {}},
      {L"|D:\\|", {L"D:\\"}},
  };
  for (const auto& c : cases) {
    registry.SetString(kHkcu, kKey, kVstPaths32, c.stored);
    CSafeStringList list;
    list.Add(L"left over", false);
    EXPECT_EQ(store.ReadFolderList(kVstPaths32, list), c.folders.size()) << c.stored;
    EXPECT_EQ(list.Entries(), c.folders);
  }
  CSafeStringList missing;
  EXPECT_EQ(store.ReadFolderList(kVstPaths64, missing), 0u);
}

TEST_F(ProfileStoreTest, FolderListsAreStoredJoinedOrLeftAsTheyWere) {
  CSafeStringList list;
  list.Add(L"C:\\VST", false);
  list.Add(L"D:\\More VST", false);
  EXPECT_TRUE(store.WriteFolderList(kVstPaths64, list));
  EXPECT_EQ(registry.ReadString(kHkcu, kKey, kVstPaths64), L"C:\\VST|D:\\More VST");

  CSafeStringList tooLong;
  tooLong.Add(std::wstring(1500, L'a'), false);
  tooLong.Add(std::wstring(600, L'b'), false);
  EXPECT_FALSE(store.WriteFolderList(kVstPaths64, tooLong));
  EXPECT_EQ(registry.ReadString(kHkcu, kKey, kVstPaths64), L"C:\\VST|D:\\More VST");

  EXPECT_TRUE(store.WriteFolderList(kVstPaths64, CSafeStringList()));
  EXPECT_EQ(registry.ReadString(kHkcu, kKey, kVstPaths64), L"");
}

TEST_F(ProfileStoreTest, FilterBitsNeverHideEveryProduct) {
  const struct {
    uint32_t stored, productCheckboxes, showPathFlags;
  } cases[] = {
      {0, 15, 3}, {16, 15, 3}, {17, 17, 17}, {1, 1, 1},   {2, 2, 2},
      {8, 8, 3},  {4, 4, 3},   {5, 5, 5},    {32, 15, 3}, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
  };
  for (const auto& c : cases) {
    registry.SetDword(kHkcu, kKey, kProductCheckboxes, c.stored);
    registry.SetDword(kHkcu, kKey, kShowPathFlags, c.stored);
    EXPECT_EQ(ReadProductCheckboxes(store).ToBits(), c.productCheckboxes) << c.stored;
    EXPECT_EQ(ReadShowPathFlags(store).ToBits(), c.showPathFlags) << c.stored;
  }
}

}  // namespace
}  // namespace tessaly
