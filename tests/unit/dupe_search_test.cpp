// The duplicate search over the in-memory file system: what it reports and in which order, how
// files fall into the expected and unexpected maps, stopping, folders that are missing, folder
// links that lead back or elsewhere, and paths that no longer fit 260 characters.
#include "plugins/dupe_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <atomic>
#include <ostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/text.h"
#include "plugins/dupe_finder_state.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_system.h"
#include "tests/unit/forwarding_file_system.h"
#include "tests/unit/pe_test_images.h"

namespace tessaly {
namespace {

using Reports = std::vector<std::wstring>;

std::vector<uint8_t> Dll(uint16_t machine) {
  testing::PeLayout layout;
  layout.machine = machine;
  layout.pe32Plus = machine == pe::kMachineAmd64;
  return testing::BuildPe(layout).bytes;
}
const std::vector<uint8_t> kDll32 = Dll(pe::kMachineI386);
const std::vector<uint8_t> kDll64 = Dll(pe::kMachineAmd64);

// Writes down each report as "state 1", "status <text>" or "file <text>"; can stop the search
// once it has seen a given number of files.
class RecordingObserver : public DupeSearchObserver {
 public:
  RecordingObserver(CancelFlag& stop, FakeSystem& system) : stop_(stop), system_(system) {}
  void OnSearchState(bool running) override {
    reports.push_back(running ? L"state 1" : L"state 0");
  }
  void OnStatus(const std::wstring& text) override { reports.push_back(L"status " + text); }
  void OnFile(const std::wstring& text) override {
    reports.push_back(L"file " + text);
    if (system_.ActiveRedirectionScopes() == 0) ++filesWithRedirection;
    if (++files == stopAfterFiles) stop_ = 1;
  }

  Reports reports;
  int files = 0;
  int stopAfterFiles = -1;
  int filesWithRedirection = 0;

 private:
  CancelFlag& stop_;
  FakeSystem& system_;
};

class DupeSearchTest : public ::testing::Test {
 protected:
  void SetUp() override { fs.AddVolume(L"D:", 1ull << 30, 1ull << 31); }

  DupeSearchResult Run(const std::vector<std::wstring>& folders, int platform = 0,
                       DupeSearchOptions options = {}) {
    return RunDupeSearch(fs, system, folders, platform, expected, unexpected, observer, stop,
                         options);
  }
  Reports Files() const {
    Reports files;
    for (const std::wstring& r : observer.reports)
      if (r.rfind(L"file ", 0) == 0 && r.rfind(L"file Found ", 0) != 0)
        files.push_back(r.substr(5));
    return files;
  }
  // Each key with the paths of its group in order.
  static std::map<std::wstring, Reports> Groups(const CPluginMap& map) {
    std::map<std::wstring, Reports> groups;
    for (const auto& [key, list] : map.GetGroups())
      for (const auto& m : list.Members()) groups[key].push_back(m.file.GetPath());
    return groups;
  }

