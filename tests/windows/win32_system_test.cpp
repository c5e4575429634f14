// The Win32 system backend on a 64-bit system: the environment and special folders that a 32-bit
// process sees, empty and long environment values, and the system locale's short date.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_system.h"
#include "tests/windows/system_dlls.h"

namespace tessaly {
namespace {

TEST(Win32SystemTest, ProgramFoldersAsA32BitProcessSeesThem) {
  if (!k32BitProcess) {
    GTEST_SKIP() << "a 64-bit process sees the 64-bit folders under these names; the program's "
                    "folders come out the same in both builds (LocationsContractTest)";
  }
  Win32System system;
  struct Case {
    const wchar_t* variable;
    const wchar_t* expected;
  };
  for (const Case& c : {Case{L"ProgramFiles", L"C:\\Program Files (x86)"},
                        Case{L"CommonProgramFiles", L"C:\\Program Files (x86)\\Common Files"},
                        Case{L"ProgramW6432", L"C:\\Program Files"},
                        Case{L"CommonProgramW6432", L"C:\\Program Files\\Common Files"}}) {
    std::wstring value;
    EXPECT_EQ(system.GetEnvironmentVariable(c.variable, value), 0u) << ToUtf8(c.variable);
    EXPECT_TRUE(EqualsNoCase(value, c.expected)) << ToUtf8(c.variable) << " = " << ToUtf8(value);
  }

  struct Folder {
    int csidlValue;
    const wchar_t* sameAsVariable;
  };
  for (const Folder& f : {Folder{csidl::ProgramFiles, L"ProgramFiles"},
                          Folder{csidl::ProgramFilesX86, L"ProgramFiles"},
                          Folder{csidl::ProgramFilesCommon, L"CommonProgramFiles"},
                          Folder{csidl::ProgramFilesCommonX86, L"CommonProgramFiles"}}) {
    std::wstring folder, variable;
    EXPECT_EQ(system.GetSpecialFolder(f.csidlValue, folder), 0u) << f.csidlValue;
    ASSERT_EQ(system.GetEnvironmentVariable(f.sameAsVariable, variable), 0u);
    EXPECT_TRUE(EqualsNoCase(folder, variable)) << f.csidlValue << ": " << ToUtf8(folder);
  }
}

// The user's Documents folder pointed elsewhere for the life of the object, through the values
// the shell reads it from and keeps it in; the old values are put back. The prefix's own
// Documents folder is a Unix link to HOME under Wine, so it is never removed to make it missing.
class DocumentsRedirect {
 public:
  explicit DocumentsRedirect(const std::wstring& folder) {
    for (Saved& s : saved_) {
      if (RegOpenKeyExW(HKEY_CURRENT_USER, s.key, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &s.handle) !=
          ERROR_SUCCESS) {
        s.handle = nullptr;
        continue;
      }
      DWORD size = sizeof(s.data);
      s.had = RegQueryValueExW(s.handle, L"Personal", nullptr, &s.type,
                               reinterpret_cast<BYTE*>(s.data), &size) == ERROR_SUCCESS;
      s.size = size;
      RegSetValueExW(s.handle, L"Personal", 0, s.valueType,
                     reinterpret_cast<const BYTE*>(folder.c_str()),
                     DWORD((folder.size() + 1) * sizeof(wchar_t)));
    }
  }
  ~DocumentsRedirect() {
    for (Saved& s : saved_) {
      if (!s.handle) continue;
      if (s.had)
        RegSetValueExW(s.handle, L"Personal", 0, s.type, reinterpret_cast<BYTE*>(s.data), s.size);
      else
        RegDeleteValueW(s.handle, L"Personal");
      RegCloseKey(s.handle);
    }
  }
  DocumentsRedirect(const DocumentsRedirect&) = delete;
  DocumentsRedirect& operator=(const DocumentsRedirect&) = delete;

