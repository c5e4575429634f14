// The product manager's folder repair over the fake registry: which products each of the three
// repairs reaches, through which view it writes, what the observer hears, and the stop flag.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "catalog/ni_library.h"
#include "platform/text.h"
#include "app/settings/profile_store.h"
#include "product_manager/folder_change.h"
#include "registry_archive/change_backups.h"
#include "tests/support/products_key.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"

namespace tessaly {
namespace {

constexpr RegRoot kHklm = RegRoot::LocalMachine;
constexpr RegView k64 = RegView::Key64;
constexpr RegView k32 = RegView::Key32;

using testing::ProductKey;

// Three applications (B only in the 32-bit view) and a content library.
class FolderChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    system.CreateSpecialFolders(fs);
    reg.CreateKeyAt(kHklm, L"SOFTWARE\\Native Instruments", k32);
    App(L"A", L"C:\\Apps\\A", k64);
    App(L"B", L"C:\\Apps\\B", k32);
    App(L"C", L"D:\\Other\\C", k64);
    reg.SetString(kHklm, ProductKey(L"Lib"), L"ContentDir", L"C:\\Apps\\Lib", k64);
    reg.SetString(kHklm, ProductKey(L"Lib"), L"ContentVersion", L"1", k64);
    (void)library.Reset();
    ASSERT_EQ(library.Scan(nullptr, producttype::All, contentkind::All), 0u);
    ASSERT_NE(library.FindByName(L"A"), nullptr);
  }
  void App(const wchar_t* name, const wchar_t* folder, RegView view) {
    for (const auto& [value, text] :
         {std::pair{L"InstallDir", folder}, {L"KEY", L"k"}, {L"SNO", L"s"}, {L"SYSTEMID", L"i"}})
      reg.SetString(kHklm, ProductKey(name), value, text, view);
  }
  std::vector<std::optional<std::wstring>> InstallDirs() const {
    return {reg.ReadString(kHklm, ProductKey(L"A"), L"InstallDir", k64),
            reg.ReadString(kHklm, ProductKey(L"B"), L"InstallDir", k32),
            reg.ReadString(kHklm, ProductKey(L"C"), L"InstallDir", k64),
            reg.ReadString(kHklm, ProductKey(L"Lib"), L"InstallDir", k64)};
  }
  FolderChange Change(FolderChangeScope scope) const {
    FolderChange change;
    change.scope = scope;
    change.kind = valuekind::InstallDir;
    change.folder = L"E:\\New";
    change.oldParent = L"c:\\apps";
    change.newParent = L"F:\\Moved";
    return change;
  }

  FakeRegistry reg;
  FakeFileSystem fs;
  FakeSystem system;
  CNiLibrary library{reg, fs, system};
  CProfileStore profile{reg};
  BackupContext context{reg, fs, system, profile};
};

struct Recorder : FolderChangeObserver {
  void ProductWritten(const CNiProduct& product, ErrorCode result) override {
    heard.push_back(product.keyName + L"=" + std::to_wstring(result));
  }
  std::vector<std::wstring> heard;
};

TEST_F(FolderChangeTest, EachRepairReachesItsProductsThroughTheirOwnView) {
  using Dirs = std::vector<std::optional<std::wstring>>;
  struct Case {
    const char* name;
    FolderChangeScope scope;
    const wchar_t* onlyFrom;
    Dirs dirs;
    std::vector<std::wstring> heard;
  } cases[] = {
      {"one product",
       FolderChangeScope::OneProduct,
       L"",
       Dirs{L"E:\\New", L"C:\\Apps\\B", L"D:\\Other\\C", std::nullopt},
       {L"A=0"}},
      {"all of the type",
       FolderChangeScope::AllOfType,
       L"",
       Dirs{L"E:\\New", L"E:\\New", L"E:\\New", std::nullopt},
       {L"A=0", L"B=0", L"C=0"}},
      {"all in the product's folder",
       FolderChangeScope::AllOfType,
       L"c:\\apps\\a",
       Dirs{L"E:\\New", L"C:\\Apps\\B", L"D:\\Other\\C", std::nullopt},
       {L"A=0"}},
      {"relocation",
       FolderChangeScope::Relocate,
       L"",
       Dirs{L"F:\\Moved\\A", L"F:\\Moved\\B", L"D:\\Other\\C", std::nullopt},
       {L"A=0", L"B=0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    FolderChange change = Change(c.scope);
    change.onlyFrom = c.onlyFrom;
    Recorder recorder;
    const FolderChangeResult result = ChangeProductFolder(
        library, context, *library.FindByName(L"A"), change, &recorder, nullptr);
    EXPECT_EQ(result.error, 0u);
    EXPECT_EQ(result.errors, 0u);
    EXPECT_EQ(result.done, c.heard.size());
    EXPECT_EQ(InstallDirs(), c.dirs);
    EXPECT_EQ(recorder.heard, c.heard);
    // The records follow the registry, so the page shows the new folders.
    EXPECT_EQ(library.FindByName(L"A")->installDir, *c.dirs[0]);
  }
}

TEST_F(FolderChangeTest, FailuresAreCountedAndTheOthersStillWritten) {
  reg.InjectFailure(kHklm, ProductKey(L"B"), FakeRegistry::Operation::Set, err::AccessDenied);
  Recorder recorder;
  FolderChangeResult result =
      ChangeProductFolder(library, context, *library.FindByName(L"A"),
                          Change(FolderChangeScope::AllOfType), &recorder, nullptr);
  EXPECT_EQ(result.done, 2u);
  EXPECT_EQ(result.errors, 1u);
  EXPECT_EQ(recorder.heard, (std::vector<std::wstring>{L"A=0", L"B=5", L"C=0"}));

  // One product reports its write's error.
  result = ChangeProductFolder(library, context, *library.FindByName(L"B"),
                               Change(FolderChangeScope::OneProduct), nullptr, nullptr);
  EXPECT_EQ(result.error, err::AccessDenied);

  // A relocation whose result would not fit a path counts an error without a write.
  reg.ClearFailures();
  SetUp();
  library.FindByName(L"C")->installDir = L"C:\\Apps\\" + std::wstring(252, L'c');
  result = ChangeProductFolder(library, context, *library.FindByName(L"A"),
                               Change(FolderChangeScope::Relocate), nullptr, nullptr);
  EXPECT_EQ(result.done, 2u);
  EXPECT_EQ(result.errors, 1u);
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"C"), L"InstallDir", k64), L"D:\\Other\\C");
}