  FakeFileSystem fs;
  FakeSystem system;
  CPluginMap expected, unexpected;
  CancelFlag stop{0};
  RecordingObserver observer{stop, system};
};

TEST_F(DupeSearchTest, ReportsEachFolderAndFileThenTheSummaryAndSortsByMachine) {
  fs.AddFile(L"C:\\VST\\Synth.dll", kDll32);
  fs.AddFile(L"C:\\VST\\Delay.dll", kDll32);
  fs.AddFile(L"C:\\VST\\x64.dll", kDll64);
  fs.AddFile(L"C:\\VST\\x.dll", "not a program");
  fs.AddFile(L"C:\\VST\\readme.txt", "text");
  fs.AddFile(L"D:\\Plugins\\SYNTH.DLL", kDll32);

  const DupeSearchResult result = Run({L"C:\\VST", L"D:\\Plugins"});
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.error, 0u);
  EXPECT_EQ(observer.reports,
            (Reports{
                L"state 1",
                L"status Searching for 32-bit files in C:\\VST...",
                L"file C:\\VST\\Delay.dll",
                L"file C:\\VST\\Synth.dll",
                L"file C:\\VST\\x.dll",
                L"file C:\\VST\\x64.dll",
                L"status Searching for 32-bit files in D:\\Plugins...",
                L"file D:\\Plugins\\SYNTH.DLL",
                L"status Completed searching 2 folders.",
                L"file Found 1 single files, 1 files with duplicates, and 3 files total.",
                L"state 0",
            }));
  EXPECT_EQ(Groups(expected),
            (std::map<std::wstring, Reports>{
                {L"delay.dll", {L"C:\\VST\\Delay.dll"}},
                {L"synth.dll", {L"C:\\VST\\Synth.dll", L"D:\\Plugins\\SYNTH.DLL"}}}));
  EXPECT_EQ(Groups(unexpected),
            (std::map<std::wstring, Reports>{{L"x.dll", {L"C:\\VST\\x.dll"}},
                                             {L"x64.dll", {L"C:\\VST\\x64.dll"}}}));
  EXPECT_EQ(observer.filesWithRedirection, 0) << "the search runs with redirection off";
  EXPECT_EQ(system.ActiveRedirectionScopes(), 0);
}

// The headers are read under the one redirection scope the search holds for its whole walk: no
// scope of their own per file (each costs a 32-bit program a library load), and every file still
// sorted by its machine.
TEST_F(DupeSearchTest, OneRedirectionScopeServesEveryHeaderOfTheSearch) {
  fs.AddFile(L"C:\\VST\\a.dll", kDll32);
  fs.AddFile(L"C:\\VST\\b.dll", kDll64);
  fs.AddFile(L"C:\\VST\\Sub\\c.dll", kDll32);
  ASSERT_TRUE(Run({L"C:\\VST"}).completed);
  EXPECT_EQ(system.RedirectionScopesMade(), 1);
  EXPECT_EQ(system.ActiveRedirectionScopes(), 0);
  EXPECT_EQ(Groups(expected),
            (std::map<std::wstring, Reports>{{L"a.dll", {L"C:\\VST\\a.dll"}},
                                             {L"c.dll", {L"C:\\VST\\Sub\\c.dll"}}}));
  EXPECT_EQ(Groups(unexpected), (std::map<std::wstring, Reports>{{L"b.dll", {L"C:\\VST\\b.dll"}}}));
}

TEST_F(DupeSearchTest, TheChosenPlatformDecidesWhatIsExpected) {
  fs.AddFile(L"C:\\VST\\a32.dll", kDll32);
  fs.AddFile(L"C:\\VST\\b64.dll", kDll64);
  fs.AddFile(L"C:\\VST\\c64.dll", kDll64);
  fs.AddFile(L"C:\\VST\\arm.dll", Dll(pe::kMachineArmNt));
  EXPECT_TRUE(Run({L"C:\\VST"}, 1).completed);
  EXPECT_EQ(observer.reports[1], L"status Searching for 64-bit files in C:\\VST...");
  EXPECT_EQ(observer.reports[observer.reports.size() - 2],
            L"file Found 2 single files, 0 files with duplicates, and 2 files total.");
  EXPECT_EQ(Groups(expected).size(), 2u);
  EXPECT_TRUE(expected.Find(L"b64.dll") && expected.Find(L"c64.dll"));
  EXPECT_TRUE(unexpected.Find(L"a32.dll") && unexpected.Find(L"arm.dll"));
}

TEST_F(DupeSearchTest, AnEmptyFolderListCompletesWithZeros) {
  const DupeSearchResult result = Run({});
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(observer.reports,
            (Reports{L"state 1", L"status Completed searching 0 folders.",
                     L"file Found 0 single files, 0 files with duplicates, and 0 files total.",
                     L"state 0"}));
}

TEST_F(DupeSearchTest, AMissingOrUnlistableFolderContributesNothing) {
  fs.AddFile(L"C:\\VST\\Synth.dll", kDll32);
  fs.AddFile(L"C:\\Locked\\Delay.dll", kDll32);
  fs.InjectFailure(FakeFileSystem::Operation::FindFiles, L"C:\\Locked\\*", err::AccessDenied);
  EXPECT_TRUE(Run({L"C:\\Missing", L"C:\\Locked", L"C:\\VST"}).completed);
  EXPECT_EQ(Files(), Reports{L"C:\\VST\\Synth.dll"});
  EXPECT_EQ(observer.reports[observer.reports.size() - 3],
            L"status Completed searching 3 folders.");
}

TEST_F(DupeSearchTest, SearchesEverySubfolderAndTakesOnlyFilesEndingInDll) {
  fs.AddFile(L"C:\\VST\\Top.dll", kDll32);
  fs.AddFile(L"C:\\VST\\Hidden\\Deep\\Deeper.dll", kDll32);
  fs.AddFile(L"C:\\VST\\Bundle.dll\\Inner.dll", kDll32);  // a folder named like a plugin
  fs.AddFile(L"C:\\VST\\lower.DLL", kDll32);
  fs.AddFile(L"C:\\VST\\notes.dll.txt", "text");
  fs.SetAttributes(L"C:\\VST\\Hidden", attr::Hidden | attr::System);
  EXPECT_TRUE(Run({L"C:\\VST"}).completed);
  EXPECT_EQ(Files(),
            (Reports{L"C:\\VST\\lower.DLL", L"C:\\VST\\Top.dll", L"C:\\VST\\Bundle.dll\\Inner.dll",
                     L"C:\\VST\\Hidden\\Deep\\Deeper.dll"}));
  EXPECT_EQ(expected.Find(L"bundle.dll"), nullptr);
}

// Lists "*.dll" as a file system with generated short names does: "e.dllx" matches through
// its short name E~1.DLL.
class ShortNameMatching : public testing::ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  ErrorCode FindFiles(std::wstring_view pattern, const Visitor& visit) override {
    std::wstring p(pattern);
    if (EndsWithNoCase(p, L"\\*.dll")) p += L"*";
    return inner_.FindFiles(p, visit);
  }
};

