// A walk through the program for people who want to see it without a display: the Start page
// with each wizard's description, Preferences and the About box, then the duplicate finder on the
// demo machine's plugin folders, the page that asks for the file database, the product manager
// with its two repair dialogs, Kontakt's Libraries tab, the thumbnail fixer and the relocation
// wizard, each saved as a screenshot whose path is printed. Every page shown is checked to fit its
// screen at the screen's scale first, so that a walk at 150% or 200% finds what does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "catalog/file_database.h"
#include "platform/text.h"
#include "platform/win32/win32_registry.h"
#include "plugins/plugin_folders.h"
#include "resources/resource.h"
#include "tests/e2e/demo_state.h"
#include "tests/e2e/artwork_state.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/fit_check.h"
#include "tests/e2e/page_titles.h"

#include <shellapi.h>
#include <shlobj.h>

namespace tessaly::e2e {
namespace {

// The screenshot's path as the Linux side sees it (drive Z: is the root folder).
std::string UnixPath(const std::wstring& windowsPath) {
  std::wstring path = windowsPath;
  if (path.size() >= 2 && (path[0] == L'Z' || path[0] == L'z') && path[1] == L':') path.erase(0, 2);
  for (wchar_t& c : path) {
    if (c == L'\\') c = L'/';
  }
  return ToUtf8(path);
}

// Saves a screenshot of `page` after checking that it fits its screen at the screen's scale (see
// fit_check.h); the page's scale and logical size go to the output. At another scale than 100%
// the picture's name ends in the scale ("duplicate-finder-150").
void Shot(HWND page, const wchar_t* name) {
  const PageScale scale = ScaleOf(page);
  const std::string title = ToUtf8(Title(page));
  std::printf("page: %s at %d DPI, %d x %d logical pixels\n", title.c_str(), scale.dpi,
              scale.logicalWidth, scale.logicalHeight);
  for (const std::string& fault : FitFaults(page)) ADD_FAILURE() << title << ": " << fault;
  std::wstring picture = name;
  if (scale.dpi != 96) picture += L"-" + std::to_wstring(scale.dpi * 100 / 96);
  const std::wstring saved = SaveScreenshot(picture);
  EXPECT_FALSE(saved.empty()) << "screenshot " << ToUtf8(picture) << " not saved";
  if (!saved.empty()) std::printf("screenshot: %s\n", UnixPath(saved).c_str());
  std::fflush(stdout);
}

// Next on the plugin folders page, then the finder once its search has completed; null (the
// failure added) when either does not come.
HWND FinderAfterSearch(const ProgramRun& run, HWND folders) {
  if (!Click(folders, IDC_NEXT)) {
    ADD_FAILURE() << "Next cannot be clicked";
    return nullptr;
  }
  HWND finder = FindPage(run, kDupeFinderTitle);
  if (finder && !WaitUntil([&] {
        return Text(finder, IDC_SEARCH_STATUS).value_or(L"").rfind(L"Completed searching", 0) ==
                   0 &&
               IsEnabled(finder, IDC_DUPLICATE_NAMES);
      })) {
    ADD_FAILURE() << "the search did not complete";
    return nullptr;
  }
  return finder;
}

TEST(Tour, StartPagePreferencesAndAbout) {
  // A newcomer's first run, as in a new Wine root: no settings and no documents, so the program
  // makes its first-run backups and Preferences offers to restore them, whatever tests ran before.
  ASSERT_EQ(DeleteProgramSettings(), 0u);
  ASSERT_EQ(DeleteProgramDocuments(), 0u);
  ProgramRun run;
  ASSERT_EQ(run.Start(ProgramPath()), 0u);
  HWND start = FindPage(run, kStartTitle);
  ASSERT_NE(start, nullptr);

  const struct {
    int id;
    const wchar_t* name;
  } wizards[] = {
      {IDC_WIZARD_DUPLICATES, L"start-duplicate-plugins"},
      {IDC_WIZARD_PRODUCTS, L"start-installed-products"},
      {IDC_WIZARD_LIBRARIES, L"start-kontakt-libraries"},
      {IDC_WIZARD_THUMBNAILS, L"start-thumbnails"},
      {IDC_WIZARD_RELOCATE, L"start-relocate-content"},
  };
  for (const auto& wizard : wizards) {
    ASSERT_TRUE(Click(start, wizard.id));
    ASSERT_TRUE(WaitUntil([&] { return CheckState(start, wizard.id) == BST_CHECKED; }));
    Shot(start, wizard.name);
  }

  ASSERT_TRUE(SysCommand(start, 0x100));
  HWND preferences = FindPage(run, kPreferencesTitle);
  ASSERT_NE(preferences, nullptr);
  Shot(preferences, L"preferences");
  // The question before a restore of the first-run backups; No restores nothing.
  ASSERT_TRUE(Click(preferences, IDC_RESTORE_ORIGINAL));
  std::optional<MessageBoxInfo> restore = FindMessageBox(run, preferences);
  ASSERT_TRUE(restore);
  Shot(preferences, L"preferences-restore-question");
  ASSERT_TRUE(Answer(*restore, IDNO));
  ASSERT_TRUE(Click(preferences, IDCANCEL));
  ASSERT_TRUE(WaitForClose(preferences));

  ASSERT_TRUE(SysCommand(start, 0x10));
  HWND about = FindPage(run, kAboutTitle);
  ASSERT_NE(about, nullptr);
  Shot(about, L"about");
  ASSERT_TRUE(Click(about, IDOK));
  ASSERT_TRUE(WaitForClose(about));

  ASSERT_TRUE(Click(start, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST(Tour, FindDuplicatePlugins) {
  // The demo machine's 32-bit plugin folders, and the folder of loose plugins that a user would
  // add on the folders page.
  Win32Registry registry;
  CProfileStore profile(registry);
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kSelectedPlatform, 0));
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kSearchVst3Clap, 0));
  ASSERT_TRUE(
      profile.WriteProfileString(kSettingsSection, kVstPaths32,
                                 L"C:\\Program Files (x86)\\Native Instruments\\VSTPlugins 32 bit|"
                                 L"C:\\Program Files (x86)\\Vstplugins|C:\\Audio\\VST32"));

