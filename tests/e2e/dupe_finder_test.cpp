// The duplicate finder end to end: the plugin folders page and the search page through the real
// UI, over a plugin tree built here from the DLLs the tests compile and a few crafted files.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "plugins/plugin_folders.h"
#include "platform/text.h"
#include "platform/win32/win32_registry.h"
#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/page_titles.h"

#include <shlobj.h>

namespace tessaly::e2e {
namespace {

const std::wstring kRoot = L"C:\\TessalyE2E\\Plugins";
const std::wstring kA = kRoot + L"\\A";
const std::wstring kB = kRoot + L"\\B";

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(file);
  return ok;
}

// A file with an MZ stub and a PE header for `machine`, nothing more.
std::string CraftedImage(uint16_t machine) {
  std::string bytes(512, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  bytes[0x3C] = 0x40;
  bytes.replace(0x40, 4, std::string("PE\0\0", 4));
  bytes[0x44] = static_cast<char>(machine & 0xFF);
  bytes[0x45] = static_cast<char>(machine >> 8);
  return bytes;
}

std::wstring Fixture(const wchar_t* name) {
  return PathFromEnvironment(L"TESSALY_FIXTURES") + L"\\" + name;
}

// Rows of a file list: Folder, Date, Version, Size, Platform.
using Rows = std::vector<std::vector<std::wstring>>;

std::vector<std::wstring> Column(const Rows& rows, size_t column) {
  std::vector<std::wstring> values;
  for (const auto& row : rows) values.push_back(row.at(column));
  return values;
}

class DupeFinderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(DeleteProgramSettings(), 0u);
    ASSERT_EQ(DeleteTree(L"C:\\TessalyE2E"), 0u);
    for (const std::wstring& folder : {kA, kB + L"\\Sub"}) {
      ASSERT_EQ(SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr), ERROR_SUCCESS);
    }
    // Expected (32-bit): synth.dll in two versions and cases, delay.dll twice (one in a
    // subfolder), single.dll once. Unexpected: a 64-bit plugin, ARM and Itanium headers, a text
    // file and an empty file named .dll.
    const struct {
      const wchar_t* fixture;
      std::wstring target;
    } copies[] = {
        {L"plugin_2_5_32.dll", kA + L"\\Synth.dll"},
        {L"plugin_10_1_32.dll", kB + L"\\SYNTH.DLL"},
        {L"plugin_1_0_32.dll", kA + L"\\Delay.dll"},
        {L"plugin_2_5_32.dll", kB + L"\\Sub\\delay.dll"},
        {L"no_resources32.dll", kA + L"\\Single.dll"},
        {L"plugin_3_0_64.dll", kB + L"\\Reverb.dll"},
    };
    for (const auto& copy : copies) {
      ASSERT_TRUE(CopyFileW(Fixture(copy.fixture).c_str(), copy.target.c_str(), FALSE))
          << ToUtf8(copy.target) << " error " << GetLastError();
    }
    ASSERT_TRUE(WriteBytes(kB + L"\\Arm.dll", CraftedImage(0x01C4)));
    ASSERT_TRUE(WriteBytes(kB + L"\\Itanium.dll", CraftedImage(0x0200)));
    ASSERT_TRUE(WriteBytes(kA + L"\\x.dll", "This is not a plugin."));
    ASSERT_TRUE(WriteBytes(kA + L"\\empty.dll", ""));

    ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kFirstRun, 0));
    ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kSelectedPlatform, 0));
    ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kVstPaths32, kA + L"|" + kB));
  }
  void TearDown() override { DeleteTree(L"C:\\TessalyE2E"); }

  // Start page -> plugin folders page.
  HWND OpenFolders() { return OpenWizard(run, IDC_WIZARD_DUPLICATES); }

  // ... -> the duplicate finder, once its search has completed.
  HWND OpenFinder() {
    HWND folders = OpenFolders();
    if (!folders || !Click(folders, IDC_NEXT)) return nullptr;
    HWND finder = FindPage(run, kDupeFinderTitle);
    if (finder && !WaitUntil([&] {
          return Text(finder, IDC_SEARCH_STATUS).value_or(L"").rfind(L"Completed searching", 0) ==
                     0 &&
                 ListBoxItems(finder, IDC_DUPLICATE_NAMES) !=
                     std::vector<std::wstring>{L"Searching..."};
        })) {
      ADD_FAILURE() << "the search did not complete";
    }
    return finder;
  }

  // The file list's rows once `name` is selected in the names list `namesId`.
  Rows ShowName(HWND finder, int namesId, int filesId, const wchar_t* name, size_t expectedRows) {
    EXPECT_TRUE(SelectListBoxItem(finder, namesId, name)) << ToUtf8(name);
    Rows rows;
    EXPECT_TRUE(WaitUntil([&] {
      rows = ListViewRows(finder, filesId, 5);
      return rows.size() == expectedRows &&
             (rows.empty() || EqualsNoCase(rows[0][0].substr(0, kRoot.size()), kRoot));
    })) << ToUtf8(name)
        << ": " << rows.size() << " rows";
    return rows;
  }

  Rows WaitForRows(HWND finder, int filesId, const std::function<bool(const Rows&)>& condition) {
    Rows rows;
    EXPECT_TRUE(WaitUntil([&] {
      rows = ListViewRows(finder, filesId, 5);
      return condition(rows);
    }));
    return rows;
  }

  Win32Registry registry;
  CProfileStore profile{registry};
  ProgramRun run;
};

