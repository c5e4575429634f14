// The thumbnail fixer's passes over the in-memory machine: which product folders are listed and
// where their shared folders are, what a fix copies and what it leaves, copies that fail, the
// folders visited on 64-bit and 32-bit Windows and the early ends; then the list's ordering,
// counters and texts.
#include "thumbnails/thumbnail_pass.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_system.h"
#include "tests/unit/forwarding_file_system.h"

namespace tessaly {
namespace {

const std::wstring kCommon86 = L"C:\\Program Files (x86)\\Common Files\\Native Instruments";
const std::wstring kCommon64 = L"C:\\Program Files\\Common Files\\Native Instruments";
const std::wstring kShared = L"C:\\Users\\Public\\Documents\\NI Resources\\image";
constexpr FileTime kHour = 3600 * kFileTimeTicksPerSecond;

// One row as the tests compare it: name, target, status and code.
struct Row {
  std::wstring name;
  std::wstring target;
  ThumbnailStatus status;
  ErrorCode error;
  bool operator==(const Row&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Row& r) {
  return os << ToUtf8(r.name) << " -> " << ToUtf8(r.target) << " "
            << ToUtf8(ThumbnailStatusWord(r.status)) << " " << r.error;
}

std::vector<Row> Rows(const ThumbnailItems& items) {
  std::vector<Row> rows;
  for (const ThumbnailItem& item : items) {
    rows.push_back({item.name, item.targetFolder, item.status, item.error});
  }
  return rows;
}

// A machine with the "Native Instruments" folders of both common files folders, and the list a
// pass fills.
struct Machine {
  Machine() {
    fs.AddFolder(kCommon86);
    fs.AddFolder(kCommon64);
  }
  // A product folder under `root` with its artwork: MST_artwork.png, and VB_artwork.png unless
  // `withVb` is false, written at kSourceTime with "product art" as their content.
  void AddProduct(const std::wstring& root, const std::wstring& name, bool withVb = true) {
    const std::wstring art = root + L"\\" + name + L"\\PAResources\\image\\" + name;
    fs.AddFile(art + L"\\MST_artwork.png", "product art", attr::Archive, kSourceTime);
    if (withVb) fs.AddFile(art + L"\\VB_artwork.png", "product art", attr::Archive, kSourceTime);
  }
  void AddShared(const std::wstring& folder, const wchar_t* file, FileTime time,
                 std::string_view text = "shared art", uint32_t attributes = attr::Archive) {
    fs.AddFile(kShared + L"\\" + folder + L"\\" + file, text, attributes, time);
  }

  ErrorCode Pass(ThumbnailPassMode mode) {
    items.clear();
    return RunThumbnailPass(fs, system, mode, items, &stop);
  }

