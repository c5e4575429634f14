// The file-system interface against every backend of the build: the fake proves here that it
// answers as Windows does (listing, wildcards, attributes, read-only and held files, rename, copy
// with progress, folder links, free space, reading ranges and folder errors).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/text.h"
#include "tests/support/backends.h"

namespace tessaly {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr FileTime kSomeTime = 133000000000000000ull;  // 2022-06-15, a whole second

class FileSystemContractTest : public ::testing::TestWithParam<testing::FileSystemBackend> {
 protected:
  void SetUp() override {
    harness = GetParam().make();
    ASSERT_TRUE(harness);
  }

  FileSystem& fs() { return harness->fs(); }
  std::wstring At(std::wstring_view relative) const {
    return harness->scratch + L"\\" + std::wstring(relative);
  }

  void Write(std::wstring_view relative, std::string_view text) {
    ASSERT_EQ(
        fs().WriteFile(At(relative), reinterpret_cast<const uint8_t*>(text.data()), text.size()),
        0u)
        << ToUtf8(relative);
  }
  void Folder(std::wstring_view relative) { ASSERT_EQ(fs().CreateFolder(At(relative)), 0u); }

  std::string Read(std::wstring_view relative) {
    Bytes bytes;
    EXPECT_EQ(fs().ReadFile(At(relative), 0, 1 << 20, bytes), 0u) << ToUtf8(relative);
    return std::string(bytes.begin(), bytes.end());
  }

  // The listing of `pattern` (relative to the scratch folder): its names, or the error.
  ErrorCode List(std::wstring_view pattern, std::vector<FindData>& out) {
    out.clear();
    return fs().FindFiles(At(pattern), [&](const FindData& fd) {
      out.push_back(fd);
      return true;
    });
  }
  std::vector<std::wstring> Names(std::wstring_view pattern) {
    std::vector<FindData> found;
    std::vector<std::wstring> names;
    if (List(pattern, found) == 0)
      for (const auto& fd : found) names.push_back(fd.name);
    return names;
  }
  FindData Entry(std::wstring_view relative) {
    std::vector<FindData> found;
    EXPECT_EQ(List(relative, found), 0u) << ToUtf8(relative);
    return found.empty() ? FindData{} : found.front();
  }
  bool Exists(std::wstring_view relative) {
    uint32_t attributes = 0;
    return fs().GetAttributes(At(relative), attributes) == 0;
  }

