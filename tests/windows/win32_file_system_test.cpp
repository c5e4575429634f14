// The Win32 file-system backend where only the real system shows it: a Unix folder link in the
// Wine prefix lists as a directory reparse point, and files that others have open can be read.
#include <gtest/gtest.h>

#include <map>

#include "platform/win32/shell_win32.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_file_system.h"
#include "tests/support/backends.h"

namespace tessaly::testing {
namespace {

bool RunsUnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Made by scripts/wine-run.sh when it creates the prefix: tree\link is a Unix symbolic link to
// ..\real. Other tests fill both folders with files of their own.
constexpr wchar_t kLinkTree[] = L"C:\\tessaly-fixtures\\link-tree\\tree";

TEST(Win32FileSystemTest, ListsAFolderLinkAsADirectoryReparsePoint) {
  if (GetFileAttributesW(kLinkTree) == INVALID_FILE_ATTRIBUTES) {
    if (!RunsUnderWine()) GTEST_SKIP() << "the link-tree fixture exists only in the Wine prefix";
    FAIL() << "scripts/wine-run.sh did not make the link-tree fixture";
  }
  Win32FileSystem fs;
  std::map<std::wstring, FindData> entries;
  ASSERT_EQ(fs.FindFiles(std::wstring(kLinkTree) + L"\\*",
                         [&](const FindData& entry) {
                           entries[entry.name] = entry;
                           return true;
                         }),
            0u);
  ASSERT_EQ(entries.count(L"link"), 1u);
  ASSERT_EQ(entries.count(L"."), 1u);
  EXPECT_EQ(entries[L"link"].attributes & (attr::Directory | attr::ReparsePoint),
            attr::Directory | attr::ReparsePoint);
  EXPECT_TRUE(entries[L"link"].IsDirectory());
  EXPECT_TRUE(entries[L"link"].IsReparsePoint());
  EXPECT_TRUE(entries[L"."].IsDirectory());
  EXPECT_FALSE(entries[L"."].IsReparsePoint());
}

TEST(Win32FileSystemTest, ReadsAFileThatAnotherHandleHasOpenForWritingAndDeleting) {
  auto harness = Win32FileSystemBackends().front().make();
  const std::wstring file = harness->scratch + L"\\open.log";
  const std::string text = "0123456789";
  ASSERT_EQ(
      harness->fs().WriteFile(file, reinterpret_cast<const uint8_t*>(text.data()), text.size()),
      0u);
  HANDLE writer = CreateFileW(file.c_str(), GENERIC_WRITE | DELETE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);

  struct Case {
    uint64_t offset;
    size_t maxBytes;
    std::string expected;
  };
  for (const Case& c : {Case{0, SIZE_MAX, text}, Case{2, 4, "2345"}, Case{8, 100, "89"},
                        Case{10, 5, ""}, Case{50, 5, ""}}) {
    std::vector<uint8_t> out(3, 'x');
    EXPECT_EQ(harness->fs().ReadFile(file, c.offset, c.maxBytes, out), 0u) << c.offset;
    EXPECT_EQ(std::string(out.begin(), out.end()), c.expected) << c.offset;
  }
  CloseHandle(writer);
}

TEST(ShowInExplorerTest, RefusesNullAndMissingPathsWithoutOpeningAWindow) {
  auto harness = Win32FileSystemBackends().front().make();
  EXPECT_EQ(ShowInExplorer(nullptr), err::InvalidParameter);
  EXPECT_EQ(ShowInExplorer((harness->scratch + L"\\missing.txt").c_str()), err::FileNotFound);
  EXPECT_EQ(ShowInExplorer((harness->scratch + L"\\missing\\deeper").c_str()), err::FileNotFound);
}

}  // namespace
}  // namespace tessaly::testing
