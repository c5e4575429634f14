// The product record against the fake registry and file system: what a key's values make of it,
// its type signatures, broken paths and file versions, and writes that go through its own view
// into existing keys only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/ni_product.h"
#include "platform/text.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"
#include "tests/support/products_key.h"
#include "tests/unit/pe_test_images.h"
#include "tests/unit/throwing_backends.h"

namespace tessaly {
namespace {

using testing::ProductKey;

constexpr RegRoot kHklm = RegRoot::LocalMachine;
constexpr RegRoot kHkcu = RegRoot::CurrentUser;
constexpr RegView k64 = RegView::Key64;
constexpr RegView k32 = RegView::Key32;

// Sets text values (REG_SZ) of a product key in one view.
void SetProduct(FakeRegistry& reg, const std::wstring& name,
                std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> values,
                RegView view = k64) {
  reg.CreateKeyAt(kHklm, ProductKey(name), view);
  for (const auto& [value, text] : values)
    reg.SetString(kHklm, ProductKey(name), value, text, view);
}

CNiProduct Load(FakeRegistry& reg, const std::wstring& name, bool view32 = false) {
  CNiProduct record;
  EXPECT_EQ(record.LoadFromRegistry(reg, kHklm, name.c_str(), view32), 0u) << name;
  return record;
}

TEST(NiProductTest, SignaturesGiveTheProductType) {
  using V = std::vector<const wchar_t*>;
  const struct {
    V values;
    uint32_t present;
    ProductType type;
  } cases[] = {
      {{L"ContentDir"}, 0x0001, producttype::Content},
      {{L"ContentDir", L"ContentVersion", L"KEY", L"SNO", L"SYSTEMID", L"Visibility"},
       0x0783,
       producttype::Content},
      {{L"ContentDir", L"ContentVersion", L"InstallVSTDir"}, 0x0813, producttype::Content},
      {{L"ContentDir", L"ContentVersion", L"InstallVST64Dir"}, 0x0823, producttype::Content},
      {{L"InstallDir"}, 0x0008, producttype::Utility},
      {{L"InstallDir", L"KEY", L"SNO", L"SYSTEMID", L"InstallVSTDir", L"InstallVST64Dir"},
       0x0BB8,
       producttype::AppPlugin},
      {{L"ContentDir", L"SystemContentDir", L"ContentVersion", L"InstallDir", L"KEY", L"SNO",
        L"SYSTEMID", L"InstallVST64Dir"},
       0x1BAB,
       producttype::AppPlugin},
      {{L"ContentDir", L"InstallDir", L"KEY", L"SNO", L"SYSTEMID", L"InstallVSTDir"},
       0x0B99,
       producttype::Bundle},
      {{L"KEY", L"SNO", L"SYSTEMID"}, 0x0380, producttype::Unknown},
      {{L"Other", L"Values"}, 0x0000, producttype::Unknown},
      // Exact signatures, not masks: HU beside the values of an app makes it unknown.
      {{L"InstallDir", L"KEY", L"SNO", L"SYSTEMID", L"HU"}, 0x038C, producttype::Unknown},
  };
  for (const auto& c : cases) {
    FakeRegistry reg;
    reg.CreateKeyAt(kHklm, ProductKey(L"P"), k64);
    for (const wchar_t* value : c.values) reg.SetString(kHklm, ProductKey(L"P"), value, L"x", k64);
    const CNiProduct record = Load(reg, L"P");
    EXPECT_EQ(record.presentValues.ToBits(), c.present) << c.present;
    EXPECT_EQ(record.GetType(), c.type) << c.present;
  }
}

TEST(NiProductTest, LoadFillsTheFieldsAndSystemContentDirWins) {
  FakeRegistry reg;
  SetProduct(reg, L"Reaktor 6",
             {{L"SystemContentDir", L"C:\\System Content"},  // stored before ContentDir
              {L"ContentDir", L"C:\\Old Content"},
              {L"ContentVersion", L"6.5.0"},
              {L"InstallDir", L"C:\\PF\\Reaktor 6\\"},
              {L"installvstdir", L"C:\\VST32"},  // value names are not case-sensitive
              {L"InstallVST64Dir", L"C:\\VST64"},
              {L"SNO", L"3318-0042"}});
  reg.SetDword(kHklm, ProductKey(L"Reaktor 6"), L"Visibility", 3, k64);
  const CNiProduct record = Load(reg, L"Reaktor 6");
  EXPECT_TRUE(record.readFromMachine);
  EXPECT_FALSE(record.view32);
  EXPECT_EQ(record.keyName, L"Reaktor 6");
  EXPECT_EQ(record.keyPath, L"SOFTWARE\\Native Instruments\\Reaktor 6");
  EXPECT_EQ(record.GetValue(valuekind::ContentDir), L"C:\\System Content");
  EXPECT_EQ(record.GetValue(valuekind::ContentVersion), L"6.5.0");
  EXPECT_EQ(record.GetValue(valuekind::InstallDir), L"C:\\PF\\Reaktor 6\\");
  EXPECT_EQ(record.GetValue(valuekind::InstallVstDir), L"C:\\VST32");
  EXPECT_EQ(record.GetValue(valuekind::InstallVst64Dir), L"C:\\VST64");
  EXPECT_EQ(record.GetValue(valuekind::Sno), L"3318-0042");
  EXPECT_EQ(record.GetValue(valuekind::Hu), L"");
  EXPECT_EQ(record.visibility, 3u);
  EXPECT_EQ(record.presentValues.ToBits(),
            0x1000u | 0x800 | 0x400 | 0x100 | 0x20 | 0x10 | 0x8 | 0x2 | 0x1);
  EXPECT_EQ(std::wstring(record.DescribeValue(valuekind::ContentDir).name), L"SystemContentDir");
  EXPECT_EQ(std::wstring(record.DescribeValue(valuekind::HasPluginFolder).name), L"");
  EXPECT_EQ(record.DescribeValue(valuekind::Hu).form, CNiProduct::ValueForm::Presence);
}

// Registry data is not promised a terminator: text that fills the whole 2048-byte buffer is
// taken up to its end and no further; larger data does not fit and is absent; the value's type
// does not matter; a DWORD of more than four bytes is absent.
TEST(NiProductTest, ValuesOfAnyTypeAndSizeAreReadWithinTheBuffer) {
  FakeRegistry reg;
  reg.CreateKeyAt(kHklm, ProductKey(L"P"), k64);
  auto utf16 = [](const std::wstring& text) { return ToUtf16Bytes(text, false); };
  const std::wstring full(1024, L'a');  // exactly 2048 bytes, no terminator
  reg.SetBytes(kHklm, ProductKey(L"P"), L"InstallDir", regtype::Binary, utf16(full), k64);
  reg.SetBytes(kHklm, ProductKey(L"P"), L"ContentDir", regtype::Sz, utf16(std::wstring(1025, L'b')),
               k64);  // 2050 bytes: does not fit
  reg.SetBytes(kHklm, ProductKey(L"P"), L"ContentVersion", regtype::ExpandSz,
               {'1', 0, '.', 0, '2', 0, 0, 0, 'x', 0}, k64);  // stops at the first zero
  reg.SetBytes(kHklm, ProductKey(L"P"), L"SNO", regtype::Dword, {'4', 0, '2'}, k64);  // odd count
  reg.SetBytes(kHklm, ProductKey(L"P"), L"Visibility", regtype::Binary, {1, 2, 3, 4, 5}, k64);
  reg.SetBytes(kHklm, ProductKey(L"P"), L"KEY", regtype::Binary, std::vector<uint8_t>(3000, 7),
               k64);
  reg.SetBytes(kHklm, ProductKey(L"P"), std::wstring(1100, L'n'), regtype::Sz, utf16(L"long name"),
               k64);
  const CNiProduct record = Load(reg, L"P");
  EXPECT_EQ(record.installDir, full);
  EXPECT_EQ(record.contentDir, L"");
  EXPECT_EQ(record.contentVersion, L"1.2");
  EXPECT_EQ(record.sno, L"42");  // the last byte and a zero of the buffer make a character
  EXPECT_EQ(record.visibility, 0u);
  // Present: InstallDir, ContentVersion, SNO, and KEY, whose size does not matter.
  EXPECT_EQ(record.presentValues.ToBits(), 0x8u | 0x2 | 0x100 | 0x80);
}

// Text read into a zero-filled buffer: a value of odd byte length ends with a byte whose
// partner is one of the buffer's zeros, so that byte is still a character.
TEST(NiProductTest, TextOfOddByteLengthKeepsItsLastCharacter) {
  const struct {
    const char* name;
    uint32_t type;
    std::vector<uint8_t> data;
    std::wstring text;
  } cases[] = {
      {"binary C:\\A", regtype::Binary, {0x43, 0, 0x3A, 0, 0x5C, 0, 0x41}, L"C:\\A"},
      {"one byte", regtype::Sz, {'x'}, L"x"},
      {"zero before the last byte", regtype::Sz, {'a', 0, 0, 0, 'b'}, L"a"},
      {"even length", regtype::Sz, {'a', 0, 'b', 0}, L"ab"},
      {"largest odd length that fits", regtype::Binary,
       [] {
         std::vector<uint8_t> bytes(2047, 0);
         for (size_t i = 0; i < bytes.size(); i += 2) bytes[i] = 'c';
         return bytes;
       }(),
       std::wstring(1024, L'c')},
  };
  for (const auto& c : cases) {
    FakeRegistry reg;
    reg.CreateKeyAt(kHklm, ProductKey(L"P"), k64);
    reg.SetBytes(kHklm, ProductKey(L"P"), L"ContentDir", c.type, c.data, k64);
    const CNiProduct record = Load(reg, L"P");
    EXPECT_EQ(record.contentDir, c.text) << c.name;
    EXPECT_EQ(record.presentValues, valuekind::ContentDir) << c.name;
  }
}

// An enumeration error that every index answers (1018 for a key deleted while it is read, as
// when an uninstaller runs during the scan) ends the read with what was found: trying index
// after index would never end. A countdown guards the test itself: the registry's 10,000th call
// throws, which the read would report as 1359.
TEST(NiProductTest, AnEnumerationErrorThatRepeatsEndsTheRead) {
  for (ErrorCode code : {FakeRegistry::kKeyDeleted, err::AccessDenied}) {
    FakeRegistry reg;
    SetProduct(reg, L"P", {{L"InstallDir", L"C:\\P"}, {L"ContentDir", L"C:\\C"}});
    reg.InjectFailure(kHklm, ProductKey(L"P"), FakeRegistry::Operation::Enum, code);
    testing::ThrowCountdown guard;
    guard.Arm(10000);
    testing::ThrowingRegistry guarded(reg, guard);
    CNiProduct record;
    EXPECT_EQ(record.LoadFromRegistry(guarded, kHklm, L"P", false), 0u) << code;
    EXPECT_FALSE(guard.Fired()) << code;
    EXPECT_TRUE(record.readFromMachine) << code;
    EXPECT_EQ(record.keyName, L"P") << code;
    EXPECT_TRUE(record.presentValues.Empty()) << code;
  }
}

TEST(NiProductTest, LoadFailuresLeaveTheRecordAlone) {
  FakeRegistry reg;
  SetProduct(reg, L"Known", {{L"InstallDir", L"C:\\Known"}});
  CNiProduct record = Load(reg, L"Known");
  EXPECT_EQ(record.LoadFromRegistry(reg, kHklm, nullptr, false), err::InvalidParameter);
  EXPECT_EQ(record.LoadFromRegistry(reg, kHklm, L"Missing", false), err::FileNotFound);
  // A name that makes the key path 260 characters or longer.
  const std::wstring tooLong(260 - 28, L'k');
  EXPECT_EQ(record.LoadFromRegistry(reg, kHklm, tooLong.c_str(), false), err::InternalError);
  EXPECT_EQ(record.keyName, L"Known");
  EXPECT_EQ(record.installDir, L"C:\\Known");
  // The longest name that fits is read.
  const std::wstring longest(259 - 28, L'k');
  SetProduct(reg, longest, {{L"InstallDir", L"C:\\L"}});
  EXPECT_EQ(record.LoadFromRegistry(reg, kHklm, longest.c_str(), false), 0u);
  EXPECT_EQ(record.keyName, longest);
  // A key that cannot be opened.
  reg.InjectFailure(kHklm, ProductKey(L"Known"), FakeRegistry::Operation::Open, err::AccessDenied);
  EXPECT_EQ(record.LoadFromRegistry(reg, kHklm, L"Known", false), err::AccessDenied);
  EXPECT_EQ(record.keyName, longest);
}

TEST(NiProductTest, UserValuesComeFromTheUserHiveOnly) {
  FakeRegistry reg;
  SetProduct(reg, L"Lib", {{L"ContentDir", L"C:\\Lib"}});
  reg.CreateKeyAt(kHkcu, ProductKey(L"Lib"));
  reg.SetDword(kHkcu, ProductKey(L"Lib"), L"UserRemoved", 1);
  CNiProduct record = Load(reg, L"Lib");
  record.userListIndex = 42;
  ASSERT_EQ(record.LoadFromRegistry(reg, kHkcu, L"Lib", false), 0u);
  EXPECT_EQ(record.userValues, valuekind::UserRemoved);
  EXPECT_EQ(record.userRemoved, 1u);
  EXPECT_EQ(record.userListIndex, 42u);
  EXPECT_EQ(record.presentValues, valuekind::ContentDir);
  EXPECT_EQ(record.keyPath, ProductKey(L"Lib"));

  reg.SetDword(kHkcu, ProductKey(L"Lib"), L"UserListIndex", 7);
  ASSERT_EQ(record.LoadFromRegistry(reg, kHkcu, L"Lib", false), 0u);
  EXPECT_EQ(record.userValues, valuekind::UserRemoved | valuekind::UserListIndex);
  EXPECT_EQ(record.userListIndex, 7u);
}

TEST(NiProductTest, WritesGoThroughTheRecordsViewIntoExistingKeysOnly) {
  FakeRegistry reg;
  SetProduct(reg, L"Old", {{L"ContentDir", L"C:\\A"}, {L"SystemContentDir", L"C:\\B"}}, k32);
  CNiProduct record = Load(reg, L"Old", true);
  ASSERT_TRUE(record.view32);
  reg.ClearChanges();
  EXPECT_EQ(record.WriteValue(reg, valuekind::ContentDir, true, kHklm, L"D:\\New"), 0u);
  EXPECT_EQ(
      reg.Changes(),
      std::vector<std::wstring>{
          L"SetValue HKLM\\SOFTWARE\\Wow6432Node\\Native Instruments\\Old [SystemContentDir]"});
  EXPECT_EQ(reg.ReadString(kHklm, ProductKey(L"Old"), L"SystemContentDir", k32), L"D:\\New");
  EXPECT_EQ(record.contentDir, L"D:\\New");

  // Only if present: a kind the record lacks is left alone.
  reg.ClearChanges();
  EXPECT_EQ(record.WriteValue(reg, valuekind::InstallDir, true, kHklm, L"X"), 0u);
  EXPECT_TRUE(reg.Changes().empty());
  EXPECT_EQ(record.WriteValue(reg, valuekind::Hu, false, kHklm, L"X"), err::InvalidParameter);
  EXPECT_EQ(CNiProduct().WriteValue(reg, valuekind::InstallDir, false, kHklm, L"X"), err::NotReady);

  // A failed write changes neither the registry nor the field.
  reg.InjectFailure(kHklm, ProductKey(L"Old"), FakeRegistry::Operation::Set, err::AccessDenied);
  EXPECT_EQ(record.WriteValue(reg, valuekind::ContentDir, true, kHklm, L"E:\\"), err::AccessDenied);
  EXPECT_EQ(record.contentDir, L"D:\\New");
  reg.ClearFailures();

  // A key deleted since it was read is not created again.
  reg.DeleteTree(kHklm, ProductKey(L"Old"), k32);
  EXPECT_EQ(record.WriteValue(reg, valuekind::ContentDir, true, kHklm, L"E:\\"), err::FileNotFound);
  EXPECT_FALSE(reg.Exists(kHklm, ProductKey(L"Old"), k32));
  EXPECT_FALSE(reg.Exists(kHklm, ProductKey(L"Old"), k64));

  // User values: DWORDs into the user hive's existing key.
  SetProduct(reg, L"Lib", {{L"ContentDir", L"C:\\Lib"}});
  CNiProduct lib = Load(reg, L"Lib");
  EXPECT_EQ(lib.WriteUserValue(reg, valuekind::UserListIndex, 5), err::FileNotFound);
  reg.CreateKeyAt(kHkcu, ProductKey(L"Lib"));
  EXPECT_EQ(lib.WriteUserValue(reg, valuekind::UserListIndex, 5), 0u);
  EXPECT_EQ(lib.WriteUserValue(reg, valuekind::UserRemoved, 1), 0u);
  EXPECT_EQ(lib.WriteUserValue(reg, valuekind::InstallDir, 1), err::InvalidParameter);
  EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(L"Lib"), L"UserListIndex"), 5u);
  EXPECT_EQ(reg.ReadDword(kHkcu, ProductKey(L"Lib"), L"UserRemoved"), 1u);
  EXPECT_EQ(lib.userListIndex, 5u);
  EXPECT_EQ(lib.userRemoved, 1u);
}