  static constexpr FileTime kSourceTime = 133'540'000'000'000'000ull;  // early 2024
  FakeFileSystem fs;
  FakeSystem system;
  ThumbnailItems items;
  CancelFlag stop{0};
};
constexpr FileTime kSourceTime = Machine::kSourceTime;

class ThumbnailPassTest : public ::testing::Test, public Machine {};

TEST_F(ThumbnailPassTest, ScanListsProductsWithArtworkOfTheirOwnNameAgainstLowerCaseTargets) {
  AddProduct(kCommon86, L"Absynth 5");
  AddProduct(kCommon86, L"Massive");
  AddProduct(kCommon64, L"Massive");
  AddProduct(kCommon64, L"Kontakt 7");
  AddProduct(kCommon64, L"Session Strings Pro 2", false);
  // Not products of this page: no PAResources at all, artwork under another name, and a file.
  fs.AddFile(kCommon64 + L"\\Maschine 2\\Maschine 2.nicnt", "content");
  fs.AddFile(kCommon64 + L"\\Reaktor 6\\PAResources\\image\\Reaktor\\MST_artwork.png", "art");
  fs.AddFile(kCommon64 + L"\\readme.txt", "text");
  AddShared(L"kontakt 7", L"MST_artwork.png", kSourceTime);
  AddShared(L"kontakt 7", L"VB_artwork.png", kSourceTime);
  AddShared(L"massive", L"MST_artwork.png", kSourceTime);

  EXPECT_EQ(Pass(ThumbnailPassMode::Scan), 0u);
  // The (x86) folder first, then the 64-bit one, each in listing order; Massive twice, both rows
  // with the same shared folder.
  EXPECT_EQ(Rows(items), (std::vector<Row>{
                             {L"Absynth 5", kShared + L"\\absynth 5", ThumbnailStatus::Missing, 0},
                             {L"Massive", kShared + L"\\massive", ThumbnailStatus::Missing, 0},
                             {L"Kontakt 7", kShared + L"\\kontakt 7", ThumbnailStatus::Present, 0},
                             {L"Massive", kShared + L"\\massive", ThumbnailStatus::Missing, 0},
                             {L"Session Strings Pro 2", kShared + L"\\session strings pro 2",
                              ThumbnailStatus::Missing, 0},
                         }));
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[2].sourceFolder, kCommon64 + L"\\Kontakt 7\\PAResources\\image\\Kontakt 7");
  EXPECT_EQ(items[2].lowerName, L"kontakt 7");
  // A scan copies nothing; it only makes sure the shared artwork folder is there.
  for (const std::wstring& op : fs.Operations()) {
    EXPECT_EQ(op.rfind(L"CopyFile", 0), std::wstring::npos) << ToUtf8(op);
  }
  EXPECT_TRUE(fs.IsFolder(kShared));
  EXPECT_FALSE(fs.Exists(kShared + L"\\absynth 5"));
}

TEST_F(ThumbnailPassTest, EveryFileSystemCallOfThePassSeesThe64BitFolders) {
  struct Watcher : testing::ForwardingFileSystem {
    Watcher(FileSystem& inner, FakeSystem& system) : ForwardingFileSystem(inner), system(system) {}
    ErrorCode FindFiles(std::wstring_view pattern, const Visitor& visit) override {
      ++calls;
      if (system.ActiveRedirectionScopes() != 1) ++redirected;
      return inner_.FindFiles(pattern, visit);
    }
    FakeSystem& system;
    int calls = 0;
    int redirected = 0;
  } watcher(fs, system);
  AddProduct(kCommon64, L"Massive");
  EXPECT_EQ(RunThumbnailPass(watcher, system, ThumbnailPassMode::Fix, items), 0u);
  EXPECT_EQ(items.size(), 1u);
  EXPECT_GT(watcher.calls, 0);
  EXPECT_EQ(watcher.redirected, 0);
  EXPECT_EQ(system.ActiveRedirectionScopes(), 0);
}

TEST_F(ThumbnailPassTest, FixCopiesMissingAndOlderArtworkAndKeepsNewerFiles) {
  AddProduct(kCommon64, L"Kontakt 7");
  AddProduct(kCommon64, L"Session Strings Pro 2", false);
  AddProduct(kCommon64, L"Reaktor 6");
  AddProduct(kCommon64, L"Guitar Rig 6");
  fs.AddFile(kCommon64 + L"\\Kontakt 7\\PAResources\\image\\Kontakt 7\\Large\\MST_artwork.png",
             "large art", attr::Archive, kSourceTime);
  // Reaktor 6: the shared MST_artwork.png is newer and stays, VB_artwork.png is older and is
  // replaced. Guitar Rig 6: both shared files only 2 seconds older, which is not older.
  AddShared(L"reaktor 6", L"MST_artwork.png", kSourceTime + kHour, "newer shared art");
  AddShared(L"reaktor 6", L"VB_artwork.png", kSourceTime - kHour, "older shared art");
  AddShared(L"guitar rig 6", L"MST_artwork.png", kSourceTime - 2 * kFileTimeTicksPerSecond);
  AddShared(L"guitar rig 6", L"VB_artwork.png", kSourceTime - 2 * kFileTimeTicksPerSecond);

  EXPECT_EQ(Pass(ThumbnailPassMode::Fix), 0u);
  EXPECT_EQ(Rows(items),
            (std::vector<Row>{
                {L"Guitar Rig 6", kShared + L"\\guitar rig 6", ThumbnailStatus::Present, 0},
                {L"Kontakt 7", kShared + L"\\kontakt 7", ThumbnailStatus::Present, 0},
                {L"Reaktor 6", kShared + L"\\reaktor 6", ThumbnailStatus::Present, 0},
                {L"Session Strings Pro 2", kShared + L"\\session strings pro 2",
                 ThumbnailStatus::Missing, 0},
            }));
  EXPECT_EQ(fs.ContentsText(kShared + L"\\kontakt 7\\VB_artwork.png"), "product art");
  EXPECT_EQ(fs.ContentsText(kShared + L"\\kontakt 7\\Large\\MST_artwork.png"), "large art");
  EXPECT_EQ(fs.ContentsText(kShared + L"\\reaktor 6\\MST_artwork.png"), "newer shared art");
  EXPECT_EQ(fs.ContentsText(kShared + L"\\reaktor 6\\VB_artwork.png"), "product art");
  EXPECT_EQ(fs.ContentsText(kShared + L"\\guitar rig 6\\MST_artwork.png"), "shared art");
  EXPECT_EQ(fs.List(kShared + L"\\session strings pro 2"),
            (std::vector<std::wstring>{L"MST_artwork.png"}));
}

TEST_F(ThumbnailPassTest, AReadOnlyOlderTargetIsMadeWritableAndReplaced) {
  AddProduct(kCommon64, L"Massive");
  AddShared(L"massive", L"VB_artwork.png", kSourceTime - kHour, "old",
            attr::Archive | attr::ReadOnly);
  EXPECT_EQ(Pass(ThumbnailPassMode::Fix), 0u);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].status, ThumbnailStatus::Present);
  EXPECT_EQ(fs.ContentsText(kShared + L"\\massive\\VB_artwork.png"), "product art");
}

