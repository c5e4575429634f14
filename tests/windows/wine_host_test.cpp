// The host's commands under Wine: each argument reaches the host program as one argv entry, byte
// for byte, whatever it holds; folder links with awkward names are made and removed as links,
// their targets untouched. Outside Wine only the quoting is checked.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/wine_host.h"
#include "tests/support/backends.h"

namespace tessaly::testing {
namespace {

// Names a Windows folder may have that a shell or an option parser would read as something else.
const wchar_t* const kAwkwardNames[] = {
    L"Strings & Brass",
    L"-rf",
    L"--",
    L"O'Brien $(touch pwned) `id`",
    L"semi;colon",
    L"Été ß 弦楽",
    L"  spaces  around  x",
};

TEST(WineHostTest, QuotesEachArgumentAsOneArgvEntry) {
  const struct {
    std::wstring argument, quoted;
  } cases[] = {
      {L"", L"\"\""},
      {L"plain", L"\"plain\""},
      {L"two words", L"\"two words\""},
      {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
      {L"C:\\folder\\", L"\"C:\\folder\\\\\""},  // the closing quote is not escaped
      {L"a\\\"b", L"\"a\\\\\\\"b\""},            // backslash before a quote: doubled, plus one
      {L"a\\\\b", L"\"a\\\\b\""},                // backslashes elsewhere stay as they are
      {L"-n", L"\"-n\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wine::QuoteArgument(c.argument), c.quoted) << ToUtf8(c.argument);
  }
}

class WineHostOnDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!wine::RunsUnderWine()) GTEST_SKIP() << "host commands exist only under Wine";
    harness = Win32FileSystemBackends().front().make();
  }
  std::unique_ptr<FileSystemHarness> harness;
};

// Every argument comes back from the host as it was sent: the host writes its $1 into a file.
TEST_F(WineHostOnDiskTest, ArgumentsReachTheHostByteForByte) {
  const std::wstring out = harness->scratch + L"\\argument.txt";
  std::wstring hostOut;
  ASSERT_TRUE(wine::ToHostPath(out, hostOut));
  std::vector<std::wstring> arguments(std::begin(kAwkwardNames), std::end(kAwkwardNames));
  arguments.push_back(L"say \"hi\" \\\" \\\\\"");
  arguments.push_back(L"trailing backslash\\");
  arguments.push_back(L"");
  for (const std::wstring& argument : arguments) {
    SCOPED_TRACE(ToUtf8(argument));
    int status = -1;
    ASSERT_EQ(wine::RunHostScript(L"printf '%s' \"$1\" > \"$2\"", {argument, hostOut}, status), 0u);
    EXPECT_EQ(status, 0);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(harness->fs().ReadFile(out, 0, 4096, bytes), 0u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), ToUtf8(argument));
  }
  int status = -1;
  ASSERT_EQ(wine::RunHostScript(L"exit 7", {}, status), 0u);
  EXPECT_EQ(status, 7) << "the script's exit status comes back";
}

TEST_F(WineHostOnDiskTest, PathsMapToTheHostAndBack) {
  const std::wstring missing = harness->scratch + L"\\Missing Folder\\Été";
  std::wstring host, back;
  ASSERT_TRUE(wine::ToHostPath(missing, host));
  EXPECT_EQ(host.front(), L'/');
  EXPECT_TRUE(EndsWithNoCase(host, L"/Missing Folder/Été")) << ToUtf8(host);
  ASSERT_TRUE(wine::ToWindowsPath(host, back));
  EXPECT_NE(back.find(L"Missing Folder\\Été"), std::wstring::npos) << ToUtf8(back);
  ASSERT_TRUE(wine::ToWindowsPath(L"/bin/sh", back));
  EXPECT_NE(GetFileAttributesW(back.c_str()), INVALID_FILE_ATTRIBUTES) << ToUtf8(back);
}

// Links and targets with awkward names: each link is made, followed, listed as a folder link and
// removed alone.
TEST_F(WineHostOnDiskTest, LinksWithAwkwardNamesAreMadeAndRemovedAsLinks) {
  FileSystem& fs = harness->fs();
  for (const wchar_t* name : kAwkwardNames) {
    SCOPED_TRACE(ToUtf8(name));
    const std::wstring target = harness->scratch + L"\\target " + name;
    const std::wstring link = harness->scratch + L"\\link " + name;
    ASSERT_EQ(fs.CreateFolder(target), 0u);
    const uint8_t byte = 'x';
    ASSERT_EQ(fs.WriteFile(target + L"\\inside.txt", &byte, 1), 0u);

    ASSERT_EQ(wine::MakeHostFolderLink(link, target), 0u);
    const DWORD attributes = GetFileAttributesW(link.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              DWORD(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_NE(GetFileAttributesW((link + L"\\inside.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(wine::IsHostLink(link));
    EXPECT_FALSE(wine::IsHostLink(target));
    EXPECT_EQ(wine::MakeHostFolderLink(link, target), err::AlreadyExists);

    EXPECT_EQ(fs.RemoveFolder(link), 0u);
    EXPECT_EQ(GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW((target + L"\\inside.txt").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the target lost its file";
    EXPECT_EQ(wine::RemoveHostLink(target), err::NotAReparsePoint) << "a real folder is no link";
  }
}

// A host link to a file lists as a plain file under Wine; deleting it removes the link alone.
TEST_F(WineHostOnDiskTest, DeletingAHostLinkToAFileKeepsTheFile) {
  const std::wstring file = harness->scratch + L"\\real file.txt";
  const std::wstring link = harness->scratch + L"\\file link.txt";
  const uint8_t byte = 'x';
  ASSERT_EQ(harness->fs().WriteFile(file, &byte, 1), 0u);
  std::wstring hostFile, hostLink;
  ASSERT_TRUE(wine::ToHostPath(file, hostFile));
  ASSERT_TRUE(wine::ToHostPath(link, hostLink));
  int status = -1;
  ASSERT_EQ(wine::RunHostScript(L"ln -s -- \"$1\" \"$2\"", {hostFile, hostLink}, status), 0u);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(harness->fs().DeleteFile(link), 0u);
  EXPECT_FALSE(wine::IsHostLink(link));
  EXPECT_NE(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << "the file went too";
  EXPECT_EQ(harness->fs().DeleteFile(file), 0u) << "a plain file is deleted as before";
  EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace tessaly::testing