TEST(NiProductTest, BrokenPathsAndFileVersions) {
  FakeRegistry reg;
  FakeFileSystem fs;
  FakeSystem system;
  using testing::StandardVersionInfo;
  using testing::VersionedDll;
  fs.AddFolder(L"C:\\PF\\Synth");
  fs.AddFile(L"C:\\PF\\Synth\\Synth.exe",
             VersionedDll(StandardVersionInfo({{0x0409, 1200}}, L"2.0")).bytes);
  fs.AddFolder(L"C:\\VST64");
  fs.AddFile(
      L"C:\\VST64\\Synth.dll",
      VersionedDll(StandardVersionInfo({{0x0409, 1200}}, L"3.1"), pe::kMachineAmd64, true).bytes);
  SetProduct(reg, L"Synth",
             {{L"InstallDir", L"C:\\PF\\Synth"},
              {L"InstallVSTDir", L"C:\\VST32"},
              {L"InstallVST64Dir", L"C:\\VST64\\"},
              {L"ContentDir", L"C:\\Gone"}});
  CNiProduct record = Load(reg, L"Synth");
  // Without file names only the folders count.
  EXPECT_EQ(record.GetBrokenPaths(fs).folders, valuekind::ContentDir | valuekind::InstallVstDir);
  EXPECT_TRUE(record.GetBrokenPaths(fs).files.Empty());
  record.SetFiles(L"Synth.exe", L"Synth.dll");
  EXPECT_EQ(record.GetBrokenPaths(fs).folders, valuekind::ContentDir | valuekind::InstallVstDir);
  EXPECT_EQ(record.GetBrokenPaths(fs).files, productfile::Plugin32);
  std::wstring path;
  EXPECT_TRUE(record.MakeFilePath(fs, valuekind::InstallVst64Dir, L"Synth.dll", path));
  EXPECT_EQ(path, L"C:\\VST64\\Synth.dll");
  EXPECT_FALSE(record.MakeFilePath(fs, valuekind::InstallVstDir, L"Synth.dll", path));
  EXPECT_EQ(path, L"C:\\VST32\\Synth.dll");
  EXPECT_FALSE(record.MakeFilePath(fs, valuekind::InstallDir, L"", path));
  EXPECT_EQ(path, L"");

  record.plugin32FileVersion = L"kept";
  record.RefreshFileVersions(fs, system);
  EXPECT_EQ(record.GetFileVersion(productfile::App), L"2.0 040904b0");
  EXPECT_EQ(record.GetFileVersion(productfile::Plugin32), L"kept");  // the file is missing
  EXPECT_EQ(record.GetFileVersion(productfile::Plugin64), L"3.1 040904b0");
  EXPECT_EQ(record.RefreshFileVersion(fs, system, productfile::Plugin32), err::FileNotFound);
  EXPECT_EQ(record.RefreshFileVersion(fs, system, static_cast<ProductFile>(0x40000)),
            err::InvalidParameter);

  // A file without a version resource shows no version.
  fs.AddFile(L"C:\\PF\\Synth\\Synth.exe", std::string_view("not a program"));
  EXPECT_NE(record.RefreshFileVersion(fs, system, productfile::App), 0u);
  EXPECT_EQ(record.appFileVersion, L"");

  // An empty plugin folder value: no path, and the plugin file counts as missing.
  SetProduct(reg, L"Empty", {{L"InstallVSTDir", L""}});
  CNiProduct empty = Load(reg, L"Empty");
  empty.SetFiles(nullptr, L"Any.dll");
  EXPECT_FALSE(empty.MakeFilePath(fs, valuekind::InstallVstDir, L"Any.dll", path));
  EXPECT_EQ(path, L"");
  EXPECT_EQ(empty.GetBrokenPaths(fs),
            (BrokenPaths{valuekind::InstallVstDir, productfile::Plugin32}));
  // A folder of 260 characters does not fit a path.
  empty.vstDir = L"C:\\" + std::wstring(257, L'f');
  EXPECT_FALSE(empty.MakeFilePath(fs, valuekind::InstallVstDir, L"A.dll", path));
  EXPECT_EQ(path, L"");
}

TEST(NiProductTest, FileDatabaseEntriesAndReset) {
  CNiProduct record;
  EXPECT_FALSE(record.SetFileDatabaseEntry(nullptr, L"a.exe", L"a.dll", L"App"));
  EXPECT_FALSE(record.SetFileDatabaseEntry(L"A", L"a.exe", L"a.dll", nullptr));
  EXPECT_EQ(record.keyName, L"");
  EXPECT_TRUE(record.SetFileDatabaseEntry(L"A", nullptr, L"a.dll", L"Plugin"));
  EXPECT_EQ(record.GetAppFile(), L"");
  EXPECT_EQ(record.GetPluginFile(), L"a.dll");
  EXPECT_EQ(record.typeWord, L"Plugin");
  record.serial = 9;
  record.presentValues = valuekind::InstallDir;
  record.view32 = true;
  record.Reset();
  EXPECT_EQ(record.keyName, L"");
  EXPECT_EQ(record.pluginFile, L"");
  EXPECT_EQ(record.typeWord, L"");
  EXPECT_EQ(record.serial, 0u);
  EXPECT_TRUE(record.presentValues.Empty());
  EXPECT_FALSE(record.view32);
}

}  // namespace
}  // namespace tessaly