  ProgramRun run;
  HWND folders = OpenWizard(run, IDC_WIZARD_DUPLICATES);
  ASSERT_NE(folders, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return ListBoxItems(folders, IDC_PLUGIN_FOLDERS).size() == 3; }));
  Shot(folders, L"plugin-folders");
  HWND finder = FinderAfterSearch(run, folders);
  ASSERT_NE(finder, nullptr);
  const std::vector<std::wstring> names = ListBoxItems(finder, IDC_DUPLICATE_NAMES);
  EXPECT_NE(std::find(names.begin(), names.end(), L"synthwave.dll"), names.end());
  Shot(finder, L"duplicate-finder");
  ASSERT_TRUE(SelectListBoxItem(finder, IDC_DUPLICATE_NAMES, L"synthwave.dll"));
  ASSERT_TRUE(WaitUntil([&] { return ListViewRows(finder, IDC_DUPLICATE_FILES, 5).size() >= 2; }));
  ASSERT_TRUE(SelectListBoxItem(finder, IDC_UNEXPECTED_NAMES,
                                ListBoxItems(finder, IDC_UNEXPECTED_NAMES).at(0)));
  ASSERT_TRUE(WaitUntil([&] { return !ListViewRows(finder, IDC_UNEXPECTED_FILES, 5).empty(); }));
  Shot(finder, L"duplicate-finder-files");

  ASSERT_TRUE(Click(finder, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST(Tour, FindVst3AndClapPlugins) {
  // The 64-bit search of the demo machine's loose plugins, with VST3 and CLAP plugins turned on
  // on the folders page: their common-files folders join the list, and the identical copies of a
  // bundle name each other.
  Win32Registry registry;
  CProfileStore profile(registry);
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kSelectedPlatform, 1));
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kSearchVst3Clap, 0));
  ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kVstPaths64, L"C:\\Audio\\VST64"));

  ProgramRun run;
  HWND folders = OpenWizard(run, IDC_WIZARD_DUPLICATES);
  ASSERT_NE(folders, nullptr);
  ASSERT_TRUE(Click(folders, IDC_SEARCH_VST3_CLAP));
  ASSERT_TRUE(WaitUntil([&] { return ListBoxItems(folders, IDC_PLUGIN_FOLDERS).size() == 3; }));
  Shot(folders, L"plugin-folders-vst3-clap");
  HWND finder = FinderAfterSearch(run, folders);
  ASSERT_NE(finder, nullptr);
  ASSERT_TRUE(SelectListBoxItem(finder, IDC_DUPLICATE_NAMES, L"raum.vst3"));
  ASSERT_TRUE(WaitUntil([&] {
    const auto rows = ListViewRows(finder, IDC_DUPLICATE_FILES, 6);
    return rows.size() == 2 && !rows[0][5].empty();
  }));
  ASSERT_TRUE(SelectListBoxItem(finder, IDC_UNEXPECTED_NAMES, L"old synth.vst3"));
  ASSERT_TRUE(WaitUntil([&] { return !ListViewRows(finder, IDC_UNEXPECTED_FILES, 6).empty(); }));
  Shot(finder, L"duplicate-finder-identical");

  ASSERT_TRUE(Click(finder, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
  // The walks after this one show the finder as it first opens.
  profile.WriteProfileInt(kSettingsSection, kSearchVst3Clap, 0);
}

TEST(Tour, LocateFileDatabase) {
  // Started from a folder without FileDatabase.xml and with no path stored, the product
  // manager's wizard first asks where the file database is.
  Win32Registry registry;
  CProfileStore profile(registry);
  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Quillmoor\\Tessaly\\Settings",
                     kFileDatabasePath);
  ASSERT_EQ(profile.GetProfileString(kSettingsSection, kFileDatabasePath, L"<none>"), L"<none>");
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);

  ProgramRun run;
  ASSERT_EQ(run.Start(ProgramPath(), {}, temp), 0u);
  HWND start = FindPage(run, kStartTitle);
  ASSERT_NE(start, nullptr);
  ASSERT_TRUE(ChooseWizard(start, IDC_WIZARD_PRODUCTS));

  HWND locate = FindPage(run, kLocateDatabaseTitle);
  ASSERT_NE(locate, nullptr);
  const std::wstring program = ProgramPath();
  ASSERT_TRUE(SetText(locate, IDC_FILE_DATABASE_PATH,
                      program.substr(0, program.find_last_of(L'\\') + 1) + L"FileDatabase.xml"));
  Shot(locate, L"locate-file-database");

  // Cancel leaves the program and stores nothing.
  ASSERT_TRUE(Click(locate, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

// The product manager on the demo machine: the filled list, a product with missing paths, and
// the two dialogs of a folder repair (cancelled, so the demo machine stays as it is).
TEST(Tour, ManageProducts) {
  // The delivered file database beside the program, whatever an earlier run stored.
  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Quillmoor\\Tessaly\\Settings",
                     kFileDatabasePath);
  ProgramRun run;
  HWND page = OpenWizard(run, IDC_WIZARD_PRODUCTS);
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(page, IDC_PM_SHOW_APPS); }));
  Shot(page, L"products-list");

  // Battery 4's installation folder is on a drive the demo machine does not have.
  ASSERT_TRUE(SelectListBoxItem(page, IDC_PM_PRODUCTS, L"Battery 4"));
  ASSERT_TRUE(WaitUntil([&] { return Text(page, IDC_PM_PRODUCT_TYPE) == L"App/plugin"; }));
  Shot(page, L"products-missing-paths");

  ASSERT_TRUE(Click(page, IDC_PM_INSTALL_OPTIONS));
  HWND change = FindPage(run, kChangeFolderTitle);
  ASSERT_NE(change, nullptr);
  Shot(change, L"products-change-folder");
  ASSERT_TRUE(Click(change, IDC_RELOCATE_PRODUCTS));
  HWND relocate = FindPage(run, kRelocateTitle);
  if (relocate) {
    Shot(relocate, L"products-relocate");
    ASSERT_TRUE(Click(relocate, IDCANCEL));
    ASSERT_TRUE(WaitForClose(relocate));
  }
  ASSERT_TRUE(Click(change, IDCANCEL));
  ASSERT_TRUE(WaitForClose(change));
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

