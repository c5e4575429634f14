// Kontakt's Libraries tab end to end on the demo machine: the libraries with their places and
// visibility, the sorts, forcing and hiding, "Apply Sort..." checked in the registry afterwards,
// and the extended search.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "kontakt/kontakt_settings.h"
#include "platform/text.h"
#include "platform/win32/win32_registry.h"
#include "resources/resource.h"
#include "tests/e2e/demo_state.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/page_titles.h"

namespace tessaly::e2e {
namespace {

using Rows = std::vector<std::vector<std::wstring>>;

std::vector<std::wstring> Names(const Rows& rows) {
  std::vector<std::wstring> names;
  for (const auto& row : rows) names.push_back(row[0]);
  return names;
}

// A DWORD of HKCU\SOFTWARE\Native Instruments\(key), or -1 when missing.
long long UserValue(const std::wstring& key, const wchar_t* name) {
  DWORD number = 0, size = sizeof number;
  const std::wstring path = L"SOFTWARE\\Native Instruments\\" + key;
  if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &number,
                   &size) != ERROR_SUCCESS) {
    return -1;
  }
  return number;
}

class KontaktTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(saved_.Empty());
    ASSERT_TRUE(profile_.WriteProfileInt(kSettingsSection, kIgnoreArticles, 0));
    ASSERT_TRUE(profile_.WriteProfileInt(kSettingsSection, kExtendSearch, 0));
  }
  void TearDown() override {
    profile_.WriteProfileInt(kSettingsSection, kIgnoreArticles, 0);
    profile_.WriteProfileInt(kSettingsSection, kExtendSearch, 0);
  }

  // Starts the program and opens the page; waits until the libraries are loaded.
  HWND OpenPage() {
    HWND page = OpenWizard(run_, IDC_WIZARD_LIBRARIES);
    // Loaded: the libraries are listed and the controls unlocked (the template's own state, before
    // the page has locked it for the load, must not pass for that).
    if (page && !WaitUntil([&] {
          return IsEnabled(page, IDC_APPLY_SORT) && IsEnabled(page, IDC_EXTEND_SEARCH) &&
                 !ListViewRows(page, IDC_KONTAKT_LIBRARIES, 1).empty();
        })) {
      return nullptr;
    }
    return page;
  }
  Rows WaitForRows(HWND page, const std::function<bool(const Rows&)>& condition) {
    Rows rows;
    WaitUntil([&] {
      rows = ListViewRows(page, IDC_KONTAKT_LIBRARIES, 3);
      return condition(rows);
    });
    return rows;
  }
  int RowOf(HWND page, const std::wstring& name) {
    const Rows rows = ListViewRows(page, IDC_KONTAKT_LIBRARIES, 3);
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i][0] == name) return static_cast<int>(i);
    }
    return -1;
  }
  void Choose(HWND page, const std::wstring& name) {
    const int row = RowOf(page, name);
    ASSERT_GE(row, 0) << ToUtf8(name);
    ASSERT_TRUE(SelectListViewRow(page, IDC_KONTAKT_LIBRARIES, row));
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(page, IDC_FORCE_TO_TOP); }));
  }

  const SavedLibrariesTab saved_;  // put back when the test ends
  Win32Registry registry_;
  CProfileStore profile_{registry_};
  ProgramRun run_;
};

