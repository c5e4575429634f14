// File operations: the pure rules (rebasing, time comparison) and the failures that
// only the in-memory file system can stage (UNC volumes, drive types, injected errors).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/text.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_system.h"

namespace tessaly {
namespace {

using Op = FakeFileSystem::Operation;

TEST(RebasePathTest, MovesThePathFromOneRootToAnother) {
  const std::wstring longRoot = L"D:\\" + std::wstring(254, L'n');  // 257 characters
  const struct {
    const wchar_t* path;
    const wchar_t* oldRoot;
    std::wstring newRoot;
    ErrorCode result;
    std::wstring out;  // empty: left unchanged
  } cases[] = {
      {L"C:\\Data\\Lib\\a.wav", L"C:\\Data\\", L"D:\\New", 0, L"D:\\New\\Lib\\a.wav"},
      {L"C:\\Data\\Lib\\a.wav", L"C:\\Other", L"D:\\New", 2, L""},
      {L"c:\\DATA\\Lib\\a.wav", L"C:\\data", L"D:\\New\\", 0, L"D:\\New\\Lib\\a.wav"},
      // Whole components only: C:\Database is not below C:\Data.
      {L"C:\\Database\\a.wav", L"C:\\Data", L"D:\\New", 2, L""},
      {L"C:\\Data", L"C:\\Data\\", L"D:\\New", 0, L"D:\\New"},
      {L"C:\\Data\\a.wav", L"C:\\", L"D:\\New", 0, L"D:\\New\\Data\\a.wav"},
      {L"\\\\srv\\share\\Lib\\a.wav", L"\\\\srv\\share", L"E:\\X", 0, L"E:\\X\\Lib\\a.wav"},
      // 259 characters fit; 260 do not.
      {L"C:\\Data\\x", L"C:\\Data", longRoot, 0, longRoot + L"\\x"},
      {L"C:\\Data\\xy", L"C:\\Data", longRoot, 234, L""},
      {L"", L"C:\\Data", L"D:\\New", 87, L""},
      {L"C:\\Data\\x", L"", L"D:\\New", 87, L""},
      {L"C:\\Data\\x", L"C:\\Data", L"", 87, L""},
  };
  for (const auto& c : cases) {
    std::wstring out = L"unchanged";
    EXPECT_EQ(RebasePath(c.path, c.oldRoot, c.newRoot, out), c.result)
        << c.path << " " << c.oldRoot;
    EXPECT_EQ(out, c.out.empty() ? L"unchanged" : c.out);
  }
}

TEST(IsSourceNewerTest, NeedsMoreThanTwoSeconds) {
  const FileTime t = 133541136000000000ull;
  const FileTime second = kFileTimeTicksPerSecond;
  const struct {
    FileTime source, target;
    bool newer;
  } cases[] = {
      {t + 2 * second, t, false}, {t + 2 * second + 1, t, true},
      {t + 60 * second, t, true}, {t, t, false},
      {t - 1, t, false},          {0, t, false},  // far older: no wrap-around
      {t, t - 3 * second, true},
  };
  for (const auto& c : cases) {
    FindData source, target;
    source.lastWriteTime = c.source;
    target.lastWriteTime = c.target;
    EXPECT_EQ(IsSourceNewer(source, target), c.newer) << c.source << " vs " << c.target;
  }
}

TEST(IsRealSubfolderTest, TellsFoldersAndLinksFromDotsAndFiles) {
  const struct {
    const wchar_t* name;
    uint32_t attributes;
    bool real, link;
  } cases[] = {
      {L".", attr::Directory, false, false},
      {L"..", attr::Directory, false, false},
      {L"Sub", attr::Directory, true, false},
      {L"Link", attr::Directory | attr::ReparsePoint, true, true},
      {L"a.dll", attr::Archive, false, false},
      {L"file-link.dll", attr::Archive | attr::ReparsePoint, false, false},
  };
  for (const auto& c : cases) {
    FindData entry;
    entry.name = c.name;
    entry.attributes = c.attributes;
    bool isLink = true;
    EXPECT_EQ(IsRealSubfolder(entry, isLink), c.real) << c.name;
    EXPECT_EQ(isLink, c.link) << c.name;
  }
}

// --- Staged failures on the in-memory file system ----------------------------------------------

class FakeFileOpsTest : public ::testing::Test {
 protected:
  std::vector<std::wstring> Changes() const { return fs.Operations(); }

