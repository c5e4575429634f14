// The relocation wizard end to end: the folder page with its refusals, questions, mode texts,
// Full Target Path and settings; a move of real files that ends with a link at the Original
// Location (under Wine a host symbolic link); link-only mode on the progress page; Back and Quit
// while the copy runs; and moves whose process is ended during the copy, after the rename, during
// the check and during the deletion, then finished or put back at the next start.
// Every folder a test makes lies below one folder of this run and goes when the test ends.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/settings/profile_store.h"
#include "platform/text.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "relocation/relocation_settings.h"
#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/page_titles.h"

#include <commctrl.h>
#include <shlobj.h>

namespace tessaly::e2e {
namespace {

constexpr wchar_t kMissing[] = L"<missing>";
// Every folder of these tests lies below this one.
constexpr wchar_t kTestsFolder[] = L"C:\\Tessaly Relocation Tests";

constexpr wchar_t kLinkLine[] =
    L"Creating symbolic link so applications can find files at their new location...";

// --- Files, written and read as another program would ------------------------------------

std::string Bytes(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  uint32_t x = seed * 2654435761u + 7;
  for (char& c : bytes) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(file);
  return ok;
}

std::optional<std::string> ReadBytes(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Content: relative names with their bytes, `small` small files in folders of 100 and a few
// large ones.
using Content = std::map<std::wstring, std::string>;
Content MakeContent(int small, int largeMegabytes) {
  Content files;
  unsigned seed = 1;
  for (int i = 0; i < small; ++i) {
    files[FormatText(L"\\Samples %02d\\Sample %04d.ncw", i / 100, i)] =
        Bytes(4096 + 61 * (i % 50), seed++);
  }
  files[L"\\Strings.nki"] = Bytes(2048, seed++);
  files[L"\\Strings.nkc"] = "";
  for (int i = 0; i < largeMegabytes; ++i) {
    files[FormatText(L"\\Legato\\Long %d.ncw", i)] = Bytes(1024 * 1024 + 3, seed++);
  }
  return files;
}

// --- Controls the driver does not know ---------------------------------------------------

std::optional<LRESULT> Send(HWND page, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  HWND control = Control(page, id);
  DWORD_PTR result = 0;
  if (!control ||
      !SendMessageTimeoutW(control, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) {
    return std::nullopt;
  }
  return static_cast<LRESULT>(result);
}

class RelocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(DeleteProgramSettings(), 0u);
    ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kFirstRun, 0));
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    root = std::wstring(kTestsFolder) + L"\\" + FromUtf8(test->name());
    ASSERT_EQ(DeleteTree(root), 0u);
    ASSERT_EQ(SHCreateDirectoryExW(nullptr, root.c_str(), nullptr), ERROR_SUCCESS);
  }

  void TearDown() override {
    run.Kill();
    // The wizard's stored folders and options would meet the next test of the run.
    EXPECT_EQ(DeleteProgramSettings(), 0u);
    EXPECT_EQ(DeleteTree(root), 0u) << "left behind: " << ToUtf8(root);
    RemoveDirectoryW(kTestsFolder);  // once the last test's folder has gone
  }

  std::wstring Setting(const wchar_t* name) {
    return profile.GetProfileString(kSettingsSection, name, kMissing);
  }

  // Starts the program and goes to the folder page.
  HWND OpenFolderPage() { return OpenWizard(run, IDC_WIZARD_RELOCATE); }

  // Sets a check box to `checked` by clicking it, as the user would.
  static bool SetCheck(HWND page, int id, bool checked) {
    if ((CheckState(page, id) == BST_CHECKED) == checked) return true;
    return ClickAndWait(page, id) && (CheckState(page, id) == BST_CHECKED) == checked;
  }

  // Fills the folder page as the user would: the options first, then the two fields.
  static bool Fill(HWND page, const std::wstring& source, const std::wstring& newLocation,
                   bool linkOnly, bool differentName) {
    return SetCheck(page, IDC_ALREADY_MOVED, linkOnly) &&
           SetCheck(page, IDC_DIFFERENT_NAME, differentName) &&
           SetText(page, IDC_ORIGINAL_LOCATION, source) &&
           SetText(page, IDC_NEW_LOCATION, newLocation);
  }

  // Presses Next and answers the boxes that come, in order: each must show its text exactly
  // with the buttons of its style. A message may run to another box of the page.
  void NextThrough(HWND page, const std::vector<std::pair<std::wstring, int>>& boxes,
                   const wchar_t* screenshot = nullptr) {
    ASSERT_TRUE(Click(page, IDC_NEXT));
    for (const auto& [text, answer] : boxes) {
      const std::optional<MessageBoxInfo> box = FindMessageBox(run, page);
      ASSERT_TRUE(box.has_value()) << "no box for: " << ToUtf8(text);
      EXPECT_EQ(box->caption, L"Tessaly");
      EXPECT_EQ(box->text, text);
      const std::vector<int> buttons =
          answer == IDOK ? std::vector<int>{IDOK} : std::vector<int>{IDYES, IDNO};
      EXPECT_EQ(box->buttons, buttons) << ToUtf8(text);
      if (screenshot) SaveScreenshot(screenshot);
      screenshot = nullptr;
      ASSERT_TRUE(Answer(*box, answer)) << ToUtf8(text);
    }
  }

  // Writes `files` below `folder`.
  static void Write(const std::wstring& folder, const Content& files) {
    for (const auto& [relative, bytes] : files) {
      ASSERT_TRUE(WriteBytes(folder + relative, bytes)) << ToUtf8(folder + relative);
    }
  }

  // Every file is in `folder` with its bytes (`folder` a real folder, not a link).
  static void ExpectWhole(const std::wstring& folder, const Content& files) {
    ASSERT_TRUE(IsFolder(folder)) << ToUtf8(folder) << " is not a real folder";
    int wrong = 0;
    for (const auto& [relative, bytes] : files) {
      if (ReadBytes(folder + relative) != bytes && ++wrong <= 5) {
        ADD_FAILURE() << ToUtf8(folder + relative) << " is missing or differs";
      }
    }
    EXPECT_EQ(wrong, 0) << "files missing or different in " << ToUtf8(folder);
  }

