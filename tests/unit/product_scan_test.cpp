// The product manager's scan sequence against the fakes: its steps and keys in order, what it
// leaves for the page (records, file names, bundles, folder lists), and where a stop ends it.
#include "product_manager/product_scan.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"

namespace tessaly {
namespace {

constexpr RegRoot kHklm = RegRoot::LocalMachine;
using Events = std::vector<std::wstring>;

std::wstring StepName(ProductScanStep step) {
  switch (step) {
    case ProductScanStep::Initializing: return L"initializing";
    case ProductScanStep::LoadingFileDatabase: return L"file database";
    case ProductScanStep::Scanning: return L"scanning";
    case ProductScanStep::LoadingBundles: return L"bundles";
    case ProductScanStep::Gathering: return L"gathering";
    case ProductScanStep::Completed: return L"completed";
  }
  return L"?";
}

// Writes down each report ("key <name>" for a key) and sets the stop flag at the report
// `stopAt` names.
class RecordingObserver : public ProductScanObserver {
 public:
  explicit RecordingObserver(CancelFlag& stop) : stop_(stop) {}
  void OnStep(ProductScanStep step) override { Note(StepName(step)); }
  void OnKey(const wchar_t* keyName) override { Note(L"key " + std::wstring(keyName)); }

  Events events;
  std::wstring stopAt;

