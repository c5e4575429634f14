// What only the fakes do (injected failures, copies failing midway, running out of space, the
// record of operations, a settable clock) and the Windows rules that Wine cannot show.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"

namespace tessaly {
namespace {

using Bytes = std::vector<uint8_t>;
using RegOp = FakeRegistry::Operation;
using FsOp = FakeFileSystem::Operation;
constexpr RegRoot HKLM = RegRoot::LocalMachine;
constexpr RegRoot HKCU = RegRoot::CurrentUser;
constexpr FileTime kT0 = 133541136000000000ull;  // 2024-03-05 12:00:00 UTC

// --- Registry -------------------------------------------------------------------------------

TEST(FakeRegistryTest, InjectedFailuresHitTheNamedKeyOperationAndViewForTheirCount) {
  FakeRegistry reg;
  reg.SetDword(HKLM, L"SOFTWARE\\NI\\Kontakt", L"v", 1, RegView::Key64);
  reg.SetDword(HKLM, L"SOFTWARE\\NI\\Kontakt", L"v", 1, RegView::Key32);
  reg.InjectFailure(HKLM, L"software\\ni\\kontakt", RegOp::Open, 5, 2, RegView::Key64);

  std::unique_ptr<RegistryKey> key;
  EXPECT_EQ(reg.OpenKey(HKLM, L"SOFTWARE\\NI\\Kontakt", access::Read, key), 0u) << "32-bit view";
  EXPECT_EQ(reg.OpenKey(HKLM, L"SOFTWARE\\NI\\Kontakt", access::Read | access::Wow64_64Key, key),
            5u);
  std::unique_ptr<RegistryKey> ni;
  ASSERT_EQ(reg.OpenKey(HKLM, L"SOFTWARE\\NI", access::Read | access::Wow64_64Key, ni), 0u);
  EXPECT_EQ(ni->OpenSubKey(L"Kontakt", access::Read | access::Wow64_64Key, key), 5u)
      << "a relative open names the same key";
  EXPECT_EQ(ni->OpenSubKey(L"Kontakt", access::Read | access::Wow64_64Key, key), 0u)
      << "the count is spent";

  reg.InjectFailure(HKCU, L"Software\\X", RegOp::Set, 1359);
  reg.InjectFailure(HKCU, L"Software\\X", RegOp::Enum, 1359, 1);
  reg.InjectFailure(HKCU, L"Software\\X", RegOp::QueryInfo, 6, 1);
  reg.SetDword(HKCU, L"Software\\X", L"v", 1);
  std::unique_ptr<RegistryKey> x;
  ASSERT_EQ(reg.OpenKey(HKCU, L"Software\\X", access::AllAccess, x), 0u);
  EXPECT_EQ(WriteDword(*x, L"v", 2), 1359u);
  EXPECT_EQ(WriteDword(*x, L"v", 3), 1359u) << "forever by default";
  EXPECT_EQ(reg.ReadDword(HKCU, L"Software\\X", L"v"), 1u) << "a failed write changes nothing";
  std::wstring name;
  EXPECT_EQ(x->EnumValue(0, name), 1359u);
  EXPECT_EQ(x->EnumValue(0, name), 0u);
  RegKeyInfo info;
  EXPECT_EQ(x->QueryInfo(info), 6u);
  reg.ClearFailures();
  EXPECT_EQ(WriteDword(*x, L"v", 4), 0u);
}

TEST(FakeRegistryTest, ChangesAreStampedWithAClockThatMovesOnEveryChange) {
  FakeRegistry reg;
  reg.SetClock(kT0);
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(reg.CreateKey(HKCU, L"Software\\T", L"", access::AllAccess, key), 0u);
  const FileTime created = reg.LastWriteTime(HKCU, L"Software\\T");
  EXPECT_EQ(created, kT0);
  EXPECT_EQ(reg.LastWriteTime(HKCU, L"Software"), kT0) << "a new subkey changes its parent";
  ASSERT_EQ(WriteDword(*key, L"a", 1), 0u);
  ASSERT_EQ(WriteDword(*key, L"b", 1), 0u);
  const FileTime afterTwo = reg.LastWriteTime(HKCU, L"Software\\T");
  EXPECT_EQ(afterTwo, kT0 + 2);
  ASSERT_EQ(key->DeleteValue(L"a"), 0u);
  EXPECT_GT(reg.LastWriteTime(HKCU, L"Software\\T"), afterTwo);
  std::unique_ptr<RegistryKey> other;
  uint32_t v = 0;
  ASSERT_EQ(reg.OpenKey(HKCU, L"Software\\T", access::Read, other), 0u);
  EXPECT_EQ(ReadDword(*other, L"b", v), 0u);
  EXPECT_EQ(reg.LastWriteTime(HKCU, L"Software\\T"), kT0 + 3) << "reading changes nothing";
}

TEST(FakeRegistryTest, EnumeratesSubkeysByUpperCaseAndValuesInCreationOrder) {
  FakeRegistry reg;
  // Windows folds to upper case, so '_' (0x5F) sorts after the letters; Wine folds to lower.
  for (const wchar_t* name : {L"_under", L"zeta", L"Alpha", L"\u00e9t\u00e9", L"Mid"})
    reg.CreateKeyAt(HKCU, std::wstring(L"Software\\Order\\") + name);
  EXPECT_EQ(reg.SubKeyNames(HKCU, L"Software\\Order"),
            (std::vector<std::wstring>{L"Alpha", L"Mid", L"zeta", L"_under", L"\u00e9t\u00e9"}));
  EXPECT_TRUE(reg.Exists(HKCU, L"SOFTWARE\\ORDER\\\u00c9T\u00c9")) << "folding beyond A-Z";

  for (const wchar_t* name : {L"zz", L"aa", L"Mm"}) reg.SetDword(HKCU, L"Software\\V", name, 1);
  reg.SetDword(HKCU, L"Software\\V", L"AA", 2);
  EXPECT_EQ(reg.ValueNames(HKCU, L"Software\\V"), (std::vector<std::wstring>{L"zz", L"aa", L"Mm"}));
  EXPECT_EQ(reg.ReadDword(HKCU, L"Software\\V", L"aa"), 2u);
}

TEST(FakeRegistryTest, ViewsOnA64BitAndA32BitMachine) {
  FakeRegistry machine64;
  machine64.SetString(HKLM, L"SOFTWARE\\Vendor", L"Path", L"C:\\x86");  // the program's own view
  EXPECT_EQ(machine64.ReadString(HKLM, L"SOFTWARE\\Wow6432Node\\Vendor", L"Path", RegView::Key64),
            L"C:\\x86");
  EXPECT_EQ(machine64.ReadString(HKLM, L"SOFTWARE\\Vendor", L"Path", RegView::Key32), L"C:\\x86");
  EXPECT_FALSE(machine64.Exists(HKLM, L"SOFTWARE\\Vendor", RegView::Key64));
  machine64.SetString(HKCU, L"Software\\Vendor", L"Path", L"user", RegView::Key64);
  EXPECT_EQ(machine64.ReadString(HKCU, L"Software\\Vendor", L"Path", RegView::Key32), L"user");

  FakeRegistry machine32(false);
  machine32.SetString(HKLM, L"SOFTWARE\\Vendor", L"Path", L"C:\\only", RegView::Key32);
  EXPECT_EQ(machine32.ReadString(HKLM, L"SOFTWARE\\Vendor", L"Path", RegView::Key64), L"C:\\only");
  EXPECT_FALSE(machine32.Exists(HKLM, L"SOFTWARE\\Wow6432Node", RegView::Key64));
}

TEST(FakeRegistryTest, RecordsChangesWithPhysicalPaths) {
  FakeRegistry reg;
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(reg.CreateKey(HKLM, L"SOFTWARE\\A", L"", access::AllAccess, key), 0u);
  ASSERT_EQ(reg.CreateKey(HKLM, L"SOFTWARE\\A", L"", access::AllAccess, key), 0u);
  ASSERT_EQ(WriteString(*key, L"", L"x"), 0u);
  ASSERT_EQ(WriteString(*key, L"Name", L"x"), 0u);
  EXPECT_EQ(key->DeleteValue(L"Name"), 0u);
  std::unique_ptr<RegistryKey> software;
  ASSERT_EQ(reg.OpenKey(HKLM, L"SOFTWARE", access::AllAccess | access::Wow64_64Key, software), 0u);
  EXPECT_EQ(software->DeleteSubKey(L"A", access::Wow64_64Key), err::FileNotFound);
  EXPECT_EQ(software->DeleteSubKey(L"A", access::Wow64_32Key), 0u);
  EXPECT_EQ(reg.Changes(), (std::vector<std::wstring>{
                               L"CreateKey HKLM\\SOFTWARE\\Wow6432Node\\A",
                               L"SetValue HKLM\\SOFTWARE\\Wow6432Node\\A []",
                               L"SetValue HKLM\\SOFTWARE\\Wow6432Node\\A [Name]",
                               L"DeleteValue HKLM\\SOFTWARE\\Wow6432Node\\A [Name]",
                               L"DeleteKey HKLM\\SOFTWARE\\A",
                               L"DeleteKey HKLM\\SOFTWARE\\Wow6432Node\\A",
                           }));
  EXPECT_EQ(WriteString(*key, L"After", L"x"), FakeRegistry::kKeyDeleted);
}

TEST(FakeRegistryTest, AFixtureTreeDeletedUnderOpenHandlesLeavesThemDeleted) {
  FakeRegistry reg;
  reg.SetDword(HKCU, L"Software\\Tree\\Deep", L"v", 1);
  std::unique_ptr<RegistryKey> deep;
  ASSERT_EQ(reg.OpenKey(HKCU, L"Software\\Tree\\Deep", access::Read, deep), 0u);
  reg.DeleteTree(HKCU, L"Software\\Tree");
  EXPECT_FALSE(reg.Exists(HKCU, L"Software\\Tree"));
  uint32_t v = 0;
  EXPECT_EQ(ReadDword(*deep, L"v", v), FakeRegistry::kKeyDeleted);
}

// --- File system ----------------------------------------------------------------------------

class FakeFileSystemTest : public ::testing::Test {
 protected:
  static std::vector<std::wstring> Names(FileSystem& fs, std::wstring_view pattern) {
    std::vector<std::wstring> names;
    fs.FindFiles(pattern, [&](const FindData& fd) {
      if (fd.name != L"." && fd.name != L"..") names.push_back(fd.name);
      return true;
    });
    return names;
  }
  static ErrorCode Copy(FileSystem& fs, std::wstring_view from, std::wstring_view to,
                        CopyProgressRoutine routine = nullptr, void* data = nullptr) {
    return fs.CopyFile(from, to, routine, data, kNeverCancelled, 0);
  }

