// WOW64 query and redirection scope, privileges, directory symbolic links and the version test.
// Functions that older Windows lacks are looked up at run time, so the program still starts there.
#include "platform/win32/wow64_win32.h"

#include "platform/win32/wine_host.h"

namespace tessaly {
namespace {

// The last error of a failed call; `fallback` if the system set none, so a failure never reads
// as success.
DWORD LastErrorOr(DWORD fallback) {
  const DWORD e = GetLastError();
  return e != ERROR_SUCCESS ? e : fallback;
}

class LoadedLibrary {
 public:
  explicit LoadedLibrary(const wchar_t* name) : module(LoadLibraryW(name)) {}
  ~LoadedLibrary() {
    if (module) FreeLibrary(module);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  HMODULE get() const { return module; }

 private:
  HMODULE module;
};

class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE h) : handle(h) {}
  ~OwnedHandle() {
    if (handle) CloseHandle(handle);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

 private:
  HANDLE handle;
};

constexpr wchar_t kSymbolicLinkPrivilege[] = L"SeCreateSymbolicLinkPrivilege";
constexpr DWORD kSymbolicLinkFlagDirectory = 1;

}  // namespace

bool IsWow64(bool* out) {
  using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
  bool result = false;
  if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
    auto query = reinterpret_cast<IsWow64ProcessFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
    BOOL wow64 = FALSE;
    if (query && query(GetCurrentProcess(), &wow64)) result = wow64 != FALSE;
  }
  if (out) *out = result;
  return result;
}

bool Is64BitWindows() {
#ifdef _WIN64
  return true;
#else
  return IsWow64();
#endif
}

CDisableFileRedirection::CDisableFileRedirection() {
  onWow64 = IsWow64();
  if (!onWow64) return;
  systemLibrary = LoadLibraryW(L"Kernel32.dll");
  if (!systemLibrary) return;
  disableFunction = reinterpret_cast<DisableFunction>(
      reinterpret_cast<void*>(GetProcAddress(systemLibrary, "Wow64DisableWow64FsRedirection")));
  revertFunction = reinterpret_cast<RevertFunction>(
      reinterpret_cast<void*>(GetProcAddress(systemLibrary, "Wow64RevertWow64FsRedirection")));
  if (!disableFunction || !revertFunction) return;
  disabled = disableFunction(&oldValue) != FALSE;
}

CDisableFileRedirection::~CDisableFileRedirection() {
  if (disabled) revertFunction(oldValue);
  if (systemLibrary) FreeLibrary(systemLibrary);
}

DWORD SetPrivilege(HANDLE token, const wchar_t* name, bool enable) {
  TOKEN_PRIVILEGES privileges = {};
  if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) {
    return LastErrorOr(ERROR_NO_SUCH_PRIVILEGE);
  }
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  // AdjustTokenPrivileges succeeds when the token lacks the privilege and says so only through
  // the last error (1300), so the last error is the result. Wine leaves it untouched on full
  // success, hence the reset.
  SetLastError(ERROR_SUCCESS);
  AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  return GetLastError();
}

namespace {

// The system's own directory symbolic link, judged by what is on disk afterwards: a call that
// reports success but left no link gives 4390.
DWORD SystemFolderLink(const wchar_t* link, const wchar_t* target) {
  using CreateSymbolicLinkFunction = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
  LoadedLibrary kernel(L"Kernel32.dll");
  if (!kernel.get()) return LastErrorOr(ERROR_MOD_NOT_FOUND);
  auto createLink = reinterpret_cast<CreateSymbolicLinkFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel.get(), "CreateSymbolicLinkW")));
  if (!createLink) return LastErrorOr(ERROR_PROC_NOT_FOUND);

  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) {
    return LastErrorOr(ERROR_ACCESS_DENIED);
  }
  OwnedHandle tokenHolder(token);

  if (DWORD e = SetPrivilege(token, kSymbolicLinkPrivilege, true)) return e;
  if (!createLink(link, target, kSymbolicLinkFlagDirectory)) return LastErrorOr(ERROR_GEN_FAILURE);

  // Wine's CreateSymbolicLinkW returns TRUE and creates nothing: only a link that is there
  // counts as success.
  const DWORD attributes = GetFileAttributesW(link);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return ERROR_NOT_A_REPARSE_POINT;
  }
  SetPrivilege(token, kSymbolicLinkPrivilege, false);
  return ERROR_SUCCESS;
}

}  // namespace

DWORD CreateFolderLink(const wchar_t* link, const wchar_t* target) {
  if (!link || !target) return ERROR_INVALID_PARAMETER;
  // Windows refuses an existing link path with 183. Checking first keeps that answer on systems
  // whose CreateSymbolicLinkW reports success without doing anything.
  if (GetFileAttributesW(link) != INVALID_FILE_ATTRIBUTES) return ERROR_ALREADY_EXISTS;

  const DWORD made = SystemFolderLink(link, target);
  if (made == ERROR_SUCCESS || !wine::RunsUnderWine()) return made;
  // Wine makes no folder links (it knows no symbolic-link privilege either, 1313): the host makes
  // one, which programs in the prefix follow and list as a directory reparse point.
  return wine::MakeHostFolderLink(link, target);
}

bool IsVistaOrLater() {
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  version.dwMajorVersion = 6;
  version.dwMinorVersion = 0;
  version.wServicePackMajor = 0;
  DWORDLONG condition = 0;
  condition = VerSetConditionMask(condition, VER_MAJORVERSION, VER_GREATER_EQUAL);
  condition = VerSetConditionMask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
  condition = VerSetConditionMask(condition, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                            condition) != FALSE;
}

}  // namespace tessaly