  // The files of `files` found in `folder`, each checked to be whole.
  static size_t CountWhole(const std::wstring& folder, const Content& files) {
    size_t found = 0;
    for (const auto& [relative, bytes] : files) {
      const std::optional<std::string> read = ReadBytes(folder + relative);
      if (!read) continue;
      ++found;
      EXPECT_TRUE(*read == bytes) << ToUtf8(folder + relative) << " was copied in part";
    }
    return found;
  }

  // The log of the progress page, once it has ended.
  std::vector<std::wstring> FinishedLog(HWND progress) {
    std::vector<std::wstring> log;
    EXPECT_TRUE(WaitUntil(
        [&] {
          log = ListBoxItems(progress, IDC_RELOCATION_LOG);
          return !log.empty() && log.back().rfind(L"Operation completed", 0) == 0;
        },
        Milliseconds(60000)))
        << "the operation did not end";
    return log;
  }

  Win32Registry registry;
  CProfileStore profile{registry};
  ProgramRun run;
  std::wstring root;
};

// --- The folder page ---------------------------------------------------------------------

// Each check of Next refuses with its message and leaves the page and its fields as they were.
TEST_F(RelocationTest, TheFolderPageRefusesWhatCannotBeRelocated) {
  const std::wstring library = root + L"\\Library";
  const std::wstring strings = library + L"\\Strings";
  const std::wstring file = root + L"\\notes.txt";
  const std::wstring newLocation = root + L"\\New";
  ASSERT_TRUE(WriteBytes(strings + L"\\Strings.nki", "strings"));
  ASSERT_TRUE(WriteBytes(file, "notes"));
  ASSERT_TRUE(CreateDirectoryW(newLocation.c_str(), nullptr));

  HWND page = OpenFolderPage();
  ASSERT_NE(page, nullptr);
  const struct {
    const char* name;
    std::wstring source, newLocation;
    bool linkOnly, differentName;
    std::wstring message;
  } cases[] = {
      {"missing source", root + L"\\Missing", newLocation, false, false,
       L"Source directory " + root + L"\\Missing doesn't appear to exist."},
      {"source a file", file, newLocation, false, false,
       L"Source path " + file + L" is not a directory."},
      {"a drive root as the source", L"C:\\", newLocation, false, false,
       L"C:\\ is the root of a drive and cannot be relocated. Please select a folder inside it."},
      {"link only with an existing source", strings, newLocation, true, false,
       L"Source folder " + strings +
           L" already exists. The \"I have already moved the files\" "
           L"option requires that Original Location not point to an existing item so that Tessaly "
           L"can create a link there."},
      {"link only with an existing empty source", newLocation, library, true, true,
       L"Source folder " + newLocation +
           L" already exists. The \"I have already moved the "
           L"files\" option requires that Original Location not point to an existing item so that "
           L"Tessaly can create a link there."},
      {"New Location a file", strings, file, false, false,
       L"Target path " + file + L" is not a directory."},
      {"target inside source", library, strings, false, false,
       L"Target directory can't be inside source directory."},
      {"source inside target", strings, library, false, true,
       L"Source directory can't be inside target directory."},
      {"same paths", strings, strings + L"\\", false, true,
       L"Source and target paths cannot be the same."},
      {"same paths without a different name", strings, strings, false, false,
       L"Target directory can't be inside source directory."},
      {"link only without a folder at the Full Target Path", root + L"\\Moved\\Strings",
       newLocation, true, false,
       L"The directory " + newLocation +
           L"\\Strings doesn't exist. Since you have chosen the "
           L"\"I have already moved the files\" option, please select a valid directory for "
           L"Original "
           L"Location to link to."},
  };
  bool shot = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Fill(page, c.source, c.newLocation, c.linkOnly, c.differentName));
    NextThrough(page, {{c.message, IDOK}}, shot ? nullptr : L"refused-missing-source");
    shot = true;
    ASSERT_TRUE(IsWindowVisible(page)) << "the page closed";
    EXPECT_EQ(Text(page, IDC_ORIGINAL_LOCATION), c.source);
    EXPECT_EQ(Text(page, IDC_NEW_LOCATION), c.newLocation);
    EXPECT_EQ(CheckState(page, IDC_ALREADY_MOVED), c.linkOnly ? BST_CHECKED : BST_UNCHECKED);
  }
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(Setting(kRelocateFinal), kMissing) << "nothing was confirmed";
}