TEST_F(DupeSearchTest, NamesMatchedThroughShortNamesAreLeftOut) {
  fs.AddFile(L"C:\\VST\\a.dll", kDll32);
  fs.AddFile(L"C:\\VST\\e.dllx", kDll32);
  ShortNameMatching shortNames(fs);
  EXPECT_TRUE(
      RunDupeSearch(shortNames, system, {L"C:\\VST"}, 0, expected, unexpected, observer, stop)
          .completed);
  EXPECT_EQ(Files(), Reports{L"C:\\VST\\a.dll"});
}

TEST_F(DupeSearchTest, StopEndsTheSearchAtTheNextTestWithoutEndReports) {
  fs.AddFile(L"C:\\A\\1.dll", kDll32);
  fs.AddFile(L"C:\\A\\2.dll", kDll32);
  fs.AddFile(L"C:\\A\\Sub\\3.dll", kDll32);
  fs.AddFile(L"C:\\A\\Sub\\4.dll", kDll32);
  fs.AddFile(L"C:\\B\\5.dll", kDll32);
  const Reports all{L"C:\\A\\1.dll", L"C:\\A\\2.dll", L"C:\\A\\Sub\\3.dll", L"C:\\A\\Sub\\4.dll",
                    L"C:\\B\\5.dll"};
  for (int stopAfter = 1; stopAfter <= 5; ++stopAfter) {
    SCOPED_TRACE(stopAfter);
    expected.Clear();
    unexpected.Clear();
    observer.reports.clear();
    observer.files = 0;
    observer.stopAfterFiles = stopAfter;
    stop = 0;

    const DupeSearchResult result = Run({L"C:\\A", L"C:\\B"});
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(result.error, 0u);
    EXPECT_EQ(Files(), Reports(all.begin(), all.begin() + stopAfter));
    // The last report is the file that asked to stop: B is not announced after A's last file.
    EXPECT_EQ(observer.reports.back(), L"file " + all[stopAfter - 1]);
    uint32_t singles = 0, duplicates = 0, total = 0;
    expected.CountGroups(singles, duplicates, total);
    EXPECT_EQ(total, uint32_t(stopAfter));
  }
  EXPECT_EQ(system.ActiveRedirectionScopes(), 0);
}

TEST_F(DupeSearchTest, LinksThatLeadBackAreNotEnteredAndEachFileIsFoundOnce) {
  fs.AddFile(L"C:\\VST\\Synth.dll", kDll32);
  fs.AddFile(L"C:\\VST\\Sub\\Delay.dll", kDll32);
  fs.AddFolderLink(L"C:\\VST\\Sub\\Loop", L"C:\\VST");       // to a parent
  fs.AddFolderLink(L"C:\\VST\\Sub\\Self", L"c:\\vst\\sub");  // to itself, in other case
  fs.AddFolderLink(L"C:\\VST\\Sub\\Drive", L"C:\\");         // to a folder above them all
  // Two links that lead to each other.
  fs.AddFile(L"C:\\A\\a.dll", kDll32);
  fs.AddFile(L"C:\\B\\b.dll", kDll32);
  fs.AddFolderLink(L"C:\\A\\ToB", L"C:\\B");
  fs.AddFolderLink(L"C:\\B\\ToA", L"C:\\A");

  EXPECT_TRUE(Run({L"C:\\VST", L"C:\\A"}).completed);
  EXPECT_EQ(Files(), (Reports{L"C:\\VST\\Synth.dll", L"C:\\VST\\Sub\\Delay.dll", L"C:\\A\\a.dll",
                              L"C:\\A\\ToB\\b.dll"}));
}

TEST_F(DupeSearchTest, ALinkIntoTheSearchedTreeIsADetourNotALoop) {
  fs.AddFile(L"C:\\VST\\Sub\\Delay.dll", kDll32);
  fs.AddFolderLink(L"C:\\VST\\Sub\\Up", L"C:\\VST");
  fs.AddFile(L"C:\\Other\\Reverb.dll", kDll32);
  fs.AddFolderLink(L"C:\\VST\\ToOther", L"C:\\Other");
  fs.AddFolderLink(L"C:\\Other\\Back", L"C:\\VST\\Sub");  // below the listed folder
  EXPECT_TRUE(Run({L"C:\\VST"}).completed);
  EXPECT_EQ(Files(), (Reports{L"C:\\VST\\Sub\\Delay.dll", L"C:\\VST\\ToOther\\Reverb.dll",
                              L"C:\\VST\\ToOther\\Back\\Delay.dll"}));
}

