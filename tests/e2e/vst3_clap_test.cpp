// VST3 and CLAP plugins end to end on the demo machine: the plugin folders page's check box (off
// by default, its folders added when turned on, stored), the search with it off and on (bundles,
// CLAP files, identical copies named in "Same as"), and Delete of a bundle.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "platform/file_ops.h"
#include "platform/text.h"
#include "platform/win32/win32_registry.h"
#include "plugins/plugin_folders.h"
#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/page_titles.h"

#include <shlobj.h>

namespace tessaly::e2e {
namespace {

const std::wstring kVst64 = L"C:\\Audio\\VST64";
const std::wstring kCommonVst3 = L"C:\\Program Files\\Common Files\\VST3";
const std::wstring kCommonClap = L"C:\\Program Files\\Common Files\\CLAP";
const std::wstring kScratch = L"C:\\TessalyE2E\\Vst3";
using Names = std::vector<std::wstring>;
using Rows = std::vector<std::vector<std::wstring>>;

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class Vst3ClapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Exists(kCommonVst3 + L"\\Raum.vst3")) << "the demo machine's VST3 folder";
    ASSERT_EQ(DeleteProgramSettings(), 0u);
    ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kFirstRun, 0));
    ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kSelectedPlatform, 1));
    ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kVstPaths64, kVst64));
  }
  void TearDown() override { DeleteTree(L"C:\\TessalyE2E"); }

  HWND OpenFolders() { return OpenWizard(run, IDC_WIZARD_DUPLICATES); }
  // Next on the folders page, then the finder once its search has completed, singles shown.
  HWND SearchFrom(HWND folders) {
    if (!folders || !Click(folders, IDC_NEXT)) return nullptr;
    HWND finder = FindPage(run, kDupeFinderTitle);
    if (!finder || !WaitUntil([&] {
          return Text(finder, IDC_SEARCH_STATUS).value_or(L"").rfind(L"Completed searching", 0) ==
                     0 &&
                 ListBoxItems(finder, IDC_DUPLICATE_NAMES) != Names{L"Searching..."};
        })) {
      ADD_FAILURE() << "the search did not complete";
      return finder;
    }
    EXPECT_TRUE(Click(finder, IDC_SHOW_SINGLES));
    return finder;
  }
  Rows ShowName(HWND finder, int namesId, int filesId, const wchar_t* name, size_t rows,
                int columns) {
    EXPECT_TRUE(SelectListBoxItem(finder, namesId, name)) << ToUtf8(name);
    Rows shown;
    EXPECT_TRUE(WaitUntil([&] {
      shown = ListViewRows(finder, filesId, columns);
      return shown.size() == rows;
    })) << ToUtf8(name)
        << ": " << shown.size() << " rows";
    return shown;
  }
  static bool Contains(const Names& names, const wchar_t* name) {
    for (const std::wstring& n : names)
      if (EqualsNoCase(n, name)) return true;
    return false;
  }

  Win32Registry registry;
  CProfileStore profile{registry};
  ProgramRun run;
};