  FakeFileSystem fs;
};

TEST_F(FakeFileSystemTest, MatchesNamesWithTheDosWildcardRules) {
  for (const wchar_t* name : {L"a", L"ab", L"a.txt", L"e.dllx", L"x.dll", L"v.1.dll", L"noext"})
    fs.AddFile(std::wstring(L"C:\\w\\") + name, "x");
  const struct {
    const wchar_t* pattern;
    std::vector<std::wstring> names;
  } cases[] = {
      {L"*.dll", {L"v.1.dll", L"x.dll"}},  // no 8.3 names, so e.dllx stays out
      {L"*.", {L"a", L"ab", L"noext"}},    // names without a dot only
      {L"a?", {L"a", L"ab"}},              // '?' at the end also matches nothing
      {L"?.txt", {L"a.txt"}},
      {L"??.txt", {L"a.txt"}},  // and before a dot
      {L"*.*", {L"a", L"a.txt", L"ab", L"e.dllx", L"noext", L"v.1.dll", L"x.dll"}},
      {L"*x*", {L"a.txt", L"e.dllx", L"noext", L"x.dll"}},
      {L"A.TXT", {L"a.txt"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Names(fs, std::wstring(L"C:\\w\\") + c.pattern), c.names) << ToUtf8(c.pattern);
}

TEST_F(FakeFileSystemTest, InjectedFailuresMatchPathPatternsForTheirCount) {
  fs.AddFile(L"C:\\p\\a.dll", "a");
  fs.AddFile(L"C:\\p\\b.dll", "b");
  fs.AddFile(L"C:\\p\\c.txt", "c");
  fs.InjectFailure(FsOp::DeleteFile, L"C:\\P\\*.dll", 5, 1);
  fs.InjectFailure(FsOp::MoveFile, L"D:\\*", 17);
  fs.InjectFailure(FsOp::FindFiles, L"C:\\p\\*", 21, 1);

  EXPECT_EQ(fs.DeleteFile(L"C:\\p\\c.txt"), 0u);
  EXPECT_EQ(fs.DeleteFile(L"\\\\?\\C:\\p\\b.dll"), 5u);
  EXPECT_TRUE(fs.Exists(L"C:\\p\\b.dll")) << "nothing changes";
  EXPECT_EQ(fs.DeleteFile(L"C:\\p\\b.dll"), 0u);
  EXPECT_EQ(fs.MoveFile(L"C:\\p\\a.dll", L"D:\\a.dll", 0), 17u) << "the target matches";
  EXPECT_EQ(fs.FindFiles(L"C:\\p\\*", [](const FindData&) { return true; }), 21u);
  EXPECT_EQ(Names(fs, L"C:\\p\\*"), std::vector<std::wstring>{L"a.dll"});
  fs.ClearFailures();
  EXPECT_EQ(fs.MoveFile(L"C:\\p\\a.dll", L"C:\\a.dll", 0), 0u);
}

struct ChunkLog {
  std::vector<uint64_t> transferred;
  std::vector<uint32_t> reasons;
  uint32_t answer = kProgressContinue;
};

uint32_t LogChunks(const CopyProgress& p, void* data) {
  auto* log = static_cast<ChunkLog*>(data);
  log->transferred.push_back(p.totalBytesTransferred);
  log->reasons.push_back(p.callbackReason);
  return p.callbackReason == kCallbackStreamSwitch ? kProgressContinue : log->answer;
}

TEST_F(FakeFileSystemTest, CopyReportsTheStreamThen64KiBChunks) {
  fs.AddFile(L"C:\\big.bin", uint64_t(200 * 1024));
  ChunkLog log;
  ASSERT_EQ(Copy(fs, L"C:\\big.bin", L"C:\\copy.bin", &LogChunks, &log), 0u);
  EXPECT_EQ(log.transferred, (std::vector<uint64_t>{0, 65536, 131072, 196608, 204800}));
  EXPECT_EQ(log.reasons, (std::vector<uint32_t>{1, 0, 0, 0, 0}));
  EXPECT_EQ(fs.Contents(L"C:\\copy.bin"), fs.Contents(L"C:\\big.bin"));

  ChunkLog quiet;
  quiet.answer = kProgressQuiet;
  ASSERT_EQ(Copy(fs, L"C:\\big.bin", L"C:\\quiet.bin", &LogChunks, &quiet), 0u);
  EXPECT_EQ(quiet.transferred, (std::vector<uint64_t>{0, 65536})) << "quiet stops the reports";
  EXPECT_EQ(fs.FileSize(L"C:\\quiet.bin"), 200u * 1024);
}

TEST_F(FakeFileSystemTest, ACopyFailingMidwayLeavesNoTargetAndGivesItsSpaceBack) {
  fs.AddFile(L"C:\\src.bin", uint64_t(300000));
  fs.AddFile(L"C:\\old.bin", "previous");
  const uint64_t freeBefore = fs.FreeSpace(L"C:");
  fs.FailCopyAfter(L"C:\\SRC.bin", 100000, 23);
  ChunkLog log;
  EXPECT_EQ(Copy(fs, L"C:\\src.bin", L"C:\\new.bin", &LogChunks, &log), 23u);
  EXPECT_EQ(log.transferred, (std::vector<uint64_t>{0, 65536, 100000}));
  EXPECT_FALSE(fs.Exists(L"C:\\new.bin"));
  EXPECT_EQ(fs.FreeSpace(L"C:"), freeBefore);
  EXPECT_EQ(Copy(fs, L"C:\\src.bin", L"C:\\new.bin"), 0u) << "once by default";

  const CancelFlag cancel{1};
  EXPECT_EQ(fs.CopyFile(L"C:\\src.bin", L"C:\\old.bin", nullptr, nullptr, cancel, 0),
            err::RequestAborted);
  EXPECT_FALSE(fs.Exists(L"C:\\old.bin")) << "the truncated target is removed, as by Windows";
}

TEST_F(FakeFileSystemTest, WritingUsesFreeSpaceAndACopyThatDoesNotFitFails) {
  fs.AddVolume(L"D:", 1000, 5000);
  const std::string data(900, 'd');
  const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
  ASSERT_EQ(fs.WriteFile(L"D:\\a.bin", bytes, 600), 0u);
  EXPECT_EQ(fs.FreeSpace(L"D:"), 400u);
  EXPECT_EQ(fs.WriteFile(L"D:\\b.bin", bytes, 600), err::DiskFull);
  EXPECT_FALSE(fs.Exists(L"D:\\b.bin"));
  ASSERT_EQ(fs.WriteFile(L"D:\\a.bin", bytes, 900), 0u) << "the old content's space is reused";
  EXPECT_EQ(fs.FreeSpace(L"D:"), 100u);

  fs.AddFile(L"C:\\big.bin", uint64_t(5000));
  ChunkLog log;
  EXPECT_EQ(Copy(fs, L"C:\\big.bin", L"D:\\big.bin", &LogChunks, &log), err::DiskFull);
  EXPECT_TRUE(log.transferred.empty()) << "fails before any data moves";
  EXPECT_FALSE(fs.Exists(L"D:\\big.bin"));
  EXPECT_EQ(fs.FreeSpace(L"D:"), 100u);

  ASSERT_EQ(fs.DeleteFile(L"D:\\a.bin"), 0u);
  EXPECT_EQ(fs.FreeSpace(L"D:"), 1000u);
  uint64_t freeBytes = 0, total = 0;
  ASSERT_EQ(fs.GetFreeSpace(L"D:\\", freeBytes, total), 0u);
  EXPECT_EQ(freeBytes, 1000u);
  EXPECT_EQ(total, 5000u);
}

TEST_F(FakeFileSystemTest, RecordsEveryChangingCallAsAsked) {
  fs.AddFile(L"C:\\a.txt", "a");
  fs.AddFolder(L"C:\\t");
  EXPECT_EQ(fs.Operations(), std::vector<std::wstring>{}) << "fixtures are not recorded";
  fs.CreateFolder(L"C:\\t\\sub");
  fs.CopyFile(L"C:\\a.txt", L"C:\\t\\a.txt", nullptr, nullptr, kNeverCancelled, 0);
  fs.SetAttributes(L"C:\\t\\a.txt", attr::ReadOnly | attr::Archive);
  fs.DeleteFile(L"C:\\t\\a.txt");  // fails: read-only, recorded all the same
  fs.MoveFile(L"C:\\a.txt", L"C:\\b.txt", 0);
  fs.CreateFolderLink(L"C:\\l", L"C:\\t");
  fs.RemoveFolder(L"C:\\t\\sub");
  EXPECT_EQ(fs.Operations(), (std::vector<std::wstring>{
                                 L"CreateFolder C:\\t\\sub",
                                 L"CopyFile C:\\a.txt -> C:\\t\\a.txt",
                                 L"SetAttributes C:\\t\\a.txt 0x21",
                                 L"DeleteFile C:\\t\\a.txt",
                                 L"MoveFile C:\\a.txt -> C:\\b.txt",
                                 L"CreateFolderLink C:\\l -> C:\\t",
                                 L"RemoveFolder C:\\t\\sub",
                             }));
  fs.ClearOperations();
  EXPECT_TRUE(fs.Operations().empty());
}

TEST_F(FakeFileSystemTest, KeepsWindowsRulesThatWineBreaks) {
  fs.AddFile(L"C:\\attr.txt", "x");
  EXPECT_EQ(fs.SetAttributes(L"C:\\attr.txt", attr::ReadOnly | attr::Hidden), 0u);
  EXPECT_EQ(fs.Attributes(L"C:\\attr.txt"), attr::ReadOnly | attr::Hidden) << "Archive cleared";
  EXPECT_EQ(fs.SetAttributes(L"C:\\attr.txt", attr::Normal), 0u);
  EXPECT_EQ(fs.Attributes(L"C:\\attr.txt"), attr::Normal);
  EXPECT_EQ(fs.FindFiles(L"C:\\attr.txt\\*", [](const FindData&) { return true; }), err::Directory);

  fs.AddFolder(L"C:\\ro", attr::ReadOnly);
  EXPECT_EQ(fs.RemoveFolder(L"C:\\ro"), err::AccessDenied);

  fs.AddFile(L"C:\\d\\Name.txt", "x");
  EXPECT_EQ(fs.MoveFile(L"C:\\d\\Name.txt", L"C:\\d\\NAME.TXT", 0), 0u);
  EXPECT_EQ(fs.List(L"C:\\d"), std::vector<std::wstring>{L"NAME.TXT"}) << "a case-only rename";

  fs.AddFile(L"C:\\d\\ro.txt", "old", attr::ReadOnly);
  EXPECT_EQ(fs.MoveFile(L"C:\\d\\NAME.TXT", L"C:\\d\\ro.txt", moveflags::ReplaceExisting),
            err::AccessDenied);
  fs.AddFile(L"C:\\d\\hidden.txt", "old", attr::Hidden);
  EXPECT_EQ(Copy(fs, L"C:\\d\\NAME.TXT", L"C:\\d\\hidden.txt"), err::AccessDenied);

  fs.AddFile(L"C:\\busy\\open.txt", "x");
  auto held = fs.HoldOpen(L"C:\\busy\\open.txt");
  EXPECT_EQ(fs.MoveFile(L"C:\\busy", L"C:\\moved", 0), err::AccessDenied)
      << "a folder with an open file inside cannot be renamed";
  EXPECT_EQ(fs.MoveFile(L"C:\\d\\NAME.TXT", L"C:\\busy\\open.txt", moveflags::ReplaceExisting),
            err::AccessDenied);
  fs.AddFolder(L"C:\\empty");
  auto heldEmpty = fs.HoldOpen(L"C:\\empty");
  EXPECT_EQ(fs.RemoveFolder(L"C:\\empty"), err::SharingViolation);
  heldEmpty.reset();
  EXPECT_EQ(fs.RemoveFolder(L"C:\\empty"), 0u);
}

TEST_F(FakeFileSystemTest, LinksVolumesAndTimes) {
  fs.SetClock(kT0);
  fs.AddVolume(L"\\\\server\\share", 1 << 20, 1 << 30, drive::Remote);
  fs.AddFile(L"\\\\SERVER\\share\\lib\\a.wav", "wav");
  fs.AddFolderLink(L"C:\\lib", L"\\\\server\\share\\lib");
  EXPECT_EQ(fs.ContentsText(L"C:\\lib\\a.wav"), "wav");
  EXPECT_EQ(fs.GetDriveType(L"\\\\server\\share\\"), drive::Remote);
  EXPECT_EQ(fs.GetDriveType(L"C:\\"), drive::Fixed);
  EXPECT_EQ(fs.GetDriveType(L"Q:\\"), drive::NoRootDir);
  EXPECT_EQ(fs.FindFiles(L"Q:\\*", [](const FindData&) { return true; }), err::PathNotFound);
  EXPECT_EQ(fs.LastWriteTime(L"C:\\lib"), kT0);

  fs.AddFolderLink(L"C:\\dangling", L"C:\\nowhere");
  uint32_t attributes = 0;
  EXPECT_EQ(fs.GetAttributes(L"C:\\dangling\\x", attributes), err::PathNotFound);
  EXPECT_TRUE(fs.IsLink(L"C:\\dangling"));
  EXPECT_FALSE(fs.IsFolder(L"C:\\dangling"));
}

// Relative paths start from the process's current folder, as Windows takes them: for every call
// and for the full path asked of it.
TEST_F(FakeFileSystemTest, RelativePathsStartFromTheCurrentFolder) {
  fs.AddVolume(L"D:", 1 << 20, 1 << 20);
  fs.AddFile(L"D:\\Tessaly\\db.xml", "db");
  fs.AddFile(L"D:\\top.txt", "top");
  uint32_t attributes = 0;
  std::wstring full;
  EXPECT_EQ(fs.GetAttributes(L"db.xml", attributes), err::PathNotFound) << "no current folder";
  EXPECT_EQ(fs.GetFullPath(L"db.xml", full), err::PathNotFound);

  fs.SetCurrentFolder(L"D:\\Tessaly\\");
  const struct {
    const wchar_t* asked;
    const wchar_t* full;
    bool exists;
  } cases[] = {
      {L"db.xml", L"D:\\Tessaly\\db.xml", true},
      {L".\\DB.XML", L"D:\\Tessaly\\DB.XML", true},
      {L"..\\top.txt", L"D:\\top.txt", true},
      {L"\\top.txt", L"D:\\top.txt", true},
      {L"sub\\", L"D:\\Tessaly\\sub\\", false},
      {L"C:\\x\\..\\y", L"C:\\y", false},  // a full path is only tidied
      {L"D:\\", L"D:\\", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fs.GetFullPath(c.asked, full), 0u) << ToUtf8(c.asked);
    EXPECT_EQ(full, c.full) << ToUtf8(c.asked);
    EXPECT_EQ(fs.GetAttributes(c.asked, attributes) == 0, c.exists) << ToUtf8(c.asked);
  }
  EXPECT_EQ(Names(fs, L"*.xml"), std::vector<std::wstring>{L"db.xml"});
  EXPECT_EQ(fs.GetFullPath(L"", full), err::InvalidName);
  EXPECT_NONFATAL_FAILURE(fs.SetCurrentFolder(L"relative"), "not an absolute path");
}

TEST_F(FakeFileSystemTest, AFixtureOnAMissingVolumeFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(fs.AddFolder(L"E:\\x"), "no volume E:");
}

TEST_F(FakeFileSystemTest, MovesAcrossVolumesOnlyFilesAndOnlyWhenAllowed) {
  fs.AddVolume(L"D:", 1000, 1000);
  fs.AddFile(L"C:\\f.bin", uint64_t(300));
  fs.AddFolder(L"C:\\folder");
  EXPECT_EQ(fs.MoveFile(L"C:\\f.bin", L"D:\\f.bin", 0), FakeFileSystem::kNotSameDevice);
  EXPECT_EQ(fs.MoveFile(L"C:\\folder", L"D:\\folder", moveflags::CopyAllowed),
            FakeFileSystem::kNotSameDevice);
  const uint64_t freeC = fs.FreeSpace(L"C:");
  ASSERT_EQ(fs.MoveFile(L"C:\\f.bin", L"D:\\f.bin", moveflags::CopyAllowed), 0u);
  EXPECT_EQ(fs.FreeSpace(L"D:"), 700u);
  EXPECT_EQ(fs.FreeSpace(L"C:"), freeC + 300);
  std::vector<uint8_t> head;
  ASSERT_EQ(fs.ReadFile(L"D:\\f.bin", 1, 3, head), 0u);
  EXPECT_EQ(head, (Bytes{GeneratedByte(1), GeneratedByte(2), GeneratedByte(3)}));
}

TEST_F(FakeFileSystemTest, NewFilesTakeTheClockAndCopiesKeepTheSourceTime) {
  fs.SetClock(kT0);
  fs.AddFile(L"C:\\src.txt", "s", attr::Archive | attr::ReadOnly, kT0 - 100);
  fs.AdvanceClock(50);
  ASSERT_EQ(Copy(fs, L"C:\\src.txt", L"C:\\dst.txt"), 0u);
  EXPECT_EQ(fs.LastWriteTime(L"C:\\dst.txt"), kT0 - 100);
  EXPECT_EQ(fs.CreationTime(L"C:\\dst.txt"), kT0 + 50);
  EXPECT_EQ(fs.Attributes(L"C:\\dst.txt"), attr::Archive | attr::ReadOnly) << "read-only copied";
  const uint8_t x = 'x';
  ASSERT_EQ(fs.WriteFile(L"C:\\new.txt", &x, 1), 0u);
  EXPECT_EQ(fs.LastWriteTime(L"C:\\new.txt"), kT0 + 50);
  EXPECT_EQ(fs.Attributes(L"C:\\new.txt"), attr::Archive);
}

// --- System ---------------------------------------------------------------------------------

TEST(FakeSystemTest, Models64BitAnd32BitWindowsAsA32BitProcessSeesThem) {
  FakeSystem sys;
  std::wstring value;
  EXPECT_TRUE(sys.Is64BitWindows());
  ASSERT_EQ(sys.GetEnvironmentVariable(L"programw6432", value), 0u);
  EXPECT_EQ(value, L"C:\\Program Files");
  ASSERT_EQ(sys.GetEnvironmentVariable(L"ProgramFiles", value), 0u);
  EXPECT_EQ(value, L"C:\\Program Files (x86)");
  ASSERT_EQ(sys.GetSpecialFolder(csidl::ProgramFilesCommonX86, value), 0u);
  EXPECT_EQ(value, L"C:\\Program Files (x86)\\Common Files");

  sys.UseWindows32Bit();
  EXPECT_FALSE(sys.Is64BitWindows());
  EXPECT_EQ(sys.GetEnvironmentVariable(L"ProgramW6432", value), err::EnvVarNotFound);
  ASSERT_EQ(sys.GetSpecialFolder(csidl::ProgramFiles, value), 0u);
  EXPECT_EQ(value, L"C:\\Program Files");
  sys.specialFolders.erase(csidl::Personal);
  EXPECT_EQ(sys.GetSpecialFolder(csidl::Personal, value), err::PathNotFound);

  FakeFileSystem fs;
  FakeSystem().CreateSpecialFolders(fs);
  EXPECT_TRUE(fs.IsFolder(L"C:\\Users\\Public\\Documents"));
}

TEST(FakeSystemTest, OnADiskSpecialFoldersMustExistOrBeCreatedOnRequest) {
  const std::wstring documents = L"C:\\Users\\Musician\\Documents";
  FakeSystem sys;
  FakeFileSystem fs;
  std::wstring value;
  // Without a disk nothing is checked.
  ASSERT_EQ(sys.GetSpecialFolder(csidl::Personal, value), 0u);
  EXPECT_FALSE(fs.Exists(L"C:\\Users"));

  sys.disk = &fs;
  value = L"unchanged";
  EXPECT_EQ(sys.GetSpecialFolder(csidl::Personal, value), err::PathNotFound);
  EXPECT_EQ(value, L"unchanged");
  EXPECT_FALSE(fs.Exists(L"C:\\Users"));
  EXPECT_EQ(sys.GetSpecialFolder(0x7F | csidl::FlagCreate, value), err::PathNotFound);

  fs.InjectFailure(FakeFileSystem::Operation::CreateFolder, documents, err::AccessDenied, 1);
  EXPECT_EQ(sys.GetSpecialFolder(csidl::Personal | csidl::FlagCreate, value), err::PathNotFound);
  EXPECT_FALSE(fs.Exists(documents));

  ASSERT_EQ(sys.GetSpecialFolder(csidl::Personal | csidl::FlagCreate, value), 0u);
  EXPECT_EQ(value, documents);
  EXPECT_TRUE(fs.IsFolder(documents));
  ASSERT_EQ(sys.GetSpecialFolder(csidl::Personal, value), 0u);  // it exists now
  EXPECT_EQ(value, documents);
}

TEST(FakeSystemTest, FormatsLocalDatesAndCountsRedirectionScopes) {
  FakeSystem sys;
  EXPECT_EQ(sys.FormatDate(kT0), L"3/5/2024");
  sys.utcOffsetMinutes = 12 * 60;  // the date stays the UTC date
  EXPECT_EQ(sys.FormatDate(kT0), L"3/5/2024");
  sys.utcOffsetMinutes = 0;
  EXPECT_EQ(sys.FormatDate(0), L"1/1/1601");
  EXPECT_EQ(sys.FormatDate(kT0 + 365ull * 86400 * kFileTimeTicksPerSecond), L"3/5/2025");

  {
    auto outer = sys.DisableFileRedirection();
    auto inner = sys.DisableFileRedirection();
    EXPECT_EQ(sys.ActiveRedirectionScopes(), 2);
  }
  EXPECT_EQ(sys.ActiveRedirectionScopes(), 0);
  EXPECT_EQ(sys.RedirectionScopesMade(), 2);
}

}  // namespace
}  // namespace tessaly
