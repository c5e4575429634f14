// WOW64 and privileges on the real system: a 32-bit process runs under WOW64 and a 64-bit one
// does not, both know Windows is 64-bit, the redirection scope shows the 64-bit system32 to a
// 32-bit process and gives it back (and does nothing in a 64-bit process), privileges are enabled
// one at a time, and folder links are made only where the system can make them.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/wine_host.h"
#include "platform/win32/wow64_win32.h"
#include "tests/support/backends.h"
#include "tests/windows/system_dlls.h"

namespace tessaly::testing {
namespace {

constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;
// What system32 holds as this process sees it without the scope: a 32-bit process is redirected
// to SysWOW64, a 64-bit one never.
constexpr uint16_t kRedirectedMachine = k32BitProcess ? kMachineI386 : kMachineAmd64;

// IMAGE_FILE_HEADER.Machine of a PE file, read by hand; 0 if unreadable.
uint16_t MachineOf(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  uint8_t header[4096] = {};
  DWORD got = 0;
  ::ReadFile(file, header, sizeof header, &got, nullptr);
  CloseHandle(file);
  if (got < 0x40 || header[0] != 'M' || header[1] != 'Z') return 0;
  const uint32_t peOffset =
      header[0x3C] | header[0x3D] << 8 | header[0x3E] << 16 | uint32_t(header[0x3F]) << 24;
  if (peOffset > got - 6 || header[peOffset] != 'P' || header[peOffset + 1] != 'E') return 0;
  return uint16_t(header[peOffset + 4] | header[peOffset + 5] << 8);
}

std::wstring SystemKernel() {
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  return std::wstring(windows) + L"\\system32\\kernel32.dll";
}

TEST(Wow64Test, WindowsIs64BitWhateverTheProcessBitness) {
  bool out = !k32BitProcess;
  EXPECT_EQ(IsWow64(&out), k32BitProcess);
  EXPECT_EQ(out, k32BitProcess);
  EXPECT_TRUE(Is64BitWindows());
  EXPECT_TRUE(Win32System().Is64BitWindows());
}

TEST(Wow64Test, IsVistaOrLaterAgreesWithTheReportedVersion) {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(GetVersionExW(&version));
  EXPECT_EQ(IsVistaOrLater(), version.dwMajorVersion >= 6);
  EXPECT_EQ(Win32System().IsVistaOrLater(), version.dwMajorVersion >= 6);
}

// Both ways of making the scope: the class itself and the System interface.
struct ScopeMaker {
  const char* name;
  std::function<std::shared_ptr<void>()> make;
};

class RedirectionScopeTest : public ::testing::TestWithParam<ScopeMaker> {};

TEST_P(RedirectionScopeTest, ShowsThe64BitSystemFolderOnlyWhileAlive) {
  const std::wstring kernel = SystemKernel();
  ASSERT_EQ(MachineOf(kernel), kRedirectedMachine) << "a 32-bit process sees SysWOW64 as system32";
  {
    auto outer = GetParam().make();
    EXPECT_EQ(MachineOf(kernel), kMachineAmd64);
    {
      auto inner = GetParam().make();  // nested: restores "off", not "on"
      EXPECT_EQ(MachineOf(kernel), kMachineAmd64);
    }
    EXPECT_EQ(MachineOf(kernel), kMachineAmd64);
  }
  EXPECT_EQ(MachineOf(kernel), kRedirectedMachine);
}

INSTANTIATE_TEST_SUITE_P(
    Win32, RedirectionScopeTest,
    ::testing::Values(
        ScopeMaker{"CDisableFileRedirection",
                   [] {
                     auto scope = std::make_shared<CDisableFileRedirection>();
                     // Nothing to disable in a 64-bit process.
                     EXPECT_EQ(scope->IsDisabled(), k32BitProcess);
                     return std::shared_ptr<void>(scope);
                   }},
        ScopeMaker{"System",
                   [] { return std::shared_ptr<void>(Win32System().DisableFileRedirection()); }}),
    [](const auto& info) { return std::string(info.param.name); });

DWORD WINAPI ReadMachineOnThread(void* out) {
  *static_cast<uint16_t*>(out) = MachineOf(SystemKernel());
  return 0;
}

TEST(RedirectionTest, ReachesOnlyTheThreadThatMadeTheScope) {
  if (!k32BitProcess) GTEST_SKIP() << "a 64-bit process is never redirected";
  CDisableFileRedirection scope;
  ASSERT_EQ(MachineOf(SystemKernel()), kMachineAmd64);
  uint16_t seenByOtherThread = 0;
  HANDLE thread = CreateThread(nullptr, 0, &ReadMachineOnThread, &seenByOtherThread, 0, nullptr);
  ASSERT_TRUE(thread);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(seenByOtherThread, kMachineI386);
}

// The token of this process, and the attributes of one of its privileges.
class PrivilegeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  }
  void TearDown() override {
    if (token) CloseHandle(token);
  }

