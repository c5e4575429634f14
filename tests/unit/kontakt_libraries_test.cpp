// Kontakt's Libraries tab over the product library: which records count as libraries in the
// normal and the extended search, their per-user values, the sorts and the numbering, and the
// writes into existing user keys only.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "catalog/ni_library.h"
#include "app/settings/profile_store.h"
#include "kontakt/libraries_tab.h"
#include "registry_archive/change_backups.h"
#include "platform/text.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"
#include "tests/support/products_key.h"

namespace tessaly {
namespace {

using testing::ProductKey;

constexpr RegRoot kHklm = RegRoot::LocalMachine;
constexpr RegRoot kHkcu = RegRoot::CurrentUser;
using Names = std::vector<std::wstring>;

class KontaktLibrariesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    system.CreateSpecialFolders(fs);
    reg.CreateKeyAt(kHklm, ni::kProductsKey, RegView::Key32);
    // The hints make a Kontakt library of a key that has no folder at all.
    reg.SetString(kHklm, ProductKey(L"ServiceCenter"), L"InstallDir", L"C:\\SC", RegView::Key64);
    fs.AddFile(L"C:\\SC\\conf\\ProductHints.xml",
               std::string_view("<ProductHints><P><RegKey>Folderless</RegKey><Type>Content</Type>"
                                "<PoweredBy>Kontakt</PoweredBy></P></ProductHints>"));
  }
  void Machine(const std::wstring& name,
               std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values,
               RegView view = RegView::Key64) {
    reg.CreateKeyAt(kHklm, ProductKey(name), view);
    for (const auto& [value, text] : values)
      reg.SetString(kHklm, ProductKey(name), value, text, view);
  }
  void Library(const std::wstring& name, RegView view = RegView::Key64) {
    Machine(name, {{L"ContentDir", L"C:\\Libs"}, {L"ContentVersion", L"1"}}, view);
  }
  void User(const std::wstring& name, std::optional<uint32_t> index,
            std::optional<uint32_t> removed) {
    reg.CreateKeyAt(kHkcu, ProductKey(name));
    if (index) reg.SetDword(kHkcu, ProductKey(name), L"UserListIndex", *index);
    if (removed) reg.SetDword(kHkcu, ProductKey(name), L"UserRemoved", *removed);
  }
  // The loading of the Libraries-tab page: normal or extended search.
  ErrorCode Load(bool extended) { return LoadLibrariesTab(library, extended, nullptr); }
  Names KeyNames() const {
    Names names;
    for (const CNiProduct& record : library.records()) names.push_back(record.keyName);
    return names;
  }

  FakeRegistry reg;
  FakeFileSystem fs;
  FakeSystem system;
  CNiLibrary library{reg, fs, system};
  CProfileStore profile{reg};
  BackupContext backup{reg, fs, system, profile};
};

TEST_F(KontaktLibrariesTest, NormalAndExtendedSearch) {
  Library(L"Strings");
  Library(L"Old Piano", RegView::Key32);
  Machine(L"Folderless", {{L"ContentVersion", L"1"}, {L"Visibility", L"1"}});  // content, no folder
  Machine(L"Synth",
          {{L"InstallDir", L"C:\\Synth"}, {L"KEY", L"k"}, {L"SNO", L"s"}, {L"SYSTEMID", L"i"}});
  Machine(L"Tool",
          {{L"InstallDir", L"C:\\Synth"}, {L"KEY", L"k"}, {L"SNO", L"s"}, {L"SYSTEMID", L"i"}});
  User(L"Strings", 2, 0);
  User(L"old piano", 1, 1);  // matched without regard to case
  User(L"Synth", 5, 0);
  User(L"Tool", 6, std::nullopt);
  User(L"Not Installed", 1, 0);

  EXPECT_EQ(Load(false), 0u);
  EXPECT_EQ(KeyNames(), (Names{L"Old Piano", L"Strings"}));
  const CNiProduct* piano = library.FindByName(L"Old Piano");
  EXPECT_TRUE(piano->view32);
  EXPECT_EQ(piano->userListIndex, 1u);
  EXPECT_EQ(piano->userRemoved, 1u);
  EXPECT_EQ(piano->userValues, valuekind::UserListIndex | valuekind::UserRemoved);

  // Extended: apps too, but only those with both user values.
  EXPECT_EQ(Load(true), 0u);
  EXPECT_EQ(KeyNames(), (Names{L"Old Piano", L"Strings", L"Synth"}));

  // Without the user's key nothing is read and nothing removed, and the error says why.
  reg.DeleteTree(kHkcu, ni::kProductsKey);
  EXPECT_EQ(Load(true), err::FileNotFound);
  EXPECT_EQ(KeyNames(), (Names{L"Old Piano", L"Strings", L"Synth", L"Tool"}));
  for (const CNiProduct& record : library.records()) {
    EXPECT_EQ(record.userListIndex, 0u);  // a library never given user values is at the top
    EXPECT_TRUE(record.userValues.Empty());
  }
}