 private:
  struct Saved {
    const wchar_t* key;
    DWORD valueType;
    HKEY handle = nullptr;
    bool had = false;
    DWORD type = 0;
    DWORD size = 0;
    wchar_t data[MAX_PATH + 1] = {};
  };
  Saved saved_[2] = {
      {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
       REG_EXPAND_SZ},
      {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", REG_SZ},
  };
};

// One test for everything that reads the Documents folder, so that no other test of this tier
// sees it while it is pointed elsewhere.
TEST(Win32SystemTest, DocumentFoldersAMissingOneCreatedOnRequestAndAnUnknownFolder) {
  Win32System system;
  std::wstring folder;
  ASSERT_EQ(system.GetSpecialFolder(csidl::Personal, folder), 0u);
  EXPECT_TRUE(EndsWithNoCase(folder, L"\\Documents")) << ToUtf8(folder);
  const std::wstring realDocuments = folder;
  ASSERT_EQ(system.GetSpecialFolder(csidl::CommonDocuments, folder), 0u);
  EXPECT_TRUE(EqualsNoCase(folder, L"C:\\users\\Public\\Documents")) << ToUtf8(folder);
  EXPECT_EQ(system.GetSpecialFolder(0x7F, folder), err::PathNotFound);
  EXPECT_EQ(system.GetSpecialFolder(0x7F | csidl::FlagCreate, folder), err::PathNotFound);

  // A Documents folder that does not exist, two levels below the temporary folder.
  wchar_t temp[MAX_PATH + 1] = {};
  ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
  const std::wstring parent =
      std::wstring(temp) + L"tessaly-documents-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring missing = parent + L"\\Documents";
  ASSERT_EQ(GetFileAttributesW(parent.c_str()), INVALID_FILE_ATTRIBUTES);
  {
    DocumentsRedirect redirect(missing);
    folder.clear();
    const ErrorCode unverified = system.GetSpecialFolder(csidl::Personal, folder);
    if (unverified == 0 && EqualsNoCase(folder, realDocuments)) {
      GTEST_SKIP() << "the shell does not follow a changed Documents folder in a running process";
    }
    EXPECT_EQ(unverified, err::PathNotFound) << ToUtf8(folder);
    EXPECT_EQ(GetFileAttributesW(parent.c_str()), INVALID_FILE_ATTRIBUTES);

    ASSERT_EQ(system.GetSpecialFolder(csidl::Personal | csidl::FlagCreate, folder), 0u);
    EXPECT_TRUE(EqualsNoCase(folder, missing)) << ToUtf8(folder);
    const DWORD attributes = GetFileAttributesW(missing.c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  }
  RemoveDirectoryW(missing.c_str());
  RemoveDirectoryW(parent.c_str());
  ASSERT_EQ(system.GetSpecialFolder(csidl::Personal, folder), 0u);
  EXPECT_TRUE(EqualsNoCase(folder, realDocuments)) << ToUtf8(folder);
}

TEST(Win32SystemTest, EnvironmentValuesUnsetEmptyAndLong) {
  Win32System system;
  std::wstring value = L"unchanged";
  EXPECT_EQ(system.GetEnvironmentVariable(L"TESSALY_NEVER_SET", value), err::EnvVarNotFound);

  ASSERT_TRUE(SetEnvironmentVariableW(L"TESSALY_EMPTY", L""));
  EXPECT_EQ(system.GetEnvironmentVariable(L"TESSALY_EMPTY", value), 0u);
  EXPECT_EQ(value, L"");

  std::wstring longValue;
  for (int i = 0; i < 600; ++i) longValue += L"C:\\long\\";  // 4800 characters
  ASSERT_TRUE(SetEnvironmentVariableW(L"TESSALY_LONG", longValue.c_str()));
  EXPECT_EQ(system.GetEnvironmentVariable(L"TESSALY_LONG", value), 0u);
  EXPECT_EQ(value, longValue);

  SetEnvironmentVariableW(L"TESSALY_EMPTY", nullptr);
  SetEnvironmentVariableW(L"TESSALY_LONG", nullptr);
}

TEST(Win32SystemTest, FormatDateGivesTheShortDateOfTheSystemLocale) {
  if (GetSystemDefaultLCID() != 0x409) {
    GTEST_SKIP() << "dates are checked in the en-US short format only";
  }
  Win32System system;
  struct Case {
    FileTime utcNoon;
    const wchar_t* expected;
  };
  // The UTC date is shown, without conversion to local time: 23:30 UTC stays on its day.
  for (const Case& c :
       {Case{133541136000000000ull, L"3/5/2024"}, Case{133541550000000000ull, L"3/5/2024"},
        Case{133479792000000000ull, L"12/25/2023"}, Case{125912016000000000ull, L"1/1/2000"}}) {
    EXPECT_EQ(system.FormatDate(c.utcNoon), c.expected);
  }
}

}  // namespace
}  // namespace tessaly
