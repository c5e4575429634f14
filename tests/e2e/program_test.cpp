// Tessaly.exe end to end: the Start page, the first-run backups, the window position, the
// Preferences dialog with its restore, and the About box, driven through the real UI.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/settings/profile_store.h"
#include "platform/text.h"
#include "platform/win32/win32_registry.h"
#include "registry_archive/registry_archive.h"
#include "resources/resource.h"
#include "resources/version.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/page_titles.h"

namespace tessaly::e2e {
namespace {

// A product key of our own beside the demo machine's, so the restore has a value to set back.
constexpr wchar_t kProbeKey[] = L"SOFTWARE\\Native Instruments\\Tessaly E2E Probe";

std::wstring FileText(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return std::wstring(bytes.begin(), bytes.end());  // the archives are ASCII
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The mean brightness (0-255) of the pixels inside `rect` of the screen.
double MeanBrightness(const Image& image, RECT rect) {
  double sum = 0;
  long count = 0;
  for (int y = std::max<int>(rect.top, 0); y < std::min<int>(rect.bottom, image.height); ++y) {
    for (int x = std::max<int>(rect.left, 0); x < std::min<int>(rect.right, image.width); ++x) {
      const uint8_t* p = &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
      sum += 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2];
      ++count;
    }
  }
  return count ? sum / count : -1;
}

POINT CenterOf(RECT rect) {
  return {rect.left + (rect.right - rect.left) / 2, rect.top + (rect.bottom - rect.top) / 2};
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(DeleteProgramSettings(), 0u);
    ASSERT_EQ(DeleteProgramDocuments(), 0u);
  }

  // Starts the program and returns its Start page.
  HWND Start() {
    EXPECT_EQ(run.Start(ProgramPath()), 0u);
    HWND page = FindPage(run, kStartTitle);
    EXPECT_NE(page, nullptr) << "no Start page";
    return page;
  }

  // Ends the program from the Start page with Cancel; its exit code.
  std::optional<uint32_t> CancelStart(HWND page) {
    EXPECT_TRUE(Click(page, IDCANCEL));
    return run.WaitForExit();
  }

  // A page's dialog opened from the system menu of `page`.
  HWND OpenFromSystemMenu(HWND page, WPARAM command, const wchar_t* title) {
    EXPECT_TRUE(SysCommand(page, command));
    return FindPage(run, title);
  }

  std::wstring Setting(const wchar_t* name) {
    return profile.GetProfileString(kSettingsSection, name, L"<missing>");
  }
  uint32_t SettingInt(const wchar_t* name) {
    return profile.GetProfileInt(kSettingsSection, name, 12345);
  }

  // Waits until the first-run backups of a Start page have recorded all three archives.
  bool WaitForBackups() {
    return WaitUntil([&] { return Setting(kBackupHkcuDefault) != L"<missing>"; });
  }