TEST_F(KontaktLibrariesTest, SortsAreStableAndArticlesOptional) {
  for (const wchar_t* name :
       {L"the Piano", L"An Organ", L"Bass", L"Theory", L"A Cello", L"Andes"}) {
    Library(name);
  }
  Load(false);
  library.Sort(0, true);
  EXPECT_EQ(KeyNames(),
            (Names{L"Andes", L"Bass", L"A Cello", L"An Organ", L"the Piano", L"Theory"}));
  library.Sort(0, false);
  EXPECT_EQ(KeyNames(),
            (Names{L"A Cello", L"An Organ", L"Andes", L"Bass", L"the Piano", L"Theory"}));

  // By list index: the unread (0) first, in their previous order; equal indexes keep theirs.
  library.FindByName(L"Bass")->userListIndex = 2;
  library.FindByName(L"Andes")->userListIndex = 1;
  library.FindByName(L"Theory")->userListIndex = kUnplacedListIndex;  // unsigned: last
  library.FindByName(L"A Cello")->userListIndex = 2;
  library.Sort(1, false);
  EXPECT_EQ(KeyNames(),
            (Names{L"An Organ", L"the Piano", L"Andes", L"A Cello", L"Bass", L"Theory"}));
  library.FindByName(L"the Piano")->userRemoved = 1;
  library.Sort(2, false);
  EXPECT_EQ(KeyNames(),
            (Names{L"An Organ", L"Andes", L"A Cello", L"Bass", L"Theory", L"the Piano"}));
  const Names before = KeyNames();
  library.Sort(7, true);
  EXPECT_EQ(KeyNames(), before);
}

TEST_F(KontaktLibrariesTest, NumberingAndSavingIntoExistingUserKeys) {
  Library(L"A Lib");
  Library(L"B Lib", RegView::Key32);
  Library(L"C Lib");
  Library(L"D Lib");
  User(L"A Lib", 3, 0);
  User(L"B Lib", 0, 0);
  User(L"C Lib", 9, 1);  // D Lib has no user key
  Load(false);
  library.FindByName(L"A Lib")->userListIndex = kUnplacedListIndex;
  library.FindByName(L"D Lib")->userListIndex = kUnplacedListIndex;
  library.Sort(0, false);
  NumberLibrariesTab(library.records());
  EXPECT_EQ(library.FindByName(L"A Lib")->userListIndex, 1u);
  EXPECT_EQ(library.FindByName(L"B Lib")->userListIndex, 0u);  // forced to the top stays 0
  EXPECT_EQ(library.FindByName(L"C Lib")->userListIndex, 2u);
  EXPECT_EQ(library.FindByName(L"D Lib")->userListIndex, 3u);

  uint32_t errors = 0;
  EXPECT_EQ(library.SaveUserValues(errors), 3u);
  EXPECT_EQ(errors, 1u);  // D Lib: its user key is not created
  EXPECT_FALSE(reg.Exists(kHkcu, ProductKey(L"D Lib")));
  EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(L"A Lib"), L"UserListIndex"), 1u);
  EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(L"B Lib"), L"UserListIndex"), 0u);
  EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(L"C Lib"), L"UserListIndex"), 2u);
  EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(L"C Lib"), L"UserRemoved"), 1u);

  // A failed write of one value counts the record once; the others are still written.
  reg.InjectFailure(kHkcu, ProductKey(L"A Lib"), FakeRegistry::Operation::Set, err::AccessDenied,
                    1);
  library.FindByName(L"C Lib")->userRemoved = 0;
  EXPECT_EQ(library.SaveUserValues(errors), 2u);
  EXPECT_EQ(errors, 2u);
  EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(L"C Lib"), L"UserRemoved"), 0u);
}

