// File operations against every file-system backend: existence, folder paths, deleting and
// copying single files (read-only, held open, only-if-newer), and the tree walks with patterns,
// callbacks, cancelling and folder links.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/text.h"
#include "tests/support/backends.h"

namespace tessaly {
namespace {

constexpr FileTime kBaseTime = 133541136000000000ull;  // 2024-03-05 12:00:00 UTC
constexpr FileTime kSecond = kFileTimeTicksPerSecond;

// What the progress callbacks saw; callbacks are plain functions, so this is file-wide.
struct CallbackLog {
  std::vector<std::wstring> files;        // currentFile at each call ("<null>" without a record)
  std::vector<uint32_t> filesDoneBefore;  // filesDone at each call
  CancelFlag* cancelOnCall = nullptr;     // set to 1 at the first call
};
CallbackLog gLog;

void RecordCall(TreeOperationProgress* progress) {
  gLog.files.push_back(progress ? progress->currentFile : L"<null>");
  gLog.filesDoneBefore.push_back(progress ? progress->filesDone : 0);
  if (gLog.cancelOnCall) gLog.cancelOnCall->store(1);
}

struct CopyRoutineLog {
  int calls = 0;
  uint64_t lastTotal = 0;
  uint64_t lastTransferred = 0;
};

uint32_t RecordCopyProgress(const CopyProgress& progress, void* userData) {
  auto* log = static_cast<CopyRoutineLog*>(userData);
  ++log->calls;
  log->lastTotal = progress.totalFileSize;
  log->lastTransferred = progress.totalBytesTransferred;
  return kProgressContinue;
}

// Both builds: the number comes from the C runtime's formatting, which differs between them.
TEST(FormatSizeTest, PicksTheUnitTheCountStrictlyExceeds) {
  const struct {
    uint64_t bytes;
    const wchar_t* text;
  } cases[] = {
      {0, L"0.0 B"},
      {1, L"1.0 B"},
      {1024, L"1024.0 B"},
      {1025, L"1.0 KB"},
      {1536, L"1.5 KB"},
      {1048576, L"1024.0 KB"},
      {1048577, L"1.0 MB"},
      {1073741824, L"1024.0 MB"},
      {1073741825, L"1.0 GB"},
      {5ull << 30, L"5.0 GB"},
      {1ull << 40, L"1024.0 GB"},
      {(1ull << 40) + 1, L"1.0 TB"},
      {UINT64_MAX, L"16777216.0 TB"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSize(c.bytes), c.text) << c.bytes;
}

class FileOpsContractTest : public ::testing::TestWithParam<testing::FileSystemBackend> {
 protected:
  void SetUp() override {
    harness = GetParam().make();
    ASSERT_TRUE(harness);
    gLog = CallbackLog();
  }

  FileSystem& fs() { return harness->fs(); }
  System& sys() { return harness->system(); }
  std::wstring At(std::wstring_view relative) const {
    return relative.empty() ? harness->scratch : harness->scratch + L"\\" + std::wstring(relative);
  }

  // Creates the folders of `relative` one by one with the backend itself.
  void MakeFolders(std::wstring_view relative) {
    std::wstring path = harness->scratch;
    size_t start = 0;
    while (start < relative.size()) {
      size_t cut = relative.find(L'\\', start);
      if (cut == std::wstring_view::npos) cut = relative.size();
      path += L"\\" + std::wstring(relative.substr(start, cut - start));
      const ErrorCode e = fs().CreateFolder(path);
      ASSERT_TRUE(e == 0 || e == err::AlreadyExists) << ToUtf8(path) << ": " << e;
      start = cut + 1;
    }
  }

  void Write(std::wstring_view relative, std::string_view text, FileTime time = 0) {
    const size_t cut = relative.rfind(L'\\');
    if (cut != std::wstring_view::npos) MakeFolders(relative.substr(0, cut));
    const std::wstring path = At(relative);
    ASSERT_EQ(fs().WriteFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size()), 0u)
        << ToUtf8(path);
    if (time) {
      ASSERT_EQ(fs().SetLastWriteTime(path, time), 0u);
    }
  }

  std::string Read(std::wstring_view relative) {
    std::vector<uint8_t> bytes;
    if (fs().ReadFile(At(relative), 0, 1 << 20, bytes) != 0) return "<unreadable>";
    return std::string(bytes.begin(), bytes.end());
  }

  bool Exists(std::wstring_view relative) {
    uint32_t attributes = 0;
    return fs().GetAttributes(At(relative), attributes) == 0;
  }

  // Every entry below `relative`, as relative paths, folders ending in "\", sorted; links are
  // listed and not followed.
  std::vector<std::wstring> Tree(std::wstring_view relative) {
    std::vector<std::wstring> out;
    Collect(At(relative), L"", out);
    std::sort(out.begin(), out.end());
    return out;
  }

  // src: a.wav, b.txt, sub\c.wav, sub\deeper\d.WAV, notes\e.txt and the empty folder empty\.
  void MakeSourceTree() {
    Write(L"src\\a.wav", "aaa");
    Write(L"src\\b.txt", "bbbbb");
    Write(L"src\\sub\\c.wav", "ccccccc");
    Write(L"src\\sub\\deeper\\d.WAV", "ddddddddddd");
    Write(L"src\\notes\\e.txt", "eeeeeeeeeeeee");
    MakeFolders(L"src\\empty");
  }

  // A folder link src\link to outside\, which holds x.wav; skips when the platform has no links.
  bool MakeLinkedSourceTree() {
    if (!harness->noFolderLinks.empty()) return false;
    MakeSourceTree();
    Write(L"outside\\x.wav", "xx");
    EXPECT_EQ(fs().CreateFolderLink(At(L"src\\link"), At(L"outside")), 0u);
    return true;
  }

  std::unique_ptr<testing::FileSystemHarness> harness;
  const PatternSet all{L"*.*"};
  const PatternSet wavs{L"*.wav"};

 private:
  void Collect(const std::wstring& folder, const std::wstring& prefix,
               std::vector<std::wstring>& out) {
    std::vector<FindData> entries;
    fs().FindFiles(folder + L"\\*", [&](const FindData& e) {
      if (e.name != L"." && e.name != L"..") entries.push_back(e);
      return true;
    });
    for (const FindData& e : entries) {
      if (e.IsDirectory()) {
        out.push_back(prefix + e.name + L"\\");
        if (!e.IsReparsePoint()) Collect(folder + L"\\" + e.name, prefix + e.name + L"\\", out);
      } else {
        out.push_back(prefix + e.name);
      }
    }
  }
};

using Paths = std::vector<std::wstring>;

// --- Existence ----------------------------------------------------------------------------------

TEST_P(FileOpsContractTest, PathExistsDescribesFilesFoldersAndRoots) {
  Write(L"dir\\a.txt", "12345");
  FindData found;
  ASSERT_TRUE(PathExists(fs(), At(L"dir\\a.txt"), &found));
  EXPECT_EQ(found.name, L"a.txt");
  EXPECT_EQ(found.size, 5u);
  EXPECT_FALSE(found.IsDirectory());

  for (const std::wstring& folder : {At(L"dir"), At(L"dir\\")}) {
    EXPECT_TRUE(PathExists(fs(), folder, &found)) << ToUtf8(folder);
    EXPECT_TRUE(found.IsDirectory());
    EXPECT_TRUE(IsDirectory(fs(), folder));
  }

  ASSERT_TRUE(PathExists(fs(), L"C:\\", &found));
  EXPECT_EQ(found.attributes, attr::Directory);
  EXPECT_TRUE(IsDirectory(fs(), L"C:\\"));

  EXPECT_FALSE(IsDirectory(fs(), At(L"dir\\a.txt")));
  EXPECT_FALSE(PathExists(fs(), At(L"dir\\missing.txt")));
  EXPECT_FALSE(PathExists(fs(), At(L"missing\\a.txt")));
  EXPECT_FALSE(IsDirectory(fs(), L""));
  // A pattern that matches a.txt is still no path.
  EXPECT_FALSE(PathExists(fs(), At(L"dir\\*.txt")));
  EXPECT_FALSE(PathExists(fs(), At(L"dir\\?.txt")));
}

// --- Folder paths -------------------------------------------------------------------------------

TEST_P(FileOpsContractTest, CreateDirectoryTreeCreatesEveryMissingFolder) {
  EXPECT_EQ(CreateDirectoryTree(fs(), At(L"a\\b\\c")), 0u);
  EXPECT_TRUE(IsDirectory(fs(), At(L"a\\b\\c")));
  EXPECT_EQ(CreateDirectoryTree(fs(), At(L"a\\b\\c")), 0u) << "an existing folder is fine";
  EXPECT_EQ(CreateDirectoryTree(fs(), At(L"a\\x\\y\\")), 0u);
  EXPECT_TRUE(IsDirectory(fs(), At(L"a\\x\\y")));
  EXPECT_EQ(CreateDirectoryTree(fs(), L""), err::InvalidParameter);
}

TEST_P(FileOpsContractTest, CreateDirectoryTreeRefusesAFileInThePath) {
  Write(L"f", "file");
  EXPECT_EQ(CreateDirectoryTree(fs(), At(L"f")), err::AlreadyExists);
  EXPECT_EQ(CreateDirectoryTree(fs(), At(L"f\\sub\\deeper")), err::PathNotFound);
  EXPECT_EQ(Read(L"f"), "file");
  EXPECT_FALSE(IsDirectory(fs(), At(L"f")));
}

TEST_P(FileOpsContractTest, CreateDirectoryTreeOnADriveAloneTestsTheDrive) {
  EXPECT_EQ(CreateDirectoryTree(fs(), L"C:"), 0u);
  wchar_t unused = 0;
  for (wchar_t letter = L'Y'; letter >= L'D' && !unused; --letter) {
    if (fs().GetDriveType(std::wstring(1, letter) + L":\\") == drive::NoRootDir) unused = letter;
  }
  if (!unused) GTEST_SKIP() << "every drive letter from D to Y is in use";
  const std::wstring drive = std::wstring(1, unused) + L":";
  EXPECT_EQ(CreateDirectoryTree(fs(), drive), err::PathNotFound);
  EXPECT_NE(CreateDirectoryTree(fs(), drive + L"\\new\\folder"), 0u);
}

// --- Single files and folders -------------------------------------------------------------------

TEST_P(FileOpsContractTest, DeleteOneFileDeletesReadOnlyFilesAndAcceptsMissingOnes) {
  Write(L"ro.txt", "x");
  ASSERT_EQ(fs().SetAttributes(At(L"ro.txt"), attr::ReadOnly), 0u);
  EXPECT_EQ(DeleteOneFile(fs(), At(L"ro.txt")), 0u);
  EXPECT_FALSE(Exists(L"ro.txt"));
  EXPECT_EQ(DeleteOneFile(fs(), At(L"ro.txt")), 0u) << "already gone counts as deleted";
  EXPECT_EQ(DeleteOneFile(fs(), L""), err::InvalidParameter);
}

TEST_P(FileOpsContractTest, DeleteOneFileLeavesAFileHeldOpen) {
  Write(L"held.dll", "x");
  auto held = harness->HoldOpen(At(L"held.dll"));
  ASSERT_TRUE(held);
  EXPECT_EQ(DeleteOneFile(fs(), At(L"held.dll")), err::SharingViolation);
  EXPECT_TRUE(Exists(L"held.dll"));
}

TEST_P(FileOpsContractTest, ClearReadOnlyKeepsTheOtherAttributes) {
  Write(L"a.txt", "x");
  ASSERT_EQ(fs().SetAttributes(At(L"a.txt"), attr::ReadOnly | attr::Hidden), 0u);
  uint32_t attributes = 0;
  ASSERT_EQ(fs().GetAttributes(At(L"a.txt"), attributes), 0u);
  if (!(attributes & attr::Hidden)) {
    // Wine keeps DOS attributes in extended attributes, which not every Unix file system has.
    GTEST_SKIP() << "this file system does not keep the Hidden attribute";
  }
  EXPECT_EQ(ClearReadOnly(fs(), At(L"a.txt")), 0u);
  ASSERT_EQ(fs().GetAttributes(At(L"a.txt"), attributes), 0u);
  EXPECT_EQ(attributes & (attr::ReadOnly | attr::Hidden), attr::Hidden);
  EXPECT_EQ(ClearReadOnly(fs(), At(L"missing.txt")), err::FileNotFound);
}

TEST_P(FileOpsContractTest, RemoveFolderRemovesReadOnlyAndAcceptsMissingFolders) {
  MakeFolders(L"ro");
  ASSERT_EQ(fs().SetAttributes(At(L"ro"), attr::ReadOnly), 0u);
  EXPECT_EQ(RemoveFolder(fs(), At(L"ro")), 0u);
  EXPECT_FALSE(Exists(L"ro"));
  EXPECT_EQ(RemoveFolder(fs(), At(L"ro")), 0u);
  EXPECT_EQ(RemoveFolder(fs(), At(L"missing\\deeper")), 0u);

  Write(L"full\\a.txt", "x");
  EXPECT_EQ(RemoveFolder(fs(), At(L"full")), err::DirNotEmpty);
  EXPECT_TRUE(Exists(L"full\\a.txt"));
}

TEST_P(FileOpsContractTest, CopyOneFileOnlyIfNewerNeedsMoreThanTwoSeconds) {
  const struct {
    const char* name;
    FileTime sourceTime;
    bool onlyIfNewer;
    bool copied;
  } cases[] = {
      {"newer by exactly 2 s", kBaseTime + 2 * kSecond, true, false},
      {"newer by 2 s and 100 ns", kBaseTime + 2 * kSecond + 1, true, true},
      {"newer by a minute", kBaseTime + 60 * kSecond, true, true},
      {"same time", kBaseTime, true, false},
      {"older", kBaseTime - 60 * kSecond, true, false},
      {"older, always copy", kBaseTime - 60 * kSecond, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Write(L"src.wav", "new", c.sourceTime);
    Write(L"dst.wav", "old", kBaseTime);
    EXPECT_EQ(CopyOneFile(fs(), At(L"src.wav"), At(L"dst.wav"), c.onlyIfNewer, nullptr, nullptr,
                          kNeverCancelled, 0),
              0u);
    EXPECT_EQ(Read(L"dst.wav"), c.copied ? "new" : "old");
  }
}

TEST_P(FileOpsContractTest, CopyOneFileOverwritesAnOlderReadOnlyTarget) {
  Write(L"src.wav", "new", kBaseTime + 60 * kSecond);
  Write(L"dst.wav", "old", kBaseTime);
  ASSERT_EQ(fs().SetAttributes(At(L"dst.wav"), attr::ReadOnly), 0u);
  EXPECT_EQ(
      CopyOneFile(fs(), At(L"src.wav"), At(L"dst.wav"), true, nullptr, nullptr, kNeverCancelled, 0),
      0u);
  EXPECT_EQ(Read(L"dst.wav"), "new");
}

TEST_P(FileOpsContractTest, CopyOneFileCreatesAMissingTargetAndReportsAMissingSource) {
  Write(L"src.wav", "new");
  EXPECT_EQ(
      CopyOneFile(fs(), At(L"src.wav"), At(L"dst.wav"), true, nullptr, nullptr, kNeverCancelled, 0),
      0u);
  EXPECT_EQ(Read(L"dst.wav"), "new");
  EXPECT_EQ(CopyOneFile(fs(), At(L"none.wav"), At(L"dst.wav"), true, nullptr, nullptr,
                        kNeverCancelled, 0),
            err::FileNotFound);
  EXPECT_EQ(CopyOneFile(fs(), At(L"none.wav"), At(L"dst.wav"), false, nullptr, nullptr,
                        kNeverCancelled, 0),
            err::FileNotFound);
  EXPECT_EQ(Read(L"dst.wav"), "new");
  EXPECT_EQ(CopyOneFile(fs(), L"", At(L"dst.wav"), false, nullptr, nullptr, kNeverCancelled, 0),
            err::InvalidParameter);
}

TEST_P(FileOpsContractTest, CopyOneFileNeverTakesAFolderOfTheSameNameForACopy) {
  // Before, a folder newer than the file was "kept" as the file's copy and counted as done.
  for (const FileTime folderTime : {kBaseTime + 60 * kSecond, kBaseTime - 60 * kSecond}) {
    SCOPED_TRACE(folderTime > kBaseTime ? "newer folder" : "older folder");
    Write(L"src.wav", "new", kBaseTime);
    MakeFolders(L"dst.wav");
    ASSERT_EQ(fs().SetLastWriteTime(At(L"dst.wav"), folderTime), 0u);
    for (const bool onlyIfNewer : {true, false}) {
      EXPECT_EQ(CopyOneFile(fs(), At(L"src.wav"), At(L"dst.wav"), onlyIfNewer, nullptr, nullptr,
                            kNeverCancelled, 0),
                err::AccessDenied);
    }
    EXPECT_TRUE(IsDirectory(fs(), At(L"dst.wav")));
  }
}

// --- Counting -----------------------------------------------------------------------------------

TEST_P(FileOpsContractTest, CountTreeCountsMatchingFilesInEveryFolder) {
  MakeSourceTree();
  const struct {
    PatternSet patterns;
    uint32_t files;
    uint64_t bytes;
  } cases[] = {
      {{L"*.wav"}, 3, 3 + 7 + 11},   {{L"*.txt"}, 2, 5 + 13}, {{L"*.*"}, 5, 39},
      {{L"*.txt", L"*.wav"}, 5, 39}, {{L"*.mid"}, 0, 0},
  };
  for (const auto& c : cases) {
    TreeOperationProgress progress;
    EXPECT_EQ(CountTree(fs(), c.patterns, At(L"src"), kNeverCancelled, progress), 0u);
    EXPECT_EQ(progress.filesCounted, c.files) << ToUtf8(*c.patterns.begin());
    EXPECT_EQ(progress.bytesCounted, c.bytes);
    EXPECT_EQ(progress.foldersVisited, 5u);  // src, deeper, empty, notes, sub
    EXPECT_EQ(progress.errors, 0u);
  }
}

TEST_P(FileOpsContractTest, CountTreeStopsAtOnceWhenCancelled) {
  MakeSourceTree();
  CancelFlag cancel{1};
  TreeOperationProgress progress;
  EXPECT_EQ(CountTree(fs(), all, At(L"src"), cancel, progress), 0u);
  EXPECT_EQ(progress.filesCounted, 1u);
  EXPECT_EQ(progress.foldersVisited, 1u);
}

TEST_P(FileOpsContractTest, CountTreeCountsAMissingFolderAsAnError) {
  TreeOperationProgress progress;
  EXPECT_EQ(CountTree(fs(), all, At(L"missing"), kNeverCancelled, progress), 0u);
  EXPECT_EQ(progress.filesCounted, 0u);
  EXPECT_EQ(progress.errors, 1u);
  EXPECT_EQ(CountTree(fs(), all, L"", kNeverCancelled, progress), err::InvalidParameter);
}

// --- Copying ------------------------------------------------------------------------------------

// `options` with its statistics going to `progress`.
CopyTreeOptions With(CopyTreeOptions options, TreeOperationProgress* progress) {
  options.progress = progress;
  return options;
}

TEST_P(FileOpsContractTest, CopyTreeCopiesMatchingFilesAndOnlyTheFoldersThatGetOne) {
  MakeSourceTree();
  TreeOperationProgress progress;
  EXPECT_EQ(CopyTree(fs(), sys(), At(L"src"), wavs, At(L"dst"), false, kNeverCancelled, &RecordCall,
                     &progress, nullptr, nullptr),
            0u);
  EXPECT_EQ(Tree(L"dst"),
            (Paths{L"a.wav", L"sub\\", L"sub\\c.wav", L"sub\\deeper\\", L"sub\\deeper\\d.WAV"}));
  EXPECT_EQ(Read(L"dst\\sub\\deeper\\d.WAV"), "ddddddddddd");
  EXPECT_EQ(progress.filesDone, 3u);
  EXPECT_EQ(progress.errors, 0u);
  EXPECT_EQ(progress.foldersVisited, 5u);
  // One call per file, with the source path, before the file is copied.
  EXPECT_EQ(gLog.files,
            (Paths{At(L"src\\a.wav"), At(L"src\\sub\\c.wav"), At(L"src\\sub\\deeper\\d.WAV")}));
  EXPECT_EQ(gLog.filesDoneBefore, (std::vector<uint32_t>{0, 1, 2}));
}

TEST_P(FileOpsContractTest, CopyTreeWithoutARecordCountsNothingAndPassesNull) {
  MakeSourceTree();
  EXPECT_EQ(CopyTree(fs(), sys(), At(L"src"), all, At(L"dst"), false, kNeverCancelled, &RecordCall,
                     nullptr, nullptr, nullptr),
            0u);
  EXPECT_EQ(gLog.files, Paths(5, L"<null>"));
  EXPECT_EQ(Read(L"dst\\notes\\e.txt"), "eeeeeeeeeeeee");
  EXPECT_FALSE(Exists(L"dst\\empty"));
}

TEST_P(FileOpsContractTest, CopyTreeOnlyIfNewerKeepsANewerTarget) {
  Write(L"src\\a.wav", "source", kBaseTime);
  Write(L"src\\b.wav", "source", kBaseTime + 60 * kSecond);
  Write(L"dst\\a.wav", "target", kBaseTime + 60 * kSecond);
  Write(L"dst\\b.wav", "target", kBaseTime);
  TreeOperationProgress progress;
  EXPECT_EQ(CopyTree(fs(), sys(), At(L"src"), all, At(L"dst"), true, kNeverCancelled, nullptr,
                     &progress, nullptr, nullptr),
            0u);
  EXPECT_EQ(Read(L"dst\\a.wav"), "target");
  EXPECT_EQ(Read(L"dst\\b.wav"), "source");
  EXPECT_EQ(progress.filesDone, 2u) << "a kept file counts as done";
}

TEST_P(FileOpsContractTest, CopyTreeStopsAfterTheFileDuringWhichCancelWasSet) {
  MakeSourceTree();
  CancelFlag cancel{0};
  gLog.cancelOnCall = &cancel;
  TreeOperationProgress progress;
  // The file during which the flag was set may be copied or not: the result is either.
  (void)CopyTree(fs(), sys(), At(L"src"), all, At(L"dst"), false, cancel, &RecordCall, &progress,
                 nullptr, nullptr);
  EXPECT_EQ(gLog.files, Paths{At(L"src\\a.wav")});
  EXPECT_EQ(progress.filesDone + progress.errors, 1u);
  const Paths copied = Tree(L"dst");
  EXPECT_TRUE(copied.empty() || copied == Paths{L"a.wav"}) << copied.size() << " entries";
}

TEST_P(FileOpsContractTest, CopyTreeHandsTheCancelFlagToTheSystemCopy) {
  if (!harness->noCopyProgress.empty()) GTEST_SKIP() << harness->noCopyProgress;
  Write(L"src\\big.bin", std::string(300000, 'b'));
  CancelFlag cancel{0};
  gLog.cancelOnCall = &cancel;
  TreeOperationProgress progress;
  EXPECT_EQ(CopyTree(fs(), sys(), At(L"src"), all, At(L"dst"), false, cancel, &RecordCall,
                     &progress, nullptr, nullptr),
            err::RequestAborted);
  EXPECT_EQ(progress.errors, 1u);
  EXPECT_EQ(progress.filesDone, 0u);
  EXPECT_FALSE(Exists(L"dst\\big.bin"));
}

TEST_P(FileOpsContractTest, CopyTreeReportsTheSystemCopyProgress) {
  if (!harness->noCopyProgress.empty()) GTEST_SKIP() << harness->noCopyProgress;
  Write(L"src\\big.bin", std::string(300000, 'b'));
  CopyRoutineLog log;
  EXPECT_EQ(CopyTree(fs(), sys(), At(L"src"), all, At(L"dst"), false, kNeverCancelled, nullptr,
                     nullptr, &RecordCopyProgress, &log),
            0u);
  EXPECT_GT(log.calls, 0);
  EXPECT_EQ(log.lastTotal, 300000u);
  EXPECT_EQ(log.lastTransferred, 300000u);
}

// The options of a relocation's copy: the whole tree, copies through a temporary name, links.
TEST_P(FileOpsContractTest, CopyTreeOfTheWholeTreeMakesEveryFolder) {
  const CopyTreeOptions whole{.onlyIfNewer = true, .wholeTree = true, .throughTemporaryName = true};
  MakeSourceTree();
  MakeFolders(L"src\\outer\\inner empty");
  TreeOperationProgress progress;
  EXPECT_EQ(CopyTree(fs(), sys(), At(L"src"), all, At(L"dst"), With(whole, &progress)), 0u);
  EXPECT_EQ(Tree(L"dst"), Tree(L"src"));
  EXPECT_EQ(progress.filesDone, 5u);
  EXPECT_EQ(progress.errors, 0u);

  // A source of empty folders only still gives its top folder and every folder below.
  MakeFolders(L"hollow\\a\\b");
  EXPECT_EQ(CopyTree(fs(), sys(), At(L"hollow"), all, At(L"dst2\\hollow"), With(whole, nullptr)),
            0u);
  EXPECT_EQ(Tree(L"dst2"), (Paths{L"hollow\\", L"hollow\\a\\", L"hollow\\a\\b\\"}));

  // A file where a folder is wanted: that folder's part of the copy is an error.
  Write(L"dst3\\sub", "a file");
  TreeOperationProgress clash;
  EXPECT_NE(CopyTree(fs(), sys(), At(L"src"), all, At(L"dst3"), With(whole, &clash)), 0u);
  EXPECT_GE(clash.errors, 1u);
  EXPECT_EQ(Read(L"dst3\\sub"), "a file");
}

TEST_P(FileOpsContractTest, CopyTreeThroughATemporaryNameLeavesOtherFilesOfThatKindAlone) {
  CopyTreeOptions throughTemporary{.onlyIfNewer = true, .throughTemporaryName = true};
  throughTemporary.temporaryName = L"~tessaly-copy-0123456789abcdef.partial";
  Write(L"src\\a.wav", "the whole of a", kBaseTime);
  Write(L"src\\b.wav", "the whole of b", kBaseTime);
  ASSERT_EQ(fs().SetAttributes(At(L"src\\b.wav"), attr::ReadOnly), 0u);
  // A file named as an earlier run's temporary copy (it may be the user's own), and a whole copy
  // of a file that is newer at the target.
  Write(std::wstring(L"dst\\") + kPartialCopyName, "the wh", kBaseTime + 3600 * kSecond);
  Write(L"dst\\a.wav", "kept, newer", kBaseTime + 60 * kSecond);
  TreeOperationProgress progress;
  EXPECT_EQ(CopyTree(fs(), sys(), At(L"src"), all, At(L"dst"), With(throughTemporary, &progress)),
            0u);
  EXPECT_EQ(Tree(L"dst"), (Paths{L"a.wav", L"b.wav", kPartialCopyName}))
      << "nothing of this run's is left, and nothing else is taken";
  EXPECT_EQ(Read(std::wstring(L"dst\\") + kPartialCopyName), "the wh");
  EXPECT_EQ(Read(L"dst\\a.wav"), "kept, newer");
  EXPECT_EQ(Read(L"dst\\b.wav"), "the whole of b");
  uint32_t attributes = 0;
  ASSERT_EQ(fs().GetAttributes(At(L"dst\\b.wav"), attributes), 0u);
  EXPECT_NE(attributes & attr::ReadOnly, 0u) << "the copy keeps the read-only attribute";
  EXPECT_EQ(progress.filesDone, 2u);

  // A newer source replaces an older read-only copy.
  Write(L"src\\c.wav", "new c", kBaseTime + 120 * kSecond);
  Write(L"dst\\c.wav", "old c", kBaseTime);
  ASSERT_EQ(fs().SetAttributes(At(L"dst\\c.wav"), attr::ReadOnly), 0u);
  EXPECT_EQ(CopyTree(fs(), sys(), At(L"src"), all, At(L"dst"), With(throughTemporary, nullptr)),
            0u);
  EXPECT_EQ(Read(L"dst\\c.wav"), "new c");
  EXPECT_FALSE(Exists(L"dst\\" + throughTemporary.temporaryName));

  // A file that has this run's very name is never replaced: the copy through it fails instead.
  Write(L"src\\d.wav", "new d", kBaseTime + 240 * kSecond);
  Write(L"dst\\" + throughTemporary.temporaryName, "not the run's", kBaseTime);
  TreeOperationProgress clash;
  EXPECT_EQ(CopyTree(fs(), sys(), At(L"src"), all, At(L"dst"), With(throughTemporary, &clash)),
            err::FileExists);
  EXPECT_EQ(clash.errors, 1u);
  EXPECT_EQ(Read(L"dst\\" + throughTemporary.temporaryName), "not the run's");
  EXPECT_FALSE(Exists(L"dst\\d.wav"));
}

TEST_P(FileOpsContractTest, CopyTreeMakesFolderLinksAgainWhereAsked) {
  if (!MakeLinkedSourceTree()) GTEST_SKIP() << harness->noFolderLinks;
  const CopyTreeOptions withLinks{
      .onlyIfNewer = true, .wholeTree = true, .throughTemporaryName = true, .recreateLinks = true};
  TreeOperationProgress progress;
  EXPECT_EQ(CopyTree(fs(), sys(), At(L"src"), all, At(L"dst"), With(withLinks, &progress)), 0u);
  EXPECT_EQ(progress.errors, 0u);
  EXPECT_EQ(Tree(L"dst"), Tree(L"src"));
  std::wstring place, expected;
  ASSERT_EQ(fs().GetFinalPath(At(L"dst\\link"), place), 0u);
  ASSERT_EQ(fs().GetFinalPath(At(L"outside"), expected), 0u);
  EXPECT_EQ(place, expected);
  EXPECT_EQ(Read(L"dst\\link\\x.wav"), "xx");
  // Again: the link made before is the right one; a real folder of its name is not.
  EXPECT_EQ(CopyTree(fs(), sys(), At(L"src"), all, At(L"dst"), With(withLinks, nullptr)), 0u);
  MakeFolders(L"dst2\\link");
  TreeOperationProgress clash;
  // The result is the last file's; the link that could not be made shows in the errors.
  (void)CopyTree(fs(), sys(), At(L"src"), all, At(L"dst2"), With(withLinks, &clash));
  EXPECT_EQ(clash.errors, 1u);
  fs().RemoveFolder(At(L"dst\\link"));  // the link itself, before the harness removes outside
}

TEST_P(FileOpsContractTest, TreeWalksDoNotFollowFolderLinks) {
  if (!MakeLinkedSourceTree()) GTEST_SKIP() << harness->noFolderLinks;
  TreeOperationProgress counted;
  EXPECT_EQ(CountTree(fs(), all, At(L"src"), kNeverCancelled, counted), 0u);
  EXPECT_EQ(counted.filesCounted, 5u) << "x.wav behind the link is not counted";

  TreeOperationProgress copied;
  EXPECT_EQ(CopyTree(fs(), sys(), At(L"src"), all, At(L"dst"), false, kNeverCancelled, nullptr,
                     &copied, nullptr, nullptr),
            0u);
  EXPECT_EQ(copied.filesDone, 5u);
  EXPECT_FALSE(Exists(L"dst\\link"));
}

// --- Deleting -----------------------------------------------------------------------------------

TEST_P(FileOpsContractTest, DeleteTreeDeletesOnlyMatchingFiles) {
  MakeSourceTree();
  TreeOperationProgress progress;
  EXPECT_EQ(
      DeleteTree(fs(), {L"*.txt"}, At(L"src"), kNeverCancelled, &RecordCall, &progress, false), 0u);
  EXPECT_EQ(Tree(L"src"), (Paths{L"a.wav", L"empty\\", L"notes\\", L"sub\\", L"sub\\c.wav",
                                 L"sub\\deeper\\", L"sub\\deeper\\d.WAV"}));
  EXPECT_EQ(progress.filesDone, 2u);
  EXPECT_EQ(progress.foldersVisited, 5u);
  EXPECT_EQ(gLog.files, (Paths{At(L"src\\b.txt"), At(L"src\\notes\\e.txt")}));
}

TEST_P(FileOpsContractTest, DeleteTreeRemovesEverythingIncludingReadOnlyFiles) {
  MakeSourceTree();
  ASSERT_EQ(fs().SetAttributes(At(L"src\\sub\\c.wav"), attr::ReadOnly), 0u);
  TreeOperationProgress progress;
  EXPECT_EQ(DeleteTree(fs(), all, At(L"src"), kNeverCancelled, nullptr, &progress, true), 0u);
  EXPECT_FALSE(Exists(L"src"));
  EXPECT_EQ(progress.filesDone, 5u);
  EXPECT_EQ(progress.errors, 0u);
  EXPECT_EQ(DeleteTree(fs(), all, At(L"src"), kNeverCancelled, nullptr, nullptr, true), 0u)
      << "a folder that is gone is deleted";
  EXPECT_EQ(DeleteTree(fs(), all, L"", kNeverCancelled, nullptr, nullptr, true),
            err::InvalidParameter);
}

TEST_P(FileOpsContractTest, DeleteTreeReportsAHeldFileAndDeletesTheRest) {
  MakeSourceTree();
  auto held = harness->HoldOpen(At(L"src\\a.wav"));
  ASSERT_TRUE(held);
  // Without a record the result is all that tells the caller about the file left behind.
  EXPECT_EQ(DeleteTree(fs(), all, At(L"src"), kNeverCancelled, nullptr, nullptr, false),
            err::SharingViolation);
  EXPECT_EQ(Tree(L"src"), (Paths{L"a.wav", L"empty\\", L"notes\\", L"sub\\", L"sub\\deeper\\"}));

  TreeOperationProgress progress;
  EXPECT_NE(DeleteTree(fs(), all, At(L"src"), kNeverCancelled, nullptr, &progress, true), 0u);
  EXPECT_TRUE(Exists(L"src\\a.wav"));
  EXPECT_FALSE(Exists(L"src\\sub"));
  EXPECT_EQ(progress.errors, 2u);  // a.wav, then src itself
}

TEST_P(FileOpsContractTest, DeleteTreeStopsAfterTheFileDuringWhichCancelWasSet) {
  MakeSourceTree();
  CancelFlag cancel{0};
  gLog.cancelOnCall = &cancel;
  EXPECT_EQ(DeleteTree(fs(), all, At(L"src"), cancel, &RecordCall, nullptr, true), 0u);
  EXPECT_EQ(gLog.files, Paths{L"<null>"});
  EXPECT_FALSE(Exists(L"src\\a.wav")) << "the file of the callback is still deleted";
  EXPECT_EQ(Tree(L"src"), (Paths{L"b.txt", L"empty\\", L"notes\\", L"notes\\e.txt", L"sub\\",
                                 L"sub\\c.wav", L"sub\\deeper\\", L"sub\\deeper\\d.WAV"}));
}

TEST_P(FileOpsContractTest, DeleteTreeRemovesALinkAndLeavesItsTarget) {
  if (!MakeLinkedSourceTree()) GTEST_SKIP() << harness->noFolderLinks;
  TreeOperationProgress progress;
  EXPECT_EQ(DeleteTree(fs(), all, At(L"src"), kNeverCancelled, nullptr, &progress, true), 0u);
  EXPECT_FALSE(Exists(L"src"));
  EXPECT_EQ(Read(L"outside\\x.wav"), "xx");
  EXPECT_EQ(progress.filesDone, 5u);
}

INSTANTIATE_TEST_SUITE_P(Backends, FileOpsContractTest,
                         ::testing::ValuesIn(testing::AllFileSystemBackends()),
                         testing::BackendNamePrinter());

}  // namespace
}  // namespace tessaly
