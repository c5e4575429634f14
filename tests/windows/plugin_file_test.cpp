// CPluginFile against the system's own answers: ImageNtHeader on a mapped view for the machine
// type, GetFileVersionInfoW/VerQueryValueW for version values and GetDateFormatW for the date, on
// the fixture DLLs and the system's DLLs (system32 seen with redirection off, and syswow64).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/pe_image.h"
#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/wow64_win32.h"
#include "plugins/plugin_file.h"
#include "tests/support/backends.h"
#include "tests/windows/fixture_path.h"
#include "tests/windows/system_dlls.h"

#include <dbghelp.h>
#include <winver.h>

namespace tessaly {
namespace {

// The machine value as ImageNtHeader finds it in a view of the first 1024 bytes, or the error of
// the step that failed (the mapping of an empty file).
struct SystemMachine {
  DWORD error = 0;
  bool found = false;
  WORD machine = 0;
};

SystemMachine MachineWithSystem(const std::wstring& path) {
  CDisableFileRedirection scope;
  SystemMachine result;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_READONLY, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    result.error = GetLastError();
    return result;
  }
  LARGE_INTEGER size = {};
  GetFileSizeEx(file, &size);
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) {
    result.error = GetLastError();
    CloseHandle(file);
    return result;
  }
  const SIZE_T bytes = size.QuadPart > 1024 ? 1024 : SIZE_T(size.QuadPart);
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, bytes);
  if (view == nullptr) {
    result.error = GetLastError();
  } else {
    if (const IMAGE_NT_HEADERS* nt = ImageNtHeader(view)) {
      result.found = true;
      result.machine = nt->FileHeader.Machine;
    }
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  CloseHandle(file);
  return result;
}

// The version block as GetFileVersionInfoW gives it (empty when there is none).
std::vector<uint8_t> BlockWithSystem(const std::wstring& path) {
  CDisableFileRedirection scope;
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  std::vector<uint8_t> block(size);
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data())) block.clear();
  return block;
}

// The string `name` of the first translation, empty when any query fails.
std::wstring StringWithSystem(std::vector<uint8_t>& block, const wchar_t* name) {
  if (block.empty()) return {};
  void* data = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &data, &length) || length < 4) {
    return {};
  }
  const WORD* pair = static_cast<const WORD*>(data);
  wchar_t query[128];
  swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", pair[0], pair[1], name);
  if (!VerQueryValueW(block.data(), query, &data, &length) || length > 260) return {};
  return static_cast<const wchar_t*>(data);
}

std::wstring FileVersionWithSystem(std::vector<uint8_t>& block) {
  if (block.empty()) return {};
  void* data = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", &data, &length) || length == 0) return {};
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(data);
  wchar_t text[64];
  swprintf(text, 64, L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
           HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  return text;
}

// The short date of the system locale for the file's last-write time, as a UTC date.
std::wstring DateWithSystem(const std::wstring& path, ULONGLONG& size) {
  CDisableFileRedirection scope;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return {};
  FindClose(find);
  size = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  SYSTEMTIME st;
  wchar_t text[128] = {};
  if (!FileTimeToSystemTime(&data.ftLastWriteTime, &st) ||
      !GetDateFormatW(LOCALE_SYSTEM_DEFAULT, 0, &st, nullptr, text, 128)) {
    return {};
  }
  return text;
}

class PluginFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Fixture(L"x").empty()) GTEST_FAIL() << "TESSALY_FIXTURES is not set";
    harness = testing::Win32FileSystemBackends().front().make();
  }
  std::unique_ptr<testing::FileSystemHarness> harness;
};