// "Apply Sort..." sorts the records by name under the selection, which the list rows do not
// follow (they keep their order until the next refill): the next "Force to top." or "Hide."
// still changes the library of the selected row, and a second apply saves that one.
TEST_F(KontaktLibrariesTest, TheSelectedLibraryStaysTheSameThroughAnApply) {
  const struct {
    const char* name;
    int sortColumn;  // the list's order when the row was selected; a repeated column reverses
    bool reversed;
    const wchar_t* selected;
  } cases[] = {
      {"first row of a reversed list", 0, true, L"C Lib"},
      {"last row of a reversed list", 0, true, L"A Lib"},
      {"by place", 1, false, L"C Lib"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const wchar_t* name : {L"A Lib", L"B Lib", L"C Lib"}) Library(name);
    User(L"A Lib", 3, 0);
    User(L"B Lib", 2, 0);
    User(L"C Lib", 1, 0);
    ASSERT_EQ(Load(false), 0u);
    library.Sort(c.sortColumn, false);
    if (c.reversed) std::reverse(library.records().begin(), library.records().end());
    const Names rows = KeyNames();  // the rows as the list shows them
    const int row = int(std::find(rows.begin(), rows.end(), c.selected) - rows.begin());
    ASSERT_LT(row, int(rows.size()));

    CLibrariesTab tab(library);
    tab.Select(row, library.records()[row].serial);
    EXPECT_EQ(tab.Apply(backup, false).written, 3u);
    ASSERT_NE(KeyNames(), rows) << "the apply must have moved the records under the selection";
    const CNiProduct* changed = tab.SetSelected(true, true);
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed->keyName, c.selected);
    EXPECT_EQ(tab.SelectedRow(), row);
    const CLibrariesTab::ApplyResult applied = tab.Apply(backup, false);
    EXPECT_EQ(applied.written, 3u);
    EXPECT_EQ(applied.errors, 0u);
    for (const wchar_t* name : {L"A Lib", L"B Lib", L"C Lib"}) {
      const bool chosen = std::wstring(name) == c.selected;
      EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(name), L"UserRemoved"), chosen ? 1u : 0u)
          << ToUtf8(name);
      EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(name), L"UserListIndex") == 0u, chosen)
          << ToUtf8(name);
    }
    reg.DeleteTree(kHkcu, ni::kProductsKey);
  }
}

// "Apply Sort..." saves both user values of every library before it writes them; undoing that
// change puts back the values that were there and deletes those that were not.
TEST_F(KontaktLibrariesTest, ApplySortIsUndone) {
  for (const wchar_t* name : {L"A Lib", L"B Lib", L"C Lib"}) Library(name);
  Library(L"D Lib", RegView::Key32);
  User(L"A Lib", 7, 1);
  User(L"B Lib", 0, std::nullopt);  // no UserRemoved yet
  User(L"C Lib", std::nullopt, 0);
  User(L"D Lib", 9, 0);
  ASSERT_EQ(Load(false), 0u);
  ASSERT_EQ(library.Count(), 4u);
  const std::vector<std::wstring> folder =
      fs.List(L"C:\\Users\\Musician\\Documents\\Quillmoor\\Tessaly Documents");
  ASSERT_TRUE(folder.empty());

  CLibrariesTab tab(library);
  const CLibrariesTab::ApplyResult applied = tab.Apply(backup, false);
  EXPECT_EQ(applied.backupError, 0u);
  EXPECT_EQ(applied.written, 4u);
  EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(L"B Lib"), L"UserRemoved"), 0u);
  EXPECT_NE(reg.ReadDword(kHkcu, ProductKey(L"A Lib"), L"UserListIndex"), 7u);
  EXPECT_TRUE(reg.ValueExists(kHkcu, ProductKey(L"C Lib"), L"UserListIndex"));

  std::vector<ChangeBackupEntry> list;
  ASSERT_EQ(ListChangeBackups(backup, list), 0u);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].description, L"Libraries tab sorted: 4 libraries");
  UndoCounts counts;
  ASSERT_EQ(UndoChangeBackup(backup, list[0].path, counts), 0u);
  EXPECT_EQ(counts.restored, 8u);
  EXPECT_EQ(counts.failed, 0u);
  const struct {
    const wchar_t* name;
    std::optional<uint32_t> index, removed;
  } expected[] = {
      {L"A Lib", 7, 1}, {L"B Lib", 0, std::nullopt}, {L"C Lib", std::nullopt, 0}, {L"D Lib", 9, 0}};
  for (const auto& e : expected) {
    EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(e.name), L"UserListIndex"), e.index)
        << ToUtf8(e.name);
    EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(e.name), L"UserRemoved"), e.removed)
        << ToUtf8(e.name);
  }
}

// When the backup cannot be saved, "Apply Sort..." writes nothing.
TEST_F(KontaktLibrariesTest, ApplySortWithoutABackupWritesNothing) {
  for (const wchar_t* name : {L"A Lib", L"B Lib"}) Library(name);
  User(L"A Lib", 7, 1);
  User(L"B Lib", 3, 0);
  ASSERT_EQ(Load(false), 0u);
  fs.InjectFailure(FakeFileSystem::Operation::WriteFile, L"*", err::DiskFull);
  reg.ClearChanges();
  CLibrariesTab tab(library);
  const CLibrariesTab::ApplyResult applied = tab.Apply(backup, false);
  EXPECT_EQ(applied.backupError, err::InternalError);
  EXPECT_EQ(applied.written, 0u);
  EXPECT_TRUE(reg.Changes().empty());
}

}  // namespace
}  // namespace tessaly