// A copy that fails makes its item Error with the system's code, whether the failing file is the
// folder's last (the tree copy's own result) or an earlier one followed by a successful copy;
// the other products of the pass are fixed as usual.
TEST(ThumbnailPassFailureTest, AFailedCopyIsAnErrorWithTheSystemsCode) {
  const std::wstring mst = kShared + L"\\massive\\MST_artwork.png";
  const std::wstring vb = kShared + L"\\massive\\VB_artwork.png";
  const std::wstring source = kCommon64 + L"\\Massive\\PAResources\\image\\Massive\\";
  using Held = std::unique_ptr<testing::HeldFile>;
  const struct {
    const char* name;
    std::function<Held(FakeFileSystem&)> arrange;
    ErrorCode code;
    bool vbCopied;  // the file after the failing one was still copied
  } cases[] = {
      {"read-only older target whose attribute cannot be cleared",
       [&](FakeFileSystem& f) {
         f.AddFile(vb, "old", attr::ReadOnly, kSourceTime - kHour);
         f.InjectFailure(FakeFileSystem::Operation::SetAttributes, vb, err::AccessDenied);
         return Held();
       },
       err::AccessDenied, false},
      {"hidden older target, which the system's copy does not replace",
       [&](FakeFileSystem& f) {
         f.AddFile(vb, "old", attr::Hidden, kSourceTime - kHour);
         return Held();
       },
       err::AccessDenied, false},
      {"older target held open without sharing",
       [&](FakeFileSystem& f) {
         f.AddFile(vb, "old", attr::Archive, kSourceTime - kHour);
         return f.HoldOpen(vb);
       },
       err::SharingViolation, false},
      {"copy refused for the last file",
       [&](FakeFileSystem& f) {
         f.InjectFailure(FakeFileSystem::Operation::CopyFile, vb, err::DiskFull);
         return Held();
       },
       err::DiskFull, false},
      {"first file held open, the next one copied after it",
       [&](FakeFileSystem& f) {
         f.AddFile(mst, "old", attr::Archive, kSourceTime - kHour);
         return f.HoldOpen(mst);
       },
       err::SharingViolation, true},
      {"first file's copy failing midway, the next one copied after it",
       [&](FakeFileSystem& f) {
         f.FailCopyAfter(source + L"MST_artwork.png", 4, err::DiskFull);
         return Held();
       },
       err::DiskFull, true},
      {"shared folder that cannot be made",
       [&](FakeFileSystem& f) {
         f.InjectFailure(FakeFileSystem::Operation::CreateFolder, kShared + L"\\massive",
                         err::AccessDenied);
         return Held();
       },
       err::AccessDenied, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    m.AddProduct(kCommon64, L"Kontakt 7");
    m.AddProduct(kCommon64, L"Massive");
    const Held held = c.arrange(m.fs);

    EXPECT_EQ(m.Pass(ThumbnailPassMode::Fix), 0u);
    EXPECT_EQ(Rows(m.items),
              (std::vector<Row>{
                  {L"Kontakt 7", kShared + L"\\kontakt 7", ThumbnailStatus::Present, 0},
                  {L"Massive", kShared + L"\\massive", ThumbnailStatus::Error, c.code},
              }));
    EXPECT_EQ(CountThumbnailItems(m.items).errors, 1u);
    EXPECT_EQ(m.fs.IsFile(vb) && m.fs.ContentsText(vb) == "product art", c.vbCopied);
  }
}

TEST_F(ThumbnailPassTest, AnErrorIsNotCarriedIntoTheNextPass) {
  AddProduct(kCommon64, L"Massive");
  fs.InjectFailure(FakeFileSystem::Operation::CopyFile, L"*", err::DiskFull, 1);
  EXPECT_EQ(Pass(ThumbnailPassMode::Fix), 0u);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].status, ThumbnailStatus::Error);
  EXPECT_EQ(Pass(ThumbnailPassMode::Fix), 0u);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].status, ThumbnailStatus::Present);
  EXPECT_EQ(items[0].error, 0u);
}

