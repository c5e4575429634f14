// The portable PE and version-resource readers against the system's own: GetFileVersionInfoW,
// VerQueryValueW and ImageNtHeader on the fixture DLLs and on the system's DLLs, including the
// error codes for files without a version resource, text files and missing files.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/file_version.h"
#include "platform/pe_image.h"
#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/wow64_win32.h"
#include "tests/support/backends.h"
#include "tests/windows/fixture_path.h"
#include "tests/windows/system_dlls.h"

#include <dbghelp.h>
#include <winver.h>

namespace tessaly {
namespace {

// What the system reads: the block from GetFileVersionInfoW, or the error of
// GetFileVersionInfoSizeW / GetFileVersionInfoW. Redirection is off, as for our reader.
struct SystemBlock {
  DWORD error = 0;
  std::vector<uint8_t> bytes;
};

SystemBlock ReadWithSystem(const std::wstring& path) {
  CDisableFileRedirection scope;
  SystemBlock block;
  DWORD handle = 0;
  SetLastError(0);
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) {
    block.error = GetLastError();
    return block;
  }
  block.bytes.resize(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.bytes.data())) {
    block.error = GetLastError();
    block.bytes.clear();
  }
  return block;
}

// VerQueryValueW's answer.
struct SystemValue {
  bool found = false;
  DWORD error = 0;
  const uint8_t* data = nullptr;
  UINT length = 0;
};

SystemValue QueryWithSystem(const SystemBlock& block, const std::wstring& subBlock) {
  SystemValue value;
  void* data = nullptr;
  SetLastError(0);
  value.found = VerQueryValueW(block.bytes.data(), subBlock.c_str(), &data, &value.length);
  value.error = value.found ? 0 : GetLastError();
  value.data = static_cast<const uint8_t*>(data);
  return value;
}

// GetFileVersionString written with the system's functions, step by step.
DWORD FileVersionWithSystem(const std::wstring& path, std::wstring& out) {
  out.clear();
  if (path.empty()) return err::NotReady;
  const SystemBlock block = ReadWithSystem(path);
  if (block.error) return block.error;
  const SystemValue translation = QueryWithSystem(block, L"\\VarFileInfo\\Translation");
  if (!translation.found || translation.length < 4) return err::UnidentifiedError;
  const VersionTranslation first{
      static_cast<uint16_t>(translation.data[0] | (translation.data[1] << 8)),
      static_cast<uint16_t>(translation.data[2] | (translation.data[3] << 8))};
  const SystemValue value =
      QueryWithSystem(block, VersionResource::StringPath(first, L"FileVersion"));
  if (!value.found) return value.error;
  out.assign(reinterpret_cast<const wchar_t*>(value.data),
             wcsnlen(reinterpret_cast<const wchar_t*>(value.data), value.length));
  return 0;
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
  }
  return text;
}

class FileVersionSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Fixture(L"x").empty()) GTEST_FAIL() << "TESSALY_FIXTURES is not set";
    harness = testing::Win32FileSystemBackends().front().make();
  }

  // Our reading of `path` equals the system's: the same error, or the same block and the same
  // answers to every query for the fixed information, the translations and each string.
  void ExpectSameAsSystem(const std::wstring& path) {
    SCOPED_TRACE(ToUtf8(path));
    const SystemBlock system = ReadWithSystem(path);
    VersionResource ours;
    {
      const auto scope = harness->system().DisableFileRedirection();
      EXPECT_EQ(ReadVersionResource(harness->fs(), path, ours), system.error);
    }
    std::wstring ourText, systemText;
    EXPECT_EQ(GetFileVersionString(harness->fs(), harness->system(), path, ourText),
              FileVersionWithSystem(path, systemText));
    EXPECT_EQ(ourText, systemText);
    if (system.error) return;

    // GetFileVersionInfoW copies the resource and appends scratch space; the block is wLength.
    ASSERT_GE(ours.bytes().size(), 6u);
    const size_t length = ours.bytes()[0] | (ours.bytes()[1] << 8);
    ASSERT_GE(system.bytes.size(), length);
    ASSERT_GE(ours.bytes().size(), length);
    EXPECT_EQ(std::memcmp(ours.bytes().data(), system.bytes.data(), length), 0);

    for (const std::wstring& query :
         {std::wstring(L"\\"), std::wstring(L"\\VarFileInfo\\Translation")}) {
      VersionValue value;
      const ErrorCode rc = ours.QueryValue(query, value);
      const SystemValue expected = QueryWithSystem(system, query);
      ASSERT_EQ(rc == 0, expected.found) << ToUtf8(query);
      if (rc != 0) continue;
      EXPECT_EQ(value.length, expected.length) << ToUtf8(query);
      ASSERT_GE(value.size, expected.length) << ToUtf8(query);
      EXPECT_EQ(std::memcmp(value.data, expected.data, expected.length), 0) << ToUtf8(query);
    }

    std::vector<std::wstring> tables;
    if (ours.ListChildren(L"\\StringFileInfo", tables) != 0) return;
    for (const std::wstring& table : tables) {
      std::vector<std::wstring> names;
      ASSERT_EQ(ours.ListChildren(L"\\StringFileInfo\\" + table, names), 0u);
      names.push_back(L"NoSuchValue");
      for (const std::wstring& name : names) {
        const std::wstring query = L"\\StringFileInfo\\" + table + L"\\" + name;
        for (const std::wstring& asked : {query, Upper(query)}) {
          std::wstring text;
          VersionValue value;
          const ErrorCode rc = ours.QueryString(asked, text);
          const SystemValue expected = QueryWithSystem(system, asked);
          ASSERT_EQ(rc == 0, expected.found) << ToUtf8(asked);
          if (rc != 0) {
            EXPECT_EQ(rc, expected.error) << ToUtf8(asked);
            continue;
          }
          ASSERT_EQ(ours.QueryValue(asked, value), 0u);
          EXPECT_EQ(value.length, expected.length) << ToUtf8(asked);
          const auto* chars = reinterpret_cast<const wchar_t*>(expected.data);
          EXPECT_EQ(text, std::wstring(chars, wcsnlen(chars, expected.length))) << ToUtf8(asked);
        }
      }
    }
  }

  std::unique_ptr<testing::FileSystemHarness> harness;
};