TEST_F(FolderChangeTest, AStoppedChangeWritesNoFurther) {
  CancelFlag stop{1};
  const FolderChangeResult result =
      ChangeProductFolder(library, context, *library.FindByName(L"A"),
                          Change(FolderChangeScope::AllOfType), nullptr, &stop);
  EXPECT_EQ(result.done, 0u);
  EXPECT_EQ(InstallDirs()[0], L"C:\\Apps\\A");
  EXPECT_EQ(InstallDirs()[2], L"D:\\Other\\C");
}

// Each repair saves what it is about to write, described in one line, and undoing that backup
// puts every product's folder back in its own view.
TEST_F(FolderChangeTest, EachRepairIsSavedFirstAndUndone) {
  const std::vector<std::optional<std::wstring>> before = InstallDirs();
  const struct {
    FolderChangeScope scope;
    const wchar_t* onlyFrom;
    const wchar_t* description;
    size_t values;
  } cases[] = {
      {FolderChangeScope::OneProduct, L"", L"Use for A only: E:\\New", 1},
      {FolderChangeScope::AllOfType, L"", L"Use for all App/plugin products: E:\\New", 3},
      {FolderChangeScope::AllOfType, L"C:\\Apps\\A",
       L"Use for all App/plugin products in C:\\Apps\\A: E:\\New", 1},
      {FolderChangeScope::Relocate, L"", L"Relocate App/plugin products from c:\\apps: F:\\Moved",
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.description));
    SetUp();
    FolderChange change = Change(c.scope);
    change.onlyFrom = c.onlyFrom;
    ASSERT_EQ(
        ChangeProductFolder(library, context, *library.FindByName(L"A"), change, nullptr, nullptr)
            .error,
        0u);
    ASSERT_NE(InstallDirs(), before);
    std::vector<ChangeBackupEntry> list;
    ASSERT_EQ(ListChangeBackups(context, list), 0u);
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].description, c.description);
    UndoCounts counts;
    ASSERT_EQ(UndoChangeBackup(context, list[0].path, counts), 0u);
    EXPECT_EQ(counts.restored, c.values);
    EXPECT_EQ(counts.failed, 0u);
    EXPECT_EQ(InstallDirs(), before);
  }
}

TEST_F(FolderChangeTest, AChangeWhoseBackupFailsWritesNothing) {
  fs.InjectFailure(FakeFileSystem::Operation::WriteFile, L"*", err::DiskFull);
  for (const FolderChangeScope scope :
       {FolderChangeScope::OneProduct, FolderChangeScope::AllOfType, FolderChangeScope::Relocate}) {
    reg.ClearChanges();
    Recorder recorder;
    const FolderChangeResult result = ChangeProductFolder(
        library, context, *library.FindByName(L"A"), Change(scope), &recorder, nullptr);
    EXPECT_TRUE(result.backupFailed);
    EXPECT_EQ(result.error, err::InternalError);
    EXPECT_EQ(result.done, 0u);
    EXPECT_TRUE(recorder.heard.empty());
    EXPECT_TRUE(reg.Changes().empty());
  }
  EXPECT_EQ(library.FindByName(L"A")->installDir, L"C:\\Apps\\A");
}

}  // namespace
}  // namespace tessaly
