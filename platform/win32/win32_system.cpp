// Win32System: thin calls into kernel32 and shell32, and the redirection scope as an object.
#include "platform/win32/win32_system.h"

#include "platform/win32/win32_api.h"
#include "platform/win32/wow64_win32.h"

#include <shlobj.h>

namespace tessaly {
namespace {

// The CSIDL values reach the shell unchanged, creation flag included.
static_assert(csidl::Personal == CSIDL_PERSONAL && csidl::AppData == CSIDL_APPDATA &&
              csidl::ProgramFiles == CSIDL_PROGRAM_FILES &&
              csidl::ProgramFilesX86 == CSIDL_PROGRAM_FILESX86 &&
              csidl::ProgramFilesCommon == CSIDL_PROGRAM_FILES_COMMON &&
              csidl::ProgramFilesCommonX86 == CSIDL_PROGRAM_FILES_COMMONX86 &&
              csidl::CommonDocuments == CSIDL_COMMON_DOCUMENTS &&
              csidl::FlagCreate == CSIDL_FLAG_CREATE);

class Win32RedirectionScope : public RedirectionScope {
  CDisableFileRedirection scope;
};

}  // namespace

bool Win32System::Is64BitWindows() { return tessaly::Is64BitWindows(); }

bool Win32System::IsVistaOrLater() { return tessaly::IsVistaOrLater(); }

ErrorCode Win32System::GetEnvironmentVariable(std::wstring_view name, std::wstring& out) {
  const std::wstring variable(name);
  std::wstring buffer;
  DWORD capacity = 0;
  // The value may change between asking for its size and reading it: read until it fits.
  for (;;) {
    // A set but empty variable also returns 0, with no error.
    SetLastError(ERROR_SUCCESS);
    const DWORD n =
        GetEnvironmentVariableW(variable.c_str(), capacity ? buffer.data() : nullptr, capacity);
    if (n == 0) {
      const DWORD e = GetLastError();
      if (e != ERROR_SUCCESS) return static_cast<ErrorCode>(e);
      out.clear();
      return err::Success;
    }
    if (n < capacity) {
      out.assign(buffer.data(), n);
      return err::Success;
    }
    capacity = n + 1;
    buffer.assign(capacity, L'\0');
  }
}

ErrorCode Win32System::GetSpecialFolder(int csidlValue, std::wstring& out) {
  // The shell verifies that the folder exists; with CSIDL_FLAG_CREATE it creates a missing one
  // (and its parents) instead of failing.
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidlValue, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    return err::PathNotFound;
  }
  out = folder;
  return err::Success;
}

LocalTime Win32System::GetLocalTime() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.dayOfWeek = st.wDayOfWeek;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.milliseconds = st.wMilliseconds;
  return t;
}

std::wstring Win32System::FormatDate(FileTime utc) {
  const FILETIME ft = ToFiletime(utc);
  SYSTEMTIME st;
  if (!FileTimeToSystemTime(&ft, &st)) return {};
  wchar_t text[128] = {};
  if (!GetDateFormatW(LOCALE_SYSTEM_DEFAULT, 0, &st, nullptr, text, 128)) return {};
  return text;
}

ErrorCode Win32System::FormatLocalDateTime(const LocalTime& time, std::wstring& out) {
  SYSTEMTIME st = {time.year, time.month,  time.dayOfWeek, time.day,
                   time.hour, time.minute, time.second,    time.milliseconds};
  wchar_t date[128] = {};
  wchar_t clock[128] = {};
  if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 128))
    return GetLastError();
  if (!GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, clock, 128)) return GetLastError();
  out = std::wstring(date) + L", " + clock;
  return 0;
}

std::unique_ptr<RedirectionScope> Win32System::DisableFileRedirection() {
  return std::make_unique<Win32RedirectionScope>();
}

// --- Named lock ----------------------------------------------------------------------------

namespace {

class Win32NamedLock : public System::NamedLock {
 public:
  explicit Win32NamedLock(HANDLE mutex) : mutex_(mutex) {}
  ~Win32NamedLock() override { CloseHandle(mutex_); }
  Win32NamedLock(const Win32NamedLock&) = delete;
  Win32NamedLock& operator=(const Win32NamedLock&) = delete;

 private:
  HANDLE mutex_;
};

}  // namespace

ErrorCode Win32System::AcquireNamedLock(std::wstring_view name, std::unique_ptr<NamedLock>& out) {
  out.reset();
  // Global: one lock for every session of the machine; a session without the right to make
  // global objects falls back to its own.
  for (const wchar_t* scope : {L"Global\\", L"Local\\"}) {
    const std::wstring full = scope + std::wstring(name);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, full.c_str());
    const DWORD error = GetLastError();
    if (!mutex) {
      if (error == ERROR_ACCESS_DENIED && scope[0] == L'G') continue;
      return error != ERROR_SUCCESS ? static_cast<ErrorCode>(error) : err::GenFailure;
    }
    if (error == ERROR_ALREADY_EXISTS) {
      CloseHandle(mutex);
      return err::AlreadyExists;
    }
    out = std::make_unique<Win32NamedLock>(mutex);
    return err::Success;
  }
  return err::AccessDenied;
}

// --- UTC clock

FileTime Win32System::GetUtcTime() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return (FileTime(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

ErrorCode Win32System::UtcToLocalTime(FileTime utc, LocalTime& out) {
  const FILETIME ft = ToFiletime(utc);
  SYSTEMTIME universal, local;
  if (!FileTimeToSystemTime(&ft, &universal)) return GetLastError();
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) return GetLastError();
  out = {local.wYear, local.wMonth,  local.wDayOfWeek, local.wDay,
         local.wHour, local.wMinute, local.wSecond,    local.wMilliseconds};
  return err::Success;
}

}  // namespace tessaly