// Kontakt's Libraries tab on the demo machine: the libraries with their places, one forced to the
// top, and "Apply Sort..." with its question and its result. The demo's values are put back.
TEST(Tour, ArrangeKontaktLibraries) {
  const SavedLibrariesTab saved;
  ASSERT_FALSE(saved.Empty());
  ProgramRun run;
  HWND page = OpenWizard(run, IDC_WIZARD_LIBRARIES);
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(WaitUntil([&] {
    return IsEnabled(page, IDC_APPLY_SORT) && !ListViewRows(page, IDC_KONTAKT_LIBRARIES, 1).empty();
  }));
  Shot(page, L"kontakt-libraries");

  ASSERT_TRUE(SelectListViewRow(page, IDC_KONTAKT_LIBRARIES, 0));  // not at the top yet
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(page, IDC_FORCE_TO_TOP); }));
  ASSERT_TRUE(Click(page, IDC_FORCE_TO_TOP));
  ASSERT_TRUE(WaitUntil([&] { return CheckState(page, IDC_FORCE_TO_TOP) == BST_CHECKED; }));
  Shot(page, L"kontakt-force-to-top");

  ASSERT_TRUE(Click(page, IDC_APPLY_SORT));
  std::optional<MessageBoxInfo> question = FindMessageBox(run, page);
  ASSERT_TRUE(question);
  Shot(page, L"kontakt-apply-question");
  ASSERT_TRUE(Answer(*question, IDOK));
  std::optional<MessageBoxInfo> done = FindMessageBox(run, page);
  ASSERT_TRUE(done);
  Shot(page, L"kontakt-applied");
  ASSERT_TRUE(Answer(*done, IDOK));
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