TEST_F(KontaktTest, ArrangesAndAppliesTheLibrariesTab) {
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  SaveScreenshot(L"loaded");
  // The normal search: Kontakt libraries with a folder, with the demo machine's user values (a
  // library without them shows at the top).
  const Rows loaded = ListViewRows(page, IDC_KONTAKT_LIBRARIES, 3);
  const Rows expected = {
      {L"Alicia's Keys", L"", L""},
      {L"Elektrik Piano", L"", L""},
      {L"Kontakt Factory Library 2", L"Yes", L""},
      {L"Retro Machines Mk2", L"Yes", L""},
      {L"Scarbee Mark I", L"", L""},
      {L"Session Strings Pro 2", L"", L""},
      {L"Symphony Series Brass Ensemble", L"", L""},
      {L"The Gentleman", L"", L"Yes"},
      {L"The Grandeur", L"", L""},
      {L"Vintage Organs", L"Yes", L""},
      {L"\u00C9b\u00E8ne Grand", L"", L""},
  };
  EXPECT_EQ(loaded, expected);

  // Sorts: articles ignored; by "Top of List" (the list index), and the same header reverses.
  ASSERT_TRUE(Click(page, IDC_IGNORE_ARTICLES));
  Rows rows =
      WaitForRows(page, [](const Rows& r) { return !r.empty() && r[2][0] == L"The Gentleman"; });
  EXPECT_EQ(Names(rows)[3], L"The Grandeur");
  EXPECT_EQ(Names(rows)[4], L"Kontakt Factory Library 2");
  ASSERT_TRUE(ClickColumn(page, IDC_KONTAKT_LIBRARIES, 1));
  rows = WaitForRows(page, [](const Rows& r) { return !r.empty() && r[0][1] == L"Yes"; });
  EXPECT_EQ(Names(rows)[0], L"Kontakt Factory Library 2");  // index 0, in name order
  EXPECT_EQ(Names(rows).back(), L"Elektrik Piano");         // index 8
  ASSERT_TRUE(ClickColumn(page, IDC_KONTAKT_LIBRARIES, 1));
  rows =
      WaitForRows(page, [](const Rows& r) { return !r.empty() && r[0][0] == L"Elektrik Piano"; });
  EXPECT_EQ(Names(rows).back(), L"Kontakt Factory Library 2");

  // Force one to the top, hide another.
  Choose(page, L"Session Strings Pro 2");
  EXPECT_EQ(CheckState(page, IDC_FORCE_TO_TOP), BST_UNCHECKED);
  ASSERT_TRUE(Click(page, IDC_FORCE_TO_TOP));
  Choose(page, L"Alicia's Keys");
  ASSERT_TRUE(Click(page, IDC_HIDE_LIBRARY));
  rows = WaitForRows(page, [&](const Rows& r) {
    const int row = RowOf(page, L"Alicia's Keys");
    return row >= 0 && r[row][2] == L"Yes";
  });
  EXPECT_EQ(rows[RowOf(page, L"Session Strings Pro 2")][1], L"Yes");
  SaveScreenshot(L"arranged");

  // The question first: Cancel writes nothing.
  ASSERT_TRUE(Click(page, IDC_APPLY_SORT));
  std::optional<MessageBoxInfo> question = FindMessageBox(run_, page);
  ASSERT_TRUE(question);
  EXPECT_EQ(question->text,
            L"Make sure no instances of Kontakt are running before you continue. Click OK to "
            L"proceed or click Cancel to leave your Kontakt settings alone.");
  ASSERT_TRUE(Answer(*question, IDCANCEL));
  EXPECT_EQ(UserValue(L"Alicia's Keys", L"UserRemoved"), 0);
  EXPECT_EQ(UserValue(L"Session Strings Pro 2", L"UserListIndex"), 3);

  ASSERT_TRUE(Click(page, IDC_APPLY_SORT));
  question = FindMessageBox(run_, page);
  ASSERT_TRUE(question);
  ASSERT_TRUE(Answer(*question, IDOK));
  std::optional<MessageBoxInfo> done = FindMessageBox(run_, page);
  ASSERT_TRUE(done);
  // Retro Machines Mk2 and Vintage Organs have no key of their own in the user's hive.
  EXPECT_EQ(done->text, L"Updated 9 products, 2 errors encountered.");
  ASSERT_TRUE(Answer(*done, IDOK));

  // The places follow the names (articles ignored); forced libraries keep 0.
  const struct {
    const wchar_t* key;
    long long index;
    long long removed;
  } written[] = {
      {L"Alicia's Keys", 1, 1},
      {L"Elektrik Piano", 2, 0},
      {L"The Gentleman", 3, 1},
      {L"The Grandeur", 4, 0},
      {L"Kontakt Factory Library 2", 0, 0},
      {L"Scarbee Mark I", 5, 0},
      {L"Session Strings Pro 2", 0, 0},
      {L"Symphony Series Brass Ensemble", 6, 0},
      {L"\u00C9b\u00E8ne Grand", 7, 0},
      {L"Kontakt 7", 9, 0},  // not a library of the normal search: untouched
  };
  for (const auto& w : written) {
    EXPECT_EQ(UserValue(w.key, L"UserListIndex"), w.index) << ToUtf8(w.key);
    EXPECT_EQ(UserValue(w.key, L"UserRemoved"), w.removed) << ToUtf8(w.key);
  }
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run_.WaitForExit(), 0u);
  EXPECT_EQ(profile_.GetProfileInt(kSettingsSection, kIgnoreArticles, 7), 1u);
}

TEST_F(KontaktTest, ExtendedSearchListsWhatTheTabKnowsAndHideAllToggles) {
  HWND page = OpenPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(Click(page, IDC_EXTEND_SEARCH));
  // Apps too, but only what has both user values: Kontakt 7 comes, The Grandeur (no
  // UserRemoved) and the libraries without values go.
  const Rows rows = WaitForRows(page, [](const Rows& r) {
    return !r.empty() && std::find_if(r.begin(), r.end(), [](const auto& row) {
                           return row[0] == L"Kontakt 7";
                         }) != r.end();
  });
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(page, IDC_APPLY_SORT); }));
  const std::vector<std::wstring> expected = {L"Alicia's Keys",
                                              L"Elektrik Piano",
                                              L"Kontakt 7",
                                              L"Kontakt Factory Library 2",
                                              L"Scarbee Mark I",
                                              L"Session Strings Pro 2",
                                              L"Symphony Series Brass Ensemble",
                                              L"The Gentleman",
                                              L"\u00C9b\u00E8ne Grand"};
  EXPECT_EQ(Names(ListViewRows(page, IDC_KONTAKT_LIBRARIES, 3)), expected);
  SaveScreenshot(L"extended");

  ASSERT_TRUE(Click(page, IDC_HIDE_ALL));
  Rows hidden = WaitForRows(page, [](const Rows& r) {
    return !r.empty() &&
           std::all_of(r.begin(), r.end(), [](const auto& row) { return row[2] == L"Yes"; });
  });
  EXPECT_EQ(hidden.size(), expected.size());
  ASSERT_TRUE(Click(page, IDC_HIDE_ALL));
  hidden = WaitForRows(page, [](const Rows& r) {
    return !r.empty() &&
           std::all_of(r.begin(), r.end(), [](const auto& row) { return row[2].empty(); });
  });
  EXPECT_TRUE(!hidden.empty() && hidden[0][2].empty());
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run_.WaitForExit(), 0u);
  EXPECT_EQ(profile_.GetProfileInt(kSettingsSection, kExtendSearch, 7), 1u);
  // Nothing was applied.
  EXPECT_EQ(UserValue(L"The Gentleman", L"UserRemoved"), 1);
}

}  // namespace
}  // namespace tessaly::e2e