  std::unique_ptr<testing::FileSystemHarness> harness;
};

bool Contains(const std::vector<std::wstring>& names, std::wstring_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

TEST_P(FileSystemContractTest, ListsWithWindowsWildcardsWithoutRegardToCase) {
  for (const wchar_t* name : {L"a.dll", L"B.DLL", L"c.Dll", L"d.txt", L"e.dllx", L"noext"})
    Write(name, "x");
  Folder(L"Sub");

  const auto all = Names(L"*");
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ(all[0], L".");
  EXPECT_EQ(all[1], L"..");
  const std::vector<std::wstring> rest(all.begin() + 2, all.end());
  EXPECT_EQ(rest, (std::vector<std::wstring>{L"a.dll", L"B.DLL", L"c.Dll", L"d.txt", L"e.dllx",
                                             L"noext", L"Sub"}))
      << "listed in name order without regard to case";
  EXPECT_EQ(Names(L"*.*"), all) << "*.* matches names without a dot too";

  // Windows also matches 8.3 names, so "*.dll" may list e.dllx (as E~1.DLL): not checked.
  const auto dlls = Names(L"*.DLL");
  for (const wchar_t* name : {L"a.dll", L"B.DLL", L"c.Dll"})
    EXPECT_TRUE(Contains(dlls, name)) << ToUtf8(name);
  EXPECT_FALSE(Contains(dlls, L"d.txt"));
  EXPECT_EQ(Names(L"?.TXT"), std::vector<std::wstring>{L"d.txt"});
  EXPECT_EQ(Names(L"n*t"), std::vector<std::wstring>{L"noext"});

  const FindData sub = Entry(L"SUB");
  EXPECT_EQ(sub.name, L"Sub") << "the stored case";
  EXPECT_TRUE(sub.IsDirectory());
  const FindData file = Entry(L"a.dll");
  EXPECT_EQ(file.size, 1u);
  EXPECT_FALSE(file.IsDirectory());
  EXPECT_TRUE(file.attributes & attr::Archive);

  std::vector<FindData> found;
  EXPECT_EQ(List(L"*.xyz", found), err::FileNotFound);
  EXPECT_EQ(List(L"Nope\\*", found), err::PathNotFound);
  EXPECT_EQ(List(L"Sub\\*.dll", found), err::FileNotFound);
  EXPECT_EQ(Names(L"Sub\\*"), (std::vector<std::wstring>{L".", L".."}));
}

TEST_P(FileSystemContractTest, ListingInsideAFileIsNotAFolder) {
  Write(L"d.txt", "x");
  std::vector<FindData> found;
  const ErrorCode e = List(L"d.txt\\*", found);
  if (e == err::InvalidName)
    GTEST_SKIP() << "this system answers 123 where Windows answers 267 (Wine does)";
  EXPECT_EQ(e, err::Directory);
}

TEST_P(FileSystemContractTest, SetsAndClearsAttributes) {
  Write(L"f.txt", "x");
  // Archive stays in every set: Wine reports it on every file (and keeps Hidden only for
  // dot-files), so the exact results of other sets are checked against the fake alone.
  ASSERT_EQ(fs().SetAttributes(At(L"f.txt"), attr::ReadOnly | attr::Archive), 0u);
  uint32_t attributes = 0;
  ASSERT_EQ(fs().GetAttributes(At(L"F.TXT"), attributes), 0u);
  EXPECT_EQ(attributes, attr::ReadOnly | attr::Archive);
  EXPECT_EQ(Entry(L"f.txt").attributes, attr::ReadOnly | attr::Archive);
  ASSERT_EQ(fs().SetAttributes(At(L"f.txt"), attr::Archive), 0u);
  ASSERT_EQ(fs().GetAttributes(At(L"f.txt"), attributes), 0u);
  EXPECT_EQ(attributes, attr::Archive);

  Folder(L"dir");
  ASSERT_EQ(fs().GetAttributes(At(L"dir"), attributes), 0u);
  EXPECT_EQ(attributes & (attr::Directory | attr::ReparsePoint), attr::Directory);

  EXPECT_EQ(fs().GetAttributes(At(L"missing.txt"), attributes), err::FileNotFound);
  EXPECT_EQ(fs().GetAttributes(At(L"missing\\f.txt"), attributes), err::PathNotFound);
  EXPECT_EQ(fs().SetAttributes(At(L"missing.txt"), attr::Normal), err::FileNotFound);

  ASSERT_EQ(fs().SetLastWriteTime(At(L"f.txt"), kSomeTime), 0u);
  EXPECT_EQ(Entry(L"f.txt").lastWriteTime, kSomeTime);
}

TEST_P(FileSystemContractTest, AReadOnlyFileIsNotDeleted) {
  Write(L"ro.txt", "keep");
  ASSERT_EQ(fs().SetAttributes(At(L"ro.txt"), attr::ReadOnly), 0u);
  EXPECT_EQ(fs().DeleteFile(At(L"ro.txt")), err::AccessDenied);
  EXPECT_EQ(Read(L"ro.txt"), "keep");
  ASSERT_EQ(fs().SetAttributes(At(L"ro.txt"), attr::Normal), 0u);
  EXPECT_EQ(fs().DeleteFile(At(L"ro.txt")), 0u);
  EXPECT_FALSE(Exists(L"ro.txt"));
  EXPECT_EQ(fs().DeleteFile(At(L"ro.txt")), err::FileNotFound);
  EXPECT_EQ(fs().DeleteFile(At(L"missing\\ro.txt")), err::PathNotFound);
}

TEST_P(FileSystemContractTest, AReadOnlyFileIsNotOverwritten) {
  if (!harness->noReadOnlyWrites.empty()) GTEST_SKIP() << harness->noReadOnlyWrites;
  Write(L"ro.txt", "keep");
  Write(L"new.txt", "new");
  ASSERT_EQ(fs().SetAttributes(At(L"ro.txt"), attr::ReadOnly), 0u);
  const uint8_t data[] = {'x'};
  EXPECT_EQ(fs().WriteFile(At(L"ro.txt"), data, 1), err::AccessDenied);
  EXPECT_EQ(fs().CopyFile(At(L"new.txt"), At(L"ro.txt"), nullptr, nullptr, kNeverCancelled, 0),
            err::AccessDenied);
  EXPECT_EQ(Read(L"ro.txt"), "keep");
  fs().SetAttributes(At(L"ro.txt"), attr::Normal);
}

TEST_P(FileSystemContractTest, AFileHeldOpenCannotBeDeletedMovedOrReplaced) {
  Folder(L"dir");
  Write(L"dir\\held.txt", "held");
  {
    auto held = harness->HoldOpen(At(L"dir\\held.txt"));
    ASSERT_TRUE(held);
    const uint8_t data[] = {'x'};
    EXPECT_EQ(fs().DeleteFile(At(L"dir\\held.txt")), err::SharingViolation);
    EXPECT_EQ(fs().MoveFile(At(L"dir\\held.txt"), At(L"moved.txt"), 0), err::SharingViolation);
    EXPECT_EQ(fs().WriteFile(At(L"dir\\held.txt"), data, 1), err::SharingViolation);
    EXPECT_EQ(fs().RemoveFolder(At(L"dir")), err::DirNotEmpty);
  }
  EXPECT_EQ(Read(L"dir\\held.txt"), "held");
  EXPECT_EQ(fs().MoveFile(At(L"dir\\held.txt"), At(L"moved.txt"), 0), 0u);
  EXPECT_EQ(fs().RemoveFolder(At(L"dir")), 0u);
}

TEST_P(FileSystemContractTest, MovesAndRenamesFilesAndFolders) {
  Write(L"a.txt", "a");
  Write(L"b.txt", "b");
  EXPECT_EQ(fs().MoveFile(At(L"a.txt"), At(L"b.txt"), 0), err::AlreadyExists);
  EXPECT_EQ(fs().MoveFile(At(L"a.txt"), At(L"B.TXT"), moveflags::ReplaceExisting), 0u);
  EXPECT_FALSE(Exists(L"a.txt"));
  EXPECT_EQ(Read(L"b.txt"), "a");

  Folder(L"src");
  Write(L"src\\inner.txt", "inner");
  EXPECT_EQ(fs().MoveFile(At(L"src"), At(L"dst"), 0), 0u);
  EXPECT_EQ(Read(L"dst\\inner.txt"), "inner");
  EXPECT_FALSE(Exists(L"src"));

  EXPECT_EQ(fs().MoveFile(At(L"missing.txt"), At(L"x.txt"), 0), err::FileNotFound);
  EXPECT_EQ(fs().MoveFile(At(L"b.txt"), At(L"missing\\x.txt"), 0), err::PathNotFound);
}

TEST_P(FileSystemContractTest, CopiesContentAndLastWriteTime) {
  Write(L"src.bin", "content");
  ASSERT_EQ(fs().SetLastWriteTime(At(L"src.bin"), kSomeTime), 0u);
  ASSERT_EQ(fs().CopyFile(At(L"src.bin"), At(L"dst.bin"), nullptr, nullptr, kNeverCancelled, 0),
            0u);
  EXPECT_EQ(Read(L"dst.bin"), "content");
  EXPECT_EQ(Entry(L"dst.bin").lastWriteTime, kSomeTime);

  Write(L"other.bin", "other");
  EXPECT_EQ(fs().CopyFile(At(L"other.bin"), At(L"dst.bin"), nullptr, nullptr, kNeverCancelled,
                          copyflags::FailIfExists),
            err::FileExists);
  EXPECT_EQ(Read(L"dst.bin"), "content");
  EXPECT_EQ(fs().CopyFile(At(L"other.bin"), At(L"dst.bin"), nullptr, nullptr, kNeverCancelled, 0),
            0u);
  EXPECT_EQ(Read(L"dst.bin"), "other");

  EXPECT_EQ(fs().CopyFile(At(L"missing.bin"), At(L"x.bin"), nullptr, nullptr, kNeverCancelled, 0),
            err::FileNotFound);
  EXPECT_EQ(
      fs().CopyFile(At(L"src.bin"), At(L"missing\\x.bin"), nullptr, nullptr, kNeverCancelled, 0),
      err::PathNotFound);
}

struct ProgressLog {
  std::vector<CopyProgress> calls;
  uint32_t answerAtChunk = kProgressContinue;  // returned from the first chunk on
  CancelFlag* cancelAtSwitch = nullptr;        // set at the stream switch
};

uint32_t LogProgress(const CopyProgress& progress, void* userData) {
  auto* log = static_cast<ProgressLog*>(userData);
  log->calls.push_back(progress);
  if (progress.callbackReason == kCallbackStreamSwitch) {
    if (log->cancelAtSwitch) *log->cancelAtSwitch = 1;
    return kProgressContinue;
  }
  return log->answerAtChunk;
}

TEST_P(FileSystemContractTest, CopyReportsProgressAndCanBeCancelled) {
  if (!harness->noCopyProgress.empty()) GTEST_SKIP() << harness->noCopyProgress;
  const std::string content(300 * 1024, 'p');
  Write(L"big.bin", content);

  ProgressLog log;
  ASSERT_EQ(fs().CopyFile(At(L"big.bin"), At(L"copy.bin"), &LogProgress, &log, kNeverCancelled, 0),
            0u);
  ASSERT_GE(log.calls.size(), 2u);
  EXPECT_EQ(log.calls.front().callbackReason, kCallbackStreamSwitch);
  EXPECT_EQ(log.calls.front().totalBytesTransferred, 0u);
  EXPECT_EQ(log.calls.front().totalFileSize, content.size());
  EXPECT_EQ(log.calls.back().callbackReason, kCallbackChunkFinished);
  EXPECT_EQ(log.calls.back().totalBytesTransferred, content.size());
  for (size_t i = 1; i < log.calls.size(); ++i)
    EXPECT_GE(log.calls[i].totalBytesTransferred, log.calls[i - 1].totalBytesTransferred);

  const struct {
    const char* what;
    uint32_t answer;
    bool setFlag;
  } cancels[] = {
      {"PROGRESS_CANCEL", kProgressCancel, false},
      {"PROGRESS_STOP", kProgressStop, false},
      {"cancel flag", kProgressContinue, true},
  };
  for (const auto& c : cancels) {
    ProgressLog cancelLog;
    CancelFlag cancel{0};
    cancelLog.answerAtChunk = c.answer;
    if (c.setFlag) cancelLog.cancelAtSwitch = &cancel;
    EXPECT_EQ(
        fs().CopyFile(At(L"big.bin"), At(L"cancelled.bin"), &LogProgress, &cancelLog, cancel, 0),
        err::RequestAborted)
        << c.what;
    if (c.answer == kProgressCancel || c.setFlag) {
      EXPECT_FALSE(Exists(L"cancelled.bin")) << c.what << ": a cancelled copy leaves no target";
    }
    fs().DeleteFile(At(L"cancelled.bin"));
  }
}

TEST_P(FileSystemContractTest, FolderLinksListAsReparsePointsAndRemoveAlone) {
  if (!harness->noFolderLinks.empty()) GTEST_SKIP() << harness->noFolderLinks;
  Folder(L"target");
  Write(L"target\\inside.txt", "inside");
  ASSERT_EQ(fs().CreateFolderLink(At(L"link"), At(L"target")), 0u);
  EXPECT_EQ(fs().CreateFolderLink(At(L"link"), At(L"target")), err::AlreadyExists);
  EXPECT_EQ(fs().CreateFolderLink(At(L"target"), At(L"elsewhere")), err::AlreadyExists);

  const FindData link = Entry(L"link");
  EXPECT_EQ(link.attributes & (attr::Directory | attr::ReparsePoint),
            attr::Directory | attr::ReparsePoint);
  EXPECT_EQ(link.reparseTag, kReparseTagSymlink);
  EXPECT_EQ(Names(L"link\\*.txt"), std::vector<std::wstring>{L"inside.txt"});
  EXPECT_EQ(Read(L"link\\inside.txt"), "inside");

  EXPECT_EQ(fs().DeleteFile(At(L"link")), err::AccessDenied);
  EXPECT_EQ(fs().RemoveFolder(At(L"link")), 0u) << "the link goes, full target or not";
  EXPECT_FALSE(Exists(L"link"));
  EXPECT_EQ(Read(L"target\\inside.txt"), "inside");
}

TEST_P(FileSystemContractTest, FinalPathGivesOnDiskNamesAndFollowsFolderLinks) {
  Folder(L"Real");
  Folder(L"Real\\Sub");
  Write(L"Real\\Sub\\File.txt", "x");
  // The scratch folder's own final form (a temporary folder may be reached through other names).
  std::wstring base;
  ASSERT_EQ(fs().GetFinalPath(harness->scratch, base), 0u);
  EXPECT_EQ(base.find(L'?'), std::wstring::npos) << "the \\\\?\\ prefix is taken off";
  EXPECT_TRUE(EndsWithNoCase(base, harness->scratch.substr(path::FindFileName(harness->scratch))))
      << ToUtf8(base);

  const struct {
    const wchar_t* asked;
    ErrorCode rc;
    const wchar_t* final;  // below the scratch folder
  } cases[] = {
      {L"real\\SUB", 0, L"\\Real\\Sub"},
      {L"REAL\\sub\\", 0, L"\\Real\\Sub"},
      {L"real\\sub\\file.TXT", 0, L"\\Real\\Sub\\File.txt"},
      {L"real\\missing", err::FileNotFound, L""},
      {L"missing\\deeper", err::PathNotFound, L""},
  };
  for (const auto& c : cases) {
    std::wstring out = L"?";
    EXPECT_EQ(fs().GetFinalPath(At(c.asked), out), c.rc) << ToUtf8(c.asked);
    if (c.rc == 0) {
      EXPECT_EQ(out, base + c.final) << ToUtf8(c.asked);
    }
  }

  if (!harness->noFolderLinks.empty()) GTEST_SKIP() << harness->noFolderLinks;
  ASSERT_EQ(fs().CreateFolderLink(At(L"link"), At(L"Real\\Sub")), 0u);
  ASSERT_EQ(fs().CreateFolderLink(At(L"Real\\Sub\\up"), At(L"Real")), 0u);
  std::wstring out;
  ASSERT_EQ(fs().GetFinalPath(At(L"LINK"), out), 0u);
  EXPECT_EQ(out, base + L"\\Real\\Sub");
  ASSERT_EQ(fs().GetFinalPath(At(L"link\\up\\sub\\file.txt"), out), 0u);
  EXPECT_EQ(out, base + L"\\Real\\Sub\\File.txt");
}

// A full path is only tidied: "." and ".." resolved, names kept as given, a trailing backslash
// kept; nothing need exist there.
TEST_P(FileSystemContractTest, FullPathOfAFullPathResolvesDotsOnly) {
  const struct {
    const wchar_t* asked;
    const wchar_t* full;  // below the scratch folder
  } cases[] = {
      {L"Missing\\File.TXT", L"\\Missing\\File.TXT"},
      {L"a\\..\\b\\.\\c", L"\\b\\c"},
      {L"d\\", L"\\d\\"},
  };
  for (const auto& c : cases) {
    std::wstring out = L"?";
    EXPECT_EQ(fs().GetFullPath(At(c.asked), out), 0u) << ToUtf8(c.asked);
    EXPECT_EQ(out, harness->scratch + c.full) << ToUtf8(c.asked);
  }
}

TEST_P(FileSystemContractTest, ReportsFreeSpaceOfAFolder) {
  uint64_t freeBytes = 0, totalBytes = 0;
  ASSERT_EQ(fs().GetFreeSpace(harness->scratch, freeBytes, totalBytes), 0u);
  EXPECT_GT(totalBytes, 0u);
  EXPECT_LE(freeBytes, totalBytes);
  Write(L"f.txt", "x");
  EXPECT_EQ(fs().GetFreeSpace(At(L"missing"), freeBytes, totalBytes), err::FileNotFound);
  EXPECT_EQ(fs().GetFreeSpace(At(L"missing\\deeper"), freeBytes, totalBytes), err::PathNotFound);
  EXPECT_EQ(fs().GetFreeSpace(At(L"f.txt"), freeBytes, totalBytes), err::Directory);
  EXPECT_EQ(fs().GetDriveType(harness->scratch.substr(0, 3)), drive::Fixed);
}

TEST_P(FileSystemContractTest, ReadsRangesOfAFile) {
  Write(L"ten.bin", "0123456789");
  const struct {
    uint64_t offset;
    size_t max;
    std::string expected;
  } cases[] = {
      {0, 4, "0123"},
      {8, 10, "89"},
      {0, 100, "0123456789"},
      {10, 5, ""},
      {20, 5, ""},
      {3, 0, ""},
      // From the start with nothing asked, and more than a header's worth asked.
      {0, 0, ""},
      {0, 1 << 20, "0123456789"},
  };
  for (const auto& c : cases) {
    Bytes out{'?'};
    ASSERT_EQ(fs().ReadFile(At(L"ten.bin"), c.offset, c.max, out), 0u) << c.offset;
    EXPECT_EQ(std::string(out.begin(), out.end()), c.expected) << c.offset << "+" << c.max;
  }
  Bytes out{'?'};
  Write(L"empty.bin", "");
  EXPECT_EQ(fs().ReadFile(At(L"empty.bin"), 0, 4, out), 0u);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(fs().ReadFile(At(L"missing.bin"), 0, 4, out), err::FileNotFound);
  Folder(L"dir");
  EXPECT_EQ(fs().ReadFile(At(L"dir"), 0, 4, out), err::AccessDenied);
}

TEST_P(FileSystemContractTest, CreatesAndRemovesFoldersWithWindowsErrors) {
  Folder(L"dir");
  EXPECT_EQ(fs().CreateFolder(At(L"DIR")), err::AlreadyExists);
  Write(L"file.txt", "x");
  EXPECT_EQ(fs().CreateFolder(At(L"file.txt")), err::AlreadyExists);
  EXPECT_EQ(fs().CreateFolder(At(L"missing\\dir")), err::PathNotFound);

  Write(L"dir\\f.txt", "x");
  EXPECT_EQ(fs().RemoveFolder(At(L"dir")), err::DirNotEmpty);
  EXPECT_EQ(fs().RemoveFolder(At(L"file.txt")), err::Directory);
  EXPECT_EQ(fs().RemoveFolder(At(L"missing")), err::FileNotFound);
  EXPECT_EQ(fs().RemoveFolder(At(L"missing\\dir")), err::PathNotFound);
  ASSERT_EQ(fs().DeleteFile(At(L"dir\\f.txt")), 0u);
  EXPECT_EQ(fs().RemoveFolder(At(L"dir")), 0u);
  EXPECT_FALSE(Exists(L"dir"));
}

TEST_P(FileSystemContractTest, AReadOnlyFolderIsNotRemoved) {
  Folder(L"ro");
  ASSERT_EQ(fs().SetAttributes(At(L"ro"), attr::ReadOnly), 0u);
  uint32_t attributes = 0;
  ASSERT_EQ(fs().GetAttributes(At(L"ro"), attributes), 0u);
  if (!(attributes & attr::ReadOnly))
    GTEST_SKIP() << "this file system drops the read-only attribute of folders (Wine does)";
  EXPECT_EQ(fs().RemoveFolder(At(L"ro")), err::AccessDenied);
  ASSERT_EQ(fs().SetAttributes(At(L"ro"), attr::Normal), 0u);
  EXPECT_EQ(fs().RemoveFolder(At(L"ro")), 0u);
}

INSTANTIATE_TEST_SUITE_P(Backends, FileSystemContractTest,
                         ::testing::ValuesIn(testing::AllFileSystemBackends()),
                         testing::BackendNamePrinter());

}  // namespace
}  // namespace tessaly