  // The privilege's attributes, or nothing if the token does not hold it.
  std::optional<DWORD> Attributes(const wchar_t* name) {
    LUID luid;
    if (!LookupPrivilegeValueW(nullptr, name, &luid)) return std::nullopt;
    DWORD size = 0;
    GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::vector<uint8_t> buffer(size);
    if (!GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
      return std::nullopt;
    }
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
      const LUID& held = privileges->Privileges[i].Luid;
      if (held.LowPart == luid.LowPart && held.HighPart == luid.HighPart) {
        return privileges->Privileges[i].Attributes;
      }
    }
    return std::nullopt;
  }

  // The first of `names` that the token holds (`held`) or lacks.
  const wchar_t* Find(std::initializer_list<const wchar_t*> names, bool held) {
    for (const wchar_t* name : names) {
      if (Attributes(name).has_value() == held) return name;
    }
    return nullptr;
  }

  HANDLE token = nullptr;
};

TEST_F(PrivilegeTest, EnablesAndDisablesExactlyTheNamedPrivilege) {
  const wchar_t* lacking = Find({L"SeTcbPrivilege", L"SeCreateTokenPrivilege",
                                 L"SeAssignPrimaryTokenPrivilege", L"SeRelabelPrivilege"},
                                false);
  const wchar_t* held = Find({L"SeShutdownPrivilege", L"SeBackupPrivilege",
                              L"SeIncreaseQuotaPrivilege", L"SeTimeZonePrivilege"},
                             true);
  ASSERT_TRUE(lacking && held);
  const DWORD heldBefore = *Attributes(held);
  const auto changeNotify = Attributes(L"SeChangeNotifyPrivilege");
  ASSERT_TRUE(changeNotify && (*changeNotify & SE_PRIVILEGE_ENABLED)) << "every token has it";

  EXPECT_EQ(SetPrivilege(token, lacking, true), err::NotAllAssigned);
  EXPECT_FALSE(Attributes(lacking).has_value());
  // A success right after a failure must not report the failure's error again.
  EXPECT_EQ(SetPrivilege(token, held, true), 0u);
  EXPECT_TRUE(*Attributes(held) & SE_PRIVILEGE_ENABLED);
  EXPECT_EQ(SetPrivilege(token, held, false), 0u);
  EXPECT_FALSE(*Attributes(held) & SE_PRIVILEGE_ENABLED);
  EXPECT_TRUE(*Attributes(L"SeChangeNotifyPrivilege") & SE_PRIVILEGE_ENABLED)
      << "changing one privilege leaves the others alone";
  EXPECT_EQ(SetPrivilege(token, L"SeNoSuchPrivilege", true), err::NoSuchPrivilege);

  SetPrivilege(token, held, (heldBefore & SE_PRIVILEGE_ENABLED) != 0);
}

class FolderLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { harness = Win32FileSystemBackends().front().make(); }
  std::wstring Scratch(const wchar_t* name) const { return harness->scratch + L"\\" + name; }
  static DWORD AttributesOf(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }
  std::unique_ptr<FileSystemHarness> harness;
};

TEST_F(FolderLinkTest, AnExistingPathFailsWith183AndIsLeftAsItWas) {
  const std::wstring folder = Scratch(L"folder");
  const std::wstring file = Scratch(L"file.txt");
  const std::wstring target = Scratch(L"target");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const uint8_t byte = 'x';
  ASSERT_EQ(harness->fs().WriteFile(folder + L"\\inside.txt", &byte, 1), 0u);
  ASSERT_EQ(harness->fs().WriteFile(file, &byte, 1), 0u);

  for (const std::wstring& existing : {folder, file}) {
    SCOPED_TRACE(ToUtf8(existing));
    const DWORD before = AttributesOf(existing);
    EXPECT_EQ(CreateFolderLink(existing.c_str(), target.c_str()), err::AlreadyExists);
    EXPECT_EQ(AttributesOf(existing), before);
    EXPECT_EQ(AttributesOf(target), INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_NE(AttributesOf(folder + L"\\inside.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(CreateFolderLink(nullptr, target.c_str()), err::InvalidParameter);
}

TEST_F(FolderLinkTest, MakesADirectoryLinkOrReportsThatItCannot) {
  const std::wstring target = Scratch(L"target");
  const std::wstring link = Scratch(L"link");
  ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
  const uint8_t byte = 'x';
  ASSERT_EQ(harness->fs().WriteFile(target + L"\\inside.txt", &byte, 1), 0u);

  const DWORD result = CreateFolderLink(link.c_str(), target.c_str());
  if (!harness->noFolderLinks.empty()) {
    EXPECT_NE(result, 0u) << "a link that was not made must not be reported as made";
    EXPECT_EQ(AttributesOf(link), INVALID_FILE_ATTRIBUTES);
    GTEST_SKIP() << harness->noFolderLinks << " (CreateFolderLink gave " << result << ")";
  }
  ASSERT_EQ(result, 0u);
  EXPECT_EQ(AttributesOf(link) & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
            DWORD(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
  EXPECT_NE(AttributesOf(link + L"\\inside.txt"), INVALID_FILE_ATTRIBUTES);
  FindData entry;
  ASSERT_EQ(harness->fs().FindFiles(link,
                                    [&](const FindData& e) {
                                      entry = e;
                                      return false;
                                    }),
            0u);
  std::wstring place;
  ASSERT_EQ(harness->fs().GetFinalPath(link, place), 0u);
  EXPECT_TRUE(EqualsNoCase(place, target)) << ToUtf8(place);
  // A file written through the link lands in the target.
  ASSERT_EQ(harness->fs().WriteFile(link + L"\\through.txt", &byte, 1), 0u);
  EXPECT_NE(AttributesOf(target + L"\\through.txt"), INVALID_FILE_ATTRIBUTES);

  // Under Wine a host link, listed without a tag; the backend names it as Windows does.
  EXPECT_EQ(entry.reparseTag, kReparseTagSymlink);
  if (wine::RunsUnderWine()) {
    // Wine lists no link whose target is missing, so none is made.
    const std::wstring dangling = Scratch(L"dangling");
    EXPECT_EQ(CreateFolderLink(dangling.c_str(), Scratch(L"missing").c_str()), err::PathNotFound);
    EXPECT_EQ(AttributesOf(dangling), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(wine::IsHostLink(dangling));
    return;
  }
  // The target need not exist.
  const std::wstring dangling = Scratch(L"dangling");
  EXPECT_EQ(CreateFolderLink(dangling.c_str(), Scratch(L"missing").c_str()), 0u);
  EXPECT_NE(AttributesOf(dangling), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace tessaly::testing