  Win32Registry registry;
  CProfileStore profile{registry};
  ProgramRun run;
};

TEST_F(ProgramTest, FirstRunArchivesTheProductKeysAndCancelStoresTheSelection) {
  HWND page = Start();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(WaitForBackups());
  SaveScreenshot(L"start-page-first-run");

  // A fresh user: the first wizard is checked and described.
  EXPECT_EQ(CheckState(page, IDC_WIZARD_DUPLICATES), BST_CHECKED);
  EXPECT_EQ(Text(page, IDC_START_DESCRIPTION).value_or(L"").rfind(L"Recursively searches", 0), 0u);

  const std::wstring folder = ProgramDocumentsFolder();
  for (const wchar_t* name : {kBackupHklmDefault, kBackupHklm32Bit, kBackupHkcuDefault}) {
    const std::wstring path = folder + L"\\" + name;
    EXPECT_EQ(Setting(name), path);
    EXPECT_TRUE(FileExists(path)) << name;
  }
  // The archives hold what the demo machine installed, each from its own hive and view.
  EXPECT_NE(FileText(folder + L"\\BackupHklmDefault.xml").find(L"HKEY_LOCAL_MACHINE"),
            std::wstring::npos);
  EXPECT_NE(FileText(folder + L"\\BackupHklm32Bit.xml").find(L"<Force32>Yes</Force32>"),
            std::wstring::npos);
  EXPECT_NE(FileText(folder + L"\\BackupHkcuDefault.xml").find(L"HKEY_CURRENT_USER"),
            std::wstring::npos);

  // Choose another wizard, then Cancel: the program ends, and remembers both.
  ASSERT_TRUE(Click(page, IDC_WIZARD_LIBRARIES));
  ASSERT_TRUE(WaitUntil([&] {
    return Text(page, IDC_START_DESCRIPTION).value_or(L"").rfind(L"Organizes the Libraries", 0) ==
           0;
  }));
  SaveScreenshot(L"libraries-chosen");
  EXPECT_EQ(CancelStart(page), 0u);
  EXPECT_EQ(SettingInt(kFirstRun), 0u);
  EXPECT_EQ(SettingInt(kWizardSelection), 2u);

  // The next run preselects it and makes no new backups.
  ASSERT_EQ(DeleteTree(folder), 0u);
  page = Start();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(CheckState(page, IDC_WIZARD_LIBRARIES), BST_CHECKED);
  EXPECT_EQ(CheckState(page, IDC_WIZARD_DUPLICATES), BST_UNCHECKED);
  SaveScreenshot(L"second-run");
  EXPECT_EQ(CancelStart(page), 0u);
  EXPECT_FALSE(FileExists(folder + L"\\BackupHklmDefault.xml"));
}

TEST_F(ProgramTest, EveryWizardIsDescribedAndTheDarkThemeIsOn) {
  HWND page = Start();
  ASSERT_NE(page, nullptr);
  const struct {
    int id;
    const wchar_t* caption;
    const wchar_t* description;
  } wizards[] = {
      {IDC_WIZARD_DUPLICATES, L"&Find duplicate VST plugins.", L"Recursively searches"},
      {IDC_WIZARD_PRODUCTS, L"&Manage installed Native Instruments products.",
       L"Displays installation"},
      {IDC_WIZARD_LIBRARIES, L"&Arrange the Libraries tab in Native Instruments Kontakt.",
       L"Organizes the"},
      {IDC_WIZARD_THUMBNAILS,
       L"Fix Native Instruments &thumbnails in Maschine and Komplete Kontrol.",
       L"Restores the appropriate"},
      {IDC_WIZARD_RELOCATE, L"&Relocate plugin content.", L"Moves plugin content"},
  };
  for (const auto& wizard : wizards) {
    EXPECT_EQ(Text(page, wizard.id), wizard.caption);
    ASSERT_TRUE(Click(page, wizard.id));
    EXPECT_TRUE(WaitUntil([&] {
      return Text(page, IDC_START_DESCRIPTION).value_or(L"").rfind(wizard.description, 0) == 0;
    })) << wizard.caption;
    SaveScreenshot(std::wstring(L"wizard-") + std::to_wstring(wizard.id));
  }
  EXPECT_EQ(Text(page, IDC_NEXT), L"&Next");
  EXPECT_EQ(Text(page, IDCANCEL), L"&Cancel");

  // The page is drawn dark: its mean brightness is far below a system-coloured dialog's.
  EXPECT_LT(MeanBrightness(CaptureScreen(), WindowRect(page)), 90.0);
  EXPECT_EQ(CancelStart(page), 0u);
}

TEST_F(ProgramTest, EachWizardOpensItsFirstPageAndBackReturnsToStart) {
  HWND page = Start();
  ASSERT_NE(page, nullptr);
  for (const auto& wizard : kWizards) {
    SCOPED_TRACE(ToUtf8(wizard.firstPage));
    ASSERT_TRUE(ChooseWizard(page, wizard.id));
    HWND first = FindPage(run, wizard.firstPage);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(SettingInt(kWizardSelection), static_cast<uint32_t>(wizard.selection));
    // Pages that load first keep Back until they are ready.
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(first, IDC_BACK); }));
    ASSERT_TRUE(Click(first, IDC_BACK));
    ASSERT_TRUE(WaitForClose(first));
    page = FindPage(run, kStartTitle);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(CheckState(page, wizard.id), BST_CHECKED);
  }
  EXPECT_EQ(CancelStart(page), 0u);
}

TEST_F(ProgramTest, AStoredSelectionBeyondTheWizardsChecksNothingAndNextEnds) {
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kWizardSelection, 7));
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kFirstRun, 0));
  HWND page = Start();
  ASSERT_NE(page, nullptr);
  for (int id : {IDC_WIZARD_DUPLICATES, IDC_WIZARD_PRODUCTS, IDC_WIZARD_LIBRARIES,
                 IDC_WIZARD_THUMBNAILS, IDC_WIZARD_RELOCATE}) {
    EXPECT_EQ(CheckState(page, id), BST_UNCHECKED) << id;
  }
  EXPECT_EQ(Text(page, IDC_START_DESCRIPTION), L"");
  ASSERT_TRUE(Click(page, IDC_NEXT));
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(SettingInt(kWizardSelection), 7u);
  // No backups were made: FirstRun was already cleared.
  EXPECT_EQ(Setting(kBackupHklmDefault), L"<missing>");
}

