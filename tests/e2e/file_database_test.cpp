// The product manager's wizard end to end, as far as it goes: the file database beside the
// program is found through the default path, and without it the locate page asks for it,
// refuses a path where nothing exists and stores one where something does.
#include <gtest/gtest.h>

#include <string>

#include "app/settings/profile_store.h"
#include "catalog/file_database.h"
#include "platform/text.h"
#include "platform/win32/win32_registry.h"
#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/page_titles.h"

namespace tessaly::e2e {
namespace {

constexpr wchar_t kMissing[] = L"<missing>";
// The file name field of the open-file dialog: an edit in some versions, a combo box in others.
constexpr int kFileNameEdit = 0x480;
constexpr int kFileNameCombo = 0x47C;
// A stored path whose file has gone.
constexpr wchar_t kMovedAway[] = L"C:\\Moved\\FileDatabase.xml";

std::wstring ProgramFolder() {
  const std::wstring program = ProgramPath();
  return program.substr(0, program.find_last_of(L'\\'));
}

// The file database the build put beside the program.
std::wstring DeliveredDatabase() { return ProgramFolder() + L"\\FileDatabase.xml"; }

class FileDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(DeleteProgramSettings(), 0u);
    // No first-run backups: they are not what these tests are about.
    ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kFirstRun, 0));
  }
  // The paths stored here must not send later tests to the locate page.
  void TearDown() override { DeleteProgramSettings(); }

  std::wstring StoredPath() {
    return profile.GetProfileString(kSettingsSection, kFileDatabasePath, kMissing);
  }

  // Chooses the product manager on `start` and presses Next; the Start page closes.
  void ChooseProducts(HWND start) {
    ASSERT_TRUE(ChooseWizard(start, IDC_WIZARD_PRODUCTS));
    ASSERT_TRUE(WaitForClose(start));
  }

  // After `start` was left for the product manager, its page comes without the locate page;
  // Back from it shows the Start page again, which this returns.
  HWND StartPageAgain() {
    HWND products = FindPage(run, kProductManagerTitle);
    EXPECT_NE(products, nullptr) << "the product manager did not come";
    EXPECT_EQ(FindPage(run, kLocateDatabaseTitle, Milliseconds(0)), nullptr);
    if (!products || !Click(products, IDC_BACK) || !WaitForClose(products)) return nullptr;
    HWND again = FindPage(run, kStartTitle);
    EXPECT_NE(again, nullptr) << "the Start page did not come back";
    EXPECT_TRUE(run.Running());
    return again;
  }

  Win32Registry registry;
  CProfileStore profile{registry};
  ProgramRun run;
};

