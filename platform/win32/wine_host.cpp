// Wine detection, host paths and the host commands that make and remove folder links under Wine.
#include "platform/win32/wine_host.h"

#include <atomic>

#include "platform/win32/win32_api.h"

namespace tessaly::wine {
namespace {

// Wine's code page of host file names and command lines (CP_UNIXCP): what wine_get_unix_file_name
// returns and what Wine converts a host program's command line into.
constexpr UINT kHostCodePage = 65010;

constexpr DWORD kFolderLink = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;

template <class Function>
Function KernelExport(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)))
                : nullptr;
}

std::wstring Widen(const char* text) {
  const int length = MultiByteToWideChar(kHostCodePage, 0, text, -1, nullptr, 0);
  if (length <= 1) return {};
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(kHostCodePage, 0, text, -1, wide.data(), length);
  wide.resize(static_cast<size_t>(length) - 1);
  return wide;
}

std::string Narrow(std::wstring_view text) {
  const std::wstring copy(text);
  const int length =
      WideCharToMultiByte(kHostCodePage, 0, copy.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(kHostCodePage, 0, copy.c_str(), -1, narrow.data(), length, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(length) - 1);
  return narrow;
}

// `path` without trailing backslashes, a drive root ("C:\") kept whole.
std::wstring WithoutTrailingBackslash(std::wstring_view path) {
  std::wstring p(path);
  while (p.size() > 3 && (p.back() == L'\\' || p.back() == L'/')) p.pop_back();
  return p;
}

DWORD AttributesOf(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

bool IsFolderLink(const std::wstring& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kFolderLink) == kFolderLink;
}

// The folder that holds `path`, or empty for a root or a bare name.
std::wstring ParentOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos || slash + 1 >= path.size()) return {};
  std::wstring parent = path.substr(0, slash);
  if (parent.size() == 2 && parent[1] == L':') parent += L'\\';
  return parent;
}

