// The keyboard on every page and dialog of the tour: Tab visits the controls in reading order
// (top to bottom, left to right, a group box read as one block), every button and check box shows
// an access key that no other control of its page uses, and Enter and Esc do what the default and
// cancel buttons say.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "catalog/file_database.h"
#include "platform/text.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "plugins/plugin_folders.h"
#include "registry_archive/change_backups.h"
#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/page_titles.h"

#include <shlobj.h>

namespace tessaly::e2e {
namespace {

bool IsGroupBox(const DialogControl& c) {
  return CompareStringOrdinal(c.className.c_str(), -1, L"Button", -1, TRUE) == CSTR_EQUAL &&
         (c.style & BS_TYPEMASK) == BS_GROUPBOX;
}

bool IsRadio(const DialogControl& c) {
  const DWORD type = c.style & BS_TYPEMASK;
  return c.IsPushOrCheck() && (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON);
}

bool Contains(const RECT& outer, const RECT& inner) {
  const LONG x = (inner.left + inner.right) / 2, y = (inner.top + inner.bottom) / 2;
  return x >= outer.left && x < outer.right && y >= outer.top && y < outer.bottom;
}

// Two rectangles on one line: the vertical middle of either lies within the other.
bool SameRow(const RECT& a, const RECT& b) {
  const LONG ay = (a.top + a.bottom) / 2, by = (b.top + b.bottom) / 2;
  return (ay >= b.top && ay < b.bottom) || (by >= a.top && by < a.bottom);
}

bool RectReadsBefore(const RECT& a, const RECT& b) {
  if (SameRow(a, b)) return a.left < b.left;
  return (a.top + a.bottom) / 2 < (b.top + b.bottom) / 2;
}

// The page's layout for reading: each control inside the group boxes that hold it.
class ReadingOrder {
 public:
  explicit ReadingOrder(const std::vector<DialogControl>& controls) {
    for (const DialogControl& c : controls) {
      if (IsGroupBox(c) && IsWindowVisible(c.window)) groups_.push_back(c.rect);
    }
  }

  // Whether `a` comes before `b` when the page is read: the group boxes around each, outermost
  // first, are compared as blocks until the two part.
  bool Before(const RECT& a, const RECT& b) const {
    const std::vector<RECT> pathA = Path(a), pathB = Path(b);
    for (size_t i = 0; i < std::min(pathA.size(), pathB.size()); ++i) {
      if (!EqualRect(&pathA[i], &pathB[i])) return RectReadsBefore(pathA[i], pathB[i]);
    }
    return false;
  }