TEST_F(DupeSearchTest, ALinkThatDoesNotLeadBackFindsFilesAgainUnderItsPath) {
  fs.AddFile(L"D:\\Shared\\Synth.dll", kDll32);
  fs.AddFolderLink(L"C:\\VST\\Shared", L"D:\\Shared");
  fs.AddFolderLink(L"C:\\VST\\Again", L"D:\\Shared");
  EXPECT_TRUE(Run({L"C:\\VST", L"D:\\Shared"}).completed);
  EXPECT_EQ(Groups(expected), (std::map<std::wstring, Reports>{
                                  {L"synth.dll",
                                   {L"C:\\VST\\Again\\Synth.dll", L"C:\\VST\\Shared\\Synth.dll",
                                    L"D:\\Shared\\Synth.dll"}}}));
}

TEST_F(DupeSearchTest, APathOf260CharactersOrMoreEndsItsBranch) {
  const std::wstring a = L"C:\\VST\\" + std::wstring(120, L'a');
  const std::wstring b = a + L"\\" + std::wstring(120, L'b');  // 248 characters
  ASSERT_EQ(b.size(), 248u);
  const std::wstring fits = b + L"\\" + std::wstring(6, L'y') + L".dll";     // 259
  const std::wstring tooLong = b + L"\\" + std::wstring(7, L'z') + L".dll";  // 260
  const std::wstring folder259 = b + L"\\" + std::wstring(10, L'd');
  fs.AddFile(fits, kDll32);
  fs.AddFile(tooLong, kDll32);
  fs.AddFile(folder259 + L"\\d.dll", kDll32);  // its folder fits, its listing cannot
  fs.AddFile(b + L"\\" + std::wstring(12, L'c') + L"\\c.dll", kDll32);

  EXPECT_TRUE(Run({L"C:\\VST"}).completed);
  EXPECT_EQ(Files(), Reports{fits});
}

TEST_F(DupeSearchTest, WithoutFinalPathsALoopStillEndsAtTheLengthLimit) {
  fs.AddFile(L"C:\\VST\\Synth.dll", kDll32);
  fs.AddFolderLink(L"C:\\VST\\Loop", L"C:\\VST");
  fs.InjectFailure(FakeFileSystem::Operation::GetFinalPath, L"*", err::NotSupported);

  EXPECT_TRUE(Run({L"C:\\VST"}).completed);
  const Reports files = Files();
  // C:\VST\Synth.dll, C:\VST\Loop\Synth.dll, ... while the path fits.
  const size_t expectedCount = (259 - std::wstring(L"C:\\VST\\Synth.dll").size()) / 5 + 1;
  ASSERT_EQ(files.size(), expectedCount);
  for (const std::wstring& path : files) {
    EXPECT_LT(path.size(), 260u);
    EXPECT_TRUE(fs.IsFile(path)) << ToUtf8(path) << " is not a path that was found";
  }
}

TEST_F(DupeSearchTest, AFailureInsideEndsTheSearchState) {
  fs.AddFile(L"C:\\VST\\Synth.dll", kDll32);
  struct Throwing : RecordingObserver {
    using RecordingObserver::RecordingObserver;
    void OnFile(const std::wstring& text) override {
      RecordingObserver::OnFile(text);
      throw std::runtime_error("page gone");
    }
  } throwing{stop, system};
  const DupeSearchResult result =
      RunDupeSearch(fs, system, {L"C:\\VST"}, 0, expected, unexpected, throwing, stop);
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(result.error, err::InternalError);
  EXPECT_EQ(throwing.reports.back(), L"state 0");
  EXPECT_EQ(system.ActiveRedirectionScopes(), 0);
}

// --- VST3 and CLAP plugins, and copies compared by content --------------------------------------

namespace {

// A bundle "<folder>\<name>" whose binary lies in Contents\<platform folder>\<binary name>.
void AddBundle(FakeFileSystem& fs, const std::wstring& folder, const std::wstring& name,
               const wchar_t* platformFolder, const std::vector<uint8_t>& binary,
               const std::wstring& binaryName = {}) {
  const std::wstring bundle = folder + L"\\" + name;
  fs.AddFolder(bundle + L"\\Contents\\Resources");
  if (platformFolder) {
    fs.AddFile(bundle + L"\\Contents\\" + platformFolder + L"\\" +
                   (binaryName.empty() ? name : binaryName),
               binary);
  }
}

struct Row {
  std::wstring path;
  std::wstring machine;
  bool bundle;
};
using Rows = std::vector<Row>;
bool operator==(const Row& a, const Row& b) {
  return a.path == b.path && a.machine == b.machine && a.bundle == b.bundle;
}
void PrintTo(const Row& row, std::ostream* out) {
  *out << ToUtf8(row.path) << " " << ToUtf8(row.machine) << (row.bundle ? " bundle" : "");
}

Rows RowsOf(const CPluginMap& map, std::wstring_view key) {
  Rows rows;
  if (const CPluginList* list = map.Find(key)) {
    for (const auto& m : list->Members())
      rows.push_back(
          {m.file.GetPath(), MachineTypeLabel(m.file.RecordedMachine()), m.file.IsBundle()});
  }
  return rows;
}

}  // namespace