TEST_F(ProgramTest, RelocationNeedsVistaOrLater) {
  // Wine reports Windows XP x64 (5.2) to a program whose AppDefaults say so.
  const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\Tessaly.exe";
  {
    std::unique_ptr<RegistryKey> key;
    ASSERT_EQ(registry.CreateKey(RegRoot::CurrentUser, kAppDefaults, L"", access::AllAccess, key),
              0u);
    ASSERT_EQ(WriteString(*key, L"Version", L"winxp64"), 0u);
  }
  struct Cleanup {
    ~Cleanup() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Tessaly.exe"); }
  } cleanup;
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kFirstRun, 0));
  HWND page = Start();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(Click(page, IDC_WIZARD_RELOCATE));
  ASSERT_TRUE(Click(page, IDC_NEXT));
  const auto box = FindMessageBox(run, page);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, L"Tessaly");
  EXPECT_EQ(box->text, L"Sorry, this feature is only supported on Vista or later.");
  EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
  SaveScreenshot(L"vista-check");
  ASSERT_TRUE(Answer(*box, IDOK));
  // The page stays open with the choice kept.
  EXPECT_TRUE(IsWindowVisible(page));
  EXPECT_EQ(CheckState(page, IDC_WIZARD_RELOCATE), BST_CHECKED);
  EXPECT_EQ(CancelStart(page), 0u);
  EXPECT_EQ(SettingInt(kWizardSelection), 4u);
}

TEST_F(ProgramTest, TheWindowPositionCarriesFromPageToPage) {
  // A stored centre is where the next page opens.
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kCenterX, 500));
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kCenterY, 420));
  HWND page = Start();
  ASSERT_NE(page, nullptr);
  POINT center = CenterOf(WindowRect(page));
  EXPECT_NEAR(center.x, 500, 1);
  EXPECT_NEAR(center.y, 420, 1);

  // Moved by the user, the page stores its new centre when it closes.
  RECT rect = WindowRect(page);
  ASSERT_TRUE(SetWindowPos(page, nullptr, rect.left + 120, rect.top + 60, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
  ASSERT_TRUE(WaitUntil([&] { return WindowRect(page).left == rect.left + 120; }));
  const POINT moved = CenterOf(WindowRect(page));
  EXPECT_EQ(CancelStart(page), 0u);
  EXPECT_EQ(static_cast<int>(SettingInt(kCenterX)), moved.x);
  EXPECT_EQ(static_cast<int>(SettingInt(kCenterY)), moved.y);

  page = Start();
  ASSERT_NE(page, nullptr);
  center = CenterOf(WindowRect(page));
  EXPECT_NEAR(center.x, moved.x, 1);
  EXPECT_NEAR(center.y, moved.y, 1);
  SaveScreenshot(L"moved");
  EXPECT_EQ(CancelStart(page), 0u);

  // A centre on no monitor is replaced by the middle of the screen.
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kCenterX, -1));
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kCenterY, 500));
  page = Start();
  ASSERT_NE(page, nullptr);
  center = CenterOf(WindowRect(page));
  EXPECT_NEAR(center.x,
              GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN) / 2, 1);
  EXPECT_NEAR(center.y,
              GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN) / 2, 1);
  const RECT middle = WindowRect(page);
  EXPECT_EQ(CancelStart(page), 0u);

  // A centre near the screen's corner: the page opens inside the work area, its size kept, its
  // title bar on screen.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor));
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kCenterX, monitor.rcWork.right - 5));
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kCenterY, monitor.rcWork.bottom - 5));
  page = Start();
  ASSERT_NE(page, nullptr);
  rect = WindowRect(page);
  EXPECT_EQ(rect.right, monitor.rcWork.right);
  EXPECT_EQ(rect.bottom, monitor.rcWork.bottom);
  EXPECT_EQ(rect.right - rect.left, middle.right - middle.left);
  EXPECT_EQ(rect.bottom - rect.top, middle.bottom - middle.top);
  EXPECT_EQ(CancelStart(page), 0u);
}

