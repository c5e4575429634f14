// The 32-bit Tessaly.exe that the 32-bit setup ships, started by this 64-bit test program on a
// machine that runs 32-bit code only through user-mode emulation (scripts/emulated-start.sh): it
// reaches its Start page, its About box names its version and its edition, and it ends with exit
// code 0 when the Start page is cancelled.
// Environment: TESSALY_PROGRAM32 (the 32-bit Tessaly.exe, FileDatabase.xml beside it),
// TESSALY_ARTIFACTS (where the screenshots go).
#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"
#include "resources/resource.h"
#include "resources/version.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/page_titles.h"

namespace tessaly::e2e {
namespace {

// Every 32-bit instruction is translated: the first start of Wine's 32-bit side in a prefix takes
// about a minute, and each window answers slowly.
constexpr Milliseconds kEmulatedStart{600000};
constexpr Milliseconds kEmulatedStep{120000};

// The PE header's machine field: the program under test must be the 32-bit one.
WORD MachineOf(const std::wstring& exe) {
  HANDLE file =
      CreateFileW(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  IMAGE_DOS_HEADER dos{};
  IMAGE_FILE_HEADER header{};
  DWORD read = 0;
  DWORD signature = 0;
  WORD machine = 0;
  if (ReadFile(file, &dos, sizeof dos, &read, nullptr) && read == sizeof dos &&
      SetFilePointer(file, dos.e_lfanew, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
      ReadFile(file, &signature, sizeof signature, &read, nullptr) &&
      signature == IMAGE_NT_SIGNATURE && ReadFile(file, &header, sizeof header, &read, nullptr) &&
      read == sizeof header) {
    machine = header.Machine;
  }
  CloseHandle(file);
  return machine;
}

TEST(EmulatedStartTest, The32BitProgramReachesItsStartPageShowsItsVersionAndEndsWithZero) {
  const std::wstring program = PathFromEnvironment(L"TESSALY_PROGRAM32");
  ASSERT_EQ(MachineOf(program), IMAGE_FILE_MACHINE_I386)
      << "not a 32-bit program: " << ToUtf8(program);
  const std::wstring folder = program.substr(0, program.find_last_of(L'\\'));

  ProgramRun run;
  ASSERT_EQ(run.Start(program, {}, folder), 0u);
  HWND start = FindPage(run, kStartTitle, kEmulatedStart);
  ASSERT_NE(start, nullptr) << "no Start page";
  SaveScreenshot(L"emulated-32-bit-start-page");

  ASSERT_TRUE(SysCommand(start, 0x10));
  HWND about = FindPage(run, kAboutTitle, kEmulatedStep);
  ASSERT_NE(about, nullptr) << "no About box";
  EXPECT_EQ(Text(about, IDC_ABOUT_VERSION),
            L"Tessaly version " + FromUtf8(TESSALY_VERSION_TEXT) + L" Free");
  EXPECT_EQ(Text(about, IDC_ABOUT_EDITION), std::optional<std::wstring>(L"32-bit edition (x86)"));
  SaveScreenshot(L"emulated-32-bit-about");
  ASSERT_TRUE(Click(about, IDOK));
  ASSERT_TRUE(WaitForClose(about, kEmulatedStep));

  ASSERT_TRUE(Click(start, IDCANCEL));
  EXPECT_EQ(run.WaitForExit(kEmulatedStep), std::optional<uint32_t>(0));
}

}  // namespace
}  // namespace tessaly::e2e
