// The owned path lists: duplicates without regard to case, the "|" text form and its 2,048
// limit, the list-box transfer rule, and the file list's folder search.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/safe_lists.h"
#include "tests/support/fake_file_system.h"

namespace tessaly {
namespace {

using Texts = std::vector<std::wstring>;

TEST(SafeStringListTest, RefusesEmptyTextsAndDuplicatesWithoutRegardToCase) {
  CSafeStringList list;
  EXPECT_TRUE(list.Add(L"c:\\vst", false));
  EXPECT_FALSE(list.Add(L"C:\\VST", false));
  EXPECT_FALSE(list.Add(L"", true));
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_TRUE(list.Contains(L"C:\\Vst"));
  EXPECT_FALSE(list.Contains(L"C:\\Vst2"));

  EXPECT_TRUE(list.Add(L"C:\\VST", true));
  EXPECT_EQ(list.Entries(), (Texts{L"c:\\vst", L"C:\\VST"}));
  list.Clear();
  EXPECT_EQ(list.Count(), 0u);
}

TEST(SafeStringListTest, ToTextJoinsWithBarsWithin2048Characters) {
  const struct {
    Texts entries;
    ErrorCode result;
    size_t needed;
    std::wstring text;  // what `out` holds afterwards
  } cases[] = {
      {{}, 0, 1, L""},
      {{L"C:\\VST"}, 0, 7, L"C:\\VST"},
      {{L"A", L"BC", L"D"}, 0, 2 + 3 + 2 + 2, L"A|BC|D"},
      {{std::wstring(2047, L'a')}, 0, 2048, std::wstring(2047, L'a')},
      {{std::wstring(2048, L'a')}, 234, 2049, L"unchanged"},
      // 1001 + 1046 + 1 separator = 2048 fits; one more character does not.
      {{std::wstring(1000, L'a'), std::wstring(1045, L'b')},
       0,
       2048,
       std::wstring(1000, L'a') + L"|" + std::wstring(1045, L'b')},
      {{std::wstring(1000, L'a'), std::wstring(1046, L'b')}, 234, 2049, L"unchanged"},
  };
  for (const auto& c : cases) {
    CSafeStringList list;
    for (const auto& e : c.entries) list.Add(e, true);
    std::wstring out = L"unchanged";
    size_t needed = 0;
    EXPECT_EQ(list.ToText(out, needed), c.result) << c.entries.size() << " entries";
    EXPECT_EQ(needed, c.needed);
    EXPECT_EQ(out, c.text);
  }
}

TEST(SafeStringListTest, AddFromTextSplitsTrimsAndSkipsDuplicates) {
  const struct {
    const wchar_t* text;
    Texts entries;
  } cases[] = {
      {L"C:\\Plugins\\\\||D:\\VST\\|c:\\plugins", {L"C:\\Plugins", L"D:\\VST"}},
      {L"|C:\\|D:\\\\|\\\\|", {L"C:\\", L"D:\\"}},
      {L"", {}},
      {L"||", {}},
      {L"E:\\One", {L"E:\\One"}},
  };
  for (const auto& c : cases) {
    CSafeStringList list;
    EXPECT_EQ(list.AddFromText(c.text), 0u);
    EXPECT_EQ(list.Entries(), c.entries) << c.text;
  }

  // Not cleared first: pieces already present are skipped.
  CSafeStringList list;
  list.Add(L"D:\\VST", false);
  (void)list.AddFromText(L"d:\\vst|E:\\X");
  EXPECT_EQ(list.Entries(), (Texts{L"D:\\VST", L"E:\\X"}));
}

TEST(SafeStringListTest, TextRoundTrips) {
  CSafeStringList list;
  (void)list.AddFromText(L"C:\\A|D:\\B\\C|E:\\");
  std::wstring text;
  size_t needed = 0;
  ASSERT_EQ(list.ToText(text, needed), 0u);
  EXPECT_EQ(text, L"C:\\A|D:\\B\\C|E:\\");
}

TEST(SafeStringListTest, AssignKeepsTheFirstOfCaseDistinctItems) {
  CSafeStringList list;
  list.Add(L"old", false);
  list.Assign({L"A", L"", L"a", L"B"});
  EXPECT_EQ(list.Entries(), (Texts{L"A", L"B"}));
}

TEST(AddUniqueStringTest, AppendsOnlyNewNonEmptyTexts) {
  Texts list;
  EXPECT_TRUE(AddUniqueString(list, L"Kontakt"));
  EXPECT_FALSE(AddUniqueString(list, L"KONTAKT"));
  EXPECT_FALSE(AddUniqueString(list, L""));
  EXPECT_TRUE(AddUniqueString(list, L"Massive"));
  EXPECT_EQ(list, (Texts{L"Kontakt", L"Massive"}));
}

TEST(SafeFileListTest, AddRefusesBadEntriesAndDuplicatePaths) {
  CSafeFileList list;
  FindData data;
  data.name = L"a";
  data.size = 42;
  EXPECT_TRUE(list.Add(L"C:\\x\\a", &data));
  EXPECT_FALSE(list.Add(L"c:\\X\\A", &data));
  EXPECT_FALSE(list.Add(L"", &data));
  EXPECT_FALSE(list.Add(L"C:\\x\\b", nullptr));
  EXPECT_FALSE(list.Add(L"C:\\" + std::wstring(517, L'p'), &data)) << "520 characters";
  EXPECT_TRUE(list.Add(L"C:\\" + std::wstring(516, L'p'), &data));
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.Entries()[0].findData.size, 42u);
  EXPECT_TRUE(list.Contains(L"C:\\X\\a"));
}

TEST(SafeFileListTest, SearchTakesSubfoldersOrFilesInListingOrder) {
  FakeFileSystem fs;
  fs.AddFolder(L"C:\\Products\\Zeta");
  fs.AddFolder(L"C:\\Products\\alpha");
  fs.AddFile(L"C:\\Products\\readme.txt", "r");
  fs.AddFile(L"C:\\Products\\Beta.dll", "b");
  fs.AddFolder(L"C:\\Elsewhere");
  fs.AddFolderLink(L"C:\\Products\\Linked", L"C:\\Elsewhere");

  CSafeFileList folders;
  folders.Search(fs, L"C:\\Products", L"*.*", true);
  std::vector<std::wstring> paths;
  for (const auto& e : folders.Entries()) paths.push_back(e.path);
  EXPECT_EQ(paths, (Texts{L"C:\\Products\\alpha", L"C:\\Products\\Linked", L"C:\\Products\\Zeta"}));
  EXPECT_TRUE(folders.Entries()[1].findData.IsReparsePoint());

  CSafeFileList files;
  files.Search(fs, L"C:\\Products", L"*.*", false);
  files.Search(fs, L"C:\\Products", L"*.dll", false);  // found again: not added twice
  paths.clear();
  for (const auto& e : files.Entries()) paths.push_back(e.path);
  EXPECT_EQ(paths, (Texts{L"C:\\Products\\Beta.dll", L"C:\\Products\\readme.txt"}));

  CSafeFileList none;
  none.Search(fs, L"C:\\Missing", L"*.*", true);
  EXPECT_EQ(none.Count(), 0u);
}

}  // namespace
}  // namespace tessaly