TEST_F(DupeSearchTest, WithoutModernFormatsVst3AndClapPluginsAreNotLookedAt) {
  fs.AddFile(L"C:\\VST\\Synth.vst3", kDll64);
  fs.AddFile(L"C:\\VST\\Synth.clap", kDll64);
  AddBundle(fs, L"C:\\VST", L"Pad.vst3", kBundleBinaryFolder64, kDll64);
  fs.AddFile(L"C:\\VST\\Pad.vst3\\Contents\\x86_64-win\\inner.dll", kDll64);
  EXPECT_TRUE(Run({L"C:\\VST"}, 1).completed);
  EXPECT_EQ(Files(), (Reports{L"C:\\VST\\Pad.vst3\\Contents\\x86_64-win\\inner.dll"}))
      << "a bundle is an ordinary folder, searched for DLLs only";
  EXPECT_EQ(std::count(observer.reports.begin(), observer.reports.end(),
                       L"status Comparing copies of the same name..."),
            0);
}

TEST_F(DupeSearchTest, ModernFormatsFindVst3FilesBundlesAndClapFilesUnderTheirOwnNames) {
  fs.AddFile(L"C:\\VST\\Serum.dll", kDll64);
  fs.AddFile(L"C:\\VST\\Serum.clap", kDll64);
  fs.AddFile(L"C:\\VST\\Old\\Serum.vst3", kDll64);  // a file and a bundle of the same name
  AddBundle(fs, L"C:\\VST3", L"Serum.vst3", kBundleBinaryFolder64, kDll64);
  // Both platform folders: the chosen platform's binary decides.
  AddBundle(fs, L"C:\\VST3", L"Both.vst3", kBundleBinaryFolder32, kDll32);
  AddBundle(fs, L"C:\\VST3", L"Both.vst3", kBundleBinaryFolder64, kDll64);
  // Only the other platform's binary: found, but unexpected.
  AddBundle(fs, L"C:\\VST3", L"Old32.vst3", kBundleBinaryFolder32, kDll32);
  // No binary at all, and a binary under another name.
  AddBundle(fs, L"C:\\VST3", L"Empty.vst3", nullptr, {});
  AddBundle(fs, L"C:\\VST3", L"Renamed.vst3", kBundleBinaryFolder64, kDll64, L"Other.vst3");
  // A foreign machine inside a bundle.
  AddBundle(fs, L"C:\\VST3", L"Arm.vst3", kBundleBinaryFolder64, Dll(pe::kMachineArmNt));

  EXPECT_TRUE(Run({L"C:\\VST", L"C:\\VST3"}, 1, {true}).completed);

  EXPECT_EQ(RowsOf(expected, L"serum.dll"), (Rows{{L"C:\\VST\\Serum.dll", L"64-bit", false}}));
  EXPECT_EQ(RowsOf(expected, L"serum.clap"), (Rows{{L"C:\\VST\\Serum.clap", L"64-bit", false}}));
  EXPECT_EQ(RowsOf(expected, L"serum.vst3"), (Rows{{L"C:\\VST\\Old\\Serum.vst3", L"64-bit", false},
                                                   {L"C:\\VST3\\Serum.vst3", L"64-bit", true}}));
  EXPECT_EQ(RowsOf(expected, L"both.vst3"), (Rows{{L"C:\\VST3\\Both.vst3", L"64-bit", true}}));
  EXPECT_EQ(RowsOf(expected, L"renamed.vst3"),
            (Rows{{L"C:\\VST3\\Renamed.vst3", L"64-bit", true}}));
  EXPECT_EQ(RowsOf(unexpected, L"old32.vst3"), (Rows{{L"C:\\VST3\\Old32.vst3", L"32-bit", true}}));
  EXPECT_EQ(RowsOf(unexpected, L"empty.vst3"), (Rows{{L"C:\\VST3\\Empty.vst3", L"?", true}}));
  EXPECT_EQ(RowsOf(unexpected, L"arm.vst3"), (Rows{{L"C:\\VST3\\Arm.vst3", L"ARM", true}}));
  EXPECT_EQ(unexpected.GetGroups().size(), 3u);

  // The bundle's size and binary are its binary's; its name is the folder's.
  const CPluginFile& bundle = expected.Find(L"serum.vst3")->Members().back().file;
  EXPECT_EQ(bundle.ContentPath(), L"C:\\VST3\\Serum.vst3\\Contents\\x86_64-win\\Serum.vst3");
  EXPECT_EQ(bundle.GetSize(), kDll64.size());
  EXPECT_EQ(bundle.GetFolder(), L"C:\\VST3");
  // Nothing inside a bundle is reported as a file of its own.
  for (const std::wstring& file : Files())
    EXPECT_EQ(file.find(L"\\Contents\\"), std::wstring::npos) << ToUtf8(file);

  // The 32-bit search takes the 32-bit binary of a bundle that has both.
  expected.Clear();
  unexpected.Clear();
  EXPECT_TRUE(Run({L"C:\\VST3"}, 0, {true}).completed);
  EXPECT_EQ(RowsOf(expected, L"both.vst3"), (Rows{{L"C:\\VST3\\Both.vst3", L"32-bit", true}}));
  EXPECT_EQ(RowsOf(expected, L"old32.vst3"), (Rows{{L"C:\\VST3\\Old32.vst3", L"32-bit", true}}));
  EXPECT_EQ(RowsOf(unexpected, L"serum.vst3"), (Rows{{L"C:\\VST3\\Serum.vst3", L"64-bit", true}}));
}

