// The tree walks on a real folder link: the prefix's link-tree fixture holds real\ and tree\,
// with tree\link a link to ..\real that the system lists as Directory | ReparsePoint. Counting,
// copying and deleting tree\ must never reach real\ through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_system.h"
#include "tests/support/backends.h"

namespace tessaly {
namespace {

const std::wstring kFixture = L"C:\\tessaly-fixtures\\link-tree";
const std::wstring kReal = kFixture + L"\\real";
const std::wstring kTree = kFixture + L"\\tree";
const std::wstring kLink = kTree + L"\\link";

class TreeLinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The tests of this suite share one fixture tree of the prefix, and ctest may run two of
    // them at once in two processes: one at a time.
    fixtureLock_ = CreateMutexW(nullptr, FALSE, L"Local\\TessalyTreeLinksFixture");
    ASSERT_NE(fixtureLock_, nullptr);
    const DWORD waited = WaitForSingleObject(fixtureLock_, 120000);
    ASSERT_TRUE(waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED);
    locked_ = true;
    uint32_t attributes = 0;
    if (fs.GetAttributes(kFixture, attributes) != 0) {
      GTEST_SKIP() << "no link-tree fixture in this prefix (scripts/wine-run.sh makes it)";
    }
    // Everything below would reach real\ if the link were a plain folder: stop first.
    ASSERT_EQ(EntryAttributes(kTree, L"link") & (attr::Directory | attr::ReparsePoint),
              attr::Directory | attr::ReparsePoint)
        << "tree\\link must list as a folder reparse point";
    ASSERT_TRUE(IsDirectory(fs, kReal));

    // Fresh files each run; reparse points are never entered or removed.
    EmptyFolder(kReal);
    EmptyFolder(kTree);
    Write(kReal + L"\\a.txt", "real a");
    Write(kReal + L"\\b.txt", "real b");
    Write(kTree + L"\\x.txt", "tree x");
    ASSERT_EQ(fs.CreateFolder(kTree + L"\\sub"), 0u);
    Write(kTree + L"\\sub\\y.txt", "tree y");
  }

  void TearDown() override {
    if (!IsSkipped()) ExpectRealUntouched();
    if (locked_) ReleaseMutex(fixtureLock_);
    if (fixtureLock_) CloseHandle(fixtureLock_);
  }

  uint32_t EntryAttributes(const std::wstring& folder, const std::wstring& name) {
    uint32_t found = 0;
    (void)fs.FindFiles(folder + L"\\*", [&](const FindData& entry) {
      if (EqualsNoCase(entry.name, name)) found = entry.attributes;
      return true;
    });
    return found;
  }

  void EmptyFolder(const std::wstring& folder) {
    std::vector<FindData> entries;
    (void)fs.FindFiles(folder + L"\\*", [&](const FindData& entry) {
      if (entry.name != L"." && entry.name != L"..") entries.push_back(entry);
      return true;
    });
    for (const FindData& entry : entries) {
      if (entry.IsReparsePoint()) continue;
      const std::wstring path = folder + L"\\" + entry.name;
      if (entry.IsDirectory()) {
        EmptyFolder(path);
        ASSERT_EQ(fs.RemoveFolder(path), 0u) << ToUtf8(path);
      } else {
        (void)fs.SetAttributes(path, attr::Normal);
        ASSERT_EQ(fs.DeleteFile(path), 0u) << ToUtf8(path);
      }
    }
  }

  void Write(const std::wstring& path, const std::string& text) {
    ASSERT_EQ(fs.WriteFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size()), 0u)
        << ToUtf8(path);
  }

  std::string Read(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    if (fs.ReadFile(path, 0, 4096, bytes) != 0) return "<unreadable>";
    return std::string(bytes.begin(), bytes.end());
  }

  void ExpectRealUntouched() {
    EXPECT_EQ(Read(kReal + L"\\a.txt"), "real a");
    EXPECT_EQ(Read(kReal + L"\\b.txt"), "real b");
  }

  Win32FileSystem fs;
  Win32System system;
  const PatternSet all{L"*.*"};
  HANDLE fixtureLock_ = nullptr;
  bool locked_ = false;
};

TEST_F(TreeLinksTest, CountTreeDoesNotFollowTheLink) {
  TreeOperationProgress progress;
  EXPECT_EQ(CountTree(fs, all, kTree, kNeverCancelled, progress), 0u);
  EXPECT_EQ(progress.filesCounted, 2u);
  EXPECT_EQ(progress.foldersVisited, 2u);  // tree and sub
  EXPECT_EQ(progress.errors, 0u);
}

TEST_F(TreeLinksTest, CopyTreeSkipsTheLinkAndWhatIsBehindIt) {
  auto scratch = testing::Win32FileSystemBackends().front().make();
  const std::wstring target = scratch->scratch + L"\\copy";
  TreeOperationProgress progress;
  EXPECT_EQ(CopyTree(fs, system, kTree, all, target, false, kNeverCancelled, nullptr, &progress,
                     nullptr, nullptr),
            0u);
  EXPECT_EQ(progress.filesDone, 2u);
  EXPECT_EQ(Read(target + L"\\x.txt"), "tree x");
  EXPECT_EQ(Read(target + L"\\sub\\y.txt"), "tree y");
  uint32_t attributes = 0;
  EXPECT_NE(fs.GetAttributes(target + L"\\link", attributes), 0u) << "the link was copied";
}

// The deletion runs on a tree of its own whose link, made by the backend (under Wine by the
// host), leads to the fixture's real\: the link goes as a link, and real\ keeps its files. The
// fixture's own link stays for the other tests.
TEST_F(TreeLinksTest, DeleteTreeRemovesTheLinkAndLeavesTheLinkedFolderAlone) {
  auto scratch = testing::Win32FileSystemBackends().front().make();
  if (!scratch->noFolderLinks.empty()) GTEST_SKIP() << scratch->noFolderLinks;
  const std::wstring tree = scratch->scratch + L"\\tree";
  ASSERT_EQ(CreateDirectoryTree(fs, tree + L"\\sub"), 0u);
  Write(tree + L"\\x.txt", "tree x");
  Write(tree + L"\\sub\\y.txt", "tree y");
  ASSERT_EQ(fs.CreateFolderLink(tree + L"\\link", kReal), 0u);
  TreeOperationProgress progress;
  EXPECT_EQ(DeleteTree(fs, all, tree, {.progress = &progress, .removeFolders = true}), 0u);
  EXPECT_EQ(progress.filesDone, 2u);
  uint32_t attributes = 0;
  EXPECT_NE(fs.GetAttributes(tree, attributes), 0u) << "the tree and its link are gone";
}

}  // namespace
}  // namespace tessaly
