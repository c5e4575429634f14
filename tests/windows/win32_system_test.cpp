// The Win32 system backend on a 64-bit system: the environment and special folders that a 32-bit
// process sees, empty and long environment values, and the system locale's short date.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_system.h"

namespace tessaly {
namespace {

TEST(Win32SystemTest, ProgramFoldersAsA32BitProcessSeesThem) {
  Win32System system;
  struct Case { const wchar_t* variable; const wchar_t* expected; };
  for (const Case& c : {Case{L"ProgramFiles", L"C:\\Program Files (x86)"},
                        Case{L"CommonProgramFiles", L"C:\\Program Files (x86)\\Common Files"},
                        Case{L"ProgramW6432", L"C:\\Program Files"},
                        Case{L"CommonProgramW6432", L"C:\\Program Files\\Common Files"}}) {
    std::wstring value;
    EXPECT_EQ(system.GetEnvironmentVariable(c.variable, value), 0u) << ToUtf8(c.variable);
    EXPECT_TRUE(EqualsNoCase(value, c.expected)) << ToUtf8(c.variable) << " = " << ToUtf8(value);
  }

  struct Folder { int csidlValue; const wchar_t* sameAsVariable; };
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

TEST(Win32SystemTest, DocumentFoldersAndAnUnknownFolder) {
  Win32System system;
  std::wstring folder;
  ASSERT_EQ(system.GetSpecialFolder(csidl::Personal, folder), 0u);
  EXPECT_TRUE(EndsWithNoCase(folder, L"\\Documents")) << ToUtf8(folder);
  ASSERT_EQ(system.GetSpecialFolder(csidl::CommonDocuments, folder), 0u);
  EXPECT_TRUE(EqualsNoCase(folder, L"C:\\users\\Public\\Documents")) << ToUtf8(folder);
  EXPECT_EQ(system.GetSpecialFolder(0x7F, folder), err::PathNotFound);
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
  struct Case { FileTime utcNoon; const wchar_t* expected; };
  // The UTC date is shown, without conversion to local time: 23:30 UTC stays on its day.
  for (const Case& c : {Case{133541136000000000ull, L"3/5/2024"},
                        Case{133541550000000000ull, L"3/5/2024"},
                        Case{133479792000000000ull, L"12/25/2023"},
                        Case{125912016000000000ull, L"1/1/2000"}}) {
    EXPECT_EQ(system.FormatDate(c.utcNoon), c.expected);
  }
}

}  // namespace
}  // namespace tessaly