TEST_F(DupeFinderTest, FindsDuplicatesAndUnexpectedFiles) {
  HWND finder = OpenFinder();
  ASSERT_NE(finder, nullptr);
  EXPECT_EQ(Text(finder, IDC_SEARCH_STATUS), L"Completed searching 2 folders.");
  EXPECT_EQ(Text(finder, IDC_SEARCH_FILE),
            L"Found 1 single files, 2 files with duplicates, and 5 files total.");
  EXPECT_EQ(ListBoxItems(finder, IDC_DUPLICATE_NAMES),
            (std::vector<std::wstring>{L"delay.dll", L"synth.dll"}));
  EXPECT_EQ(ListBoxItems(finder, IDC_UNEXPECTED_NAMES),
            (std::vector<std::wstring>{L"arm.dll", L"empty.dll", L"itanium.dll", L"reverb.dll",
                                       L"x.dll"}));
  for (int id : {IDC_DUPLICATE_DELETE, IDC_DUPLICATE_BROWSE, IDC_DUPLICATE_LAUNCH,
                 IDC_UNEXPECTED_DELETE, IDC_UNEXPECTED_BROWSE}) {
    EXPECT_FALSE(IsEnabled(finder, id)) << id;
  }

  // Synth.dll and SYNTH.DLL form one group, sorted by folder, with their own versions.
  const Rows synth = ShowName(finder, IDC_DUPLICATE_NAMES, IDC_DUPLICATE_FILES, L"synth.dll", 2);
  ASSERT_EQ(synth.size(), 2u);
  EXPECT_EQ(Column(synth, 0), (std::vector<std::wstring>{kA, kB}));
  EXPECT_EQ(Column(synth, 2), (std::vector<std::wstring>{L"2.5.0.0", L"10.1.0.0"}));
  EXPECT_EQ(Column(synth, 4), (std::vector<std::wstring>{L"32-bit", L"32-bit"}));
  EXPECT_FALSE(synth[0][1].empty());  // a date
  EXPECT_FALSE(synth[0][3].empty());  // a size
  SaveScreenshot(L"synth-selected");

  // Each unexpected file shows its platform; files without a header show "?".
  const struct {
    const wchar_t* name;
    const wchar_t* platform;
  } unexpected[] = {{L"arm.dll", L"ARM"},
                    {L"itanium.dll", L"Itanium"},
                    {L"reverb.dll", L"64-bit"},
                    {L"x.dll", L"?"},
                    {L"empty.dll", L"?"}};
  for (const auto& file : unexpected) {
    const Rows rows = ShowName(finder, IDC_UNEXPECTED_NAMES, IDC_UNEXPECTED_FILES, file.name, 1);
    ASSERT_EQ(rows.size(), 1u) << ToUtf8(file.name);
    EXPECT_EQ(rows[0][4], file.platform) << ToUtf8(file.name);
  }
  SaveScreenshot(L"unexpected-selected");

  // The check boxes choose what the upper list shows.
  ASSERT_TRUE(ClickAndWait(finder, IDC_SHOW_SINGLES));
  EXPECT_TRUE(WaitUntil([&] {
    return ListBoxItems(finder, IDC_DUPLICATE_NAMES) ==
           std::vector<std::wstring>{L"delay.dll", L"single.dll", L"synth.dll"};
  }));
  ASSERT_TRUE(ClickAndWait(finder, IDC_SHOW_DUPLICATES));
  EXPECT_TRUE(WaitUntil([&] {
    return ListBoxItems(finder, IDC_DUPLICATE_NAMES) == std::vector<std::wstring>{L"single.dll"};
  }));
  ASSERT_TRUE(ClickAndWait(finder, IDC_SHOW_SINGLES));
  EXPECT_TRUE(WaitUntil([&] {
    return ListBoxItems(finder, IDC_DUPLICATE_NAMES) ==
           std::vector<std::wstring>{L"(no files found)"};
  }));
  // The lower list is not refilled by them.
  EXPECT_EQ(ListBoxItems(finder, IDC_UNEXPECTED_NAMES).size(), 5u);
  SaveScreenshot(L"nothing-shown");

  ASSERT_TRUE(Click(finder, IDCANCEL));  // Quit
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(DupeFinderTest, ColumnsSortAndASecondClickReverses) {
  HWND finder = OpenFinder();
  ASSERT_NE(finder, nullptr);
  ShowName(finder, IDC_DUPLICATE_NAMES, IDC_DUPLICATE_FILES, L"synth.dll", 2);
  auto folders = [](const Rows& rows) { return Column(rows, 0); };
  const std::vector<std::wstring> ab{kA, kB}, ba{kB, kA};

  // Folder is the current column: a click reverses.
  ASSERT_TRUE(ClickColumn(finder, IDC_DUPLICATE_FILES, 0));
  WaitForRows(finder, IDC_DUPLICATE_FILES, [&](const Rows& r) { return folders(r) == ba; });
  // Version: 2.5 (A) before 10.1 (B) as numbers, not as text; again reverses.
  ASSERT_TRUE(ClickColumn(finder, IDC_DUPLICATE_FILES, 2));
  WaitForRows(finder, IDC_DUPLICATE_FILES, [&](const Rows& r) { return folders(r) == ab; });
  ASSERT_TRUE(ClickColumn(finder, IDC_DUPLICATE_FILES, 2));
  WaitForRows(finder, IDC_DUPLICATE_FILES, [&](const Rows& r) { return folders(r) == ba; });
  SaveScreenshot(L"by-version-descending");

  // Size, date and platform each sort ascending on the first click; equal keys keep their order.
  for (int column : {3, 1, 4}) {
    ASSERT_TRUE(ClickColumn(finder, IDC_DUPLICATE_FILES, column));
    const Rows first =
        WaitForRows(finder, IDC_DUPLICATE_FILES, [](const Rows& r) { return r.size() == 2; });
    ASSERT_TRUE(ClickColumn(finder, IDC_DUPLICATE_FILES, column));
    WaitForRows(finder, IDC_DUPLICATE_FILES, [&](const Rows& r) {
      return r.size() == 2 && r[0] == first[1] && r[1] == first[0];
    });
  }

  // A newly selected name is sorted ascending by the remembered column (platform: equal, so the
  // finding order: A\Delay.dll before B\Sub\delay.dll).
  const Rows delay = ShowName(finder, IDC_DUPLICATE_NAMES, IDC_DUPLICATE_FILES, L"delay.dll", 2);
  EXPECT_EQ(Column(delay, 0), (std::vector<std::wstring>{kA, kB + L"\\Sub"}));
  ASSERT_TRUE(Click(finder, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(DupeFinderTest, DeleteAsksAndRefreshesTheFileList) {
  HWND finder = OpenFinder();
  ASSERT_NE(finder, nullptr);
  ShowName(finder, IDC_DUPLICATE_NAMES, IDC_DUPLICATE_FILES, L"synth.dll", 2);
  ASSERT_TRUE(SelectListViewRow(finder, IDC_DUPLICATE_FILES, 0));
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(finder, IDC_DUPLICATE_DELETE); }));
  EXPECT_TRUE(IsEnabled(finder, IDC_DUPLICATE_BROWSE));
  EXPECT_TRUE(IsEnabled(finder, IDC_DUPLICATE_LAUNCH));

  // No: nothing is deleted and the buttons wait for another row.
  ASSERT_TRUE(Click(finder, IDC_DUPLICATE_DELETE));
  auto box = FindMessageBox(run, finder);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, L"This will permanently delete " + kA +
                           L"\\Synth.dll. Are you sure you wish to continue?");
  EXPECT_EQ(box->buttons, (std::vector<int>{IDYES, IDNO}));
  SaveScreenshot(L"delete-question");
  ASSERT_TRUE(Answer(*box, IDNO));
  // The three buttons go one after another: wait for all of them.
  EXPECT_TRUE(WaitUntil([&] {
    return !IsEnabled(finder, IDC_DUPLICATE_DELETE) && !IsEnabled(finder, IDC_DUPLICATE_BROWSE) &&
           !IsEnabled(finder, IDC_DUPLICATE_LAUNCH);
  }));
  EXPECT_NE(GetFileAttributesW((kA + L"\\Synth.dll").c_str()), INVALID_FILE_ATTRIBUTES);

  // Yes on a read-only file: gone, one row left, the name and the summary stay. The row is
  // selected again (by way of the other row) for the buttons to come back.
  ASSERT_TRUE(SetFileAttributesW((kA + L"\\Synth.dll").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SelectListViewRow(finder, IDC_DUPLICATE_FILES, 1));
  ASSERT_TRUE(SelectListViewRow(finder, IDC_DUPLICATE_FILES, 0));
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(finder, IDC_DUPLICATE_DELETE); }));
  ASSERT_TRUE(Click(finder, IDC_DUPLICATE_DELETE));
  box = FindMessageBox(run, finder);
  ASSERT_TRUE(box.has_value());
  ASSERT_TRUE(Answer(*box, IDYES));
  const Rows left =
      WaitForRows(finder, IDC_DUPLICATE_FILES, [](const Rows& r) { return r.size() == 1; });
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0][0], kB);
  EXPECT_EQ(GetFileAttributesW((kA + L"\\Synth.dll").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ListBoxItems(finder, IDC_DUPLICATE_NAMES),
            (std::vector<std::wstring>{L"delay.dll", L"synth.dll"}));
  EXPECT_EQ(Text(finder, IDC_SEARCH_FILE),
            L"Found 1 single files, 2 files with duplicates, and 5 files total.");
  EXPECT_FALSE(IsEnabled(finder, IDC_DUPLICATE_DELETE));
  SaveScreenshot(L"deleted");
  ASSERT_TRUE(Click(finder, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(DupeFinderTest, ADeleteThatFailsIsReportedAndTheFileStays) {
  HWND finder = OpenFinder();
  ASSERT_NE(finder, nullptr);
  // Another program holds the file open without letting it be deleted.
  HANDLE held = CreateFileW((kB + L"\\Reverb.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ShowName(finder, IDC_UNEXPECTED_NAMES, IDC_UNEXPECTED_FILES, L"reverb.dll", 1);
  ASSERT_TRUE(SelectListViewRow(finder, IDC_UNEXPECTED_FILES, 0));
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(finder, IDC_UNEXPECTED_DELETE); }));
  ASSERT_TRUE(Click(finder, IDC_UNEXPECTED_DELETE));
  auto box = FindMessageBox(run, finder);
  ASSERT_TRUE(box.has_value());
  ASSERT_TRUE(Answer(*box, IDYES));
  box = FindMessageBox(run, finder);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, L"Delete operation failed with error 32. Make sure the file is not "
                       L"write-protected or currently in use.");
  EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
  SaveScreenshot(L"delete-failed");
  ASSERT_TRUE(Answer(*box, IDOK));
  CloseHandle(held);
  EXPECT_EQ(ListViewRows(finder, IDC_UNEXPECTED_FILES, 5).size(), 1u);
  EXPECT_TRUE(IsEnabled(finder, IDC_UNEXPECTED_DELETE));  // a failure leaves the buttons
  EXPECT_NE(GetFileAttributesW((kB + L"\\Reverb.dll").c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(Click(finder, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(DupeFinderTest, LaunchOffersPreferencesOrOpensTheHost) {
  const std::wstring record = L"C:\\TessalyE2E\\launched.txt";
  ScopedEnvironment recording(L"TESSALY_PROBE_RECORD", record);
  HWND finder = OpenFinder();
  ASSERT_NE(finder, nullptr);
  ShowName(finder, IDC_DUPLICATE_NAMES, IDC_DUPLICATE_FILES, L"synth.dll", 2);

  // No host: the offer; Yes opens Preferences, the file is not opened afterwards.
  ASSERT_TRUE(SelectListViewRow(finder, IDC_DUPLICATE_FILES, 1));
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(finder, IDC_DUPLICATE_LAUNCH); }));
  ASSERT_TRUE(Click(finder, IDC_DUPLICATE_LAUNCH));
  auto box = FindMessageBox(run, finder);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text,
            L"No plugin host path configured. Would you like to set one up in Preferences?");
  EXPECT_EQ(box->buttons, (std::vector<int>{IDYES, IDNO}));
  ASSERT_TRUE(Answer(*box, IDYES));
  HWND preferences = FindPage(run, kPreferencesTitle);
  ASSERT_NE(preferences, nullptr);
  // Set the 32-bit host there: the probe program, which records its argument.
  ASSERT_TRUE(SetText(preferences, IDC_HOST32, PathFromEnvironment(L"TESSALY_PROBE")));
  SaveScreenshot(L"preferences-from-launch");
  ASSERT_TRUE(Click(preferences, IDOK));
  ASSERT_TRUE(WaitForClose(preferences));
  EXPECT_EQ(GetFileAttributesW(record.c_str()), INVALID_FILE_ATTRIBUTES);

  // With the host: it starts with the quoted path as its one argument.
  ASSERT_TRUE(Click(finder, IDC_DUPLICATE_LAUNCH));
  ASSERT_TRUE(
      WaitUntil([&] { return GetFileAttributesW(record.c_str()) != INVALID_FILE_ATTRIBUTES; }));
  std::wstring recorded;
  ASSERT_TRUE(WaitUntil([&] {
    HANDLE file = CreateFileW(record.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string bytes(4096, '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    recorded = FromUtf8(bytes);
    return recorded.find(L"SYNTH.DLL") != std::wstring::npos;
  }));
  EXPECT_EQ(recorded, kB + L"\\SYNTH.DLL\n");  // one argument, its quotes gone
  ASSERT_TRUE(Click(finder, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(DupeFinderTest, BrowseToShowsTheFileInExplorer) {
  HWND finder = OpenFinder();
  ASSERT_NE(finder, nullptr);
  ShowName(finder, IDC_UNEXPECTED_NAMES, IDC_UNEXPECTED_FILES, L"x.dll", 1);
  ASSERT_TRUE(SelectListViewRow(finder, IDC_UNEXPECTED_FILES, 0));
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(finder, IDC_UNEXPECTED_BROWSE); }));
  ASSERT_TRUE(Click(finder, IDC_UNEXPECTED_BROWSE));
  // Explorer opens a window on the file's folder, in a process of its own.
  HWND explorer = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    explorer = FindWindowW(L"ExplorerWClass", L"A");                // Wine's
    if (!explorer) explorer = FindWindowW(L"CabinetWClass", L"A");  // Windows'

    return explorer != nullptr && IsWindowVisible(explorer);
  })) << "no Explorer window";
  SaveScreenshot(L"explorer");
  PostMessageW(explorer, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitForClose(explorer));
  ASSERT_TRUE(Click(finder, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(DupeFinderTest, BackAndQuitWhileTheSearchRuns) {
  // A large tree keeps the search busy: Windows itself, seen without redirection.
  ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kVstPaths32, L"C:\\windows"));
  HWND folders = OpenFolders();
  ASSERT_NE(folders, nullptr);
  ASSERT_TRUE(Click(folders, IDC_NEXT));
  HWND finder = FindPage(run, kDupeFinderTitle);
  ASSERT_NE(finder, nullptr);
  ASSERT_TRUE(Click(finder, IDC_BACK));
  ASSERT_TRUE(WaitForClose(finder));
  // The search had not finished when the page went.
  folders = FindPage(run, kPluginFoldersTitle);
  ASSERT_NE(folders, nullptr);
  SaveScreenshot(L"back-from-search");

  ASSERT_TRUE(Click(folders, IDC_NEXT));
  finder = FindPage(run, kDupeFinderTitle);
  ASSERT_NE(finder, nullptr);
  EXPECT_EQ(Text(finder, IDC_SEARCH_STATUS).value_or(L"").rfind(L"Completed", 0),
            std::wstring::npos);
  ASSERT_TRUE(Click(finder, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

// What the finder shows once its search has completed: both status lines and both names lists.
struct SearchOutcome {
  std::optional<std::wstring> status, summary;
  std::vector<std::wstring> duplicates, unexpected;
  bool operator==(const SearchOutcome&) const = default;
};

TEST_F(DupeFinderTest, ClicksDuringTheSearchChangeNothingItFinds) {
  // Windows itself keeps the search busy long enough to click many times while it runs: its DLLs
  // of a platform the prefix holds (one made where 32-bit code cannot run has no 32-bit ones).
  const bool has32BitDlls =
      GetFileAttributesW(L"C:\\windows\\syswow64\\kernel32.dll") != INVALID_FILE_ATTRIBUTES;
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kSelectedPlatform, has32BitDlls ? 0 : 1));
  ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, has32BitDlls ? kVstPaths32 : kVstPaths64,
                                         kA + L"|C:\\windows|" + kB));
  const std::vector<std::wstring> searching{L"Searching..."};
  auto completed = [](HWND finder) {
    return Text(finder, IDC_SEARCH_STATUS).value_or(L"").rfind(L"Completed searching", 0) == 0;
  };
  auto outcome = [&](HWND finder) {
    SearchOutcome result;
    EXPECT_TRUE(WaitUntil(
        [&] {
          result = {Text(finder, IDC_SEARCH_STATUS), Text(finder, IDC_SEARCH_FILE),
                    ListBoxItems(finder, IDC_DUPLICATE_NAMES),
                    ListBoxItems(finder, IDC_UNEXPECTED_NAMES)};
          return completed(finder) && result.duplicates != searching &&
                 result.unexpected != searching;
        },
        Milliseconds(120000)));
    return result;
  };

  // Undisturbed.
  HWND folders = OpenFolders();
  ASSERT_NE(folders, nullptr);
  ASSERT_TRUE(Click(folders, IDC_NEXT));
  HWND finder = FindPage(run, kDupeFinderTitle);
  ASSERT_NE(finder, nullptr);
  const SearchOutcome undisturbed = outcome(finder);
  ASSERT_GT(undisturbed.duplicates.size(), 2u);
  ASSERT_TRUE(Click(finder, IDCANCEL));
  ASSERT_EQ(run.WaitForExit(), 0u);

  // The same search, with both check boxes clicked over and over while it runs: as a user would
  // (the driver's click, refused while a box is disabled) and as a click reaching the page
  // itself (its BN_CLICKED command), together with a name chosen in each names list.
  folders = OpenFolders();
  ASSERT_NE(folders, nullptr);
  ASSERT_TRUE(Click(folders, IDC_NEXT));
  finder = FindPage(run, kDupeFinderTitle);
  ASSERT_NE(finder, nullptr);
  int clicksWhileSearching = 0;
  bool enabledWhileSearching = false;
  while (true) {
    // Enabled first, status second: the page enables the boxes only after the completion line.
    const bool enabled =
        IsEnabled(finder, IDC_SHOW_DUPLICATES) || IsEnabled(finder, IDC_SHOW_SINGLES) ||
        IsEnabled(finder, IDC_DUPLICATE_NAMES) || IsEnabled(finder, IDC_UNEXPECTED_NAMES);
    if (completed(finder)) break;
    if (enabled) enabledWhileSearching = true;
    for (int id : {IDC_SHOW_SINGLES, IDC_SHOW_DUPLICATES}) {
      Click(finder, id);
      PostMessageW(finder, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Control(finder, id)));
    }
    SelectListBoxItem(finder, IDC_DUPLICATE_NAMES, L"Searching...");
    SelectListBoxItem(finder, IDC_UNEXPECTED_NAMES, L"Searching...");
    ++clicksWhileSearching;
    if (clicksWhileSearching == 3) SaveScreenshot(L"clicked-while-searching");
    Sleep(15);
  }
  EXPECT_FALSE(enabledWhileSearching)
      << "check boxes or names lists were enabled during the search";
  EXPECT_GE(clicksWhileSearching, 3) << "the search ended before the clicks could test it";
  EXPECT_EQ(CheckState(finder, IDC_SHOW_DUPLICATES), BST_CHECKED);
  EXPECT_EQ(CheckState(finder, IDC_SHOW_SINGLES), BST_UNCHECKED);
  const SearchOutcome disturbed = outcome(finder);
  EXPECT_EQ(disturbed.status, undisturbed.status);
  EXPECT_EQ(disturbed.summary, undisturbed.summary);
  EXPECT_EQ(disturbed.duplicates, undisturbed.duplicates);
  EXPECT_EQ(disturbed.unexpected, undisturbed.unexpected);
  for (int id :
       {IDC_SHOW_DUPLICATES, IDC_SHOW_SINGLES, IDC_DUPLICATE_NAMES, IDC_UNEXPECTED_NAMES}) {
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(finder, id); })) << id;
  }
  SaveScreenshot(L"after-the-clicks");
  // The boxes work again once the search is done.
  ASSERT_TRUE(ClickAndWait(finder, IDC_SHOW_SINGLES));
  EXPECT_TRUE(WaitUntil([&] {
    return ListBoxItems(finder, IDC_DUPLICATE_NAMES).size() > undisturbed.duplicates.size();
  }));
  ASSERT_TRUE(Click(finder, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(DupeFinderTest, FoldersPageKeepsAListPerPlatformAndStoresItOnClose) {
  HWND folders = OpenFolders();
  ASSERT_NE(folders, nullptr);
  EXPECT_EQ(Text(folders, IDC_RUNNING_WINDOWS), L"You are running 64-bit Windows.");
  EXPECT_EQ(CheckState(folders, IDC_PLATFORM_32), BST_CHECKED);
  EXPECT_EQ(ListBoxItems(folders, IDC_PLUGIN_FOLDERS), (std::vector<std::wstring>{kA, kB}));
  EXPECT_FALSE(IsEnabled(folders, IDC_REMOVE_FOLDER));
  EXPECT_FALSE(IsEnabled(folders, IDC_OPEN_FOLDER));

  // The 64-bit list starts from the default folders (nothing stored for it).
  ASSERT_TRUE(ClickAndWait(folders, IDC_PLATFORM_64));
  std::vector<std::wstring> defaults64;
  // Read twice alike, so that the list is not caught while it is being filled.
  ASSERT_TRUE(WaitUntil([&] {
    defaults64 = ListBoxItems(folders, IDC_PLUGIN_FOLDERS);
    return !defaults64.empty() &&
           std::find(defaults64.begin(), defaults64.end(), kA) == defaults64.end() &&
           ListBoxItems(folders, IDC_PLUGIN_FOLDERS) == defaults64;
  }));
  SaveScreenshot(L"64-bit-defaults");
  // Remove the first 64-bit folder, then go back to 32-bit and remove B there.
  ASSERT_TRUE(SelectListBoxItem(folders, IDC_PLUGIN_FOLDERS, defaults64[0]));
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(folders, IDC_REMOVE_FOLDER); }));
  ASSERT_TRUE(ClickAndWait(folders, IDC_REMOVE_FOLDER));
  ASSERT_TRUE(WaitUntil(
      [&] { return ListBoxItems(folders, IDC_PLUGIN_FOLDERS).size() == defaults64.size() - 1; }));
  EXPECT_FALSE(IsEnabled(folders, IDC_REMOVE_FOLDER));
  ASSERT_TRUE(ClickAndWait(folders, IDC_PLATFORM_32));
  ASSERT_TRUE(WaitUntil([&] {
    return ListBoxItems(folders, IDC_PLUGIN_FOLDERS) == std::vector<std::wstring>{kA, kB};
  }));
  ASSERT_TRUE(SelectListBoxItem(folders, IDC_PLUGIN_FOLDERS, kB));
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(folders, IDC_REMOVE_FOLDER); }));
  ASSERT_TRUE(ClickAndWait(folders, IDC_REMOVE_FOLDER));
  ASSERT_TRUE(WaitUntil(
      [&] { return ListBoxItems(folders, IDC_PLUGIN_FOLDERS) == std::vector<std::wstring>{kA}; }));

  // Cancel still stores both lists and the platform.
  ASSERT_TRUE(Click(folders, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(profile.GetProfileString(kSettingsSection, kVstPaths32, nullptr), kA);
  std::wstring expected64;
  for (size_t i = 1; i < defaults64.size(); ++i)
    expected64 += (expected64.empty() ? L"" : L"|") + defaults64[i];
  EXPECT_EQ(profile.GetProfileString(kSettingsSection, kVstPaths64, nullptr), expected64);
  EXPECT_EQ(profile.GetProfileInt(kSettingsSection, kSelectedPlatform, 9), 0u);
}

TEST_F(DupeFinderTest, AnEmptyFolderListCannotGoOnButBackStoresIt) {
  ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kVstPaths32, kA));
  HWND folders = OpenFolders();
  ASSERT_NE(folders, nullptr);
  ASSERT_TRUE(SelectListBoxItem(folders, IDC_PLUGIN_FOLDERS, kA));
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(folders, IDC_REMOVE_FOLDER); }));
  ASSERT_TRUE(ClickAndWait(folders, IDC_REMOVE_FOLDER));
  ASSERT_TRUE(WaitUntil([&] { return ListBoxItems(folders, IDC_PLUGIN_FOLDERS).empty(); }));
  ASSERT_TRUE(Click(folders, IDC_NEXT));
  const auto box = FindMessageBox(run, folders);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, L"You must specify at least one plugin folder in order to continue.");
  EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
  SaveScreenshot(L"no-folders");
  ASSERT_TRUE(Answer(*box, IDOK));
  EXPECT_TRUE(IsWindowVisible(folders));

  // Back goes to the Start page and stores the empty list as the empty text.
  ASSERT_TRUE(Click(folders, IDC_BACK));
  HWND start = FindPage(run, kStartTitle);
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(profile.GetProfileString(kSettingsSection, kVstPaths32, nullptr), L"");
  ASSERT_TRUE(Click(start, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(DupeFinderTest, BackFromTheFinderReturnsToTheFoldersPage) {
  HWND finder = OpenFinder();
  ASSERT_NE(finder, nullptr);
  SaveScreenshot(L"finder");
  ASSERT_TRUE(Click(finder, IDC_BACK));
  HWND folders = FindPage(run, kPluginFoldersTitle);
  ASSERT_NE(folders, nullptr);
  ASSERT_TRUE(Click(folders, IDC_BACK));
  HWND start = FindPage(run, kStartTitle);
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(CheckState(start, IDC_WIZARD_DUPLICATES), BST_CHECKED);
  ASSERT_TRUE(Click(start, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

}  // namespace
}  // namespace tessaly::e2e
