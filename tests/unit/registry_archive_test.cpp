// The registry archive: Base64, the XML it writes, capture and restore against the in-memory
// registry, and the archives it refuses to restore.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "registry_archive/base64.h"
#include "registry_archive/registry_archive.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"
#include "tests/unit/throwing_backends.h"

namespace tessaly {
namespace {

constexpr RegRoot kHklm = RegRoot::LocalMachine;
constexpr RegRoot kHkcu = RegRoot::CurrentUser;
const wchar_t kNi[] = L"SOFTWARE\\Native Instruments";
const wchar_t kFile[] = L"C:\\Backup\\archive.xml";

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::string LastWriteBase64(FileTime t) {
  std::vector<uint8_t> b;
  for (int i = 0; i < 8; ++i) b.push_back(uint8_t(t >> (8 * i)));
  return Base64Encode(b);
}

// Every key and value below `path` as text lines, for comparing whole registry states.
void Dump(const FakeRegistry& reg, RegRoot root, const std::wstring& path, RegView view,
          std::vector<std::wstring>& out) {
  out.push_back(L"key " + path);
  for (const std::wstring& name : reg.ValueNames(root, path, view)) {
    uint32_t type = 0;
    const auto data = reg.ReadBytes(root, path, name, &type, view);
    std::wstring line = L"  [" + name + L"] " + std::to_wstring(type) + L":";
    for (uint8_t b : data.value_or(std::vector<uint8_t>{})) line += L" " + std::to_wstring(b);
    out.push_back(line);
  }
  for (const std::wstring& child : reg.SubKeyNames(root, path, view))
    Dump(reg, root, path + L"\\" + child, view, out);
}
std::vector<std::wstring> Dump(const FakeRegistry& reg, RegRoot root, const std::wstring& path,
                               RegView view = RegView::Key64) {
  std::vector<std::wstring> out;
  Dump(reg, root, path, view, out);
  return out;
}

// ---------------------------------------------------------------------------------------------
// Base64

TEST(Base64Test, EncodesWithPaddingAndDecodesBack) {
  const struct {
    std::string plain, encoded;
  } cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {"\xFB\xFF", "+/8="},
      {std::string("\0\0\0", 3), "AAAA"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Base64Encode(Bytes(c.plain)), c.encoded) << c.plain;
    EXPECT_EQ(Base64Decode(c.encoded), Bytes(c.plain)) << c.encoded;
  }
}

TEST(Base64Test, DecodingStopsAtPaddingOrAForeignCharacter) {
  const struct {
    std::string encoded, plain;
  } cases[] = {
      {"Zm8", "fo"},          // a final group of three characters: two bytes
      {"Zg", "f"},            // two characters: one byte
      {"Zm9vY", "foo"},       // a lone final character gives nothing
      {"Zm9v=Zm9v", "foo"},   // "=" ends the data even mid-text
      {"Zm9v Zm9v", "foo"},   // so does a space
      {"Zm9v\nZm9v", "foo"},  // or a line break
      {"Zm-9v", "f"},         // or a character of another alphabet
      {"=Zm9v", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Base64Decode(c.encoded), Bytes(c.plain)) << c.encoded;
}

// ---------------------------------------------------------------------------------------------
// Names

TEST(RegistryArchiveNamesTest, HivesAndTypesByNameWithoutRegardToCase) {
  EXPECT_EQ(HiveName(kHklm), L"HKEY_LOCAL_MACHINE");
  EXPECT_EQ(HiveName(static_cast<RegRoot>(0x80000060u)), L"HKEY_PERFORMANCE_NLSTEXT");
  EXPECT_EQ(HiveName(static_cast<RegRoot>(0x80000008u)), L"");
  EXPECT_EQ(HiveFromName(L"hkey_current_user"), kHkcu);
  EXPECT_EQ(HiveFromName(L"HKEY_CURRENT_USER_LOCAL_SETTINGS"), static_cast<RegRoot>(0x80000007u));
  EXPECT_EQ(HiveFromName(L"HKLM"), std::nullopt);
  EXPECT_EQ(HiveFromName(L""), std::nullopt);

  EXPECT_EQ(ValueTypeName(regtype::MultiSz), L"REG_MULTI_SZ");
  EXPECT_EQ(ValueTypeName(regtype::ResourceRequirementsList), L"REG_RESOURCE_REQUIREMENTS_LIST");
  EXPECT_EQ(ValueTypeName(12), L"");
  EXPECT_EQ(ValueTypeFromName(L"reg_expand_sz"), regtype::ExpandSz);
  EXPECT_EQ(ValueTypeFromName(L"REG_DWORD_LITTLE_ENDIAN"), regtype::Dword);
  EXPECT_EQ(ValueTypeFromName(L"reg_qword_little_endian"), regtype::Qword);
  EXPECT_EQ(ValueTypeFromName(L"REG_DWORD_BIG_ENDIAN"), regtype::DwordBigEndian);
  EXPECT_EQ(ValueTypeFromName(L"REG_STRING"), regtype::None);
}

// ---------------------------------------------------------------------------------------------
// Capture, save, load, restore

class RegistryArchiveTest : public ::testing::Test {
 protected:
  RegistryArchiveTest() { fs.AddFolder(L"C:\\Backup"); }

  ErrorCode CaptureAndSave(RegRoot hive, bool force32, const wchar_t* file = kFile) {
    CRegistryArchive archive(registry, fs, system, hive, force32);
    if (const ErrorCode e = archive.Capture()) return e;
    return archive.Save(file);
  }
  ErrorCode LoadAndRestore(const wchar_t* file = kFile) {
    CRegistryArchive archive(registry, fs, system);
    if (const ErrorCode e = archive.Load(file)) return e;
    return archive.Restore();
  }
  // Writes an archive by hand around one Subkey body.
  void WriteArchive(const std::string& hive, const std::string& root, const std::string& force32,
                    const std::string& body) {
    fs.AddFile(kFile, "<?xml version=\"1.0\"?>\n<RegistryArchive><Hive>" + hive +
                          "</Hive><RootSubkey>" + root +
                          "</RootSubkey><LocalLoadTime>6AcDAAIABQAOAB4AAAAAAA==</LocalLoadTime>"
                          "<Force32>" +
                          force32 + "</Force32>" + body + "</RegistryArchive>");
  }

  FakeRegistry registry;
  FakeFileSystem fs;
  FakeSystem system;
};

TEST_F(RegistryArchiveTest, WritesTheDocumentInItsExactForm) {
  const std::wstring kontakt = std::wstring(kNi) + L"\\Kontakt";
  registry.CreateKeyAt(kHkcu, kNi, RegView::Default, L"X");  // a one-letter class is left out
  registry.SetString(kHkcu, kNi, L"", L"A");
  registry.CreateKeyAt(kHkcu, kontakt, RegView::Default, L"KC");
  registry.SetDword(kHkcu, kontakt, L"Version", 7);
  registry.SetBytes(kHkcu, kontakt, L"Huge", 0x20, {});
  const std::string niTime = LastWriteBase64(registry.LastWriteTime(kHkcu, kNi));
  const std::string kontaktTime = LastWriteBase64(registry.LastWriteTime(kHkcu, kontakt));

  ASSERT_EQ(CaptureAndSave(kHkcu, false), 0u);
  EXPECT_EQ(fs.ContentsText(kFile),
            "<?xml version=\"1.0\"?>\n"
            "<RegistryArchive>\n"
            "\t<Hive>HKEY_CURRENT_USER</Hive>\n"
            "\t<RootSubkey>SOFTWARE\\Native Instruments</RootSubkey>\n"
            "\t<LocalLoadTime>6AcDAAIABQAOAB4AAAAAAA==</LocalLoadTime>\n"
            "\t<Force32>No</Force32>\n"
            "\t<Subkey name=\"SOFTWARE\\Native Instruments\">\n"
            "\t\t<LastWrite>" +
                niTime +
                "</LastWrite>\n"
                "\t\t<Value name=\"\" type=\"REG_SZ\" size=\"4\">QQAAAA==</Value>\n"
                "\t\t<Subkey name=\"Kontakt\">\n"
                "\t\t\t<Class>KC</Class>\n"
                "\t\t\t<LastWrite>" +
                kontaktTime +
                "</LastWrite>\n"
                "\t\t\t<Value name=\"Version\" type=\"REG_DWORD\" size=\"4\">BwAAAA==</Value>\n"
                "\t\t\t<Value name=\"Huge\" type=\"\" size=\"0\"></Value>\n"
                "\t\t</Subkey>\n"
                "\t</Subkey>\n"
                "</RegistryArchive>\n");
}

TEST_F(RegistryArchiveTest, AMissingRootKeyGivesAnArchiveWithoutKeysThatRestoresNothing) {
  ASSERT_EQ(CaptureAndSave(kHklm, false), 0u);
  const std::string text = fs.ContentsText(kFile);
  for (const char* element : {"<Hive>HKEY_LOCAL_MACHINE</Hive>", "<RootSubkey>", "<LocalLoadTime>",
                              "<Force32>No</Force32>"})
    EXPECT_NE(text.find(element), std::string::npos) << element;
  EXPECT_EQ(text.find("Subkey "), std::string::npos);

  registry.ClearChanges();
  EXPECT_EQ(LoadAndRestore(), err::InternalError);
  EXPECT_TRUE(registry.Changes().empty());
  EXPECT_FALSE(registry.Exists(kHklm, kNi, RegView::Key64));
}

TEST_F(RegistryArchiveTest, RestoreBringsBackEveryValueByteForByteAndKeepsNewerOnes) {
  const std::wstring product = std::wstring(kNi) + L"\\Massive";
  const std::wstring deep = product + L"\\Presets\\User";
  const std::vector<uint8_t> multi = ToUtf16Bytes(std::wstring(L"one\0two\0\0", 9), false);
  const std::vector<uint8_t> qword = {1, 2, 3, 4, 5, 6, 7, 8};
  registry.SetString(kHkcu, product, L"", L"default text");
  registry.SetString(kHkcu, product, L"InstallDir", L"C:\\Program Files\\Massive\\");
  registry.SetBytes(kHkcu, product, L"Libraries", regtype::MultiSz, multi);
  registry.SetBytes(kHkcu, product, L"Stamp", regtype::Qword, qword);
  registry.SetExpandString(kHkcu, product, L"Content", L"%PUBLIC%\\Massive");
  registry.SetDword(kHkcu, deep, L"Count", 3);
  const std::vector<std::wstring> original = Dump(registry, kHkcu, kNi);

  ASSERT_EQ(CaptureAndSave(kHkcu, false), 0u);
  registry.SetString(kHkcu, product, L"", L"changed");
  registry.SetBytes(kHkcu, product, L"Libraries", regtype::MultiSz, ToUtf16Bytes(L"x", true));
  registry.DeleteTree(kHkcu, product + L"\\Presets");
  registry.SetString(kHkcu, product, L"Added", L"later");
  registry.SetDword(kHkcu, std::wstring(kNi) + L"\\Newer", L"Installed", 1);

  ASSERT_EQ(LoadAndRestore(), 0u);
  EXPECT_EQ(registry.ReadString(kHkcu, product, L""), L"default text");
  EXPECT_EQ(registry.ReadBytes(kHkcu, product, L"Libraries"), multi);
  EXPECT_EQ(registry.ReadDword(kHkcu, deep, L"Count"), 3u);
  EXPECT_EQ(registry.ReadString(kHkcu, product, L"Added"), L"later");
  EXPECT_EQ(registry.ReadDword(kHkcu, std::wstring(kNi) + L"\\Newer", L"Installed"), 1u);

  // Without the later additions the state is the original one, types and bytes included.
  registry.DeleteTree(kHkcu, std::wstring(kNi) + L"\\Newer");
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(registry.OpenKey(kHkcu, product, access::AllAccess, key), 0u);
  ASSERT_EQ(key->DeleteValue(L"Added"), 0u);
  key.reset();
  EXPECT_EQ(Dump(registry, kHkcu, kNi), original);

  // A second restore changes nothing more.
  ASSERT_EQ(LoadAndRestore(), 0u);
  EXPECT_EQ(Dump(registry, kHkcu, kNi), original);
}

TEST_F(RegistryArchiveTest, TheViewFollowsForce32InCaptureAndRestore) {
  registry.SetString(kHklm, kNi, L"View", L"64", RegView::Key64);
  registry.SetString(kHklm, kNi, L"View", L"32", RegView::Key32);
  for (const bool force32 : {false, true}) {
    ASSERT_EQ(CaptureAndSave(kHklm, force32), 0u);
    const std::string text = fs.ContentsText(kFile);
    EXPECT_NE(text.find(force32 ? "<Force32>Yes</Force32>" : "<Force32>No</Force32>"),
              std::string::npos);
    // "32" and "64" in UTF-16LE with their terminator.
    EXPECT_NE(text.find(force32 ? "MwAyAAAA" : "NgA0AAAA"), std::string::npos) << force32;
  }
}

TEST_F(RegistryArchiveTest, HiveAndForce32TextsAreReadWithoutRegardToCase) {
  const std::string body =
      "<Subkey name=\"ignored\"><Value name=\"V\" type=\"reg_sz\" size=\"4\">QQAAAA==</Value>"
      "<Subkey name=\"Child\"/></Subkey>";
  const struct {
    std::string hive, force32;
    RegRoot root;
    RegView written, untouched;
  } cases[] = {
      {"hkey_local_machine", "no", kHklm, RegView::Key64, RegView::Key32},
      {"HKEY_LOCAL_MACHINE", "YES", kHklm, RegView::Key32, RegView::Key64},
      {"HKEY_LOCAL_MACHINE", "true", kHklm, RegView::Key64, RegView::Key32},
      {"Hkey_Current_User", "Yes", kHkcu, RegView::Key32, RegView::Key32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hive + " " + c.force32);
    registry.DeleteTree(c.root, kNi, RegView::Key64);
    registry.DeleteTree(c.root, kNi, RegView::Key32);
    WriteArchive(c.hive, "SOFTWARE\\Native Instruments", c.force32, body);
    ASSERT_EQ(LoadAndRestore(), 0u);
    EXPECT_EQ(registry.ReadString(c.root, kNi, L"V", c.written), L"A");
    EXPECT_TRUE(registry.Exists(c.root, std::wstring(kNi) + L"\\Child", c.written));
    if (c.root == kHklm) {
      EXPECT_FALSE(registry.Exists(c.root, kNi, c.untouched));
    }
  }
}

TEST_F(RegistryArchiveTest, RefusesArchivesItDoesNotMakeAndWritesNothing) {
  const std::string body = "<Subkey name=\"x\"><Value name=\"V\" type=\"REG_SZ\" size=\"4\">"
                           "QQAAAA==</Value></Subkey>";
  const std::string time = "<LocalLoadTime>AAAA</LocalLoadTime>";
  const struct {
    const char* what;
    std::string xml;
  } cases[] = {
      {"another hive", "<RegistryArchive><Hive>HKEY_USERS</Hive><RootSubkey>SOFTWARE\\Native "
                       "Instruments</RootSubkey><Force32>No</Force32>" +
                           body + "</RegistryArchive>"},
      {"classes root", "<RegistryArchive><Hive>HKEY_CLASSES_ROOT</Hive><RootSubkey>SOFTWARE\\"
                       "Native Instruments</RootSubkey><Force32>No</Force32>" +
                           body + "</RegistryArchive>"},
      {"unknown hive", "<RegistryArchive><Hive>HKLM</Hive><RootSubkey>SOFTWARE\\Native "
                       "Instruments</RootSubkey><Force32>No</Force32>" +
                           body + "</RegistryArchive>"},
      {"another key", "<RegistryArchive><Hive>HKEY_LOCAL_MACHINE</Hive><RootSubkey>SOFTWARE\\"
                      "Microsoft\\Windows</RootSubkey><Force32>No</Force32>" +
                          body + "</RegistryArchive>"},
      {"a key below", "<RegistryArchive><Hive>HKEY_CURRENT_USER</Hive><RootSubkey>SOFTWARE\\"
                      "Native Instruments\\X</RootSubkey><Force32>No</Force32>" +
                          body + "</RegistryArchive>"},
      {"no hive", "<RegistryArchive><RootSubkey>SOFTWARE\\Native Instruments</RootSubkey>"
                  "<Force32>No</Force32>" +
                      body + "</RegistryArchive>"},
      {"no root subkey", "<RegistryArchive><Hive>HKEY_CURRENT_USER</Hive><Force32>No</Force32>" +
                             body + "</RegistryArchive>"},
      {"no Force32", "<RegistryArchive><Hive>HKEY_CURRENT_USER</Hive><RootSubkey>SOFTWARE\\"
                     "Native Instruments</RootSubkey>" +
                         time + body + "</RegistryArchive>"},
      {"no Subkey", "<RegistryArchive><Hive>HKEY_CURRENT_USER</Hive><RootSubkey>SOFTWARE\\"
                    "Native Instruments</RootSubkey><Force32>No</Force32></RegistryArchive>"},
      {"another root", "<Archive><Hive>HKEY_CURRENT_USER</Hive><RootSubkey>SOFTWARE\\Native "
                       "Instruments</RootSubkey><Force32>No</Force32>" +
                           body + "</Archive>"},
  };
  for (const auto& c : cases) {
    fs.AddFile(kFile, c.xml);
    registry.ClearChanges();
    EXPECT_EQ(LoadAndRestore(), err::InternalError) << c.what;
    EXPECT_TRUE(registry.Changes().empty()) << c.what;
  }
  // The root key itself is compared without regard to case.
  WriteArchive("HKEY_CURRENT_USER", "software\\native instruments", "No", body);
  EXPECT_EQ(LoadAndRestore(), 0u);
  EXPECT_EQ(registry.ReadString(kHkcu, kNi, L"V"), L"A");
}

TEST_F(RegistryArchiveTest, NeverWritesBytesBeyondTheDecodedData) {
  // "QQBCAA==" is "AB" without a terminator: four bytes.
  WriteArchive("HKEY_CURRENT_USER", "SOFTWARE\\Native Instruments", "No",
               "<Subkey name=\"\">"
               "<Value name=\"Longer\" type=\"REG_BINARY\" size=\"5\">QQBCAA==</Value>"
               "<Value name=\"Huge\" type=\"REG_BINARY\" size=\"4294967296\">QQBCAA==</Value>"
               "<Value name=\"Shorter\" type=\"REG_BINARY\" size=\"2\">QQBCAA==</Value>"
               "<Value name=\"Exact\" type=\"REG_BINARY\" size=\"4\">QQBCAA==</Value>"
               "<Value name=\"NoSize\" type=\"REG_BINARY\">QQBCAA==</Value>"
               "</Subkey>");
  ASSERT_EQ(LoadAndRestore(), 0u);
  EXPECT_FALSE(registry.ValueExists(kHkcu, kNi, L"Longer"));
  EXPECT_FALSE(registry.ValueExists(kHkcu, kNi, L"Huge"));
  EXPECT_FALSE(registry.ValueExists(kHkcu, kNi, L"NoSize"));
  EXPECT_EQ(registry.ReadBytes(kHkcu, kNi, L"Shorter"), (std::vector<uint8_t>{'A', 0}));
  EXPECT_EQ(registry.ReadBytes(kHkcu, kNi, L"Exact"), (std::vector<uint8_t>{'A', 0, 'B', 0}));
}

TEST_F(RegistryArchiveTest, AKeyThatCannotBeOpenedIsSkippedWithItsSubtree) {
  const std::wstring locked = std::wstring(kNi) + L"\\Locked";
  registry.SetDword(kHkcu, locked + L"\\Inner", L"V", 1);
  registry.SetDword(kHkcu, std::wstring(kNi) + L"\\Open", L"V", 2);
  registry.InjectFailure(kHkcu, locked, FakeRegistry::Operation::Open, err::AccessDenied);
  ASSERT_EQ(CaptureAndSave(kHkcu, false), 0u);
  const std::string text = fs.ContentsText(kFile);
  EXPECT_EQ(text.find("Locked"), std::string::npos);
  EXPECT_EQ(text.find("Inner"), std::string::npos);
  EXPECT_NE(text.find("<Subkey name=\"Open\">"), std::string::npos);

  // A key that cannot be created on restore is skipped with its subtree; the others are written.
  registry.ClearFailures();
  registry.SetDword(kHkcu, std::wstring(kNi) + L"\\Open\\Below", L"V", 4);
  registry.SetDword(kHkcu, std::wstring(kNi) + L"\\Zed", L"V", 3);
  ASSERT_EQ(CaptureAndSave(kHkcu, false), 0u);
  registry.DeleteTree(kHkcu, kNi);
  registry.InjectFailure(kHkcu, std::wstring(kNi) + L"\\Open", FakeRegistry::Operation::Create,
                         err::AccessDenied);
  ASSERT_EQ(LoadAndRestore(), 0u);
  EXPECT_FALSE(registry.Exists(kHkcu, std::wstring(kNi) + L"\\Open"));
  EXPECT_FALSE(registry.Exists(kHkcu, std::wstring(kNi) + L"\\Open\\Below"));
  EXPECT_EQ(registry.ReadDword(kHkcu, std::wstring(kNi) + L"\\Zed", L"V"), 3u);
}

TEST_F(RegistryArchiveTest, SaveAndLoadErrors) {
  CRegistryArchive archive(registry, fs, system, kHkcu, false);
  ASSERT_EQ(archive.Capture(), 0u);
  EXPECT_EQ(archive.Save(L""), err::InvalidParameter);
  fs.InjectFailure(FakeFileSystem::Operation::WriteFile, kFile, err::AccessDenied);
  EXPECT_EQ(archive.Save(kFile), err::InternalError);

  CRegistryArchive loaded(registry, fs, system);
  EXPECT_EQ(loaded.Load(L""), err::InvalidParameter);
  EXPECT_EQ(loaded.Load(L"C:\\Backup\\missing.xml"), err::FileNotFound);
  EXPECT_EQ(loaded.Load(L"C:\\Missing\\missing.xml"), err::FileNotFound);
  fs.AddFile(L"C:\\Backup\\broken.xml", "<RegistryArchive><Hive>");
  EXPECT_EQ(loaded.Load(L"C:\\Backup\\broken.xml"), err::InternalError);
  EXPECT_EQ(loaded.Restore(), err::InternalError);
}

// Each registry and file call of capture, save, load, restore and reading the date throws in turn,
// as an allocation failing below them would: the operation gives 1359, leaves no half-built
// document, and once nothing throws does all of its work.
TEST_F(RegistryArchiveTest, AnExceptionInAnyCallBecomes1359) {
  using testing::ThrowAtEachCall;
  const std::wstring product = std::wstring(kNi) + L"\\Massive";
  registry.SetString(kHkcu, kNi, L"Top", L"1");
  registry.SetString(kHkcu, product, L"InstallDir", L"C:\\Massive\\");
  registry.SetDword(kHkcu, product + L"\\Presets", L"Count", 2);
  const std::vector<std::wstring> original = Dump(registry, kHkcu, kNi);

  testing::ThrowCountdown countdown;
  testing::ThrowingRegistry throwingRegistry(registry, countdown);
  testing::ThrowingFileSystem throwingFs(fs, countdown);
  CRegistryArchive archive(throwingRegistry, throwingFs, system, kHkcu, false);
  const auto noDocument = [&](int) { EXPECT_FALSE(archive.Document().first_child()); };

  const int captureCalls = ThrowAtEachCall(
      countdown, [&] { return archive.Capture(); }, noDocument);
  EXPECT_GT(captureCalls, 9);  // three keys, each opened, queried and enumerated
  ThrowAtEachCall(
      countdown, [&] { return archive.Save(kFile); }, [&](int) { EXPECT_FALSE(fs.Exists(kFile)); });
  ASSERT_NE(fs.ContentsText(kFile).find("<Subkey name=\"Presets\">"), std::string::npos);

  ThrowAtEachCall(
      countdown, [&] { return archive.Load(kFile); }, noDocument);
  registry.DeleteTree(kHkcu, kNi);
  ThrowAtEachCall(
      countdown, [&] { return archive.Restore(); }, [](int) {});
  EXPECT_EQ(Dump(registry, kHkcu, kNi), original);

  std::wstring date;
  ThrowAtEachCall(
      countdown, [&] { return archive.ReadArchiveDate(kFile, date); },
      [&](int) { EXPECT_EQ(date, L""); });
  EXPECT_EQ(date, L"3/5/2024, 2:30:00 PM");
}

TEST_F(RegistryArchiveTest, ReadArchiveDateFormatsTheCaptureTime) {
  ASSERT_EQ(CaptureAndSave(kHkcu, false), 0u);
  CRegistryArchive archive(registry, fs, system);
  std::wstring text;
  ASSERT_EQ(archive.ReadArchiveDate(kFile, text), 0u);
  EXPECT_EQ(text, L"3/5/2024, 2:30:00 PM");

  system.formatError = 87;
  EXPECT_EQ(archive.ReadArchiveDate(kFile, text), 87u);
  system.formatError = 0;

  EXPECT_EQ(archive.ReadArchiveDate(L"C:\\Backup\\missing.xml", text), err::FileNotFound);
  const struct {
    const char* what;
    std::string xml;
  } bad[] = {
      {"not XML", "RegistryArchive"},
      {"no root", "<Archive><LocalLoadTime>6AcDAAIABQAOAB4AAAAAAA==</LocalLoadTime></Archive>"},
      {"no time", "<RegistryArchive><Hive>HKEY_CURRENT_USER</Hive></RegistryArchive>"},
      {"15 bytes", "<RegistryArchive><LocalLoadTime>6AcDAAIABQAOAB4AAAAA</LocalLoadTime>"
                   "</RegistryArchive>"},
  };
  for (const auto& c : bad) {
    fs.AddFile(kFile, c.xml);
    EXPECT_EQ(archive.ReadArchiveDate(kFile, text), err::InternalError) << c.what;
  }
}

}  // namespace
}  // namespace tessaly
