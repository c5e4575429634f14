// The portable decisions behind the pages: where a page opens, the Start page's descriptions,
// opening a plugin in its host, and the file-database check.
#include <gtest/gtest.h>

#include <string>

#include "app/ui/plugin_host.h"
#include "app/settings/profile_store.h"
#include "app/shell/start_page_text.h"
#include "app/ui/window_center.h"
#include "catalog/file_database.h"
#include "platform/text.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"

namespace tessaly {
namespace {

TEST(WindowCenterTest, StoredCentreIsUsedWhenItLiesOnAMonitor) {
  const ScreenRect window{100, 50, 301, 251};  // 201 x 201, centre (200, 150)
  const ScreenRect primary{0, 0, 1920, 1080};
  const ScreenRect leftAndPrimary{-1280, 0, 1920, 1080};  // second monitor left of the primary
  struct Case {
    int x, y;
    ScreenRect screen;
    ScreenPoint expected;
  } cases[] = {
      {-1, -1, primary, {200, 150}},  // nothing stored: stays where it opened
      {640, 400, primary, {640, 400}},
      {-1, 500, primary, {960, 540}},        // only (-1, -1) means none; -1 is off screen
      {-1, 500, leftAndPrimary, {-1, 500}},  // ... but on a left monitor it is a place
      {-600, 300, leftAndPrimary, {-600, 300}},
      {1920, 300, primary, {960, 540}},  // right and bottom edges lie outside
      {300, 1080, primary, {960, 540}},
      {0, 0, primary, {0, 0}},                       // left and top edges inside
      {-32000, -32000, leftAndPrimary, {320, 540}},  // a page closed while minimised
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseWindowCenter(window, c.x, c.y, c.screen), c.expected)
        << "stored (" << c.x << ", " << c.y << ")";
  }
}

TEST(WindowCenterTest, TheWindowMovesWithoutChangingSize) {
  const ScreenRect window{10, 20, 111, 71};  // centre (60, 45)
  EXPECT_EQ(TopLeftForCenter(window, {60, 45}), (ScreenPoint{10, 20}));
  EXPECT_EQ(TopLeftForCenter(window, {-500, 1000}), (ScreenPoint{-550, 975}));
  // Saving and restoring the same window is a fixed point, odd sizes included.
  const ScreenRect odd{-7, -3, 0, 2};
  EXPECT_EQ(TopLeftForCenter(odd, CenterOf(odd)), (ScreenPoint{-7, -3}));
  EXPECT_EQ(CenterOf(odd), (ScreenPoint{-4, -1}));  // halves truncated toward zero
}

TEST(StartPageTextTest, DescriptionsFollowTheRadioOrder) {
  const std::wstring first = WizardDescription(0);
  EXPECT_EQ(first.find(L"Recursively searches specified folders"), 0u);
  EXPECT_NE(first.find(L"in your plugin folders. \r\n\r\nCan also identify"), std::wstring::npos);
  EXPECT_NE(first.find(L"platforms.\r\n\r\nAfter duplicates"), std::wstring::npos);
  EXPECT_EQ(first.back(), L'.');
  EXPECT_NE(WizardDescription(1).find(L"for ALL installed products"), std::wstring::npos);
  EXPECT_NE(WizardDescription(2).find(L"Kontakt Player-certified"), std::wstring::npos);
  EXPECT_EQ(WizardDescription(3).find(L"\r\n"), std::wstring::npos);  // a single paragraph
  EXPECT_NE(WizardDescription(4).find(L"Waves or MusicLab releases."), std::wstring::npos);
  EXPECT_EQ(WizardDescription(5), L"");
  EXPECT_EQ(WizardDescription(-1), L"");

  // The selection counts positions: the fourth button (id 1009) is wizard 3, the fifth (1008) 4.
  EXPECT_EQ(SelectionOfRadioId(1009), 3);
  EXPECT_EQ(SelectionOfRadioId(1008), 4);
  EXPECT_EQ(SelectionOfRadioId(1006), -1);
}

class PluginHostTest : public ::testing::Test {
 protected:
  PluginHostTest() {
    fs.AddFile(L"C:\\Hosts\\Host64.exe", "MZ");
    fs.AddFolder(L"C:\\Hosts\\Folder.exe");
  }
  FakeRegistry registry;
  FakeFileSystem fs;
  CProfileStore profile{registry};
};

TEST_F(PluginHostTest, EachPlatformUsesItsOwnHost) {
  profile.WriteProfileString(kSettingsSection, kVstHost64, L"C:\\Hosts\\Host64.exe");

  const PluginHostLaunch for32 = PlanPluginHostLaunch(profile, fs, false, L"C:\\VST\\a.dll");
  EXPECT_EQ(for32.action, PluginHostLaunch::Action::OfferPreferences);
  EXPECT_EQ(for32.question,
            L"No plugin host path configured. Would you like to set one up in Preferences?");

  const PluginHostLaunch for64 = PlanPluginHostLaunch(profile, fs, true, L"C:\\VST 64\\a b.dll");
  EXPECT_EQ(for64.action, PluginHostLaunch::Action::Open);
  EXPECT_EQ(for64.host, L"C:\\Hosts\\Host64.exe");
  EXPECT_EQ(for64.parameters, L"\"C:\\VST 64\\a b.dll\"");
}

TEST_F(PluginHostTest, AHostThatIsNotAFileIsOfferedForRepair) {
  for (const wchar_t* host : {L"C:\\Hosts\\Gone.exe", L"C:\\Hosts\\Folder.exe"}) {
    profile.WriteProfileString(kSettingsSection, kVstHost32, host);
    const PluginHostLaunch plan = PlanPluginHostLaunch(profile, fs, false, L"C:\\VST\\a.dll");
    EXPECT_EQ(plan.action, PluginHostLaunch::Action::OfferPreferences) << host;
    EXPECT_EQ(plan.question, L"Unable to find host " + std::wstring(host) +
                                 L". Would you like to check your preferences?");
  }
}

TEST(FileDatabaseCheckTest, StoresAPathThatExists) {
  FakeRegistry registry;
  FakeFileSystem fs;
  CProfileStore profile{registry};
  fs.AddFile(L"C:\\Tessaly\\FileDatabase.xml", "<FileDatabase/>");
  auto stored = [&] {
    return profile.GetProfileString(kSettingsSection, kFileDatabasePath, nullptr);
  };

  EXPECT_EQ(CheckFileDatabase(profile, fs, nullptr), err::FileNotFound);  // default, not here
  EXPECT_EQ(stored(), L"");
  EXPECT_EQ(CheckFileDatabase(profile, fs, L"C:\\Tessaly\\Missing.xml"), err::FileNotFound);
  EXPECT_EQ(stored(), L"");

  EXPECT_EQ(CheckFileDatabase(profile, fs, L"C:\\Tessaly\\FileDatabase.xml"), 0u);
  EXPECT_EQ(stored(), L"C:\\Tessaly\\FileDatabase.xml");
  EXPECT_EQ(CheckFileDatabase(profile, fs, nullptr), 0u);  // the stored setting is checked next
  EXPECT_EQ(CheckFileDatabase(profile, fs, L"C:\\Tessaly"), 0u);  // a folder counts as existing

  registry.InjectFailure(RegRoot::CurrentUser, profile.SectionPath(kSettingsSection),
                         FakeRegistry::Operation::Set, 5);
  EXPECT_EQ(CheckFileDatabase(profile, fs, L"C:\\Tessaly\\FileDatabase.xml"), err::InternalError);
}

// A path that passes the check is stored in full: a relative one would name another file, or
// none, once the current folder changes (a shell file dialog may change it), and the next visit
// would ask for the file database again.
TEST(FileDatabaseCheckTest, StoresTheFullPathSoThatAnotherCurrentFolderStillFindsIt) {
  const struct {
    const wchar_t* checked;  // null: the setting, by default "FileDatabase.xml"
    const wchar_t* currentFolder;
    const wchar_t* stored;
  } cases[] = {
      {nullptr, L"C:\\Tessaly", L"C:\\Tessaly\\FileDatabase.xml"},
      {L"..\\Tessaly\\.\\FileDatabase.xml", L"C:\\Users", L"C:\\Tessaly\\FileDatabase.xml"},
      {L"\\Tessaly\\FileDatabase.xml", L"C:\\Users", L"C:\\Tessaly\\FileDatabase.xml"},
      {L"Tessaly", L"C:\\", L"C:\\Tessaly"},
      {L"C:\\Tessaly\\FileDatabase.xml", L"C:\\Users", L"C:\\Tessaly\\FileDatabase.xml"},
  };
  for (const auto& c : cases) {
    const std::string name = c.checked ? ToUtf8(c.checked) : "(the setting)";
    FakeRegistry registry;
    FakeFileSystem fs;
    CProfileStore profile{registry};
    fs.AddFile(L"C:\\Tessaly\\FileDatabase.xml", "<FileDatabase/>");
    fs.AddFolder(L"C:\\Users");
    fs.SetCurrentFolder(c.currentFolder);
    EXPECT_EQ(CheckFileDatabase(profile, fs, c.checked), 0u) << name;
    EXPECT_EQ(profile.GetProfileString(kSettingsSection, kFileDatabasePath, nullptr), c.stored)
        << name;
    fs.SetCurrentFolder(L"C:\\Users\\Documents");
    EXPECT_EQ(CheckFileDatabase(profile, fs, nullptr), 0u) << name << ", from another folder";
  }
}

}  // namespace
}  // namespace tessaly