TEST_F(FileVersionSystemTest, FixturesReadAsTheSystemReadsThem) {
  for (const wchar_t* name : {L"multi32.dll", L"multi64.dll", L"no_file_version32.dll",
                              L"key_case32.dll", L"two_languages32.dll", L"neutral_language32.dll",
                              L"no_translation32.dll", L"empty_translation32.dll"}) {
    ExpectSameAsSystem(Fixture(name));
  }
}

TEST_F(FileVersionSystemTest, FixtureValues) {
  struct Case {
    const wchar_t* name;
    ErrorCode rc;
    const wchar_t* text;
  };
  // Fixed values, so that a fixture that lost what it is for does not pass unnoticed.
  const Case cases[] = {
      {L"multi32.dll", 0, L"1.2.3.4 (de)"},  // the first translation, not the English one
      {L"multi64.dll", 0, L"1.2.3.4 (de)"},
      {L"key_case32.dll", 0, L"9.8.7.6"},
      {L"two_languages32.dll", 0, L"English resource"},
      {L"neutral_language32.dll", 0, L"first resource"},
      {L"no_file_version32.dll", err::ResourceTypeNotFound, L""},
      {L"no_translation32.dll", err::UnidentifiedError, L""},
      {L"empty_translation32.dll", err::UnidentifiedError, L""},
  };
  for (const Case& c : cases) {
    std::wstring text;
    EXPECT_EQ(GetFileVersionString(harness->fs(), harness->system(), Fixture(c.name), text), c.rc)
        << ToUtf8(c.name);
    EXPECT_EQ(text, c.text) << ToUtf8(c.name);
  }
  VersionResource resource;
  ASSERT_EQ(ReadVersionResource(harness->fs(), Fixture(L"multi64.dll"), resource), 0u);
  FixedFileInfo fixed;
  ASSERT_EQ(resource.QueryFixedInfo(fixed), 0u);
  EXPECT_EQ(fixed.signature, FixedFileInfo::kSignature);
  EXPECT_EQ(fixed.FileVersion(), 0x0001000200030004ull);
  EXPECT_EQ(fixed.ProductVersion(), 0x0005000600070008ull);
  std::wstring description;
  EXPECT_EQ(resource.QueryString(L"\\StringFileInfo\\040704e4\\FileDescription", description), 0u);
  EXPECT_EQ(description, L"Pr\u00fcf-DLL 64-bit");
}

TEST_F(FileVersionSystemTest, SystemDllsReadAsTheSystemReadsThem) {
  std::vector<std::wstring> paths = {L"C:\\windows\\system32\\kernel32.dll",
                                     L"C:\\windows\\system32\\user32.dll"};
  const std::vector<std::wstring> wow64Dlls = Wow64SystemDlls();
  paths.insert(paths.end(), wow64Dlls.begin(), wow64Dlls.end());
  for (const std::wstring& path : paths) {
    ExpectSameAsSystem(path);
    std::wstring text;
    EXPECT_EQ(GetFileVersionString(harness->fs(), harness->system(), path, text), 0u);
    EXPECT_FALSE(text.empty()) << ToUtf8(path);
  }
  if (wow64Dlls.empty()) GTEST_SKIP() << kNoWow64SystemDlls;
}