TEST_F(Vst3ClapTest, OffTheSearchIsAsBeforeOnItFindsBundlesAndMarksIdenticalCopies) {
  // Off at first: the VST3 and CLAP plugins of the searched folder stay unseen.
  HWND folders = OpenFolders();
  ASSERT_NE(folders, nullptr);
  EXPECT_EQ(CheckState(folders, IDC_SEARCH_VST3_CLAP), BST_UNCHECKED);
  EXPECT_EQ(ListBoxItems(folders, IDC_PLUGIN_FOLDERS), Names{kVst64});
  HWND finder = SearchFrom(folders);
  ASSERT_NE(finder, nullptr);
  ASSERT_TRUE(
      WaitUntil([&] { return Contains(ListBoxItems(finder, IDC_DUPLICATE_NAMES), L"raum.dll"); }));
  for (const wchar_t* name : {L"raum.vst3", L"raum.clap", L"kontakt 7.vst3"}) {
    EXPECT_FALSE(Contains(ListBoxItems(finder, IDC_DUPLICATE_NAMES), name)) << ToUtf8(name);
  }
  EXPECT_EQ(ListViewRows(finder, IDC_DUPLICATE_FILES, 6).size(), 0u);
  ASSERT_TRUE(Click(finder, IDC_BACK));

  // On: the common-files VST3 and CLAP folders join the 64-bit list.
  folders = FindPage(run, kPluginFoldersTitle);
  ASSERT_NE(folders, nullptr);
  ASSERT_TRUE(Click(folders, IDC_SEARCH_VST3_CLAP));
  EXPECT_TRUE(WaitUntil([&] {
    return ListBoxItems(folders, IDC_PLUGIN_FOLDERS) == Names{kVst64, kCommonVst3, kCommonClap};
  }));
  SaveScreenshot(L"vst3-clap-option");
  finder = SearchFrom(folders);
  ASSERT_NE(finder, nullptr);
  EXPECT_EQ(Text(finder, IDC_SEARCH_STATUS), L"Completed searching 3 folders.");
  const Names upper = ListBoxItems(finder, IDC_DUPLICATE_NAMES);
  for (const wchar_t* name : {L"raum.vst3", L"raum.clap", L"kontakt 7.vst3", L"surge xt.clap"}) {
    EXPECT_TRUE(Contains(upper, name)) << ToUtf8(name);
  }
  const Names lower = ListBoxItems(finder, IDC_UNEXPECTED_NAMES);
  EXPECT_TRUE(Contains(lower, L"old synth.vst3")) << "only a 32-bit binary";
  EXPECT_TRUE(Contains(lower, L"broken bundle.vst3")) << "no binary";
  // A bundle with only an ARM64 binary is an other-platform plugin with its platform named.
  Rows arm =
      ShowName(finder, IDC_UNEXPECTED_NAMES, IDC_UNEXPECTED_FILES, L"tablet reverb.vst3", 1, 6);
  ASSERT_EQ(arm.size(), 1u);
  EXPECT_EQ(arm[0][0], kCommonVst3);
  EXPECT_EQ(arm[0][4], L"ARM64");
  EXPECT_EQ(arm[0][3], L"512.0 B") << "the whole bundle's size";
  SaveScreenshot(L"vst3-clap-arm64");

  // Two identical bundles: each row names the first row's folder.
  Rows rows = ShowName(finder, IDC_DUPLICATE_NAMES, IDC_DUPLICATE_FILES, L"raum.vst3", 2, 6);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][4], L"64-bit");
  EXPECT_EQ(rows[0][5], rows[0][0]);
  EXPECT_EQ(rows[1][5], rows[0][0]);
  SaveScreenshot(L"vst3-clap-identical");
  // A bundle and a .vst3 file of the same name that differ: no mark.
  rows = ShowName(finder, IDC_DUPLICATE_NAMES, IDC_DUPLICATE_FILES, L"kontakt 7.vst3", 2, 6);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][5], L"");
  EXPECT_EQ(rows[1][5], L"");
  ASSERT_TRUE(Click(finder, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(profile.GetProfileInt(kSettingsSection, kSearchVst3Clap, 0), 1u) << "stored";
}

TEST_F(Vst3ClapTest, DeleteOfABundleAsksAndRemovesTheWholeBundle) {
  const std::wstring bundle = kScratch + L"\\A\\Pad.vst3";
  const std::wstring binary = bundle + L"\\Contents\\x86_64-win\\Pad.vst3";
  const std::wstring fixture = PathFromEnvironment(L"TESSALY_FIXTURES") + L"\\plugin_3_0_64.dll";
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, (bundle + L"\\Contents\\x86_64-win").c_str(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, (bundle + L"\\Contents\\Resources").c_str(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(SHCreateDirectoryExW(
                nullptr, (kScratch + L"\\B\\Pad.vst3\\Contents\\x86_64-win").c_str(), nullptr),
            ERROR_SUCCESS);
  ASSERT_TRUE(CopyFileW(fixture.c_str(), binary.c_str(), FALSE));
  // The same bundle in B; a file of the binary's bytes in C is no copy of a bundle.
  ASSERT_TRUE(CopyFileW(fixture.c_str(),
                        (kScratch + L"\\B\\Pad.vst3\\Contents\\x86_64-win\\Pad.vst3").c_str(),
                        FALSE));
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, (kScratch + L"\\C").c_str(), nullptr), ERROR_SUCCESS);
  ASSERT_TRUE(CopyFileW(fixture.c_str(), (kScratch + L"\\C\\Pad.vst3").c_str(), FALSE));
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(binary.c_str(), GetFileExInfoStandard, &data));
  const uint64_t size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kVstPaths64, kScratch));
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kSearchVst3Clap, 1));

  HWND folders = OpenFolders();
  ASSERT_NE(folders, nullptr);
  EXPECT_EQ(CheckState(folders, IDC_SEARCH_VST3_CLAP), BST_CHECKED);
  HWND finder = SearchFrom(folders);
  ASSERT_NE(finder, nullptr);
  const Rows rows = ShowName(finder, IDC_DUPLICATE_NAMES, IDC_DUPLICATE_FILES, L"pad.vst3", 3, 6);
  ASSERT_EQ(rows.size(), 3u);
  ASSERT_EQ(rows[0][0], kScratch + L"\\A");
  EXPECT_EQ(rows[0][2], L"3.0.0.0") << "the version of the binary";
  EXPECT_EQ(rows[0][5], kScratch + L"\\A");
  EXPECT_EQ(rows[1][5], kScratch + L"\\A");
  EXPECT_EQ(rows[2][5], L"") << "a file is no copy of a bundle";
  ASSERT_TRUE(SelectListViewRow(finder, IDC_DUPLICATE_FILES, 0));
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(finder, IDC_DUPLICATE_DELETE); }));
  ASSERT_TRUE(Click(finder, IDC_DUPLICATE_DELETE));
  auto box = FindMessageBox(run, finder);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, L"This will permanently delete the folder " + bundle +
                           L" with everything in it: 1 file, " + FormatSize(size) +
                           L". Are you sure you wish to continue?");
  ASSERT_TRUE(Answer(*box, IDYES));
  const bool twoLeft =
      WaitUntil([&] { return ListViewRows(finder, IDC_DUPLICATE_FILES, 6).size() == 2; });
  EXPECT_TRUE(twoLeft);
  EXPECT_FALSE(Exists(bundle));
  EXPECT_TRUE(Exists(kScratch + L"\\A")) << "only the bundle goes";
  EXPECT_TRUE(Exists(kScratch + L"\\B\\Pad.vst3"));
  const Rows left = ListViewRows(finder, IDC_DUPLICATE_FILES, 6);
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0][5], L"") << "its twin is gone";
  ASSERT_TRUE(Click(finder, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

}  // namespace
}  // namespace tessaly::e2e