TEST_F(ThumbnailPassTest, On32BitWindowsOnlyCommonProgramFilesIsVisited) {
  system.UseWindows32Bit();
  ASSERT_EQ(system.environment[L"CommonProgramFiles"], L"C:\\Program Files\\Common Files");
  AddProduct(kCommon64, L"Massive");
  AddProduct(kCommon86, L"Absynth 5");
  EXPECT_EQ(Pass(ThumbnailPassMode::Scan), 0u);
  EXPECT_EQ(Rows(items),
            (std::vector<Row>{{L"Massive", kShared + L"\\massive", ThumbnailStatus::Missing, 0}}));
}

// The pass ends early, keeping what it listed, and a later folder is not visited.
TEST(ThumbnailPassEarlyEndTest, EndsWhenAFolderItNeedsIsNotThere) {
  const struct {
    const char* name;
    std::function<void(Machine&)> arrange;
    ErrorCode result;
    std::vector<std::wstring> listed;
  } cases[] = {
      {"no Native Instruments in the (x86) folder: the 64-bit one is not scanned either",
       [](Machine& m) {
         ASSERT_EQ(m.fs.RemoveFolder(kCommon86), 0u);
         m.AddProduct(kCommon64, L"Massive");
       },
       err::PathNotFound,
       {}},
      {"no Native Instruments in the 64-bit folder",
       [](Machine& m) {
         ASSERT_EQ(m.fs.RemoveFolder(kCommon64), 0u);
         m.AddProduct(kCommon86, L"Absynth 5");
       },
       err::PathNotFound,
       {L"Absynth 5"}},
      {"no public documents folder",
       [](Machine& m) {
         m.AddProduct(kCommon86, L"Absynth 5");
         m.AddProduct(kCommon64, L"Massive");
         m.system.specialFolders.erase(csidl::CommonDocuments);
       },
       err::PathNotFound,
       {}},
      {"a common files variable that is not set",
       [](Machine& m) {
         m.AddProduct(kCommon86, L"Absynth 5");
         m.AddProduct(kCommon64, L"Massive");
         m.system.environment.erase(L"CommonProgramW6432");
       },
       err::EnvVarNotFound,
       {L"Absynth 5"}},
      {"a common files variable too long for the pass",
       [](Machine& m) {
         m.system.environment[L"CommonProgramFiles(x86)"] = L"C:\\" + std::wstring(520, L'x');
       },
       err::MoreData,
       {}},
      {"a shared artwork folder that cannot be made",
       [](Machine& m) {
         m.AddProduct(kCommon86, L"Absynth 5");
         m.fs.InjectFailure(FakeFileSystem::Operation::CreateFolder,
                            L"C:\\Users\\Public\\Documents\\NI Resources", err::AccessDenied);
       },
       err::AccessDenied,
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    c.arrange(m);
    EXPECT_EQ(m.Pass(ThumbnailPassMode::Fix), c.result);
    std::vector<std::wstring> listed;
    for (const ThumbnailItem& item : m.items) listed.push_back(item.name);
    EXPECT_EQ(listed, c.listed);
    EXPECT_FALSE(m.fs.Exists(kShared + L"\\massive"));
  }
}

TEST_F(ThumbnailPassTest, AStopBetweenProductFoldersEndsThePassWithWhatItListed) {
  struct StopAtFirstCopy : testing::ForwardingFileSystem {
    StopAtFirstCopy(FileSystem& inner, CancelFlag& stop)
        : ForwardingFileSystem(inner), stop(stop) {}
    ErrorCode CopyFile(std::wstring_view a, std::wstring_view b, CopyProgressRoutine r, void* u,
                       CancelToken c, uint32_t f) override {
      stop = 1;
      return inner_.CopyFile(a, b, r, u, c, f);
    }
    CancelFlag& stop;
  } stopping(fs, stop);
  AddProduct(kCommon86, L"Absynth 5");
  AddProduct(kCommon64, L"Kontakt 7");
  AddProduct(kCommon64, L"Massive");
  EXPECT_EQ(RunThumbnailPass(stopping, system, ThumbnailPassMode::Fix, items, &stop), 0u);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].name, L"Absynth 5");
  EXPECT_EQ(items[0].status, ThumbnailStatus::Present);  // the product in hand is finished
  EXPECT_FALSE(fs.Exists(kShared + L"\\kontakt 7"));
}