bool ReadStatus(const std::wstring& path, int& status) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char text[32] = {};
  DWORD got = 0;
  const BOOL read = ::ReadFile(file, text, sizeof text - 1, &got, nullptr);
  CloseHandle(file);
  if (!read || got == 0 || text[0] < '0' || text[0] > '9') return false;
  status = 0;
  for (DWORD i = 0; i < got && text[i] >= '0' && text[i] <= '9'; ++i) {
    status = status * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

bool RunsUnderWine() {
  static const bool underWine = [] {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return underWine;
}

bool ToHostPath(std::wstring_view windowsPath, std::wstring& hostPath) {
  using ToUnixFunction = char*(CDECL*)(LPCWSTR);
  static const auto toUnix = KernelExport<ToUnixFunction>("wine_get_unix_file_name");
  hostPath.clear();
  if (!toUnix || windowsPath.empty()) return false;
  const std::wstring path = WithoutTrailingBackslash(windowsPath);
  if (char* unixName = toUnix(path.c_str())) {
    hostPath = Widen(unixName);
    HeapFree(GetProcessHeap(), 0, unixName);
    return !hostPath.empty();
  }
  // Wine maps a name whose folder exists; deeper missing folders are appended as spelt.
  const std::wstring parent = ParentOf(path);
  if (parent.empty() || parent == path || !ToHostPath(parent, hostPath)) return false;
  if (hostPath.back() != L'/') hostPath += L'/';
  hostPath += path.substr(path.find_last_of(L"\\/") + 1);
  return true;
}

bool ToWindowsPath(std::wstring_view hostPath, std::wstring& windowsPath) {
  using ToDosFunction = WCHAR*(CDECL*)(LPCSTR);
  static const auto toDos = KernelExport<ToDosFunction>("wine_get_dos_file_name");
  windowsPath.clear();
  if (!toDos || hostPath.empty()) return false;
  WCHAR* dosName = toDos(Narrow(hostPath).c_str());
  if (!dosName) return false;
  windowsPath = dosName;
  HeapFree(GetProcessHeap(), 0, dosName);
  return !windowsPath.empty();
}

std::wstring QuoteArgument(std::wstring_view argument) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      // Backslashes before a quote are doubled, and one more makes the quote a plain character.
      quoted.append(2 * backslashes + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    backslashes = 0;
    quoted.push_back(c);
  }
  // Backslashes before the closing quote are doubled, or they would escape it.
  quoted.append(2 * backslashes, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

ErrorCode RunHostScript(std::wstring_view script, const std::vector<std::wstring>& arguments,
                        int& status, unsigned timeoutMs) {
  status = -1;
  if (!RunsUnderWine()) return err::NotSupported;
  std::wstring shell;
  if (!ToWindowsPath(L"/bin/sh", shell)) return err::FileNotFound;

  static std::atomic<unsigned> counter{0};
  wchar_t temp[MAX_PATH + 1] = L"";
  const DWORD tempLength = GetTempPathW(MAX_PATH + 1, temp);
  if (tempLength == 0 || tempLength > MAX_PATH) return err::PathNotFound;
  const std::wstring statusFile = std::wstring(temp) + L"tessaly-host-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(++counter) + L".status";
  DeleteFileW(statusFile.c_str());
  DeleteFileW((statusFile + L".part").c_str());
  std::wstring hostStatusFile;
  if (!ToHostPath(statusFile, hostStatusFile)) return err::PathNotFound;

  // The status is written under a second name and renamed, so that a status file that is there
  // is whole. The script's own output goes nowhere: nothing waits to read it.
  const std::wstring wrapper =
      L"PATH=/usr/bin:/bin; export PATH; s=$1; shift; (" + std::wstring(script) +
      L") </dev/null >/dev/null 2>&1; echo $? > \"$s.part\" && mv -f -- \"$s.part\" \"$s\"";
  std::wstring commandLine =
      L"sh -c " + QuoteArgument(wrapper) + L" sh " + QuoteArgument(hostStatusFile);
  for (const std::wstring& argument : arguments) commandLine += L" " + QuoteArgument(argument);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(shell.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &process)) {
    const DWORD e = GetLastError();
    return e != ERROR_SUCCESS ? e : err::GenFailure;
  }
  // Wine starts a host program detached and hands back no handles (its thread handle field is
  // not even set); a Windows process, were one started, is waited for as usual.
  if (process.hProcess) {
    WaitForSingleObject(process.hProcess, timeoutMs);
    CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
  }
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  DWORD pause = 1;
  while (AttributesOf(statusFile) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount64() >= deadline) {
      DeleteFileW((statusFile + L".part").c_str());
      return ERROR_TIMEOUT;
    }
    Sleep(pause);
    if (pause < 16) pause *= 2;
  }
  const bool read = ReadStatus(statusFile, status);
  DeleteFileW(statusFile.c_str());
  return read ? err::Success : err::GenFailure;
}

ErrorCode MakeHostFolderLink(std::wstring_view link, std::wstring_view target) {
  const std::wstring linkPath = WithoutTrailingBackslash(link);
  const std::wstring targetPath = WithoutTrailingBackslash(target);
  if (AttributesOf(linkPath) != INVALID_FILE_ATTRIBUTES) return err::AlreadyExists;
  const std::wstring parent = ParentOf(linkPath);
  const DWORD parentAttributes = parent.empty() ? INVALID_FILE_ATTRIBUTES : AttributesOf(parent);
  if (parentAttributes == INVALID_FILE_ATTRIBUTES ||
      !(parentAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return err::PathNotFound;
  }
  // Wine lists no link whose target is missing, so no Windows program could see or remove it.
  const DWORD targetAttributes = AttributesOf(targetPath);
  if (targetAttributes == INVALID_FILE_ATTRIBUTES ||
      !(targetAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return err::PathNotFound;
  }
  std::wstring hostLink, hostTarget;
  if (!ToHostPath(linkPath, hostLink) || !ToHostPath(targetPath, hostTarget)) {
    return err::PathNotFound;
  }
  int status = -1;
  // -n: a name that became a link to a folder meanwhile is not entered, so the link is made at
  // `link` itself or not at all.
  const ErrorCode ran = RunHostScript(L"ln -s -n -- \"$1\" \"$2\"", {hostTarget, hostLink}, status);
  // What is on disk decides, whatever the command said.
  if (IsFolderLink(linkPath)) return err::Success;
  if (ran != err::Success) return ran;
  if (status != 0) return IsHostLink(linkPath) ? err::AlreadyExists : ERROR_CANNOT_MAKE;
  // Made, yet not seen as a folder link: it would mislead, so it goes again (the answer is the
  // failure to make it, whatever the removal says).
  (void)RemoveHostLink(linkPath);
  return err::NotAReparsePoint;
}

ErrorCode RemoveHostLink(std::wstring_view path) {
  std::wstring hostPath;
  if (!ToHostPath(path, hostPath)) return err::NotAReparsePoint;
  int status = -1;
  // Exit 3: no link there, and nothing is touched. `rm` on a name that is a symbolic link removes
  // the link; the test before it keeps a folder that replaced the link in the meantime out of
  // reach (rm without -r never removes a folder anyway).
  const ErrorCode ran = RunHostScript(
      L"[ -L \"$1\" ] || exit 3; rm -f -- \"$1\"; [ ! -L \"$1\" ] || exit 4", {hostPath}, status);
  if (ran != err::Success) return ran;
  if (status == 0) return err::Success;
  return status == 3 ? err::NotAReparsePoint : err::AccessDenied;
}

bool IsHostLink(std::wstring_view path) {
  std::wstring hostPath;
  if (!ToHostPath(path, hostPath)) return false;
  int status = -1;
  return RunHostScript(L"[ -L \"$1\" ]", {hostPath}, status) == err::Success && status == 0;
}

}  // namespace tessaly::wine