TEST_F(FileDatabaseTest, TheDatabaseBesideTheProgramIsFoundWithoutTheLocatePage) {
  // Started from its own folder, the default "FileDatabase.xml" names the delivered file.
  ASSERT_EQ(run.Start(ProgramPath()), 0u);
  HWND start = FindPage(run, kStartTitle);
  ASSERT_NE(start, nullptr);
  ChooseProducts(start);
  start = StartPageAgain();
  ASSERT_NE(start, nullptr);
  // The check stores the full path of what it found, so that a later change of the current
  // folder does not lose it.
  EXPECT_TRUE(EqualsNoCase(StoredPath(), DeliveredDatabase())) << ToUtf8(StoredPath());
  EXPECT_EQ(CheckState(start, IDC_WIZARD_PRODUCTS), BST_CHECKED);
  SaveScreenshot(L"start-page-again");
  ASSERT_TRUE(Click(start, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST_F(FileDatabaseTest, TheLocatePageRefusesMissingPathsAndStoresAnExistingOne) {
  // Started from a folder without a file database, and nothing stored: the locate page comes.
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring elsewhere = std::wstring(temp) + L"Tessaly without database";
  ASSERT_EQ(DeleteTree(elsewhere), 0u);
  ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
  ASSERT_EQ(run.Start(ProgramPath(), {}, elsewhere), 0u);

  HWND start = FindPage(run, kStartTitle);
  ASSERT_NE(start, nullptr);
  ChooseProducts(start);
  HWND locate = FindPage(run, kLocateDatabaseTitle);
  ASSERT_NE(locate, nullptr);
  const struct {
    int id;
    const wchar_t* text;
  } controls[] = {
      {IDC_FILE_DATABASE_PATH, L""}, {IDC_FILE_DATABASE_BROWSE, L"&Browse"},
      {IDC_BACK, L"B&ack"},          {IDC_NEXT, L"&Next"},
      {IDCANCEL, L"&Cancel"},
  };
  for (const auto& control : controls) {
    EXPECT_EQ(Text(locate, control.id), control.text) << control.id;
    EXPECT_TRUE(IsEnabled(locate, control.id)) << control.id;
  }
  SaveScreenshot(L"locate-page");

  // Next refuses an empty path and a path where nothing exists; the page stays as it was.
  for (const wchar_t* refused : {L"", L"C:\\Nowhere\\FileDatabase.xml"}) {
    ASSERT_TRUE(SetText(locate, IDC_FILE_DATABASE_PATH, refused));
    ASSERT_TRUE(Click(locate, IDC_NEXT));
    const auto box = FindMessageBox(run, locate);
    ASSERT_TRUE(box.has_value()) << "no message for '" << ToUtf8(refused) << "'";
    EXPECT_EQ(box->caption, L"Tessaly");
    EXPECT_EQ(box->text, L"Unable to open file. Please select a valid file.\r\n");
    EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
    SaveScreenshot(*refused ? L"missing-file-refused" : L"empty-path-refused");
    ASSERT_TRUE(Answer(*box, IDOK));
    EXPECT_TRUE(IsWindowVisible(locate));
    EXPECT_EQ(Text(locate, IDC_FILE_DATABASE_PATH), refused);
    EXPECT_EQ(StoredPath(), kMissing);
  }

  // Back with a missing path goes back to Start without a word and stores nothing, so the
  // product manager asks again.
  ASSERT_TRUE(Click(locate, IDC_BACK));
  ASSERT_TRUE(WaitForClose(locate));
  start = FindPage(run, kStartTitle);
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(StoredPath(), kMissing);
  ChooseProducts(start);
  locate = FindPage(run, kLocateDatabaseTitle);
  ASSERT_NE(locate, nullptr);
  // Each visit starts with an empty path.
  EXPECT_EQ(Text(locate, IDC_FILE_DATABASE_PATH), L"");

  // Next with the path of an existing file stores it and goes on to the product manager.
  ASSERT_TRUE(SetText(locate, IDC_FILE_DATABASE_PATH, DeliveredDatabase()));
  SaveScreenshot(L"existing-file-typed");
  ASSERT_TRUE(Click(locate, IDC_NEXT));
  ASSERT_TRUE(WaitForClose(locate));
  start = StartPageAgain();
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(StoredPath(), DeliveredDatabase());

  // Forgotten again, the page returns; Back with an existing folder stores it too (only its
  // existence is checked), and the next visit of the wizard then passes the locate page by.
  ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kFileDatabasePath, kMovedAway));
  ChooseProducts(start);
  locate = FindPage(run, kLocateDatabaseTitle);
  ASSERT_NE(locate, nullptr);
  ASSERT_TRUE(SetText(locate, IDC_FILE_DATABASE_PATH, ProgramFolder()));
  ASSERT_TRUE(Click(locate, IDC_BACK));
  ASSERT_TRUE(WaitForClose(locate));
  start = FindPage(run, kStartTitle);
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(StoredPath(), ProgramFolder());
  ChooseProducts(start);
  start = StartPageAgain();
  ASSERT_NE(start, nullptr);

  // Browse starts in the folder of the typed path; a file chosen there replaces the path, a
  // cancelled choice leaves it.
  ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kFileDatabasePath, kMovedAway));
  ChooseProducts(start);
  locate = FindPage(run, kLocateDatabaseTitle);
  ASSERT_NE(locate, nullptr);
  const std::wstring typed = ProgramFolder() + L"\\Old.xml";
  ASSERT_TRUE(SetText(locate, IDC_FILE_DATABASE_PATH, typed));
  for (const bool choose : {false, true}) {
    ASSERT_TRUE(Click(locate, IDC_FILE_DATABASE_BROWSE));
    HWND chooser = FindPage(run, L"Locate the file database.");
    ASSERT_NE(chooser, nullptr);
    if (choose) {
      SaveScreenshot(L"browse");
      // The name alone: the dialog completes it with the folder it opened in.
      ASSERT_TRUE(SetText(chooser, kFileNameEdit, L"FileDatabase.xml") ||
                  SetText(chooser, kFileNameCombo, L"FileDatabase.xml"));
    }
    ASSERT_TRUE(Click(chooser, choose ? IDOK : IDCANCEL));
    ASSERT_TRUE(WaitForClose(chooser));
    const std::wstring shown = Text(locate, IDC_FILE_DATABASE_PATH).value_or(L"");
    EXPECT_TRUE(EqualsNoCase(shown, choose ? DeliveredDatabase() : typed)) << ToUtf8(shown);
  }

  // Cancel on the locate page ends the program and stores nothing, even a path that exists.
  ASSERT_TRUE(Click(locate, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(StoredPath(), kMovedAway);
  EXPECT_EQ(DeleteTree(elsewhere), 0u);
}

}  // namespace
}  // namespace tessaly::e2e