 private:
  void Note(std::wstring event) {
    if (event == stopAt) stop_ = 1;
    events.push_back(std::move(event));
  }
  CancelFlag& stop_;
};

// A 64-bit machine: a Service Center with a hints file naming one bundle, a file database, two
// products in the 64-bit view, one of them and a third in the 32-bit view.
class ProductScanTest : public ::testing::Test {
 public:
  void SetUp() override {
    Key(L"ServiceCenter", RegView::Key64, {{L"InstallDir", L"C:\\SC"}});
    fs.AddFile(L"C:\\SC\\conf\\ProductHints.xml", std::string_view(R"(<ProductHints>
      <P><RegKey>Studio Suite</RegKey><Type>Bundle</Type><Members><Member>S-1</Member></Members></P>
    </ProductHints>)"));
    fs.AddFile(L"C:\\T\\FileDatabase.xml",
               std::string_view(
                   R"(<FileDatabase><Product RegKey="Synth"><AppFile>Synth.exe</AppFile></Product>
           </FileDatabase>)"));
    Key(L"Synth", RegView::Key64,
        {{L"InstallDir", L"C:\\Apps\\Synth"},
         {L"InstallVSTDir", L"C:\\VST"},
         {L"InstallVST64Dir", L"C:\\VST64"},
         {L"KEY", L"k"},
         {L"SNO", L"S-1"},
         {L"SYSTEMID", L"i"}});
    Key(L"Lib", RegView::Key64, {{L"ContentDir", L"D:\\Lib"}, {L"ContentVersion", L"1.0"}});
    // The 64-bit view's product wins over its 32-bit twin.
    Key(L"Synth", RegView::Key32, {{L"InstallDir", L"C:\\Old"}, {L"KEY", L"k"}});
    Key(L"Drums", RegView::Key32,
        {{L"InstallDir", L"c:\\apps\\synth"},
         {L"InstallVSTDir", L"C:\\Other VST"},
         {L"KEY", L"k"},
         {L"SNO", L"D-2"},
         {L"SYSTEMID", L"i"}});
  }

  void Key(const std::wstring& name, RegView view,
           std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values) {
    const std::wstring key = L"SOFTWARE\\Native Instruments\\" + name;
    reg.CreateKeyAt(kHklm, key, view);
    for (const auto& [value, text] : values) reg.SetString(kHklm, key, value, text, view);
  }

  FakeRegistry reg;
  FakeFileSystem fs;
  FakeSystem system;
};

// One run of the scan over a library of its own, stopped at the report `stopAt` names.
struct ScanRun {
  ScanRun(ProductScanTest& machine, const std::wstring& stopAt = L"")
      : library(machine.reg, machine.fs, machine.system) {
    // What an earlier run left: a run that completes replaces it.
    folders.fill({L"stale"});
    observer.stopAt = stopAt;
    completed = RunProductScan(library, L"C:\\T\\FileDatabase.xml", folders, stop, observer);
  }
  std::vector<std::wstring> KeyNames() const {
    std::vector<std::wstring> names;
    for (const CNiProduct& record : library.records()) names.push_back(record.keyName);
    return names;
  }

  CNiLibrary library;
  ProductFolderLists folders;
  CancelFlag stop{0};
  RecordingObserver observer{stop};
  bool completed = false;
};

TEST_F(ProductScanTest, RunsEveryStepInOrderAndLeavesWhatThePageShows) {
  const ScanRun run(*this);
  ASSERT_TRUE(run.completed);
  // Keys in the fake's enumeration order (upper-case names, like Windows), the 64-bit view first;
  // the 32-bit pass reports its twin of Synth too before it skips it.
  EXPECT_EQ(run.observer.events, (Events{L"initializing", L"file database", L"scanning", L"key Lib",
                                         L"key ServiceCenter", L"key Synth", L"key Drums",
                                         L"key Synth", L"bundles", L"gathering", L"completed"}));
  EXPECT_EQ(run.KeyNames(),
            (std::vector<std::wstring>{L"Drums", L"Lib", L"ServiceCenter", L"Synth"}));
  const CNiProduct* synth = run.library.FindByName(L"Synth");
  ASSERT_NE(synth, nullptr);
  EXPECT_EQ(synth->GetValue(valuekind::InstallDir), L"C:\\Apps\\Synth");
  EXPECT_EQ(synth->appFile, L"Synth.exe");
  NoCaseTextSet bundles;
  EXPECT_EQ(run.library.Bundles().GetBundlesContaining(L"S-1", bundles), 1u);
  EXPECT_EQ(bundles, (NoCaseTextSet{L"Studio Suite"}));
  // In the page's slot order: content, install, 32-bit and 64-bit plugin folders.
  EXPECT_EQ(run.folders[0], (std::vector<std::wstring>{L"D:\\Lib"}));
  // The same folder in other letters is one entry, spelt as the first record by name has it.
  EXPECT_EQ(run.folders[1], (std::vector<std::wstring>{L"c:\\apps\\synth", L"C:\\SC"}));
  EXPECT_EQ(run.folders[2], (std::vector<std::wstring>{L"C:\\Other VST", L"C:\\VST"}));
  EXPECT_EQ(run.folders[3], (std::vector<std::wstring>{L"C:\\VST64"}));
  EXPECT_EQ(run.stop.load(), 0);
}

TEST_F(ProductScanTest, AStopEndsTheScanAtItsNextPollKeepingWhatItRead) {
  const struct {
    const wchar_t* stopAt;
    bool completed;
    const wchar_t* lastEvent;
    std::vector<std::wstring> records;
    bool fileDatabase;  // read
    size_t bundles;
    bool listsFilled;  // else left as they were
  } cases[] = {
      // Before the file database: nothing read but the catalogs and the hints.
      {L"initializing", false, L"initializing", {}, false, 0, false},
      // The scan polls after each key: the key in hand is still taken.
      {L"key ServiceCenter",
       false,
       L"key ServiceCenter",
       {L"Lib", L"ServiceCenter"},
       true,
       0,
       false},
      {L"key Drums",
       false,
       L"key Drums",
       {L"Drums", L"Lib", L"ServiceCenter", L"Synth"},
       true,
       0,
       false},
      {L"bundles",
       false,
       L"bundles",
       {L"Drums", L"Lib", L"ServiceCenter", L"Synth"},
       true,
       1,
       false},
      // The folder lists are not polled: a stop there still completes them.
      {L"gathering",
       true,
       L"completed",
       {L"Drums", L"Lib", L"ServiceCenter", L"Synth"},
       true,
       1,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "stop at " << ToUtf8(c.stopAt));
    const ScanRun run(*this, c.stopAt);
    EXPECT_EQ(run.completed, c.completed);
    ASSERT_FALSE(run.observer.events.empty());
    EXPECT_EQ(run.observer.events.back(), c.lastEvent);
    EXPECT_EQ(run.KeyNames(), c.records);
    EXPECT_EQ(run.library.fileDatabase.HasEntries(), c.fileDatabase);
    EXPECT_EQ(run.library.Bundles().Count(), c.bundles);
    EXPECT_EQ(run.folders[0], c.listsFilled ? std::vector<std::wstring>{L"D:\\Lib"}
                                            : std::vector<std::wstring>{L"stale"});
  }
}

}  // namespace
}  // namespace tessaly