TEST_F(PluginFileSystemTest, DllsReadAsTheSystemReadsThem) {
  struct Case {
    std::wstring path;
    uint16_t machine;
  };
  std::vector<Case> cases = {
      {Fixture(L"multi32.dll"), pe::kMachineI386},
      {Fixture(L"multi64.dll"), pe::kMachineAmd64},
      {Fixture(L"no_resources32.dll"), pe::kMachineI386},
      {Fixture(L"no_resources64.dll"), pe::kMachineAmd64},
      {Fixture(L"no_file_version32.dll"), pe::kMachineI386},
      {Fixture(L"empty_translation32.dll"), pe::kMachineI386},
      // Redirection is off, so system32 gives the 64-bit DLLs to a 32-bit process too.
      {L"C:\\windows\\system32\\kernel32.dll", pe::kMachineAmd64},
      {L"C:\\windows\\system32\\user32.dll", pe::kMachineAmd64},
  };
  const std::vector<std::wstring> wow64Dlls = Wow64SystemDlls();
  for (const std::wstring& dll : wow64Dlls) cases.push_back({dll, pe::kMachineI386});
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.path));
    CPluginFile file(harness->fs(), harness->system(), c.path);
    ASSERT_TRUE(file.IsFound());

    const SystemMachine system = MachineWithSystem(c.path);
    ASSERT_EQ(system.error, 0u);
    ASSERT_TRUE(system.found);
    EXPECT_EQ(system.machine, c.machine);
    uint16_t machine = 0;
    EXPECT_EQ(file.GetMachineType(machine), 0u);
    EXPECT_EQ(machine, system.machine);

    std::vector<uint8_t> block = BlockWithSystem(c.path);
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion", L"CompanyName",
                                L"FileDescription", L"ProductName", L"NoSuchValue"}) {
      EXPECT_EQ(file.GetVersionString(name), StringWithSystem(block, name)) << ToUtf8(name);
    }
    EXPECT_EQ(file.GetFileVersionText(), FileVersionWithSystem(block));

    ULONGLONG size = 0;
    const std::wstring date = DateWithSystem(c.path, size);
    EXPECT_FALSE(date.empty());
    EXPECT_EQ(file.GetDateText(), date);
    EXPECT_EQ(file.GetSize(), size);
  }
  // Values the fixtures are known to hold, so the comparison above compares something.
  CPluginFile multi(harness->fs(), harness->system(), Fixture(L"multi64.dll"));
  EXPECT_EQ(multi.GetFileVersionText(), L"1.2.3.4");
  EXPECT_FALSE(multi.GetVersionString(L"FileVersion").empty());
  EXPECT_EQ(multi.GetKey(), L"multi64.dll");
  if (wow64Dlls.empty()) GTEST_SKIP() << kNoWow64SystemDlls;
}

TEST_F(PluginFileSystemTest, FilesThatAreNotImages) {
  const std::wstring text = harness->scratch + L"\\Readme.dll";
  const std::string content = "MZ, but only as the first two letters of a text file.\r\n";
  ASSERT_EQ(harness->fs().WriteFile(text, reinterpret_cast<const uint8_t*>(content.data()),
                                    content.size()),
            0u);
  const std::wstring empty = harness->scratch + L"\\Empty.dll";
  ASSERT_EQ(harness->fs().WriteFile(empty, nullptr, 0), 0u);

  // The system finds no header in the text file and cannot map the empty one.
  EXPECT_FALSE(MachineWithSystem(text).found);
  EXPECT_EQ(MachineWithSystem(text).error, 0u);
  const SystemMachine emptyMachine = MachineWithSystem(empty);
  ASSERT_NE(emptyMachine.error, 0u);

  struct Case {
    std::wstring path;
    ErrorCode rc;
  };
  for (const Case& c : {Case{text, err::BadFormat}, Case{empty, emptyMachine.error}}) {
    SCOPED_TRACE(ToUtf8(c.path));
    CPluginFile file(harness->fs(), harness->system(), c.path);
    ASSERT_TRUE(file.IsFound());
    uint16_t machine = 1;
    EXPECT_EQ(file.GetMachineType(machine), c.rc);
    EXPECT_EQ(machine, 0);
    EXPECT_STREQ(MachineTypeLabel(machine), L"?");
    EXPECT_EQ(file.GetVersionString(L"FileVersion"), L"");
    EXPECT_EQ(file.GetFileVersionText(), L"");
  }

  CPluginFile missing(harness->fs(), harness->system());
  EXPECT_EQ(missing.Lookup(harness->scratch + L"\\Missing.dll"), err::FileNotFound);
  EXPECT_EQ(missing.Lookup(harness->scratch + L"\\Missing\\Synth.dll"), err::PathNotFound);
}

}  // namespace
}  // namespace tessaly
