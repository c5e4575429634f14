// What the pages receive before their run and what the program stores after it: the Start page's
// selection and first-run flag, the Preferences fields, the plugin folders page's platform and
// folder lists, and what the duplicate finder searches and shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "app/shell/shell_settings.h"
#include "platform/locations.h"
#include "plugins/dupe_finder_state.h"
#include "plugins/plugin_folders.h"
#include "registry_archive/first_run_backups.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"

namespace tessaly {
namespace {

using Texts = std::vector<std::wstring>;
const wchar_t kKey[] = L"Software\\Quillmoor\\Tessaly\\Settings";
constexpr RegRoot kHkcu = RegRoot::CurrentUser;

class PageInputsTest : public ::testing::Test {
 protected:
  PageInputsTest() { system.CreateSpecialFolders(fs); }

  FakeRegistry registry;
  FakeFileSystem fs;
  FakeSystem system;
  CProfileStore settings{registry};
};

TEST_F(PageInputsTest, StartPageRemembersTheWizardAndEndsTheFirstRun) {
  StartPageInputs fresh = LoadStartPage(settings);
  EXPECT_EQ(fresh.selection, 0);
  EXPECT_TRUE(fresh.firstRun);

  StoreStartPage(settings, 3);
  EXPECT_EQ(registry.ReadDword(kHkcu, kKey, kWizardSelection), 3u);
  EXPECT_EQ(registry.ReadDword(kHkcu, kKey, kFirstRun), 0u);
  const StartPageInputs next = LoadStartPage(settings);
  EXPECT_EQ(next.selection, 3);
  EXPECT_FALSE(next.firstRun);

  // A selection beyond the five wizards is handed over as stored (it checks no radio button).
  registry.SetDword(kHkcu, kKey, kWizardSelection, 7);
  registry.SetDword(kHkcu, kKey, kFirstRun, 2);  // any non-zero value is set
  EXPECT_EQ(LoadStartPage(settings).selection, 7);
  EXPECT_TRUE(LoadStartPage(settings).firstRun);
}

TEST_F(PageInputsTest, PreferencesShowTheHostsAndTheBackupDateOnlyForAReadableArchive) {
  registry.SetString(kHkcu, kKey, kVstHost32, L"C:\\Hosts\\Host32.exe");
  PreferencesInputs inputs = LoadPreferences(settings, registry, fs, system);
  EXPECT_EQ(inputs.host32, L"C:\\Hosts\\Host32.exe");
  EXPECT_EQ(inputs.host64, L"");
  EXPECT_EQ(inputs.backupDateLine, L"") << "no archive recorded: Restore stays disabled";

  registry.SetString(kHkcu, kKey, kBackupHklmDefault, L"C:\\gone.xml");
  EXPECT_EQ(LoadPreferences(settings, registry, fs, system).backupDateLine, L"");

  ASSERT_EQ(MakeFirstRunBackup(BackupContext{registry, fs, system, settings}, RegRoot::LocalMachine,
                               false, kBackupHklmDefault),
            0u);
  inputs = LoadPreferences(settings, registry, fs, system);
  EXPECT_EQ(inputs.backupDateLine.rfind(L"Backup created on: ", 0), 0u) << inputs.backupDateLine;
  EXPECT_GT(inputs.backupDateLine.size(), std::wstring(L"Backup created on: ").size());

  // OK stores both fields as typed, an emptied one too.
  StorePreferences(settings, L"", L"D:\\x64\\Host.exe");
  EXPECT_EQ(registry.ReadString(kHkcu, kKey, kVstHost32), L"");
  EXPECT_EQ(registry.ReadString(kHkcu, kKey, kVstHost64), L"D:\\x64\\Host.exe");
}

TEST_F(PageInputsTest, PluginFoldersComeFromTheSettingsOrTheDefaults) {
  fs.AddFolder(L"C:\\Program Files\\Common Files\\VST2");
  fs.AddFolder(L"C:\\Program Files (x86)\\Common Files\\VST2");
  CSafeStringList defaults32;
  CSafeStringList defaults64;
  GetDefaultVstFolders(system, registry, fs, false, defaults32);
  GetDefaultVstFolders(system, registry, fs, true, defaults64);
  ASSERT_GT(defaults32.Count(), 0u);
  ASSERT_GT(defaults64.Count(), 0u);
  ASSERT_NE(defaults32.Entries(), defaults64.Entries());

  // Nothing stored: the 32-bit platform, and each list from the defaults of its platform.
  PluginFolderChoice choice = LoadPluginFolderChoice(settings, system, registry, fs);
  EXPECT_TRUE(choice.is64BitWindows);
  EXPECT_EQ(choice.platform, 0);
  EXPECT_EQ(choice.folders32.Entries(), defaults32.Entries());
  EXPECT_EQ(choice.folders64.Entries(), defaults64.Entries());

  registry.SetDword(kHkcu, kKey, kSelectedPlatform, 1);
  registry.SetString(kHkcu, kKey, kVstPaths32, L"D:\\VST32\\|d:\\vst32");
  choice = LoadPluginFolderChoice(settings, system, registry, fs);
  EXPECT_EQ(choice.platform, 1);
  EXPECT_EQ(choice.folders32.Entries(), (Texts{L"D:\\VST32"}));
  EXPECT_EQ(choice.folders64.Entries(), defaults64.Entries());

  registry.SetDword(kHkcu, kKey, kSelectedPlatform, 5);  // neither platform: 32-bit
  EXPECT_EQ(LoadPluginFolderChoice(settings, system, registry, fs).platform, 0);
}

TEST_F(PageInputsTest, On32BitWindowsOnlyThe32BitPlatformAndListAreUsed) {
  FakeRegistry registry32(false);
  CProfileStore settings32(registry32);
  system.UseWindows32Bit();
  registry32.SetDword(kHkcu, kKey, kSelectedPlatform, 1);
  registry32.SetString(kHkcu, kKey, kVstPaths64, L"D:\\VST64");
  PluginFolderChoice choice = LoadPluginFolderChoice(settings32, system, registry32, fs);
  EXPECT_FALSE(choice.is64BitWindows);
  EXPECT_EQ(choice.platform, 0);
  EXPECT_EQ(choice.folders64.Count(), 0u);

  choice.folders64.Add(L"E:\\Elsewhere", false);
  StorePluginFolderChoice(settings32, choice);
  EXPECT_EQ(registry32.ReadDword(kHkcu, kKey, kSelectedPlatform), 0u);
  EXPECT_EQ(registry32.ReadString(kHkcu, kKey, kVstPaths64), L"D:\\VST64") << "left alone";
}

TEST_F(PageInputsTest, StoringFolderListsKeepsAStoredListThatANewOneCannotReplace) {
  PluginFolderChoice choice = LoadPluginFolderChoice(settings, system, registry, fs);
  choice.platform = 1;
  choice.folders32.Clear();
  choice.folders32.Add(L"C:\\A", false);
  choice.folders32.Add(L"D:\\B", false);
  choice.folders64.Clear();
  StorePluginFolderChoice(settings, choice);
  EXPECT_EQ(registry.ReadDword(kHkcu, kKey, kSelectedPlatform), 1u);
  EXPECT_EQ(registry.ReadString(kHkcu, kKey, kVstPaths32), L"C:\\A|D:\\B");
  EXPECT_EQ(registry.ReadString(kHkcu, kKey, kVstPaths64), L"") << "an empty list is stored empty";

  for (int i = 0; i < 30; ++i)
    choice.folders32.Add(L"C:\\" + std::wstring(80, L'a' + (i % 26)) + std::to_wstring(i), false);
  StorePluginFolderChoice(settings, choice);
  EXPECT_EQ(registry.ReadString(kHkcu, kKey, kVstPaths32), L"C:\\A|D:\\B") << "too long to store";
}

TEST_F(PageInputsTest, TheFinderSearchesTheStoredFoldersOfTheStoredPlatformWithoutDefaults) {
  EXPECT_EQ(LoadDupeSearchInputs(settings).folders.Count(), 0u);
  registry.SetString(kHkcu, kKey, kVstPaths32, L"C:\\A");
  registry.SetString(kHkcu, kKey, kVstPaths64, L"C:\\B|C:\\C");
  DupeSearchInputs inputs = LoadDupeSearchInputs(settings);
  EXPECT_EQ(inputs.platform, 0);
  EXPECT_EQ(inputs.folders.Entries(), (Texts{L"C:\\A"}));
  registry.SetDword(kHkcu, kKey, kSelectedPlatform, 1);
  inputs = LoadDupeSearchInputs(settings);
  EXPECT_EQ(inputs.platform, 1);
  EXPECT_EQ(inputs.folders.Entries(), (Texts{L"C:\\B", L"C:\\C"}));
}

TEST_F(PageInputsTest, TheVst3AndClapChoiceIsStoredAndReadByBothPages) {
  EXPECT_FALSE(LoadPluginFolderChoice(settings, system, registry, fs).modernFormats)
      << "off at first";
  EXPECT_FALSE(LoadDupeSearchInputs(settings).modernFormats);
  PluginFolderChoice choice = LoadPluginFolderChoice(settings, system, registry, fs);
  choice.modernFormats = true;
  StorePluginFolderChoice(settings, choice);
  EXPECT_EQ(registry.ReadDword(kHkcu, kKey, kSearchVst3Clap), 1u);
  EXPECT_TRUE(LoadPluginFolderChoice(settings, system, registry, fs).modernFormats);
  EXPECT_TRUE(LoadDupeSearchInputs(settings).modernFormats);
  registry.SetDword(kHkcu, kKey, kSearchVst3Clap, 7);  // only 1 is on
  EXPECT_FALSE(LoadDupeSearchInputs(settings).modernFormats);
}

TEST_F(PageInputsTest, TurningVst3AndClapOnAddsTheirCommonFilesFoldersThatExist) {
  fs.AddFolder(L"C:\\Program Files\\Common Files\\VST3");
  fs.AddFolder(L"C:\\Program Files\\Common Files\\CLAP");
  fs.AddFolder(L"C:\\Program Files (x86)\\Common Files\\VST3");  // no 32-bit CLAP folder
  PluginFolderChoice choice;
  choice.is64BitWindows = true;
  choice.folders32.Add(L"D:\\VST", false);
  choice.folders64.Add(L"c:\\program files\\common files\\vst3", false);  // listed already
  EXPECT_EQ(AddModernFormatFolders(system, fs, choice), 2u);
  EXPECT_EQ(choice.folders32.Entries(),
            (Texts{L"D:\\VST", L"C:\\Program Files (x86)\\Common Files\\VST3"}));
  EXPECT_EQ(choice.folders64.Entries(), (Texts{L"c:\\program files\\common files\\vst3",
                                               L"C:\\Program Files\\Common Files\\CLAP"}));
  EXPECT_EQ(AddModernFormatFolders(system, fs, choice), 0u) << "nothing twice";

  // On 32-bit Windows only the 32-bit list gains folders.
  PluginFolderChoice choice32;
  system.UseWindows32Bit();
  fs.AddFolder(L"C:\\Program Files\\Common Files\\CLAP");
  EXPECT_EQ(AddModernFormatFolders(system, fs, choice32), 2u);
  EXPECT_EQ(choice32.folders32.Entries(), (Texts{L"C:\\Program Files\\Common Files\\VST3",
                                                 L"C:\\Program Files\\Common Files\\CLAP"}));
  EXPECT_EQ(choice32.folders64.Count(), 0u);
}

Texts Lines(const CPluginMap& map, bool singles, bool duplicates) {
  Texts lines;
  for (const wchar_t* line : NamesListLines(map, singles, duplicates)) lines.emplace_back(line);
  return lines;
}

TEST_F(PageInputsTest, NamesListsShowSinglesAndDuplicatesOnRequest) {
  CPluginMap map;
  for (const wchar_t* path : {L"C:\\A\\Synth.dll", L"C:\\B\\SYNTH.DLL", L"C:\\A\\Delay.dll",
                              L"C:\\B\\delay.dll", L"C:\\A\\Reverb.dll"}) {
    fs.AddFile(path, "not a plugin: the lists go by name");
    CPluginFile file(fs, system);
    ASSERT_EQ(file.Lookup(path), 0u);
    ASSERT_TRUE(map.Add(file));
  }
  EXPECT_EQ(Lines(map, false, true), (Texts{L"delay.dll", L"synth.dll"}));
  EXPECT_EQ(Lines(map, true, false), (Texts{L"reverb.dll"}));
  EXPECT_EQ(Lines(map, true, true), (Texts{L"delay.dll", L"reverb.dll", L"synth.dll"}));
  EXPECT_EQ(Lines(map, false, false), (Texts{L"(no files found)"}));
  EXPECT_EQ(Lines(CPluginMap(), true, true), (Texts{L"(no files found)"}));
}

TEST(DupeFinderControlsTest, NothingThatReadsTheMapsIsEnabledWhileTheSearchRuns) {
  for (bool upper : {false, true}) {
    for (bool lower : {false, true}) {
      const DupeFinderControls searching = DupeFinderControlState(true, upper, lower);
      EXPECT_FALSE(searching.showCheckBoxes || searching.lists || searching.upperFileButtons ||
                   searching.lowerFileButtons);
      const DupeFinderControls done = DupeFinderControlState(false, upper, lower);
      EXPECT_TRUE(done.showCheckBoxes && done.lists);
      EXPECT_EQ(done.upperFileButtons, upper);
      EXPECT_EQ(done.lowerFileButtons, lower);
    }
  }
}

}  // namespace
}  // namespace tessaly