TEST(ThumbnailNamesTest, TargetNamesAreTheFolderNameInLowerCase) {
  const struct {
    const wchar_t* name;
    const wchar_t* lower;
  } cases[] = {
      {L"Massive", L"massive"},         {L"KOMPLETE KONTROL", L"komplete kontrol"},
      {L"Ébène Grand", L"ébène grand"}, {L"ŁÓDŹ Strings", L"łódź strings"},
      {L"ΑΩ Пианино", L"αω пианино"},   {L"Mix × 2 [Pro]_ß", L"mix × 2 [pro]_ß"},
  };
  for (const auto& c : cases) EXPECT_EQ(ToLowerCaseName(c.name), c.lower) << ToUtf8(c.name);
}

// --- The list: ordering, counters and texts ---------------------------------------------------

ThumbnailItem Item(const wchar_t* name, ThumbnailStatus status, const wchar_t* tag = L"") {
  ThumbnailItem item;
  item.name = name;
  item.status = status;
  item.targetFolder = tag;  // tells equal names apart
  return item;
}

std::vector<std::wstring> Order(const ThumbnailItems& items) {
  std::vector<std::wstring> order;
  for (const ThumbnailItem& item : items) order.push_back(item.name + item.targetFolder);
  return order;
}

TEST(ThumbnailListTest, ColumnsSortStablyAndTheSameColumnAgainReverses) {
  using S = ThumbnailStatus;
  const ThumbnailItems start = {
      Item(L"massive", S::Present, L"#1"), Item(L"Absynth 5", S::Missing),
      Item(L"_Archive", S::Unknown),       Item(L"Massive", S::Missing, L"#2"),
      Item(L"battery 4", S::Error),        Item(L"Zebra", S::Present),
  };
  using Names = std::vector<std::wstring>;
  const struct {
    int column;
    int lastColumn;
    Names order;
  } cases[] = {
      // A-Z folded, then by code: "_" sorts before the letters; equal names keep their order.
      {0, -1, {L"_Archive", L"Absynth 5", L"battery 4", L"massive#1", L"Massive#2", L"Zebra"}},
      {1, -1, {L"battery 4", L"Absynth 5", L"Massive#2", L"massive#1", L"Zebra", L"_Archive"}},
      {1, 0, {L"battery 4", L"Absynth 5", L"Massive#2", L"massive#1", L"Zebra", L"_Archive"}},
      {0, 0, {L"Zebra", L"battery 4", L"Massive#2", L"_Archive", L"Absynth 5", L"massive#1"}},
      {1, 1, {L"Zebra", L"battery 4", L"Massive#2", L"_Archive", L"Absynth 5", L"massive#1"}},
  };
  for (const auto& c : cases) {
    ThumbnailItems items = start;
    SortThumbnailItems(items, c.column, c.lastColumn);
    EXPECT_EQ(Order(items), c.order) << "column " << c.column << " after " << c.lastColumn;
  }

  // Sorting by status and then again reverses the sorted order: Missing before Present first,
  // Present before Missing after the second click.
  ThumbnailItems items = start;
  SortThumbnailItems(items, 1, 0);
  SortThumbnailItems(items, 1, 1);
  EXPECT_EQ(Order(items),
            (Names{L"_Archive", L"Zebra", L"massive#1", L"Massive#2", L"Absynth 5", L"battery 4"}));
}