TEST_F(DupeSearchTest, CopiesOfEqualSizeAreComparedByContent) {
  std::vector<uint8_t> other = kDll64;
  other.back() ^= 0xFF;  // the same size, one byte different
  std::vector<uint8_t> longer = kDll64;
  longer.push_back(0);
  fs.AddFile(L"C:\\A\\Synth.vst3", kDll64);
  // A bundle holding A's file as its binary is a folder tree, never the file's copy.
  AddBundle(fs, L"C:\\B", L"Synth.vst3", kBundleBinaryFolder64, kDll64);
  fs.AddFile(L"C:\\C\\Synth.vst3", other);
  fs.AddFile(L"C:\\D\\Synth.vst3", longer);
  fs.AddFile(L"C:\\E\\Synth.vst3", other);    // same as C
  fs.AddFile(L"C:\\A\\Lonely.clap", kDll64);  // a single is never compared
  fs.AddFile(L"C:\\A\\Empty.clap", std::vector<uint8_t>{});
  fs.AddFile(L"C:\\B\\Empty.clap", std::vector<uint8_t>{});  // empty files say nothing
  fs.AddFile(L"C:\\A\\Old.dll", kDll32);
  fs.AddFile(L"C:\\B\\Old.dll", kDll32);  // the unexpected map is compared too

  fs.AddFile(L"C:\\F\\Synth.vst3", kDll64);  // same as A

  EXPECT_TRUE(
      Run({L"C:\\A", L"C:\\B", L"C:\\C", L"C:\\D", L"C:\\E", L"C:\\F"}, 1, {true}).completed);
  const auto classes = [](const CPluginMap& map, std::wstring_view key) {
    std::vector<uint32_t> result;
    for (const auto& m : map.Find(key)->Members()) result.push_back(m.file.ContentClass());
    return result;
  };
  const std::vector<uint32_t> synth = classes(expected, L"synth.vst3");
  ASSERT_EQ(synth.size(), 6u);
  EXPECT_NE(synth[0], 0u);
  EXPECT_EQ(synth[1], 0u) << "a bundle is compared with bundles only";
  EXPECT_NE(synth[2], 0u);
  EXPECT_NE(synth[2], synth[0]);
  EXPECT_EQ(synth[3], 0u) << "no other copy of its size";
  EXPECT_EQ(synth[4], synth[2]);
  EXPECT_EQ(synth[5], synth[0]);
  EXPECT_EQ(classes(expected, L"lonely.clap"), (std::vector<uint32_t>{0}));
  EXPECT_EQ(classes(unexpected, L"empty.clap"), (std::vector<uint32_t>{0, 0}));
  const std::vector<uint32_t> old = classes(unexpected, L"old.dll");
  EXPECT_NE(old[0], 0u);
  EXPECT_EQ(old[1], old[0]);
  EXPECT_NE(old[0], synth[0]);
  EXPECT_NE(old[0], synth[2]);
  // The comparison comes after the walk and before the end reports.
  const auto at = std::find(observer.reports.begin(), observer.reports.end(),
                            L"status Comparing copies of the same name...");
  ASSERT_NE(at, observer.reports.end());
  EXPECT_EQ(*(at + 1), L"status Completed searching 6 folders.");
}

TEST_F(DupeSearchTest, CopiesThatCannotBeReadMatchNothing) {
  fs.AddFile(L"C:\\A\\Synth.clap", kDll64);
  std::vector<uint8_t> longer = kDll64;
  longer.push_back(1);
  fs.AddFile(L"C:\\B\\Synth.clap", longer);
  fs.AddFile(L"C:\\A\\Pad.clap", kDll64);
  fs.AddFile(L"C:\\B\\Pad.clap", kDll64);
  EXPECT_TRUE(Run({L"C:\\A", L"C:\\B"}, 1).completed);  // the walk alone

  fs.InjectFailure(FakeFileSystem::Operation::ReadFile, L"C:\\A\\Synth.clap", err::AccessDenied);
  fs.InjectFailure(FakeFileSystem::Operation::ReadFile, L"C:\\B\\Synth.clap", err::AccessDenied);
  fs.InjectFailure(FakeFileSystem::Operation::ReadFile, L"C:\\B\\Pad.clap", err::SharingViolation);
  CancelFlag noStop{0};
  ASSERT_TRUE(MarkIdenticalCopies(fs, expected, noStop).has_value());
  for (const auto& [key, list] : expected.GetGroups())
    for (const auto& m : list.Members()) EXPECT_EQ(m.file.ContentClass(), 0u) << ToUtf8(key);
}