// A missing New Location is created only on Yes, and then no merge question follows; an existing
// Full Target Path asks to merge; every No ends with its message and the page stays.
TEST_F(RelocationTest, TheFolderPageAsksBeforeCreatingAndMerging) {
  const std::wstring source = root + L"\\Library\\Strings";
  const std::wstring newLocation = root + L"\\Content\\Orchestral";
  const std::wstring full = newLocation + L"\\Strings";
  ASSERT_TRUE(WriteBytes(source + L"\\Strings.nki", "strings"));
  HWND page = OpenFolderPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(Fill(page, source, newLocation, false, false));
  ASSERT_TRUE(WaitUntil([&] { return Text(page, IDC_FULL_TARGET_PATH) == full; }));

  const std::wstring create = L"Target directory " + newLocation +
                              L" doesn't appear to exist. Would you like to create it?";
  const std::wstring confirm = L"Ready to relocate contents of \"" + source + L"\" to \"" + full +
                               L"\". Do you wish to proceed?";
  const std::wstring merge = L"The directory " + full +
                             L" already exists, and might contain "
                             L"files. If you proceed, any files from " +
                             source +
                             L" will be merged into the new location. Do you want to proceed?";

  NextThrough(page,
              {{create, IDNO}, {L"Please select a valid New Location before trying again.", IDOK}},
              L"create-question");
  EXPECT_FALSE(Exists(newLocation)) << "created although the answer was No";

  NextThrough(page, {{create, IDYES}, {confirm, IDNO}, {L"Aborting operation.", IDOK}});
  EXPECT_TRUE(IsFolder(newLocation)) << "not created, or not kept after the No";
  EXPECT_FALSE(Exists(full));

  ASSERT_TRUE(CreateDirectoryW(full.c_str(), nullptr));
  NextThrough(
      page,
      {{merge, IDNO},
       {L"Please select another target location or make sure " + full + L" is safe to use.", IDOK}},
      L"merge-question");
  NextThrough(page, {{merge, IDYES}, {confirm, IDNO}, {L"Aborting operation.", IDOK}});
  ASSERT_TRUE(IsWindowVisible(page));
  EXPECT_EQ(Setting(kRelocateFinal), kMissing) << "stored although never confirmed";
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

// The mode texts and the Browse buttons follow the two check boxes; the Full Target Path follows
// the fields; Cancel stores the four fields as they stand and leaves the confirmed target alone;
// Back returns to the Start page.
TEST_F(RelocationTest, TheFolderPageFollowsItsFieldsAndStoresThem) {
  ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kRelocateSource, L"D:\\Samples\\Old"));
  ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kRelocateTarget, L"E:\\Old"));
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kDontCopyFiles, 1));
  ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kRelocateFinal, L"E:\\Confirmed"));
  HWND page = OpenFolderPage();
  ASSERT_NE(page, nullptr);
  // The stored fields and options.
  EXPECT_EQ(Text(page, IDC_ORIGINAL_LOCATION), L"D:\\Samples\\Old");
  EXPECT_EQ(Text(page, IDC_NEW_LOCATION), L"E:\\Old");
  EXPECT_EQ(CheckState(page, IDC_ALREADY_MOVED), BST_CHECKED);
  EXPECT_EQ(CheckState(page, IDC_DIFFERENT_NAME), BST_UNCHECKED);
  EXPECT_EQ(Text(page, IDC_FULL_TARGET_PATH), L"E:\\Old\\Old");

  const std::wstring moveCaption =
      L"Use a &different folder name. (Select this if you want to move the contents of the "
      L"original location to a folder with a different name. This setting affects the 'Full "
      L"Target Path' above.)";
  const std::wstring linkCaption =
      L"Use a &different folder name. (Select this if you moved your files to a folder with a "
      L"different name from the original location. This setting affects the 'Full Target Path' "
      L"above.)";
  const struct {
    bool linkOnly, differentName;
    const wchar_t* originalLabel;
    const wchar_t* newLabel;
    const std::wstring& caption;
    bool browseOriginal;
  } modes[] = {
      {false, false, L"Original Location (the folder where your files currently reside):",
       L"New Location (where the folder will be moved):", moveCaption, true},
      {false, true, L"Original Location (the folder where your files currently reside):",
       L"New Location (where the files will be moved):", moveCaption, true},
      {true, false, L"Original Location (the folder where your files used to reside):",
       L"New Location (where the folder currently resides):", linkCaption, false},
      {true, true, L"Original Location (the folder where your files used to reside):",
       L"New Location (where the files currently reside):", linkCaption, false},
  };
  for (const auto& m : modes) {
    SCOPED_TRACE(std::string("link only ") + (m.linkOnly ? "on" : "off") + ", different name " +
                 (m.differentName ? "on" : "off"));
    ASSERT_TRUE(SetCheck(page, IDC_ALREADY_MOVED, m.linkOnly));
    ASSERT_TRUE(SetCheck(page, IDC_DIFFERENT_NAME, m.differentName));
    EXPECT_EQ(Text(page, IDC_ORIGINAL_LABEL), m.originalLabel);
    EXPECT_EQ(Text(page, IDC_NEW_LABEL), m.newLabel);
    EXPECT_EQ(Text(page, IDC_DIFFERENT_NAME), m.caption);
    EXPECT_EQ(IsEnabled(page, IDC_BROWSE_ORIGINAL), m.browseOriginal);
    EXPECT_TRUE(IsEnabled(page, IDC_BROWSE_NEW_LOCATION));
    if (m.linkOnly && !m.differentName) SaveScreenshot(L"link-only-mode");
  }

  const struct {
    const wchar_t* source;
    const wchar_t* newLocation;
    bool differentName;
    const wchar_t* full;
  } paths[] = {
      {L"D:\\Samples\\Strings", L"E:\\Content", false, L"E:\\Content\\Strings"},
      {L"D:\\Samples\\Strings\\", L"E:\\Content", false, L"E:\\Content\\Strings"},
      {L"D:\\Samples\\Strings", L"E:\\Content\\", false, L"E:\\Content\\Strings"},
      {L"D:\\Samples\\Strings", L"E:\\Content", true, L"E:\\Content"},
      {L"D:\\Samples\\Strings", L"E:\\Content\\", true, L"E:\\Content"},
      {L"D:\\Samples\\Strings", L"E:\\", true, L"E:\\"},
      {L"D:\\Samples\\Strings", L"E:\\", false, L"E:\\Strings"},
      {L"D:\\Samples\\Strings", L"", false, L""},
      {L"", L"E:\\Content", false, L"E:\\Content"},
  };
  ASSERT_TRUE(SetCheck(page, IDC_ALREADY_MOVED, false));
  for (const auto& p : paths) {
    SCOPED_TRACE(ToUtf8(std::wstring(p.source) + L" | " + p.newLocation));
    ASSERT_TRUE(SetCheck(page, IDC_DIFFERENT_NAME, p.differentName));
    ASSERT_TRUE(SetText(page, IDC_ORIGINAL_LOCATION, p.source));
    ASSERT_TRUE(SetText(page, IDC_NEW_LOCATION, p.newLocation));
    EXPECT_TRUE(WaitUntil([&] { return Text(page, IDC_FULL_TARGET_PATH) == p.full; }))
        << "shows " << ToUtf8(Text(page, IDC_FULL_TARGET_PATH).value_or(L"?"));
  }
  // Typing one field alone updates it too.
  ASSERT_TRUE(SetCheck(page, IDC_DIFFERENT_NAME, false));
  ASSERT_TRUE(SetText(page, IDC_ORIGINAL_LOCATION, L"D:\\Samples\\Brass\\"));
  ASSERT_TRUE(SetText(page, IDC_NEW_LOCATION, L"F:\\Moved"));
  ASSERT_TRUE(WaitUntil([&] { return Text(page, IDC_FULL_TARGET_PATH) == L"F:\\Moved\\Brass"; }));
  ASSERT_TRUE(SetText(page, IDC_ORIGINAL_LOCATION, L"D:\\Samples\\Winds"));
  EXPECT_TRUE(WaitUntil([&] { return Text(page, IDC_FULL_TARGET_PATH) == L"F:\\Moved\\Winds"; }));
  ASSERT_TRUE(SetCheck(page, IDC_DIFFERENT_NAME, true));
  SaveScreenshot(L"folder-page");

  // Cancel: the fields as they stand (the trailing backslash kept), the options, and the
  // confirmed target of before.
  ASSERT_TRUE(SetText(page, IDC_ORIGINAL_LOCATION, L"D:\\Samples\\Brass\\"));
  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(Setting(kRelocateSource), L"D:\\Samples\\Brass\\");
  EXPECT_EQ(Setting(kRelocateTarget), L"F:\\Moved");
  EXPECT_EQ(profile.GetProfileInt(kSettingsSection, kDontCopyFiles, 7), 0u);
  EXPECT_EQ(profile.GetProfileInt(kSettingsSection, kCopyContentsOnly, 7), 1u);
  EXPECT_EQ(Setting(kRelocateFinal), L"E:\\Confirmed");

  // The next visit shows them; Back goes to the Start page and stores them as well.
  page = OpenFolderPage();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(Text(page, IDC_ORIGINAL_LOCATION), L"D:\\Samples\\Brass\\");
  EXPECT_EQ(Text(page, IDC_FULL_TARGET_PATH), L"F:\\Moved");
  EXPECT_EQ(CheckState(page, IDC_DIFFERENT_NAME), BST_CHECKED);
  ASSERT_TRUE(SetCheck(page, IDC_ALREADY_MOVED, true));
  ASSERT_TRUE(Click(page, IDC_BACK));
  ASSERT_TRUE(WaitForClose(page));
  HWND start = FindPage(run, kStartTitle);
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(profile.GetProfileInt(kSettingsSection, kDontCopyFiles, 7), 1u);
  ASSERT_TRUE(Click(start, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

// --- The progress page -------------------------------------------------------------------

class RelocationRunTest : public RelocationTest {
 protected:
  void SetUp() override {
    RelocationTest::SetUp();
    source = root + L"\\Samples\\Strings";
    newLocation = root + L"\\Relocated";
    full = newLocation + L"\\Strings";
    ASSERT_TRUE(CreateDirectoryW(newLocation.c_str(), nullptr));
  }

  // From the Start page through the folder page's confirmation to the progress page.
  HWND StartMove() {
    HWND page = OpenFolderPage();
    if (!page) return nullptr;
    folders = page;
    if (!Fill(page, source, newLocation, false, false)) return nullptr;
    if (!WaitUntil([&] { return Text(page, IDC_FULL_TARGET_PATH) == full; })) return nullptr;
    NextThrough(page, {{L"Ready to relocate contents of \"" + source + L"\" to \"" + full +
                            L"\". Do you wish to proceed?",
                        IDYES}});
    if (::testing::Test::HasFatalFailure() || !WaitForClose(page)) return nullptr;
    return FindPage(run, kRelocateContentTitle);
  }

  // Waits until the copy is under way: the log says so and a file shows as the current one.
  bool WaitForCopy(HWND progress) {
    return WaitUntil([&] {
      const std::vector<std::wstring> log = ListBoxItems(progress, IDC_RELOCATION_LOG);
      return !log.empty() && log.back() == L"Copying files to " + full + L"..." &&
             !Text(progress, IDC_RELOCATION_FILE).value_or(L"").empty();
    });
  }

  std::wstring source, newLocation, full;
  HWND folders = nullptr;
};

TEST_F(RelocationRunTest, AMoveEndsWithALinkToTheCopy) {
  const Content files = MakeContent(300, 3);
  Write(source, files);
  HWND progress = StartMove();
  ASSERT_NE(progress, nullptr);
  EXPECT_EQ(Setting(kRelocateFinal), full);

  const std::vector<std::wstring> log = FinishedLog(progress);
  EXPECT_FALSE(FindMessageBox(run, progress, Milliseconds(500)).has_value())
      << "a message after a move that succeeded";
  SaveScreenshot(L"progress-page");
  uint64_t bytes = 0;
  for (const auto& [relative, data] : files) bytes += data.size();
  const uint32_t count = static_cast<uint32_t>(files.size());
  const std::vector<std::wstring> expected = {
      L"Discovering files in " + source + L"...",
      FormatText(L"Found %lu files in source, totaling %s in size.", count,
                 FormatSize(bytes).c_str()),
      L"Free space in C:\\: ",
      L"Copying files to " + full + L"...",
      FormatText(L"Copied %lu files with 0 errors.", count),
      L"Renaming " + source + L" to " + source +
          L".orig0 (only temporary; files will be deleted after operation is successful...)",
      L"Checking that every file and folder of " + source + L".orig0 is in " + full +
          L" (alternate data streams are not copied)...",
      kLinkLine,
      L"Deleting contents of " + source + L".orig0...",
      L"Operation completed successfully.",
  };
  ASSERT_EQ(log.size(), expected.size());
  for (size_t i = 0; i < log.size(); ++i) {
    if (i == 2) {
      EXPECT_EQ(log[i].rfind(expected[i], 0), 0u) << ToUtf8(log[i]);
    } else {
      EXPECT_EQ(log[i], expected[i]);
    }
  }
  // The page after the end: the deletion's phase, no current file, the byte bar at rest.
  EXPECT_EQ(Text(progress, IDC_RELOCATION_PHASE), L"Delete files progress:");
  EXPECT_EQ(Text(progress, IDC_RELOCATION_FILE), L"");
  EXPECT_EQ(Send(progress, IDC_RELOCATION_BYTES, PBM_GETPOS), LRESULT(0));
  // A long path can be scrolled into view.
  EXPECT_GT(Send(progress, IDC_RELOCATION_LOG, LB_GETHORIZONTALEXTENT).value_or(0), 0);

  ASSERT_TRUE(Click(progress, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
  // The Original Location is a folder link that another program follows to every file; the copy
  // is whole, and the renamed original is gone.
  const DWORD link = GetFileAttributesW(source.c_str());
  ASSERT_NE(link, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(link & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
            DWORD(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
  EXPECT_EQ(CountWhole(source, files), files.size()) << "not every file is found through the link";
  ExpectWhole(full, files);
  EXPECT_FALSE(Exists(source + L".orig0"));
}

// Another program has the source folder open without letting it be renamed (as a host scanning
// it might): the copy is made, the rename is refused with the system's code, and the recommended
// steps follow; the source and the copy both stay.
TEST_F(RelocationRunTest, ARefusedRenameShowsTheRecommendedSteps) {
  const Content files = MakeContent(30, 0);
  Write(source, files);
  HANDLE held = CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  struct Release {
    HANDLE h;
    ~Release() { CloseHandle(h); }
  } release{held};

  HWND progress = StartMove();
  ASSERT_NE(progress, nullptr);
  const std::optional<MessageBoxInfo> refused = FindMessageBox(run, progress, Milliseconds(60000));
  ASSERT_TRUE(refused.has_value());
  SaveScreenshot(L"rename-refused");
  EXPECT_EQ(refused->text, L"Failed to rename " + source + L" to " + source +
                               L".orig0 in order to create symbolic link (error code 32). Files "
                               L"might be in use. Nothing was moved: your files are still in " +
                               source + L", and every one of them is also in " + full +
                               L", checked.");
  EXPECT_EQ(refused->buttons, std::vector<int>{IDOK});
  ASSERT_TRUE(Answer(*refused, IDOK));
  const std::optional<MessageBoxInfo> steps = FindMessageBox(run, progress);
  ASSERT_TRUE(steps.has_value()) << "no recommended steps";
  SaveScreenshot(L"recommended-steps");
  EXPECT_EQ(steps->text,
            L"Recommended steps to proceed:\n1. Restart your computer.\n2. Manually rename or "
            L"delete your old Source Folder.\n3. Re-run this wizard, making sure to check the "
            L"\"I have already moved the files...\" option to complete the link.");
  ASSERT_TRUE(Answer(*steps, IDOK));

  const std::vector<std::wstring> log = FinishedLog(progress);
  const std::wstring copied =
      FormatText(L"Copied %lu files with 0 errors.", static_cast<uint32_t>(files.size()));
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(std::vector<std::wstring>(log.end() - 4, log.end()),
            (std::vector<std::wstring>{copied,
                                       L"Renaming " + source + L" to " + source +
                                           L".orig0 (only temporary; files will be deleted after "
                                           L"operation is successful...)",
                                       copied, L"Operation completed with errors."}));
  ASSERT_TRUE(Click(progress, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
  ExpectWhole(source, files);
  ExpectWhole(full, files);
  EXPECT_FALSE(Exists(source + L".orig0"));
}

TEST_F(RelocationRunTest, LinkOnlyMakesOnlyTheLink) {
  // The files were moved by hand: the Original Location is gone from its folder.
  const Content files = MakeContent(20, 0);
  Write(full, files);
  ASSERT_TRUE(CreateDirectoryW((root + L"\\Samples").c_str(), nullptr));
  HWND page = OpenFolderPage();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(Fill(page, source, newLocation, true, false));
  ASSERT_TRUE(WaitUntil([&] { return Text(page, IDC_FULL_TARGET_PATH) == full; }));
  NextThrough(page,
              {{L"Ready to link \"" + source + L"\" to \"" + full + L"\". Do you wish to proceed?",
                IDYES}});
  ASSERT_TRUE(WaitForClose(page));
  HWND progress = FindPage(run, kRelocateContentTitle);
  ASSERT_NE(progress, nullptr);

  // Only the link: no counting, space check, copy or rename.
  EXPECT_EQ(FinishedLog(progress),
            (std::vector<std::wstring>{kLinkLine, L"Operation completed successfully."}));
  EXPECT_FALSE(FindMessageBox(run, progress, Milliseconds(500)).has_value());
  SaveScreenshot(L"link-only-log");
  ASSERT_TRUE(Click(progress, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
  const DWORD link = GetFileAttributesW(source.c_str());
  ASSERT_NE(link, INVALID_FILE_ATTRIBUTES) << "no link at the Original Location";
  EXPECT_NE(link & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  EXPECT_EQ(CountWhole(source, files), files.size()) << "not every file is found through the link";
  ExpectWhole(full, files);
}

// Back and Quit while the copy runs: the page closes, the copy stops at its next file, nothing
// goes beyond it, and the source stays whole; Back shows the folder page again.
TEST_F(RelocationRunTest, BackAndQuitStopTheCopy) {
  const Content files = MakeContent(1500, 0);
  Write(source, files);
  for (const int button : {IDC_BACK, IDCANCEL}) {
    SCOPED_TRACE(button == IDC_BACK ? "Back" : "Quit");
    HWND progress = StartMove();
    ASSERT_NE(progress, nullptr);
    ASSERT_TRUE(WaitForCopy(progress)) << "the copy did not start";
    if (button == IDC_BACK) SaveScreenshot(L"copy-in-progress");
    // Right before the click, the copy is still going.
    ASSERT_EQ(ListBoxItems(progress, IDC_RELOCATION_LOG).back(),
              L"Copying files to " + full + L"...");
    ASSERT_TRUE(Click(progress, button));
    ASSERT_TRUE(WaitForClose(progress)) << "the page did not close";
    if (button == IDC_BACK) {
      HWND again = FindPage(run, kFolderLocationsTitle);
      ASSERT_NE(again, nullptr) << "Back did not return to the folder page";
      EXPECT_EQ(Text(again, IDC_ORIGINAL_LOCATION), source);
      EXPECT_EQ(Text(again, IDC_FULL_TARGET_PATH), full);
      EXPECT_FALSE(FindMessageBox(run, nullptr, Milliseconds(500)).has_value());
      ASSERT_TRUE(Click(again, IDCANCEL));
    }
    EXPECT_EQ(run.WaitForExit(), 0u);
    ExpectWhole(source, files);
    EXPECT_FALSE(Exists(source + L".orig0"));
    // The copy stopped part of the way; what it copied is whole.
    const size_t copied = CountWhole(full, files);
    EXPECT_LT(copied, files.size()) << "the copy was not stopped";
    ASSERT_EQ(DeleteTree(full), 0u);
  }
}

// --- A relocation cut off in an earlier run ----------------------------------------------

constexpr wchar_t kFinish[] = L"Finish the move";
constexpr wchar_t kPutBack[] = L"Put my files back";
constexpr wchar_t kDecideLater[] = L"Decide later";

// The start-up question about a cut-off relocation as the program asks it: a task dialog whose
// buttons name the actions, or, where the system has no task dialog, a message box whose Yes, No
// and Cancel stand for them.
struct RelocationQuestion {
  HWND window = nullptr;
  bool taskDialog = false;
  std::wstring text;                  // what it says, its parts one after the other
  std::vector<std::wstring> buttons;  // the task dialog's buttons as shown, in order
};

// Whether the system's comctl32 has the task dialog; Wine 8's has.
bool SystemHasTaskDialog() {
  HMODULE comctl = LoadLibraryW(L"comctl32.dll");
  return comctl != nullptr && GetProcAddress(comctl, "TaskDialogIndirect") != nullptr;
}

std::optional<RelocationQuestion> FindRelocationQuestion(const ProgramRun& run, HWND start,
                                                         Milliseconds timeout) {
  std::optional<RelocationQuestion> found;
  WaitUntil(
      [&] {
        if (HWND dialog = FindDialog(run, start, L"Tessaly", Milliseconds(0))) {
          RelocationQuestion q{dialog, true, {}, {}};
          for (const DialogControl& c : DialogControls(dialog)) {
            if (c.IsPushOrCheck()) {
              q.buttons.push_back(c.shown);
            } else if (!c.caption.empty() && c.className == L"Static") {
              q.text += (q.text.empty() ? L"" : L"\n\n") + c.caption;
            }
          }
          // A dialog found while it is being made has no buttons yet.
          if (q.buttons.empty()) return false;
          found = std::move(q);
          return true;
        }
        if (auto box = FindMessageBox(run, start, Milliseconds(0)); box && !box->text.empty()) {
          found = RelocationQuestion{box->window, false, box->text, {}};
          return true;
        }
        return false;
      },
      timeout);
  if (found) {
    const char* ran = found->taskDialog ? "a task dialog" : "a message box (no task dialog here)";
    ::testing::Test::RecordProperty("relocation_question", ran);
    std::printf("the start-up question ran as %s\n", ran);
    if (SystemHasTaskDialog()) {
      EXPECT_TRUE(found->taskDialog) << "the system has a task dialog, but a message box asked";
    }
  }
  return found;
}

// Presses the button that does `action`: in a task dialog the button of that name, in a message
// box the Yes, No or Cancel that its text assigns to it.
bool AnswerRelocationQuestion(const RelocationQuestion& question, const wchar_t* action) {
  if (question.taskDialog) {
    return PressButton(question.window, action) && WaitForClose(question.window);
  }
  const std::wstring_view a(action);
  const int button = a == kFinish ? IDYES : a == kPutBack ? IDNO : IDCANCEL;
  return Click(question.window, button) && WaitForClose(question.window);
}

// The program starts with the journal of a move cut off after its rename: the Start page asks
// what to do, and each answer is checked on disk. Finish ends the move with the link (under Wine a
// host link).
class InterruptedRelocationTest : public RelocationTest {
 protected:
  void SetUp() override {
    RelocationTest::SetUp();
    wchar_t documents[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, 0, documents),
              S_OK);
    journal =
        std::wstring(documents) + L"\\Quillmoor\\Tessaly Documents\\Relocation in progress.txt";
    source = root + L"\\Samples\\Strings";
    renamed = source + L".orig0";
    target = root + L"\\Relocated\\Strings";
    Write(renamed, files);
    Write(target, files);
    ASSERT_TRUE(WriteBytes(journal, ToUtf8(L"Tessaly relocation in progress\r\n"
                                           L"Original Location=" +
                                           source +
                                           L"\r\n"
                                           L"Renamed folder=" +
                                           renamed +
                                           L"\r\n"
                                           L"Full Target Path=" +
                                           target +
                                           L"\r\n"
                                           L"Mode=move\r\nCompare contents=no\r\n")));
  }
  void TearDown() override {
    DeleteFileW(journal.c_str());
    RelocationTest::TearDown();
  }

  // Starts the program and answers the question with `action`; its text and buttons are checked.
  // The Start page comes back.
  HWND StartAndAnswer(const wchar_t* action) {
    if (run.Start(ProgramPath()) != 0) return nullptr;
    HWND start = FindPage(run, kStartTitle);
    if (!start) return nullptr;
    const std::optional<RelocationQuestion> question =
        FindRelocationQuestion(run, start, kDefaultTimeout);
    EXPECT_TRUE(question.has_value()) << "no question";
    if (!question) return nullptr;
    SaveScreenshot(L"interrupted-relocation");
    EXPECT_EQ(Title(question->window), L"Tessaly");
    if (question->taskDialog) {
      EXPECT_EQ(question->buttons, (std::vector<std::wstring>{kFinish, kPutBack, kDecideLater}));
    } else {
      EXPECT_EQ(FindMessageBox(run, start)->buttons, (std::vector<int>{IDCANCEL, IDYES, IDNO}));
    }
    EXPECT_EQ(
        question->text.rfind(L"A relocation of your files did not end when Tessaly last ran.", 0),
        0u)
        << ToUtf8(question->text);
    for (const std::wstring& place : {source, renamed, target}) {
      EXPECT_NE(question->text.find(place), std::wstring::npos) << ToUtf8(place);
    }
    if (!AnswerRelocationQuestion(*question, action)) return nullptr;
    return start;
  }

  // The message that ends an action: its text, once answered.
  std::wstring Outcome(HWND start) {
    const std::optional<MessageBoxInfo> box = FindMessageBox(run, start, Milliseconds(60000));
    EXPECT_TRUE(box.has_value()) << "no outcome";
    if (!box) return {};
    EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(Answer(*box, IDOK));
    return box->text;
  }

  void Leave(HWND start) {
    ASSERT_TRUE(Click(start, IDCANCEL));
    EXPECT_EQ(run.WaitForExit(), 0u);
  }

  const Content files = MakeContent(120, 1);
  std::wstring journal, source, renamed, target;
};

TEST_F(InterruptedRelocationTest, PutBackRenamesTheOriginalBackAndKeepsTheCopy) {
  HWND start = StartAndAnswer(kPutBack);
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(Outcome(start), L"Your files are back in " + source + L". The copy in " + target +
                                L" was left as it is; delete it if you do not need it.");
  Leave(start);
  ExpectWhole(source, files);
  ExpectWhole(target, files);
  EXPECT_FALSE(Exists(renamed));
  EXPECT_FALSE(Exists(journal));
}

TEST_F(InterruptedRelocationTest, FinishChecksLinksAndDeletes) {
  HWND start = StartAndAnswer(kFinish);
  ASSERT_NE(start, nullptr);
  const std::wstring outcome = Outcome(start);
  Leave(start);
  ExpectWhole(target, files);
  ASSERT_EQ(outcome.rfind(L"The relocation is finished", 0), 0u) << ToUtf8(outcome);
  EXPECT_FALSE(Exists(renamed));
  EXPECT_FALSE(Exists(journal));
  EXPECT_NE(GetFileAttributesW(source.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  EXPECT_EQ(CountWhole(source, files), files.size()) << "not every file is found through the link";
  // The link goes as a link, without touching the copy.
  EXPECT_EQ(Win32FileSystem().RemoveFolder(source), 0u);
  ExpectWhole(target, files);
}

TEST_F(InterruptedRelocationTest, CancelDecidesLaterAndChangesNothing) {
  HWND start = StartAndAnswer(kDecideLater);
  ASSERT_NE(start, nullptr);
  EXPECT_FALSE(FindMessageBox(run, start, Milliseconds(1000)).has_value());
  Leave(start);
  ExpectWhole(renamed, files);
  ExpectWhole(target, files);
  EXPECT_FALSE(Exists(source));
  EXPECT_TRUE(Exists(journal));
}

// --- A move ended by a crash --------------------------------------------------------------

// A library large enough for each phase of a move to last a few seconds is moved, and the
// program's process is ended with TerminateProcess (as a crash or a power cut would end it) at a
// point chosen from what the page or the disk shows. The program is started again, the start-up
// question (if any) answered, and the disk checked: every file is at the Original Location or at
// the target with its bytes, and the link is there exactly when the move finished.
class RelocationCrashTest : public RelocationRunTest {
 protected:
  void SetUp() override {
    RelocationRunTest::SetUp();
    if (HasFatalFailure()) return;
    // The program keeps the record of a running move in its own folder of the local application
    // data, which no relocation may move.
    wchar_t localData[MAX_PATH] = {};
    ASSERT_EQ(
        SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, localData),
        S_OK);
    journal = std::wstring(localData) + L"\\Quillmoor\\Tessaly\\Relocation in progress.txt";
    DeleteFileW(journal.c_str());
    renamed = source + L".orig0";
    Write(source, files);
  }
  void TearDown() override {
    DeleteFileW(journal.c_str());
    RelocationRunTest::TearDown();
  }

  // Starts the move and ends the program's process as soon as `reached` holds (polled every few
  // milliseconds); false, with the failure added, when it never does.
  bool CrashWhen(const char* point, const std::function<bool(HWND progress)>& reached) {
    HWND progress = StartMove();
    if (!progress) {
      ADD_FAILURE() << "no progress page";
      return false;
    }
    const bool hit = WaitUntil([&] { return reached(progress); }, Milliseconds(90000));
    if (hit) SaveScreenshot((L"crash-" + FromUtf8(point)).c_str());
    run.Kill();
    EXPECT_TRUE(hit) << "the move never reached the point " << point << "; its log:\n"
                     << ToUtf8(JoinLines(lastLog));
    return hit;
  }

  // The log's last line is `line` (read into lastLog for the failure message).
  bool LogEndsWith(HWND progress, const std::wstring& line) {
    lastLog = ListBoxItems(progress, IDC_RELOCATION_LOG);
    return !lastLog.empty() && lastLog.back() == line;
  }

  // Starts the program again: the question about the cut-off move comes (or, before the rename,
  // none does), is answered with the button that does `action`, and the outcome's text is returned.
  std::wstring RestartAndAnswer(const wchar_t* action) {
    EXPECT_EQ(run.Start(ProgramPath()), 0u);
    HWND start = FindPage(run, kStartTitle);
    EXPECT_NE(start, nullptr);
    if (!start) return {};
    std::wstring outcome;
    const std::optional<RelocationQuestion> question =
        FindRelocationQuestion(run, start, action ? kDefaultTimeout : Milliseconds(2000));
    if (!action) {
      EXPECT_FALSE(question.has_value()) << "a question although nothing was renamed: "
                                         << (question ? ToUtf8(question->text) : "");
    } else if (question) {
      EXPECT_EQ(
          question->text.rfind(L"A relocation of your files did not end when Tessaly last ran.", 0),
          0u)
          << ToUtf8(question->text);
      EXPECT_TRUE(AnswerRelocationQuestion(*question, action));
      // A box is read once its text is there: one found while it is being made has none yet.
      std::optional<MessageBoxInfo> result;
      WaitUntil(
          [&] {
            result = FindMessageBox(run, start, Milliseconds(100));
            return result && !result->text.empty();
          },
          Milliseconds(60000));
      EXPECT_TRUE(result.has_value()) << "no outcome";
      if (result) {
        outcome = result->text;
        SaveScreenshot(L"after-restart");
        EXPECT_TRUE(Answer(*result, IDOK));
      }
    } else {
      ADD_FAILURE() << "no question about the cut-off move";
    }
    EXPECT_TRUE(Click(start, IDCANCEL));
    EXPECT_EQ(run.WaitForExit(), 0u);
    return outcome;
  }

  // Every file at the Original Location or at the target, with its bytes; the Original Location a
  // link to the target exactly when `moved`, otherwise a real folder with every file.
  void ExpectEveryFileKept(bool moved) {
    const DWORD original = GetFileAttributesW(source.c_str());
    ASSERT_NE(original, INVALID_FILE_ATTRIBUTES) << "nothing at the Original Location";
    EXPECT_EQ((original & FILE_ATTRIBUTE_REPARSE_POINT) != 0, moved)
        << (moved ? "no link at the Original Location" : "a link at the Original Location");
    if (moved) {
      ExpectWhole(full, files);
      EXPECT_EQ(CountWhole(source, files), files.size())
          << "not every file is found through the link";
    } else {
      ExpectWhole(source, files);
    }
    EXPECT_FALSE(Exists(renamed)) << "the renamed original was left";
    EXPECT_FALSE(Exists(journal)) << "the record of the move was left";
  }

  // Ends the move during the deletion of the renamed original, part of it already gone (seen on
  // disk), with the link in place.
  bool CrashDuringTheDelete() {
    const bool hit = CrashWhen("during-delete", [&](HWND progress) {
      return LogEndsWith(progress, L"Deleting contents of " + renamed + L"...") &&
             !Exists(renamed + L"\\Samples 04\\Sample 0400.ncw") && Exists(renamed);
    });
    const DWORD link = GetFileAttributesW(source.c_str());
    EXPECT_TRUE(link != INVALID_FILE_ATTRIBUTES && (link & FILE_ATTRIBUTE_REPARSE_POINT))
        << "no link while the original was being deleted";
    return hit;
  }

  static std::wstring JoinLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) text += line + L"\n";
    return text;
  }

  // Some 1,600 files in 16 folders and 4 MB of large ones: each phase of the move takes seconds.
  const Content files = MakeContent(1600, 4);
  std::wstring journal, renamed;
  std::vector<std::wstring> lastLog;
};

// During the copy: no rename yet, so no question at the next start; the original is whole, and
// what reached the target is whole (a file cut off mid-copy only under its temporary name).
TEST_F(RelocationCrashTest, DuringTheCopyTheOriginalStaysWhole) {
  ASSERT_TRUE(CrashWhen("during-copy", [&](HWND progress) {
    return LogEndsWith(progress, L"Copying files to " + full + L"...") &&
           Text(progress, IDC_RELOCATION_FILE).value_or(L"").find(L"\\Samples 05\\") !=
               std::wstring::npos;
  }));
  EXPECT_FALSE(Exists(renamed));
  RestartAndAnswer(nullptr);
  ExpectEveryFileKept(false);
  const size_t copied = CountWhole(full, files);
  EXPECT_GT(copied, 0u);
  EXPECT_LT(copied, files.size()) << "the copy had ended before the crash";
}

// Right after the rename (seen on disk): No puts the original back under its own name.
TEST_F(RelocationCrashTest, AfterTheRenamePutBackRestoresTheOriginal) {
  ASSERT_TRUE(CrashWhen("after-rename", [&](HWND) { return Exists(renamed); }));
  EXPECT_FALSE(Exists(source)) << "the crash came after the link";
  const std::wstring outcome = RestartAndAnswer(kPutBack);
  EXPECT_EQ(outcome.rfind(L"Your files are back in " + source + L".", 0), 0u) << ToUtf8(outcome);
  ExpectEveryFileKept(false);
  ExpectWhole(full, files);
}

// During the check (with contents compared, the longest phase): Yes finishes the move.
TEST_F(RelocationCrashTest, DuringTheCheckFinishMakesTheLink) {
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kCompareContents, 1));
  ASSERT_TRUE(CrashWhen("during-check", [&](HWND progress) {
    return LogEndsWith(progress, L"Checking that every file and folder of " + renamed + L" is in " +
                                     full + L" (alternate data streams are not copied)...") &&
           Text(progress, IDC_RELOCATION_FILE).value_or(L"").find(L"\\Samples 05\\") !=
               std::wstring::npos;
  }));
  EXPECT_FALSE(Exists(source)) << "the crash came after the link";
  const std::wstring outcome = RestartAndAnswer(kFinish);
  EXPECT_EQ(outcome.rfind(L"The relocation is finished", 0), 0u) << ToUtf8(outcome);
  ExpectEveryFileKept(true);
}

// During the deletion of the renamed original, part of it already gone (seen on disk), with the
// link in place.

// Yes finishes the move.
TEST_F(RelocationCrashTest, DuringTheDeleteFinishEndsTheMove) {
  ASSERT_TRUE(CrashDuringTheDelete());
  const std::wstring outcome = RestartAndAnswer(kFinish);
  EXPECT_EQ(outcome.rfind(L"The relocation is finished", 0), 0u) << ToUtf8(outcome);
  ExpectEveryFileKept(true);
}

// No puts back what is left of the original and keeps the whole copy; the link goes.
TEST_F(RelocationCrashTest, DuringTheDeletePutBackKeepsTheCopy) {
  ASSERT_TRUE(CrashDuringTheDelete());
  const std::wstring outcome = RestartAndAnswer(kPutBack);
  EXPECT_EQ(outcome.rfind(L"Your files are back in " + source +
                              L". Some of them may have been "
                              L"deleted",
                          0),
            0u)
      << ToUtf8(outcome);
  ASSERT_TRUE(IsFolder(source)) << "the original folder did not come back";
  EXPECT_LT(CountWhole(source, files), files.size());
  ExpectWhole(full, files);
  EXPECT_FALSE(Exists(renamed));
  EXPECT_FALSE(Exists(journal));
}

}  // namespace
}  // namespace tessaly::e2e
