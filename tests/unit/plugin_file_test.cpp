// CPluginFile over the in-memory file system: machine types of crafted images, the 1024-byte
// window, version values, name key, folder, date and size, and the errors of each way it fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugins/plugin_file.h"

#include "platform/file_ops.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_system.h"
#include "tests/unit/pe_test_images.h"

namespace tessaly {
namespace {

using testing::Block;
using testing::Encode;
using testing::Put16;
using testing::Put32;
using testing::Root;
using testing::StandardVersionInfo;
using testing::Text;
using testing::TranslationValue;
using testing::VersionedDll;

// 2024-03-05 23:30:00 UTC.
constexpr FileTime kLateEvening = 133541550000000000ull;

// `size` bytes of 'x' with "MZ" at 0 and the NT signature and `machine` at `lfanew`.
std::vector<uint8_t> HeaderAt(size_t size, uint32_t lfanew, uint16_t machine) {
  std::vector<uint8_t> b(size, 'x');
  Put16(b, 0, pe::kDosSignature);
  Put32(b, pe::kDosLfanewOffset, lfanew);
  if (lfanew + 4 <= size) Put32(b, lfanew, pe::kNtSignature);
  if (lfanew + 6 <= size) Put16(b, lfanew + 4, machine);
  b.resize(size);
  return b;
}

class PluginFileTest : public ::testing::Test {
 protected:
  CPluginFile Found(const std::wstring& path) {
    CPluginFile file(fs, system);
    EXPECT_EQ(file.Lookup(path), 0u) << ToUtf8(path);
    return file;
  }
  FakeFileSystem fs;
  FakeSystem system;
};

TEST_F(PluginFileTest, MachineTypeComesFromTheHeaderWithinTheFirst1024Bytes) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    ErrorCode rc;
    uint16_t machine;
    const wchar_t* label;
  };
  auto dll = [](uint16_t machine, bool plus) {
    testing::PeLayout layout;
    layout.machine = machine;
    layout.pe32Plus = plus;
    return testing::BuildPe(layout).bytes;
  };
  const Case cases[] = {
      {"i386", dll(pe::kMachineI386, false), 0, pe::kMachineI386, L"32-bit"},
      {"amd64", dll(pe::kMachineAmd64, true), 0, pe::kMachineAmd64, L"64-bit"},
      {"armnt", dll(pe::kMachineArmNt, false), 0, pe::kMachineArmNt, L"ARM"},
      {"ia64", dll(pe::kMachineIa64, true), 0, pe::kMachineIa64, L"Itanium"},
      {"arm64", dll(pe::kMachineArm64, true), 0, pe::kMachineArm64, L"ARM64"},
      {"arm64ec as an object names it", dll(kMachineArm64Ec, true), 0, kMachineArm64Ec, L"ARM64EC"},
      {"arm64x as an object names it", dll(kMachineArm64X, true), 0, kMachineArm64X, L"ARM64X"},
      {"plain arm is not one of the four", dll(pe::kMachineArm, false), 0, 0, L"?"},
      {"text file", std::vector<uint8_t>(2000, 'a'), err::BadFormat, 0, L"?"},
      {"MZ without PE signature",
       [] {
         auto b = HeaderAt(600, 0x80, pe::kMachineI386);
         Put32(b, 0x80, 0x00004E45);  // "NE"
         return b;
       }(),
       err::BadFormat, 0, L"?"},
      {"empty file", {}, 1006, 0, L"?"},
      {"500 bytes, read whole", HeaderAt(500, 494, pe::kMachineI386), 0, pe::kMachineI386,
       L"32-bit"},
      {"exactly 1024 bytes, machine in the last two", HeaderAt(1024, 1018, pe::kMachineAmd64), 0,
       pe::kMachineAmd64, L"64-bit"},
      {"1025 bytes, machine field at 1024", HeaderAt(1025, 1020, pe::kMachineAmd64), err::BadFormat,
       0, L"?"},
      {"header starting beyond 1024 bytes", HeaderAt(4096, 2048, pe::kMachineI386), err::BadFormat,
       0, L"?"},
      {"e_lfanew far out of the file", HeaderAt(700, 0xFFFFFFF0u, pe::kMachineI386), err::BadFormat,
       0, L"?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs.AddFile(L"C:\\VST\\x.dll", c.bytes);
    CPluginFile file = Found(L"C:\\VST\\x.dll");
    uint16_t machine = 0xFFFF;
    EXPECT_EQ(file.GetMachineType(machine), c.rc);
    EXPECT_EQ(machine, c.machine);
    EXPECT_STREQ(MachineTypeLabel(machine), c.label);
    fs.DeleteFile(L"C:\\VST\\x.dll");
  }
}

TEST_F(PluginFileTest, MachineTypeReadsOnlyTheBytesTheCapturedSizePromises) {
  // The directory entry says 200 bytes; the header lies beyond them, so it is not examined.
  fs.AddFile(L"C:\\VST\\grown.dll", HeaderAt(1024, 0x200, pe::kMachineI386));
  FindData entry;
  entry.name = L"grown.dll";
  entry.size = 200;
  CPluginFile file(fs, system);
  ASSERT_EQ(file.Assign(L"C:\\VST\\grown.dll", &entry), 0u);
  uint16_t machine = 1;
  EXPECT_EQ(file.GetMachineType(machine), err::BadFormat);
  EXPECT_EQ(machine, 0);
  entry.size = 1024;
  ASSERT_EQ(file.Assign(L"C:\\VST\\grown.dll", &entry), 0u);
  EXPECT_EQ(file.GetMachineType(machine), 0u);
  EXPECT_EQ(machine, pe::kMachineI386);
}

TEST_F(PluginFileTest, FileOperationsFailWithoutACapturedEntryAndAfterTheFileVanished) {
  CPluginFile empty(fs, system);
  uint16_t machine = 7;
  uint64_t version = 7;
  EXPECT_EQ(empty.GetMachineType(machine), err::NotReady);
  EXPECT_EQ(machine, 0);
  EXPECT_EQ(empty.LoadVersionInfo(), err::NotReady);
  EXPECT_EQ(empty.GetFileVersion(version), err::NotReady);
  EXPECT_EQ(version, 0u);
  std::wstring name;
  uint32_t length = 9;
  EXPECT_EQ(empty.GetFileName(name, length), err::NotReady);
  EXPECT_EQ(empty.GetKey(), L"");
  EXPECT_EQ(empty.GetFolder(), L"");
  EXPECT_EQ(empty.GetDateText(), L"");
  EXPECT_EQ(empty.GetSize(), 0u);

  fs.AddFile(L"C:\\VST\\Gone.dll", VersionedDll(StandardVersionInfo({{0x0409, 0x04B0}})).bytes,
             attr::Archive, kLateEvening);
  CPluginFile file = Found(L"C:\\VST\\Gone.dll");
  const uint64_t size = file.GetSize();
  ASSERT_EQ(fs.DeleteFile(L"C:\\VST\\Gone.dll"), 0u);
  EXPECT_EQ(file.GetMachineType(machine), err::FileNotFound);
  EXPECT_EQ(file.LoadVersionInfo(), err::FileNotFound);
  EXPECT_EQ(file.GetVersionString(L"CompanyName"), L"");
  EXPECT_EQ(file.GetKey(), L"gone.dll");
  EXPECT_EQ(file.GetSize(), size);
  EXPECT_EQ(file.GetDateText(), L"3/5/2024");
}

TEST_F(PluginFileTest, LookupCapturesTheEntryOrLeavesTheObjectAsItWas) {
  fs.AddFile(L"C:\\VST\\Synth.dll", std::vector<uint8_t>(3000, 1), attr::Archive, kLateEvening);
  CPluginFile file(fs, system);
  struct Case {
    const wchar_t* path;
    ErrorCode rc;
  };
  for (const Case& c : {Case{L"", err::InvalidParameter}, Case{L"C:\\VST\\*.dll", err::InvalidName},
                        Case{L"C:\\VST\\Missing.dll", err::FileNotFound},
                        Case{L"C:\\Nowhere\\Synth.dll", err::PathNotFound}}) {
    SCOPED_TRACE(ToUtf8(c.path));
    EXPECT_EQ(file.Lookup(c.path), c.rc);
    EXPECT_FALSE(file.IsFound());
    EXPECT_EQ(file.GetPath(), L"");
  }
  const int scopes = system.RedirectionScopesMade();
  ASSERT_EQ(file.Lookup(L"c:\\vst\\SYNTH.DLL"), 0u);
  EXPECT_GT(system.RedirectionScopesMade(), scopes);
  EXPECT_EQ(system.ActiveRedirectionScopes(), 0);
  EXPECT_TRUE(file.IsFound());
  EXPECT_EQ(file.GetPath(), L"c:\\vst\\SYNTH.DLL");
  EXPECT_EQ(file.GetSize(), 3000u);
  // The name is the on-disk one, not the one asked for.
  EXPECT_EQ(file.GetKey(), L"synth.dll");
  std::wstring name;
  uint32_t length = 0;
  EXPECT_EQ(file.GetFileName(name, length), 0u);
  EXPECT_EQ(name, L"Synth.dll");
  EXPECT_EQ(length, 10u);
  // A failed lookup keeps what an earlier one captured.
  EXPECT_EQ(file.Lookup(L"C:\\VST\\Missing.dll"), err::FileNotFound);
  EXPECT_EQ(file.GetPath(), L"c:\\vst\\SYNTH.DLL");
  EXPECT_TRUE(file.IsFound());

  CPluginFile constructed(fs, system, L"C:\\VST\\Synth.dll");
  EXPECT_TRUE(constructed.IsFound());
  CPluginFile missing(fs, system, L"C:\\VST\\Missing.dll");
  EXPECT_FALSE(missing.IsFound());
}

TEST_F(PluginFileTest, AssignResetsEverythingAndDoesNotTouchTheFile) {
  fs.AddFile(L"C:\\VST\\A.dll", VersionedDll(StandardVersionInfo({{0x0409, 0x04B0}})).bytes);
  CPluginFile file = Found(L"C:\\VST\\A.dll");
  file.SetId(5);
  ASSERT_EQ(file.LoadVersionInfo(), 0u);

  FindData entry;
  entry.name = L"MySynth.DLL";
  entry.size = (uint64_t{1} << 32) + 5;
  entry.lastWriteTime = kLateEvening;
  fs.ClearOperations();
  ASSERT_EQ(file.Assign(L"D:\\Plugins\\MySynth.DLL", &entry), 0u);
  EXPECT_TRUE(fs.Operations().empty());
  EXPECT_EQ(file.Id(), 0u);
  EXPECT_FALSE(file.IsVersionLoaded());
  EXPECT_EQ(file.GetKey(), L"mysynth.dll");
  EXPECT_EQ(file.GetSize(), (uint64_t{1} << 32) + 5);
  EXPECT_EQ(file.GetFolder(), L"D:\\Plugins");

  file.SetId(3);
  EXPECT_EQ(file.Assign(L"", &entry), err::InvalidParameter);
  EXPECT_EQ(file.Assign(L"D:\\x.dll", nullptr), err::InvalidParameter);
  EXPECT_FALSE(file.IsFound());
  EXPECT_EQ(file.Id(), 0u);
  EXPECT_EQ(file.GetPath(), L"");
  EXPECT_EQ(file.GetSize(), 0u);
}

TEST_F(PluginFileTest, NameKeyAndFolderTexts) {
  struct Case {
    const wchar_t* path;
    const wchar_t* entryName;  // null: no entry captured, the name comes from the path
    const wchar_t* key;
    const wchar_t* folder;
  };
  for (const Case& c : {
           Case{L"C:\\VST\\Synth.dll", L"Synth.dll", L"synth.dll", L"C:\\VST"},
           Case{L"C:\\Synth.dll", L"Synth.dll", L"synth.dll", L"C:\\"},
           Case{L"C:\\VST\\\u00C4BC.dll", L"\u00C4BC.dll", L"\u00C4bc.dll", L"C:\\VST"},
           Case{L"\\\\server\\share\\Fx.DLL", L"Fx.DLL", L"fx.dll", L"\\\\server\\share"},
       }) {
    SCOPED_TRACE(ToUtf8(c.path));
    FindData entry;
    entry.name = c.entryName;
    CPluginFile file(fs, system);
    ASSERT_EQ(file.Assign(c.path, &entry), 0u);
    EXPECT_EQ(file.GetKey(), c.key);
    EXPECT_EQ(file.GetFolder(), c.folder);
  }

  FindData entry;
  entry.name = std::wstring(260, L'N');
  CPluginFile file(fs, system);
  ASSERT_EQ(file.Assign(L"C:\\x.dll", &entry), 0u);
  std::wstring name;
  uint32_t length = 0;
  EXPECT_EQ(file.GetFileName(name, length), err::MoreData);
  EXPECT_EQ(file.GetKey(), L"");
  entry.name.pop_back();
  ASSERT_EQ(file.Assign(L"C:\\x.dll", &entry), 0u);
  EXPECT_EQ(file.GetFileName(name, length), 0u);
  EXPECT_EQ(length, 260u);
}

TEST_F(PluginFileTest, DateTextIsTheUtcShortDateOfTheLastWrite) {
  fs.AddFile(L"C:\\VST\\Late.dll", "x", attr::Archive, kLateEvening);
  CPluginFile file = Found(L"C:\\VST\\Late.dll");
  // 23:30 UTC shows that day's date even where local time is already the next day.
  system.utcOffsetMinutes = 60;
  EXPECT_EQ(file.GetDateText(), L"3/5/2024");
}

TEST_F(PluginFileTest, VersionValuesComeFromTheFirstTranslationAndTheFixedBlock) {
  fs.AddFile(L"C:\\VST\\Multi.dll",
             VersionedDll(StandardVersionInfo({{0x0407, 0x04E4}, {0x0409, 0x04B0}})).bytes);
  CPluginFile file = Found(L"C:\\VST\\Multi.dll");
  std::wstring text;
  uint32_t length = 0;
  EXPECT_EQ(file.QueryVersionString(L"FileVersion", text, length), 0u);
  EXPECT_EQ(text, L"1.2.3.4 040704e4");
  EXPECT_EQ(length, 17u);
  EXPECT_TRUE(file.IsVersionLoaded());
  EXPECT_EQ(file.GetVersionString(L"CompanyName"), L"Quillmoor");
  EXPECT_EQ(file.QueryVersionString(L"ProductName", text, length), err::ResourceTypeNotFound);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(file.QueryVersionString(L"", text, length), err::InvalidParameter);
  EXPECT_EQ(file.GetFileVersionText(), L"1.2.3.4");

  // The kept buffer goes with a copy, and the file is not read again.
  CPluginFile copy = file;
  ASSERT_EQ(fs.DeleteFile(L"C:\\VST\\Multi.dll"), 0u);
  EXPECT_EQ(copy.GetVersionString(L"CompanyName"), L"Quillmoor");
  uint64_t version = 0;
  EXPECT_EQ(copy.GetFileVersion(version), 0u);
  EXPECT_EQ(version, 0x0001000200030004ull);
}

TEST_F(PluginFileTest, VersionErrorsOfEachWayAResourceCanFallShort) {
  auto withChildren = [](std::vector<testing::VersionNode> children,
                         std::vector<uint8_t> fixed =
                             testing::FixedInfoBytes(0xFFFF0000, 0x0001FFFF, 0, 0)) {
    return VersionedDll(Encode(Root(std::move(children), std::move(fixed)))).bytes;
  };
  const auto strings = Block(L"StringFileInfo", {Block(L"040904b0", {Text(L"FileVersion", L"9")})});
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    ErrorCode stringRc;
    std::wstring fileVersion;
  };
  const Case cases[] = {
      {"no version resource", testing::BuildPe({}).bytes, err::ResourceDataNotFound, L""},
      {"text file", std::vector<uint8_t>(100, 'a'), err::ResourceDataNotFound, L""},
      {"no translation table", withChildren({strings}), err::ResourceTypeNotFound,
       L"65535.0.1.65535"},
      {"empty translation table",
       withChildren({strings, Block(L"VarFileInfo", {TranslationValue({})})}),
       err::UnidentifiedError, L"65535.0.1.65535"},
      {"fixed block too short",
       withChildren({strings, Block(L"VarFileInfo", {TranslationValue({{0x0409, 0x04B0}})})},
                    std::vector<uint8_t>(20, 0)),
       0, L""},
      {"string longer than 260",
       VersionedDll(Encode(Root({Block(L"StringFileInfo",
                                       {Block(L"040904b0",
                                              {Text(L"FileVersion", std::wstring(260, L'9'))})}),
                                 Block(L"VarFileInfo", {TranslationValue({{0x0409, 0x04B0}})})})))
           .bytes,
       err::MoreData, L"1.2.3.4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs.AddFile(L"C:\\VST\\v.dll", c.bytes);
    CPluginFile file = Found(L"C:\\VST\\v.dll");
    std::wstring text = L"stale";
    uint32_t length = 0;
    EXPECT_EQ(file.QueryVersionString(L"FileVersion", text, length), c.stringRc);
    if (c.stringRc != 0) {
      EXPECT_EQ(text, L"");
      EXPECT_EQ(file.GetVersionString(L"FileVersion"), L"");
    } else {
      EXPECT_EQ(text, L"9");
    }
    EXPECT_EQ(file.GetFileVersionText(), c.fileVersion);
    fs.DeleteFile(L"C:\\VST\\v.dll");
  }
}

TEST_F(PluginFileTest, FileAccessRunsWithRedirectionOff) {
  fs.AddFile(L"C:\\VST\\A.dll", VersionedDll(StandardVersionInfo({{0x0409, 0x04B0}})).bytes);
  CPluginFile file = Found(L"C:\\VST\\A.dll");
  for (int step = 0; step < 2; ++step) {
    const int before = system.RedirectionScopesMade();
    uint16_t machine = 0;
    if (step == 0) {
      EXPECT_EQ(file.GetMachineType(machine), 0u);
    } else {
      EXPECT_EQ(file.LoadVersionInfo(), 0u);
    }
    EXPECT_EQ(system.RedirectionScopesMade(), before + 1);
    EXPECT_EQ(system.ActiveRedirectionScopes(), 0);
  }
}

// What the search and the page record is what the lists show afterwards: a file replaced on disk
// since does not change it, and a copy carries it.
TEST_F(PluginFileTest, RecordedMachineAndVersionStayWhatWasReadOnce) {
  fs.AddFile(L"C:\\VST\\Multi.dll", VersionedDll(StandardVersionInfo({{0x0407, 0x04E4}})).bytes);
  CPluginFile file = Found(L"C:\\VST\\Multi.dll");
  EXPECT_FALSE(file.IsMachineRecorded());
  EXPECT_FALSE(file.IsVersionRecorded());
  EXPECT_EQ(file.RecordedVersionText(), L"");
  file.RecordMachine();
  file.RecordVersion();
  ASSERT_TRUE(file.IsMachineRecorded());
  uint16_t machine = 0;
  ASSERT_EQ(file.GetMachineType(machine), 0u);
  EXPECT_EQ(file.RecordedMachine(), machine);
  EXPECT_EQ(file.RecordedVersionText(), L"1.2.3.4");

  fs.AddFile(L"C:\\VST\\Multi.dll", "no longer a program");
  file.RecordVersion();  // recorded already: not read again
  const CPluginFile copy = file;
  EXPECT_EQ(copy.RecordedMachine(), machine);
  EXPECT_EQ(copy.RecordedVersionText(), L"1.2.3.4");

  // A file without a version records none; an unreadable header records machine 0.
  CPluginFile replaced = Found(L"C:\\VST\\Multi.dll");
  replaced.RecordMachine();
  replaced.RecordVersion();
  EXPECT_TRUE(replaced.IsMachineRecorded());
  EXPECT_EQ(replaced.RecordedMachine(), 0u);
  EXPECT_TRUE(replaced.IsVersionRecorded());
  EXPECT_FALSE(replaced.RecordedVersion().has_value());
  EXPECT_EQ(replaced.RecordedVersionText(), L"");
}

// A bundle reads its binary; without one, machine and version fail with "not found".
TEST_F(PluginFileTest, ABundleReadsItsBinaryAndIsNamedByItsFolder) {
  fs.AddFile(L"C:\\VST3\\Pad.vst3\\Contents\\x86-win\\Pad.vst3",
             VersionedDll(StandardVersionInfo({{0x0407, 0x04E4}})).bytes, attr::Archive,
             kLateEvening);
  FindData bundleEntry, binaryEntry;
  bundleEntry.name = L"Pad.vst3";
  bundleEntry.attributes = attr::Directory;
  ASSERT_TRUE(PathExists(fs, L"C:\\VST3\\Pad.vst3\\Contents\\x86-win\\Pad.vst3", &binaryEntry));
  CPluginFile bundle(fs, system);
  ASSERT_EQ(bundle.AssignBundle(L"C:\\VST3\\Pad.vst3", &bundleEntry,
                                L"C:\\VST3\\Pad.vst3\\Contents\\x86-win\\Pad.vst3", &binaryEntry),
            0u);
  EXPECT_TRUE(bundle.IsBundle());
  EXPECT_EQ(bundle.GetKey(), L"pad.vst3");
  EXPECT_EQ(bundle.GetFolder(), L"C:\\VST3");
  EXPECT_EQ(bundle.GetSize(), binaryEntry.size);
  EXPECT_EQ(bundle.Entry().lastWriteTime, kLateEvening);
  uint16_t machine = 0;
  EXPECT_EQ(bundle.GetMachineType(machine), 0u);
  EXPECT_EQ(machine, pe::kMachineI386);
  EXPECT_EQ(bundle.GetFileVersionText(), L"1.2.3.4");

  CPluginFile empty(fs, system);
  ASSERT_EQ(empty.AssignBundle(L"C:\\VST3\\Empty.vst3", &bundleEntry, L"", nullptr), 0u);
  EXPECT_EQ(empty.GetSize(), 0u);
  EXPECT_EQ(empty.GetMachineType(machine), err::FileNotFound);
  EXPECT_EQ(empty.LoadVersionInfo(), err::FileNotFound);
  EXPECT_EQ(empty.AssignBundle(L"", &bundleEntry, L"", nullptr), err::InvalidParameter);
  EXPECT_FALSE(empty.IsFound());
}

}  // namespace
}  // namespace tessaly