TEST(ThumbnailListTest, CountsRelevantMissingAndErrorItems) {
  using S = ThumbnailStatus;
  const ThumbnailCounts counts = CountThumbnailItems({
      Item(L"a", S::Error),
      Item(L"b", S::Missing),
      Item(L"c", S::Missing),
      Item(L"d", S::Present),
      Item(L"e", S::Unknown),
      Item(L"f", S::Error),
      Item(L"g", S::Missing),
  });
  EXPECT_EQ(counts.relevant, 7u);
  EXPECT_EQ(counts.missing, 3u);
  EXPECT_EQ(counts.errors, 2u);
  const ThumbnailCounts none = CountThumbnailItems({});
  EXPECT_EQ(none.relevant + none.missing + none.errors, 0u);
}

TEST(ThumbnailListTest, StatusWordsAndPageTexts) {
  EXPECT_STREQ(ThumbnailStatusWord(ThumbnailStatus::Error), L"Error");
  EXPECT_STREQ(ThumbnailStatusWord(ThumbnailStatus::Missing), L"Missing");
  EXPECT_STREQ(ThumbnailStatusWord(ThumbnailStatus::Present), L"Present");
  EXPECT_STREQ(ThumbnailStatusWord(ThumbnailStatus::Unknown), L"Unknown");
  EXPECT_STREQ(ThumbnailStatusWord(static_cast<ThumbnailStatus>(7)), L"Unknown");

  EXPECT_EQ(ThumbnailPassRunningText(ThumbnailPassMode::Scan),
            L"Scanning for product thumbnails. Please wait...");
  EXPECT_EQ(ThumbnailPassRunningText(ThumbnailPassMode::Fix),
            L"Fixing product thumbnails of affected products. Please wait...");

  const std::wstring note =
      L"\nNOTE: For best results, run this wizard after applying all your Service Center updates.";
  const struct {
    ThumbnailPassMode mode;
    ThumbnailCounts counts;
    std::wstring text;
  } cases[] = {
      {ThumbnailPassMode::Scan,
       {9, 6, 0},
       L"Initial scan is complete. Click 'Fix Thumbnails' to repair missing product graphics.\n"
       L"9 relevant products found. 6 products missing thumbnails. 0 errors encountered." +
           note},
      {ThumbnailPassMode::Scan,
       {2, 0, 0},
       L"Initial scan is complete.\n"
       L"2 relevant products found. 0 products missing thumbnails. 0 errors encountered." +
           note},
      {ThumbnailPassMode::Fix,
       {9, 1, 2},
       L"Fix procedure is complete.\n"
       L"9 relevant products found. 1 products missing thumbnails. 2 errors encountered."},
      {ThumbnailPassMode::Fix,
       {0, 0, 0},
       L"Fix procedure is complete.\n"
       L"0 relevant products found. 0 products missing thumbnails. 0 errors encountered."},
  };
  for (const auto& c : cases) EXPECT_EQ(ThumbnailPassSummaryText(c.mode, c.counts), c.text);
}

}  // namespace
}  // namespace tessaly