// A folder made for the relocation tour, removed with everything in it afterwards (a folder link
// in it as a link).
struct TourFolder {
  explicit TourFolder(std::wstring p) : path(std::move(p)) {}
  ~TourFolder() { EXPECT_EQ(DeleteTree(path), 0u) << "left behind: " << ToUtf8(path); }
  std::wstring path;
};

// The relocation wizard: its folder page, also with the files already moved, and the progress
// page after a move that ended with the folder link at the Original Location (under Wine a host
// symbolic link).
TEST(Tour, RelocateContent) {
  // The link in the samples folder goes before the folder it leads to.
  TourFolder target(L"C:\\Tour Relocated");
  TourFolder source(L"C:\\Tour Samples");
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, L"C:\\Tour Samples\\Strings\\Legato", nullptr),
            ERROR_SUCCESS);
  for (const wchar_t* file : {L"C:\\Tour Samples\\Strings\\Strings.nki",
                              L"C:\\Tour Samples\\Strings\\Legato\\Violins.ncw"}) {
    HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "samples", 7, &written, nullptr);
    CloseHandle(h);
  }

  ProgramRun run;
  HWND folders = OpenWizard(run, IDC_WIZARD_RELOCATE);
  ASSERT_NE(folders, nullptr);
  // The page opens with the options stored by an earlier visit: a move under the same name.
  for (const int option : {IDC_ALREADY_MOVED, IDC_DIFFERENT_NAME}) {
    if (CheckState(folders, option) == BST_CHECKED) {
      ASSERT_TRUE(ClickAndWait(folders, option));
    }
    ASSERT_EQ(CheckState(folders, option), BST_UNCHECKED);
  }
  ASSERT_TRUE(SetText(folders, IDC_ORIGINAL_LOCATION, L"C:\\Tour Samples\\Strings"));
  ASSERT_TRUE(SetText(folders, IDC_NEW_LOCATION, L"C:\\Tour Relocated"));
  ASSERT_TRUE(WaitUntil(
      [&] { return Text(folders, IDC_FULL_TARGET_PATH) == L"C:\\Tour Relocated\\Strings"; }));
  Shot(folders, L"relocate-folders");
  // The same folders when the files were already moved by hand: only the link would be made.
  ASSERT_TRUE(ClickAndWait(folders, IDC_ALREADY_MOVED));
  ASSERT_EQ(CheckState(folders, IDC_ALREADY_MOVED), BST_CHECKED);
  Shot(folders, L"relocate-folders-link-only");
  ASSERT_TRUE(ClickAndWait(folders, IDC_ALREADY_MOVED));
  ASSERT_EQ(CheckState(folders, IDC_ALREADY_MOVED), BST_UNCHECKED);
  ASSERT_TRUE(WaitUntil(
      [&] { return Text(folders, IDC_FULL_TARGET_PATH) == L"C:\\Tour Relocated\\Strings"; }));
  ASSERT_TRUE(Click(folders, IDC_NEXT));
  for (int question = 0; question < 2; ++question) {  // create the New Location; proceed
    std::optional<MessageBoxInfo> box = FindMessageBox(run, folders);
    ASSERT_TRUE(box);
    ASSERT_TRUE(Answer(*box, IDYES));
  }
  HWND progress = FindPage(run, kRelocateContentTitle);
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(WaitUntil([&] {
    const std::vector<std::wstring> log = ListBoxItems(progress, IDC_RELOCATION_LOG);
    return !log.empty() && log.back().rfind(L"Operation completed", 0) == 0;
  }));
  EXPECT_EQ(ListBoxItems(progress, IDC_RELOCATION_LOG).back(),
            L"Operation completed successfully.");
  EXPECT_FALSE(FindMessageBox(run, progress, Milliseconds(500)).has_value());
  Shot(progress, L"relocate-progress");
  // The files are at the new place, and found through the link at the original one.
  const DWORD link = GetFileAttributesW(L"C:\\Tour Samples\\Strings");
  EXPECT_TRUE(link != INVALID_FILE_ATTRIBUTES && (link & FILE_ATTRIBUTE_REPARSE_POINT));
  EXPECT_NE(GetFileAttributesW(L"C:\\Tour Samples\\Strings\\Legato\\Violins.ncw"),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW(L"C:\\Tour Relocated\\Strings\\Legato\\Violins.ncw"),
            INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(Click(progress, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

// The thumbnail fixer on the demo machine: its first scan, and the list after "Fix Thumbnails"
// copied the artwork. The demo's shared artwork folder is put back afterwards.
TEST(Tour, FixThumbnails) {
  const SavedFolderTree saved(SharedArtworkFolder());
  ASSERT_TRUE(saved.complete());
  struct PutBack {
    const SavedFolderTree& saved;
    ~PutBack() { EXPECT_EQ(saved.Restore(), 0u); }
  } putBack{saved};  // after the program has ended: declared before it

  ProgramRun run;
  HWND page = OpenWizard(run, IDC_WIZARD_THUMBNAILS);
  ASSERT_NE(page, nullptr);
  auto passEnded = [&](const wchar_t* headline) {
    return WaitUntil([&] {
      return IsEnabled(page, IDC_FIX_THUMBNAILS) &&
             Text(page, IDC_THUMBNAIL_STATUS).value_or(L"").rfind(headline, 0) == 0;
    });
  };
  ASSERT_TRUE(passEnded(L"Initial scan is complete."));
  Shot(page, L"thumbnails-scan");

  ASSERT_TRUE(Click(page, IDC_FIX_THUMBNAILS));
  ASSERT_TRUE(passEnded(L"Fix procedure is complete."));
  Shot(page, L"thumbnails-fixed");

  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

}  // namespace
}  // namespace tessaly::e2e
