// The Windows tier runs as a 32-bit process on a 64-bit Windows (or Wine) prefix, as the user's
// program does on most machines, and as an unprivileged user so that read-only files hold.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(WindowsEnvironmentTest, Runs32BitUnderWow64) {
  static_assert(sizeof(void*) == 4, "the program and its tests are 32-bit");
  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_TRUE(wow64) << "the Wine prefix must be 64-bit, so both registry views exist";
}

}  // namespace