TEST_F(FileVersionSystemTest, ErrorsAreTheSystemsErrors) {
  const std::wstring text = harness->scratch + L"\\Readme.dll";
  const std::string content = "MZ, but only as the first two letters of a text file.\r\n";
  ASSERT_EQ(harness->fs().WriteFile(text, reinterpret_cast<const uint8_t*>(content.data()),
                                    content.size()),
            0u);
  const std::wstring empty = harness->scratch + L"\\Empty.dll";
  ASSERT_EQ(harness->fs().WriteFile(empty, nullptr, 0), 0u);

  struct Case {
    std::wstring path;
    ErrorCode rc;
  };
  const Case cases[] = {
      {Fixture(L"no_resources32.dll"), err::ResourceDataNotFound},
      {Fixture(L"no_resources64.dll"), err::ResourceDataNotFound},
      {Fixture(L"other_resources32.dll"), err::ResourceDataNotFound},
      {Fixture(L"version_id2_32.dll"), err::ResourceDataNotFound},
      {text, err::ResourceDataNotFound},
      {empty, err::ResourceDataNotFound},
      {harness->scratch + L"\\Missing.dll", err::FileNotFound},
      {harness->scratch + L"\\Missing\\Synth.dll", err::PathNotFound},
  };
  for (const Case& c : cases) {
    ExpectSameAsSystem(c.path);
    std::wstring value;
    EXPECT_EQ(GetFileVersionString(harness->fs(), harness->system(), c.path, value), c.rc)
        << ToUtf8(c.path);
  }
  std::wstring value;
  EXPECT_EQ(GetFileVersionString(harness->fs(), harness->system(), L"", value), err::NotReady);
}

// Our header parse of a file against ImageNtHeader on a mapped view of it.
void ExpectHeadersAsImageNtHeader(const std::wstring& path, const PeHeaders& ours) {
  SCOPED_TRACE(ToUtf8(path));
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_READONLY, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  const IMAGE_NT_HEADERS* nt = ImageNtHeader(view);
  ASSERT_NE(nt, nullptr);
  EXPECT_EQ(ours.ntHeadersOffset,
            uint32_t(reinterpret_cast<const uint8_t*>(nt) - static_cast<const uint8_t*>(view)));
  EXPECT_EQ(ours.machine, nt->FileHeader.Machine);
  EXPECT_EQ(ours.optionalMagic, nt->OptionalHeader.Magic);
  ASSERT_EQ(ours.sections.size(), nt->FileHeader.NumberOfSections);
  const IMAGE_DATA_DIRECTORY* directories =
      ours.IsPe32Plus()
          ? reinterpret_cast<const IMAGE_NT_HEADERS64*>(nt)->OptionalHeader.DataDirectory
          : reinterpret_cast<const IMAGE_NT_HEADERS32*>(nt)->OptionalHeader.DataDirectory;
  EXPECT_EQ(ours.Directory(pe::kDirectoryResource).rva,
            directories[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress);
  EXPECT_EQ(ours.Directory(pe::kDirectoryResource).size,
            directories[IMAGE_DIRECTORY_ENTRY_RESOURCE].Size);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (size_t i = 0; i < ours.sections.size(); ++i) {
    EXPECT_EQ(ours.sections[i].virtualAddress, section[i].VirtualAddress) << i;
    EXPECT_EQ(ours.sections[i].rawOffset, section[i].PointerToRawData) << i;
    EXPECT_EQ(ours.sections[i].rawSize, section[i].SizeOfRawData) << i;
  }
  UnmapViewOfFile(view);
  CloseHandle(mapping);
  CloseHandle(file);
}

TEST_F(FileVersionSystemTest, HeadersAndMachinesAsImageNtHeaderSeesThem) {
  struct Case {
    std::wstring path;
    bool redirectionOff;
    uint16_t machine;
  };
  std::vector<Case> cases = {
      {Fixture(L"multi32.dll"), false, pe::kMachineI386},
      {Fixture(L"multi64.dll"), false, pe::kMachineAmd64},
      {Fixture(L"no_resources64.dll"), false, pe::kMachineAmd64},
      // A 32-bit process sees syswow64 under the name system32 (a 64-bit one never) ...
      {L"C:\\windows\\system32\\kernel32.dll", false,
       k32BitProcess ? pe::kMachineI386 : pe::kMachineAmd64},
      // ... and the 64-bit DLL once redirection is off.
      {L"C:\\windows\\system32\\kernel32.dll", true, pe::kMachineAmd64},
  };
  const std::vector<std::wstring> wow64Dlls = Wow64SystemDlls();
  for (const std::wstring& dll : wow64Dlls) cases.push_back({dll, false, pe::kMachineI386});
  for (const Case& c : cases) {
    std::unique_ptr<RedirectionScope> scope;
    if (c.redirectionOff) scope = harness->system().DisableFileRedirection();
    PeHeaders headers;
    FileImageReader reader(harness->fs(), c.path);
    ASSERT_EQ(ParsePeHeaders(reader, headers), 0u) << ToUtf8(c.path);
    EXPECT_EQ(headers.machine, c.machine) << ToUtf8(c.path);
    EXPECT_EQ(headers.IsPe32Plus(), c.machine == pe::kMachineAmd64) << ToUtf8(c.path);
    ExpectHeadersAsImageNtHeader(c.path, headers);

    std::vector<uint8_t> first;
    ASSERT_EQ(harness->fs().ReadFile(c.path, 0, 1024, first), 0u);
    EXPECT_EQ(ReadMachine(first.data(), first.size()), c.machine) << ToUtf8(c.path);
  }
}

}  // namespace
}  // namespace tessaly