TEST_F(ProgramTest, PreferencesStoresTheHostsOnOkOnly) {
  ASSERT_TRUE(profile.WriteProfileString(kSettingsSection, kVstHost32, L"C:\\Old\\host32.exe"));
  HWND page = Start();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(WaitForBackups());

  HWND preferences = OpenFromSystemMenu(page, 0x100, kPreferencesTitle);
  ASSERT_NE(preferences, nullptr);
  EXPECT_EQ(Text(preferences, IDC_HOST32), L"C:\\Old\\host32.exe");
  EXPECT_EQ(Text(preferences, IDC_HOST64), L"");
  EXPECT_TRUE(IsEnabled(preferences, IDC_BROWSE_HOST64));  // 64-bit Windows
  EXPECT_TRUE(IsEnabled(preferences, IDC_RESTORE_ORIGINAL));
  EXPECT_EQ(Text(preferences, IDC_BACKUP_DATE).value_or(L"").rfind(L"Backup created on: ", 0), 0u);
  SaveScreenshot(L"preferences");

  ASSERT_TRUE(SetText(preferences, IDC_HOST32, L"D:\\Cancelled\\host.exe"));
  ASSERT_TRUE(Click(preferences, IDCANCEL));
  ASSERT_TRUE(WaitForClose(preferences));
  EXPECT_EQ(Setting(kVstHost32), L"C:\\Old\\host32.exe");
  EXPECT_EQ(Setting(kVstHost64), L"<missing>");

  // The low four bits of a system command are the system's own.
  preferences = OpenFromSystemMenu(page, 0x100 | 0x3, kPreferencesTitle);
  ASSERT_NE(preferences, nullptr);
  EXPECT_EQ(Text(preferences, IDC_HOST32), L"C:\\Old\\host32.exe");
  ASSERT_TRUE(SetText(preferences, IDC_HOST32, L""));
  ASSERT_TRUE(SetText(preferences, IDC_HOST64, L"C:\\Hosts\\not checked.exe"));
  ASSERT_TRUE(Click(preferences, IDOK));
  ASSERT_TRUE(WaitForClose(preferences));
  // The program stores the hosts once the dialog's modal run has returned, a moment after its
  // window is gone.
  EXPECT_TRUE(WaitUntil([&] { return Setting(kVstHost64) == L"C:\\Hosts\\not checked.exe"; }));
  EXPECT_EQ(Setting(kVstHost32), L"");
  EXPECT_EQ(Setting(kVstHost64), L"C:\\Hosts\\not checked.exe");
  EXPECT_EQ(CancelStart(page), 0u);
}

TEST_F(ProgramTest, TheUserGuideCommandReportsAMissingGuide) {
  ASSERT_TRUE(profile.WriteProfileInt(kSettingsSection, kFirstRun, 0));
  HWND page = Start();
  ASSERT_NE(page, nullptr);
  // The user guide is not beside the program here: the shell's error is reported.
  ASSERT_TRUE(SysCommand(page, 0x20));
  const auto box = FindMessageBox(run);
  ASSERT_TRUE(box.has_value());
  const std::wstring program = ProgramPath();
  const std::wstring guide =
      program.substr(0, program.find_last_of(L'\\') + 1) + L"TessalyUserGuide.pdf";
  EXPECT_EQ(box->text, L"Attempt to open file " + guide + L" failed with error 2.");
  EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
  SaveScreenshot(L"user-guide-missing");
  ASSERT_TRUE(Answer(*box, IDOK));
  EXPECT_EQ(CancelStart(page), 0u);
}

TEST_F(ProgramTest, AboutBoxShowsTheVersionAndNotice) {
  HWND page = Start();
  ASSERT_NE(page, nullptr);
  HWND about = OpenFromSystemMenu(page, 0x10, kAboutTitle);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(Text(about, IDC_ABOUT_VERSION),
            L"Tessaly version " + FromUtf8(TESSALY_VERSION_TEXT) + L" Free");
  EXPECT_EQ(Text(about, IDC_ABOUT_COPYRIGHT).value_or(L"").find(L"Quillmoor") != std::wstring::npos,
            true);
  EXPECT_TRUE(IsVisible(about, IDC_ABOUT_LINK));
  // This test program is built for the same architecture as the program it drives.
  EXPECT_EQ(Text(about, IDC_ABOUT_EDITION),
            sizeof(void*) == 8 ? L"64-bit edition (x64)" : L"32-bit edition (x86)");
  SaveScreenshot(L"about");
  ASSERT_TRUE(Click(about, IDOK));
  ASSERT_TRUE(WaitForClose(about));
  // The page is still there and still ends the program.
  EXPECT_EQ(CancelStart(page), 0u);
}

class RestoreTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    SetProbePath(L"C:\\Program Files\\Original");
  }
  void TearDown() override {
    std::unique_ptr<RegistryKey> parent;
    if (registry.OpenKey(RegRoot::LocalMachine, L"SOFTWARE\\Native Instruments",
                         access::AllAccess | access::Wow64_64Key, parent) == 0) {
      parent->DeleteSubKey(L"Tessaly E2E Probe", access::AllAccess | access::Wow64_64Key);
    }
  }
  void SetProbePath(const wchar_t* value) {
    std::unique_ptr<RegistryKey> key;
    ASSERT_EQ(registry.CreateKey(RegRoot::LocalMachine, kProbeKey, L"",
                                 access::AllAccess | access::Wow64_64Key, key),
              0u);
    ASSERT_EQ(WriteString(*key, L"ContentDir", value), 0u);
  }
  std::wstring ProbePath() {
    std::unique_ptr<RegistryKey> key;
    std::wstring value;
    if (registry.OpenKey(RegRoot::LocalMachine, kProbeKey, access::Read | access::Wow64_64Key,
                         key) != 0 ||
        ReadString(*key, L"ContentDir", value) != 0) {
      return L"<missing>";
    }
    return value;
  }
  // Opens Preferences, presses Restore Original Settings and answers the question.
  void RestoreFromPreferences(HWND page, int answer, const wchar_t* shot) {
    HWND preferences = OpenFromSystemMenu(page, 0x100, kPreferencesTitle);
    ASSERT_NE(preferences, nullptr);
    ASSERT_TRUE(Click(preferences, IDC_RESTORE_ORIGINAL));
    const auto box = FindMessageBox(run, preferences);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, L"Tessaly");
    EXPECT_EQ(box->text,
              L"This will restore your program settings to the state before you ran Tessaly for "
              L"the first time. It will not delete or restore any files. Do you wish to proceed?");
    EXPECT_EQ(box->buttons, (std::vector<int>{IDYES, IDNO}));
    SaveScreenshot(shot);
    ASSERT_TRUE(Answer(*box, answer));
    // The dialog stays open afterwards.
    EXPECT_TRUE(IsWindowVisible(preferences));
    ASSERT_TRUE(Click(preferences, IDCANCEL));
    ASSERT_TRUE(WaitForClose(preferences));
  }
};

TEST_F(RestoreTest, RestoreOriginalSettingsSetsBackAChangedProductPath) {
  HWND page = Start();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(WaitForBackups());
  SetProbePath(L"D:\\Moved\\Elsewhere");

  RestoreFromPreferences(page, IDNO, L"restore-question-no");
  EXPECT_EQ(ProbePath(), L"D:\\Moved\\Elsewhere");

  RestoreFromPreferences(page, IDYES, L"restore-question-yes");
  EXPECT_EQ(ProbePath(), L"C:\\Program Files\\Original");
  EXPECT_EQ(CancelStart(page), 0u);
}

TEST_F(RestoreTest, ATamperedArchiveChangesNothing) {
  HWND page = Start();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(WaitForBackups());
  SetProbePath(L"D:\\Moved\\Elsewhere");

  // Point the default-view archive at another root key; the other archives are removed.
  const std::wstring folder = ProgramDocumentsFolder();
  std::wstring text = FileText(folder + L"\\BackupHklmDefault.xml");
  const size_t root = text.find(L"SOFTWARE\\Native Instruments");
  ASSERT_NE(root, std::wstring::npos);
  text.replace(root, 27, L"SOFTWARE\\Tessaly Tampered");
  const std::string bytes(text.begin(), text.end());
  FILE* out = _wfopen((folder + L"\\BackupHklmDefault.xml").c_str(), L"wb");
  ASSERT_NE(out, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), out);
  fclose(out);
  ASSERT_TRUE(DeleteFileW((folder + L"\\BackupHklm32Bit.xml").c_str()));
  ASSERT_TRUE(DeleteFileW((folder + L"\\BackupHkcuDefault.xml").c_str()));

  RestoreFromPreferences(page, IDYES, L"tampered-restore");
  EXPECT_EQ(ProbePath(), L"D:\\Moved\\Elsewhere");
  std::unique_ptr<RegistryKey> tampered;
  EXPECT_EQ(registry.OpenKey(RegRoot::LocalMachine, L"SOFTWARE\\Tessaly Tampered",
                             access::Read | access::Wow64_64Key, tampered),
            err::FileNotFound);
  EXPECT_EQ(CancelStart(page), 0u);
}

}  // namespace
}  // namespace tessaly::e2e
