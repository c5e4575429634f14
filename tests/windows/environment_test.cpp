// The Windows tier runs on a 64-bit Windows (or Wine) prefix, as the user's program does on most
// machines: the 32-bit build under WOW64, the 64-bit build (for machines that cannot run 32-bit
// code) natively. Either way as an unprivileged user, so that read-only files hold.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(WindowsEnvironmentTest, RunsOn64BitWindowsWithBothRegistryViews) {
  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_EQ(wow64 != FALSE, sizeof(void*) == 4)
      << "a 32-bit test program runs under WOW64, a 64-bit one natively";
  HKEY node = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node", 0,
                          KEY_READ | KEY_WOW64_64KEY, &node),
            ERROR_SUCCESS)
      << "the Wine prefix must be 64-bit, so both registry views exist";
  RegCloseKey(node);
}

}  // namespace