TEST_F(DupeSearchTest, StopEndsTheComparisonWithoutEndReports) {
  for (const wchar_t* folder : {L"C:\\A", L"C:\\B", L"C:\\C"}) {
    fs.AddFile(std::wstring(folder) + L"\\Synth.clap", kDll64);
  }
  CancelFlag stopNow{1};
  EXPECT_TRUE(Run({L"C:\\A", L"C:\\B", L"C:\\C"}, 1, {true}).completed);
  EXPECT_FALSE(MarkIdenticalCopies(fs, expected, stopNow).has_value());
  stopNow = 0;
  EXPECT_EQ(MarkIdenticalCopies(fs, expected, stopNow, 7), std::optional<uint32_t>(8u));
  for (const auto& m : expected.Find(L"synth.clap")->Members())
    EXPECT_EQ(m.file.ContentClass(), 7u);

  expected.Clear();
  observer.reports.clear();
  observer.files = 0;
  observer.stopAfterFiles = 3;  // at the walk's last file: neither comparison nor end reports
  const DupeSearchResult result = Run({L"C:\\A", L"C:\\B", L"C:\\C"}, 1, {true});
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(observer.reports.back(), L"file C:\\C\\Synth.clap");
}

// ARM64 plugins are other-platform files with their platform named, never broken ones: bundles
// by the folder their binary lies in, single files by their header.
TEST_F(DupeSearchTest, Arm64BundlesAndFilesAreListedWithTheirPlatform) {
  const struct {
    const char* what;
    const wchar_t* name;
    const wchar_t* platformFolder;  // null: a single file
    std::vector<uint8_t> binary;
    bool expected;
    const wchar_t* label;
  } cases[] = {
      {"an ARM64 bundle", L"A64.vst3", kBundleBinaryFolderArm64, Dll(pe::kMachineArm64), false,
       L"ARM64"},
      {"an ARM64EC bundle, whose header says AMD64", L"Ec.vst3", kBundleBinaryFolderArm64Ec, kDll64,
       false, L"ARM64EC"},
      {"an ARM64X bundle", L"X.vst3", kBundleBinaryFolderArm64X, Dll(pe::kMachineArm64), false,
       L"ARM64X"},
      {"an ARM64 folder holding no image stays broken", L"Broken.vst3", kBundleBinaryFolderArm64,
       std::vector<uint8_t>(600, 'a'), false, L"?"},
      {"an ARM64 single-file VST3", L"Single.vst3", nullptr, Dll(pe::kMachineArm64), false,
       L"ARM64"},
      {"an ARM64 CLAP", L"Synth.clap", nullptr, Dll(pe::kMachineArm64), false, L"ARM64"},
      {"an ARM64 DLL", L"Synth.dll", nullptr, Dll(pe::kMachineArm64), false, L"ARM64"},
  };
  for (const auto& c : cases) {
    if (c.platformFolder) {
      AddBundle(fs, L"C:\\VST3", c.name, c.platformFolder, c.binary);
      fs.AddFile(L"C:\\VST3\\" + std::wstring(c.name) + L"\\Contents\\moduleinfo.json", "{}");
    } else {
      fs.AddFile(L"C:\\VST3\\" + std::wstring(c.name), c.binary);
    }
  }
  // A bundle with an x64 and an ARM64 binary is the x64 plugin for a 64-bit search.
  AddBundle(fs, L"C:\\VST3", L"Both.vst3", kBundleBinaryFolder64, kDll64);
  AddBundle(fs, L"C:\\VST3", L"Both.vst3", kBundleBinaryFolderArm64, Dll(pe::kMachineArm64));

  for (const int platform : {0, 1}) {
    SCOPED_TRACE(platform);
    expected.Clear();
    unexpected.Clear();
    ASSERT_TRUE(Run({L"C:\\VST3"}, platform, {true}).completed);
    for (const auto& c : cases) {
      SCOPED_TRACE(c.what);
      std::wstring key = c.name;
      for (wchar_t& ch : key) ch = FoldCase(ch);
      const CPluginList* list = (c.expected ? expected : unexpected).Find(key);
      ASSERT_NE(list, nullptr);
      ASSERT_EQ(list->Count(), 1u);
      const CPluginFile& file = list->Members().front().file;
      EXPECT_STREQ(MachineTypeLabel(file.RecordedMachine()), c.label);
      // A bundle's size is that of all its files: the binary and moduleinfo.json.
      EXPECT_EQ(file.GetSize(), c.binary.size() + (c.platformFolder ? 2 : 0));
    }
    EXPECT_EQ(RowsOf(platform == 1 ? expected : unexpected, L"both.vst3"),
              (Rows{{L"C:\\VST3\\Both.vst3", L"64-bit", true}}));
  }
}