  FakeFileSystem fs;
  FakeSystem system;
  PatternSet all{L"*.*"};
};

TEST_F(FakeFileOpsTest, CreateDirectoryTreeNeverCreatesServerOrShare) {
  fs.AddVolume(L"\\\\server\\share", 1 << 20, 1 << 30);
  EXPECT_EQ(CreateDirectoryTree(fs, L"\\\\server\\share\\a\\b\\"), 0u);
  EXPECT_TRUE(fs.IsFolder(L"\\\\server\\share\\a\\b"));
  EXPECT_EQ(Changes(), (std::vector<std::wstring>{L"CreateFolder \\\\server\\share\\a",
                                                  L"CreateFolder \\\\server\\share\\a\\b"}));

  fs.ClearOperations();
  EXPECT_NE(CreateDirectoryTree(fs, L"\\\\nohost\\noshare\\x\\y"), 0u);
  EXPECT_NE(CreateDirectoryTree(fs, L"\\\\nohost\\noshare"), 0u);
  for (const std::wstring& change : Changes()) {
    EXPECT_NE(change, L"CreateFolder \\\\nohost") << "server created";
    EXPECT_NE(change, L"CreateFolder \\\\nohost\\noshare") << "share created";
  }
}

TEST_F(FakeFileOpsTest, CreateDirectoryTreeOnADriveOnlyTestsTheDrive) {
  // Roots that do not answer: the drive type decides.
  fs.AddVolume(L"R:", 0, 1 << 30, drive::Unknown);
  fs.AddVolume(L"E:", 0, 1 << 30, drive::CdRom);
  fs.InjectFailure(Op::GetAttributes, L"R:\\", err::NotReady);
  fs.InjectFailure(Op::GetAttributes, L"E:\\", err::NotReady);
  const struct {
    const wchar_t* path;
    ErrorCode result;
  } cases[] = {
      {L"C:", 0}, {L"C:\\", 0}, {L"Q:", 3}, {L"Q:\\", 3}, {L"R:", 15}, {L"E:", 0}, {L"\\", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(CreateDirectoryTree(fs, c.path), c.result) << c.path;
  EXPECT_TRUE(Changes().empty());
}

TEST_F(FakeFileOpsTest, CreateDirectoryTreeReturnsTheCreationError) {
  fs.InjectFailure(Op::CreateFolder, L"C:\\a\\b", err::AccessDenied);
  EXPECT_EQ(CreateDirectoryTree(fs, L"C:\\a\\b\\c"), err::AccessDenied);
  EXPECT_TRUE(fs.IsFolder(L"C:\\a"));
  EXPECT_FALSE(fs.Exists(L"C:\\a\\b"));
}

TEST_F(FakeFileOpsTest, DeleteOneFileRetriesOnceAfterAccessDenied) {
  fs.AddFile(L"C:\\d\\locked.dll", "x");
  fs.InjectFailure(Op::DeleteFile, L"C:\\d\\locked.dll", err::AccessDenied);
  EXPECT_EQ(DeleteOneFile(fs, L"C:\\d\\locked.dll"), err::AccessDenied);
  EXPECT_EQ(Changes(), (std::vector<std::wstring>{L"DeleteFile C:\\d\\locked.dll",
                                                  L"DeleteFile C:\\d\\locked.dll"}));
}

TEST_F(FakeFileOpsTest, DeleteOneFileUsesTheLongFormBeyond260Characters) {
  fs.AddVolume(L"\\\\server\\share", 1 << 20, 1 << 30);
  const std::wstring deep = L"\\" + std::wstring(130, L'd') + L"\\" + std::wstring(130, L'e');
  const struct {
    std::wstring path;
    std::wstring asked;
  } cases[] = {
      {L"C:" + deep + L"\\f.wav", L"\\\\?\\C:" + deep + L"\\f.wav"},
      {L"\\\\server\\share" + deep + L"\\f.wav", L"\\\\?\\UNC\\server\\share" + deep + L"\\f.wav"},
      {L"C:\\short\\f.wav", L"C:\\short\\f.wav"},
  };
  for (const auto& c : cases) {
    fs.AddFile(c.path, "x");
    fs.ClearOperations();
    EXPECT_EQ(DeleteOneFile(fs, c.path), 0u) << c.path;
    EXPECT_FALSE(fs.Exists(c.path));
    EXPECT_EQ(Changes(), std::vector<std::wstring>{L"DeleteFile " + c.asked});
  }
}

// A folder that a copy of the whole tree makes is filled under the temporary name and renamed
// into place once its files are whole, so that no file is ever under its final path unfinished.
// Should the folder's rename fail, its files move one by one; one that cannot move counts as
// failed, and nothing is left under the temporary name.
TEST_F(FakeFileOpsTest, ANewFolderIsFilledUnderTheTemporaryNameAndRenamedIntoPlace) {
  fs.AddFile(L"C:\\src\\sub\\a.wav", "aa");
  fs.AddFile(L"C:\\src\\sub\\b.wav", "bbb");
  fs.AddFolder(L"C:\\src\\sub\\empty");
  const CopyTreeOptions whole{.onlyIfNewer = true,
                              .wholeTree = true,
                              .throughTemporaryName = true,
                              .temporaryName = L"~run.partial"};
  const struct {
    const char* name;
    std::wstring target;
    std::vector<std::pair<std::wstring, ErrorCode>> failures;
    ErrorCode result;
    std::vector<std::wstring> moves;
  } cases[] = {
      {"renamed whole", L"C:\\d1", {}, 0, {L"MoveFile C:\\d1\\~run.partial -> C:\\d1\\sub"}},
      {"the folder's rename refused",
       L"C:\\d2",
       {{L"C:\\d2\\sub", 5}},
       0,
       {L"MoveFile C:\\d2\\~run.partial -> C:\\d2\\sub",
        L"MoveFile C:\\d2\\~run.partial\\a.wav -> C:\\d2\\sub\\a.wav",
        L"MoveFile C:\\d2\\~run.partial\\b.wav -> C:\\d2\\sub\\b.wav"}},
      {"a file that cannot move either",
       L"C:\\d3",
       {{L"C:\\d3\\sub", 5}, {L"C:\\d3\\sub\\b.wav", 32}},
       32,
       {L"MoveFile C:\\d3\\~run.partial -> C:\\d3\\sub",
        L"MoveFile C:\\d3\\~run.partial\\a.wav -> C:\\d3\\sub\\a.wav",
        L"MoveFile C:\\d3\\~run.partial\\b.wav -> C:\\d3\\sub\\b.wav"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs.ClearFailures();
    for (const auto& [path, code] : c.failures) fs.InjectFailure(Op::MoveFile, path, code);
    fs.ClearOperations();
    TreeOperationProgress progress;
    CopyTreeOptions options = whole;
    options.progress = &progress;
    EXPECT_EQ(CopyTree(fs, system, L"C:\\src", all, c.target, options), c.result);
    std::vector<std::wstring> moves;
    for (const std::wstring& operation : Changes()) {
      if (operation.rfind(L"MoveFile ", 0) == 0) moves.push_back(operation);
    }
    EXPECT_EQ(moves, c.moves);
    EXPECT_EQ(progress.errors, c.result == 0 ? 0u : 1u);
    EXPECT_EQ(fs.ContentsText(c.target + L"\\sub\\a.wav"), "aa");
    EXPECT_EQ(fs.Exists(c.target + L"\\sub\\b.wav"), c.result == 0);
    EXPECT_TRUE(fs.IsFolder(c.target + L"\\sub\\empty"));
    EXPECT_FALSE(fs.Exists(c.target + L"\\~run.partial"));
  }
}

TEST(FakeCopyTreeTest, ReturnsTheLastFileOperationAndCountsEveryFailure) {
  // Files are copied in listing order: a.wav, b.wav, c.wav.
  const struct {
    const wchar_t* failing;
    ErrorCode result;
  } cases[] = {{L"a.wav", 0}, {L"c.wav", err::DiskFull}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "failing " << ToUtf8(c.failing));
    FakeFileSystem fs;
    FakeSystem system;
    for (const wchar_t* name : {L"a.wav", L"b.wav", L"c.wav"}) {
      fs.AddFile(std::wstring(L"C:\\src\\") + name, uint64_t(200000));
    }
    fs.FailCopyAfter(std::wstring(L"C:\\src\\") + c.failing, 70000, err::DiskFull);
    TreeOperationProgress progress;
    EXPECT_EQ(CopyTree(fs, system, L"C:\\src", {L"*.*"}, L"C:\\dst", false, kNeverCancelled,
                       nullptr, &progress, nullptr, nullptr),
              c.result);
    EXPECT_EQ(progress.filesDone, 2u);
    EXPECT_EQ(progress.errors, 1u);
    EXPECT_FALSE(fs.Exists(std::wstring(L"C:\\dst\\") + c.failing)) << "partial copy left";
  }
}

TEST_F(FakeFileOpsTest, TreeWalksCountAFolderThatCannotBeListed) {
  fs.AddFile(L"C:\\src\\a.wav", uint64_t(10));
  fs.AddFile(L"C:\\src\\sub\\b.wav", uint64_t(20));
  fs.AddFile(L"C:\\src\\sub\\deeper\\c.wav", uint64_t(30));
  fs.InjectFailure(Op::FindFiles, L"C:\\src\\sub\\*", err::AccessDenied);

  TreeOperationProgress counted;
  EXPECT_EQ(CountTree(fs, all, L"C:\\src", kNeverCancelled, counted), 0u);
  EXPECT_EQ(counted.filesCounted, 1u);
  EXPECT_EQ(counted.errors, 1u) << "an unreadable folder must not pass as an empty one";

  TreeOperationProgress copied;
  // The result is the last file's; the unreadable folder shows in the errors.
  (void)CopyTree(fs, system, L"C:\\src", all, L"C:\\dst", {.progress = &copied});
  EXPECT_EQ(copied.filesDone, 1u);
  EXPECT_EQ(copied.errors, 1u);

  TreeOperationProgress deleted;
  EXPECT_EQ(DeleteTree(fs, all, L"C:\\src", {.progress = &deleted, .removeFolders = false}),
            err::AccessDenied);
  EXPECT_EQ(deleted.errors, 1u);
  EXPECT_TRUE(fs.IsFile(L"C:\\src\\sub\\b.wav"));
  EXPECT_FALSE(fs.Exists(L"C:\\src\\a.wav"));
}

TEST_F(FakeFileOpsTest, CopyTreeCountsATargetFolderThatCannotBeMade) {
  fs.AddFile(L"C:\\src\\a.wav", "a");
  fs.AddFile(L"C:\\src\\b.wav", "b");
  fs.InjectFailure(Op::CreateFolder, L"C:\\dst", err::AccessDenied);
  TreeOperationProgress progress;
  EXPECT_EQ(CopyTree(fs, system, L"C:\\src", all, L"C:\\dst", false, kNeverCancelled, nullptr,
                     &progress, nullptr, nullptr),
            err::AccessDenied);
  EXPECT_EQ(progress.errors, 2u);
  EXPECT_EQ(progress.filesDone, 0u);
}

TEST_F(FakeFileOpsTest, DeleteTreeReportsAnEarlierFailureAfterLaterSuccesses) {
  // Without a record nothing is counted, so the result alone must tell that a file stayed.
  for (const wchar_t* name : {L"a.wav", L"b.wav", L"c.wav"}) {
    fs.AddFile(std::wstring(L"C:\\old\\") + name, "x");
  }
  fs.InjectFailure(Op::DeleteFile, L"C:\\old\\a.wav", err::AccessDenied);
  EXPECT_EQ(DeleteTree(fs, all, L"C:\\old", {}), err::AccessDenied);
  EXPECT_EQ(fs.List(L"C:\\old"), std::vector<std::wstring>{L"a.wav"});

  fs.ClearFailures();
  EXPECT_EQ(DeleteTree(fs, all, L"C:\\old", {.removeFolders = true}), 0u);
  EXPECT_FALSE(fs.Exists(L"C:\\old"));
}

TEST_F(FakeFileOpsTest, DeleteTreeReportsAFolderThatCannotBeRemoved) {
  fs.AddFile(L"C:\\old\\sub\\a.wav", "x");
  fs.InjectFailure(Op::RemoveFolder, L"C:\\old\\sub", err::SharingViolation);
  TreeOperationProgress progress;
  EXPECT_EQ(DeleteTree(fs, all, L"C:\\old", {.progress = &progress, .removeFolders = true}),
            err::DirNotEmpty);
  EXPECT_EQ(progress.filesDone, 1u);
  EXPECT_EQ(progress.errors, 2u);  // the held subfolder, then its parent
  EXPECT_TRUE(fs.IsFolder(L"C:\\old\\sub"));
}

TEST(FakeCopyTreeTest, RefusesATargetInsideTheSource) {
  const struct {
    const wchar_t* source;
    const wchar_t* target;
    ErrorCode result;
  } cases[] = {
      {L"C:\\a", L"C:\\a\\b", err::InvalidParameter},
      {L"C:\\a\\", L"c:\\A\\sub\\", err::InvalidParameter},
      {L"C:\\a", L"C:\\A", err::InvalidParameter},
      {L"C:\\", L"C:\\copy", err::InvalidParameter},
      {L"C:\\a", L"C:\\ab", 0},
      {L"C:\\a\\b", L"C:\\a", 0},
  };
  for (const auto& c : cases) {
    FakeFileSystem fs;
    FakeSystem system;
    fs.AddFile(L"C:\\a\\b\\f.wav", "f");
    fs.AddFile(L"C:\\a\\g.wav", "g");
    fs.ClearOperations();
    EXPECT_EQ(CopyTree(fs, system, c.source, {L"*.*"}, c.target, false, kNeverCancelled, nullptr,
                       nullptr, nullptr, nullptr),
              c.result)
        << c.source << " -> " << c.target;
    EXPECT_EQ(fs.Operations().empty(), c.result != 0);
  }
}

// Records the flags each copy is asked with.
class FlagRecordingFileSystem : public FakeFileSystem {
 public:
  ErrorCode CopyFile(std::wstring_view from, std::wstring_view to, CopyProgressRoutine routine,
                     void* userData, CancelToken cancel, uint32_t copyFlags) override {
    flags.push_back(copyFlags);
    return FakeFileSystem::CopyFile(from, to, routine, userData, cancel, copyFlags);
  }
  std::vector<uint32_t> flags;
};

TEST(FakeCopyTreeTest, CopiesUnbufferedFromVistaOn) {
  for (bool vista : {true, false}) {
    FlagRecordingFileSystem fs;
    FakeSystem system;
    system.vistaOrLater = vista;
    fs.AddFile(L"C:\\src\\a.wav", "a");
    fs.AddFile(L"C:\\dst\\a.wav", "old");  // overwritten: no fail-if-exists either
    EXPECT_EQ(CopyTree(fs, system, L"C:\\src", {L"*.*"}, L"C:\\dst", false, kNeverCancelled,
                       nullptr, nullptr, nullptr, nullptr),
              0u);
    EXPECT_EQ(fs.flags, std::vector<uint32_t>{vista ? copyflags::NoBuffering : 0u});
    EXPECT_EQ(fs.ContentsText(L"C:\\dst\\a.wav"), "a");
  }
}

}  // namespace
}  // namespace tessaly
