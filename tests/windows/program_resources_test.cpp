// Tessaly.exe as built: its version record read by our reader and by the system, and a manifest
// that asks for administrator rights and common controls 6 and names the build's architecture.
#include <gtest/gtest.h>

#include <string>

#include "platform/file_version.h"
#include "platform/version_resource.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_system.h"
#include "resources/version.h"
#include "tests/windows/program_templates.h"

#include <winver.h>

namespace tessaly {
namespace {

std::wstring SystemString(const std::wstring& file, const wchar_t* name) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
  if (size == 0) return L"<no version resource>";
  std::string block(size, '\0');
  if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return L"<unreadable>";
  wchar_t* text = nullptr;
  UINT length = 0;
  const std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
  if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length))
    return L"<missing>";
  return std::wstring(text);
}

TEST(ProgramResourcesTest, VersionRecordReadsAlikeThroughOurReaderAndTheSystem) {
  const std::wstring program = testing::BuiltProgramPath();
  ASSERT_NE(GetFileAttributesW(program.c_str()), INVALID_FILE_ATTRIBUTES) << "no Tessaly.exe";
  Win32FileSystem fs;
  Win32System system;
  std::wstring fileVersion;
  ASSERT_EQ(GetFileVersionString(fs, system, program, fileVersion), 0u);
  EXPECT_EQ(fileVersion, L"" TESSALY_VERSION_TEXT);

  VersionResource resource;
  ASSERT_EQ(ReadVersionResource(fs, program, resource), 0u);
  for (const wchar_t* name :
       {L"ProductVersion", L"FileVersion", L"LegalCopyright", L"CompanyName", L"ProductName"}) {
    std::wstring ours;
    EXPECT_EQ(resource.QueryString(std::wstring(L"\\StringFileInfo\\040904b0\\") + name, ours), 0u)
        << name;
    EXPECT_EQ(ours, SystemString(program, name)) << name;
  }
  EXPECT_EQ(SystemString(program, L"CompanyName"), L"Quillmoor");
  EXPECT_EQ(SystemString(program, L"ProductName"), L"Tessaly");
}

TEST(ProgramResourcesTest, ManifestAsksForAdministratorAndCommonControls6) {
  HMODULE module =
      LoadLibraryExW(testing::BuiltProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << GetLastError();
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
  const std::string manifest(data, SizeofResource(module, found));
  FreeLibrary(module);
  EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
  // The program's own identity names the architecture it was built for (this test is built for
  // the same one); the common controls dependency takes any.
  const std::string identity = manifest.substr(0, manifest.find("<dependency>"));
  EXPECT_NE(identity.find(sizeof(void*) == 8 ? "processorArchitecture=\"amd64\""
                                             : "processorArchitecture=\"x86\""),
            std::string::npos)
      << identity;
}

}  // namespace
}  // namespace tessaly