// Bundles are compared whole: two with the same binary differ when anything else in them does.
TEST_F(DupeSearchTest, BundlesThatDifferOnlyOutsideTheBinaryAreNotTheSame) {
  // What every bundle of the case holds unless the case says otherwise.
  const auto addBase = [this](const std::wstring& folder) {
    const std::wstring bundle = folder + L"\\Synth.vst3";
    AddBundle(fs, folder, L"Synth.vst3", kBundleBinaryFolder64, kDll64);
    AddBundle(fs, folder, L"Synth.vst3", kBundleBinaryFolder32, kDll32);
    fs.AddFile(bundle + L"\\Contents\\Resources\\icon.png", "picture");
    fs.AddFile(bundle + L"\\Contents\\moduleinfo.json", "{\"Version\": \"1.0\"}");
  };
  const struct {
    const char* what;
    void (*change)(FakeFileSystem& fs, const std::wstring& bundle);
    bool same;
  } cases[] = {
      {"the same bundle", [](FakeFileSystem&, const std::wstring&) {}, true},
      {"names that differ only in case",
       [](FakeFileSystem& fs, const std::wstring& bundle) {
         fs.DeleteFile(bundle + L"\\Contents\\Resources\\icon.png");
         fs.AddFile(bundle + L"\\Contents\\Resources\\ICON.png", "picture");
       },
       true},
      {"without the other platform's binary",
       [](FakeFileSystem& fs, const std::wstring& bundle) {
         fs.DeleteFile(bundle + L"\\Contents\\x86-win\\Synth.vst3");
         fs.AddFile(bundle + L"\\Contents\\x86-win\\pad.bin",
                    std::vector<uint8_t>(kDll32.size(), 0));  // the size kept
       },
       false},
      {"without its Resources",
       [](FakeFileSystem& fs, const std::wstring& bundle) {
         fs.DeleteFile(bundle + L"\\Contents\\Resources\\icon.png");
         fs.AddFile(bundle + L"\\Contents\\Resources2\\icon.png", "picture");
       },
       false},
      {"a moduleinfo.json of one other byte",
       [](FakeFileSystem& fs, const std::wstring& bundle) {
         fs.AddFile(bundle + L"\\Contents\\moduleinfo.json", "{\"Version\": \"1.1\"}");
       },
       false},
      {"a file that cannot be read",
       [](FakeFileSystem& fs, const std::wstring& bundle) {
         fs.InjectFailure(FakeFileSystem::Operation::ReadFile,
                          bundle + L"\\Contents\\moduleinfo.json", err::SharingViolation);
       },
       false},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring a = L"C:\\A" + std::to_wstring(index), b = L"C:\\B" + std::to_wstring(index);
    ++index;
    addBase(a);
    addBase(b);
    c.change(fs, b + L"\\Synth.vst3");
    expected.Clear();
    unexpected.Clear();
    ASSERT_TRUE(Run({a, b}, 1, {true}).completed);
    const CPluginList* list = expected.Find(L"synth.vst3");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Count(), 2u);
    const CPluginFile& first = list->Members().front().file;
    const CPluginFile& second = list->Members().back().file;
    EXPECT_EQ(first.GetSize(), kDll64.size() + kDll32.size() + 7 + 18) << "the whole bundle's size";
    EXPECT_EQ(first.ContentClass() != 0 && first.ContentClass() == second.ContentClass(), c.same);
  }
}

// Every row of a set of identical copies names the same first row, whatever the order shown.
TEST_F(DupeSearchTest, EachRowOfASetNamesTheSameFirstRow) {
  std::vector<uint8_t> other = kDll64;
  other.back() ^= 1;
  for (const wchar_t* folder : {L"C:\\A", L"C:\\B", L"C:\\C"})
    fs.AddFile(std::wstring(folder) + L"\\Synth.clap", kDll64);
  fs.AddFile(L"C:\\D\\Synth.clap", other);
  ASSERT_TRUE(Run({L"C:\\A", L"C:\\B", L"C:\\C", L"C:\\D"}, 1, {true}).completed);
  CPluginList& list = *expected.Find(L"synth.clap");
  EXPECT_EQ(SameAsCells(list), (std::vector<std::wstring>{L"C:\\A", L"C:\\A", L"C:\\A", L""}));
  list.Reverse();
  EXPECT_EQ(SameAsCells(list), (std::vector<std::wstring>{L"", L"C:\\C", L"C:\\C", L"C:\\C"}));
  // With its copies deleted, a file names nothing.
  ASSERT_EQ(list.DeleteById(std::next(list.Members().begin())->id), 0u);
  ASSERT_EQ(list.DeleteById(std::next(list.Members().begin())->id), 0u);
  EXPECT_EQ(SameAsCells(list), (std::vector<std::wstring>{L"", L""}));
}

}  // namespace
}  // namespace tessaly
