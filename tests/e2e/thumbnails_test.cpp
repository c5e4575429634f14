// The thumbnail fixer end to end on the demo machine: the first visit scans, "Fix Thumbnails"
// copies the products' artwork into the shared folder (checked on disk afterwards), a shared file
// held open by this test cannot be replaced and shows as an error, the columns sort, and a new
// visit scans again. The demo's shared artwork is put back afterwards.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "resources/resource.h"
#include "tests/e2e/artwork_state.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/page_titles.h"

namespace tessaly::e2e {
namespace {

const wchar_t* const kArtworkFiles[] = {L"MST_artwork.png", L"VB_artwork.png"};
constexpr wchar_t kNote[] =
    L"\nNOTE: For best results, run this wizard after applying all your Service Center updates.";

using Rows = std::vector<std::vector<std::wstring>>;

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(value, n) : std::wstring();
}

// The product folders of both common files folders whose own artwork holds both files.
std::vector<std::wstring> ProductsWithBothFiles() {
  std::vector<std::wstring> names;
  for (const wchar_t* variable : {L"CommonProgramFiles(x86)", L"CommonProgramW6432"}) {
    const std::wstring root = Environment(variable) + L"\\Native Instruments";
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((root + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L".." || !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        continue;
      }
      const std::wstring art = root + L"\\" + name + L"\\PAResources\\image\\" + name;
      if (Exists(art + L"\\" + kArtworkFiles[0]) && Exists(art + L"\\" + kArtworkFiles[1])) {
        names.push_back(name);
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  return names;
}

// Waits for the end of a pass: the buttons back on and the status text starting with `headline`.
bool WaitForPass(HWND page, const std::wstring& headline) {
  return WaitUntil([&] {
    return IsEnabled(page, IDC_FIX_THUMBNAILS) &&
           Text(page, IDC_THUMBNAIL_STATUS).value_or(L"").rfind(headline, 0) == 0;
  });
}

// A file of ours that the program cannot replace while it lives: open without sharing.
class HeldOpen {
 public:
  explicit HeldOpen(const std::wstring& path)
      : handle_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~HeldOpen() { Release(); }
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (held()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

// Writes `text` into `path` with a last-write time in 2001, older than any product's artwork.
bool WriteOldFile(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  SYSTEMTIME old{2001, 1, 1, 1, 12, 0, 0, 0};
  FILETIME time;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      SystemTimeToFileTime(&old, &time) && SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
  return ok;
}

std::string Contents(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  if (!bytes.empty())
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  return bytes;
}

class Thumbnails : public ::testing::Test {
 protected:
  void SetUp() override {
    shared = SharedArtworkFolder();
    saved = std::make_unique<SavedFolderTree>(shared);
    ASSERT_TRUE(saved->complete()) << ToUtf8(shared);
    ASSERT_GT(saved->files(), 0u) << "the demo machine's shared artwork is missing";
  }
  void TearDown() override {
    if (saved && saved->complete()) {
      EXPECT_EQ(saved->Restore(), 0u);
    }
  }

  std::wstring shared;
  std::unique_ptr<SavedFolderTree> saved;
};

TEST_F(Thumbnails, ScanThenFixCopiesTheArtworkAndShowsAFileThatCannotBeReplacedAsAnError) {
  // Reaktor 6's shared folder is empty on the demo machine: give it an old MST_artwork.png that
  // the fix must replace, and hold it open so that it cannot.
  const std::wstring blocked = shared + L"\\reaktor 6\\MST_artwork.png";
  ASSERT_TRUE(WriteOldFile(blocked, "old artwork"));
  HeldOpen held(blocked);
  ASSERT_TRUE(held.held());

  ProgramRun run;
  ASSERT_EQ(run.Start(ProgramPath()), 0u);
  HWND page = EnterWizard(run, IDC_WIZARD_THUMBNAILS);
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(WaitForPass(page, L"Initial scan is complete."));
  EXPECT_EQ(Text(page, IDC_THUMBNAIL_STATUS),
            std::wstring(L"Initial scan is complete. Click 'Fix Thumbnails' to repair missing "
                         L"product graphics.\n9 relevant products found. 7 products missing "
                         L"thumbnails. 0 errors encountered.") +
                kNote);
  // Massive is under both common files folders; Maschine 2 has no artwork of its own.
  EXPECT_EQ(ListViewRows(page, IDC_THUMBNAIL_LIST, 2),
            (Rows{{L"Absynth 5", L"Missing"},
                  {L"Battery 4", L"Missing"},
                  {L"Guitar Rig 6", L"Present"},
                  {L"Komplete Kontrol", L"Missing"},
                  {L"Kontakt 7", L"Present"},
                  {L"Massive", L"Missing"},
                  {L"Massive", L"Missing"},
                  {L"Reaktor 6", L"Missing"},
                  {L"Session Strings Pro 2", L"Missing"}}));
  EXPECT_FALSE(Exists(shared + L"\\absynth 5")) << "the scan copied";

  ASSERT_TRUE(Click(page, IDC_FIX_THUMBNAILS));
  ASSERT_TRUE(WaitForPass(page, L"Fix procedure is complete."));
  EXPECT_EQ(Text(page, IDC_THUMBNAIL_STATUS),
            L"Fix procedure is complete.\n9 relevant products found. 1 products missing "
            L"thumbnails. 1 errors encountered.");
  const Rows fixed = ListViewRows(page, IDC_THUMBNAIL_LIST, 2);
  EXPECT_EQ(fixed, (Rows{{L"Absynth 5", L"Present"},
                         {L"Battery 4", L"Present"},
                         {L"Guitar Rig 6", L"Present"},
                         {L"Komplete Kontrol", L"Present"},
                         {L"Kontakt 7", L"Present"},
                         {L"Massive", L"Present"},
                         {L"Massive", L"Present"},
                         {L"Reaktor 6", L"Error (code 32)"},
                         {L"Session Strings Pro 2", L"Missing"}}));

  // On disk: every product whose own artwork has both files has both in its shared folder (the
  // file held open is still the old one, read below once it is free); Session Strings Pro 2 has
  // only its one file.
  const std::vector<std::wstring> complete = ProductsWithBothFiles();
  EXPECT_EQ(complete.size(), 8u);
  for (const std::wstring& name : complete) {
    for (const wchar_t* file : kArtworkFiles) {
      EXPECT_TRUE(Exists(shared + L"\\" + Lower(name) + L"\\" + file))
          << ToUtf8(name) << " " << ToUtf8(file);
    }
  }
  EXPECT_TRUE(Exists(shared + L"\\session strings pro 2\\MST_artwork.png"));
  EXPECT_FALSE(Exists(shared + L"\\session strings pro 2\\VB_artwork.png"));

  // "Thumbnail Status" puts the error first, then the missing, then the present rows in the
  // order they had; a second click turns the list round.
  ASSERT_TRUE(ClickColumn(page, IDC_THUMBNAIL_LIST, 1));
  const Rows byStatus = ListViewRows(page, IDC_THUMBNAIL_LIST, 2);
  ASSERT_EQ(byStatus.size(), 9u);
  EXPECT_EQ(byStatus[0], (std::vector<std::wstring>{L"Reaktor 6", L"Error (code 32)"}));
  EXPECT_EQ(byStatus[1], (std::vector<std::wstring>{L"Session Strings Pro 2", L"Missing"}));
  EXPECT_EQ(byStatus[2], (std::vector<std::wstring>{L"Absynth 5", L"Present"}));
  ASSERT_TRUE(ClickColumn(page, IDC_THUMBNAIL_LIST, 1));
  EXPECT_EQ(ListViewRows(page, IDC_THUMBNAIL_LIST, 2), Rows(byStatus.rbegin(), byStatus.rend()));

  // Once the file is free, the next fix replaces it; the list keeps its last order.
  held.Release();
  EXPECT_EQ(Contents(blocked), "old artwork");
  ASSERT_TRUE(Click(page, IDC_FIX_THUMBNAILS));
  // The same headline as before: wait for the new counts.
  ASSERT_TRUE(WaitForPass(page, L"Fix procedure is complete.\n9 relevant products found. 1 "
                                L"products missing thumbnails. 0 errors encountered."));
  const Rows again = ListViewRows(page, IDC_THUMBNAIL_LIST, 2);
  ASSERT_EQ(again.size(), 9u);
  EXPECT_EQ(again.front(), (std::vector<std::wstring>{L"Session Strings Pro 2", L"Missing"}));
  EXPECT_NE(Contents(blocked), "old artwork");

  // A new visit scans before it copies anything.
  ASSERT_TRUE(Click(page, IDC_BACK));
  ASSERT_TRUE(WaitForClose(page));
  page = EnterWizard(run, IDC_WIZARD_THUMBNAILS);
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(WaitForPass(page, L"Initial scan is complete."));
  EXPECT_EQ(Text(page, IDC_THUMBNAIL_STATUS),
            std::wstring(L"Initial scan is complete. Click 'Fix Thumbnails' to repair missing "
                         L"product graphics.\n9 relevant products found. 1 products missing "
                         L"thumbnails. 0 errors encountered.") +
                kNote);

  ASSERT_TRUE(Click(page, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

}  // namespace
}  // namespace tessaly::e2e