 private:
  // The group boxes that hold `r`, largest first, then `r` itself.
  std::vector<RECT> Path(const RECT& r) const {
    std::vector<RECT> path;
    for (const RECT& g : groups_) {
      if (!EqualRect(&g, &r) && Contains(g, r)) path.push_back(g);
    }
    std::sort(path.begin(), path.end(), [](const RECT& x, const RECT& y) {
      return (x.right - x.left) * (x.bottom - x.top) > (y.right - y.left) * (y.bottom - y.top);
    });
    path.push_back(r);
    return path;
  }
  std::vector<RECT> groups_;
};

std::string Describe(const DialogControl& c) {
  return ToUtf8(c.className) + " " + std::to_string(c.id) + " \"" + ToUtf8(c.shown) + "\"";
}

// The direct child of `page` that holds `focus` (the edit of a combo box is the combo box's).
HWND PageChildOf(HWND page, HWND focus) {
  while (focus != nullptr && GetParent(focus) != page) focus = GetParent(focus);
  return focus;
}

// Every button and check box of the page has an access key, and no two controls share one.
void ExpectUniqueAccessKeys(const std::vector<DialogControl>& controls) {
  std::map<wchar_t, std::string> used;
  for (const DialogControl& c : controls) {
    if (!IsWindowVisible(c.window)) continue;
    // Keys come from buttons (group boxes included) and from labels that show prefixes; the text
    // of an edit or a list, or of a label with SS_NOPREFIX, is only text.
    const bool button =
        CompareStringOrdinal(c.className.c_str(), -1, L"Button", -1, TRUE) == CSTR_EQUAL;
    const bool label =
        CompareStringOrdinal(c.className.c_str(), -1, L"Static", -1, TRUE) == CSTR_EQUAL &&
        !(c.style & SS_NOPREFIX);
    if (!button && !label) continue;
    if (c.IsPushOrCheck()) {
      EXPECT_NE(c.accessKey, 0) << Describe(c) << " has no access key";
    }
    if (c.accessKey == 0) continue;
    const auto [place, added] = used.emplace(c.accessKey, Describe(c));
    EXPECT_TRUE(added) << "Alt+" << static_cast<char>(c.accessKey) << " is both " << place->second
                       << " and " << Describe(c);
  }
}

// Presses Tab until the focus comes back to a control it has been on: the controls in the order
// Tab visits them. Every enabled, visible control that is a tab stop (of a radio group, any one of its
// buttons) is visited, and the visits follow the reading order round the page.
void ExpectTabInReadingOrder(HWND page) {
  const std::vector<DialogControl> controls = DialogControls(page);
  std::map<HWND, const DialogControl*> byWindow;
  for (const DialogControl& c : controls) byWindow[c.window] = &c;

  HWND first = PageChildOf(page, FocusedControl(page));
  ASSERT_TRUE(byWindow.count(first)) << "no control of the page has the focus";
  std::vector<HWND> visited{first};
  for (int press = 0; press < 64; ++press) {
    HWND before = PageChildOf(page, FocusedControl(page));
    ASSERT_TRUE(PressKey(page, VK_TAB));
    HWND now = before;
    WaitUntil(
        [&] {
          now = PageChildOf(page, FocusedControl(page));
          return now != before;
        },
        Milliseconds(1500));
    if (!byWindow.count(now)) {
      ADD_FAILURE() << "Tab left the page's controls";
      break;
    }
    // Round the page once, or stuck on one control.
    if (now == before || std::find(visited.begin(), visited.end(), now) != visited.end()) break;
    visited.push_back(now);
  }

  // Which controls Tab must reach: a radio group counts once, by whichever button holds the stop.
  std::vector<HWND> expected;
  for (const DialogControl& c : controls) {
    if (!(c.style & WS_TABSTOP) || !IsWindowVisible(c.window) || !IsWindowEnabled(c.window))
      continue;
    expected.push_back(c.window);
  }
  const auto groupOf = [&](HWND control) {
    // A radio button stands for the first button of its group, the one with WS_GROUP.
    const DialogControl* c = byWindow.count(control) ? byWindow.at(control) : nullptr;
    if (!c || !IsRadio(*c)) return control;
    HWND leader = control;
    while (leader && !(GetWindowLongW(leader, GWL_STYLE) & WS_GROUP)) {
      leader = GetWindow(leader, GW_HWNDPREV);
    }
    return leader ? leader : control;
  };
  std::vector<HWND> reached;
  for (HWND v : visited) reached.push_back(groupOf(v));
  for (HWND e : expected) {
    EXPECT_NE(std::find(reached.begin(), reached.end(), groupOf(e)), reached.end())
        << "Tab never reaches " << Describe(*byWindow.at(e));
  }

  // Round the page from the control that reads first, each visit after the one before it.
  const ReadingOrder order(controls);
  const auto firstRead = std::min_element(visited.begin(), visited.end(), [&](HWND a, HWND b) {
    return order.Before(byWindow.at(a)->rect, byWindow.at(b)->rect);
  });
  std::rotate(visited.begin(), firstRead, visited.end());
  std::string walk;
  for (HWND v : visited) walk += "\n  " + Describe(*byWindow.at(v));
  for (size_t i = 1; i < visited.size(); ++i) {
    const DialogControl& earlier = *byWindow.at(visited[i - 1]);
    const DialogControl& later = *byWindow.at(visited[i]);
    EXPECT_FALSE(order.Before(later.rect, earlier.rect))
        << "Tab goes from " << Describe(earlier) << " back to " << Describe(later)
        << "; the walk:" << walk;
  }
}

// --- How each page is reached -------------------------------------------------------------

// What a case leaves behind, undone once its program has ended.
using Cleanup = std::vector<std::function<void()>>;

// Next on the plugin folders page, then the finder once its search has completed.
HWND FinderAfterSearch(const ProgramRun& run, HWND folders) {
  if (!Click(folders, IDC_NEXT)) return nullptr;
  HWND finder = FindPage(run, kDupeFinderTitle);
  if (finder &&
      !WaitUntil(
          [&] {
            return Text(finder, IDC_SEARCH_STATUS).value_or(L"").rfind(L"Completed searching", 0) ==
                       0 &&
                   IsEnabled(finder, IDC_DUPLICATE_NAMES);
          },
          Milliseconds(60000))) {
    return nullptr;
  }
  return finder;
}

HWND StartPage(ProgramRun& run) {
  return run.Start(ProgramPath()) == 0 ? FindPage(run, kStartTitle) : nullptr;
}

HWND FromStartMenu(ProgramRun& run, WPARAM command, const wchar_t* title) {
  HWND start = StartPage(run);
  if (!start || !SysCommand(start, command)) return nullptr;
  return FindPage(run, title);
}

// The product manager once its scan has ended, with Battery 4 selected so that its buttons are on.
HWND ProductManager(ProgramRun& run) {
  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Quillmoor\\Tessaly\\Settings",
                     kFileDatabasePath);
  HWND page = OpenWizard(run, IDC_WIZARD_PRODUCTS);
  if (!page || !WaitUntil([&] { return IsEnabled(page, IDC_PM_SHOW_APPS); }, Milliseconds(60000)) ||
      !SelectListBoxItem(page, IDC_PM_PRODUCTS, L"Battery 4") ||
      !WaitUntil([&] { return Text(page, IDC_PM_PRODUCT_TYPE) == L"App/plugin"; })) {
    return nullptr;
  }
  return page;
}

// The change-folder dialog of Battery 4's installation folder, its first folder selected.
HWND ChangeFolder(ProgramRun& run) {
  HWND page = ProductManager(run);
  if (!page || !Click(page, IDC_PM_INSTALL_OPTIONS)) return nullptr;
  HWND change = FindPage(run, kChangeFolderTitle);
  if (!change) return nullptr;
  const std::vector<std::wstring> folders = ListBoxItems(change, IDC_FOLDER_LIST);
  if (!folders.empty() && !SelectListBoxItem(change, IDC_FOLDER_LIST, folders.front()))
    return nullptr;
  return change;
}

// A relocation of a small folder that has ended, on its progress page; the folder, its link and
// its copy are removed afterwards.
HWND RelocationProgress(ProgramRun& run, Cleanup& cleanup) {
  cleanup.push_back([] {
    // The link first, then the folder it leads to.
    EXPECT_EQ(DeleteTree(L"C:\\Keys Samples"), 0u);
    EXPECT_EQ(DeleteTree(L"C:\\Keys Relocated"), 0u);
  });
  SHCreateDirectoryExW(nullptr, L"C:\\Keys Samples\\Strings", nullptr);
  HANDLE h = CreateFileW(L"C:\\Keys Samples\\Strings\\Strings.nki", GENERIC_WRITE, 0, nullptr,
                         CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  DWORD written = 0;
  WriteFile(h, "samples", 7, &written, nullptr);
  CloseHandle(h);
  HWND folders = OpenWizard(run, IDC_WIZARD_RELOCATE);
  if (!folders) return nullptr;
  for (const int option : {IDC_ALREADY_MOVED, IDC_DIFFERENT_NAME}) {
    if (CheckState(folders, option) == BST_CHECKED && !ClickAndWait(folders, option))
      return nullptr;
  }
  if (!SetText(folders, IDC_ORIGINAL_LOCATION, L"C:\\Keys Samples\\Strings") ||
      !SetText(folders, IDC_NEW_LOCATION, L"C:\\Keys Relocated") || !Click(folders, IDC_NEXT)) {
    return nullptr;
  }
  for (int question = 0; question < 2; ++question) {  // create the New Location; proceed
    const std::optional<MessageBoxInfo> box = FindMessageBox(run, folders);
    if (!box || !Answer(*box, IDYES)) return nullptr;
  }
  HWND progress = FindPage(run, kRelocateContentTitle);
  if (!progress || !WaitUntil(
                       [&] {
                         const std::vector<std::wstring> log =
                             ListBoxItems(progress, IDC_RELOCATION_LOG);
                         return !log.empty() && log.back().rfind(L"Operation completed", 0) == 0;
                       },
                       Milliseconds(60000))) {
    return nullptr;
  }
  return progress;
}

// One saved change, so that Preferences' "Undo a change..." opens its list; removed afterwards.
bool SaveOneChange(Cleanup& cleanup) {
  Win32Registry registry;
  Win32FileSystem files;
  Win32System system;
  CProfileStore profile(registry);
  const BackupContext context{registry, files, system, profile};
  std::wstring saved;
  if (SaveChangeBackup(context, L"Keyboard test", {}, &saved) != 0) return false;
  cleanup.push_back([saved] { DeleteFileW(saved.c_str()); });
  return true;
}

struct PageCase {
  const char* name;
  std::function<HWND(ProgramRun&, Cleanup&)> open;
};
void PrintTo(const PageCase& page, std::ostream* out) { *out << page.name; }

// A page reached without anything to clean up.
std::function<HWND(ProgramRun&, Cleanup&)> Plain(std::function<HWND(ProgramRun&)> open) {
  return [open](ProgramRun& run, Cleanup&) { return open(run); };
}

const PageCase kPages[] = {
    {"Start", Plain(StartPage)},
    {"Preferences",
     Plain([](ProgramRun& run) { return FromStartMenu(run, 0x100, kPreferencesTitle); })},
    {"UndoAChange",
     [](ProgramRun& run, Cleanup& cleanup) -> HWND {
       if (!SaveOneChange(cleanup)) return nullptr;
       HWND preferences = FromStartMenu(run, 0x100, kPreferencesTitle);
       if (!preferences || !Click(preferences, IDC_UNDO_CHANGE)) return nullptr;
       return FindPage(run, kUndoChangeTitle);
     }},
    {"About", Plain([](ProgramRun& run) { return FromStartMenu(run, 0x10, kAboutTitle); })},
    {"PluginFolders", Plain([](ProgramRun& run) -> HWND {
       HWND folders = OpenWizard(run, IDC_WIZARD_DUPLICATES);
       // A folder selected, so that Remove and Open are on.
       const std::vector<std::wstring> listed =
           folders ? ListBoxItems(folders, IDC_PLUGIN_FOLDERS) : std::vector<std::wstring>{};
       if (!listed.empty()) SelectListBoxItem(folders, IDC_PLUGIN_FOLDERS, listed.front());
       return folders;
     })},
    {"DuplicateFinder", Plain([](ProgramRun& run) -> HWND {
       Win32Registry registry;
       CProfileStore profile(registry);
       profile.WriteProfileInt(kSettingsSection, kSelectedPlatform, 0);
       profile.WriteProfileString(kSettingsSection, kVstPaths32,
                                  L"C:\\Program Files (x86)\\Vstplugins|C:\\Audio\\VST32");
       HWND folders = OpenWizard(run, IDC_WIZARD_DUPLICATES);
       HWND finder = folders ? FinderAfterSearch(run, folders) : nullptr;
       if (!finder) return nullptr;
       const std::vector<std::wstring> names = ListBoxItems(finder, IDC_DUPLICATE_NAMES);
       if (!names.empty()) SelectListBoxItem(finder, IDC_DUPLICATE_NAMES, names.front());
       return finder;
     })},
    {"LocateFileDatabase", Plain([](ProgramRun& run) -> HWND {
       RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Quillmoor\\Tessaly\\Settings",
                          kFileDatabasePath);
       wchar_t temp[MAX_PATH] = {};
       GetTempPathW(MAX_PATH, temp);
       if (run.Start(ProgramPath(), {}, temp) != 0) return nullptr;
       HWND start = FindPage(run, kStartTitle);
       if (!start || !ChooseWizard(start, IDC_WIZARD_PRODUCTS)) return nullptr;
       return FindPage(run, kLocateDatabaseTitle);
     })},
    {"ProductManager", Plain(ProductManager)},
    {"ChangeFolder", Plain(ChangeFolder)},
    {"RelocateProducts", Plain([](ProgramRun& run) -> HWND {
       HWND change = ChangeFolder(run);
       if (!change || !Click(change, IDC_RELOCATE_PRODUCTS)) return nullptr;
       return FindPage(run, kRelocateTitle);
     })},
    {"KontaktLibraries", Plain([](ProgramRun& run) -> HWND {
       HWND page = OpenWizard(run, IDC_WIZARD_LIBRARIES);
       if (!page ||
           !WaitUntil([&] { return IsEnabled(page, IDC_APPLY_SORT); }, Milliseconds(60000)) ||
           !SelectListViewRow(page, IDC_KONTAKT_LIBRARIES, 0) ||
           !WaitUntil([&] { return IsEnabled(page, IDC_FORCE_TO_TOP); })) {
         return nullptr;
       }
       return page;
     })},
    {"FixThumbnails", Plain([](ProgramRun& run) -> HWND {
       HWND page = OpenWizard(run, IDC_WIZARD_THUMBNAILS);
       if (!page ||
           !WaitUntil([&] { return IsEnabled(page, IDC_FIX_THUMBNAILS); }, Milliseconds(60000))) {
         return nullptr;
       }
       return page;
     })},
    {"FolderLocations",
     Plain([](ProgramRun& run) { return OpenWizard(run, IDC_WIZARD_RELOCATE); })},
    {"RelocationProgress", RelocationProgress},
};

class KeyboardTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(KeyboardTest, TabFollowsTheReadingOrderAndAccessKeysAreUnique) {
  Cleanup cleanup;
  {
    ProgramRun run;  // ended before the cleanup
    HWND page = GetParam().open(run, cleanup);
    if (page != nullptr) {
      SaveScreenshot(FromUtf8(GetParam().name));
      ExpectUniqueAccessKeys(DialogControls(page));
      ExpectTabInReadingOrder(page);
    } else {
      ADD_FAILURE() << "the page did not open";
    }
  }
  for (const auto& undo : cleanup) undo();
}

INSTANTIATE_TEST_SUITE_P(EveryPage, KeyboardTest, ::testing::ValuesIn(kPages),
                         [](const ::testing::TestParamInfo<PageCase>& info) {
                           return std::string(info.param.name);
                         });

// Enter presses the default button and Esc the cancel button, wherever the focus is (but on a
// control that takes the key itself).
TEST(KeyboardKeys, EnterOnTheStartPageIsNextAndEscLeavesTheProgram) {
  ProgramRun run;
  HWND start = StartPage(run);
  ASSERT_NE(start, nullptr);
  ASSERT_TRUE(Click(start, IDC_WIZARD_RELOCATE));
  ASSERT_TRUE(WaitUntil([&] { return CheckState(start, IDC_WIZARD_RELOCATE) == BST_CHECKED; }));
  ASSERT_TRUE(PressKey(start, VK_RETURN));
  HWND folders = FindPage(run, kFolderLocationsTitle);
  ASSERT_NE(folders, nullptr) << "Enter did not press Next";
  ASSERT_TRUE(Click(folders, IDC_BACK));
  start = FindPage(run, kStartTitle);
  ASSERT_NE(start, nullptr);
  ASSERT_TRUE(PressKey(start, VK_ESCAPE));
  EXPECT_EQ(run.WaitForExit(), 0u) << "Esc did not press Cancel";
}

TEST(KeyboardKeys, EnterKeepsThePreferencesAndEscDropsThem) {
  Win32Registry registry;
  CProfileStore profile(registry);
  ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kVstHost32, L"C:\\Hosts\\Before.exe"));
  const struct {
    UINT key;
    const wchar_t* stored;
  } cases[] = {
      {VK_ESCAPE, L"C:\\Hosts\\Before.exe"},
      {VK_RETURN, L"C:\\Hosts\\After.exe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key == VK_RETURN ? "Enter" : "Esc");
    ProgramRun run;
    HWND preferences = FromStartMenu(run, 0x100, kPreferencesTitle);
    ASSERT_NE(preferences, nullptr);
    ASSERT_TRUE(SetText(preferences, IDC_HOST32, L"C:\\Hosts\\After.exe"));
    ASSERT_TRUE(PressKey(preferences, c.key));
    ASSERT_TRUE(WaitForClose(preferences));
    EXPECT_EQ(profile.GetProfileString(kSettingsSection, kVstHost32, L""), c.stored);
    HWND start = FindPage(run, kStartTitle);
    ASSERT_NE(start, nullptr);
    ASSERT_TRUE(Click(start, IDCANCEL));
    EXPECT_EQ(run.WaitForExit(), 0u);
  }
}

}  // namespace
}  // namespace tessaly::e2e
